// The program's resources as registered data: dialog descriptions by
// template id and the string table.
#include <vector>

#include "AfxDlgTemplate.h"
#include "CString.h"

namespace {

template <class T>
struct Table {
    const T* p;
    int n;
};

// Registered from the main thread before its dialogs run.
std::vector<Table<const AFX_DLGDESC*>>& DialogTables() {
    static std::vector<Table<const AFX_DLGDESC*>> tables;
    return tables;
}

std::vector<Table<AFX_STRINGRES>>& StringTables() {
    static std::vector<Table<AFX_STRINGRES>> tables;
    return tables;
}

template <class T>
void Register(std::vector<Table<T>>& tables, const T* p, int n) {
    if (!p || n <= 0) return;
    for (const Table<T>& t : tables)
        if (t.p == p) return;
    tables.push_back(Table<T>{p, n});
}

}  // namespace

void AfxRegisterDialogTemplates(const AFX_DLGDESC* const* ppDescs, int nCount) {
    Register(DialogTables(), ppDescs, nCount);
}

const AFX_DLGDESC* AfxFindDialogTemplate(UINT nIDTemplate) {
    for (const auto& t : DialogTables())
        for (int i = 0; i < t.n; ++i)
            if (t.p[i] && t.p[i]->nIDTemplate == nIDTemplate) return t.p[i];
    return NULL;
}

void AfxRegisterStringTable(const AFX_STRINGRES* pStrings, int nCount) { Register(StringTables(), pStrings, nCount); }

LPCSTR AfxFindString(UINT nID) {
    for (const auto& t : StringTables())
        for (int i = 0; i < t.n; ++i)
            if (t.p[i].nID == nID) return t.p[i].pszText;
    return NULL;
}

BOOL CString::LoadString(UINT nID) {
    LPCSTR psz = AfxFindString(nID);
    // A missing string leaves the text empty, as a failed resource load does.
    *this = psz;
    return psz && *psz ? TRUE : FALSE;
}
