#include "CCmdTarget.h"

namespace {

// One count for the whole program: the cursor is the system's, not a window's.
int g_nWaitCursorCount = 0;
HCURSOR g_hcurRestore = NULL;

void DoWaitCursor(int nCode) {
    if (nCode > 0) {
        HCURSOR hcurPrev = ::SetCursor(::LoadCursorA(NULL, IDC_WAIT));
        if (g_nWaitCursorCount++ == 0) g_hcurRestore = hcurPrev;
    } else if (nCode < 0) {
        // An unmatched End is harmless: the count never goes below zero.
        if (g_nWaitCursorCount == 0) return;
        if (--g_nWaitCursorCount == 0) ::SetCursor(g_hcurRestore);
    } else if (g_nWaitCursorCount > 0) {
        ::SetCursor(::LoadCursorA(NULL, IDC_WAIT));
    }
}

const AFX_MSGMAP_ENTRY g_rootEntries[] = {{0, 0, 0, 0, NULL}};
const AFX_MSGMAP g_rootMap = {NULL, &g_rootEntries[0]};

}  // namespace

CCmdTarget::~CCmdTarget() = default;

void CCmdTarget::BeginWaitCursor() { DoWaitCursor(1); }
void CCmdTarget::EndWaitCursor() { DoWaitCursor(-1); }
void CCmdTarget::RestoreWaitCursor() { DoWaitCursor(0); }

int AfxGetWaitCursorCount() { return g_nWaitCursorCount; }

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() { return &g_rootMap; }
const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* pMap, UINT nMessage, UINT nCode, UINT nID) {
    // A derived class's entry wins over its base's, as a handler override would.
    for (; pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : NULL) {
        for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e->pfnAdapter; ++e) {
            if (e->nMessage == nMessage && e->nCode == nCode && e->nID <= nID && nID <= e->nLastID) return e;
        }
    }
    return NULL;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode) {
    const AFX_MSGMAP_ENTRY* e = AfxFindMessageEntry(GetMessageMap(), WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (!e) return FALSE;
    LRESULT lResult = 0;
    return e->pfnAdapter(this, 0, 0, &lResult);
}
