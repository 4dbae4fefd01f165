// Our subset of the application framework, over the Win32 subset only.
#pragma once
#include "win32.h"

#include "AfxControls.h"
#include "AfxDlgTemplate.h"
#include "CCmdTarget.h"
#include "CDialog.h"
#include "CMenu.h"
#include "CString.h"
#include "CWinApp.h"
#include "CWinThread.h"
#include "CWnd.h"
