// The Win32 subset the updater uses. On Windows this is the system's own
// headers; on the host build the declarations below (written from the
// published API reference) are implemented by the simulated PC.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include <winioctl.h>
#include <ntddscsi.h>
#include <direct.h>
#include <mbctype.h>
#else
#include "win32_base.h"
#include "win32_kernel.h"
#include "win32_registry.h"
#include "win32_security.h"
#include "win32_user.h"
#include "win32_storage.h"
#include "win32_runtime.h"
#endif
