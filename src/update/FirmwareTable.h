// The version table carried in the program: for each firmware index the
// revision this build carries, the family code the drive must answer with,
// and the level a drive of that revision needs to count as up to date. The
// same index picks the carried image, its sums and its block count.
#pragma once
#include "afx.h"
#include "win32.h"

// Searches run while the index is at most the last one: a length, not a
// terminating entry.
const int FIRM_ENTRIES = 1;

// Parallel tables, indexed by firmware index.
extern CString g_astrFamilyCode[FIRM_ENTRIES];
extern CString g_astrTargetRevision[FIRM_ENTRIES];
extern const signed char g_acThreshold[FIRM_ENTRIES];

struct FirmwareEntry {
    CString strTargetRevision;
    CString strFamilyCode;
    signed char cThreshold;
};

class FirmwareTable {
public:
    static FirmwareEntry Entry(int nIndex);
    // The first index whose family code equals strFamily (case matters),
    // or FIRM_ENTRIES when none does.
    static int FindFamily(const CString& strFamily);
};
