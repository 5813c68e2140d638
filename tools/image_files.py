"""The command line the machine-image generators share.

    GENERATOR DESCRIPTION.json OUTPUT          write what the description gives
    GENERATOR --check DESCRIPTION.json OUTPUT  exit 1 unless OUTPUT already
                                               holds exactly that
"""

import json
import os
import sys


class DescriptionError(Exception):
    """A description that does not state a valid image; the message names the key."""


def run(usage, arguments, build):
    """Runs a generator. `build(description, output)` returns {path: bytes}."""
    check = arguments[:1] == ["--check"]
    if check:
        arguments = arguments[1:]
    if len(arguments) != 2:
        print(usage, file=sys.stderr)
        return 2
    source, output = arguments
    try:
        with open(source, encoding="utf-8") as f:
            files = build(json.load(f), output)
    except (OSError, ValueError, DescriptionError) as error:
        print(f"{source}: {error}", file=sys.stderr)
        return 1
    for path, image in files.items():
        if check:
            try:
                with open(path, "rb") as f:
                    current = f.read()
            except OSError as error:
                print(f"{path}: {error}", file=sys.stderr)
                return 1
            if current != image:
                print(f"{path} differs from what {source} gives; rebuild it", file=sys.stderr)
                return 1
        else:
            os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
            with open(path, "wb") as f:
                f.write(image)
    return 0
