#!/usr/bin/env python3
"""Writes legacy workbooks record by record, for the cases other producers rarely write on
purpose: a hidden first sheet and a chart sheet before the customers, the 1904 date system,
shared strings cut across CONTINUE records (switching between one and two bytes a character),
rich text and phonetic runs, formula results of every kind, an Excel 95 workbook in the GBK
code page, and a password-protected workbook. Each workbook gets the rows a spreadsheet
application shows for it (checked with `soffice --headless --convert-to csv`).

Needs python3-xlwt (for its compound-file writer). Run: /usr/bin/python3 make_xls.py
"""
import csv
import io
import os
import struct

from xlwt.CompoundDoc import XlsDoc

HERE = os.path.dirname(os.path.abspath(__file__))
HEADINGS = ["提醒日期", "车牌号", "车主姓名", "性别", "联系电话", "登记日期", "身份证号", "车型"]

# Built-in and custom number formats the cells use; custom ones get FORMAT records.
FORMATS = {
    164: 'yyyy"年"m"月"d"日"',
    165: '[DBNum1][$-804]yyyy"年"m"月"d"日"',
    166: '[$-F800]dddd, mmmm dd, yyyy',
    167: 'yyyy/mm/dd;@',
}
# Cell styles after the sixteen style records: their number format.
CELL_FORMATS = [0, 14, 22, 31, 57, 164, 165, 166, 167, 49]
XF = {fmt: 16 + i for i, fmt in enumerate(CELL_FORMATS)}


def record(rid, data=b""):
    return struct.pack("<HH", rid, len(data)) + data


def unicode_string(text, count_bytes=2, runs=0, phonetic=b""):
    """A string of the 97 format, all in one piece."""
    wide = any(ord(c) > 0xFF for c in text)
    flags = (1 if wide else 0) | (8 if runs else 0) | (4 if phonetic else 0)
    head = struct.pack("<B" if count_bytes == 1 else "<H", len(text)) + bytes([flags])
    if runs:
        head += struct.pack("<H", runs)
    if phonetic:
        head += struct.pack("<I", len(phonetic))
    body = text.encode("utf-16-le" if wide else "latin-1")
    tail = b"".join(struct.pack("<HH", i, 0) for i in range(runs)) + phonetic
    return head + body + tail


def byte_string(text, count_bytes, encoding):
    raw = text.encode(encoding)
    return struct.pack("<B" if count_bytes == 1 else "<H", len(raw)) + raw


class Biff:
    """The version-dependent record bodies: 97 (BIFF8) or 95 (BIFF5, in a code page)."""

    def __init__(self, biff8=True, encoding="cp936"):
        self.biff8 = biff8
        self.encoding = encoding

    def text(self, value, count_bytes=2):
        if self.biff8:
            return unicode_string(value, count_bytes)
        return byte_string(value, count_bytes, self.encoding)

    def bof(self, kind):
        if self.biff8:
            return record(0x0809, struct.pack("<HHHHII", 0x0600, kind, 0x0DBB, 0x07CC, 0, 6))
        return record(0x0809, struct.pack("<HHHH", 0x0500, kind, 0x0DBB, 0x07CC))

    def font(self):
        return record(0x0031, struct.pack("<HHHHHBBBB", 200, 0, 0x7FFF, 400, 0, 0, 0, 0, 0)
                      + self.text("Arial", 1))

    def xf(self, fmt, style):
        kind = 0xFFF5 if style else 0x0001
        rest = 14 if self.biff8 else 10
        return record(0x00E0, struct.pack("<HHH", 0, fmt, kind) + b"\0" * rest)

    def fmt(self, index, code):
        return record(0x041E, struct.pack("<H", index) + self.text(code, 2 if self.biff8 else 1))

    def dimensions(self, cells):
        rows = max((r for r, _ in cells.shown), default=0) + 1
        if self.biff8:
            return record(0x0200, struct.pack("<IIHHH", 0, rows, 0, 8, 0))
        return record(0x0200, struct.pack("<HHHHH", 0, rows, 0, 8, 0))

    def sheet_entry(self, offset, hidden, kind, name):
        return record(0x0085, struct.pack("<IBB", offset, hidden, kind) + self.text(name, 1))


def sst_records(strings):
    """SST and CONTINUE records as Excel cuts them: at 8,224 bytes, a cut inside a string's
    characters starting the next record with a flags byte, narrow where the rest fits."""
    limit = 8224
    pieces = [struct.pack("<II", len(strings), len(strings))]

    def room():
        return limit - len(pieces[-1])

    for entry in strings:
        text, runs, phonetic = entry if isinstance(entry, tuple) else (entry, 0, b"")
        wide = any(ord(c) > 0xFF for c in text)
        flags = (1 if wide else 0) | (8 if runs else 0) | (4 if phonetic else 0)
        head = struct.pack("<HB", len(text), flags)
        head += struct.pack("<H", runs) if runs else b""
        head += struct.pack("<I", len(phonetic)) if phonetic else b""
        if room() < len(head) + (2 if wide else 1):
            pieces.append(b"")
        pieces[-1] += head
        rest = text
        while rest:
            width = 2 if wide else 1
            take = min(len(rest), room() // width)
            pieces[-1] += rest[:take].encode("utf-16-le" if wide else "latin-1")
            rest = rest[take:]
            if rest:
                wide = any(ord(c) > 0xFF for c in rest[: limit // 2])
                pieces.append(bytes([1 if wide else 0]))
        tail = b"".join(struct.pack("<HH", i, 0) for i in range(runs)) + phonetic
        while tail:
            if room() == 0:
                pieces.append(b"")
            take = room()
            pieces[-1] += tail[:take]
            tail = tail[take:]
    return record(0x00FC, pieces[0]) + b"".join(record(0x003C, p) for p in pieces[1:])


class Cells:
    """The records of one worksheet, and the text each cell shows."""

    def __init__(self, biff):
        self.biff = biff
        self.data = b""
        self.shown = {}
        self.strings = []

    def head(self, row, col, fmt):
        return struct.pack("<HHH", row, col, XF[fmt])

    def text(self, row, col, value, fmt=0):
        if self.biff.biff8:
            self.strings.append(value)
            self.data += record(0x00FD, self.head(row, col, fmt) +
                                struct.pack("<I", len(self.strings) - 1))
        else:
            self.data += record(0x0204, self.head(row, col, fmt) + self.biff.text(value))
        self.shown[row, col] = value[0] if isinstance(value, tuple) else value

    def shared(self, row, col, index, shown):
        self.data += record(0x00FD, self.head(row, col, 0) + struct.pack("<I", index))
        self.shown[row, col] = shown

    def label(self, row, col, value):
        self.data += record(0x0204, self.head(row, col, 0) + self.biff.text(value))
        self.shown[row, col] = value

    def number(self, row, col, value, shown, fmt=0):
        self.data += record(0x0203, self.head(row, col, fmt) + struct.pack("<d", value))
        self.shown[row, col] = shown

    def rk(self, row, col, integer, shown, fmt=0):
        self.data += record(0x027E, self.head(row, col, fmt) +
                            struct.pack("<i", (integer << 2) | 2))
        self.shown[row, col] = shown

    def formula(self, row, col, result, tokens, shown, fmt=0, string=None):
        self.data += record(0x0006, self.head(row, col, fmt) + result +
                            struct.pack("<HIH", 0, 0, len(tokens)) + tokens)
        if string is not None:
            self.data += string
        self.shown[row, col] = shown

    def string_formula(self, row, col, value, fmt=0):
        """="value": a text result in the STRING record after the formula."""
        if self.biff.biff8:
            token = b"\x17" + unicode_string(value, 1)
        else:
            token = b"\x17" + byte_string(value, 1, self.biff.encoding)
        result = struct.pack("<BBHHH", 0, 0, 0, 0, 0xFFFF)
        self.formula(row, col, result, token, value, fmt,
                     record(0x0207, self.biff.text(value)))

    def number_formula(self, row, col, value, shown, fmt=0):
        self.formula(row, col, struct.pack("<d", value), b"\x1F" + struct.pack("<d", value),
                     shown, fmt)


def customers(cells, first_row=1):
    """Two customers in the eight columns, with a date, a telephone number and text."""
    cells.text(first_row - 1, 0, HEADINGS[0])
    for col, heading in enumerate(HEADINGS[1:], 1):
        cells.text(first_row - 1, col, heading)
    rows = [
        (46082, "2026-03-01", "京A10001", "张伟", "先生", 13912345678, 45657, "2024-12-31",
         "110101199003071234", "大众帕萨特"),
        (46083, "2026-03-02", "沪B20002", "李娜", "女士", 2162345678, 45601, "2024-11-05",
         "11010119850101002X", "丰田卡罗拉"),
    ]
    for i, (day, day_text, plate, name, sex, phone, reg, reg_text, ident, model) in \
            enumerate(rows):
        r = first_row + i
        cells.rk(r, 0, day, day_text, 14)
        cells.text(r, 1, plate)
        cells.text(r, 2, name)
        cells.text(r, 3, sex)
        cells.number(r, 4, phone, str(phone))
        cells.number(r, 5, reg, reg_text, 164)
        cells.text(r, 6, ident, 49)
        cells.text(r, 7, model)


def workbook(biff, sheets, strings=None, dates_1904=False, code_page=1200, encrypted=False):
    """sheets: (name, hidden, kind, cells-or-None); kind 0 worksheet, 2 chart."""
    globals_ = biff.bof(0x0005)
    if encrypted:
        globals_ += record(0x002F, struct.pack("<H", 0) + b"\x12\x34\x56\x78")
    globals_ += record(0x0042, struct.pack("<H", code_page))
    globals_ += record(0x0022, struct.pack("<H", 1 if dates_1904 else 0))
    globals_ += b"".join(biff.font() for _ in range(5))
    for index, code in FORMATS.items():
        globals_ += biff.fmt(index, code)
    globals_ += b"".join(biff.xf(0, True) for _ in range(16))
    globals_ += b"".join(biff.xf(fmt, False) for fmt in CELL_FORMATS)
    entries_at = len(globals_)
    entries = [biff.sheet_entry(0, hidden, kind, name) for name, hidden, kind, _ in sheets]
    tail = b""
    if biff.biff8:
        all_strings = list(strings or [])
        for _, _, _, cells in sheets:
            if cells:
                all_strings += cells.strings
        tail += sst_records(all_strings)
    tail += record(0x000A)
    size = entries_at + sum(len(e) for e in entries) + len(tail)
    bodies = []
    string_base = len(strings or [])
    for name, hidden, kind, cells in sheets:
        body = biff.bof(0x0020 if kind == 2 else 0x0010)
        if cells:
            body += biff.dimensions(cells)
            body += renumber(cells, string_base)
            string_base += len(cells.strings)
        body += record(0x000A)
        bodies.append(body)
    offsets = []
    at = size
    for body in bodies:
        offsets.append(at)
        at += len(body)
    entries = [biff.sheet_entry(offsets[i], hidden, kind, name)
               for i, (name, hidden, kind, _) in enumerate(sheets)]
    return globals_ + b"".join(entries) + tail + b"".join(bodies)


def renumber(cells, base):
    """Moves the sheet's LABELSST indexes past the strings of the sheets before it."""
    if not base or not cells.biff.biff8:
        return cells.data
    out = b""
    data = cells.data
    at = 0
    while at < len(data):
        rid, size = struct.unpack_from("<HH", data, at)
        body = data[at + 4: at + 4 + size]
        if rid == 0x00FD:
            row, col, xf, index = struct.unpack("<HHHI", body)
            body = struct.pack("<HHHI", row, col, xf, index + base)
        out += record(rid, body)
        at += 4 + size
    return out


def save(name, stream, shown, book_stream=False):
    path = os.path.join(HERE, name + ".xls")
    buffer = io.BytesIO()
    XlsDoc().save(buffer, stream)
    data = bytearray(buffer.getvalue())
    if book_stream:
        # The Excel 95 stream name.
        at = data.index("Workbook\0".encode("utf-16-le"))
        data[at:at + 64] = "Book\0".encode("utf-16-le").ljust(64, b"\0")
        data[at + 64:at + 66] = struct.pack("<H", 10)
    with open(path, "wb") as f:
        f.write(bytes(data))
    write_expected(name, shown)


def write_expected(name, shown):
    if isinstance(shown, str):
        with open(os.path.join(HERE, name + ".error.txt"), "w", encoding="utf-8") as f:
            f.write(shown + "\n")
        return
    last = max(row for row, _ in shown)
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    # The heading row is left out, as the import does.
    for row in range(1, last + 1):
        writer.writerow([shown.get((row, col), "") for col in range(8)])
    with open(os.path.join(HERE, name + ".expected.csv"), "w", encoding="utf-8") as f:
        f.write(out.getvalue())


def main():
    biff8 = Biff()

    # A hidden lookup sheet and a chart sheet come before the customers.
    lookup = Cells(biff8)
    lookup.text(0, 0, "查找表")
    lookup.number(1, 0, 1, "1")
    sheet = Cells(biff8)
    customers(sheet)
    save("hidden_first_sheet", workbook(biff8, [("查找表", 1, 0, lookup), ("图表", 0, 2, None),
                                                ("客户", 0, 0, sheet)]), sheet.shown)

    # The 1904 date system, with dates in many date formats.
    save_1904(biff8)

    # Shared strings cut across CONTINUE records, rich text and phonetic runs.
    save_long_shared_strings(biff8)

    # Formula results of every kind.
    save_formula_results(biff8)

    # Excel 95: text in the GBK code page.
    save_excel95()

    # A password: refused with the reason.
    sheet = Cells(biff8)
    customers(sheet)
    save("password", workbook(biff8, [("客户", 0, 0, sheet)], encrypted=True),
         "文件有密码保护")

    # Only a chart sheet: no worksheet to read.
    save("chart_only", workbook(biff8, [("图表", 0, 2, None)]), "文件中没有工作表")


def save_1904(biff8):
    sheet = Cells(biff8)
    sheet.text(0, 0, HEADINGS[0])
    for col, heading in enumerate(HEADINGS[1:], 1):
        sheet.text(0, col, heading)
    # 2026-03-01 is day 44620 counted from 1904-01-01 (46082 from 1899-12-30).
    formats = [14, 22, 31, 57, 164, 165, 166, 167]
    # Format 22 shows the time of day after the date.
    for i, fmt in enumerate(formats):
        sheet.number(1, i, 44620 + i + 0.75,
                     "2026-03-%02d" % (1 + i) + (" 18:00" if fmt == 22 else ""), fmt)
    sheet.rk(2, 0, 44620, "2026-03-01", 14)
    sheet.text(2, 1, "京A10001")
    sheet.number_formula(2, 5, 44985, "2027-03-01", 164)
    sheet.number(2, 4, 13912345678, "13912345678")
    save("dates_1904", workbook(biff8, [("客户", 0, 0, sheet)], dates_1904=True), sheet.shown)


def save_long_shared_strings(biff8):
    sheet = Cells(biff8)
    customers(sheet)
    # Enough strings to fill several records.
    for i in range(3000):
        sheet.text(3 + i, 1, "京A%05d" % i)
        sheet.text(3 + i, 2, "车主%d" % i)
    # A long model name that starts in two bytes a character and goes on in one.
    long_text = "长" * 3000 + "x" * 9000
    sheet.text(3003, 7, long_text)
    # Rich text and a phonetic run: the phonetic text is not part of the cell.
    phonetic = struct.pack("<HHHHHH", 1, 14, 0, 0, 0, 4) + "zhang".encode("utf-16-le")[:8]
    sheet.text(3004, 2, ("张伟", 2, phonetic))
    sheet.text(3005, 2, ("王强", 0, phonetic))
    sheet.text(3006, 2, ("李娜", 3, b""))
    save("long_shared_strings", workbook(biff8, [("客户", 0, 0, sheet)]), sheet.shown)


def save_formula_results(biff8):
    sheet = Cells(biff8)
    sheet.text(0, 0, HEADINGS[0])
    for col, heading in enumerate(HEADINGS[1:], 1):
        sheet.text(0, col, heading)
    sheet.number_formula(1, 0, 46082, "2026-03-01", 14)
    sheet.string_formula(1, 1, "京A10001")
    sheet.string_formula(1, 2, "张伟")
    sheet.label(1, 3, "先生")
    sheet.number_formula(1, 4, 13912345678, "13912345678")
    # A boolean shows as Excel shows it (LibreOffice shows 1 in a cell of the General format),
    # an error as its code: =1/0 gives #DIV/0!.
    sheet.formula(1, 5, struct.pack("<BBBBHH", 1, 0, 1, 0, 0, 0xFFFF), b"\x1D\x01", "TRUE")
    sheet.formula(1, 6, struct.pack("<BBBBHH", 2, 0, 0x07, 0, 0, 0xFFFF),
                  b"\x1E\x01\x00\x1E\x00\x00\x06", "#DIV/0!")
    # An empty text result.
    sheet.formula(1, 7, struct.pack("<BBBBHH", 3, 0, 0, 0, 0, 0xFFFF), b"\x17\x00\x00", "")
    sheet.number_formula(2, 0, 46083.5, "2026-03-02 12:00", 22)
    sheet.string_formula(2, 1, "沪B20002")
    sheet.number_formula(2, 4, 2.5, "2.5")
    # A long text result that goes on in a CONTINUE record: =REPT("长",5000).
    long_text = "长" * 5000
    body = unicode_string(long_text)
    string = record(0x0207, body[:8223]) + record(0x003C, b"\x01" + body[8223:])
    sheet.formula(2, 7, struct.pack("<BBHHH", 0, 0, 0, 0, 0xFFFF),
                  b"\x17" + unicode_string("长", 1) + b"\x1E" + struct.pack("<H", 5000) +
                  b"\x41\x1E\x00", long_text, 0, string)
    save("formula_results", workbook(biff8, [("客户", 0, 0, sheet)]), sheet.shown)


def save_excel95():
    biff5 = Biff(biff8=False, encoding="gbk")
    sheet = Cells(biff5)
    customers(sheet)
    sheet.string_formula(3, 1, "粤C30003")
    sheet.text(3, 2, "赵敏")
    sheet.number_formula(3, 0, 46084, "2026-03-03", 164)
    save("excel95_gbk", workbook(biff5, [("客户资料", 0, 0, sheet)], code_page=936), sheet.shown,
         book_stream=True)


if __name__ == "__main__":
    main()
