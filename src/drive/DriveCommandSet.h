// What both transports agree on: the CDB of every command, the data
// direction, the staging area, which devices count as the supported drive
// and the unit-attention retry.
#pragma once
#include "DriveStatus.h"
#include "win32.h"

// One command descriptor block; no command of ours needs 12 bytes.
struct DriveCdb {
    BYTE abCdb[10];
    BYTE nLength;
};

DriveCdb MakeTestUnitReadyCdb();
DriveCdb MakeInquiryCdb(BYTE ucAllocLength);
DriveCdb MakeStartStopUnitCdb(BYTE ucStart, BYTE ucImmediate, BYTE ucLoadEject);
DriveCdb MakeReceiveDiagnosticResultsCdb(WORD wAllocLength);
DriveCdb MakeSendDiagnosticCdb(BYTE ucSelfTest, WORD wParamLength);
DriveCdb MakePreventAllowMediumRemovalCdb(BYTE ucPrevent);
DriveCdb MakeRead10Cdb(DWORD dwLba, WORD wBlocks, BYTE ucFua, BYTE ucRelAdr);

// The LUN goes into the top three bits of byte 1 just before sending.
void PutLun(BYTE* pCdb, BYTE ucLun);

// Decided by the opcode alone, the same on both transports.
enum DriveDataDirection { DriveDataNone, DriveDataIn, DriveDataOut };
DriveDataDirection DataDirectionOf(BYTE ucOpcode);

// The enumeration asks every candidate for this much INQUIRY data.
const BYTE INQUIRY_SCAN_LENGTH = 44;
// Peripheral device type 4, 5 or 7 (byte 0, low five bits).
bool IsOpticalDeviceType(BYTE ucInquiryByte0);
// The 16 characters of the product identification name our model.
bool IsSupportedProduct(const char* pProductId16);

// Each transport copies the data through a staging area of this size; the
// data starts at its first 16-byte boundary.
const DWORD STAGING_AREA_BYTES = 33024;
BYTE* FirstAlignedByte(BYTE* pArea);
// What fits behind the aligned start of a staging area.
DWORD StagingCapacity(BYTE* pArea, DWORD dwAreaBytes);

// A drive that keeps reporting UNIT ATTENTION would otherwise be asked
// forever; seven attempts cover a reset and a medium change.
const int UNIT_ATTENTION_ATTEMPTS = 7;

// Sends until the command succeeds, the kept sense key is not UNIT
// ATTENTION, or the attempts run out; returns the last status.
template <class SendOnce>
DriveStatus SendWithUnitAttentionRetry(SendOnce sendOnce, const BYTE* pKeptSense) {
    DriveStatus status = SS_ERR;
    for (int nAttempt = 0; nAttempt < UNIT_ATTENTION_ATTEMPTS; ++nAttempt) {
        status = sendOnce();
        if (status == SS_COMP || (pKeptSense[2] & 0x0F) != 6) break;
    }
    return status;
}
