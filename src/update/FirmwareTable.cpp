#include "update/FirmwareTable.h"

// Built before the application starts, family code first.
CString g_astrFamilyCode[FIRM_ENTRIES] = {"hq"};
CString g_astrTargetRevision[FIRM_ENTRIES] = {"1H13"};
const signed char g_acThreshold[FIRM_ENTRIES] = {32};

FirmwareEntry FirmwareTable::Entry(int nIndex) {
    FirmwareEntry entry = {g_astrTargetRevision[nIndex], g_astrFamilyCode[nIndex], g_acThreshold[nIndex]};
    return entry;
}

int FirmwareTable::FindFamily(const CString& strFamily) {
    int nIndex = 0;
    while (nIndex <= FIRM_ENTRIES - 1 && g_astrFamilyCode[nIndex] != strFamily) ++nIndex;
    return nIndex;
}
