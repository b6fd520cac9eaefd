#!/usr/bin/python3
# Workbooks as xlsxwriter writes them: shared strings (one with rich text runs) by default,
# inline strings in constant-memory mode, and a chart sheet before a hidden worksheet before
# the customers. Needs python3-xlsxwriter. Run it here and commit the output.
import datetime
import os
import sys

import xlsxwriter

os.chdir(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, "..")
from corpus_rows import CUSTOMERS, HEADINGS, write_expected  # noqa: E402


def fill(book, sheet, rich=False):
    date = book.add_format({"num_format": "yyyy-mm-dd"})
    sheet.write_row(0, 0, HEADINGS)
    for r, row in enumerate(CUSTOMERS, start=1):
        for c, value in enumerate(row):
            if isinstance(value, datetime.date):
                sheet.write_datetime(r, c, datetime.datetime.combine(value, datetime.time()), date)
            elif isinstance(value, str):
                sheet.write_string(r, c, value)
            elif value is not None:
                sheet.write_number(r, c, value)
    if rich:
        # The owner's name in two runs, the surname in bold.
        bold = book.add_format({"bold": True})
        sheet.write_rich_string(1, 2, bold, CUSTOMERS[0][2][0], CUSTOMERS[0][2][1:])


book = xlsxwriter.Workbook("customers.xlsx")
fill(book, book.add_worksheet("客户"), rich=True)
book.close()
write_expected("customers.xlsx")

book = xlsxwriter.Workbook("constant_memory.xlsx", {"constant_memory": True})
fill(book, book.add_worksheet("客户"))
book.close()
write_expected("constant_memory.xlsx")

book = xlsxwriter.Workbook("chartsheet_first.xlsx")
chartsheet = book.add_chartsheet("图表")
lookup = book.add_worksheet("代码表")
lookup.write_row(0, 0, ["月份", "台数"])
lookup.write_row(1, 0, ["三月", 12])
lookup.hide()
fill(book, book.add_worksheet("客户"))
chart = book.add_chart({"type": "column"})
chart.add_series({"categories": "=代码表!$A$2:$A$2", "values": "=代码表!$B$2:$B$2"})
chartsheet.set_chart(chart)
book.worksheets()[2].activate()
book.close()
write_expected("chartsheet_first.xlsx")
