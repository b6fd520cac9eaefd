#!/usr/bin/python3
# Workbooks as openpyxl writes them: inline strings and absolute worksheet targets, in both of
# its modes, the 1904 date system, a hidden first sheet, the date formats Chinese workbooks use,
# and formulas saved without results. Needs python3-openpyxl. Run it here and commit the output.
import datetime
import os
import sys

import openpyxl
from openpyxl.utils.datetime import CALENDAR_MAC_1904

os.chdir(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, "..")
from corpus_rows import CUSTOMERS, HEADINGS, write_error, write_expected  # noqa: E402


def fill(sheet, rows=CUSTOMERS, date_formats=None):
    sheet.append(HEADINGS)
    for index, row in enumerate(rows):
        sheet.append(list(row))
        for column in (1, 6):
            cell = sheet.cell(row=index + 2, column=column)
            if cell.value is not None:
                cell.number_format = date_formats[index] if date_formats else "yyyy-mm-dd"


def save(workbook, name, rows=CUSTOMERS):
    workbook.save(name)
    write_expected(name, rows)


book = openpyxl.Workbook()
fill(book.active)
save(book, "customers.xlsx")

book = openpyxl.Workbook(write_only=True)
sheet = book.create_sheet("客户")
sheet.append(HEADINGS)
for row in CUSTOMERS:
    sheet.append(list(row))
# Write-only mode gives dates its own default format, which shows them as dates too.
save(book, "write_only.xlsx")

book = openpyxl.Workbook()
book.epoch = CALENDAR_MAC_1904
fill(book.active)
save(book, "date1904.xlsx")

# A lookup sheet the shop hid comes first; the customers are on the first visible one.
book = openpyxl.Workbook()
lookup = book.active
lookup.title = "代码表"
lookup.append(["代码", "名称"])
lookup.append([1, "先生"])
lookup.sheet_state = "hidden"
fill(book.create_sheet("客户"))
book.create_sheet("备注").append(["说明"])
book.active = 1
save(book, "hidden_first_sheet.xlsx")

# One date format a row, as Chinese spreadsheet applications write them; a format with a time of
# day shows it after the day.
formats = [
    'yyyy"年"m"月"d"日"',
    "[DBNum1][$-804]yyyy\"年\"m\"月\"d\"日\"",
    "[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy",
    "[$-804]yyyy/m/d;@",
    "mm-dd-yy",
    "m/d/yy h:mm",
]
rows = []
for index, text in enumerate(formats):
    day = datetime.datetime(2026, 3, 1 + index, 10, 30) if "h:mm" in text else \
        datetime.date(2026, 3, 1 + index)
    rows.append((day, "京A2000%d" % index, "客户%d" % index, "先生", 13900000000 + index,
                 datetime.date(2025, 1, 1 + index), "", "车型%d" % index))
book = openpyxl.Workbook()
fill(book.active, rows, formats)
book.save("date_formats.xlsx")


def day_text(value, code):
    return value.strftime("%Y-%m-%d %H:%M" if "h:mm" in code else "%Y-%m-%d")


write_expected("date_formats.xlsx", [[day_text(r[0], code)] + list(r[1:5]) +
                                     [day_text(r[5], code)] + list(r[6:])
                                     for r, code in zip(rows, formats)])

# openpyxl saves formulas without the values they give: the import must say which cells.
book = openpyxl.Workbook()
sheet = book.active
fill(sheet)
sheet["H2"] = '="大众"&"帕萨特"'
book.save("formulas_without_results.xlsx")
write_error("formulas_without_results.xlsx", "第2行第8列是公式，无法读取其结果")
