#!/usr/bin/env python3
"""Reads a CSV file with Python's csv module (independently of the writer), as a strict
importer would: UTF-8 with a byte-order mark, ";" between fields, quotes as the csv module
knows them, a malformed row an error. Prints one line per row: the number of fields, then the
fields, tab-separated. Exit 1 when it cannot be read. With a second argument the lines go into
that file, which appears only when complete (for a caller that cannot wait for this
process)."""
import csv
import os
import sys


def main():
    if len(sys.argv) > 2:
        with open(sys.argv[2] + ".part", "w", encoding="utf-8", newline="\n") as out:
            sys.stdout = out
            status = read(sys.argv[1])
        os.replace(sys.argv[2] + ".part", sys.argv[2])
        return status
    return read(sys.argv[1])


def read(path):
    try:
        with open(path, encoding="utf-8-sig", newline="") as f:
            rows = list(csv.reader(f, delimiter=";", strict=True))
    except (OSError, UnicodeDecodeError, csv.Error) as error:  # the test shows what it said
        print("unreadable: %s" % error)
        return 1
    for row in rows:
        print("\t".join([str(len(row))] + row))
    return 0


if __name__ == "__main__":
    sys.exit(main())
