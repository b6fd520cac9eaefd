// Fuzzes the import window's own sheet file. The input is the payload: the target puts a valid
// header and checksum in front, so the fuzzer reaches the payload's parser instead of stopping
// at the checksum. With RUVASO_FUZZ_SEED=<file> in the environment it writes the payload of a
// small sheet with every kind of format there and ends: the corpus's seed.
#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QtEndian>
#include <cstdlib>

#include "import/sheet_format.h"

namespace {

QByteArray SeedPayload() {
    SheetDocument document;
    document.rows = 4;
    document.cols = 9;
    SheetDocument::Format format;
    format.bold = true;
    format.textColor = 0xC00000;
    format.alignment = 14;
    format.top = SheetDocument::kThick;
    format.fontTenths = 120;
    format.fontName = QStringLiteral("宋体");
    document.formats.push_back(format);
    document.columns = {{1, 80, true}, {3, 0, false}};
    document.lines = {{0, 30, {{1, 1, QStringLiteral("提醒日期")}, {2, 0, QStringLiteral("车牌号")}}},
                      {2, 0, {{2, 0, QStringLiteral("京A12345")}}}};
    return WriteSheetDocument(document).mid(48);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* seed = std::getenv("RUVASO_FUZZ_SEED")) {
        QFile file(QString::fromLocal8Bit(seed));
        const bool written = file.open(QIODevice::WriteOnly) && file.write(SeedPayload()) > 0;
        file.close();
        std::exit(written ? 0 : 1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray payload(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray file("RVSHEET\x1A", 8);
    char number[4];
    qToLittleEndian<quint32>(SheetDocument::kVersion, number);
    file.append(number, 4);
    qToLittleEndian<quint32>(quint32(payload.size()), number);
    file.append(number, 4);
    file.append(QCryptographicHash::hash(payload, QCryptographicHash::Sha256));
    file.append(payload);
    ReadSheetDocument(file);
    return 0;
}
