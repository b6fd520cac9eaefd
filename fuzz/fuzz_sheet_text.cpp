// Fuzzes the CSV and tab-separated text reader with whatever bytes a shop's file could hold.
#include <QByteArray>

#include "import/sheet_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SheetBuilder builder;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                     qsizetype(size));
    if (ReadCsvText(bytes, builder).isEmpty()) {
        builder.takeRows();
    }
    return 0;
}
