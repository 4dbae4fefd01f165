#include "DialogTemplate.h"

#include <cstring>

#include "../core/Text.h"

namespace sim::desktop {

namespace {

// Names longer than this mean the reader ran off the template.
constexpr size_t kLongestName = 4096;
// More items than a dialog could ever show: a corrupt count.
constexpr size_t kMostItems = 1024;

std::string Utf16ToUtf8(const std::vector<uint16_t>& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

class Reader {
public:
    Reader(const uint8_t* p, unsigned codePage) : m_base(p), m_p(p), m_codePage(codePage) {}

    template <class T>
    T Read() {
        T v;
        std::memcpy(&v, m_p, sizeof v);
        m_p += sizeof v;
        return v;
    }
    WORD Word() { return Read<WORD>(); }
    DWORD Dword() { return Read<DWORD>(); }
    short Short() { return Read<short>(); }

    void AlignWord() { Align(2); }
    void AlignDword() { Align(4); }

    std::string String(const std::string& what) {
        std::vector<uint16_t> units;
        for (;;) {
            WORD c = Word();
            if (c == 0) break;
            units.push_back(c);
            if (units.size() > kLongestName)
                Fail(what + " does not end within " + std::to_string(kLongestName) + " characters");
        }
        return FromUtf8(Utf16ToUtf8(units), m_codePage);
    }

    // A menu or class array: 0x0000 none, 0xFFFF and an ordinal, or a string.
    NameOrId Named(const std::string& what) {
        NameOrId n;
        WORD first = Read<WORD>();
        if (first == 0x0000) return n;
        n.present = true;
        if (first == 0xFFFF) {
            n.isId = true;
            n.id = Word();
            return n;
        }
        m_p -= 2;
        n.name = String(what);
        return n;
    }

    // A title array: a string (maybe empty) or 0xFFFF and an ordinal.
    NameOrId Title(const std::string& what) {
        NameOrId n;
        WORD first = Read<WORD>();
        if (first == 0xFFFF) {
            n.present = n.isId = true;
            n.id = Word();
            return n;
        }
        m_p -= 2;
        n.name = String(what);
        n.present = !n.name.empty();
        return n;
    }

    const uint8_t* Here() const { return m_p; }
    void Skip(size_t n) { m_p += n; }

    [[noreturn]] void Fail(const std::string& what) const {
        throw TemplateError("dialog template, byte " + std::to_string(m_p - m_base) + ": " + what);
    }

private:
    void Align(uintptr_t n) {
        uintptr_t a = reinterpret_cast<uintptr_t>(m_p);
        m_p += (n - a % n) % n;
    }
    const uint8_t* m_base;
    const uint8_t* m_p;
    unsigned m_codePage;
};

}  // namespace

const char* ClassOfOrdinal(WORD ordinal) {
    switch (ordinal) {
        case 0x0080: return "BUTTON";
        case 0x0081: return "EDIT";
        case 0x0082: return "STATIC";
        case 0x0083: return "LISTBOX";
        case 0x0084: return "SCROLLBAR";
        case 0x0085: return "COMBOBOX";
        default: return nullptr;
    }
}

DialogSpec ParseTemplate(const void* data, unsigned codePage) {
    if (!data) throw TemplateError("dialog template: none given");
    Reader r(static_cast<const uint8_t*>(data), codePage);
    DialogSpec desc;
    // DLGTEMPLATEEX opens with version 1 and the signature 0xFFFF.
    WORD version, signature;
    std::memcpy(&version, data, 2);
    std::memcpy(&signature, static_cast<const uint8_t*>(data) + 2, 2);
    desc.extended = version == 1 && signature == 0xFFFF;
    size_t count;
    if (desc.extended) {
        r.Word();
        r.Word();
        r.Dword();  // help id
        desc.exStyle = r.Dword();
        desc.style = r.Dword();
    } else {
        desc.style = r.Dword();
        desc.exStyle = r.Dword();
    }
    count = r.Word();
    desc.x = r.Short();
    desc.y = r.Short();
    desc.cx = r.Short();
    desc.cy = r.Short();
    if (count > kMostItems) r.Fail(std::to_string(count) + " items is more than a dialog can hold");
    if (desc.cx < 0 || desc.cy < 0) r.Fail("the dialog has a negative size");
    desc.menu = r.Named("the menu name");
    desc.cls = r.Named("the class name");
    desc.title = r.String("the title");
    if (desc.style & DS_SETFONT) {
        desc.hasFont = true;
        desc.pointSize = r.Word();
        if (desc.extended) {
            r.Word();  // weight
            r.Skip(2); // italic, character set
        }
        desc.face = r.String("the font name");
    }
    for (size_t i = 0; i < count; ++i) {
        r.AlignDword();
        DialogItem item;
        const std::string where = "item " + std::to_string(i + 1);
        if (desc.extended) {
            r.Dword();  // help id
            item.exStyle = r.Dword();
            item.style = r.Dword();
        } else {
            item.style = r.Dword();
            item.exStyle = r.Dword();
        }
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = desc.extended ? r.Dword() : r.Word();
        item.cls = r.Named(where + ": the class name");
        if (!item.cls.present) r.Fail(where + ": has no class");
        if (item.cls.isId && !ClassOfOrdinal(item.cls.id)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%04X", item.cls.id);
            r.Fail(where + ": unknown class ordinal " + hex + " (0x0080 to 0x0085 are defined)");
        }
        item.title = r.Title(where + ": the title");
        r.AlignWord();
        const uint8_t* extra = r.Here();
        WORD size = r.Word();
        if (size) {
            // Old templates count the size word itself; extended ones do not.
            if (desc.extended) {
                item.creationData = r.Here();
                r.Skip(size);
            } else {
                if (size < 2) r.Fail(where + ": creation data of " + std::to_string(size) + " bytes");
                item.creationData = extra;
                r.Skip(size - 2u);
            }
        }
        desc.items.push_back(item);
    }
    return desc;
}

}  // namespace sim::desktop
