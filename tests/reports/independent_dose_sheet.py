#!/usr/bin/env python3
"""An independent calculation of the dose sheet's numbers, for the tests: exact fractions,
rounding half up to the digits shown. Reads argv[1], a line per record (tab-separated):
DOSE YEAR BIRTH KADULT KCHILD, with "-" for a missing value and "x" for K when the record has no
kind. Prints a line per record: DAP in Gy·cm², cGy·cm² and mGy·cm², and the effective dose in
mSv ("" when there is none)."""
import math
import sys
from fractions import Fraction

CHILD_BELOW = 18


def rounded(value, digits):
    whole = math.floor(value * 10 ** digits + Fraction(1, 2))
    text = str(whole).rjust(digits + 1, "0")
    return text[:len(text) - digits] + "." + text[len(text) - digits:] if digits else text


def main():
    with open(sys.argv[1], encoding="utf-8") as source:
        for line in source:
            dose, year, birth, adult, child = line.rstrip("\n").split("\t")
            dose = Fraction(dose)
            effective = ""
            if adult != "x" and birth != "-":
                k = child if int(year) - int(birth) < CHILD_BELOW else adult
                if k != "-":
                    effective = rounded(dose * Fraction(k), 3)
            print("\t".join([rounded(dose, 3), rounded(dose * 100, 1), rounded(dose * 1000, 0),
                             effective]))


main()
