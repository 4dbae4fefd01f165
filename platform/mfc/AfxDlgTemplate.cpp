#include "AfxDlgTemplate.h"

#include <cstring>

namespace {

// The class ordinals of the predefined control classes.
const struct {
    const char* name;
    WORD ordinal;
} kPredefined[] = {
    {"BUTTON", 0x0080}, {"EDIT", 0x0081},      {"STATIC", 0x0082},
    {"LISTBOX", 0x0083}, {"SCROLLBAR", 0x0084}, {"COMBOBOX", 0x0085},
};

bool SameAsciiNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char ca = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 'a' + 'A') : *a;
        char cb = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 'a' + 'A') : *b;
        if (ca != cb) return false;
    }
    return *a == *b;
}

class Writer {
public:
    explicit Writer(std::vector<BYTE>& bytes) : m_bytes(bytes) {}

    void Word(WORD w) { Raw(&w, sizeof w); }
    void Dword(DWORD d) { Raw(&d, sizeof d); }
    void Short(short s) { Raw(&s, sizeof s); }
    // Offsets count from the start, which the allocator puts on at least a
    // DWORD boundary.
    void AlignDword() {
        while (m_bytes.size() % 4) m_bytes.push_back(0);
    }
    void Text(const char16_t* psz) {
        if (psz)
            for (; *psz; ++psz) Word(static_cast<WORD>(*psz));
        Word(0);
    }
    void Ordinal(WORD id) {
        Word(0xFFFF);
        Word(id);
    }

private:
    void Raw(const void* p, size_t n) {
        const BYTE* b = static_cast<const BYTE*>(p);
        m_bytes.insert(m_bytes.end(), b, b + n);
    }
    std::vector<BYTE>& m_bytes;
};

// The class array of an item: an ordinal, or the name widened to UTF-16.
bool WriteClass(Writer& w, LPCSTR pszClass) {
    if (!pszClass || !*pszClass) return false;
    for (const auto& p : kPredefined) {
        if (SameAsciiNoCase(pszClass, p.name)) {
            w.Ordinal(p.ordinal);
            return true;
        }
    }
    for (LPCSTR p = pszClass; *p; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80) return false;
    for (LPCSTR p = pszClass; *p; ++p) w.Word(static_cast<WORD>(*p));
    w.Word(0);
    return true;
}

}  // namespace

BOOL AfxBuildDialogTemplate(const AFX_DLGDESC& desc, std::vector<BYTE>& bytes) {
    bytes.clear();
    if (desc.nItems < 0 || desc.nItems > 0xFFFF || (desc.nItems > 0 && !desc.pItems)) return FALSE;
    Writer w(bytes);
    w.Dword(desc.dwStyle | (desc.pszFace ? DS_SETFONT : 0));
    w.Dword(desc.dwExStyle);
    w.Word(static_cast<WORD>(desc.nItems));
    w.Short(desc.x);
    w.Short(desc.y);
    w.Short(desc.cx);
    w.Short(desc.cy);
    w.Word(0);  // no menu resource: the menu is made at run time
    w.Word(0);  // the system's dialog class
    w.Text(desc.pszCaption);
    if (desc.pszFace) {
        w.Word(desc.wPointSize);
        w.Text(desc.pszFace);
    }
    for (int i = 0; i < desc.nItems; ++i) {
        const AFX_DLGITEM& item = desc.pItems[i];
        w.AlignDword();
        w.Dword(item.dwStyle | WS_CHILD);
        w.Dword(item.dwExStyle);
        w.Short(item.x);
        w.Short(item.y);
        w.Short(item.cx);
        w.Short(item.cy);
        w.Word(static_cast<WORD>(item.nID));
        if (!WriteClass(w, item.pszClass)) {
            bytes.clear();
            return FALSE;
        }
        if (item.nResourceID)
            w.Ordinal(item.nResourceID);
        else
            w.Text(item.pszText);
        w.Word(0);  // no creation data
    }
    return TRUE;
}

DWORD AfxGetTemplateStyle(LPCDLGTEMPLATEA lpTemplate) {
    if (!lpTemplate) return 0;
    const BYTE* p = reinterpret_cast<const BYTE*>(lpTemplate);
    WORD version, signature;
    std::memcpy(&version, p, sizeof version);
    std::memcpy(&signature, p + 2, sizeof signature);
    DWORD dwStyle;
    // DLGTEMPLATEEX: version, signature, help id, extended style, style.
    std::memcpy(&dwStyle, (version == 1 && signature == 0xFFFF) ? p + 12 : p, sizeof dwStyle);
    return dwStyle;
}
