#!/usr/bin/python3
"""Numbers in every kind of number format, as each producer we can drive writes them: openpyxl,
xlsxwriter and xlwt from the codes below, and the office suite from formats.fods (its own data
styles) saved as .ods, .xlsx, .xls and SpreadsheetML 2003; written here, an .ods with other
writers' data styles and a SpreadsheetML workbook with the named formats Excel writes. Each
workbook has the customer headings and one row a format: the number in the telephone column, the
format's name in the model column; <name>.expected.csv holds the text the producer shows.

Run with --check to compare each workbook with the office suite's CSV (Chinese locale), which
shows the formatted text; dates differ there by design (the import writes yyyy-MM-dd), and so do
the named formats, which the office suite shows in its own way (Long Time on a 12-hour clock,
Currency in dollars, General rounded to whole numbers) where a Chinese system shows 6:34:00,
¥1,234.50 and 0.3.

Needs python3-openpyxl, python3-xlsxwriter, python3-xlwt and libreoffice-calc-nogui.
Run: /usr/bin/python3 make.py [--check]
"""
import csv
import os
import re
import subprocess
import sys
import tempfile
import zipfile

import openpyxl
import xlsxwriter
import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
HEADINGS = ["提醒日期", "车牌号", "车主姓名", "性别", "联系电话", "登记日期", "身份证号", "车型"]

# (name, code, number, the text a spreadsheet shows)
CASES = [
    ("general", "General", 0.1 + 0.2, "0.3"),
    ("fixed", "0.00", 3.14159, "3.14"),
    ("thousands", "#,##0.00", 1234567.891, "1,234,567.89"),
    ("whole thousands", "#,##0", 1234567, "1,234,567"),
    ("percent", "0%", 0.974, "97%"),
    ("percent decimals", "0.0%", 0.974, "97.4%"),
    ("yuan", "¥#,##0.00", 1234.5, "¥1,234.50"),
    ("yuan locale", "[$¥-804]#,##0.00", -8, "-¥8.00"),
    ("telephone mask", "00000000000", 1391234567, "01391234567"),
    ("numbered", '"编号"000', 7, "编号007"),
    ("time", "h:mm", 23640 / 86400, "6:34"),
    ("time seconds", "hh:mm:ss", 23640 / 86400, "06:34:00"),
    ("duration", "[h]:mm:ss", 10.632060185, "255:10:10"),
    ("date and time", "yyyy-mm-dd hh:mm", 46082 + 23640 / 86400, "2026-03-01 06:34"),
    ("date", "yyyy/m/d", 46082, "2026-03-01"),
    ("Chinese time", 'h"时"mm"分"', 0.5, "12时00分"),
    ("fraction", "# ?/?", 1.5, "1 1/2"),
    ("scientific", "0.00E+00", 12345, "1.23E+04"),
    ("condition", '[>100]"多";[<=100]"少"', 150, "多"),
    ("red negative", "0.00;[Red]-0.00", -3, "-3.00"),
    ("text format", "@", 13912345678, "13912345678"),
]


def plate(index):
    return "京F%05d" % index


def expected_rows(cases):
    return [["", plate(i), "客户%d" % i, "先生", shown, "", "", name]
            for i, (name, _, _, shown) in enumerate(cases)]


# The 2003 format keeps only named formats: the office suite saves Fixed, Percent, Currency,
# General, Short Time and General Date, and a duration as a time of day past 24 hours. The file
# shows what those names show; the suite itself reads it back with its own currency symbol and
# with 0:00 for the duration and the date's time of day.
XML_SHOWN = {"thousands": "1234567.89", "percent decimals": "97.40%",
             "telephone mask": "1391234567", "numbered": "7", "duration": "15:10"}


def write_expected(name, cases):
    with open(os.path.join(HERE, name + ".expected.csv"), "w", encoding="utf-8",
              newline="") as out:
        csv.writer(out, lineterminator="\n").writerows(expected_rows(cases))


def make_openpyxl():
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "客户"
    sheet.append(HEADINGS)
    for i, (name, code, number, _) in enumerate(CASES):
        sheet.append([None, plate(i), "客户%d" % i, "先生", number, None, None, name])
        sheet.cell(row=i + 2, column=5).number_format = code
    book.save(os.path.join(HERE, "openpyxl.xlsx"))
    write_expected("openpyxl", CASES)


def make_xlsxwriter(constant_memory):
    name = "xlsxwriter_constant_memory" if constant_memory else "xlsxwriter"
    book = xlsxwriter.Workbook(os.path.join(HERE, name + ".xlsx"),
                               {"constant_memory": constant_memory})
    sheet = book.add_worksheet("客户")
    sheet.write_row(0, 0, HEADINGS)
    for i, (label, code, number, _) in enumerate(CASES):
        sheet.write_row(i + 1, 0, [None, plate(i), "客户%d" % i, "先生"])
        sheet.write_number(i + 1, 4, number, book.add_format({"num_format": code}))
        sheet.write_string(i + 1, 7, label)
    # A text of two lines as Windows writes them: xlsxwriter keeps the carriage return as
    # _x000D_, and the cell shows one line break.
    last = len(CASES) + 1
    sheet.write_row(last, 1, [plate(last - 1), "客户%d" % (last - 1), "先生"])
    sheet.write_string(last, 7, "一行\r\n二行")
    book.close()
    write_expected(name, CASES)
    with open(os.path.join(HERE, name + ".expected.csv"), "a", encoding="utf-8",
              newline="") as out:
        csv.writer(out, lineterminator="\n").writerow(
            ["", plate(last - 1), "客户%d" % (last - 1), "先生", "", "", "", "一行\n二行"])


def make_xlwt():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("客户")
    for column, heading in enumerate(HEADINGS):
        sheet.write(0, column, heading)
    for i, (label, code, number, _) in enumerate(CASES):
        sheet.write(i + 1, 1, plate(i))
        sheet.write(i + 1, 2, "客户%d" % i)
        sheet.write(i + 1, 3, "先生")
        sheet.write(i + 1, 4, number, xlwt.easyxf(num_format_str=code))
        sheet.write(i + 1, 7, label)
    book.save(os.path.join(HERE, "xlwt.xls"))
    write_expected("xlwt", CASES)


# The office suite's own data styles for the cases it can say in a document of its own; its
# files keep the text each cell shows beside the number.
OFFICE_CASES = [case for case in CASES if case[0] in (
    "fixed", "thousands", "percent decimals", "yuan", "telephone mask", "numbered", "time",
    "duration", "date and time", "scientific")]


# The office suite's data style for each of those cases, and how the cell holds its value.
OFFICE_STYLES = {
    "fixed": '<number:number-style style:name="N{n}"><number:number number:decimal-places="2" '
             'number:min-decimal-places="2" number:min-integer-digits="1"/></number:number-style>',
    "thousands": '<number:number-style style:name="N{n}"><number:number number:decimal-places="2"'
                 ' number:min-decimal-places="2" number:min-integer-digits="1" '
                 'number:grouping="true"/></number:number-style>',
    "percent decimals": '<number:percentage-style style:name="N{n}"><number:number '
                        'number:decimal-places="1" number:min-decimal-places="1" '
                        'number:min-integer-digits="1"/><number:text>%</number:text>'
                        '</number:percentage-style>',
    "yuan": '<number:currency-style style:name="N{n}"><number:currency-symbol number:language='
            '"zh" number:country="CN">¥</number:currency-symbol><number:number '
            'number:decimal-places="2" number:min-decimal-places="2" number:min-integer-digits="1"'
            ' number:grouping="true"/></number:currency-style>',
    "telephone mask": '<number:number-style style:name="N{n}"><number:number '
                      'number:decimal-places="0" number:min-integer-digits="11"/>'
                      '</number:number-style>',
    "numbered": '<number:number-style style:name="N{n}"><number:text>编号</number:text>'
                '<number:number number:decimal-places="0" number:min-integer-digits="3"/>'
                '</number:number-style>',
    "time": '<number:time-style style:name="N{n}"><number:hours/><number:text>:</number:text>'
            '<number:minutes number:style="long"/></number:time-style>',
    "duration": '<number:time-style style:name="N{n}" number:truncate-on-overflow="false">'
                '<number:hours/><number:text>:</number:text><number:minutes number:style="long"/>'
                '<number:text>:</number:text><number:seconds number:style="long"/>'
                '</number:time-style>',
    "date and time": '<number:date-style style:name="N{n}"><number:year number:style="long"/>'
                     '<number:text>-</number:text><number:month number:style="long"/>'
                     '<number:text>-</number:text><number:day number:style="long"/>'
                     '<number:text> </number:text><number:hours number:style="long"/>'
                     '<number:text>:</number:text><number:minutes number:style="long"/>'
                     '</number:date-style>',
    "scientific": '<number:number-style style:name="N{n}"><number:scientific-number '
                  'number:decimal-places="2" number:min-decimal-places="2" '
                  'number:min-integer-digits="1" number:min-exponent-digits="2"/>'
                  '</number:number-style>',
}
OFFICE_VALUES = {
    "time": 'office:value-type="time" office:time-value="PT06H34M00S"',
    "duration": 'office:value-type="time" office:time-value="PT255H10M10S"',
    "date and time": 'office:value-type="date" office:date-value="2026-03-01T06:34:00"',
    "percent decimals": 'office:value-type="percentage" office:value="0.974"',
    "yuan": 'office:value-type="currency" office:currency="CNY" office:value="1234.5"',
}


def text_cell(text):
    return ('<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>'
            % text)


def write_fods():
    styles = []
    rows = ["<table:table-row>%s</table:table-row>" % "".join(text_cell(h) for h in HEADINGS)]
    for i, (name, _, number, shown) in enumerate(OFFICE_CASES, 1):
        styles.append(OFFICE_STYLES[name].format(n=i))
        styles.append('<style:style style:name="ce%d" style:family="table-cell" '
                      'style:data-style-name="N%d"/>' % (i, i))
        value = OFFICE_VALUES.get(name, 'office:value-type="float" office:value="%r"' % number)
        cells = ['<table:table-cell/>', text_cell(plate(i - 1)), text_cell("客户%d" % (i - 1)),
                 text_cell("先生"),
                 '<table:table-cell table:style-name="ce%d" %s><text:p>%s</text:p>'
                 '</table:table-cell>' % (i, value, shown),
                 '<table:table-cell table:number-columns-repeated="2"/>', text_cell(name)]
        rows.append("<table:table-row>%s</table:table-row>" % "".join(cells))
    document = (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
        'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
        'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
        'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
        'xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" '
        'office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">\n'
        ' <office:automatic-styles>\n  %s\n </office:automatic-styles>\n'
        ' <office:body><office:spreadsheet><table:table table:name="客户">\n'
        '  <table:table-column table:number-columns-repeated="8"/>\n  %s\n'
        ' </table:table></office:spreadsheet></office:body>\n</office:document>\n'
        % ("\n  ".join(styles), "\n  ".join(rows)))
    os.makedirs(os.path.join(HERE, "source"), exist_ok=True)
    with open(os.path.join(HERE, "source", "formats.fods"), "w", encoding="utf-8") as out:
        out.write(document)


def make_office():
    write_fods()
    converted = {"ods": "ods", "xlsx": "xlsx", "xls": "xls",
                 "xml": 'xml:MS Excel 2003 XML'}
    with tempfile.TemporaryDirectory() as profile:
        for suffix, target in converted.items():
            subprocess.run(["soffice", "-env:UserInstallation=file://%s" % profile,
                            "--headless", "--convert-to", target, "--outdir", HERE,
                            os.path.join(HERE, "source", "formats.fods")],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.replace(os.path.join(HERE, "formats." + suffix),
                       os.path.join(HERE, "libreoffice_%s.%s" % (suffix, suffix)))
            write_expected("libreoffice_" + suffix,
                           [(n, c, v, XML_SHOWN.get(n, shown) if suffix == "xml" else shown)
                            for n, c, v, shown in OFFICE_CASES])
    # The same document as a suite working in a language with a decimal comma saves it: the
    # text beside each number is its own, the numbers and styles the same.
    source = os.path.join(HERE, "libreoffice_ods.ods")
    with zipfile.ZipFile(source) as archive:
        entries = [(info, archive.read(info.filename)) for info in archive.infolist()]
    with zipfile.ZipFile(os.path.join(HERE, "libreoffice_ods_comma.ods"), "w") as out:
        for info, data in entries:
            if info.filename == "content.xml":
                data = re.sub(rb"(<text:p>[^<]*?[0-9])\.([0-9])", rb"\1,\2", data)
            out.writestr(info, data)
    write_expected("libreoffice_ods_comma", OFFICE_CASES)


# Data styles as other writers of the format put them, in an .ods made here: style maps (the
# negative section, a condition), fractions, text with a quote, a currency symbol after the
# number, fractions of a second, a column's default style, a textual month, a truth value.
HAND_STYLES = """
<number:number-style style:name="P0"><number:number number:decimal-places="2"
 number:min-integer-digits="1"/></number:number-style>
<number:number-style style:name="N1"><number:text>-</number:text><number:number
 number:decimal-places="2" number:min-integer-digits="1"/>
 <style:map style:condition="value()&gt;=0" style:apply-style-name="P0"/></number:number-style>
<number:number-style style:name="N2"><number:fraction number:min-integer-digits="0"
 number:min-numerator-digits="1" number:min-denominator-digits="1"/></number:number-style>
<number:number-style style:name="N3"><number:text>型号"A"</number:text><number:number
 number:decimal-places="0" number:min-integer-digits="3"/></number:number-style>
<number:currency-style style:name="N4"><number:number number:decimal-places="2"
 number:min-integer-digits="1" number:grouping="true"/><number:text> </number:text>
 <number:currency-symbol>元</number:currency-symbol></number:currency-style>
<number:time-style style:name="N5"><number:hours/><number:text>:</number:text><number:minutes
 number:style="long"/><number:text>:</number:text><number:seconds number:style="long"
 number:decimal-places="2"/></number:time-style>
<number:percentage-style style:name="N6"><number:number number:decimal-places="1"
 number:min-integer-digits="1"/><number:text>%</number:text></number:percentage-style>
<number:boolean-style style:name="N7"><number:boolean/></number:boolean-style>
<number:date-style style:name="N8"><number:day/><number:text>-</number:text><number:month
 number:textual="true"/><number:text>-</number:text><number:year number:style="long"/>
 </number:date-style>
<number:text-style style:name="P9"><number:text>多</number:text></number:text-style>
<number:number-style style:name="P9"><number:text>多</number:text></number:number-style>
<number:number-style style:name="N9"><number:number number:min-integer-digits="1"/>
 <style:map style:condition="value()&gt;100" style:apply-style-name="P9"/></number:number-style>
<number:text-style style:name="N10"><number:text>编号</number:text><number:text-content/>
 </number:text-style>
"""
# (cell style's data style, the cell's value attributes, what the cell shows, name)
HAND_CELLS = [
    ("N1", 'office:value-type="float" office:value="-3.5"', "-3.50", "negative section"),
    ("N1", 'office:value-type="float" office:value="3.5"', "3.50", "positive section"),
    ("N2", 'office:value-type="float" office:value="1.5"', "1 1/2", "fraction"),
    ("N3", 'office:value-type="float" office:value="7"', '型号"A"007', "quoted text"),
    ("N4", 'office:value-type="currency" office:value="1234.5"', "1,234.50 元",
     "symbol after"),
    ("N5", 'office:value-type="time" office:time-value="PT00H01M02.5S"', "0:01:02.50",
     "hundredths"),
    (None, 'office:value-type="percentage" office:value="0.45"', "45.0%", "column style"),
    ("N7", 'office:value-type="boolean" office:boolean-value="true"', "TRUE", "truth value"),
    ("N8", 'office:value-type="date" office:date-value="2026-03-01"', "2026-03-01",
     "textual month"),
    ("N9", 'office:value-type="float" office:value="150"', "多", "condition"),
    ("N9", 'office:value-type="float" office:value="50"', "50", "condition not met"),
    ("N10", 'office:value-type="string" office:string-value="A7"', "编号A7", "text style"),
]


def make_hand_ods():
    cell_styles = "".join('<style:style style:name="c%s" style:family="table-cell" '
                          'style:data-style-name="%s"/>' % (n, n)
                          for n in ("N1", "N2", "N3", "N4", "N5", "N6", "N7", "N8", "N9", "N10"))
    rows = ["<table:table-row>%s</table:table-row>" % "".join(text_cell(h) for h in HEADINGS)]
    for i, (style, value, shown, name) in enumerate(HAND_CELLS):
        # The text beside each number is a stale one, as some writers leave it.
        named = ' table:style-name="c%s"' % style if style else ""
        rows.append("<table:table-row><table:table-cell/>%s%s%s<table:table-cell%s %s>"
                    "<text:p>?</text:p></table:table-cell><table:table-cell "
                    'table:number-columns-repeated="2"/>%s</table:table-row>'
                    % (text_cell(plate(i)), text_cell("客户%d" % i), text_cell("先生"), named,
                       value, text_cell(name)))
    content = (
        '<?xml version="1.0" encoding="UTF-8"?>'
        '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
        'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
        'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
        'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
        'xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" office:version="1.2">'
        "<office:automatic-styles>%s%s</office:automatic-styles><office:body><office:spreadsheet>"
        '<table:table table:name="客户"><table:table-column table:number-columns-repeated="4"/>'
        '<table:table-column table:default-cell-style-name="cN6"/>'
        '<table:table-column table:number-columns-repeated="3"/>%s</table:table>'
        "</office:spreadsheet></office:body></office:document-content>"
        % (HAND_STYLES, cell_styles, "".join(rows)))
    manifest = (
        '<?xml version="1.0" encoding="UTF-8"?><manifest:manifest xmlns:manifest='
        '"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">'
        '<manifest:file-entry manifest:full-path="/" manifest:media-type='
        '"application/vnd.oasis.opendocument.spreadsheet"/><manifest:file-entry '
        'manifest:full-path="content.xml" manifest:media-type="text/xml"/></manifest:manifest>')
    with zipfile.ZipFile(os.path.join(HERE, "data_styles.ods"), "w") as out:
        out.writestr("mimetype", "application/vnd.oasis.opendocument.spreadsheet")
        out.writestr("content.xml", content, zipfile.ZIP_DEFLATED)
        out.writestr("META-INF/manifest.xml", manifest, zipfile.ZIP_DEFLATED)
    write_expected("data_styles", [(name, None, None, shown)
                                   for _, _, shown, name in HAND_CELLS])


# (named format or code, data type, data, the text a spreadsheet on a Chinese system shows):
# the named formats of the 2003 format as Excel writes them, times of day and durations on
# day 0, 1899-12-31.
XML_CELLS = [
    ("Long Time", "DateTime", "1899-12-31T06:34:00.000", "6:34:00"),
    ("Long Time", "Number", "1.2736111111111111", "6:34:00"),
    ("Medium Time", "Number", "0.75", "6:00 下午"),
    ("Short Time", "Number", "0.75", "18:00"),
    ("[h]:mm:ss", "DateTime", "1899-12-31T255:10:10.000", "255:10:10"),
    ("[h]:mm", "Number", "1.5", "36:00"),
    ("General Date", "DateTime", "2026-03-01T18:00:00.000", "2026-03-01 18:00"),
    ("Short Date", "DateTime", "2026-03-01T00:00:00.000", "2026-03-01"),
    ("Fixed", "Number", "3.14159", "3.14"),
    ("Standard", "Number", "1234567.891", "1,234,567.89"),
    ("Percent", "Number", "0.974", "97.40%"),
    ("Currency", "Number", "1234.5", "¥1,234.50"),
    ("Scientific", "Number", "12345", "1.23E+04"),
    ("Yes/No", "Number", "0", "No"),
    ("General", "Number", "0.30000000000000004", "0.3"),
    ("00000000000", "Number", "1391234567", "01391234567"),
    ('"编号"@', "String", "A7", "编号A7"),
]


def make_hand_xml():
    styles = "".join('<Style ss:ID="s%d"><NumberFormat ss:Format="%s"/></Style>'
                     % (i, code.replace('"', "&quot;"))
                     for i, (code, _, _, _) in enumerate(XML_CELLS))

    def string(text):
        return '<Cell><Data ss:Type="String">%s</Data></Cell>' % text
    rows = ["<Row>%s</Row>" % "".join(string(h) for h in HEADINGS)]
    for i, (code, kind, data, _) in enumerate(XML_CELLS):
        rows.append('<Row><Cell ss:Index="2"><Data ss:Type="String">%s</Data></Cell>%s%s'
                    '<Cell ss:StyleID="s%d"><Data ss:Type="%s">%s</Data></Cell>'
                    '<Cell ss:Index="8"><Data ss:Type="String">%s</Data></Cell></Row>'
                    % (plate(i), string("客户%d" % i), string("先生"), i, kind, data, code))
    with open(os.path.join(HERE, "named_formats.xml"), "w", encoding="utf-8") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n<?mso-application progid="Excel.Sheet"?>'
                  '<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet" '
                  'xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet"><Styles>%s</Styles>'
                  '<Worksheet ss:Name="客户"><Table>%s</Table></Worksheet></Workbook>\n'
                  % (styles, "".join(rows)))
    write_expected("named_formats", [(code, None, None, shown)
                                     for code, _, _, shown in XML_CELLS])


def check():
    """Prints each cell where the office suite shows another text than the expected one."""
    with tempfile.TemporaryDirectory() as work:
        for name in sorted(os.listdir(HERE)):
            base, suffix = os.path.splitext(name)
            if suffix not in (".xlsx", ".xls", ".ods", ".xml"):
                continue
            command = ["soffice", "-env:UserInstallation=file://%s/profile" % work,
                       "--headless"]
            if suffix == ".xml":
                command.append("--infilter=MS Excel 2003 XML")
            subprocess.run(command + ["--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76",
                                      "--outdir", work, os.path.join(HERE, name)],
                           env=dict(os.environ, LC_ALL="zh_CN.UTF-8", LANG="zh_CN.UTF-8"),
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with open(os.path.join(work, base + ".csv"), encoding="utf-8") as shown:
                office = list(csv.reader(shown))[1:]
            with open(os.path.join(HERE, base + ".expected.csv"), encoding="utf-8") as wanted:
                expected = list(csv.reader(wanted))
            for row, (theirs, ours) in enumerate(zip(office, expected), 2):
                if theirs[4] != ours[4]:
                    print("%s row %d (%s): office suite %r, expected %r"
                          % (name, row, ours[7], theirs[4], ours[4]))


if __name__ == "__main__":
    if "--check" in sys.argv:
        check()
    else:
        make_openpyxl()
        make_xlsxwriter(False)
        make_xlsxwriter(True)
        make_xlwt()
        make_office()
        make_hand_ods()
        make_hand_xml()
