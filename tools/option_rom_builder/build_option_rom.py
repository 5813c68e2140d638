#!/usr/bin/env python3
"""Builds a PCI expansion ROM image (a legacy x86 option ROM such as a video
BIOS) from a readable JSON description.

    build_option_rom.py DESCRIPTION.json OUTPUT.rom          write OUTPUT.rom
    build_option_rom.py --check DESCRIPTION.json OUTPUT.rom  exit 1 unless OUTPUT.rom
                                                              is what DESCRIPTION gives

Every key is required; numbers are JSON numbers or strings holding a decimal
or 0x hex number:

  size           the image size in bytes, a multiple of 512 up to 65024
                 (the header counts it in 512-byte units in one byte)
  vendor, device the PCI ids of the function the ROM belongs to
  class_code     base class << 16 | subclass << 8 | programming interface
  code_revision  the revision of the code and data in the image
  pcir_offset    where the PCI data structure lies (4-aligned, inside the
                 image, after the 0x1C-byte header)
  fill           the byte value of every byte nothing else sets
  texts          [{"offset": N, "text": "..."}]: ASCII texts placed in the
                 image, each followed by a zero byte

Layout (PCI Firmware Specification 3.0, 5.1): 0x55 0xAA, the size in 512-byte
units, the initialisation entry at 0x03 (here a far return, 0xCB), the offset
of the PCI data structure at 0x18; the "PCIR" structure with the ids, its
length (0x18), revision 0, the class code, the image length, the code
revision, code type 0 (x86) and the last-image indicator 0x80. The last byte
makes the bytes of the image sum to 0 modulo 256.
"""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import image_files  # noqa: E402

KEYS = {"size", "vendor", "device", "class_code", "code_revision", "pcir_offset", "fill", "texts"}
HEADER = 0x1C
PCIR_LENGTH = 0x18


def number(description, key, maximum):
    value = description[key]
    if isinstance(value, str):
        try:
            value = int(value, 0)
        except ValueError:
            raise image_files.DescriptionError(f"{key}: not a number") from None
    if not isinstance(value, int) or isinstance(value, bool) or not 0 <= value <= maximum:
        raise image_files.DescriptionError(f"{key}: expected a whole number from 0 to {maximum}")
    return value


def build(description):
    if not isinstance(description, dict) or set(description) != KEYS:
        raise image_files.DescriptionError("expected exactly the keys " + ", ".join(sorted(KEYS)))
    size = number(description, "size", 127 * 512)
    if size == 0 or size % 512:
        raise image_files.DescriptionError("size: a multiple of 512 bytes is required")
    pcir = number(description, "pcir_offset", size - PCIR_LENGTH - 1)
    if pcir < HEADER or pcir % 4:
        raise image_files.DescriptionError("pcir_offset: 4-aligned and after the header")
    image = bytearray([number(description, "fill", 0xFF)]) * size
    image[0:4] = bytes([0x55, 0xAA, size // 512, 0xCB])
    image[0x18:0x1A] = struct.pack("<H", pcir)
    class_code = number(description, "class_code", 0xFFFFFF)
    image[pcir:pcir + PCIR_LENGTH] = (
        b"PCIR" + struct.pack("<HHHHB", number(description, "vendor", 0xFFFF), number(description, "device", 0xFFFF),
                              0, PCIR_LENGTH, 0)
        + class_code.to_bytes(3, "little")
        + struct.pack("<HHBBH", size // 512, number(description, "code_revision", 0xFFFF), 0, 0x80, 0))
    used = [(0, HEADER), (pcir, pcir + PCIR_LENGTH), (size - 1, size)]
    for i, entry in enumerate(description["texts"]):
        if not isinstance(entry, dict) or set(entry) != {"offset", "text"}:
            raise image_files.DescriptionError(f"texts[{i}]: expected {{\"offset\", \"text\"}}")
        data = entry["text"].encode("ascii") + b"\0"
        offset = number(entry, "offset", size - 2)
        span = (offset, offset + len(data))
        if any(span[0] < end and start < span[1] for start, end in used):
            raise image_files.DescriptionError(f"texts[{i}]: overlaps the header, the PCI data or another text")
        used.append(span)
        image[span[0]:span[1]] = data
    image[-1] = 0
    image[-1] = -sum(image) & 0xFF
    return bytes(image)


def main(arguments):
    return image_files.run(__doc__, arguments, lambda description, output: {output: build(description)})


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
