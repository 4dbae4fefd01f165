#include "DriveCommandSet.h"

#include <cstring>

namespace {

DriveCdb SixByteCdb(BYTE ucOpcode, BYTE ucByte1, BYTE ucByte3, BYTE ucByte4) {
    DriveCdb cdb = {{ucOpcode, ucByte1, 0, ucByte3, ucByte4, 0, 0, 0, 0, 0}, 6};
    return cdb;
}

}  // namespace

DriveCdb MakeTestUnitReadyCdb() { return SixByteCdb(0x00, 0, 0, 0); }

DriveCdb MakeInquiryCdb(BYTE ucAllocLength) { return SixByteCdb(0x12, 0, 0, ucAllocLength); }

DriveCdb MakeStartStopUnitCdb(BYTE ucStart, BYTE ucImmediate, BYTE ucLoadEject) {
    return SixByteCdb(0x1B, ucImmediate & 1, 0, static_cast<BYTE>(((ucLoadEject & 1) << 1) | (ucStart & 1)));
}

DriveCdb MakeReceiveDiagnosticResultsCdb(WORD wAllocLength) {
    return SixByteCdb(0x1C, 0, HIBYTE(wAllocLength), LOBYTE(wAllocLength));
}

DriveCdb MakeSendDiagnosticCdb(BYTE ucSelfTest, WORD wParamLength) {
    // The self-test argument is shifted, not masked: callers only pass 0.
    return SixByteCdb(0x1D, static_cast<BYTE>(ucSelfTest << 2), HIBYTE(wParamLength), LOBYTE(wParamLength));
}

DriveCdb MakePreventAllowMediumRemovalCdb(BYTE ucPrevent) { return SixByteCdb(0x1E, 0, 0, ucPrevent & 1); }

DriveCdb MakeRead10Cdb(DWORD dwLba, WORD wBlocks, BYTE ucFua, BYTE ucRelAdr) {
    DriveCdb cdb = {{0x28, static_cast<BYTE>(((ucFua & 1) << 3) | (ucRelAdr & 1)), static_cast<BYTE>(dwLba >> 24),
                     static_cast<BYTE>(dwLba >> 16), static_cast<BYTE>(dwLba >> 8), static_cast<BYTE>(dwLba), 0,
                     HIBYTE(wBlocks), LOBYTE(wBlocks), 0},
                    10};
    return cdb;
}

void PutLun(BYTE* pCdb, BYTE ucLun) { pCdb[1] = static_cast<BYTE>((pCdb[1] & 0x1F) | (ucLun << 5)); }

DriveDataDirection DataDirectionOf(BYTE ucOpcode) {
    switch (ucOpcode) {
        case 0x1D:
            return DriveDataOut;
        case 0x12:
        case 0x1C:
        case 0x28:
            return DriveDataIn;
        default:
            return DriveDataNone;
    }
}

bool IsOpticalDeviceType(BYTE ucInquiryByte0) {
    BYTE ucType = ucInquiryByte0 & 0x1F;
    return ucType == 4 || ucType == 5 || ucType == 7;
}

bool IsSupportedProduct(const char* pProductId16) {
    // The model name fills the whole 16-character field.
    return std::memcmp(pProductId16, "DVD-ROM ZQ-X9046", 16) == 0;
}

BYTE* FirstAlignedByte(BYTE* pArea) {
    uintptr_t nAddress = reinterpret_cast<uintptr_t>(pArea);
    return pArea + ((16 - (nAddress & 15)) & 15);
}

DWORD StagingCapacity(BYTE* pArea, DWORD dwAreaBytes) {
    return dwAreaBytes - static_cast<DWORD>(FirstAlignedByte(pArea) - pArea);
}
