#include "CAspiTransport.h"

#include <cstring>

#include "DriveCommandSet.h"
#include "util/BeepMessageBox.h"

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

}  // namespace

HMODULE CAspiTransport::m_hAspiModule = NULL;
PFNGETASPI32SUPPORTINFO CAspiTransport::m_pfnGetASPI32SupportInfo = NULL;
PFNSENDASPI32COMMAND CAspiTransport::m_pfnSendASPI32Command = NULL;
int CAspiTransport::m_nHaCount = 0;
int CAspiTransport::m_anInUse[CAspiTransport::MAX_ADAPTERS][CAspiTransport::MAX_TARGETS];
CString CAspiTransport::m_astrDriveName[CAspiTransport::DRIVE_SLOTS];
SRB_HAInquiry CAspiTransport::m_haInquiry;

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
}

bool CAspiTransport::IsAspiLoaded() {
    return m_hAspiModule != NULL && m_pfnGetASPI32SupportInfo != NULL && m_pfnSendASPI32Command != NULL;
}

BYTE CAspiTransport::ScanDrives() {
    if (!IsAspiLoaded()) return 0;
    // Enumerating a loaded manager's adapters is not written yet.
    return 0;
}

CString CAspiTransport::GetDriveName(int nIndex) { return m_astrDriveName[nIndex]; }

void CAspiTransport::SelectDrive(BYTE nIndex) {
    // The name reads "adapter:target: ...", one digit each.
    const CString& strName = m_astrDriveName[nIndex];
    m_nHaId = static_cast<BYTE>(strName[0] - '0');
    m_nTarget = static_cast<BYTE>(strName[2] - '0');
    m_nLun = 0;
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

DriveStatus CAspiTransport::ExecuteCdb(BYTE* pCdb, BYTE nCdbLength, DWORD dwTimeoutSeconds) {
    PutLun(pCdb, m_nLun);
    return SendWithUnitAttentionRetry([&] { return SendRequest(pCdb, nCdbLength, dwTimeoutSeconds); },
                                      m_aucSense);
}

DriveStatus CAspiTransport::SendRequest(const BYTE* pCdb, BYTE nCdbLength, DWORD dwTimeoutSeconds) {
    // Refused before a request block exists: the sense bytes and the error
    // text of the previous command stay as they were.
    if (!IsAspiLoaded()) return SS_FAILED_INIT;
    // Requests over a loaded manager are not written yet.
    return SS_FAILED_INIT;
}
