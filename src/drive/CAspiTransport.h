// Drive commands on Windows 98/ME, through the ASPI for Win32 manager
// (wnaspi32.dll), which is loaded at run time and only there.
#pragma once
#include "DriveStatus.h"
#include "afx.h"
#include "aspi.h"
#include "win32.h"

class CAspiTransport {
public:
    CAspiTransport();
    ~CAspiTransport();

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

    // One digit each for adapter and target in the display name.
    enum { MAX_ADAPTERS = 7, MAX_TARGETS = 7, DRIVE_SLOTS = MAX_ADAPTERS * MAX_TARGETS };
    enum { COMMAND_TIMEOUT_SECONDS = 3600, SCAN_INQUIRY_TIMEOUT_SECONDS = 10, HA_INQUIRY_TIMEOUT_SECONDS = 10 };
    // How long an aborted request may take to come back from the manager.
    enum { ABORT_WAIT_MILLISECONDS = 10000 };
    // Requests the manager kept after their abort, released once it lets go.
    enum { ABANDONED_SLOTS = 16 };

private:
    CAspiTransport(const CAspiTransport&) = delete;
    CAspiTransport& operator=(const CAspiTransport&) = delete;

    struct AbandonedRequest {
        HGLOBAL hBlock;
        PSRB_ExecSCSICmd pSrb;
        HANDLE hEvent;
    };

    static bool IsAspiLoaded();
    BYTE HostAdapterInquiry(BYTE nHaId, BYTE& ucScsiId);
    DriveStatus ProbeDevice(char* pszText);
    DriveStatus TestUnitReady();
    DriveStatus ExecuteCdb(BYTE* pCdb, BYTE nCdbLength, DWORD dwTimeoutSeconds);
    DriveStatus SendRequest(const BYTE* pCdb, BYTE nCdbLength, DWORD dwTimeoutSeconds);
    static void WaitForCompletion(HANDLE hEvent, DWORD dwTimeoutSeconds);
    static void AbortRequest(HGLOBAL hBlock, PSRB_ExecSCSICmd pSrb, HANDLE hEvent);
    static void ReleaseRequest(HGLOBAL hBlock, HANDLE hEvent);
    static void ReleaseAbandonedRequests(bool bManagerGone);

    BYTE m_nHaId;
    BYTE m_nTarget;
    BYTE m_nLun;
    BYTE m_ucHaStat;
    BYTE m_ucTargStat;
    BYTE* m_pDataBuffer;
    DWORD m_dwDataLength;
    BYTE m_aucSense[SENSE_LEN];
    CString m_strErrorText;
    CString m_strCommandName;

    static HMODULE m_hAspiModule;
    static PFNGETASPI32SUPPORTINFO m_pfnGetASPI32SupportInfo;
    static PFNSENDASPI32COMMAND m_pfnSendASPI32Command;
    static int m_nHaCount;
    static BYTE m_nDriveCount;
    static int m_anInUse[MAX_ADAPTERS][MAX_TARGETS];
    static CString m_astrDriveName[DRIVE_SLOTS];
    static SRB_HAInquiry m_haInquiry;
    static AbandonedRequest m_aAbandoned[ABANDONED_SLOTS];
};
