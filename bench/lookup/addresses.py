#!/usr/bin/env python3
"""Addresses for bench/lookup/run.sh, and the answers checked against the listing.

  addresses.py make LISTING_DIR COUNT OUT      COUNT addresses: a code of the listing
                                               with a random tail, in mixed notations
  addresses.py check LISTING_DIR IN OURS.csv   prints how many answers of
                                               `zorvane-db lookup --csv` differ from the listing
  addresses.py netaddr LISTING_DIR IN SAMPLE   resolves the first SAMPLE addresses one by
                                               one with netaddr; prints "SECONDS MISSING WRONG
                                               WRONG_IN_SUB_BLOCKS FAILED" (FAILED: netaddr raised
                                               another error than "not registered", counted as
                                               missing)

The truth is the listing itself (its four .csv files): the longest assignment
that begins the address.
"""
import csv
import random
import re
import sys
import time

FILES = ("oui.csv", "mam.csv", "oui36.csv", "iab.csv")


def listing(folder):
    """{hex assignment: [organisation names]} over the four registries."""
    names = {}
    for name in FILES:
        with open(f"{folder}/{name}", newline="", encoding="utf-8") as f:
            for row in csv.DictReader(f):
                names.setdefault(row["Assignment"].upper(), []).append(row["Organization Name"])
    return names


def digits_of(address):
    parts = re.split(r"[:.-]", address)
    if len(parts) == 6:  # colon or dash form, short groups padded
        parts = [p.rjust(2, "0") for p in parts]
    return "".join(parts).upper()


def truth(names, digits):
    for length in (9, 7, 6):
        if digits[:length] in names:
            return digits[:length]
    return None


def normal(name):
    return " ".join(name.split()).casefold()


def make(folder, count, out):
    rng = random.Random(14)
    codes = sorted(listing(folder))
    forms = (
        lambda d: ":".join(d[i:i + 2] for i in range(0, 12, 2)).lower(),
        lambda d: "-".join(d[i:i + 2] for i in range(0, 12, 2)),
        lambda d: ".".join(d[i:i + 4] for i in range(0, 12, 4)).lower(),
        lambda d: d,
        lambda d: ":".join(d[i:i + 2].lstrip("0") or "0" for i in range(0, 12, 2)).lower(),
    )
    with open(out, "w") as f:
        for _ in range(count):
            code = rng.choice(codes)
            digits = code + "".join(rng.choice("0123456789ABCDEF") for _ in range(12 - len(code)))
            f.write(rng.choice(forms)(digits) + "\n")


def check(folder, addresses, ours):
    names = listing(folder)
    wrong = 0
    with open(addresses) as a, open(ours, newline="", encoding="utf-8") as o:
        rows = csv.DictReader(o)
        for line, row in zip(a, rows):
            expected = truth(names, digits_of(line.strip()))
            got = re.sub(r"[:.-]", "", row["code"]).upper() or None
            wrong += got != expected
    print(wrong)


def with_netaddr(folder, addresses, sample):
    from netaddr import EUI, NotRegisteredError

    names = listing(folder)
    with open(addresses) as f:
        items = [next(f).strip() for _ in range(sample)]
    answers = []
    failed = 0
    start = time.perf_counter()
    for item in items:
        try:
            eui = EUI(item)
            org = None
            if eui.is_iab():
                try:
                    org = eui.iab.registration().org
                except NotRegisteredError:
                    pass
            answers.append(org if org is not None else eui.oui.registration().org)
        except NotRegisteredError:
            answers.append(None)
        except Exception:  # its index and the listing it reads disagree
            answers.append(None)
            failed += 1
    seconds = time.perf_counter() - start
    missing = wrong = wrong_sub = 0
    for item, org in zip(items, answers):
        code = truth(names, digits_of(item))
        if code is None:
            continue
        if org is None:
            missing += 1
        elif normal(org) not in {normal(n) for n in names[code]}:
            wrong += 1
            wrong_sub += len(code) > 6
    print(f"{seconds:.3f} {missing} {wrong} {wrong_sub} {failed}")


if __name__ == "__main__":
    command, folder = sys.argv[1], sys.argv[2]
    if command == "make":
        make(folder, int(sys.argv[3]), sys.argv[4])
    elif command == "check":
        check(folder, sys.argv[3], sys.argv[4])
    else:
        with_netaddr(folder, sys.argv[3], int(sys.argv[4]))
