// Fuzzes the legacy workbook reader on the bytes of a file, as the import hands them over.
#include <QByteArray>

#include "import/sheet_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    SheetBuilder builder;
    if (ReadXlsWorkbook(bytes, builder).isEmpty()) {
        builder.unreadableText();
        builder.takeRows();
    }
    return 0;
}
