// The carried firmware: the product data generated at build time and the
// two steps that turn its stored form into a checked plain working copy.
#pragma once
#include "win32.h"

// Sizes of one carried image and of the worker's copy of it; the copy has
// 16 bytes of slack past the image that nothing writes or reads.
const DWORD FIRM_IMAGE_SIZE = 0x30000;
const DWORD FIRM_WORK_SIZE = 0x30010;
const int FIRM_SUM_SLOTS = 16;  // per image; the first 13 are lane sums
const int FIRM_LANES = 13;

// Product data, one entry (image, 16 sum slots, block count) per firmware
// index; defined in the source that winqor_prodgen writes.
extern const BYTE g_abFirmImage[];
extern const DWORD g_adwFirmCheckSum[];
extern const LONG g_adwFirmBlocks[];
// Fills the block order of the carried image: entry j names the byte of a
// stored 256-byte block that becomes byte j of the plain block.
void BuildBlockOrder(int anBlockOrder[256]);

void DescrambleImage(int nFirmIndex, BYTE* pWorking);
bool VerifyImage(int nFirmIndex, const BYTE* pWorking);
