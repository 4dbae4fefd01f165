#include "update/FirmwareImage.h"

void DescrambleImage(int nFirmIndex, BYTE* pWorking) {
    // Rebuilt on every run so the order is never a table in the program's data.
    int anBlockOrder[256];
    BuildBlockOrder(anBlockOrder);
    const BYTE* pImage = g_abFirmImage + (DWORD)nFirmIndex * FIRM_IMAGE_SIZE;
    for (DWORD b = 0; b < FIRM_IMAGE_SIZE; b += 0x100) {
        for (int j = 0; j < 256; ++j) pWorking[b + j] = pImage[b + anBlockOrder[j]];
    }
}

bool VerifyImage(int nFirmIndex, const BYTE* pWorking) {
    DWORD adwSum[FIRM_LANES];
    for (int i = 0; i < FIRM_LANES; ++i) adwSum[i] = 0;
    for (DWORD k = 0; k < FIRM_IMAGE_SIZE; k += FIRM_LANES) {
        for (int i = 0; i < FIRM_LANES; ++i) {
            if (k + i >= FIRM_IMAGE_SIZE) break;
            adwSum[i] += pWorking[k + i];
        }
    }
    const DWORD* pdwStored = g_adwFirmCheckSum + nFirmIndex * FIRM_SUM_SLOTS;
    for (int i = 0; i < FIRM_LANES; ++i) {
        if (adwSum[i] != pdwStored[i]) return false;
    }
    return true;
}
