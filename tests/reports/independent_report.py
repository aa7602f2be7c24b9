#!/usr/bin/env python3
"""An independent calculation of the period report, for the tests: exact fractions, the
standard library's median and inclusive quantiles, rounding half up to the digits each unit
shows. Reads the report's input (argv[1]) and prints the expected cells' texts.

Input lines (tab-separated):  period FROM TO  |  kind ID NAME KADULT KCHILD  |  row MINUTE DOSE KIND BIRTH
with "-" for a missing value, doses and K as decimal texts with a point.
Output lines: kind NAME UNIT COUNT TOTAL MEDIAN P75 WITH_E TOTAL_E MEAN_E  |  month MM.YYYY UNIT COUNT TOTAL
with "" for an empty cell."""
import datetime
import math
import statistics
import sys
from fractions import Fraction

UNITS = {"Gy": (Fraction(1), 3), "cGy": (Fraction(100), 1), "mGy": (Fraction(1000), 0)}
CHILD_BELOW = 18


def rounded(value, digits):
    whole = math.floor(value * 10 ** digits + Fraction(1, 2))  # half up; the values are >= 0
    text = str(whole).rjust(digits + 1, "0")
    return text[:len(text) - digits] + "." + text[len(text) - digits:] if digits else text


def main():
    kinds, rows, period = {}, [], None
    with open(sys.argv[1], encoding="utf-8") as source:
        for line in source:
            parts = line.rstrip("\n").split("\t")
            if parts[0] == "period":
                period = [datetime.date.fromisoformat(p) for p in parts[1:3]]
            elif parts[0] == "kind":
                k = [None if p == "-" else Fraction(p) for p in parts[3:5]]
                kinds[parts[1]] = (parts[2], k[0], k[1])
            elif parts[0] == "row":
                when = datetime.datetime(1970, 1, 1) + datetime.timedelta(minutes=int(parts[1]))
                rows.append((when, Fraction(parts[2]),
                             None if parts[3] == "-" else parts[3],
                             None if parts[4] == "-" else int(parts[4])))
    groups = {}
    for when, dose, kind, birth in rows:
        effective = None
        if kind in kinds:
            name, adult, child = kinds[kind]
            if birth is not None:
                k = child if when.year - birth < CHILD_BELOW else adult
                if k is not None:
                    effective = dose * k
        else:
            name = "Без вида исследования"
        groups.setdefault(name, []).append((dose, effective))
        groups.setdefault("Всего", []).append((dose, effective))
    groups.setdefault("Без вида исследования", [])
    groups.setdefault("Всего", [])
    for unit, (scale, digits) in UNITS.items():
        for name, members in groups.items():
            doses = sorted(d for d, _ in members)
            effective = [e for _, e in members if e is not None]
            cells = [name, unit, str(len(doses)), rounded(sum(doses, Fraction(0)) * scale, digits)]
            if len(doses) == 1:
                cells += [rounded(doses[0] * scale, digits)] * 2
            elif doses:
                quartiles = statistics.quantiles(doses, n=4, method="inclusive")
                cells += [rounded(statistics.median(doses) * scale, digits),
                          rounded(quartiles[2] * scale, digits)]
            else:
                cells += ["", ""]
            cells.append(str(len(effective)))
            if effective:
                total = sum(effective, Fraction(0))
                cells += [rounded(total, 3), rounded(total / len(effective), 3)]
            else:
                cells += ["", ""]
            print("\t".join(["kind"] + cells))
        y, m = period[0].year, period[0].month
        while (y, m) <= (period[1].year, period[1].month):
            doses = [d for when, d, _, _ in rows if (when.year, when.month) == (y, m)]
            print("\t".join(["month", "%02d.%04d" % (m, y), unit, str(len(doses)),
                             rounded(sum(doses, Fraction(0)) * scale, digits)]))
            y, m = (y + 1, 1) if m == 12 else (y, m + 1)


if __name__ == "__main__":
    main()
