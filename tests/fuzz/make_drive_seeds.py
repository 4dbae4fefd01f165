#!/usr/bin/env python3
"""Writes the seed corpus of drive_fuzz (the input format is described at the
top of drive_fuzz.cpp): the drives the updater meets on both roads, answering
as they should, and some answering oddly. Run from anywhere; the seeds go to
corpus-drive/ beside this script.

The commands a drive gets, in order, when everything goes well:
  NT scan          INQUIRY
  98/ME scan       TEST UNIT READY, INQUIRY
  start-up         READ(10) (again while it reports a unit attention),
                   INQUIRY, SEND DIAGNOSTIC, RECEIVE DIAGNOSTIC RESULTS
  main dialog      INQUIRY, SEND DIAGNOSTIC, RECEIVE DIAGNOSTIC RESULTS
  start check      INQUIRY, SEND DIAGNOSTIC, RECEIVE DIAGNOSTIC RESULTS
  then             PREVENT, START, READ(10), SEND DIAGNOSTIC, RECEIVE
                   DIAGNOSTIC RESULTS, ALLOW, EJECT"""
import os
import struct

# The flags byte.
NT = 0x01
ZQ_X9046, ZQ_X7301, OTHER_MAKER, DISK = (n << 1 for n in range(4))
OLDER, BELOW_THRESHOLD, AT_THRESHOLD, NEWER = (n << 3 for n in range(4))
SECOND, SECOND_OTHER_MAKER, POWER_ON = 0x20, 0x40, 0x80

# Entry kinds, and the bit of the head that sends an entry to the second drive.
MODEL, REPLY, SENSE_REPLY, CHECK, HANG, ASPI_STATUS, ASPI_HA, ASPI_PENDING = range(8)
TO_SECOND = 0x80
# Opcode selectors of the ASPI entries.
ANY, TEST_UNIT_READY, INQUIRY, START_STOP, RECEIVE_DIAG, SEND_DIAG, PREVENT, READ10 = range(8)

GOOD, CHECK_CONDITION, BUSY = 0x00, 0x02, 0x08
UNIT_ATTENTION, NOT_READY, ILLEGAL_REQUEST = 6, 2, 5
SS_PENDING, SS_ABORTED, SS_ERR, SS_NO_DEVICE, SS_BUFFER_TO_BIG, SS_INVALID_CMD = 0x00, 0x02, 0x04, 0x82, 0xE6, 0x80
HA_SELECTION_TIMEOUT, HA_PHASE_ERROR = 0x11, 0x14


def head(kind, second):
    return bytes([kind | (TO_SECOND if second else 0)])


def model(n=1, second=False):
    return head(MODEL, second) * n


def reply(status, data=b"", second=False):
    return head(REPLY, second) + bytes([status, len(data)]) + data


def sense_reply(sense, data=b"", second=False):
    return head(SENSE_REPLY, second) + sense.ljust(24, b"\0")[:24] + bytes([len(data)]) + data


def check(key, asc, ascq=0, byte19=0, second=False):
    return head(CHECK, second) + bytes([key, asc, ascq, byte19])


def hang(second=False):
    return head(HANG, second)


def aspi_status(opcode, status, second=False):
    return head(ASPI_STATUS, second) + bytes([opcode, status])


def aspi_ha(opcode, ha_status, second=False):
    return head(ASPI_HA, second) + bytes([opcode, ha_status])


def aspi_pending(opcode, second=False):
    return head(ASPI_PENDING, second) + bytes([opcode])


def inquiry(vendor="VALTORA ", product="DVD-ROM ZQ-X9046", revision="1H12", device_type=5, length=44):
    data = bytes([device_type, 0x80, 0x00, 0x02, 91, 0, 0, 0])
    data += (vendor.ljust(8)[:8] + product.ljust(16)[:16] + revision.ljust(4)[:4]).encode("latin-1")
    return data.ljust(96, b"\0")[:length]


def family_reply(family=b"hq", revision=b"1H12", level=0):
    return bytes([0x88, 0, 0, 12, 0, 0x40]) + family.ljust(2, b"\0")[:2] + revision.ljust(4)[:4] + b"\0" * 3 + \
        struct.pack("b", level)


def seed(flags, *entries):
    return bytes([flags]) + b"".join(entries)


SEEDS = {
    # As the drives are set: no entries.
    "nt-update-needed": seed(NT | ZQ_X9046 | OLDER),
    "nt-up-to-date": seed(NT | ZQ_X9046 | AT_THRESHOLD),
    "nt-other-maker-and-ours": seed(NT | OTHER_MAKER | BELOW_THRESHOLD | SECOND),
    "98-update-needed": seed(ZQ_X9046 | OLDER),
    "98-two-up-to-date": seed(ZQ_X9046 | NEWER | SECOND),
    "98-sibling-and-other-maker": seed(ZQ_X7301 | OLDER | SECOND | SECOND_OTHER_MAKER),
    # After a restart: resets and medium changes for the start-up's reads.
    "nt-unit-attentions": seed(NT | ZQ_X9046 | OLDER | POWER_ON,
                               model(), check(UNIT_ATTENTION, 0x29), check(UNIT_ATTENTION, 0x28),
                               check(UNIT_ATTENTION, 0x29), model(), check(UNIT_ATTENTION, 0x28),
                               check(UNIT_ATTENTION, 0x28), check(UNIT_ATTENTION, 0x28)),
    "98-unit-attentions": seed(ZQ_X9046 | OLDER | POWER_ON | SECOND,
                               *[check(UNIT_ATTENTION, 0x29)] * 8,
                               *[check(UNIT_ATTENTION, 0x28, second=True)] * 3),
    # Identities cut short, stopped by a zero, or of another kind.
    "nt-short-inquiry": seed(NT | ZQ_X9046 | OLDER,
                             model(2), reply(GOOD, inquiry(length=34)), model(2), reply(GOOD, inquiry(length=5)),
                             reply(GOOD, inquiry(revision="1h\0\0"))),
    "98-odd-inquiry": seed(ZQ_X9046 | OLDER,
                           model(), reply(GOOD, inquiry(length=36)), model(),
                           reply(GOOD, inquiry(revision="1H1", device_type=0x1F)), model(2),
                           reply(GOOD, inquiry(vendor="VAL\0TORA", revision="1H-7", length=96)), model(2),
                           reply(GOOD, inquiry(product="DVDR10  ZQ-X7301", revision="1H29"))),
    # Family replies the table has no entry for, or with odd levels.
    "nt-odd-family": seed(NT | ZQ_X9046 | AT_THRESHOLD,
                          model(4), reply(GOOD, family_reply(b"hQ", level=-1)),
                          reply(GOOD, inquiry(revision="1H13")), reply(GOOD),
                          reply(GOOD, family_reply(b"h", level=127)),
                          reply(GOOD, inquiry()), reply(GOOD), reply(GOOD, family_reply(b"hq")[:7])),
    # Sense data of every shape, and status bytes other than these two.
    "nt-odd-sense": seed(NT | ZQ_X9046 | OLDER,
                         model(), sense_reply(bytes([0x71, 0, 0xF6, 0, 0, 0, 0, 0xFF] + [0xA5] * 16)),
                         sense_reply(b""), check(NOT_READY, 0x04, 0x01, 0x99), reply(BUSY), reply(0x18),
                         reply(0xFF, inquiry()), check(ILLEGAL_REQUEST, 0x24), reply(0x22), reply(0x28)),
    "98-odd-sense": seed(ZQ_X9046 | BELOW_THRESHOLD,
                         model(2), sense_reply(bytes([0x70, 0, 0x06, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x29])),
                         reply(CHECK_CONDITION), reply(0x04, inquiry()), model(),
                         sense_reply(bytes(range(24)), family_reply())),
    # The ASPI manager's own failures.
    "98-manager-statuses": seed(ZQ_X9046 | OLDER,
                                aspi_status(READ10, SS_ABORTED), aspi_ha(SEND_DIAG, HA_SELECTION_TIMEOUT),
                                aspi_status(RECEIVE_DIAG, SS_BUFFER_TO_BIG), aspi_ha(ANY, HA_PHASE_ERROR),
                                aspi_status(INQUIRY, SS_NO_DEVICE), aspi_status(PREVENT, SS_INVALID_CMD),
                                aspi_status(START_STOP, 0x01)),
    "98-pending-probe": seed(ZQ_X9046 | OLDER | SECOND, aspi_pending(INQUIRY, second=True)),
    # Requests ended as still pending: more than the transport has places
    # to keep them in after their abort.
    "98-ended-pending": seed(ZQ_X9046 | OLDER | SECOND,
                             *[aspi_status(opcode, SS_PENDING, second) for second in (False, True)
                               for opcode in [READ10] * 2 + [PREVENT] * 2 + [START_STOP] * 2 + [SEND_DIAG] * 4 +
                               [RECEIVE_DIAG]]),
    # Commands that never end.
    "nt-hang": seed(NT | ZQ_X9046 | OLDER | SECOND, model(3), hang(), model(), hang(second=True)),
}

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus-drive")
os.makedirs(here, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
