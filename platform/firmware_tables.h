// The firmware tables Windows hands to programs: the raw SMBIOS data of the
// 'RSMB' provider and single ACPI tables of the 'ACPI' provider, answered
// from the current machine's SMBIOS and ACPI tables. The program looks the
// function up by name in kernel32, as Windows versions before Server 2003
// SP1 lack it.
#pragma once

#include "platform/win_types.h"

// Provider signatures: the four characters with the first one in the most
// significant byte ('RSMB').
constexpr DWORD FIRMWARE_PROVIDER_ACPI = 0x41435049;
constexpr DWORD FIRMWARE_PROVIDER_RSMB = 0x52534D42;

// The 'RSMB' block: this 8-byte header, then the structure table.
struct RawSMBIOSHeader {
    BYTE Used20CallingMethod;  // 0: the table was found through an entry point
    BYTE SMBIOSMajorVersion;
    BYTE SMBIOSMinorVersion;
    BYTE DmiRevision;
    DWORD Length;  // bytes of the table that follows
};
static_assert(sizeof(RawSMBIOSHeader) == 8);

// Copies the table `tableId` of `provider` into `buffer`. For 'RSMB' the id
// is ignored; for 'ACPI' it is the table's signature as a little-endian
// dword ('FACP' is 0x50434146) and the first table with that signature
// answers. Returns the bytes written; when `buffer` is null or `size` too
// small, the size needed (with ERROR_INSUFFICIENT_BUFFER); 0 with
// ERROR_NOT_FOUND when the machine has no such table, ERROR_INVALID_PARAMETER
// for another provider.
UINT GetSystemFirmwareTable(DWORD provider, DWORD tableId, PVOID buffer, DWORD size);
