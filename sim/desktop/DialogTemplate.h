// An in-memory dialog template read the way the dialog manager reads it:
// DLGTEMPLATE or DLGTEMPLATEEX, the menu, class and title arrays, the
// font, then each item on a DWORD boundary with its class, title and
// creation data. Strings in a template are UTF-16; they come out in the
// machine's ANSI code page.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "win32.h"

namespace sim::desktop {

class TemplateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A name that is either an ordinal or a string.
struct NameOrId {
    bool present = false;
    bool isId = false;
    WORD id = 0;
    std::string name;
};

struct DialogItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    NameOrId cls;    // ordinal 0x0080..0x0085 or a registered class name
    NameOrId title;  // text, or a resource ordinal (an icon)
    const void* creationData = nullptr;  // as WM_CREATE hands it to the control
};

struct DialogSpec {
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    NameOrId menu;
    NameOrId cls;
    std::string title;
    bool hasFont = false;
    WORD pointSize = 0;
    std::string face;
    std::vector<DialogItem> items;
};

// Throws TemplateError, saying what is wrong and where.
DialogSpec ParseTemplate(const void* data, unsigned codePage);

// The predefined class an item ordinal stands for, or null.
const char* ClassOfOrdinal(WORD ordinal);

}  // namespace sim::desktop
