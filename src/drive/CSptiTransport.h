// Drive commands on the NT family: the drive letter is opened as a device
// for every command and the CDB goes to the storage driver as a SCSI
// pass-through request.
#pragma once
#include "DriveStatus.h"
#include "afx.h"
#include "win32.h"

class CSptiTransport {
public:
    CSptiTransport();
    ~CSptiTransport();

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

    // Slots 0 to 25 hold the drives found; the scan probes through slot 27.
    enum { DRIVE_SLOTS = 28, PROBE_SLOT = 27 };
    // Sense bytes the driver is asked for; callers read the first 14.
    enum { SENSE_AREA_BYTES = 24, KEPT_SENSE_BYTES = 14 };

private:
    CSptiTransport(const CSptiTransport&) = delete;
    CSptiTransport& operator=(const CSptiTransport&) = delete;

    DriveStatus ExecuteCdb(BYTE* pCdb, BYTE nCdbLength);
    DriveStatus SendRequest(const BYTE* pCdb, BYTE nCdbLength);
    DWORD QueryMaxTransferLength(BYTE nSlot);
    HANDLE OpenSlotDevice(BYTE nSlot);
    void SetOpenErrorText(DWORD dwError);
    void SetIoctlErrorText(DWORD dwError);

    BYTE m_nSelected;
    BYTE m_nLun;
    BYTE m_ucScsiStatus;
    BYTE* m_pDataBuffer;
    DWORD m_dwDataLength;
    BYTE m_aucSense[KEPT_SENSE_BYTES];
    // The whole sense area of the last request: the error text reads byte 19.
    BYTE m_aucSenseArea[SENSE_AREA_BYTES];
    CString m_strErrorText;

    static CString m_astrDriveName[DRIVE_SLOTS];
    static DWORD m_adwMaxTransfer[DRIVE_SLOTS];
    static int m_anInUse[DRIVE_SLOTS];
};
