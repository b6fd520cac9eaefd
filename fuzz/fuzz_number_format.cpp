// Fuzzes the number format codes of workbooks. The first eight bytes are the number (as a
// double, little-endian), the rest the code in UTF-8. With RUVASO_FUZZ_SEED=<folder> in the
// environment it writes a seed of every kind of code there and ends: the corpus's seeds.
#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <cstring>

#include "import/number_format.h"

namespace {

void WriteSeeds(const QString& folder) {
    const char* codes[] = {
        "General",
        "0.00",
        "#,##0.00;[Red]-#,##0.00",
        "0%",
        "0.00E+00",
        "# ?/?",
        "# ?\?/??",
        "[h]:mm:ss",
        "h:mm AM/PM",
        "yyyy/m/d h:mm",
        "[$¥-804]#,##0.00",
        "00000000000",
        "\"编号\"000",
        "[>100]0;[<0]0;0",
        "mm:ss.00",
        "_(* #,##0_);@",
        "上午/下午h\"时\"",
        "#,##0,,",
        "##0.0E+0",
        "0;-0;;@",
        "\"KABA:\"@",
        "@\"号\"",
        "0;-0;0;_(@_)",
        "# ?\?/?? \"寸\"",
    };
    QDir().mkpath(folder);
    int n = 0;
    for (const char* code : codes) {
        for (const double value : {0.0, -1234.5678, 46082.2736111, 1e300}) {
            QByteArray seed(reinterpret_cast<const char*>(&value), sizeof value);
            seed += code;
            QFile file(folder + QStringLiteral("/seed-%1").arg(n++));
            if (!file.open(QIODevice::WriteOnly) || file.write(seed) != seed.size()) {
                std::exit(1);
            }
        }
    }
    std::exit(0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* seed = std::getenv("RUVASO_FUZZ_SEED")) {
        WriteSeeds(QString::fromLocal8Bit(seed));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(double)) {
        return 0;
    }
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    const QString code = QString::fromUtf8(reinterpret_cast<const char*>(data) + sizeof value,
                                           qsizetype(size - sizeof value));
    const NumberFormat format(code);
    static const QDate origin(1899, 12, 30);
    format.text(value, origin);
    format.text(-value, origin);
    format.text(0, origin);
    format.showsDate();
    format.textOf(code);
    return 0;
}
