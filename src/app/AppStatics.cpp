// The program's static objects, built in this order before WinMain and
// destroyed in reverse. The drive name tables and the version table
// strings live beside the code that uses them.
#include "app/CUpdaterApp.h"
#include "drive/CDriveAccess.h"

// On Windows 98/ME building it loads the ASPI manager, whose failure
// messages can appear before the application starts.
CDriveAccess g_DriveAccess;
CUpdaterApp theApp;
