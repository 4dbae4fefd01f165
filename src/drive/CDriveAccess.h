// The one way to a drive: every operation goes to the transport the
// selector names, ASPI on Windows 98/ME, SCSI pass-through on the NT family.
#pragma once
#include "CAspiTransport.h"
#include "CSptiTransport.h"
#include "DriveStatus.h"
#include "afx.h"
#include "win32.h"

class CDriveAccess {
public:
    CDriveAccess();
    ~CDriveAccess();

    BYTE ScanDrives();
    CString GetDriveName(int nIndex);
    void SelectDrive(BYTE nIndex);
    void SetDataBuffer(BYTE* pBuffer, DWORD dwLength);
    void GetSenseCodes(BYTE& ucAsc, BYTE& ucAscq);
    CString GetErrorText();

    DriveStatus Inquiry(BYTE ucAllocLength);
    DriveStatus StartStopUnit(BYTE ucStart, BYTE ucImmediate, BYTE ucLoadEject);
    DriveStatus ReceiveDiagnosticResults(WORD wAllocLength);
    DriveStatus SendDiagnostic(BYTE ucSelfTest, WORD wParamLength);
    DriveStatus PreventAllowMediumRemoval(BYTE ucPrevent);
    DriveStatus Read10(DWORD dwLba, WORD wBlocks, BYTE ucFua, BYTE ucRelAdr);

    // 0 ASPI, 1 pass-through; set once by the start-up from the platform.
    BYTE m_bUsePassThrough;

private:
    CDriveAccess(const CDriveAccess&) = delete;
    CDriveAccess& operator=(const CDriveAccess&) = delete;

    // Built in this order: loading the ASPI manager comes first.
    CAspiTransport m_aspi;
    CSptiTransport m_spti;
};
