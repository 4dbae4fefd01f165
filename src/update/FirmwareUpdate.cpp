#include "update/FirmwareUpdate.h"

#include <cstring>
#include <memory>
#include <new>

#include "drive/CDriveAccess.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareIndex.h"
#include "update/VendorPage.h"

struct WorkerParam WorkerParam = {0, NULL};

namespace {

const WORD BLOCK_SIZE = 0x8000;
const WORD PAGE_SIZE = VENDOR_PAGE_HEAD + BLOCK_SIZE;

const BYTE FUNC_DOWNLOAD_START = 0xF0;
const BYTE FUNC_DOWNLOAD_DATA = 0xC0;  // with argument 0: end of data

// An 8-byte page on its own; the buffer is named before the page is written.
bool SendShortPage(CDriveAccess& drive, BYTE* pPage, BYTE byFunction, BYTE byArgument) {
    drive.SetDataBuffer(pPage, VENDOR_PAGE_HEAD);
    WriteVendorPage(pPage, byFunction, byArgument, 0);
    return drive.SendDiagnostic(0, VENDOR_PAGE_HEAD) == SS_COMP;
}

UINT Download(CDriveAccess& drive, BYTE byDrive, const BYTE* pWorking, LONG nBlocks, BYTE* pPage) {
    drive.SelectDrive(byDrive);
    drive.SetDataBuffer(pPage, 16);
    // The tray must open whatever these return: some drives refuse them
    // with no medium loaded.
    drive.PreventAllowMediumRemoval(0);
    drive.StartStopUnit(0, 0, 1);

    // The drive needs the time to settle after the eject before it takes
    // a download.
    Sleep(2000);
    Sleep(60000);
    Sleep(60000);

    if (!SendShortPage(drive, pPage, FUNC_DOWNLOAD_START, 0x00)) return 1;
    Sleep(3000);
    if (!SendShortPage(drive, pPage, FUNC_DOWNLOAD_START, 0xFF)) return 1;

    drive.SetDataBuffer(pPage, PAGE_SIZE);
    for (LONG n = 0; n < nBlocks; ++n) {
        WriteVendorPage(pPage, FUNC_DOWNLOAD_DATA, (BYTE)(n + 1), BLOCK_SIZE);
        memcpy(pPage + VENDOR_PAGE_HEAD, pWorking + (DWORD)n * BLOCK_SIZE, BLOCK_SIZE);
        if (drive.SendDiagnostic(0, PAGE_SIZE) != SS_COMP) return 1;
    }

    if (!SendShortPage(drive, pPage, FUNC_DOWNLOAD_DATA, 0x00)) return 1;
    // Let the drive finish writing its flash before anyone talks to it.
    Sleep(2000);
    return 0;
}

}  // namespace

UINT FirmwareUpdateThread(LPVOID pParam) {
    const struct WorkerParam* pWork = (const struct WorkerParam*)pParam;
    int nFirmIndex = g_nFirmIndex;

    std::unique_ptr<BYTE[]> pWorking(new (std::nothrow) BYTE[FIRM_WORK_SIZE]);
    std::unique_ptr<BYTE[]> pPage(new (std::nothrow) BYTE[PAGE_SIZE]);
    if (!pWorking || !pPage) return 1;

    DescrambleImage(nFirmIndex, pWorking.get());
    if (!VerifyImage(nFirmIndex, pWorking.get())) return 1;
    return Download(*pWork->pDrive, pWork->byDrive, pWorking.get(), g_adwFirmBlocks[nFirmIndex], pPage.get());
}
