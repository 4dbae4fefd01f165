#include "CString.h"

#include <cstdio>
#include <cstring>

namespace {

// Beyond this a format is taken as unexpandable rather than growing for ever
// on a runtime that only reports "too small" without the needed size.
const size_t kMaxFormatted = 64u * 1024u * 1024u;

template <class A, class B>
CString Joined(const A& a, const B& b) {
    CString r(a);
    r += b;
    return r;
}

}  // namespace

CString::CString(LPCSTR psz) {
    if (psz) m_str = psz;
}

CString::CString(LPCSTR pch, int nLength) {
    if (pch && nLength > 0) m_str.assign(pch, static_cast<size_t>(nLength));
}

CString::CString(char ch, int nRepeat) {
    if (nRepeat > 0) m_str.assign(static_cast<size_t>(nRepeat), ch);
}

CString& CString::operator=(LPCSTR psz) {
    if (psz)
        m_str.assign(psz);  // std::string copes with a pointer into itself
    else
        m_str.clear();
    return *this;
}

CString& CString::operator=(char ch) {
    m_str.assign(1, ch);
    return *this;
}

CString& CString::operator+=(const CString& other) {
    m_str += other.m_str;
    return *this;
}

CString& CString::operator+=(LPCSTR psz) {
    if (psz) m_str.append(psz);
    return *this;
}

CString& CString::operator+=(char ch) {
    m_str.push_back(ch);
    return *this;
}

char CString::GetAt(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetLength()) return '\0';
    return m_str[static_cast<size_t>(nIndex)];
}

void CString::SetAt(int nIndex, char ch) {
    if (nIndex >= 0 && nIndex < GetLength()) m_str[static_cast<size_t>(nIndex)] = ch;
}

int CString::Compare(LPCSTR psz) const { return std::strcmp(m_str.c_str(), psz ? psz : ""); }

CString CString::Left(int nCount) const {
    if (nCount <= 0) return CString();
    if (nCount >= GetLength()) return *this;
    return CString(m_str.data(), nCount);
}

CString CString::Right(int nCount) const {
    if (nCount <= 0) return CString();
    if (nCount >= GetLength()) return *this;
    return CString(m_str.data() + (GetLength() - nCount), nCount);
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, GetLength()); }

CString CString::Mid(int nFirst, int nCount) const {
    if (nFirst < 0) nFirst = 0;
    if (nCount <= 0 || nFirst >= GetLength()) return CString();
    if (nCount > GetLength() - nFirst) nCount = GetLength() - nFirst;
    return CString(m_str.data() + nFirst, nCount);
}

int CString::Find(char ch, int nStart) const {
    if (nStart < 0) nStart = 0;
    if (nStart >= GetLength()) return -1;
    size_t at = m_str.find(ch, static_cast<size_t>(nStart));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(LPCSTR pszSub, int nStart) const {
    if (!pszSub) return -1;
    if (nStart < 0) nStart = 0;
    if (nStart > GetLength()) return -1;
    size_t at = m_str.find(pszSub, static_cast<size_t>(nStart));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

void CString::Format(LPCSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(LPCSTR pszFormat, va_list args) {
    // Expanded into a separate buffer first: an argument may be this very
    // string's text.
    std::string out;
    if (pszFormat) {
        size_t size = 256;
        for (;;) {
            out.resize(size);
            va_list copy;
            va_copy(copy, args);
            int n = std::vsnprintf(&out[0], size, pszFormat, copy);
            va_end(copy);
            if (n >= 0 && static_cast<size_t>(n) < size) {
                out.resize(static_cast<size_t>(n));
                break;
            }
            // A C99 runtime tells the size it needs; an older one only -1.
            size_t next = n >= 0 ? static_cast<size_t>(n) + 1 : size * 2;
            if (next > kMaxFormatted) {
                out.clear();
                break;
            }
            size = next;
        }
    }
    m_str.swap(out);
}

LPSTR CString::GetBuffer(int nMinBufLength) {
    if (nMinBufLength > GetLength()) m_str.resize(static_cast<size_t>(nMinBufLength));
    return &m_str[0];
}

LPSTR CString::GetBufferSetLength(int nNewLength) {
    if (nNewLength < 0) nNewLength = 0;
    m_str.resize(static_cast<size_t>(nNewLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength) {
    size_t length;
    if (nNewLength < 0) {
        const void* zero = std::memchr(m_str.data(), '\0', m_str.size());
        length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - m_str.data()) : m_str.size();
    } else {
        length = static_cast<size_t>(nNewLength);
        if (length > m_str.size()) length = m_str.size();
    }
    m_str.resize(length);
}

CString operator+(const CString& a, const CString& b) { return Joined(a, b); }
CString operator+(const CString& a, LPCSTR b) { return Joined(a, b); }
CString operator+(LPCSTR a, const CString& b) { return Joined(a, b); }
CString operator+(const CString& a, char b) { return Joined(a, b); }
CString operator+(char a, const CString& b) { return Joined(a, b); }
