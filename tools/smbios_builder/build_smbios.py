#!/usr/bin/env python3
"""Builds an SMBIOS 2.x table in the smbios.bin form of machine images from a
readable JSON description.

    build_smbios.py DESCRIPTION.json OUTPUT.bin          write OUTPUT.bin
    build_smbios.py --check DESCRIPTION.json OUTPUT.bin  exit 1 unless OUTPUT.bin
                                                          is what DESCRIPTION gives

The description names the SMBIOS version and lists the structures in table
order. Each structure names its kind ("bios", "memory_device", ...) and gives
every field of that kind's layout (LAYOUTS below), in any order; a missing or
unknown field is an error, so a description states its whole table. Field
values:

  numbers   JSON numbers or strings holding a decimal or 0x hex number
  strings   JSON strings; "" or null means no string (index 0)
  handles   "@name" for the structure whose "id" is name, or a number
            (0xFFFE: not provided, 0xFFFF: none)
  uuid      32 hex digits (dashes allowed), stored in the order written
  zeros:N   left out of the description; N zero bytes

Handles are numbered from 0 in table order. The output is the layout
`dmidecode --dump-bin` writes: the 31-byte "_SM_" entry point with its
"_DMI_" part (checksums set, table address 0x20), one zero byte, the table.
"""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import image_files  # noqa: E402
from image_files import DescriptionError  # noqa: E402

# kind -> (SMBIOS type, [(field, encoding)]); the fields follow the 4-byte
# header in table order. Layouts are those of SMBIOS 2.5.
LAYOUTS = {
    "bios": (0, [
        ("vendor", "str"), ("version", "str"), ("starting_segment", "u16"),
        ("release_date", "str"), ("rom_size_64k_minus_1", "u8"), ("characteristics", "u64"),
        ("characteristics_ext1", "u8"), ("characteristics_ext2", "u8"),
        ("bios_major", "u8"), ("bios_minor", "u8"), ("ec_major", "u8"), ("ec_minor", "u8"),
    ]),
    "system": (1, [
        ("manufacturer", "str"), ("product", "str"), ("version", "str"), ("serial", "str"),
        ("uuid", "uuid"), ("wake_up_type", "u8"), ("sku", "str"), ("family", "str"),
    ]),
    "baseboard": (2, [
        ("manufacturer", "str"), ("product", "str"), ("version", "str"), ("serial", "str"),
        ("asset_tag", "str"), ("features", "u8"), ("location", "str"),
        ("chassis", "handle"), ("board_type", "u8"), ("contained_objects", "u8"),
    ]),
    "chassis": (3, [
        ("manufacturer", "str"), ("type", "u8"), ("version", "str"), ("serial", "str"),
        ("asset_tag", "str"), ("boot_up_state", "u8"), ("power_supply_state", "u8"),
        ("thermal_state", "u8"), ("security_status", "u8"), ("oem_defined", "u32"),
        ("height_u", "u8"), ("power_cords", "u8"), ("contained_elements", "u8"),
        ("contained_element_length", "u8"),
    ]),
    "processor": (4, [
        ("socket", "str"), ("processor_type", "u8"), ("family", "u8"),
        ("manufacturer", "str"), ("processor_id", "u64"), ("version", "str"), ("voltage", "u8"),
        ("external_clock_mhz", "u16"), ("max_speed_mhz", "u16"), ("current_speed_mhz", "u16"),
        ("status", "u8"), ("upgrade", "u8"), ("l1_cache", "handle"), ("l2_cache", "handle"),
        ("l3_cache", "handle"), ("serial", "str"), ("asset_tag", "str"), ("part_number", "str"),
        ("core_count", "u8"), ("cores_enabled", "u8"), ("thread_count", "u8"),
        ("characteristics", "u16"),
    ]),
    "cache": (7, [
        ("socket", "str"), ("configuration", "u16"), ("maximum_size", "u16"),
        ("installed_size", "u16"), ("supported_sram_type", "u16"), ("current_sram_type", "u16"),
        ("speed_ns", "u8"), ("error_correction", "u8"), ("system_cache_type", "u8"),
        ("associativity", "u8"),
    ]),
    "port_connector": (8, [
        ("internal_reference", "str"), ("internal_type", "u8"),
        ("external_reference", "str"), ("external_type", "u8"), ("port_type", "u8"),
    ]),
    "slot": (9, [
        ("designation", "str"), ("slot_type", "u8"), ("data_bus_width", "u8"),
        ("current_usage", "u8"), ("slot_length", "u8"), ("slot_id", "u16"),
        ("characteristics1", "u8"), ("characteristics2", "u8"),
    ]),
    "memory_array": (16, [
        ("location", "u8"), ("use", "u8"), ("error_correction", "u8"),
        ("maximum_capacity_kb", "u32"), ("error_information", "handle"), ("devices", "u16"),
    ]),
    "memory_device": (17, [
        ("array", "handle"), ("error_information", "handle"), ("total_width", "u16"),
        ("data_width", "u16"), ("size_mb", "u16"), ("form_factor", "u8"), ("device_set", "u8"),
        ("locator", "str"), ("bank_locator", "str"), ("memory_type", "u8"),
        ("type_detail", "u16"), ("speed_mhz", "u16"), ("manufacturer", "str"),
        ("serial", "str"), ("asset_tag", "str"), ("part_number", "str"),
    ]),
    "array_mapped_address": (19, [
        ("start_kb", "u32"), ("end_kb", "u32"), ("array", "handle"), ("partition_width", "u8"),
    ]),
    "device_mapped_address": (20, [
        ("start_kb", "u32"), ("end_kb", "u32"), ("device", "handle"),
        ("array_mapped_address", "handle"), ("partition_row", "u8"),
        ("interleave_position", "u8"), ("interleaved_data_depth", "u8"),
    ]),
    "system_boot": (32, [("reserved", "zeros:6"), ("status", "u8")]),
    "end_of_table": (127, []),
}

INTEGER_FORMATS = {"u8": "<B", "u16": "<H", "u32": "<I", "u64": "<Q"}
TABLE_OFFSET = 0x20




def number(value, where):
    if isinstance(value, bool):
        raise DescriptionError(f"{where}: expected a number")
    if isinstance(value, int):
        return value
    if isinstance(value, str):
        try:
            return int(value, 0)
        except ValueError:
            pass
    raise DescriptionError(f"{where}: expected a number, got {value!r}")


def uuid_bytes(value, where):
    digits = str(value).replace("-", "")
    try:
        raw = bytes.fromhex(digits)
    except ValueError:
        raw = b""
    if len(raw) != 16:
        raise DescriptionError(f"{where}: expected 32 hex digits")
    return raw


def encode_structure(entry, index, handles):
    where = f"structures[{index}]"
    kind = entry.get("kind")
    if kind not in LAYOUTS:
        raise DescriptionError(f"{where}.kind: unknown kind {kind!r}")
    smbios_type, layout = LAYOUTS[kind]
    given = {k for k in entry if k not in ("kind", "id", "comment")}
    expected = {name for name, encoding in layout if not encoding.startswith("zeros:")}
    if given - expected:
        raise DescriptionError(f"{where}: unknown fields {sorted(given - expected)}")
    if expected - given:
        raise DescriptionError(f"{where}: missing fields {sorted(expected - given)}")

    formatted = bytearray()
    strings = []
    for name, encoding in layout:
        field = f"{where}.{name}"
        value = entry.get(name)
        if encoding.startswith("zeros:"):
            formatted += bytes(int(encoding[6:]))
        elif encoding == "str":
            if value is None or value == "":
                formatted.append(0)
            else:
                text = str(value).encode("ascii")
                if b"\0" in text:
                    raise DescriptionError(f"{field}: a string may not hold a NUL")
                strings.append(text)
                if len(strings) > 255:
                    raise DescriptionError(f"{where}: more than 255 strings")
                formatted.append(len(strings))
        elif encoding == "uuid":
            formatted += uuid_bytes(value, field)
        elif encoding == "handle":
            if isinstance(value, str) and value.startswith("@"):
                if value[1:] not in handles:
                    raise DescriptionError(f"{field}: no structure has the id {value[1:]!r}")
                formatted += struct.pack("<H", handles[value[1:]])
            else:
                formatted += struct.pack("<H", number(value, field))
        else:
            try:
                formatted += struct.pack(INTEGER_FORMATS[encoding], number(value, field))
            except struct.error:
                raise DescriptionError(f"{field}: {value!r} does not fit {encoding}") from None

    length = 4 + len(formatted)
    if length > 255:
        raise DescriptionError(f"{where}: formatted area of {length} bytes")
    header = struct.pack("<BBH", smbios_type, length, index)
    string_set = b"".join(s + b"\0" for s in strings) + b"\0" if strings else b"\0\0"
    return header + bytes(formatted) + string_set


def build(description):
    version = str(description.get("version", ""))
    try:
        major, minor = (int(part) for part in version.split("."))
    except ValueError:
        raise DescriptionError('version: expected "major.minor"') from None
    if major != 2:
        raise DescriptionError("version: only 2.x tables (a 31-byte entry point) are built")
    entries = description.get("structures")
    if not isinstance(entries, list) or not entries:
        raise DescriptionError("structures: expected a list of structures")

    handles = {}
    for index, entry in enumerate(entries):
        if "id" in entry:
            if entry["id"] in handles:
                raise DescriptionError(f"structures[{index}].id: {entry['id']!r} given twice")
            handles[entry["id"]] = index
    encoded = [encode_structure(entry, index, handles) for index, entry in enumerate(entries)]
    table = b"".join(encoded)
    if len(table) > 0xFFFF:
        raise DescriptionError("the table exceeds the 65535 bytes a 2.x entry point can state")

    dmi = bytearray(b"_DMI_" + bytes(1) + struct.pack("<HIHB", len(table), TABLE_OFFSET,
                                                      len(encoded), major << 4 | minor))
    dmi[5] = -sum(dmi) & 0xFF
    entry_point = bytearray(b"_SM_" + bytes(1) + struct.pack("<BBBHB", 0x1F, major, minor,
                                                             max(map(len, encoded)), 0))
    entry_point += bytes(5) + dmi
    entry_point[4] = -sum(entry_point) & 0xFF
    assert len(entry_point) == 0x1F
    return bytes(entry_point) + bytes(TABLE_OFFSET - len(entry_point)) + table


def main(arguments):
    return image_files.run(__doc__, arguments,
                           lambda description, output: {output: build(description)})


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
