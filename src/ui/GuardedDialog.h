// The guard every dialog of the program keeps while it waits for the user:
// a log-off, shut-down or suspend in the middle of an update, or between
// changing the driver settings and restoring them, can leave the drive or
// the machine unusable. Each dialog keeps its own m_bEnding, set right
// before it ends itself, and its WindowProc is
//
//   return GuardedWindowProc(this, m_bEnding, message, wParam, lParam);
#pragma once
#include "afx.h"

// TRUE when a waiting dialog refuses message; *pResult is then the answer
// (0, PWR_FAIL or BROADCAST_QUERY_DENY). Resume and other notifications,
// and other wParam values, are never refused.
BOOL RefuseWhileWaiting(UINT message, WPARAM wParam, LRESULT* pResult);

// The refusal while bEnding is false, else the framework's WindowProc of pDlg.
LRESULT GuardedWindowProc(CDialog* pDlg, bool bEnding, UINT message, WPARAM wParam, LPARAM lParam);
