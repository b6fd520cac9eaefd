#!/usr/bin/env python3
"""Workbooks as Python programs write them with xlwt (the Excel 97 format): text, numbers and
dates in date formats; a hidden first sheet; the 1904 date system; enough names that the
shared strings run over several records; and formulas, which xlwt writes without their
results, so the import must name those cells rather than leave them blank.

Needs python3-xlwt. Run: /usr/bin/python3 make.py
"""
import csv
import datetime
import os

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
HEADINGS = ["提醒日期", "车牌号", "车主姓名", "性别", "联系电话", "登记日期", "身份证号", "车型"]
DATE = xlwt.easyxf(num_format_str="yyyy-mm-dd")
CHINESE_DATE = xlwt.easyxf(num_format_str='yyyy"年"m"月"d"日"')
TEXT = xlwt.easyxf(num_format_str="@")

CUSTOMERS = [
    (datetime.date(2026, 3, 1), "京A10001", "张伟", "先生", 13912345678,
     datetime.date(2024, 12, 31), "110101199003071234", "大众帕萨特"),
    (datetime.date(2026, 3, 2), "沪B20002", "李娜", "女士", "010-62345678",
     datetime.date(2024, 2, 29), "11010119850101002X", "丰田卡罗拉, 1.6L"),
    (None, "粤C30003", "王强", "先生", 13800000003, None, "", "本田\"雅阁\""),
]


def write_customers(sheet, rows, first=0):
    for col, heading in enumerate(HEADINGS):
        sheet.write(first, col, heading)
    shown = []
    for r, row in enumerate(rows, first + 1):
        line = []
        for col, value in enumerate(row):
            if isinstance(value, datetime.date):
                sheet.write(r, col, value, DATE if col == 0 else CHINESE_DATE)
                line.append(value.isoformat())
            elif value is None:
                line.append("")
            elif col == 6:
                sheet.write(r, col, value, TEXT)
                line.append(value)
            else:
                sheet.write(r, col, value)
                line.append(str(value))
        shown.append(line)
    return shown


def save(book, name, shown):
    book.save(os.path.join(HERE, name + ".xls"))
    if isinstance(shown, str):
        with open(os.path.join(HERE, name + ".error.txt"), "w", encoding="utf-8") as f:
            f.write(shown + "\n")
        return
    with open(os.path.join(HERE, name + ".expected.csv"), "w", encoding="utf-8",
              newline="") as f:
        csv.writer(f, lineterminator="\n").writerows(shown)


def main():
    book = xlwt.Workbook(encoding="utf-8")
    shown = write_customers(book.add_sheet("客户"), CUSTOMERS)
    save(book, "customers", shown)

    book = xlwt.Workbook(encoding="utf-8")
    lookup = book.add_sheet("车型表")
    lookup.write(0, 0, "车型")
    lookup.write(1, 0, "大众帕萨特")
    lookup.visibility = 1
    shown = write_customers(book.add_sheet("客户"), CUSTOMERS)
    book.active_sheet = 1
    save(book, "hidden_first_sheet", shown)

    book = xlwt.Workbook(encoding="utf-8")
    book.dates_1904 = True
    shown = write_customers(book.add_sheet("客户"), CUSTOMERS)
    save(book, "dates_1904", shown)

    # Four thousand customers: the shared strings fill several CONTINUE records.
    book = xlwt.Workbook(encoding="utf-8")
    rows = [(datetime.date(2026, 1, 1) + datetime.timedelta(days=i % 365), "京B%05d" % i,
             "车主%d号" % i, "女士" if i % 2 else "先生", 13900000000 + i, None,
             "1101011990%08d" % i, "车型%d" % (i % 50)) for i in range(4000)]
    shown = write_customers(book.add_sheet("客户"), rows)
    save(book, "many_customers", shown)

    # Formulas: xlwt stores no result, and a spreadsheet application works them out on
    # opening. The import cannot, so it names the cells.
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("客户")
    write_customers(sheet, [CUSTOMERS[0][:7] + (None,)])
    sheet.write(1, 7, xlwt.Formula('"大众"&"帕萨特"'))
    save(book, "formulas", "第2行第8列是公式，无法读取其结果")


if __name__ == "__main__":
    main()
