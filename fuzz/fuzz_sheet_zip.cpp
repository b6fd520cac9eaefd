// Fuzzes the .xlsx and .ods readers: the first byte picks the kind, the rest is the archive.
#include <QByteArray>

#include "import/sheet_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const ZipWorkbook kind = data[0] & 1 ? ZipWorkbook::Ods : ZipWorkbook::Xlsx;
    SheetBuilder builder;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (ReadZipWorkbook(bytes, kind, builder).isEmpty()) {
        builder.takeRows();
    }
    return 0;
}
