#!/usr/bin/env python3
"""Reads a report workbook with openpyxl (independently of the writer) and prints, one per line:
  sheet <tab> NAME
  cell <tab> SHEET <tab> R<row>C<col> <tab> kind <tab> value <tab> number format
  chart <tab> SHEET <tab> type <tab> title <tab> value-axis title <tab> categories <tab> values
  hidden <tab> SHEET <tab> C<col> (a hidden column)
Kinds: str, number, datetime (ISO form). Exit 1 when it cannot be read. With a second
argument the lines go into that file, which appears only when complete (for a caller that cannot
wait for this process)."""
import os
import sys

import openpyxl


def rich_text(title):
    """The plain text of a chart's or an axis's title."""
    if title is None or title.tx is None or title.tx.rich is None:
        return ""
    return "".join(run.t for p in title.tx.rich.p for run in (p.r or []))


def main(path):
    try:
        book = openpyxl.load_workbook(path)
    except Exception as error:  # the test shows what the reader said
        print("unreadable: %s" % error)
        return 1
    for sheet in book.worksheets:
        print("sheet\t%s" % sheet.title)
        for row in sheet.iter_rows():
            for cell in row:
                value = cell.value
                if value is None:
                    continue
                kind = type(value).__name__
                if kind in ("int", "float"):
                    # A workbook has numbers only: "15.95", "2" (a whole number without ".0").
                    kind = "number"
                    text = "%d" % value if float(value).is_integer() else repr(float(value))
                else:
                    text = value.isoformat(sep=" ") if kind == "datetime" else str(value)
                text = text.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r") \
                    .replace("\n", "\\n")
                print("cell\t%s\tR%dC%d\t%s\t%s\t%s" % (sheet.title, cell.row, cell.column, kind,
                                                        text, cell.number_format))
        for letter, dimension in sheet.column_dimensions.items():
            if dimension.hidden:
                print("hidden\t%s\tC%d" % (sheet.title,
                                            openpyxl.utils.column_index_from_string(letter)))
        for chart in sheet._charts:
            series = chart.series[0] if chart.series else None
            categories = ""
            if series is not None and series.cat is not None:
                reference = series.cat.numRef or series.cat.strRef
                categories = reference.f if reference is not None else ""
            values = series.val.numRef.f if series is not None and series.val is not None else ""
            print("chart\t%s\t%s\t%s\t%s\t%s\t%s" % (sheet.title, chart.tagname,
                                                     rich_text(chart.title),
                                                     rich_text(chart.y_axis.title), categories,
                                                     values))
    return 0


if __name__ == "__main__":
    if len(sys.argv) > 2:
        with open(sys.argv[2] + ".part", "w", encoding="utf-8") as out:
            sys.stdout = out
            status = main(sys.argv[1])
        os.replace(sys.argv[2] + ".part", sys.argv[2])
        sys.exit(status)
    sys.exit(main(sys.argv[1]))
