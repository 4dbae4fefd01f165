// The one-byte result of every drive command: the ASPI for Win32 status
// codes, plus a few of our own. Callers only ever test for SS_COMP.
#pragma once
#include "aspi.h"
#include "win32.h"

typedef BYTE DriveStatus;

// The drive already has a command in flight (ASPI also: no completion event).
const DriveStatus DRV_IN_USE = 0xFD;
// The ASPI request block could not be allocated.
const DriveStatus DRV_NO_REQUEST_BLOCK = 0xFE;
// Has a text of its own but no transport returns it.
const DriveStatus DRV_COMPARE_ERROR = 0xFF;
