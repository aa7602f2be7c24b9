#!/usr/bin/env python3
"""Reads an xlsx workbook with openpyxl (independently of the writer) and prints every cell
that holds something, one per line:  R<row>C<col> <tab> kind <tab> value <tab> number format
<tab> font size. Kinds: str, int, float, datetime (ISO form). Exit 1 when it cannot be read.
With a second argument the lines go into that file, which appears only when complete (for a
caller that cannot wait for this process)."""
import os
import sys

import openpyxl


def main():
    if len(sys.argv) > 2:
        with open(sys.argv[2] + ".part", "w", encoding="utf-8") as out:
            sys.stdout = out
            status = read(sys.argv[1])
        os.replace(sys.argv[2] + ".part", sys.argv[2])
        return status
    return read(sys.argv[1])


def read(path):
    try:
        book = openpyxl.load_workbook(path)
    except Exception as error:  # the test shows what the reader said
        print("unreadable: %s" % error)
        return 1
    sheet = book.worksheets[0]
    print("sheets\t%d" % len(book.worksheets))
    for row in sheet.iter_rows():
        for cell in row:
            value = cell.value
            if value is None:
                continue
            kind = type(value).__name__
            text = value.isoformat(sep=" ") if kind == "datetime" else str(value)
            size = cell.font.sz if cell.font is not None else ""
            print("R%dC%d\t%s\t%s\t%s\t%s" % (cell.row, cell.column, kind, text,
                                              cell.number_format, size))
    return 0


if __name__ == "__main__":
    sys.exit(main())
