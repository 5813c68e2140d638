#!/usr/bin/env python3
"""Builds raw ACPI tables for the acpi/ folder of a machine image from a
readable JSON description.

    build_acpi.py DESCRIPTION.json OUTPUT_DIR          write one file per table
    build_acpi.py --check DESCRIPTION.json OUTPUT_DIR  exit 1 unless every file is
                                                        what DESCRIPTION gives

The description gives the header values every table shares ("header") and
lists the tables. Each table names its signature, the file it goes to, the
physical address the firmware gives it (what other tables point at), its
revision, its OEM table id, and every field of its signature's layout
(LAYOUTS below), in any order; a missing or unknown field is an error, so a
description states its whole table. Lengths and checksums are computed.
Field values:

  numbers    JSON numbers or strings holding a decimal or 0x hex number
  addresses  a number, or "@SIG" for the address of the table with that
             signature
  gas        a generic address structure: {"space", "bit_width",
             "bit_offset", "access_size", "address"}
  lists      RSDT "entries" (addresses), MCFG "allocations" ({"base",
             "segment", "start_bus", "end_bus"})

Every table but the FACS has the 36-byte header: signature, length,
revision, checksum, OEM id (6 characters), OEM table id (8), OEM revision,
creator id (4) and creator revision.
"""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import image_files  # noqa: E402
from image_files import DescriptionError  # noqa: E402

HEADER_SIZE = 36

# signature -> [(field, encoding)] of the bytes after the header (after
# signature and length for the FACS). "zeros:N" fields are not described.
LAYOUTS = {
    # FADT of revision 1 with the reset register: 132 bytes.
    "FACP": [
        ("firmware_ctrl", "addr32"), ("dsdt", "addr32"), ("int_model", "u8"),
        ("preferred_pm_profile", "u8"), ("sci_int", "u16"), ("smi_cmd", "u32"),
        ("acpi_enable", "u8"), ("acpi_disable", "u8"), ("s4bios_req", "u8"), ("pstate_cnt", "u8"),
        ("pm1a_evt_blk", "u32"), ("pm1b_evt_blk", "u32"), ("pm1a_cnt_blk", "u32"),
        ("pm1b_cnt_blk", "u32"), ("pm2_cnt_blk", "u32"), ("pm_tmr_blk", "u32"),
        ("gpe0_blk", "u32"), ("gpe1_blk", "u32"), ("pm1_evt_len", "u8"), ("pm1_cnt_len", "u8"),
        ("pm2_cnt_len", "u8"), ("pm_tmr_len", "u8"), ("gpe0_blk_len", "u8"), ("gpe1_blk_len", "u8"),
        ("gpe1_base", "u8"), ("cst_cnt", "u8"), ("p_lvl2_lat", "u16"), ("p_lvl3_lat", "u16"),
        ("flush_size", "u16"), ("flush_stride", "u16"), ("duty_offset", "u8"), ("duty_width", "u8"),
        ("day_alrm", "u8"), ("mon_alrm", "u8"), ("century", "u8"), ("iapc_boot_arch", "u16"),
        ("zeros:1", None), ("flags", "u32"), ("reset_reg", "gas"), ("reset_value", "u8"),
        ("zeros:3", None),
    ],
    # FACS: 64 bytes, no standard header.
    "FACS": [
        ("hardware_signature", "u32"), ("firmware_waking_vector", "u32"), ("global_lock", "u32"),
        ("flags", "u32"), ("x_firmware_waking_vector", "u64"), ("version", "u8"), ("zeros:3", None),
        ("ospm_flags", "u32"), ("zeros:24", None),
    ],
    "HPET": [
        ("event_timer_block_id", "u32"), ("base_address", "gas"), ("hpet_number", "u8"),
        ("minimum_tick", "u16"), ("page_protection", "u8"),
    ],
    "MCFG": [("zeros:8", None), ("allocations", "allocations")],
    "RSDT": [("entries", "entries")],
}

INTEGER_FORMATS = {"u8": "<B", "u16": "<H", "u32": "<I", "u64": "<Q", "addr32": "<I"}




def number(value, where):
    if isinstance(value, bool):
        raise DescriptionError(f"{where}: expected a number")
    if isinstance(value, int):
        return value
    if isinstance(value, str):
        try:
            return int(value, 16) if value.lower().startswith("0x") else int(value, 10)
        except ValueError:
            pass
    raise DescriptionError(f"{where}: expected a number, got {value!r}")


def address(value, where, addresses):
    if isinstance(value, str) and value.startswith("@"):
        if value[1:] not in addresses:
            raise DescriptionError(f"{where}: no table has the signature {value[1:]!r}")
        return addresses[value[1:]]
    return number(value, where)


def pack(fmt, value, where):
    try:
        return struct.pack(fmt, value)
    except struct.error:
        raise DescriptionError(f"{where}: {value!r} does not fit") from None


def chars(value, size, where):
    text = str(value).encode("ascii")
    if len(text) != size:
        raise DescriptionError(f"{where}: expected {size} characters, got {value!r}")
    return text


def encode_gas(value, where):
    keys = {"space": "<B", "bit_width": "<B", "bit_offset": "<B", "access_size": "<B", "address": "<Q"}
    if not isinstance(value, dict) or set(value) != set(keys):
        raise DescriptionError(f"{where}: expected the keys {sorted(keys)}")
    return b"".join(pack(fmt, number(value[key], f"{where}.{key}"), f"{where}.{key}")
                    for key, fmt in keys.items())


def encode_allocations(value, where):
    keys = {"base": "<Q", "segment": "<H", "start_bus": "<B", "end_bus": "<B"}
    if not isinstance(value, list):
        raise DescriptionError(f"{where}: expected a list")
    encoded = b""
    for index, allocation in enumerate(value):
        at = f"{where}[{index}]"
        if not isinstance(allocation, dict) or set(allocation) != set(keys):
            raise DescriptionError(f"{at}: expected the keys {sorted(keys)}")
        encoded += b"".join(pack(fmt, number(allocation[key], f"{at}.{key}"), f"{at}.{key}")
                            for key, fmt in keys.items())
        encoded += bytes(4)
    return encoded


def encode_table(table, index, shared, addresses):
    where = f"tables[{index}]"
    signature = table.get("signature")
    if signature not in LAYOUTS:
        raise DescriptionError(f"{where}.signature: no layout for {signature!r}")
    layout = LAYOUTS[signature]
    keys = {"signature", "file", "address", "fields", "comment"}
    if signature != "FACS":
        keys |= {"revision", "oem_table_id"}
    if set(table) - keys:
        raise DescriptionError(f"{where}: unknown keys {sorted(set(table) - keys)}")
    fields = table.get("fields", {})
    given = set(fields)
    expected = {name for name, encoding in layout if encoding}
    if given - expected:
        raise DescriptionError(f"{where}.fields: unknown fields {sorted(given - expected)}")
    if expected - given:
        raise DescriptionError(f"{where}.fields: missing fields {sorted(expected - given)}")

    body = b""
    for name, encoding in layout:
        at = f"{where}.fields.{name}"
        if encoding is None:
            body += bytes(int(name[6:]))
        elif encoding == "gas":
            body += encode_gas(fields[name], at)
        elif encoding == "allocations":
            body += encode_allocations(fields[name], at)
        elif encoding == "entries":
            if not isinstance(fields[name], list):
                raise DescriptionError(f"{at}: expected a list")
            body += b"".join(pack("<I", address(entry, f"{at}[{i}]", addresses), f"{at}[{i}]")
                             for i, entry in enumerate(fields[name]))
        elif encoding == "addr32":
            body += pack("<I", address(fields[name], at, addresses), at)
        else:
            body += pack(INTEGER_FORMATS[encoding], number(fields[name], at), at)

    if signature == "FACS":
        return b"FACS" + struct.pack("<I", 8 + len(body)) + body

    header = bytearray(b"".join([
        chars(signature, 4, f"{where}.signature"),
        struct.pack("<I", HEADER_SIZE + len(body)),
        pack("<B", number(table.get("revision"), f"{where}.revision"), f"{where}.revision"),
        bytes(1),  # checksum, set below
        chars(shared.get("oem_id"), 6, "header.oem_id"),
        chars(table.get("oem_table_id"), 8, f"{where}.oem_table_id"),
        pack("<I", number(shared.get("oem_revision"), "header.oem_revision"), "header.oem_revision"),
        chars(shared.get("creator_id"), 4, "header.creator_id"),
        pack("<I", number(shared.get("creator_revision"), "header.creator_revision"),
             "header.creator_revision"),
    ]))
    image = header + body
    image[9] = -sum(image) & 0xFF
    return bytes(image)


def build(description):
    shared = description.get("header")
    tables = description.get("tables")
    if not isinstance(shared, dict):
        raise DescriptionError("header: expected an object")
    if not isinstance(tables, list) or not tables:
        raise DescriptionError("tables: expected a list of tables")
    addresses, files = {}, {}
    for index, table in enumerate(tables):
        signature = table.get("signature")
        if signature in addresses:
            raise DescriptionError(f"tables[{index}].signature: {signature!r} given twice")
        addresses[signature] = number(table.get("address"), f"tables[{index}].address")
        name = table.get("file")
        if not isinstance(name, str) or not name or os.sep in name or name in files:
            raise DescriptionError(f"tables[{index}].file: expected a new plain file name")
        files[name] = None
    for index, table in enumerate(tables):
        files[table["file"]] = encode_table(table, index, shared, addresses)
    return files


def main(arguments):
    return image_files.run(__doc__, arguments,
                           lambda description, folder: {os.path.join(folder, name): image
                                                        for name, image in build(description).items()})


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
