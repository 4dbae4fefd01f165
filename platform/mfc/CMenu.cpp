#include "CMenu.h"

#include <map>
#include <memory>

namespace {

std::map<HMENU, CMenu*>& PermanentMenus() {
    static std::map<HMENU, CMenu*> map;
    return map;
}

std::map<HMENU, std::unique_ptr<CMenu>>& TempMenus() {
    static std::map<HMENU, std::unique_ptr<CMenu>> map;
    return map;
}

}  // namespace

CMenu::CMenu() : m_hMenu(NULL) {}

CMenu::~CMenu() { DestroyMenu(); }

CMenu* CMenu::FromHandle(HMENU hMenu) {
    if (!hMenu) return NULL;
    auto perm = PermanentMenus().find(hMenu);
    if (perm != PermanentMenus().end()) return perm->second;
    std::unique_ptr<CMenu>& temp = TempMenus()[hMenu];
    if (!temp) {
        temp.reset(new CMenu);
        // Not in the permanent map: a temporary wraps, it does not own.
        temp->m_hMenu = hMenu;
    }
    return temp.get();
}

// A temporary is not in the permanent map, so its destructor leaves the
// menu alone.
void AfxDeleteTempMenus() { TempMenus().clear(); }

BOOL CMenu::Attach(HMENU hNewMenu) {
    if (m_hMenu || !hNewMenu || PermanentMenus().count(hNewMenu)) return FALSE;
    m_hMenu = hNewMenu;
    PermanentMenus()[hNewMenu] = this;
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU hMenu = m_hMenu;
    if (hMenu) {
        auto it = PermanentMenus().find(hMenu);
        if (it != PermanentMenus().end() && it->second == this) PermanentMenus().erase(it);
    }
    m_hMenu = NULL;
    return hMenu;
}

BOOL CMenu::CreateMenu() { return Attach(::CreateMenu()); }

BOOL CMenu::CreatePopupMenu() { return Attach(::CreatePopupMenu()); }

BOOL CMenu::DestroyMenu() {
    if (!m_hMenu) return FALSE;
    // Only an object in the permanent map owns its menu.
    auto it = PermanentMenus().find(m_hMenu);
    BOOL bOwner = it != PermanentMenus().end() && it->second == this;
    HMENU hMenu = Detach();
    return bOwner ? ::DestroyMenu(hMenu) : FALSE;
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem) {
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem) {
    return ::ModifyMenuA(m_hMenu, nPosition, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::DeleteMenu(UINT nPosition, UINT nFlags) { return ::DeleteMenu(m_hMenu, nPosition, nFlags); }

BOOL CMenu::RemoveMenu(UINT nPosition, UINT nFlags) { return ::RemoveMenu(m_hMenu, nPosition, nFlags); }

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable) {
    return static_cast<UINT>(::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable));
}

UINT CMenu::GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }

UINT CMenu::GetMenuItemID(int nPos) const { return ::GetMenuItemID(m_hMenu, nPos); }

int CMenu::GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const {
    int nLen = ::GetMenuStringA(m_hMenu, nIDItem, NULL, 0, nFlags);
    if (nLen <= 0) {
        rString.Empty();
        return 0;
    }
    nLen = ::GetMenuStringA(m_hMenu, nIDItem, rString.GetBuffer(nLen), nLen + 1, nFlags);
    rString.ReleaseBuffer(nLen > 0 ? nLen : 0);
    return nLen;
}

CMenu* CMenu::GetSubMenu(int nPos) const { return FromHandle(::GetSubMenu(m_hMenu, nPos)); }
