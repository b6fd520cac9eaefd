// Fuzzes the legacy workbook path as the import takes it: the bytes are a file on disk.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "import/sheet_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.xls"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return 0;
    }
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    ReadSheetFile(path);
    return 0;
}
