// The one-line description of a failed drive command. The pass-through
// transport describes only the drive's status byte and sense codes; the
// ASPI transport starts with the command name and describes the ASPI,
// host adapter and target statuses. English only, in every language.
#pragma once
#include "afx.h"
#include "win32.h"

// " %02X-%02X (%02X)": ASC, ASCQ and sense byte 19.
CString FormatSenseText(BYTE ucAsc, BYTE ucAscq, BYTE ucSenseByte19);

// For a request the driver completed with a non-zero SCSI status byte.
// pSense holds at least 20 bytes of fixed-format sense data.
CString ComposeSptiErrorText(BYTE ucScsiStatus, const BYTE* pSense);

// For a request block that completed with a status other than SS_COMP.
// Statuses without a text of their own also show the ASPI error box.
CString ComposeAspiErrorText(LPCSTR pszCommandName, BYTE ucStatus, BYTE ucHaStat, BYTE ucTargStat, BYTE ucAsc,
                             BYTE ucAscq, BYTE ucSenseByte19);

// The table texts, also for the error box.
CString AspiStatusText(BYTE ucStatus);
CString HostAdapterStatusText(BYTE ucHaStat);
CString AspiTargetStatusText(BYTE ucTargStat);
CString SptiTargetStatusText(BYTE ucScsiStatus);

// "Aspi Error : <status text>" with the exclamation icon; waits for the user.
void ShowAspiErrorBox(BYTE ucStatus);
