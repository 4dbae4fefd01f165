#include "DriveErrorText.h"

#include "DriveStatus.h"
#include "util/BeepMessageBox.h"

namespace {

// A lookup stops at the first matching code or at the record with code 0,
// whose text stands for every code not listed.
struct StatusText {
    BYTE ucCode;
    const char* pszText;
};

const StatusText kAspiStatus[] = {
    {0x02, "Aborted."},      {0x04, "Error."},        {0x81, "Invalid HA."},
    {0x82, "No Device."},    {0xE0, "Invalid SRB."},  {0xE4, "Faild Initailize."},
    {0xE5, "ASPI is busy."}, {0xE6, "Buffer size is too big."}, {0x00, "Timeout."},
};

const StatusText kHostAdapterStatus[] = {
    {0x11, "Selection timeout."}, {0x12, "Overrun or Underrun."}, {0x13, "Busfree ditect."},
    {0x14, "Phase Error."},       {0x00, "Unknown Ha status:%02X"},
};

const StatusText kAspiTargetStatus[] = {
    {0x02, "Check Condition."},
    {0x08, "Target Busy."},
    {0x18, "Request Conflict."},
    {0x00, "Unknown Target status:%02X"},
};

// The pass-through transport knows more status bytes than ASPI does.
const StatusText kSptiTargetStatus[] = {
    {0x02, "Check Condition."}, {0x04, "Condition Met."},        {0x08, "Target Busy."},
    {0x10, "Intermediate."},    {0x14, "Intermediate-Condition Met."}, {0x18, "Reservation Conflict."},
    {0x22, "Command Terminated."}, {0x28, "Queue Full."},         {0x00, "Unknown Target status:%02X"},
};

const StatusText* Find(const StatusText* pTable, BYTE ucCode) {
    while (pTable->ucCode != 0 && pTable->ucCode != ucCode) ++pTable;
    return pTable;
}

// The catch-all record of these tables carries the code in its text.
CString LookUpWithCode(const StatusText* pTable, BYTE ucCode) {
    const StatusText* pFound = Find(pTable, ucCode);
    CString strText;
    if (pFound->ucCode == 0)
        strText.Format(pFound->pszText, ucCode);
    else
        strText = pFound->pszText;
    return strText;
}

}  // namespace

CString FormatSenseText(BYTE ucAsc, BYTE ucAscq, BYTE ucSenseByte19) {
    CString strText;
    strText.Format(" %02X-%02X (%02X)", ucAsc, ucAscq, ucSenseByte19);
    return strText;
}

CString AspiStatusText(BYTE ucStatus) { return Find(kAspiStatus, ucStatus)->pszText; }

CString HostAdapterStatusText(BYTE ucHaStat) { return LookUpWithCode(kHostAdapterStatus, ucHaStat); }

CString AspiTargetStatusText(BYTE ucTargStat) { return LookUpWithCode(kAspiTargetStatus, ucTargStat); }

CString SptiTargetStatusText(BYTE ucScsiStatus) { return LookUpWithCode(kSptiTargetStatus, ucScsiStatus); }

CString ComposeSptiErrorText(BYTE ucScsiStatus, const BYTE* pSense) {
    if (ucScsiStatus == STATUS_CHKCOND) return FormatSenseText(pSense[12], pSense[13], pSense[19]);
    return SptiTargetStatusText(ucScsiStatus);
}

CString ComposeAspiErrorText(LPCSTR pszCommandName, BYTE ucStatus, BYTE ucHaStat, BYTE ucTargStat, BYTE ucAsc,
                             BYTE ucAscq, BYTE ucSenseByte19) {
    CString strText = pszCommandName;
    strText += " Status : ";
    switch (ucStatus) {
        case SS_PENDING:
            strText += "Aspi Timeout Error.";
            break;
        case SS_ABORTED:
            strText += "Aborted.";
            break;
        case SS_ABORT_FAIL:
            strText += "Failed Abort.";
            break;
        case SS_ERR:
            if (ucHaStat != 0) {
                strText += HostAdapterStatusText(ucHaStat);
            } else if (ucTargStat != 0) {
                strText += AspiTargetStatusText(ucTargStat);
                if (ucTargStat == STATUS_CHKCOND) strText += FormatSenseText(ucAsc, ucAscq, ucSenseByte19);
            } else {
                strText += "Scsi Error.";
            }
            break;
        case SS_INVALID_HA:
            strText += "Invalid Ha.";
            break;
        case SS_NO_DEVICE:
            strText += "No Device.";
            break;
        case SS_INVALID_SRB:
            strText += "Invalid SRB.";
            break;
        case SS_FAILED_INIT:
            strText += "Faild Initailize.";
            break;
        case SS_ASPI_IS_BUSY:
            strText += "Aspi is busy.";
            break;
        case DRV_IN_USE:
            strText += "This target is executing now.";
            break;
        case DRV_NO_REQUEST_BLOCK:
            strText += "Memory Allocation Error.";
            break;
        case DRV_COMPARE_ERROR:
            strText += "Data Compare Error.";
            break;
        default:
            strText += "ASPI Error";
            ShowAspiErrorBox(ucStatus);
            break;
    }
    return strText;
}

void ShowAspiErrorBox(BYTE ucStatus) {
    CString strText;
    strText.Format("%s : %s", "Aspi Error", static_cast<LPCSTR>(AspiStatusText(ucStatus)));
    BeepMessageBox(strText, MB_ICONEXCLAMATION | MB_OK);
}
