// USER32 menus, the system menu, cursors and icons.
#include <algorithm>
#include <cstring>

#include "../core/Process.h"
#include "../desktop/Desktop.h"
#include "win32.h"

using sim::Proc;
using sim::desktop::Desktop;
using sim::desktop::Menu;
using sim::desktop::MenuItem;
using sim::desktop::Window;

namespace {

Desktop& D() { return Desktop::Get(); }

constexpr uintptr_t kCursorBase = 0x00040000;
constexpr uintptr_t kIconBase = 0x00060000;

Menu* MenuOrFail(HMENU h) {
    Menu* m = D().FindMenu(h);
    if (!m) Proc().SetLastError(1401);  // ERROR_INVALID_MENU_HANDLE
    return m;
}

// The item a position or command names, searching submenus by command.
MenuItem* Locate(Menu* m, UINT position, UINT flags, Menu** owner = nullptr, size_t* index = nullptr) {
    if (!m) return nullptr;
    if (flags & MF_BYPOSITION) {
        if (position >= m->items.size()) return nullptr;
        if (owner) *owner = m;
        if (index) *index = position;
        return &m->items[position];
    }
    for (size_t i = 0; i < m->items.size(); ++i) {
        MenuItem& item = m->items[i];
        if (!(item.flags & MF_POPUP) && item.id == position) {
            if (owner) *owner = m;
            if (index) *index = i;
            return &item;
        }
    }
    for (auto& item : m->items) {
        if (!(item.flags & MF_POPUP)) continue;
        if (MenuItem* found = Locate(D().FindMenu(item.popup), position, flags, owner, index)) return found;
    }
    return nullptr;
}

MenuItem MakeItem(UINT flags, UINT_PTR id, LPCSTR text) {
    MenuItem item;
    item.flags = flags & ~(MF_BYPOSITION | MF_APPEND | MF_CHANGE | MF_DELETE | MF_REMOVE);
    if (flags & MF_POPUP)
        item.popup = reinterpret_cast<HMENU>(id);
    else
        item.id = id;
    if (!(flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) && text) item.text = text;
    return item;
}

void MenusChanged() { ++D().changes; }

HMENU StandardSystemMenu(const Window& w) {
    HMENU h = D().NewMenu(true);
    Menu* m = D().FindMenu(h);
    m->system = true;
    auto add = [&](UINT_PTR id, const char* text, UINT flags = MF_STRING) { m->items.push_back(MakeItem(flags, id, text)); };
    // What Windows offers for a window of this style.
    const bool sizable = (w.style & WS_THICKFRAME) != 0;
    add(SC_RESTORE, "&Restore", MF_STRING | MF_GRAYED);
    add(SC_MOVE, "&Move");
    if (sizable) add(SC_SIZE, "&Size");
    if (w.style & WS_MINIMIZEBOX) add(SC_MINIMIZE, "Mi&nimize");
    if (w.style & WS_MAXIMIZEBOX) add(SC_MAXIMIZE, "Ma&ximize");
    add(0, nullptr, MF_SEPARATOR);
    add(SC_CLOSE, "&Close\tAlt+F4");
    return h;
}

}  // namespace

extern "C" {

HMENU WINAPI CreateMenu(void) { return D().NewMenu(false); }
HMENU WINAPI CreatePopupMenu(void) { return D().NewMenu(true); }

BOOL WINAPI DestroyMenu(HMENU h) {
    Menu* m = MenuOrFail(h);
    if (!m) return FALSE;
    std::vector<HMENU> popups;
    for (auto& item : m->items)
        if (item.flags & MF_POPUP) popups.push_back(item.popup);
    D().Menus().erase(reinterpret_cast<uintptr_t>(h));
    for (HMENU p : popups)
        if (D().FindMenu(p)) DestroyMenu(p);
    return TRUE;
}

BOOL WINAPI AppendMenuA(HMENU h, UINT flags, UINT_PTR id, LPCSTR text) {
    Menu* m = MenuOrFail(h);
    if (!m) return FALSE;
    m->items.push_back(MakeItem(flags, id, text));
    MenusChanged();
    return TRUE;
}

BOOL WINAPI InsertMenuA(HMENU h, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
    Menu* m = MenuOrFail(h);
    if (!m) return FALSE;
    Menu* owner = m;
    size_t index = m->items.size();
    if (position != 0xFFFFFFFFu) {
        if (!Locate(m, position, flags, &owner, &index)) {
            if (!(flags & MF_BYPOSITION)) {
                Proc().SetLastError(1456);  // ERROR_MENU_ITEM_NOT_FOUND
                return FALSE;
            }
            index = m->items.size();
        }
    }
    owner->items.insert(owner->items.begin() + static_cast<long>(index), MakeItem(flags, id, text));
    MenusChanged();
    return TRUE;
}

BOOL WINAPI ModifyMenuA(HMENU h, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
    MenuItem* item = Locate(MenuOrFail(h), position, flags);
    if (!item) {
        Proc().SetLastError(1456);
        return FALSE;
    }
    *item = MakeItem(flags, id, text);
    MenusChanged();
    return TRUE;
}

BOOL WINAPI RemoveMenu(HMENU h, UINT position, UINT flags) {
    Menu* owner = nullptr;
    size_t index = 0;
    if (!Locate(MenuOrFail(h), position, flags, &owner, &index)) {
        Proc().SetLastError(1456);
        return FALSE;
    }
    owner->items.erase(owner->items.begin() + static_cast<long>(index));
    MenusChanged();
    return TRUE;
}

BOOL WINAPI DeleteMenu(HMENU h, UINT position, UINT flags) {
    Menu* owner = nullptr;
    size_t index = 0;
    MenuItem* item = Locate(MenuOrFail(h), position, flags, &owner, &index);
    if (!item) {
        Proc().SetLastError(1456);
        return FALSE;
    }
    HMENU popup = (item->flags & MF_POPUP) ? item->popup : nullptr;
    owner->items.erase(owner->items.begin() + static_cast<long>(index));
    if (popup && D().FindMenu(popup)) DestroyMenu(popup);
    MenusChanged();
    return TRUE;
}

BOOL WINAPI EnableMenuItem(HMENU h, UINT id, UINT enable) {
    MenuItem* item = Locate(D().FindMenu(h), id, enable);
    if (!item) return -1;
    UINT previous = item->flags & (MF_GRAYED | MF_DISABLED);
    item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    MenusChanged();
    return static_cast<BOOL>(previous);
}

DWORD WINAPI CheckMenuItem(HMENU h, UINT id, UINT check) {
    MenuItem* item = Locate(D().FindMenu(h), id, check);
    if (!item) return 0xFFFFFFFFu;
    DWORD previous = item->flags & MF_CHECKED;
    item->flags = (item->flags & ~MF_CHECKED) | (check & MF_CHECKED);
    MenusChanged();
    return previous;
}

int WINAPI GetMenuItemCount(HMENU h) {
    Menu* m = MenuOrFail(h);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT WINAPI GetMenuItemID(HMENU h, int position) {
    Menu* m = D().FindMenu(h);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return 0xFFFFFFFFu;
    const MenuItem& item = m->items[static_cast<size_t>(position)];
    return (item.flags & MF_POPUP) ? 0xFFFFFFFFu : static_cast<UINT>(item.id);
}

HMENU WINAPI GetSubMenu(HMENU h, int position) {
    Menu* m = D().FindMenu(h);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
    const MenuItem& item = m->items[static_cast<size_t>(position)];
    return (item.flags & MF_POPUP) ? item.popup : nullptr;
}

int WINAPI GetMenuStringA(HMENU h, UINT id, LPSTR buffer, int max, UINT flags) {
    MenuItem* item = Locate(D().FindMenu(h), id, flags);
    if (!item) return 0;
    if (!buffer || max <= 0) return static_cast<int>(item->text.size());
    size_t n = std::min(item->text.size(), static_cast<size_t>(max) - 1);
    std::memcpy(buffer, item->text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

HMENU WINAPI GetSystemMenu(HWND hwnd, BOOL revert) {
    Window* w = D().FindOrFail(hwnd);
    if (!w || !(w->style & WS_SYSMENU)) return nullptr;
    if (revert) {
        if (w->systemMenu && D().FindMenu(w->systemMenu)) DestroyMenu(w->systemMenu);
        w->systemMenu = nullptr;
        MenusChanged();
        return nullptr;
    }
    if (!w->systemMenu) w->systemMenu = StandardSystemMenu(*w);
    return w->systemMenu;
}

BOOL WINAPI SetMenu(HWND hwnd, HMENU menu) {
    Window* w = D().FindOrFail(hwnd);
    if (!w) return FALSE;
    if (w->style & WS_CHILD) {
        Proc().SetLastError(1436);  // ERROR_CHILD_WINDOW_MENU
        return FALSE;
    }
    if (menu && !MenuOrFail(menu)) return FALSE;
    // The client area gives up the menu bar's height, the window keeps its size.
    w->menu = menu;
    MenusChanged();
    D().Invalidate(hwnd);
    return TRUE;
}

HMENU WINAPI GetMenu(HWND hwnd) {
    Window* w = D().FindOrFail(hwnd);
    return w && !(w->style & WS_CHILD) ? w->menu : nullptr;
}

BOOL WINAPI DrawMenuBar(HWND hwnd) { return D().FindOrFail(hwnd) ? TRUE : FALSE; }

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // Only the system's cursors: the program's module carries no resources.
    if (instance || !IS_INTRESOURCE(name)) {
        Proc().SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    static const uintptr_t known[] = {32512, 32513, 32514, 32515, 32516, 32646, 32648, 32650, 32651};
    if (std::find(std::begin(known), std::end(known), id) == std::end(known)) {
        Proc().SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(kCursorBase + id);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    Desktop& d = D();
    HCURSOR old = d.cursor;
    if (cursor != old) {
        d.cursor = cursor;
        Proc().Log("cursor: " + Desktop::CursorName(cursor));
    }
    return old;
}

HCURSOR WINAPI GetCursor(void) { return D().cursor; }

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (instance || !IS_INTRESOURCE(name)) {
        Proc().SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    if (id < 32512 || id > 32517) {
        Proc().SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HICON>(kIconBase + id);
}

BOOL WINAPI DrawIcon(HDC dc, int, int, HICON icon) { return dc && icon ? TRUE : FALSE; }

}  // extern "C"
