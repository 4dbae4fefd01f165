// Our subset of the application framework, over the Win32 subset only.
#pragma once
#include "win32.h"

#include "CString.h"
#include "CWinApp.h"
#include "CWinThread.h"
