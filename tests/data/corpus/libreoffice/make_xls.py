#!/usr/bin/env python3
"""Legacy workbooks as the office suite saves them (the Excel 97 format; it no longer writes
the Excel 95 one, see ../handmade for that), from sheets with computed columns: formulas that
give numbers and dates, whose results the file keeps, and formulas that give text, which it
saves without their results when it converts without a display.

Needs libreoffice-calc-nogui. Run: /usr/bin/python3 make_xls.py
"""
import csv
import os
import shutil
import subprocess
import tempfile
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
HEADINGS = ["提醒日期", "车牌号", "车主姓名", "性别", "联系电话", "登记日期", "身份证号", "车型"]

# Each cell: ("text", value) | ("float", value) | ("date", iso) | ("formula", formula, kind)
# with the text the application shows, as the import gives it.
NUMBER_ROWS = [
    ([("date", "2026-03-01"), ("text", "京A10001"), ("text", "张伟"), ("text", "先生"),
      ("float", "13912345678"), ("formula", "of:=[.A2]-365", "date"),
      ("text", "110101199003071234"), ("text", "大众帕萨特")],
     ["2026-03-01", "京A10001", "张伟", "先生", "13912345678", "2025-03-01",
      "110101199003071234", "大众帕萨特"]),
    ([("formula", "of:=DATE(2026;3;2)", "date"), ("text", "沪B20002"), ("text", "李娜"),
      ("text", "女士"), ("formula", "of:=13800000000+2", "float"), ("date", "2024-02-29"),
      ("text", "11010119850101002X"), ("text", "")],
     ["2026-03-02", "沪B20002", "李娜", "女士", "13800000002", "2024-02-29",
      "11010119850101002X", ""]),
    ([("text", ""), ("text", "京A10003"), ("text", "王强"), ("text", "先生"),
      ("formula", "of:=1/4", "float"), ("text", ""), ("text", ""), ("text", "本田雅阁")],
     ["", "京A10003", "王强", "先生", "0.25", "", "", "本田雅阁"]),
]
# Text formulas: the suite saves those it has not worked out on screen (every one, when it
# converts without a display) with the number 0 as their result and nothing after it. The import
# works out the simple ones, as the suite does when it opens the file; others it names.
TEXT_ROWS = [
    ([("date", "2026-03-01"), ("text", "京A10001"), ("text", "张伟"), ("text", "先生"),
      ("float", "13912345678"), ("text", ""), ("text", "110101199003071234"),
      ("formula", 'of:=CONCATENATE("大众";"帕萨特")', "string")],
     ["2026-03-01", "京A10001", "张伟", "先生", "13912345678", "", "110101199003071234",
      "大众帕萨特"]),
    ([("date", "2026-03-02"), ("formula", 'of:="沪B"&"20002"', "string"), ("text", "李娜"),
      ("formula", 'of:=IF([.C3]="李娜";"女士";"先生")', "string"), ("text", ""), ("text", ""),
      ("text", ""), ("formula", 'of:=UPPER("wang")', "string")],
     ["2026-03-02", "沪B20002", "李娜", "女士", "", "", "", "WANG"]),
]
UNREAD_ROWS = [
    ([("date", "2026-03-01"), ("text", "京A10001"), ("text", "张伟"), ("text", "先生"),
      ("float", "13912345678"), ("text", ""), ("text", ""),
      ("formula", 'of:=REPT("长";3)', "string")],
     ["2026-03-01", "京A10001", "张伟", "先生", "13912345678", "", "", "长长长"]),
]
FILES = [("formulas", NUMBER_ROWS, None),
         ("text_formulas", TEXT_ROWS, None),
         ("text_formulas_unread", UNREAD_ROWS, "第2行第8列是公式，无法读取其结果")]


def cell(given):
    kind = given[0]
    if kind == "text":
        if not given[1]:
            return "<table:table-cell/>"
        return ('<table:table-cell office:value-type="string"><text:p>%s</text:p>'
                "</table:table-cell>" % escape(given[1]))
    if kind == "float":
        return '<table:table-cell office:value-type="float" office:value="%s"/>' % given[1]
    if kind == "date":
        return ('<table:table-cell table:style-name="day" office:value-type="date" '
                'office:date-value="%s"/>' % given[1])
    # A formula keeps the result it had when saved, as every spreadsheet file does.
    formula, result, shown = given[1], given[2], given[3]
    style = ' table:style-name="day"' if result == "date" else ""
    cached = {"date": 'office:date-value="%s"', "float": 'office:value="%s"',
              "string": 'office:string-value="%s"'}[result] % escape(shown, {'"': "&quot;"})
    return ('<table:table-cell%s table:formula="%s" office:value-type="%s" %s/>'
            % (style, escape(formula, {'"': "&quot;"}), result, cached))


def flat_document(table):
    rows = ["<table:table-row>%s</table:table-row>" %
            "".join(cell(("text", h)) for h in HEADINGS)]
    for given_cells, shown in table:
        cells = [cell(given + (text,) if given[0] == "formula" else given)
                 for given, text in zip(given_cells, shown)]
        rows.append("<table:table-row>%s</table:table-row>" % "".join(cells))
    return """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
 <number:date-style style:name="ymd"><number:year number:style="long"/><number:text>年</number:text>
  <number:month/><number:text>月</number:text><number:day/><number:text>日</number:text>
 </number:date-style>
 <style:style style:name="day" style:family="table-cell" style:data-style-name="ymd"/>
</office:automatic-styles>
<office:body><office:spreadsheet><table:table table:name="客户">%s</table:table>
</office:spreadsheet></office:body></office:document>
""" % "\n".join(rows)


def main():
    work = tempfile.mkdtemp()
    try:
        profile = os.path.join(work, "profile")
        for name, table, error in FILES:
            source = os.path.join(work, name + ".fods")
            with open(source, "w", encoding="utf-8") as f:
                f.write(flat_document(table))
            subprocess.run(["soffice", "-env:UserInstallation=file://" + profile, "--headless",
                            "--convert-to", "xls:MS Excel 97", "--outdir", HERE, source],
                           check=True, stdout=subprocess.DEVNULL)
            if error:
                with open(os.path.join(HERE, name + ".error.txt"), "w", encoding="utf-8") as f:
                    f.write(error + "\n")
                continue
            with open(os.path.join(HERE, name + ".expected.csv"), "w", encoding="utf-8",
                      newline="") as f:
                csv.writer(f, lineterminator="\n").writerows(shown for _, shown in table)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
