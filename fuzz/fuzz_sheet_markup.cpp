// Fuzzes the readers of web systems' exports: the first byte picks the HTML table reader, the
// SpreadsheetML 2003 reader, or the text dispatch that chooses between them and CSV.
#include <QByteArray>

#include "import/sheet_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    SheetBuilder builder;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QString error;
    switch (data[0] % 3) {
        case 0:
            error = ReadHtmlTable(bytes, builder);
            break;
        case 1:
            error = ReadSpreadsheetXml(bytes, builder);
            break;
        default:
            error = ReadTextSheet(bytes, QStringLiteral("xls"), builder);
            break;
    }
    if (error.isEmpty()) {
        builder.takeRows();
    }
    return 0;
}
