#include "CAspiTransport.h"

#include <cstring>
#include <ctime>

#include "DriveCommandSet.h"
#include "DriveErrorText.h"
#include "util/BeepMessageBox.h"
#include "util/MessagePump.h"

namespace {

// オペレーティングシステムの情報を取得できません。 (code page 932)
const char kszNoVersionJ[] =
    "\x83I\x83y\x83\x8C\x81[\x83" "e\x83" "B\x83\x93\x83O\x83V\x83X\x83" "e\x83\x80\x82\xCC\x8F\xEE\x95\xF1\x82\xF0"
    "\x8E\xE6\x93\xBE\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81" "B";
// ASPI初期化に失敗しました。 (code page 932)
const char kszAspiFailedJ[] =
    "ASPI\x8F\x89\x8A\xFA\x89\xBB\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81" "B";

// The manager exports plain C functions; GetProcAddress hands them out
// under one generic type.
template <class Function>
Function EntryPoint(HMODULE hModule, LPCSTR pszName) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(GetProcAddress(hModule, pszName)));
}

void ShowConstructionMessage(LPCSTR pszEnglish, LPCSTR pszJapanese) {
    // Shown during static construction: there is no window to own it yet.
    MessageBoxA(NULL, _getmbcp() == 932 ? pszJapanese : pszEnglish, g_szMessageCaption, MB_OK);
}

// The manager fills its blocks behind our back, from its own thread.
BYTE StatusOf(const void* pSrb) { return static_cast<const volatile SRB_Header*>(pSrb)->SRB_Status; }

BYTE FlagsFor(BYTE ucOpcode) {
    switch (DataDirectionOf(ucOpcode)) {
        case DriveDataOut:
            return SRB_EVENT_NOTIFY | SRB_DIR_OUT;
        case DriveDataIn:
            return SRB_EVENT_NOTIFY | SRB_DIR_IN;
        default:
            return SRB_EVENT_NOTIFY;
    }
}

// A selection that names no drive: requests are refused before they reach
// the in-use marks.
const BYTE NO_SELECTION = 0xFF;

}  // namespace

HMODULE CAspiTransport::m_hAspiModule = NULL;
PFNGETASPI32SUPPORTINFO CAspiTransport::m_pfnGetASPI32SupportInfo = NULL;
PFNSENDASPI32COMMAND CAspiTransport::m_pfnSendASPI32Command = NULL;
int CAspiTransport::m_nHaCount = 0;
BYTE CAspiTransport::m_nDriveCount = 0;
int CAspiTransport::m_anInUse[CAspiTransport::MAX_ADAPTERS][CAspiTransport::MAX_TARGETS];
CString CAspiTransport::m_astrDriveName[CAspiTransport::DRIVE_SLOTS];
SRB_HAInquiry CAspiTransport::m_haInquiry;
CAspiTransport::AbandonedRequest CAspiTransport::m_aAbandoned[CAspiTransport::ABANDONED_SLOTS];

CAspiTransport::CAspiTransport()
    : m_nHaId(0), m_nTarget(0), m_nLun(0), m_ucHaStat(0), m_ucTargStat(0), m_pDataBuffer(NULL), m_dwDataLength(0),
      m_aucSense() {
    m_nHaCount = 0;

    OSVERSIONINFOA osvi;
    std::memset(&osvi, 0, sizeof osvi);
    osvi.dwOSVersionInfoSize = sizeof osvi;
    if (!GetVersionExA(&osvi)) {
        ShowConstructionMessage("Cannot get operationg system information.", kszNoVersionJ);
        return;
    }
    // The NT family has no ASPI manager of its own; pass-through serves it.
    if (osvi.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) return;

    bool bReady = false;
    m_hAspiModule = LoadLibraryA("wnaspi32.dll");
    if (m_hAspiModule != NULL) {
        m_pfnGetASPI32SupportInfo = EntryPoint<PFNGETASPI32SUPPORTINFO>(m_hAspiModule, "GetASPI32SupportInfo");
    }
    if (m_pfnGetASPI32SupportInfo != NULL) {
        DWORD dwSupportInfo = m_pfnGetASPI32SupportInfo();
        if (HIBYTE(LOWORD(dwSupportInfo)) == SS_COMP) {
            m_nHaCount = LOBYTE(dwSupportInfo);
            m_pfnSendASPI32Command = EntryPoint<PFNSENDASPI32COMMAND>(m_hAspiModule, "SendASPI32Command");
            bReady = m_pfnSendASPI32Command != NULL;
        }
    }
    // Whatever was loaded stays loaded; without both entry points every
    // command is refused as not initialised.
    if (!bReady) ShowConstructionMessage("ASPI Initialize Fail!", kszAspiFailedJ);
}

CAspiTransport::~CAspiTransport() {
    if (m_hAspiModule != NULL) {
        FreeLibrary(m_hAspiModule);
        m_hAspiModule = NULL;
    }
    m_pfnGetASPI32SupportInfo = NULL;
    m_pfnSendASPI32Command = NULL;
    // An unloaded manager holds nothing of ours any more.
    ReleaseAbandonedRequests(true);
}

bool CAspiTransport::IsAspiLoaded() {
    return m_hAspiModule != NULL && m_pfnGetASPI32SupportInfo != NULL && m_pfnSendASPI32Command != NULL;
}

BYTE CAspiTransport::ScanDrives() {
    if (!IsAspiLoaded()) return 0;
    // A scan probes with a buffer of its own; the caller's is not for it.
    SetDataBuffer(NULL, 0);
    BYTE nCount = 0;
    // Adapters from 7 on have no digit in the name and no in-use marks.
    const int nAdapters = m_nHaCount < MAX_ADAPTERS ? m_nHaCount : MAX_ADAPTERS;
    for (int nHa = 0; nHa < nAdapters; ++nHa) {
        BYTE ucScsiId = 0;
        if (HostAdapterInquiry(static_cast<BYTE>(nHa), ucScsiId) != SS_COMP) break;
        for (int nTarget = 0; nTarget < MAX_TARGETS; ++nTarget) {
            // The adapter itself sits at its own ID.
            if (nTarget == ucScsiId) continue;
            m_nHaId = static_cast<BYTE>(nHa);
            m_nTarget = static_cast<BYTE>(nTarget);
            m_nLun = 0;
            char szText[29];
            if (ProbeDevice(szText) == SS_COMP && IsSupportedProduct(szText + 8)) {
                m_astrDriveName[nCount].Format("%d:%d: %16.28s", nHa, nTarget, szText);
                ++nCount;
            }
        }
    }
    // Names of an earlier scan are not drives of this one.
    for (int i = nCount; i < DRIVE_SLOTS; ++i) m_astrDriveName[i].Empty();
    m_nDriveCount = nCount;
    return nCount;
}

CString CAspiTransport::GetDriveName(int nIndex) {
    if (nIndex < 0 || nIndex >= DRIVE_SLOTS) return CString();
    return m_astrDriveName[nIndex];
}

void CAspiTransport::SelectDrive(BYTE nIndex) {
    m_nHaId = NO_SELECTION;
    m_nTarget = NO_SELECTION;
    m_nLun = 0;
    if (nIndex >= m_nDriveCount) return;
    // The name reads "adapter:target: ...", one digit each.
    const CString& strName = m_astrDriveName[nIndex];
    if (strName.GetLength() < 3) return;
    m_nHaId = static_cast<BYTE>(strName[0] - '0');
    m_nTarget = static_cast<BYTE>(strName[2] - '0');
}

void CAspiTransport::SetDataBuffer(BYTE* pBuffer, DWORD dwLength) {
    m_pDataBuffer = pBuffer;
    m_dwDataLength = dwLength;
}

void CAspiTransport::GetSenseCodes(BYTE& ucAsc, BYTE& ucAscq) {
    ucAsc = m_aucSense[12];
    ucAscq = m_aucSense[13];
}

CString CAspiTransport::GetErrorText() { return m_strErrorText; }

DriveStatus CAspiTransport::Inquiry(BYTE ucAllocLength) {
    m_strCommandName = "Inquiry";
    DriveCdb cdb = MakeInquiryCdb(ucAllocLength);
    return ExecuteCdb(cdb.abCdb, cdb.nLength, COMMAND_TIMEOUT_SECONDS);
}

DriveStatus CAspiTransport::StartStopUnit(BYTE ucStart, BYTE ucImmediate, BYTE ucLoadEject) {
    m_strCommandName.Format("Stat/StopUnit(%X)(%X)", ucStart, ucLoadEject);
    DriveCdb cdb = MakeStartStopUnitCdb(ucStart, ucImmediate, ucLoadEject);
    return ExecuteCdb(cdb.abCdb, cdb.nLength, COMMAND_TIMEOUT_SECONDS);
}

DriveStatus CAspiTransport::ReceiveDiagnosticResults(WORD wAllocLength) {
    m_strCommandName = "Receive Diagnostic Results";
    DriveCdb cdb = MakeReceiveDiagnosticResultsCdb(wAllocLength);
    return ExecuteCdb(cdb.abCdb, cdb.nLength, COMMAND_TIMEOUT_SECONDS);
}

DriveStatus CAspiTransport::SendDiagnostic(BYTE ucSelfTest, WORD wParamLength) {
    m_strCommandName = "Send Diagnostic";
    DriveCdb cdb = MakeSendDiagnosticCdb(ucSelfTest, wParamLength);
    return ExecuteCdb(cdb.abCdb, cdb.nLength, COMMAND_TIMEOUT_SECONDS);
}

DriveStatus CAspiTransport::PreventAllowMediumRemoval(BYTE ucPrevent) {
    m_strCommandName = "Prevent/Allow Medium Removal";
    DriveCdb cdb = MakePreventAllowMediumRemovalCdb(ucPrevent);
    return ExecuteCdb(cdb.abCdb, cdb.nLength, COMMAND_TIMEOUT_SECONDS);
}

DriveStatus CAspiTransport::Read10(DWORD dwLba, WORD wBlocks, BYTE ucFua, BYTE ucRelAdr) {
    m_strCommandName.Format("Read(Group1)(%X)(%X)", static_cast<unsigned>(dwLba), static_cast<unsigned>(wBlocks));
    DriveCdb cdb = MakeRead10Cdb(dwLba, wBlocks, ucFua, ucRelAdr);
    return ExecuteCdb(cdb.abCdb, cdb.nLength, COMMAND_TIMEOUT_SECONDS);
}

DriveStatus CAspiTransport::TestUnitReady() {
    m_strCommandName = "Test Unit Ready";
    DriveCdb cdb = MakeTestUnitReadyCdb();
    return ExecuteCdb(cdb.abCdb, cdb.nLength, COMMAND_TIMEOUT_SECONDS);
}

BYTE CAspiTransport::HostAdapterInquiry(BYTE nHaId, BYTE& ucScsiId) {
    std::memset(&m_haInquiry, 0, sizeof m_haInquiry);
    m_haInquiry.SRB_Cmd = SC_HA_INQUIRY;
    m_haInquiry.SRB_HaId = nHaId;
    if (!IsAspiLoaded()) return SS_FAILED_INIT;
    m_pfnSendASPI32Command(&m_haInquiry);
    // Windows of this thread keep answering while the manager looks.
    const time_t tStart = time(NULL);
    time_t tNow;
    do {
        PumpWaitingMessage();
        tNow = time(NULL);
    } while (StatusOf(&m_haInquiry) == SS_PENDING && tNow - tStart < HA_INQUIRY_TIMEOUT_SECONDS);
    const BYTE ucStatus = StatusOf(&m_haInquiry);
    if (ucStatus == SS_COMP) ucScsiId = m_haInquiry.HA_SCSI_ID;
    return ucStatus;
}

DriveStatus CAspiTransport::ProbeDevice(char* pszText) {
    // Clears a pending unit attention, so the INQUIRY finds a settled drive.
    TestUnitReady();
    BYTE abyInquiry[256];
    std::memset(abyInquiry, 0, sizeof abyInquiry);
    SetDataBuffer(abyInquiry, INQUIRY_SCAN_LENGTH);
    DriveCdb cdb = MakeInquiryCdb(INQUIRY_SCAN_LENGTH);
    DriveStatus status = ExecuteCdb(cdb.abCdb, cdb.nLength, SCAN_INQUIRY_TIMEOUT_SECONDS);
    // The buffer dies with this frame.
    SetDataBuffer(NULL, 0);
    const char* pszIdentity = "";
    if (status == SS_COMP && IsOpticalDeviceType(abyInquiry[0])) pszIdentity = reinterpret_cast<char*>(abyInquiry + 8);
    CString strText;
    strText.Format("%16.28s", pszIdentity);
    std::memset(pszText, 0, 29);
    std::strncpy(pszText, strText, 28);
    return status;
}

DriveStatus CAspiTransport::ExecuteCdb(BYTE* pCdb, BYTE nCdbLength, DWORD dwTimeoutSeconds) {
    PutLun(pCdb, m_nLun);
    return SendWithUnitAttentionRetry([&] { return SendRequest(pCdb, nCdbLength, dwTimeoutSeconds); },
                                      m_aucSense);
}

DriveStatus CAspiTransport::SendRequest(const BYTE* pCdb, BYTE nCdbLength, DWORD dwTimeoutSeconds) {
    // Refused before a request block exists: the sense bytes and the error
    // text of the previous command stay as they were.
    if (!IsAspiLoaded()) return SS_FAILED_INIT;
    if (m_nHaId >= MAX_ADAPTERS || m_nTarget >= MAX_TARGETS) return SS_NO_DEVICE;
    ReleaseAbandonedRequests(false);
    int& nInUse = m_anInUse[m_nHaId][m_nTarget];
    if (nInUse) return DRV_IN_USE;
    nInUse = 1;

    alignas(16) BYTE abyStaging[STAGING_AREA_BYTES];
    if (m_dwDataLength > sizeof abyStaging) {
        nInUse = 0;
        return SS_BUFFER_TO_BIG;
    }
    HANDLE hEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (hEvent == NULL) {
        nInUse = 0;
        return DRV_IN_USE;
    }
    HGLOBAL hBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(SRB_ExecSCSICmd));
    PSRB_ExecSCSICmd pSrb = hBlock != NULL ? static_cast<PSRB_ExecSCSICmd>(GlobalLock(hBlock)) : NULL;
    if (pSrb == NULL) {
        if (hBlock != NULL) GlobalFree(hBlock);
        CloseHandle(hEvent);
        nInUse = 0;
        return DRV_NO_REQUEST_BLOCK;
    }
    if (m_dwDataLength != 0) std::memcpy(abyStaging, m_pDataBuffer, m_dwDataLength);

    pSrb->SRB_Cmd = SC_EXEC_SCSI_CMD;
    pSrb->SRB_HaId = m_nHaId;
    pSrb->SRB_Flags = FlagsFor(pCdb[0]);
    pSrb->SRB_Target = m_nTarget;
    pSrb->SRB_Lun = m_nLun;
    pSrb->SRB_BufPointer = abyStaging;
    pSrb->SRB_BufLen = m_dwDataLength;
    pSrb->SRB_SenseLen = SENSE_LEN;
    pSrb->SRB_CDBLen = nCdbLength;
    pSrb->SRB_PostProc = hEvent;
    std::memcpy(pSrb->CDBByte, pCdb, nCdbLength);
    ResetEvent(hEvent);
    m_pfnSendASPI32Command(pSrb);
    WaitForCompletion(hEvent, dwTimeoutSeconds);

    // Still pending when the wait ran out: SS_PENDING, a time-out.
    const DriveStatus status = StatusOf(pSrb);
    m_ucHaStat = pSrb->SRB_HaStat;
    m_ucTargStat = pSrb->SRB_TargStat;
    std::memcpy(m_aucSense, pSrb->SenseArea, SENSE_LEN);
    if (m_dwDataLength != 0) std::memcpy(m_pDataBuffer, abyStaging, m_dwDataLength);
    // The 14 sense bytes of a request block end before byte 19.
    if (status != SS_COMP)
        m_strErrorText = ComposeAspiErrorText(m_strCommandName, status, m_ucHaStat, m_ucTargStat, m_aucSense[12],
                                              m_aucSense[13], 0);
    if (status == SS_PENDING)
        AbortRequest(hBlock, pSrb, hEvent);
    else
        ReleaseRequest(hBlock, hEvent);
    nInUse = 0;
    return status;
}

void CAspiTransport::WaitForCompletion(HANDLE hEvent, DWORD dwTimeoutSeconds) {
    // A spin on the event against the calendar clock: the thread never
    // sleeps, so the command's end is seen at once.
    const time_t tStart = time(NULL);
    for (;;) {
        const time_t tNow = time(NULL);
        if (WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0) return;
        if (tNow - tStart >= static_cast<time_t>(dwTimeoutSeconds)) return;
    }
}

void CAspiTransport::AbortRequest(HGLOBAL hBlock, PSRB_ExecSCSICmd pSrb, HANDLE hEvent) {
    SRB_Abort abortSrb;
    std::memset(&abortSrb, 0, sizeof abortSrb);
    abortSrb.SRB_Cmd = SC_ABORT_SRB;
    abortSrb.SRB_HaId = pSrb->SRB_HaId;
    abortSrb.SRB_ToAbort = pSrb;
    m_pfnSendASPI32Command(&abortSrb);
    // An aborted request still ends through its event; until it has, the
    // manager may write the block and set the event.
    WaitForSingleObject(hEvent, ABORT_WAIT_MILLISECONDS);
    if (StatusOf(pSrb) != SS_PENDING) {
        ReleaseRequest(hBlock, hEvent);
        return;
    }
    for (int i = 0; i < ABANDONED_SLOTS; ++i) {
        if (m_aAbandoned[i].hBlock != NULL) continue;
        m_aAbandoned[i].hBlock = hBlock;
        m_aAbandoned[i].pSrb = pSrb;
        m_aAbandoned[i].hEvent = hEvent;
        return;
    }
    // No slot left: the block and the event stay with the manager for good,
    // which is still better than freeing what it may write.
}

void CAspiTransport::ReleaseRequest(HGLOBAL hBlock, HANDLE hEvent) {
    GlobalUnlock(hBlock);
    GlobalFree(hBlock);
    CloseHandle(hEvent);
}

void CAspiTransport::ReleaseAbandonedRequests(bool bManagerGone) {
    for (int i = 0; i < ABANDONED_SLOTS; ++i) {
        AbandonedRequest& request = m_aAbandoned[i];
        if (request.hBlock == NULL) continue;
        if (!bManagerGone && StatusOf(request.pSrb) == SS_PENDING) continue;
        ReleaseRequest(request.hBlock, request.hEvent);
        request.hBlock = NULL;
        request.pSrb = NULL;
        request.hEvent = NULL;
    }
}
