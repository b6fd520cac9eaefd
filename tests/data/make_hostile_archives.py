#!/usr/bin/python3
# Small archives that ask a workbook reader for too much or lie about themselves; the import
# must refuse each with a reason. Needs python3 alone. Run it here and commit the output.
import io
import os
import struct
import zipfile

os.chdir(os.path.dirname(os.path.abspath(__file__)))

CONTENT_TYPES = ('<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/'
                 '2006/content-types"/>')
PACKAGE_RELS = ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
                'relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/'
                'officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>'
                '</Relationships>')
WORKBOOK = ('<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
            'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
            '<sheets><sheet name="客户" sheetId="1" r:id="rId1"/></sheets></workbook>')
WORKBOOK_RELS = ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
                 'relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/'
                 'officeDocument/2006/relationships/%s" Target="worksheets/sheet1.xml"/>'
                 '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/'
                 '2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>')


def sheet(cells):
    return ('<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
            '<sheetData><row r="1">%s</row></sheetData></worksheet>' % cells)


def xlsx(name, sheet_xml, strings="<sst/>", kind="worksheet"):
    parts = {
        "[Content_Types].xml": CONTENT_TYPES,
        "_rels/.rels": PACKAGE_RELS,
        "xl/workbook.xml": WORKBOOK,
        "xl/_rels/workbook.xml.rels": WORKBOOK_RELS % kind,
        "xl/sharedStrings.xml": strings,
        "xl/worksheets/sheet1.xml": sheet_xml,
    }
    with zipfile.ZipFile(name, "w", zipfile.ZIP_DEFLATED) as archive:
        for part, text in parts.items():
            archive.writestr(part, text)


# One string of two million characters: longer than any cell holds.
xlsx("import_long_text.xlsx", sheet('<c r="A1" t="s"><v>0</v></c>'),
     "<sst><si><t>%s</t></si></sst>" % ("长" * 2000000))

# A cell that points past the end of the string table.
xlsx("import_missing_string.xlsx", sheet('<c r="A1" t="s"><v>7</v></c>'),
     "<sst><si><t>车牌号</t></si></sst>")

# The only sheet is a chart sheet: nothing to read.
xlsx("import_only_chart_sheet.xlsx", sheet(""), kind="chartsheet")

# A worksheet whose entry unpacks to a megabyte while the directory says 100 bytes.
data = io.BytesIO()
with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as archive:
    archive.writestr("[Content_Types].xml", CONTENT_TYPES)
    archive.writestr("_rels/.rels", PACKAGE_RELS)
    archive.writestr("xl/workbook.xml", WORKBOOK)
    archive.writestr("xl/_rels/workbook.xml.rels", WORKBOOK_RELS % "worksheet")
    archive.writestr("xl/worksheets/sheet1.xml",
                     sheet('<c r="A1" t="inlineStr"><is><t>%s</t></is></c>' % (" " * 1000000)))
archive = bytearray(data.getvalue())
name = b"xl/worksheets/sheet1.xml"
at = 0
while True:
    at = archive.find(b"PK\x01\x02", at)
    length = struct.unpack_from("<H", archive, at + 28)[0]
    if archive[at + 46:at + 46 + length] == name:
        break
    at += 4
struct.pack_into("<I", archive, at + 24, 100)
local = struct.unpack_from("<I", archive, at + 42)[0]
struct.pack_into("<I", archive, local + 22, 100)
with open("import_understated_size.xlsx", "wb") as out:
    out.write(archive)

# An OpenDocument row with text, repeated two million times: more rows than a sheet has.
ODS_MANIFEST = ('<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:'
                'manifest:1.0"><manifest:file-entry manifest:full-path="/" manifest:media-type='
                '"application/vnd.oasis.opendocument.spreadsheet"/>%s</manifest:manifest>')
CONTENT = ('<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:'
           '1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:'
           'oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:spreadsheet>'
           '<table:table table:name="客户">%s</table:table></office:spreadsheet></office:body>'
           '</office:document-content>')


def ods(name, rows, manifest_extra=""):
    with zipfile.ZipFile(name, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr("mimetype", "application/vnd.oasis.opendocument.spreadsheet",
                         zipfile.ZIP_STORED)
        archive.writestr("META-INF/manifest.xml", ODS_MANIFEST % manifest_extra)
        archive.writestr("content.xml", CONTENT % rows)


ods("import_rows_past_the_end.ods",
    '<table:table-row table:number-rows-repeated="2000000"><table:table-cell '
    'office:value-type="string"><text:p>京A10001</text:p></table:table-cell></table:table-row>')

# A document saved with a password: its parts are encrypted.
ods("import_encrypted.ods", "", '<manifest:file-entry manifest:full-path="content.xml" '
    'manifest:media-type="text/xml"><manifest:encryption-data manifest:checksum-type="SHA1/1K" '
    'manifest:checksum="AAAA"/></manifest:file-entry>')
