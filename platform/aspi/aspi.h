// The ASPI for Win32 interface of wnaspi32.dll, as Adaptec published it.
// Windows ships no header for it, so both builds use this one. The manager
// is loaded at run time; only the entry points' types are declared here.
#pragma once
#include <cstddef>

#include "win32.h"

// Command codes (SRB_Cmd).
#define SC_HA_INQUIRY 0x00
#define SC_GET_DEV_TYPE 0x01
#define SC_EXEC_SCSI_CMD 0x02
#define SC_ABORT_SRB 0x03
#define SC_RESET_DEV 0x04

// Request status (SRB_Status, and the status byte of the entry points'
// results).
#define SS_PENDING 0x00
#define SS_COMP 0x01
#define SS_ABORTED 0x02
#define SS_ABORT_FAIL 0x03
#define SS_ERR 0x04
#define SS_INVALID_CMD 0x80
#define SS_INVALID_HA 0x81
#define SS_NO_DEVICE 0x82
#define SS_INVALID_SRB 0xE0
#define SS_BUFFER_ALIGN 0xE1
#define SS_ILLEGAL_MODE 0xE2
#define SS_NO_ASPI 0xE3
#define SS_FAILED_INIT 0xE4
#define SS_ASPI_IS_BUSY 0xE5
#define SS_BUFFER_TO_BIG 0xE6
#define SS_MISMATCHED_COMPONENTS 0xE7
#define SS_NO_ADAPTERS 0xE8
#define SS_INSUFFICIENT_RESOURCES 0xE9

// Host adapter status (SRB_HaStat).
#define HASTAT_OK 0x00
#define HASTAT_SEL_TO 0x11
#define HASTAT_DO_DU 0x12
#define HASTAT_BUS_FREE 0x13
#define HASTAT_PHASE_ERR 0x14

// Target status (SRB_TargStat): the SCSI status byte.
#define STATUS_GOOD 0x00
#define STATUS_CHKCOND 0x02
#define STATUS_BUSY 0x08
#define STATUS_RESCONF 0x18

// Request flags (SRB_Flags). Posting and event notification exclude each
// other, as do the two directions.
#define SRB_POSTING 0x01
#define SRB_ENABLE_RESIDUAL_COUNT 0x04
#define SRB_DIR_IN 0x08
#define SRB_DIR_OUT 0x10
#define SRB_EVENT_NOTIFY 0x40

// Bytes of sense data the manager keeps at the end of an execute request.
#define SENSE_LEN 14

typedef void* LPSRB;

// The manager reads the blocks byte by byte as laid out in the reference;
// the pointers in them follow the target's pointer size.
#pragma pack(push, 1)

typedef struct {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
} SRB_Header, *PSRB_Header;

typedef struct {
    BYTE SRB_Cmd;  // SC_HA_INQUIRY
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE HA_Count;
    BYTE HA_SCSI_ID;
    BYTE HA_ManagerId[16];
    BYTE HA_Identifier[16];
    BYTE HA_Unique[16];
    WORD HA_Rsvd1;
} SRB_HAInquiry, *PSRB_HAInquiry;

typedef struct {
    BYTE SRB_Cmd;  // SC_GET_DEV_TYPE
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    BYTE SRB_DeviceType;
    BYTE SRB_Rsvd1;
} SRB_GDEVBlock, *PSRB_GDEVBlock;

typedef struct {
    BYTE SRB_Cmd;  // SC_EXEC_SCSI_CMD
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    WORD SRB_Rsvd1;
    DWORD SRB_BufLen;
    BYTE* SRB_BufPointer;
    BYTE SRB_SenseLen;
    BYTE SRB_CDBLen;
    BYTE SRB_HaStat;
    BYTE SRB_TargStat;
    LPVOID SRB_PostProc;  // the event (SRB_EVENT_NOTIFY) or the routine (SRB_POSTING)
    LPVOID SRB_Rsvd2;
    BYTE SRB_Rsvd3[16];
    BYTE CDBByte[16];
    BYTE SenseArea[SENSE_LEN + 2];
} SRB_ExecSCSICmd, *PSRB_ExecSCSICmd;

typedef struct {
    BYTE SRB_Cmd;  // SC_ABORT_SRB
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    LPVOID SRB_ToAbort;
} SRB_Abort, *PSRB_Abort;

typedef struct {
    BYTE SRB_Cmd;  // SC_RESET_DEV
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    BYTE SRB_Rsvd1[12];
    BYTE SRB_HaStat;
    BYTE SRB_TargStat;
    LPVOID SRB_PostProc;
    LPVOID SRB_Rsvd2;
    BYTE SRB_Rsvd3[32];
} SRB_BusDeviceReset, *PSRB_BusDeviceReset;

#pragma pack(pop)

static_assert(sizeof(SRB_Header) == 8, "SRB_Header is 8 bytes");
static_assert(sizeof(SRB_HAInquiry) == 60, "SRB_HAInquiry is 60 bytes");
static_assert(sizeof(SRB_GDEVBlock) == 12, "SRB_GDEVBlock is 12 bytes");
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(SRB_ExecSCSICmd) == 80, "32-bit SRB_ExecSCSICmd is 80 bytes");
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 48, "CDBByte at 48");
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 64, "SenseArea at 64");
static_assert(sizeof(SRB_Abort) == 12, "32-bit SRB_Abort is 12 bytes");
static_assert(sizeof(SRB_BusDeviceReset) == 64, "32-bit SRB_BusDeviceReset is 64 bytes");
#endif

// The manager's two entry points, looked up with GetProcAddress. They use
// the C calling convention, not WINAPI.
typedef DWORD(WINAPIV* PFNGETASPI32SUPPORTINFO)(void);
typedef DWORD(WINAPIV* PFNSENDASPI32COMMAND)(LPSRB lpSRB);
