// Device I/O control codes and the SCSI pass-through requests of the NT
// family's storage port drivers.
#pragma once
#include "win32_base.h"

extern "C" {

#define CTL_CODE(DeviceType, Function, Method, Access) \
    (((DeviceType) << 16) | ((Access) << 14) | ((Function) << 2) | (Method))

#define METHOD_BUFFERED 0
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#define METHOD_NEITHER 3

#define FILE_ANY_ACCESS 0
#define FILE_SPECIAL_ACCESS (FILE_ANY_ACCESS)
#define FILE_READ_ACCESS 0x0001
#define FILE_WRITE_ACCESS 0x0002

#define FILE_DEVICE_CD_ROM 0x00000002
#define FILE_DEVICE_CONTROLLER 0x00000004
#define FILE_DEVICE_DISK 0x00000007
#define FILE_DEVICE_MASS_STORAGE 0x0000002d

#define IOCTL_SCSI_BASE FILE_DEVICE_CONTROLLER
#define IOCTL_SCSI_GET_CAPABILITIES CTL_CODE(IOCTL_SCSI_BASE, 0x0404, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_SCSI_PASS_THROUGH_DIRECT \
    CTL_CODE(IOCTL_SCSI_BASE, 0x0405, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS)

// DataIn of the pass-through requests.
#define SCSI_IOCTL_DATA_OUT 0
#define SCSI_IOCTL_DATA_IN 1
#define SCSI_IOCTL_DATA_UNSPECIFIED 2

// Natural alignment throughout, as the system's drivers expect: 44 bytes
// with 32-bit pointers, 56 with 64-bit ones.
typedef struct _SCSI_PASS_THROUGH_DIRECT {
    USHORT Length;
    UCHAR ScsiStatus;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    UCHAR CdbLength;
    UCHAR SenseInfoLength;
    UCHAR DataIn;
    ULONG DataTransferLength;
    ULONG TimeOutValue;
    PVOID DataBuffer;
    ULONG SenseInfoOffset;
    UCHAR Cdb[16];
} SCSI_PASS_THROUGH_DIRECT, *PSCSI_PASS_THROUGH_DIRECT;

typedef struct _IO_SCSI_CAPABILITIES {
    ULONG Length;
    ULONG MaximumTransferLength;
    ULONG MaximumPhysicalPages;
    ULONG SupportedAsynchronousEvents;
    ULONG AlignmentMask;
    BOOLEAN TaggedQueuing;
    BOOLEAN AdapterScansDown;
    BOOLEAN AdapterUsesPio;
} IO_SCSI_CAPABILITIES, *PIO_SCSI_CAPABILITIES;

}  // extern "C"

static_assert(sizeof(IO_SCSI_CAPABILITIES) == 24, "IO_SCSI_CAPABILITIES is 24 bytes");
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44, "32-bit SCSI_PASS_THROUGH_DIRECT is 44 bytes");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 20, "DataBuffer at 20");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 28, "Cdb at 28");
#elif defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56, "64-bit SCSI_PASS_THROUGH_DIRECT is 56 bytes");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 24, "DataBuffer at 24");
#endif
