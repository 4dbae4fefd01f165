// CString: the framework's ANSI string, a value type over char. Lengths and
// positions are byte counts, as in the framework's single-byte build.
#pragma once
#include <cstdarg>
#include <string>

#include "win32.h"

#if defined(__GNUC__) && !defined(_WIN32)
#define AFX_PRINTF_CHECK(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define AFX_PRINTF_CHECK(fmt, args)
#endif

class CString {
public:
    CString() = default;
    CString(const CString& other) = default;
    CString(CString&& other) noexcept = default;
    // A null pointer makes an empty string.
    CString(LPCSTR psz);
    CString(LPCSTR pch, int nLength);
    explicit CString(char ch, int nRepeat = 1);

    CString& operator=(const CString& other) = default;
    CString& operator=(CString&& other) noexcept = default;
    CString& operator=(LPCSTR psz);
    CString& operator=(char ch);

    CString& operator+=(const CString& other);
    CString& operator+=(LPCSTR psz);
    CString& operator+=(char ch);

    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }

    // Out of range gives '\0' rather than undefined behaviour.
    char GetAt(int nIndex) const;
    char operator[](int nIndex) const { return GetAt(nIndex); }
    void SetAt(int nIndex, char ch);

    operator LPCSTR() const { return m_str.c_str(); }

    // strcmp order: bytes compared unsigned, up to the first zero.
    int Compare(LPCSTR psz) const;

    // Counts and positions are clamped to the string, never read past it.
    CString Left(int nCount) const;
    CString Right(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;

    // Zero-based position of the first match at or after nStart, or -1.
    int Find(char ch, int nStart = 0) const;
    int Find(LPCSTR pszSub, int nStart = 0) const;

    // printf-style; the result may be of any length. A format that the
    // runtime cannot expand leaves the string empty. Pass a CString to %s
    // as (LPCSTR): the object itself is no char pointer, as it was in the
    // original framework.
    // The text of string nID from the registered string table
    // (AfxRegisterStringTable); FALSE, leaving the string empty, when there
    // is none.
    BOOL LoadString(UINT nID);

    void Format(LPCSTR pszFormat, ...) AFX_PRINTF_CHECK(2, 3);
    void FormatV(LPCSTR pszFormat, va_list args);

    // Room for at least nMinBufLength characters plus a terminating zero;
    // the current text is kept. Valid until the next change of the string.
    LPSTR GetBuffer(int nMinBufLength);
    LPSTR GetBufferSetLength(int nNewLength);
    // -1 takes the length up to the first zero written into the buffer.
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::string m_str;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCSTR b);
CString operator+(LPCSTR a, const CString& b);
CString operator+(const CString& a, char b);
CString operator+(char a, const CString& b);

inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator==(const CString& a, LPCSTR b) { return a.Compare(b) == 0; }
inline bool operator==(LPCSTR a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, LPCSTR b) { return a.Compare(b) != 0; }
inline bool operator!=(LPCSTR a, const CString& b) { return b.Compare(a) != 0; }
inline bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
inline bool operator<(const CString& a, LPCSTR b) { return a.Compare(b) < 0; }
inline bool operator<(LPCSTR a, const CString& b) { return b.Compare(a) > 0; }
inline bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
inline bool operator>(const CString& a, LPCSTR b) { return a.Compare(b) > 0; }
inline bool operator>(LPCSTR a, const CString& b) { return b.Compare(a) < 0; }
inline bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
inline bool operator<=(const CString& a, LPCSTR b) { return a.Compare(b) <= 0; }
inline bool operator<=(LPCSTR a, const CString& b) { return b.Compare(a) >= 0; }
inline bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
inline bool operator>=(const CString& a, LPCSTR b) { return a.Compare(b) >= 0; }
inline bool operator>=(LPCSTR a, const CString& b) { return b.Compare(a) <= 0; }
