#!/usr/bin/env python3
"""Reads the dose journal with Python's sqlite3 module (independently of the program), as a
clinic's tool would while the program runs. Prints one line per row of `records`, oldest id
first: device, number, measured_at, dose, device_error, source, tab-separated. With
--annotations first, one line per row of `annotations` instead, oldest first: record_id,
patient_form, patient, birth_year, the kind's name, images, operator, note, with tab, line
breaks and backslash escaped as \\t, \\n, \\r and \\\\. With a second file argument the lines go into
that file, which appears only when complete (for a caller that cannot wait for this process)."""
import os
import sqlite3
import sys

RECORDS = ("SELECT device, number, measured_at, dose, device_error, source "
           "FROM records ORDER BY id")
ANNOTATIONS = ("SELECT a.record_id, a.patient_form, a.patient, a.birth_year, k.name, a.images, "
               "a.operator, a.note FROM annotations AS a "
               "LEFT JOIN exam_kinds AS k ON k.id = a.kind_id ORDER BY a.id")


def field(value):
    if value is None:
        return ""
    return (str(value).replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
            .replace("\r", "\\r"))


def read(path, query):
    db = sqlite3.connect("file:" + path + "?mode=ro", uri=True)
    try:
        for row in db.execute(query):
            print("\t".join(field(v) for v in row))
    finally:
        db.close()
    return 0


def main():
    args = sys.argv[1:]
    query = RECORDS
    if args and args[0] == "--annotations":
        query = ANNOTATIONS
        args = args[1:]
    if len(args) > 1:
        with open(args[1] + ".part", "w", encoding="utf-8", newline="\n") as out:
            sys.stdout = out
            status = read(args[0], query)
        os.replace(args[1] + ".part", args[1])
        return status
    return read(args[0], query)


if __name__ == "__main__":
    sys.exit(main())
