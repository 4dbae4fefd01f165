#include "update/DriveQualification.h"

#include <cstdio>
#include <cstring>

#include "drive/CDriveAccess.h"
#include "update/FirmwareIndex.h"
#include "update/FirmwareTable.h"
#include "update/VendorPage.h"

const char g_szSupportedModel[] = "DVD-ROM ZQ-X9046";
const char g_szSupportedVendor[] = "VALTORA ";

namespace {

// Offsets in the INQUIRY data.
const int INQ_PRODUCT = 16;
const int INQ_REVISION = 32;

// The sibling model shares our firmware family but must not take this
// image below its own revision 30.
const char SIBLING_FRAGMENT[] = "X7301";
const int SIBLING_MIN_REVISION = 30;

CString TextAt(LPCSTR pszFormat, const BYTE* pBytes) {
    CString str;
    str.Format(pszFormat, reinterpret_cast<const char*>(pBytes));
    return str;
}

// The last two characters as sscanf's "%02d" reads them; false when it
// converts nothing.
bool ReadRevisionNumber(const CString& strRevision, int& nNumber) {
    return std::sscanf(strRevision.Right(2), "%02d", &nNumber) == 1;
}

// Sends the family query and reads its answer into pBuffer.
bool AskFamily(CDriveAccess& drive, BYTE* pBuffer) {
    WriteVendorPage(pBuffer, VENDOR_FUNC_FAMILY_QUERY, 0x00, 0);
    drive.SetDataBuffer(pBuffer, VENDOR_PAGE_HEAD);
    if (drive.SendDiagnostic(0, VENDOR_PAGE_HEAD) != SS_COMP) return false;
    drive.SetDataBuffer(pBuffer, FAMILY_REPLY_LENGTH);
    return drive.ReceiveDiagnosticResults(FAMILY_REPLY_LENGTH) == SS_COMP;
}

CString FamilyOf(const BYTE* pReply) { return TextAt("%.2s", pReply + FAMILY_REPLY_CODE); }

}  // namespace

DriveStatus ReadDriveIdentity(CDriveAccess& drive, BYTE nDrive, BYTE* pBuffer) {
    drive.SelectDrive(nDrive);
    return ReadSelectedIdentity(drive, pBuffer);
}

DriveStatus ReadSelectedIdentity(CDriveAccess& drive, BYTE* pBuffer) {
    std::memset(pBuffer, 0, IDENTITY_BUFFER);
    drive.SetDataBuffer(pBuffer, IDENTITY_LENGTH);
    return drive.Inquiry(IDENTITY_LENGTH);
}

DriveVerdict QualifyDrive(CDriveAccess& drive, BYTE* pBuffer, DriveFindings& findings) {
    // Up to the first zero, 16 characters at most: the whole product field.
    CString strProduct = TextAt("%.16s", pBuffer + INQ_PRODUCT);
    findings.strRevision = TextAt("%.4s", pBuffer + INQ_REVISION);

    if (strProduct.Find(g_szSupportedModel) < 0) return VerdictNotSupported;
    if (pBuffer[INQ_REVISION] != '1') return VerdictNotSupported;
    // A lower-case family letter is firmware we do not carry.
    if (pBuffer[INQ_REVISION + 1] != 'H') return VerdictWrongFirmware;

    if (!AskFamily(drive, pBuffer)) return VerdictNotSupported;
    signed char cLevel = static_cast<signed char>(pBuffer[FAMILY_REPLY_LEVEL]);
    int nEntry = FirmwareTable::FindFamily(FamilyOf(pBuffer));
    if (nEntry >= FIRM_ENTRIES) return VerdictNotSupported;

    FirmwareEntry entry = FirmwareTable::Entry(nEntry);
    findings.nEntry = nEntry;
    findings.strTargetRevision = entry.strTargetRevision;

    int nDriveNumber = 0;
    int nTargetNumber = 0;
    // A revision we cannot read is never written over.
    if (!ReadRevisionNumber(findings.strRevision, nDriveNumber) ||
        !ReadRevisionNumber(entry.strTargetRevision, nTargetNumber))
        return VerdictNotNeeded;
    if (nDriveNumber > nTargetNumber) return VerdictNotNeeded;
    if (nDriveNumber < nTargetNumber) return VerdictNeeded;
    // Same revision: builds below the threshold level still need it.
    return entry.cThreshold <= cLevel ? VerdictNotNeeded : VerdictNeeded;
}

StartCheck RecheckForStart(CDriveAccess& drive, BYTE nDrive) {
    // Zeroed so a short reply cannot leave stack bytes to be judged.
    BYTE abBuffer[IDENTITY_BUFFER] = {0};
    drive.SelectDrive(nDrive);
    drive.SetDataBuffer(abBuffer, IDENTITY_LENGTH);
    if (drive.Inquiry(IDENTITY_LENGTH) != SS_COMP) return StartCommandFailed;

    CString strProduct = TextAt("%.16s", abBuffer + INQ_PRODUCT);
    // Digits are not checked: other bytes only give a number out of range.
    int nSiblingRevision = (abBuffer[INQ_REVISION + 2] - 48) * 10 + (abBuffer[INQ_REVISION + 3] - 48);
    if (strProduct.Find(SIBLING_FRAGMENT) >= 0 && nSiblingRevision < SIBLING_MIN_REVISION &&
        abBuffer[INQ_PRODUCT + 4] == '1' && abBuffer[INQ_PRODUCT + 5] == '0')
        return StartSiblingRefused;

    if (!AskFamily(drive, abBuffer)) return StartCommandFailed;
    g_nFirmIndex = FirmwareTable::FindFamily(FamilyOf(abBuffer));
    return g_nFirmIndex < FIRM_ENTRIES ? StartReady : StartNoEntry;
}
