#include "update/VendorPage.h"

void WriteVendorPage(BYTE* pPage, BYTE byFunction, BYTE byArgument, WORD wDataLength) {
    WORD wPageLength = static_cast<WORD>(4 + wDataLength);
    pPage[0] = VENDOR_PAGE_CODE;
    pPage[1] = 0x00;
    pPage[2] = HIBYTE(wPageLength);
    pPage[3] = LOBYTE(wPageLength);
    pPage[4] = 0x00;
    pPage[5] = byFunction;
    pPage[6] = byArgument;
    pPage[7] = 0x00;
}
