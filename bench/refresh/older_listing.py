#!/usr/bin/env python3
"""older_listing.py LISTING_DIR OUT_DIR: an older state of the IEEE listing for
the refresh benchmark. Of the entries of the four registry files, every 50th
is left out (2% of the codes, assigned since) and every 50th from the 25th on
carries an earlier name (2%, renamed since): "Former " before the name."""
import os
import re
import sys

HEX = re.compile(rb"(\((?:hex|base 16)\)\s+)(\S)")


def main(src, out):
    os.makedirs(out, exist_ok=True)
    counter = 0
    for name in ("oui.txt", "mam.txt", "oui36.txt", "iab.txt"):
        with open(os.path.join(src, name), "rb") as f:
            lines = f.read().split(b"\n")
        kept, entry = [], None
        for line in lines + [b""]:
            if entry is None and b"(hex)" in line:
                entry = [line]
                continue
            if entry is not None:
                if line.rstrip(b"\r"):  # lines of blanks belong to the entry
                    entry.append(line)
                    continue
                counter += 1
                if counter % 50 != 0:
                    if counter % 50 == 25:
                        entry = [HEX.sub(rb"\1Former \2", l) for l in entry]
                    kept.extend(entry + [line])
                entry = None
                continue
            kept.append(line)
        with open(os.path.join(out, name), "wb") as f:
            f.write(b"\n".join(kept[:-1]))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
