// The vendor diagnostic page 0x88 of the drive, sent as the parameter list
// of SEND DIAGNOSTIC: the firmware family query and the whole download.
#pragma once
#include "win32.h"

const BYTE VENDOR_PAGE_CODE = 0x88;
// Bytes before any data: code, reserved, length, zero, function, argument, zero.
const WORD VENDOR_PAGE_HEAD = 8;

const BYTE VENDOR_FUNC_FAMILY_QUERY = 0x40;

// The family query's answer: 16 bytes read back with RECEIVE DIAGNOSTIC RESULTS.
const WORD FAMILY_REPLY_LENGTH = 16;
const int FAMILY_REPLY_CODE = 6;    // two characters, a zero ends them early
const int FAMILY_REPLY_LEVEL = 15;  // signed

// Writes the page head into pPage[0..7]; wDataLength bytes may follow it.
// The page length field counts the four head bytes after it plus the data.
void WriteVendorPage(BYTE* pPage, BYTE byFunction, BYTE byArgument, WORD wDataLength);
