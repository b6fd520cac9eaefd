#include "support/xlsx_rows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "support/host_tool.h"

namespace {

// Prints the first sheet as JSON: one list per row, each cell ["n", number] or ["s", text].
const char kScript[] = R"py(
import json, re, sys, zipfile
import xml.etree.ElementTree as ET
ns = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
book = zipfile.ZipFile(sys.argv[1])
shared = []
if "xl/sharedStrings.xml" in book.namelist():
    for si in ET.fromstring(book.read("xl/sharedStrings.xml")).findall("m:si", ns):
        shared.append("".join(t.text or "" for t in si.iter("{%s}t" % ns["m"])))
sheet = ET.fromstring(book.read("xl/worksheets/sheet1.xml"))
rows = []
for row in sheet.iter("{%s}row" % ns["m"]):
    index = int(row.get("r")) - 1
    while len(rows) <= index:
        rows.append([])
    cells = rows[index]
    for c in row.findall("m:c", ns):
        letters = re.match(r"[A-Z]+", c.get("r")).group(0)
        col = 0
        for ch in letters:
            col = col * 26 + ord(ch) - 64
        col -= 1
        while len(cells) <= col:
            cells.append(None)
        kind = c.get("t")
        if kind == "s":
            cells[col] = ["s", shared[int(c.find("m:v", ns).text)]]
        elif kind == "inlineStr":
            cells[col] = ["s", "".join(t.text or "" for t in c.iter("{%s}t" % ns["m"]))]
        elif kind == "str":
            cells[col] = ["s", c.find("m:v", ns).text or ""]
        else:
            v = c.find("m:v", ns)
            cells[col] = None if v is None else ["n", float(v.text)]
name = ET.fromstring(book.read("xl/workbook.xml")).find("m:sheets/m:sheet", ns).get("name")
json.dump({"sheet": name, "rows": rows}, sys.stdout, ensure_ascii=False)
)py";

}  // namespace

XlsxRows ReadXlsxRows(const QString& path) {
    XlsxRows result;
    QProcess python;
    python.start(HostProgram(QStringLiteral("python3")),
                 {QStringLiteral("-c"), QString::fromUtf8(kScript), HostPath(path)});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0) {
        result.error = QStringLiteral("python3 failed: ") + python.errorString() +
                       QLatin1Char(' ') + QString::fromUtf8(python.readAllStandardError());
        return result;
    }
    const QJsonObject book = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    result.sheetName = book.value(QStringLiteral("sheet")).toString();
    const QJsonArray rows = book.value(QStringLiteral("rows")).toArray();
    for (const QJsonValue& row : rows) {
        QList<QVariant> cells;
        for (const QJsonValue& cell : row.toArray()) {
            const QJsonArray pair = cell.toArray();
            if (pair.isEmpty()) {
                cells << QVariant();
            } else if (pair[0].toString() == QLatin1String("n")) {
                cells << QVariant(pair[1].toDouble());
            } else {
                cells << QVariant(pair[1].toString());
            }
        }
        result.rows << cells;
    }
    result.ok = true;
    return result;
}
