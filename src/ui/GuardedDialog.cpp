#include "ui/GuardedDialog.h"

BOOL RefuseWhileWaiting(UINT message, WPARAM wParam, LRESULT* pResult) {
    switch (message) {
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        *pResult = 0;
        return TRUE;
    case WM_POWER:
        if (wParam != PWR_SUSPENDREQUEST) return FALSE;
        *pResult = PWR_FAIL;
        return TRUE;
    case WM_POWERBROADCAST:
        if (wParam != PBT_APMQUERYSUSPEND && wParam != PBT_APMQUERYSTANDBY) return FALSE;
        *pResult = BROADCAST_QUERY_DENY;
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT GuardedWindowProc(CDialog* pDlg, bool bEnding, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT lResult = 0;
    if (!bEnding && RefuseWhileWaiting(message, wParam, &lResult)) return lResult;
    return pDlg->CDialog::WindowProc(message, wParam, lParam);
}
