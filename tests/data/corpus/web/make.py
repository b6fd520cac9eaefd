#!/usr/bin/env python3
"""Writes the files that web systems' "export to Excel" buttons give a shop, and the rows each
must read as (<name>.expected.csv, as a spreadsheet application shows the file).

Web systems write these by hand, not with a spreadsheet library: an HTML table or a
SpreadsheetML 2003 workbook saved as .xls, CSV in the Chinese Windows encoding or tab-separated
"Unicode text" under a workbook's name, semicolon-separated CSV, cells written as ="0123" so
that a spreadsheet keeps their leading zeros, and title lines above the heading row.

Needs python3 alone (standard library). Run it after changing it and commit what it writes.
"""
import csv
import io
import os

HERE = os.path.dirname(os.path.abspath(__file__))
HEADINGS = ["提醒日期", "车牌号", "车主姓名", "性别", "联系电话", "登记日期", "身份证号", "车型"]
CUSTOMERS = [
    ["2026-03-01", "京A10001", "张伟", "先生", "13912345678", "2025-12-31", "110101199003071234", "大众帕萨特"],
    ["2026-03-02", "京A10002", "李娜", "女士", "010-62345678", "2025-11-05", "11010119850101002X", "丰田卡罗拉, 1.6L"],
    ["", "京A10003", "王强", "先生", "13800000003", "", "110101197001010031", "本田雅阁"],
    ["2026-03-04", "沪B20004", "赵敏", "女士", "021-61234567", "2024-02-29", "", "别克英朗"],
]


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def expect(name, rows):
    out = io.StringIO()
    csv.writer(out, lineterminator="\n").writerows(rows)
    write(name + ".expected.csv", out.getvalue().encode("utf-8"))


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


# --- HTML tables -------------------------------------------------------------------------------

TEXT_CELL = "<td style='mso-number-format:\"\\@\"'>%s</td>"


def html_page(charset, head_rows, body_rows):
    return (
        '<html xmlns:o="urn:schemas-microsoft-com:office:office" '
        'xmlns:x="urn:schemas-microsoft-com:office:excel">\n'
        "<head>\n"
        '<meta http-equiv="Content-Type" content="text/html; charset=%s">\n'
        "<style>td { mso-number-format:General; } .t { mso-number-format:\"\\@\"; }</style>\n"
        "</head>\n<body>\n<table border=\"1\">\n%s%s</table>\n"
        "<table><tr><td>第二个表格不读</td></tr></table>\n</body>\n</html>\n"
        % (charset, "".join(head_rows), "".join(body_rows))
    )


def html_row(cells):
    return "<tr>" + "".join(cells) + "</tr>\n"


def html_cells(row):
    # Telephone and identity numbers are text, as web systems mark them to keep every digit.
    cells = []
    for i, text in enumerate(row):
        cells.append(TEXT_CELL % escape(text) if i in (4, 6) else "<td>%s</td>" % escape(text))
    return cells


def html_utf8():
    heading = html_row("<th>%s</th>" % h for h in HEADINGS)
    body = [html_row(html_cells(CUSTOMERS[0]))]
    # A merged reminder date over two rows: the second row's cells start one column on.
    second = html_cells(CUSTOMERS[1])
    second[0] = '<td rowspan="2">2026-03-02</td>'
    body.append(html_row(second))
    third = html_cells(["", "京A10003", "王强", "先生", "13800000003", "", "", ""])[1:]
    # Entities, a line break and white space as a browser collapses it.
    third[5] = TEXT_CELL % "110101197001010031"
    third[6] = "<td>本田&nbsp;雅阁<br>\n  2.0L &amp; 混动</td>"
    body.append(html_row(third))
    # A cell spanning two columns moves the next ones on by two.
    body.append(
        html_row(
            ["<td>2026-03-04</td>", "<td>沪B20004</td>", "<td>赵敏</td>", "<td>女士</td>",
             TEXT_CELL % "02161234567", '<td colspan="2">2024-02-29</td>', "<td>别克英朗</td>"]
        )
    )
    write("html_utf8.xls", html_page("utf-8", [heading], body).encode("utf-8"))
    expect(
        "html_utf8",
        [
            CUSTOMERS[0],
            ["2026-03-02"] + CUSTOMERS[1][1:],
            ["", "京A10003", "王强", "先生", "13800000003", "", "110101197001010031",
             "本田 雅阁\n2.0L & 混动"],
            ["2026-03-04", "沪B20004", "赵敏", "女士", "02161234567", "2024-02-29", "", "别克英朗"],
        ],
    )


def html_gb18030():
    # The title line over the whole width, and a date line, above the heading.
    title = html_row(['<td colspan="8" align="center"><b>客户资料</b></td>'])
    date = html_row(['<td colspan="4">导出日期：2026-03-10</td>', '<td colspan="4">共 4 条</td>'])
    heading = html_row("<td><b>%s</b></td>" % h for h in HEADINGS)
    body = [html_row(html_cells(row)) for row in CUSTOMERS]
    page = html_page("gb2312", [title, date, heading], body)
    write("html_gb18030.xls", page.encode("gb18030"))
    expect("html_gb18030", CUSTOMERS)


# --- SpreadsheetML 2003 ------------------------------------------------------------------------

def xml_data(text, kind="String"):
    return '<Data ss:Type="%s">%s</Data>' % (kind, escape(text))


def spreadsheet_xml():
    rows = []
    # A title merged across the eight columns.
    rows.append('<Row><Cell ss:MergeAcross="7" ss:StyleID="title">%s</Cell></Row>'
                % xml_data("客户资料"))
    rows.append("<Row>" + "".join("<Cell>%s</Cell>" % xml_data(h) for h in HEADINGS) + "</Row>")
    for row in CUSTOMERS:
        cells = []
        index_next = False
        for i, text in enumerate(row):
            if text == "":
                index_next = True
                continue
            attributes = ' ss:Index="%d"' % (i + 1) if index_next else ""
            index_next = False
            if i in (0, 5):
                data = xml_data(text + "T00:00:00.000", "DateTime")
            elif i == 4 and text.isdigit() and not text.startswith("0"):
                data = xml_data(text, "Number")
            else:
                data = xml_data(text)
            cells.append("<Cell%s>%s</Cell>" % (attributes, data))
        rows.append("<Row>" + "".join(cells) + "</Row>")
    # A row placed by its index leaves an empty row before it.
    rows.append('<Row ss:Index="8"><Cell ss:Index="2">%s</Cell><Cell>%s</Cell><Cell>%s</Cell>'
                '<Cell ss:MergeAcross="1">%s</Cell><Cell ss:Index="7">%s</Cell>'
                "<Cell>%s</Cell></Row>"
                % (xml_data("京A10005"), xml_data("孙丽"), xml_data("女士"),
                   xml_data("1.3800000005E10", "Number"), xml_data("1", "Boolean"),
                   '<ss:Data ss:Type="String" xmlns="http://www.w3.org/TR/REC-html40">'
                   "<B>日产</B>轩逸</ss:Data>"))

    def sheet(name, table, visible=None):
        options = ""
        if visible:
            options = ('<WorksheetOptions xmlns="urn:schemas-microsoft-com:office:excel">'
                       "<Visible>%s</Visible></WorksheetOptions>" % visible)
        return '<Worksheet ss:Name="%s"><Table>%s</Table>%s</Worksheet>\n' % (name, table, options)

    lookup = "<Row><Cell>%s</Cell></Row>" % xml_data("先生")
    document = (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<?mso-application progid="Excel.Sheet"?>\n'
        '<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet" '
        'xmlns:o="urn:schemas-microsoft-com:office:office" '
        'xmlns:x="urn:schemas-microsoft-com:office:excel" '
        'xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet" '
        'xmlns:html="http://www.w3.org/TR/REC-html40">\n'
        '<Styles><Style ss:ID="title"><Font ss:Bold="1"/></Style></Styles>\n'
        + sheet("字典", lookup, "SheetHidden")
        + sheet("客户", "\n".join(rows))
        + sheet("说明", "<Row><Cell>%s</Cell></Row>" % xml_data("由系统导出"))
        + "</Workbook>\n"
    )
    write("spreadsheet_2003.xls", document.encode("utf-8"))
    expect(
        "spreadsheet_2003",
        CUSTOMERS + [[""] * 8, ["", "京A10005", "孙丽", "女士", "13800000005", "", "TRUE", "日产轩逸"]],
    )


# --- delimited text ----------------------------------------------------------------------------

def delimited(rows, delimiter):
    out = io.StringIO()
    csv.writer(out, delimiter=delimiter, lineterminator="\r\n").writerows(rows)
    return out.getvalue()


def text_files():
    write("gb18030_csv.xls", delimited([HEADINGS] + CUSTOMERS, ",").encode("gb18030"))
    expect("gb18030_csv", CUSTOMERS)
    # "Unicode text": UTF-16 with a byte-order mark, tab-separated.
    write("unicode_text.xls", b"\xff\xfe" + delimited([HEADINGS] + CUSTOMERS, "\t").encode("utf-16-le"))
    expect("unicode_text", CUSTOMERS)
    write("tab_separated.xls", delimited([HEADINGS] + CUSTOMERS, "\t").encode("utf-8"))
    expect("tab_separated", CUSTOMERS)
    write("semicolon.csv", b"\xef\xbb\xbf" + delimited([HEADINGS] + CUSTOMERS, ";").encode("utf-8"))
    expect("semicolon", CUSTOMERS)
    # ="..." keeps leading zeros and long digit strings as text; the cell shows what is inside.
    lines = [",".join(HEADINGS)]
    rows = [row[:] for row in CUSTOMERS]
    rows[3][4] = "02161234567"
    for row in rows:
        cells = []
        for i, text in enumerate(row):
            if i in (4, 6) and text:
                cells.append('="%s"' % text)
            elif "," in text:
                cells.append('"%s"' % text)
            else:
                cells.append(text)
        lines.append(",".join(cells))
    write("text_formula_cells.csv", ("\r\n".join(lines) + "\r\n").encode("utf-8"))
    expect("text_formula_cells", rows)
    # Two title lines above the heading row.
    title = [["客户资料"] + [""] * 7, ["导出日期：2026-03-10", "", "", "", "", "", "", "共 4 条"]]
    write("title_rows.csv", delimited(title + [HEADINGS] + CUSTOMERS, ",").encode("utf-8"))
    expect("title_rows", CUSTOMERS)


html_utf8()
html_gb18030()
spreadsheet_xml()
text_files()
