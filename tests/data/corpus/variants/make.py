#!/usr/bin/python3
# Hand-edited variants of what real producers write: each starts from a workbook made here with
# xlsxwriter (or from ../libreoffice/customers.ods), has a few parts edited as text, and is
# zipped again. Needs python3-xlsxwriter. Run it here and commit the output.
import datetime
import io
import os
import re
import shutil
import sys
import zipfile

import xlsxwriter

os.chdir(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, "..")
from corpus_rows import CUSTOMERS, HEADINGS, write_expected  # noqa: E402


def write_rows(book, sheet, rows=CUSTOMERS, date_formats=None):
    sheet.write_row(0, 0, HEADINGS)
    for r, row in enumerate(rows, start=1):
        for c, value in enumerate(row):
            if isinstance(value, (datetime.date, datetime.datetime)):
                code = date_formats[r - 1] if date_formats else "yyyy-mm-dd"
                if not isinstance(value, datetime.datetime):
                    value = datetime.datetime.combine(value, datetime.time())
                sheet.write_datetime(r, c, value, book.add_format({"num_format": code}))
            elif isinstance(value, str):
                sheet.write_string(r, c, value)
            elif value is not None:
                sheet.write_number(r, c, value)


def base(fill):
    """The parts of a workbook that `fill(book)` writes, by name."""
    data = io.BytesIO()
    book = xlsxwriter.Workbook(data, {"in_memory": True})
    fill(book)
    book.close()
    with zipfile.ZipFile(data) as archive:
        return {name: archive.read(name).decode("utf-8") for name in archive.namelist()}


def save(parts, name, rows=CUSTOMERS):
    with zipfile.ZipFile(name, "w", zipfile.ZIP_DEFLATED) as archive:
        for part, text in parts.items():
            archive.writestr(part, text)
    write_expected(name, rows)


def customers(book):
    write_rows(book, book.add_worksheet("客户"))


def replace_cell(sheet, reference, xml):
    """Replaces the <c> element at `reference` (or puts one at the end of its row)."""
    pattern = re.compile(r'<c r="%s"[^>]*?(/>|>.*?</c>)' % reference)
    if pattern.search(sheet):
        return pattern.sub(lambda m: xml, sheet, count=1)
    row = re.sub(r"[A-Z]+", "", reference)
    return re.sub(r'(<row r="%s"[^>]*>.*?)(</row>)' % row, lambda m: m.group(1) + xml + m.group(2),
                  sheet, count=1)


# Every relationship target written from the package root, as openpyxl writes them.
parts = base(customers)
for name in ("_rels/.rels", "xl/_rels/workbook.xml.rels"):
    parts[name] = re.sub(r'Target="/?(?:xl/)?', 'Target="/xl/', parts[name])
    parts[name] = parts[name].replace('Target="/xl/docProps/', 'Target="/docProps/')
save(parts, "absolute_targets.xlsx")

# Inline strings in runs, as streaming writers emit them, instead of shared strings.
parts = base(customers)
strings = re.findall(r"<si><t[^>]*>(.*?)</t></si>", parts["xl/sharedStrings.xml"])
parts["xl/worksheets/sheet1.xml"] = re.sub(
    r'<c r="([A-Z]+\d+)"( s="\d+")? t="s"><v>(\d+)</v></c>',
    lambda m: '<c r="%s"%s t="inlineStr"><is><r><t>%s</t></r><r><rPr><b/></rPr><t>%s</t></r>'
    "</is></c>" % (m.group(1), m.group(2) or "", strings[int(m.group(3))][:1],
                   strings[int(m.group(3))][1:]),
    parts["xl/worksheets/sheet1.xml"])
save(parts, "inline_runs.xlsx")

# Names with the phonetic guide East Asian workbooks keep, and empty strings, <si></si> and
# <si/>, that cells point to.
parts = base(customers)
sst = parts["xl/sharedStrings.xml"]
for name, reading in (("张伟", "ちょうい"), ("李娜", "りな")):
    sst = sst.replace("<si><t>%s</t></si>" % name,
                      '<si><t>%s</t><rPh sb="0" eb="2"><t>%s</t></rPh><phoneticPr fontId="1"/>'
                      "</si>" % (name, reading))
count = sst.count("<si>") + sst.count("<si/>")
sst = sst.replace("</sst>", "<si></si><si/></sst>")
parts["xl/sharedStrings.xml"] = sst
sheet = parts["xl/worksheets/sheet1.xml"]
sheet = replace_cell(sheet, "G4", '<c r="G4" t="s"><v>%d</v></c>' % count)
sheet = replace_cell(sheet, "A4", '<c r="A4" t="s"><v>%d</v></c>' % (count + 1))
parts["xl/worksheets/sheet1.xml"] = sheet
save(parts, "phonetic_and_empty_strings.xlsx")


# The shop deleted the first sheet: the sheets' ids start at 2 and their parts are sheet2.xml
# and sheet3.xml. Formula cells hold the values they gave; the other sheet holds other values
# in the same cells, which must not be taken.
def two_sheets(book):
    first = book.add_worksheet("客户")
    write_rows(book, first)
    first.write_formula("E2", "=13900000000+12345678", None, 13912345678)
    first.write_formula("C3", '="李"&"娜"', None, "李娜")
    first.write_formula("H4", '=IF(E4>0,"本田雅阁","")', None, "本田雅阁")
    other = book.add_worksheet("其他")
    other.write_row(0, 0, HEADINGS)
    other.write_formula("E2", "=1+1", None, 2)
    other.write_formula("C3", '="别人"', None, "别人")


parts = base(two_sheets)
parts["xl/workbook.xml"] = parts["xl/workbook.xml"].replace('sheetId="2"', 'sheetId="3"').replace(
    'sheetId="1"', 'sheetId="2"')
renamed = {}
for name, text in parts.items():
    for old, new in (("sheet2.xml", "sheet3.xml"), ("sheet1.xml", "sheet2.xml")):
        text = text.replace("worksheets/" + old, "worksheets/" + new)
    name = name.replace("sheet2.xml", "sheet3.xml").replace("sheet1.xml", "sheet2.xml")
    renamed[name] = text
save(renamed, "deleted_first_sheet.xlsx")

# Cells of the types xlsxwriter does not write: ISO dates (t="d"), an error a formula gave
# (t="e"), a truth value (t="b").
parts = base(customers)
sheet = parts["xl/worksheets/sheet1.xml"]
date_style = re.search(r'<c r="A2" s="(\d+)"', sheet).group(1)
sheet = replace_cell(sheet, "A2", '<c r="A2" s="%s" t="d"><v>2026-03-01T00:00:00</v></c>'
                     % date_style)
sheet = replace_cell(sheet, "F3", '<c r="F3" s="%s" t="d"><v>2024-02-29</v></c>' % date_style)
sheet = replace_cell(sheet, "H2", '<c r="H2" t="e"><f>NA()</f><v>#N/A</v></c>')
sheet = replace_cell(sheet, "G4", '<c r="G4" t="b"><v>1</v></c>')
parts["xl/worksheets/sheet1.xml"] = sheet
rows = [list(row) for row in CUSTOMERS]
rows[0][7] = "#N/A"
rows[2][6] = "TRUE"
save(parts, "cell_types.xlsx", rows)


# A hidden and a very hidden sheet before the customers.
def three_sheets(book):
    book.add_worksheet("代码表").write_row(0, 0, ["代码", "名称"])
    book.add_worksheet("旧表").write_row(0, 0, ["旧"])
    customers(book)
    book.worksheets()[2].activate()


parts = base(three_sheets)
parts["xl/workbook.xml"] = re.sub(r'(<sheet name="代码表")', r'\1 state="hidden"',
                                  parts["xl/workbook.xml"])
parts["xl/workbook.xml"] = re.sub(r'(<sheet name="旧表")', r'\1 state="veryHidden"',
                                  parts["xl/workbook.xml"])
save(parts, "hidden_sheets.xlsx")

# Dates in the built-in formats 14, 22, 31 and 57, which a file names by number alone, and in
# the codes Chinese workbooks carry; the one with a time of day (22) shows it after the day.
builtin = {"BUILTIN14": 14, "BUILTIN22": 22, "BUILTIN31": 31, "BUILTIN57": 57}
codes = list(builtin) + [
    'yyyy"年"m"月"d"日"',
    '[DBNum1][$-804]yyyy"年"m"月"d"日"',
    "[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy",
    "[$-804]yyyy/m/d",
    '[$-804]yyyy"年"m"月"',
]
dated = []
for index, code in enumerate(codes):
    day = datetime.datetime(2026, 3, 1 + index, 10, 30)
    dated.append((day, "京A3000%d" % index, "客户%d" % index, "女士", 13900000010 + index,
                  datetime.date(2025, 2, 1 + index), "", "车型%d" % index))
parts = base(lambda book: write_rows(book, book.add_worksheet("客户"), dated,
                                     codes))
styles = parts["xl/styles.xml"]
for placeholder, number in builtin.items():
    found = re.search(r'<numFmt numFmtId="(\d+)" formatCode="%s"/>' % placeholder, styles)
    styles = styles.replace(found.group(0), "")
    styles = styles.replace('numFmtId="%s"' % found.group(1), 'numFmtId="%d"' % number)
parts["xl/styles.xml"] = styles
save(parts, "date_formats.xlsx",
     [(row[0].strftime("%Y-%m-%d %H:%M"),) + row[1:5] + (row[5].strftime("%Y-%m-%d 00:00"),) +
      row[6:] if code == "BUILTIN22" else (row[0].date(),) + row[1:]
      for row, code in zip(dated, codes)])

# The office suite's own customers.ods, zipped again the ways other tools zip it: the mime type
# entry compressed, with an extra field, last instead of first, or left out.
source = "../libreoffice/customers.ods"
with zipfile.ZipFile(source) as archive:
    entries = [(info, archive.read(info.filename)) for info in archive.infolist()]
variants = {
    "ods_mimetype_compressed.ods": lambda info: (zipfile.ZIP_DEFLATED, b""),
    "ods_mimetype_extra_field.ods": lambda info: (zipfile.ZIP_STORED,
                                                   b"UT\x05\x00\x03\x00\x00\x00\x00"),
}
for name, mimetype in variants.items():
    with zipfile.ZipFile(name, "w") as out:
        for info, data in entries:
            copy = zipfile.ZipInfo(info.filename, info.date_time)
            copy.compress_type = zipfile.ZIP_DEFLATED
            if info.filename == "mimetype":
                copy.compress_type, copy.extra = mimetype(info)
            out.writestr(copy, data)
with zipfile.ZipFile("ods_mimetype_last.ods", "w", zipfile.ZIP_DEFLATED) as out:
    for info, data in entries[1:] + entries[:1]:
        out.writestr(info.filename, data)
with zipfile.ZipFile("ods_without_mimetype.ods", "w", zipfile.ZIP_DEFLATED) as out:
    for info, data in entries:
        if info.filename != "mimetype":
            out.writestr(info.filename, data)
for name in ("ods_mimetype_compressed", "ods_mimetype_extra_field", "ods_mimetype_last",
             "ods_without_mimetype"):
    shutil.copy("../libreoffice/customers.expected.csv", name + ".expected.csv")

# The 1904 date system as Excel for Mac writes it: an extension repeats workbookPr in a namespace
# of its own after the workbook's, and says nothing of the date system.


def customers_1904(book):
    book.date_1904 = True
    customers(book)


parts = base(customers_1904)
parts["xl/workbook.xml"] = parts["xl/workbook.xml"].replace(
    "</workbook>", '<extLst><ext uri="{79F54976-1DA5-4618-B147-4CDE4B953A38}" '
    'xmlns:x14="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main">'
    '<x14:workbookPr defaultImageDpi="32767"/></ext></extLst></workbook>')
save(parts, "date1904_extension.xlsx")
