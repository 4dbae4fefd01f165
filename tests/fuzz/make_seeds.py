#!/usr/bin/env python3
"""Writes the seed corpus of settings_fuzz (the input format is described at
the top of settings_fuzz.cpp): a few machines and change logs the guard
meets on real Windows, and some odd ones. Run from anywhere; the seeds go
to corpus/ beside this script."""
import os
import struct

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD = 1, 2, 3, 4
NT, CHANGE = 1, 2
# Places and value names, by their index in settings_fuzz.cpp.
ATAPI, CONTROL_CLASS, HDC_CLASS, CDROM, DEVNODES, ENUM_SCSI, HDC98, SCSI_ADAPTER98 = range(8)
NAMES = ["DriverParameter", "Class", "UserMasterDeviceTimingModeAllowed", "MasterDeviceTimingMode",
         "MasterDeviceTimingModeAllowed", "UserSlaveDeviceTimingModeAllowed", "SlaveDeviceTimingMode",
         "SlaveDeviceTimingModeAllowed", "Autorun", "HardWareKey", "AutoInsertNotification", "DMACurrentlyUsed",
         "AutoInsertNotificationDrive0", "AutoInsertNotificationDrive1", "IDEDMADRIVE0", "IDEDMADRIVE1"]


def value(kind, data):
    return bytes([kind]) + struct.pack("<H", len(data)) + data


def sz(text, zero=True):
    return value(REG_SZ, text.encode("latin-1") + (b"\0" if zero else b""))


def dword(n, kind=REG_DWORD):
    return value(kind, struct.pack("<I", n))


def byte(b):
    return value(REG_BINARY, bytes([b]))


def key(name):
    return bytes([len(name)]) + name.encode("latin-1")


def setting(place, subkeys, name, v):
    out = bytes([0, place, len(subkeys)]) + b"".join(key(k) for k in subkeys)
    out += bytes([NAMES.index(name)]) if name in NAMES else bytes([len(NAMES) + len(name)]) + name.encode("latin-1")
    return out + v


def record(number, subkey=None, name=None, kind=None, old=None):
    out = bytes([1, 1]) + struct.pack("<H", number & 0xFFFF)
    for part in (subkey, name, kind, old):
        out += b"\0" if part is None else b"\1" + part
    return out


def device(name, auto, dma, zero=True, lower=False, node=0x2C40):
    return bytes([2, (1 if zero else 0) | (2 if lower else 0)]) + key(name) + struct.pack("<H", node) + auto + dma


def seed(flags, count, *entries):
    return bytes([flags]) + struct.pack("<i", count) + b"".join(entries)


HDC = "{4D36E96A-E325-11CE-BFC1-08002BE10318}"
DRIVE = "VALTORA_DVD-ROM_ZQ-X9046___MF&CHILD0001&PCI&VEN_8086&DEV_7111"
CDROM_PATH = "SYSTEM\\CurrentControlSet\\Services\\Cdrom"
CHANNEL98 = "System\\CurrentControlSet\\Services\\Class\\hdc\\0001"

SEEDS = {
    "nt-dma-autorun": seed(NT | CHANGE, 0,
                           setting(ATAPI, ["Device0"], "DriverParameter", sz("DmaDetectionLevel = 0x1;")),
                           setting(ATAPI, ["Device1"], "DriverParameter", sz("DmaDetectionLevel = 0x", zero=False)),
                           setting(CDROM, [], "Autorun", dword(1))),
    "nt-timing": seed(NT | CHANGE, 5,
                      setting(HDC_CLASS, [], "Class", sz("hdc")),
                      setting(HDC_CLASS, ["0001"], "MasterDeviceTimingMode", dword(0x2010)),
                      setting(HDC_CLASS, ["0001"], "MasterDeviceTimingModeAllowed", dword(7)),
                      setting(HDC_CLASS, ["0001"], "UserSlaveDeviceTimingModeAllowed", dword(0xFFFFFFFF)),
                      setting(HDC_CLASS, ["0002"], "UserMasterDeviceTimingModeAllowed", dword(0xFFFFFFFF, REG_BINARY)),
                      setting(HDC_CLASS, ["0002"], "MasterDeviceTimingMode", value(REG_DWORD, b"\x10\x20"))),
    "nt-odd-texts": seed(NT | CHANGE, 0x7FFFFFFE,
                         setting(CONTROL_CLASS, ["X"], "Class", sz("hdc", zero=False)),
                         setting(CONTROL_CLASS, ["X", "0000"], "MasterDeviceTimingMode", dword(17)),
                         setting(CONTROL_CLASS, ["X", "0000"], "MasterDeviceTimingModeAllowed", dword(1)),
                         setting(ATAPI, ["Device0"], "DriverParameter", sz("D" * 127)),
                         setting(ATAPI, ["Device1"], "DriverParameter", sz("D" * 128, zero=False)),
                         setting(ATAPI, ["Device2"], "DriverParameter", value(REG_EXPAND_SZ, b"0x1\0"))),
    "nt-log": seed(NT, 3,
                   setting(CDROM, [], "Autorun", dword(0)),
                   record(1, sz(CDROM_PATH), sz("Autorun"), dword(4), dword(1)),
                   record(2, sz("S" * 128, zero=False), sz("Autorun"), dword(4), dword(1)),
                   record(3, sz(CDROM_PATH), sz("Autorun"), dword(9), dword(1)),
                   record(4, sz(CDROM_PATH), None, dword(4), dword(1)),
                   record(10, sz(CDROM_PATH), sz("Autorun"), dword(4), dword(0x95))),
    "98-devices": seed(CHANGE, 0,
                       device(DRIVE, byte(1), byte(1), zero=False),
                       device("OTHER", byte(1), value(REG_BINARY, b"\x01\x00"), lower=True, node=0x2E20),
                       setting(HDC98, ["0001"], "IDEDMADRIVE0", byte(1)),
                       setting(HDC98, ["0001"], "IDEDMADRIVE1", value(REG_BINARY, b"\x00\x01\x02\x03")),
                       setting(SCSI_ADAPTER98, ["0000"], "AutoInsertNotificationDrive0", byte(0xFF))),
    "98-log": seed(0, -1,
                   setting(HDC98, ["0001"], "IDEDMADRIVE0", byte(0)),
                   record(1, sz(CHANNEL98, zero=False), sz("IDEDMADRIVE0", zero=False), dword(3), dword(0x101)),
                   record(2, sz(CHANNEL98), sz("IDEDMADRIVE0"), dword(3), sz("1"))),
}

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
