// The download worker: de-scrambles and checks the carried image, then
// sends it to the drive. Its result is only the thread's exit code.
#pragma once
#include "win32.h"

class CDriveAccess;

struct WorkerParam {
    BYTE byDrive;          // index for SelectDrive
    CDriveAccess* pDrive;  // the facade, shared with the main dialog
};
// The one argument the main dialog fills before it starts the worker.
extern struct WorkerParam WorkerParam;

// Thread procedure for AfxBeginThread; pParam points at a WorkerParam.
// Returns 0 when the drive accepted the end of data, 1 otherwise.
UINT FirmwareUpdateThread(LPVOID pParam);
