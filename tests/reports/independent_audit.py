#!/usr/bin/env python3
"""An independent check of the audit table of a report's CSV file: reads the journal the report
was made of (argv[1]) and the CSV (argv[2], made in the unit argv[3]: Gy, cGy or mGy), calculates
the audit with exact fractions and the standard library's median and inclusive quantiles, and
compares it with the CSV's audit table cell by cell, the unit named in the doses' headers.

Input lines (tab-separated):  kind ID NAME LEVEL  |  row DOSE KIND
with "-" for a missing value, doses and levels as decimal texts with a point, in Gy·cm².
Prints one line per difference and "checked N" at the end; exits 1 when anything differs."""
import csv
import math
import statistics
import sys
from fractions import Fraction

UNITS = {"Gy": (Fraction(1), 3), "cGy": (Fraction(100), 1), "mGy": (Fraction(1000), 0)}
UNIT_TEXTS = {"Gy": "Гр·см²", "cGy": "сГр·см² (= мкГр·м²)", "mGy": "мГр·см²"}
FEWEST = 10


def rounded(value, digits):
    whole = math.floor(value * 10 ** digits + Fraction(1, 2))  # half up; the values are >= 0
    text = str(whole).rjust(digits + 1, "0")
    return text[:len(text) - digits] + "," + text[len(text) - digits:] if digits else text


def expected(journal, unit):
    scale, digits = UNITS[unit]
    kinds, doses = {}, {}
    with open(journal, encoding="utf-8") as source:
        for line in source:
            parts = line.rstrip("\n").split("\t")
            if parts[0] == "kind":
                kinds[parts[1]] = (parts[2], None if parts[3] == "-" else Fraction(parts[3]))
            elif parts[0] == "row" and parts[2] != "-":
                doses.setdefault(parts[2], []).append(Fraction(parts[1]))
    rows = []
    for kind, (name, level) in kinds.items():
        if level is None or level <= 0:
            continue
        values = sorted(doses.get(kind, []))
        if len(values) == 0:
            median = p75 = None
        elif len(values) == 1:
            median = p75 = values[0]
        else:
            median = statistics.median(values)
            p75 = statistics.quantiles(values, n=4, method="inclusive")[2]
        if len(values) < FEWEST:
            mark = "мало записей"
        elif median > level:
            mark = "медиана выше РДУ"
        else:
            mark = ""
        rows.append([name, str(len(values)),
                     "" if median is None else rounded(median * scale, digits),
                     "" if p75 is None else rounded(p75 * scale, digits),
                     rounded(level * scale, digits),
                     "" if median is None else rounded(median / level * 100, 1),
                     mark])
    return sorted(rows, key=lambda row: row[0].encode("utf-8"))


def audit_table(path):
    """The header and the rows of the CSV's table whose header has the level's percentage
    column."""
    with open(path, encoding="utf-8-sig", newline="") as source:
        lines = list(csv.reader(source, delimiter=";"))
    for i, line in enumerate(lines):
        if "Медиана, % РДУ" in line:
            width = len([f for f in line if f])
            table = []
            for row in lines[i + 1:]:
                if not any(row):
                    break
                table.append(row[:width])
            return line[:width], table
    return [], []


def main():
    header, ours = audit_table(sys.argv[2])
    theirs = expected(sys.argv[1], sys.argv[3])
    differences = 0
    for name in header[2:5]:  # the median, the 75th percentile and the level
        if not name.endswith(", " + UNIT_TEXTS[sys.argv[3]]):
            print("header %s does not name the unit %s" % (name, UNIT_TEXTS[sys.argv[3]]))
            differences += 1
    if len(ours) != len(theirs):
        print("rows: %d in the CSV, %d expected" % (len(ours), len(theirs)))
        differences += 1
    for got, want in zip(ours, theirs):
        if got != want:
            print("CSV %s\nwant %s" % ("|".join(got), "|".join(want)))
            differences += 1
    print("checked %d" % len(theirs))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
