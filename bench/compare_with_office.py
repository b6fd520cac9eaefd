#!/usr/bin/python3
"""How many workbooks the import reads as the office suite shows them.

Reads every workbook under CORPUS with `ruvaso --import FILE --dry-run` and converts it with the
office suite (headless, Chinese locale, the first worksheet as shown) to CSV, then compares the
first eight columns cell by cell. Cells count as equal when their texts are, but for the blanks
at either end (the room a format such as #,##0_) keeps for alignment, which the import trims),
when one shows TRUE/FALSE and the other 1/0, when both are error values, and when both show the
same date (and time of day): the import writes dates as yyyy-MM-dd, the office suite in the
cell's format, the parts that format leaves out (a year, a day) not compared.

A workbook the import refuses counts as refused, with its reason. Prints a table per format
family and, with --verbose, the first differing cell of each workbook.

Usage: bench/compare_with_office.py RUVASO CORPUS [--cache DIR] [--verbose]
Needs libreoffice-calc-nogui. The office suite's CSV files are kept in the cache folder, so a
second run (another build of the import) does not convert again.
"""
import argparse
import csv
import io
import os
import re
import subprocess
import sys
import tempfile

COLUMNS = 8
FAMILIES = {".xlsx": "xlsx", ".xlsm": "xlsx", ".xls": "xls", ".ods": "ods", ".xml": "xml",
            ".csv": "csv", ".html": "html", ".htm": "html"}
# The office suite takes a SpreadsheetML file for a text document unless told.
IN_FILTERS = {"xml": "MS Excel 2003 XML"}
MONTHS = {m: i + 1 for i, m in enumerate(
    ["jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"])}


def office_csv(path, cache):
    """The first worksheet as the office suite shows it, from the cache or converted now."""
    family = FAMILIES[os.path.splitext(path)[1].lower()]
    out = os.path.join(cache, os.path.relpath(path).replace(os.sep, "__") + ".csv")
    if not os.path.exists(out):
        with tempfile.TemporaryDirectory() as work:
            command = ["soffice", "-env:UserInstallation=file://%s/profile" % work, "--headless"]
            if family in IN_FILTERS:
                command.append("--infilter=%s" % IN_FILTERS[family])
            command += ["--convert-to", 'csv:Text - txt - csv (StarCalc):44,34,76,1',
                        "--outdir", work, path]
            env = dict(os.environ, LC_ALL="zh_CN.UTF-8", LANG="zh_CN.UTF-8")
            subprocess.run(command, env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=300)
            made = [f for f in os.listdir(work) if f.endswith(".csv")]
            text = open(os.path.join(work, made[0]), encoding="utf-8").read() if made else None
        if text is None:
            return None
        with open(out, "w", encoding="utf-8") as cached:
            cached.write(text)
    return open(out, encoding="utf-8").read()


def rows_of(text):
    rows = [row[:COLUMNS] + [""] * (COLUMNS - len(row[:COLUMNS]))
            for row in csv.reader(io.StringIO(text))]
    while rows and not any(cell.strip() for cell in rows[-1]):
        rows.pop()
    return rows


def moment(text):
    """(year, month, day, hour, minute, second) a date text shows, or None."""
    text = text.strip()
    time = re.search(r"(\d{1,2}):(\d{2})(?::(\d{2}))?", text)
    clock = (int(time.group(1)), int(time.group(2)), int(time.group(3) or 0)) if time else None
    if clock and re.search(r"(PM|下午)", text, re.I) and clock[0] < 12:
        clock = (clock[0] + 12,) + clock[1:]
    date = text[:time.start()] if time else text
    found = re.match(r"^(\d{4})[-/.年](\d{1,2})[-/.月](\d{1,2})日?\s*$", date.strip())
    # A month and a year alone ("1月-85", "2026年3月") stand for the month's first day.
    month = re.match(r"^(\d{1,2})月-(\d{2})\s*$", date.strip()) or \
        re.match(r"^(\d{4})年(\d{1,2})月\s*$", date.strip())
    # d-mmm-yy in Chinese ("23-3月-64"); a day and a month alone ("23-3月", "3/28") stand for
    # that day of no year.
    chinese = re.match(r"^(\d{1,2})-(\d{1,2})月(?:-(\d{2,4}))?\s*$", date.strip())
    if chinese and not found:
        year = int(chinese.group(3) or 0)
        year = year + (2000 if year < 30 else 1900) if 0 < year < 100 else year
        return (year, int(chinese.group(2)), int(chinese.group(1))) + (clock or (0, 0, 0))
    day_month = re.match(r"^(\d{1,2})/(\d{1,2})\s*$", date.strip())
    if day_month and not found:
        return (0, int(day_month.group(1)), int(day_month.group(2))) + (clock or (0, 0, 0))
    if month and not found:
        a, b = int(month.group(1)), int(month.group(2))
        year, number = (b + (2000 if b < 30 else 1900), a) if "月-" in date else (a, b)
        return (year, number, 0) + (clock or (0, 0, 0))
    if found:
        day = tuple(int(g) for g in found.groups())
    else:
        found = re.match(r"^(\d{1,2})([/-])(\d{1,2})\2(\d{2,4})\s*$", date.strip())
        if found:
            year = int(found.group(4))
            day = (year + (2000 if year < 30 else 1900) if year < 100 else year,
                   int(found.group(1)), int(found.group(3)))
        else:
            found = re.match(r"^(\d{1,2})-([A-Za-z]{3})-(\d{2,4})\s*$", date.strip())
            if not found or found.group(2).lower() not in MONTHS:
                return None
            year = int(found.group(3))
            day = (year + (2000 if year < 30 else 1900) if year < 100 else year,
                   MONTHS[found.group(2).lower()], int(found.group(1)))
    return day + (clock or (0, 0, 0))


def is_error(text):
    return bool(re.match(r"^(#[A-Z0-9/]+[!?A]?|#N/A|Err:\d+)$", text.strip()))


def same(ours, theirs):
    ours, theirs = ours.strip(" "), theirs.strip(" ")
    if ours == theirs:
        return True
    truth = {"TRUE": "1", "FALSE": "0"}
    if truth.get(ours.upper()) == theirs or truth.get(theirs.upper()) == ours or \
            ours.upper() == theirs.upper() in ("TRUE", "FALSE"):
        return True
    if is_error(ours) and is_error(theirs):
        return True
    if re.match(r"^\d{4}-\d{2}-\d{2}( \d{2}:\d{2}(:\d{2})?)?$", ours):
        theirs_moment, ours_moment = moment(theirs), moment(ours)
        if theirs_moment is not None and theirs_moment[2] == 0:  # no day shown
            ours_moment = ours_moment[:2] + (0,) + ours_moment[3:]
        if theirs_moment is not None and theirs_moment[0] == 0:  # no year shown
            ours_moment = (0,) + ours_moment[1:]
        return theirs_moment is not None and theirs_moment == ours_moment
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("ruvaso")
    parser.add_argument("corpus")
    parser.add_argument("--cache", default=os.path.expanduser("~/.cache/ruvaso-office-csv"))
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    args.ruvaso = os.path.abspath(args.ruvaso)
    args.cache = os.path.abspath(args.cache)
    os.makedirs(args.cache, exist_ok=True)
    totals = {}
    os.chdir(args.corpus)
    for folder, _, files in sorted(os.walk(".")):
        for name in sorted(files):
            path = os.path.join(folder, name)
            family = FAMILIES.get(os.path.splitext(name)[1].lower())
            if family is None:
                continue
            result = totals.setdefault(family, {"files": 0, "exact": 0, "refused": 0,
                                                 "differ": 0, "cells": 0, "equal": 0})
            result["files"] += 1
            ours = subprocess.run([args.ruvaso, "--import", path, "--dry-run"],
                                  capture_output=True, text=True,
                                  env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
            if ours.returncode != 0:
                result["refused"] += 1
                if args.verbose:
                    print("%s: refused: %s" % (path, ours.stderr.strip()))
                continue
            theirs_text = office_csv(path, args.cache)
            theirs = rows_of(theirs_text) if theirs_text is not None else []
            mine = rows_of(ours.stdout)
            first = None
            for r in range(max(len(mine), len(theirs))):
                a = mine[r] if r < len(mine) else [""] * COLUMNS
                b = theirs[r] if r < len(theirs) else [""] * COLUMNS
                for c in range(COLUMNS):
                    if not a[c] and not b[c]:
                        continue
                    result["cells"] += 1
                    if same(a[c], b[c]):
                        result["equal"] += 1
                    elif first is None:
                        first = (r + 1, c + 1, a[c], b[c])
            if first is None:
                result["exact"] += 1
            else:
                result["differ"] += 1
                if args.verbose:
                    print("%s: row %d column %d: read %r, shown %r" % ((path,) + first))
    print("| family | workbooks | read as shown | refused with a reason | read otherwise "
          "| cells as shown |")
    print("|---|---|---|---|---|---|")
    whole = {"files": 0, "exact": 0, "refused": 0, "differ": 0, "cells": 0, "equal": 0}
    for family, result in sorted(totals.items()):
        for key in whole:
            whole[key] += result[key]
    for family, result in sorted(totals.items()) + [("all", whole)]:
        print("| %s | %d | %d (%.0f%%) | %d | %d | %d of %d |" % (
            family, result["files"], result["exact"],
            100.0 * result["exact"] / max(1, result["files"]), result["refused"],
            result["differ"], result["equal"], result["cells"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
