#!/usr/bin/env python3
"""Builds the 512-byte sectors a drive of a machine image answers with, the
IDENTIFY DEVICE data and the SMART READ DATA, from a readable JSON
description.

    build_ata.py DESCRIPTION.json OUTPUT_FOLDER          write the sector files
    build_ata.py --check DESCRIPTION.json OUTPUT_FOLDER  exit 1 unless they are
                                                          what DESCRIPTION gives

The description lists drives by name; each gives "identify", "smart" or both,
written to NAME.identify.bin and NAME.smart.bin in the output folder.

  identify  "model" (words 27-46), "serial" (words 10-19, right-aligned),
            "firmware" (words 23-26): ASCII texts, two characters per word,
            the first in the high byte, blank-padded; "sectors": the user
            addressable sectors, written to words 60-61 (at most 0x0FFFFFFF)
            and 100-103; "words": every other word that is not 0, by its
            number. Word 255 is the integrity word: signature 0xA5 and the
            checksum that makes the 512 bytes sum to 0.
  smart     "revision" (bytes 0-1); "attributes": up to 30 entries of
            "id", "flags", "value", "worst" and "raw" (six bytes), in table
            order from byte 2; "offline_status" (byte 362),
            "self_test_status" (byte 363), "offline_seconds" (bytes 364-365),
            "capability" (byte 368), "smart_capability" (bytes 369-370),
            "short_test_minutes" (byte 372), "extended_test_minutes" (byte
            373). Byte 511 is the checksum that makes the sector sum to 0.

Numbers are JSON numbers or strings holding a decimal or 0x hex number. A
missing or unknown key is an error, so a description states its sectors.
"""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import image_files  # noqa: E402
from image_files import DescriptionError  # noqa: E402

SECTOR = 512


def number(value, path, bits):
    if isinstance(value, str):
        try:
            value = int(value, 16) if value.lower().startswith("0x") else int(value)
        except ValueError:
            raise DescriptionError(f"{path}: {value!r} is not a number") from None
    if not isinstance(value, int) or isinstance(value, bool) or not 0 <= value < (1 << bits):
        raise DescriptionError(f"{path}: expected a number of {bits} bits")
    return value


def keys(entry, path, required, optional=()):
    if not isinstance(entry, dict):
        raise DescriptionError(f"{path}: expected an object")
    for key in entry:
        if key not in required and key not in optional:
            raise DescriptionError(f"{path}.{key}: unknown key")
    for key in required:
        if key not in entry:
            raise DescriptionError(f"{path}.{key}: missing")


def put_text(words, first, count, text, path):
    if not isinstance(text, str) or not text.isascii() or len(text) > 2 * count:
        raise DescriptionError(f"{path}: expected ASCII text of at most {2 * count} characters")
    text = text.ljust(2 * count)
    for i in range(count):
        words[first + i] = ord(text[2 * i]) << 8 | ord(text[2 * i + 1])


def identify(entry, path):
    keys(entry, path, ("model", "serial", "firmware", "sectors", "words"))
    words = [0] * (SECTOR // 2)
    for index, value in entry["words"].items():
        where = f"{path}.words.{index}"
        word = number(index, where, 8)
        if word in (60, 61, 100, 101, 102, 103, 255) or 10 <= word <= 19 or 23 <= word <= 46:
            raise DescriptionError(f"{where}: the builder writes this word")
        words[word] = number(value, where, 16)
    put_text(words, 10, 10, entry["serial"].rjust(20), f"{path}.serial")
    put_text(words, 23, 4, entry["firmware"], f"{path}.firmware")
    put_text(words, 27, 20, entry["model"], f"{path}.model")
    sectors = number(entry["sectors"], f"{path}.sectors", 48)
    small = min(sectors, 0x0FFFFFFF)
    words[60], words[61] = small & 0xFFFF, small >> 16
    for i in range(4):
        words[100 + i] = sectors >> (16 * i) & 0xFFFF
    data = bytearray(struct.pack("<256H", *words))
    data[510] = 0xA5
    data[511] = -sum(data[:511]) & 0xFF
    return bytes(data)


def smart(entry, path):
    fields = {"offline_status": (362, 8), "self_test_status": (363, 8), "offline_seconds": (364, 16),
              "capability": (368, 8), "smart_capability": (369, 16), "short_test_minutes": (372, 8),
              "extended_test_minutes": (373, 8)}
    keys(entry, path, ("revision", "attributes") + tuple(fields))
    data = bytearray(SECTOR)
    struct.pack_into("<H", data, 0, number(entry["revision"], f"{path}.revision", 16))
    attributes = entry["attributes"]
    if not isinstance(attributes, list) or len(attributes) > 30:
        raise DescriptionError(f"{path}.attributes: expected a list of at most 30 attributes")
    for i, attribute in enumerate(attributes):
        where = f"{path}.attributes[{i}]"
        keys(attribute, where, ("id", "flags", "value", "worst", "raw"))
        struct.pack_into("<BHBB", data, 2 + 12 * i, number(attribute["id"], f"{where}.id", 8),
                         number(attribute["flags"], f"{where}.flags", 16), number(attribute["value"], f"{where}.value", 8),
                         number(attribute["worst"], f"{where}.worst", 8))
        data[2 + 12 * i + 5:2 + 12 * i + 11] = number(attribute["raw"], f"{where}.raw", 48).to_bytes(6, "little")
    for key, (offset, bits) in fields.items():
        value = number(entry[key], f"{path}.{key}", bits)
        data[offset:offset + bits // 8] = value.to_bytes(bits // 8, "little")
    data[511] = -sum(data[:511]) & 0xFF
    return bytes(data)


def build(description, folder):
    keys(description, "description", ("drives",))
    files = {}
    for name, drive in description["drives"].items():
        path = f"drives.{name}"
        keys(drive, path, (), ("identify", "smart"))
        if "identify" in drive:
            files[os.path.join(folder, name + ".identify.bin")] = identify(drive["identify"], path + ".identify")
        if "smart" in drive:
            files[os.path.join(folder, name + ".smart.bin")] = smart(drive["smart"], path + ".smart")
    return files


def main(arguments):
    return image_files.run(__doc__, arguments, build)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
