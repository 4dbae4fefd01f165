// Which drive gets the update: the supported model, a firmware family this
// build replaces, and installed firmware older than the carried one.
#pragma once
#include "afx.h"
#include "drive/DriveStatus.h"
#include "win32.h"

class CDriveAccess;

enum DriveVerdict { VerdictNotSupported, VerdictWrongFirmware, VerdictNotNeeded, VerdictNeeded };

enum StartCheck { StartCommandFailed, StartSiblingRefused, StartNoEntry, StartReady };

// The model we update and the vendor the start-up looks for in drive names.
extern const char g_szSupportedModel[];
extern const char g_szSupportedVendor[];

// INQUIRY is read with this allocation length into a buffer of at least
// IDENTITY_BUFFER bytes.
const BYTE IDENTITY_LENGTH = 44;
const DWORD IDENTITY_BUFFER = 256;

// What QualifyDrive learnt on its way, as far as it got.
struct DriveFindings {
    DriveFindings() : nEntry(-1) {}
    CString strRevision;        // "%.4s" of the INQUIRY revision
    int nEntry;                 // version table index, -1 until found
    CString strTargetRevision;  // that entry's revision, empty until found
};

// SelectDrive, then ReadSelectedIdentity.
DriveStatus ReadDriveIdentity(CDriveAccess& drive, BYTE nDrive, BYTE* pBuffer);
// The INQUIRY into the zero-filled buffer for the drive already selected,
// for callers that talk to the drive between selecting it and asking.
DriveStatus ReadSelectedIdentity(CDriveAccess& drive, BYTE* pBuffer);

// Judges the selected drive from the INQUIRY data in pBuffer (at least
// IDENTITY_BUFFER bytes); may ask the drive for its firmware family, reusing
// the buffer.
DriveVerdict QualifyDrive(CDriveAccess& drive, BYTE* pBuffer, DriveFindings& findings);

// The short check at "Start Update": sets g_nFirmIndex to the entry found,
// or to FIRM_ENTRIES when there is none.
StartCheck RecheckForStart(CDriveAccess& drive, BYTE nDrive);
