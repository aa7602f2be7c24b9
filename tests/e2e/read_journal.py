#!/usr/bin/env python3
"""Reads the dose journal with Python's sqlite3 module (independently of the program), as a
clinic's tool would while the program runs. Prints one line per row of `records`, oldest id
first: device, number, measured_at, dose, device_error, source, tab-separated. With a second
argument the lines go into that file, which appears only when complete (for a caller that
cannot wait for this process)."""
import os
import sqlite3
import sys


def read(path):
    db = sqlite3.connect("file:" + path + "?mode=ro", uri=True)
    try:
        for row in db.execute("SELECT device, number, measured_at, dose, device_error, source "
                              "FROM records ORDER BY id"):
            print("\t".join("" if v is None else str(v) for v in row))
    finally:
        db.close()
    return 0


def main():
    if len(sys.argv) > 2:
        with open(sys.argv[2] + ".part", "w", encoding="utf-8", newline="\n") as out:
            sys.stdout = out
            status = read(sys.argv[1])
        os.replace(sys.argv[2] + ".part", sys.argv[2])
        return status
    return read(sys.argv[1])


if __name__ == "__main__":
    sys.exit(main())
