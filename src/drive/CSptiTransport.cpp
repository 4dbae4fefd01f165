#include "CSptiTransport.h"

#include <cstddef>
#include <cstring>

#include "DriveCommandSet.h"
#include "DriveErrorText.h"

namespace {

// Handed to the driver as both input and output of the I/O control. The
// staging area is aligned so that its aligned start does not depend on
// where the stack happens to be.
struct alignas(16) SptiRequest {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG ulBeforeSense;
    UCHAR aucSense[32];
    UCHAR aucStaging[STAGING_AREA_BYTES];
};

// The layout the 32-bit program hands to Windows.
static_assert(sizeof(void*) != 4 || sizeof(SCSI_PASS_THROUGH_DIRECT) == 44, "SCSI_PASS_THROUGH_DIRECT is 44 bytes");
static_assert(sizeof(void*) != 4 || offsetof(SptiRequest, aucSense) == 48, "sense area at 48");
static_assert(sizeof(void*) != 4 || offsetof(SptiRequest, aucStaging) == 80, "staging area at 80");
static_assert(sizeof(void*) != 4 || sizeof(SptiRequest) == 33104, "request block is 33,104 bytes");
static_assert(CSptiTransport::SENSE_AREA_BYTES <= sizeof(SptiRequest::aucSense), "sense area holds what we ask for");

const ULONG DEVICE_TIMEOUT_SECONDS = 200;
// A driver that will not say what it takes gets 64 KiB; none gets more than 128 KiB.
const DWORD DEFAULT_MAX_TRANSFER = 0x10000;
const DWORD LARGEST_MAX_TRANSFER = 0x20000;

// ハンドル取得に失敗しました: %d\n (code page 932)
const char kszOpenFailedJ[] =
    "\x83n\x83\x93\x83h\x83\x8B\x8E\xE6\x93\xBE\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD: %d\n";

UCHAR DataInOf(BYTE ucOpcode) {
    switch (DataDirectionOf(ucOpcode)) {
        case DriveDataOut:
            return SCSI_IOCTL_DATA_OUT;
        case DriveDataIn:
            return SCSI_IOCTL_DATA_IN;
        default:
            return SCSI_IOCTL_DATA_UNSPECIFIED;
    }
}

}  // namespace

CString CSptiTransport::m_astrDriveName[CSptiTransport::DRIVE_SLOTS];
DWORD CSptiTransport::m_adwMaxTransfer[CSptiTransport::DRIVE_SLOTS];
int CSptiTransport::m_anInUse[CSptiTransport::DRIVE_SLOTS];

CSptiTransport::CSptiTransport()
    : m_nSelected(0), m_nLun(0), m_ucScsiStatus(0), m_pDataBuffer(NULL), m_dwDataLength(0), m_aucSense(),
      m_aucSenseArea() {}

CSptiTransport::~CSptiTransport() {}

BYTE CSptiTransport::ScanDrives() {
    SelectDrive(PROBE_SLOT);
    m_anInUse[PROBE_SLOT] = 0;
    m_adwMaxTransfer[PROBE_SLOT] = DEFAULT_MAX_TRANSFER;
    BYTE nCount = 0;
    BYTE aucInquiry[256];
    for (char chLetter = 'A'; chLetter <= 'Z'; ++chLetter) {
        std::memset(aucInquiry, 0, sizeof aucInquiry);
        m_astrDriveName[PROBE_SLOT].Format("%c:", chLetter);
        if (GetDriveTypeA(m_astrDriveName[PROBE_SLOT]) != DRIVE_CDROM) continue;
        SetDataBuffer(aucInquiry, INQUIRY_SCAN_LENGTH);
        if (Inquiry(INQUIRY_SCAN_LENGTH) != SS_COMP) continue;
        if (!IsOpticalDeviceType(aucInquiry[0]) || !IsSupportedProduct(reinterpret_cast<char*>(aucInquiry + 16)))
            continue;
        m_astrDriveName[nCount].Format("%c:   %16.28s", chLetter, reinterpret_cast<char*>(aucInquiry + 8));
        m_adwMaxTransfer[nCount] = QueryMaxTransferLength(nCount);
        ++nCount;
    }
    // The INQUIRY buffer dies with this frame; a caller that forgets to set
    // its own then moves no data instead of writing a dead stack frame.
    SetDataBuffer(NULL, 0);
    return nCount;
}

CString CSptiTransport::GetDriveName(int nIndex) { return m_astrDriveName[nIndex]; }

void CSptiTransport::SelectDrive(BYTE nIndex) {
    m_nSelected = nIndex;
    m_nLun = 0;
}

void CSptiTransport::SetDataBuffer(BYTE* pBuffer, DWORD dwLength) {
    m_pDataBuffer = pBuffer;
    m_dwDataLength = dwLength;
}

void CSptiTransport::GetSenseCodes(BYTE& ucAsc, BYTE& ucAscq) {
    ucAsc = m_aucSense[12];
    ucAscq = m_aucSense[13];
}

CString CSptiTransport::GetErrorText() { return m_strErrorText; }

DriveStatus CSptiTransport::Inquiry(BYTE ucAllocLength) {
    DriveCdb cdb = MakeInquiryCdb(ucAllocLength);
    return ExecuteCdb(cdb.abCdb, cdb.nLength);
}

DriveStatus CSptiTransport::StartStopUnit(BYTE ucStart, BYTE ucImmediate, BYTE ucLoadEject) {
    DriveCdb cdb = MakeStartStopUnitCdb(ucStart, ucImmediate, ucLoadEject);
    return ExecuteCdb(cdb.abCdb, cdb.nLength);
}

DriveStatus CSptiTransport::ReceiveDiagnosticResults(WORD wAllocLength) {
    DriveCdb cdb = MakeReceiveDiagnosticResultsCdb(wAllocLength);
    return ExecuteCdb(cdb.abCdb, cdb.nLength);
}

DriveStatus CSptiTransport::SendDiagnostic(BYTE ucSelfTest, WORD wParamLength) {
    DriveCdb cdb = MakeSendDiagnosticCdb(ucSelfTest, wParamLength);
    return ExecuteCdb(cdb.abCdb, cdb.nLength);
}

DriveStatus CSptiTransport::PreventAllowMediumRemoval(BYTE ucPrevent) {
    DriveCdb cdb = MakePreventAllowMediumRemovalCdb(ucPrevent);
    return ExecuteCdb(cdb.abCdb, cdb.nLength);
}

DriveStatus CSptiTransport::Read10(DWORD dwLba, WORD wBlocks, BYTE ucFua, BYTE ucRelAdr) {
    DriveCdb cdb = MakeRead10Cdb(dwLba, wBlocks, ucFua, ucRelAdr);
    return ExecuteCdb(cdb.abCdb, cdb.nLength);
}

DriveStatus CSptiTransport::ExecuteCdb(BYTE* pCdb, BYTE nCdbLength) {
    PutLun(pCdb, m_nLun);
    return SendWithUnitAttentionRetry([&] { return SendRequest(pCdb, nCdbLength); }, m_aucSense);
}

DriveStatus CSptiTransport::SendRequest(const BYTE* pCdb, BYTE nCdbLength) {
    const BYTE nSlot = m_nSelected;
    // Cleared first, so a request that never reaches the drive is not
    // mistaken for a unit attention and repeated.
    std::memset(m_aucSense, 0, sizeof m_aucSense);
    std::memset(m_aucSenseArea, 0, sizeof m_aucSenseArea);
    m_ucScsiStatus = 0;

    if (m_anInUse[nSlot]) {
        m_strErrorText = "Inuse";
        return DRV_IN_USE;
    }
    m_anInUse[nSlot] = 1;

    SptiRequest request;
    BYTE* pStaged = FirstAlignedByte(request.aucStaging);
    if (m_adwMaxTransfer[nSlot] < m_dwDataLength ||
        StagingCapacity(request.aucStaging, sizeof request.aucStaging) < m_dwDataLength) {
        m_strErrorText = "Buffer Too Big";
        m_anInUse[nSlot] = 0;
        return SS_BUFFER_TO_BIG;
    }
    m_strErrorText.Empty();

    HANDLE hDevice = OpenSlotDevice(nSlot);
    if (hDevice == INVALID_HANDLE_VALUE) {
        SetOpenErrorText(GetLastError());
        m_anInUse[nSlot] = 0;
        return SS_ERR;
    }

    std::memset(&request, 0, sizeof request);
    SCSI_PASS_THROUGH_DIRECT& sptd = request.sptd;
    sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    sptd.PathId = 0;
    sptd.TargetId = 1;
    sptd.Lun = 0;
    sptd.CdbLength = nCdbLength;
    sptd.SenseInfoLength = SENSE_AREA_BYTES;
    sptd.DataIn = DataInOf(pCdb[0]);
    sptd.DataTransferLength = m_dwDataLength;
    sptd.TimeOutValue = DEVICE_TIMEOUT_SECONDS;
    sptd.DataBuffer = pStaged;
    sptd.SenseInfoOffset = offsetof(SptiRequest, aucSense);
    std::memcpy(sptd.Cdb, pCdb, nCdbLength);
    if (m_dwDataLength != 0) std::memcpy(pStaged, m_pDataBuffer, m_dwDataLength);

    DWORD dwReturned = 0;
    BOOL bDone = DeviceIoControl(hDevice, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                                 sizeof request, &dwReturned, NULL);
    DWORD dwError = bDone ? ERROR_SUCCESS : GetLastError();
    // Whatever the direction and the outcome, as the callers expect.
    if (m_dwDataLength != 0) std::memcpy(m_pDataBuffer, pStaged, m_dwDataLength);
    CloseHandle(hDevice);

    if (!bDone) {
        SetIoctlErrorText(dwError);
        m_anInUse[nSlot] = 0;
        return SS_ERR;
    }

    m_ucScsiStatus = sptd.ScsiStatus;
    DriveStatus status = m_ucScsiStatus == STATUS_GOOD ? SS_COMP : SS_ERR;
    std::memcpy(m_aucSenseArea, request.aucSense, sizeof m_aucSenseArea);
    std::memcpy(m_aucSense, request.aucSense, sizeof m_aucSense);
    if (status == SS_ERR) m_strErrorText = ComposeSptiErrorText(m_ucScsiStatus, m_aucSenseArea);
    m_anInUse[nSlot] = 0;
    return status;
}

DWORD CSptiTransport::QueryMaxTransferLength(BYTE nSlot) {
    m_strErrorText.Empty();
    HANDLE hDevice = OpenSlotDevice(nSlot);
    if (hDevice == INVALID_HANDLE_VALUE) {
        SetOpenErrorText(GetLastError());
        m_anInUse[nSlot] = 0;
        return 0;
    }
    IO_SCSI_CAPABILITIES capabilities;
    std::memset(&capabilities, 0, sizeof capabilities);
    DWORD dwReturned = 0;
    BOOL bDone = DeviceIoControl(hDevice, IOCTL_SCSI_GET_CAPABILITIES, NULL, 0, &capabilities, sizeof capabilities,
                                 &dwReturned, NULL);
    CloseHandle(hDevice);
    if (!bDone) return DEFAULT_MAX_TRANSFER;
    return capabilities.MaximumTransferLength < LARGEST_MAX_TRANSFER ? capabilities.MaximumTransferLength
                                                                     : LARGEST_MAX_TRANSFER;
}

HANDLE CSptiTransport::OpenSlotDevice(BYTE nSlot) {
    // The slot's name starts with the drive letter and its colon.
    CString strDevice = CString("\\\\.\\") + m_astrDriveName[nSlot].Left(2);
    return CreateFileA(strDevice, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, 0, NULL);
}

void CSptiTransport::SetOpenErrorText(DWORD dwError) {
    const char* pszFirstLine = _getmbcp() == 932 ? kszOpenFailedJ : "Get Handle Error: %d\n";
    m_strErrorText.Format(pszFirstLine, static_cast<int>(dwError));
    // The runtime's text for the same number, as the C library knows it.
    m_strErrorText += std::strerror(static_cast<int>(dwError));
}

void CSptiTransport::SetIoctlErrorText(DWORD dwError) {
    m_strErrorText.Format("Error opening . Error: %d\n", static_cast<int>(dwError));
    char szMessage[80];
    DWORD nChars = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, dwError,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szMessage, sizeof szMessage, NULL);
    if (nChars != 0 && nChars < sizeof szMessage) {
        m_strErrorText += CString(szMessage, static_cast<int>(nChars));
    } else {
        CString strFailed;
        strFailed.Format("Format message failed.  Error: %d\n", static_cast<int>(GetLastError()));
        m_strErrorText += strFailed;
    }
}
