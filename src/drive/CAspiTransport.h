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
    enum { COMMAND_TIMEOUT_SECONDS = 3600 };

private:
    CAspiTransport(const CAspiTransport&) = delete;
    CAspiTransport& operator=(const CAspiTransport&) = delete;

    static bool IsAspiLoaded();
    DriveStatus ExecuteCdb(BYTE* pCdb, BYTE nCdbLength, DWORD dwTimeoutSeconds);
    DriveStatus SendRequest(const BYTE* pCdb, BYTE nCdbLength, DWORD dwTimeoutSeconds);

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
    static int m_anInUse[MAX_ADAPTERS][MAX_TARGETS];
    static CString m_astrDriveName[DRIVE_SLOTS];
    static SRB_HAInquiry m_haInquiry;
};
