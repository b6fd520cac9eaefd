#include <QTest>
#include <QtEndian>
#include <functional>

#include "import/compound_file.h"

namespace {

constexpr quint32 kFree = 0xFFFFFFFF;
constexpr quint32 kEnd = 0xFFFFFFFE;
constexpr quint32 kFatSector = 0xFFFFFFFD;
constexpr quint32 kIndexSector = 0xFFFFFFFC;

struct Stream {
    QString name;
    QByteArray bytes;
};

// Writes a compound file the way office programs lay one out: allocation table first, then the
// directory, the small-stream table, the small-stream store and the large streams. `fatPadding`
// adds unused table sectors, enough of them to need the chained index past the header's 109.
struct Built {
    QByteArray file;
    int sectorSize = 512;
    quint32 directorySector = 0;
    std::vector<quint32> streamStart;  // first sector (or small sector) of each stream

    qint64 sectorOffset(quint32 sector) const { return qint64(sector + 1) * sectorSize; }
    qint64 fatEntry(quint32 sector) const { return sectorOffset(0) + 4 * qint64(sector); }
    qint64 directoryEntry(int entry) const {
        return sectorOffset(directorySector) + 128 * qint64(entry);
    }
    void put32(qint64 at, quint32 value) { qToLittleEndian(value, file.data() + at); }
};

Built Build(const QList<Stream>& streams, int version = 3, int fatPadding = 0) {
    Built built;
    const int sectorSize = version == 4 ? 4096 : 512;
    built.sectorSize = sectorSize;
    const quint32 cutoff = 4096;
    auto sectorsFor = [&](qint64 bytes, int size) { return quint32((bytes + size - 1) / size); };

    QByteArray mini;
    std::vector<quint32> miniFat;
    std::vector<quint32> starts(size_t(streams.size()), kEnd);
    for (int i = 0; i < streams.size(); ++i) {
        const QByteArray& bytes = streams[i].bytes;
        if (bytes.size() >= qsizetype(cutoff) || bytes.isEmpty()) {
            continue;
        }
        const quint32 first = quint32(miniFat.size());
        const quint32 count = sectorsFor(bytes.size(), 64);
        for (quint32 k = 0; k < count; ++k) {
            miniFat.push_back(k + 1 < count ? first + k + 1 : kEnd);
        }
        starts[size_t(i)] = first;
        mini.append(bytes);
        mini.append(QByteArray(qsizetype(count) * 64 - bytes.size(), '\0'));
    }
    const int entries = 1 + int(streams.size());
    const quint32 directorySectors = sectorsFor(qint64(entries) * 128, sectorSize);
    const quint32 miniFatSectors = sectorsFor(qint64(miniFat.size()) * 4, sectorSize);
    const quint32 miniSectors = sectorsFor(mini.size(), sectorSize);
    quint32 dataSectors = directorySectors + miniFatSectors + miniSectors;
    for (const Stream& stream : streams) {
        if (stream.bytes.size() >= qsizetype(cutoff)) {
            dataSectors += sectorsFor(stream.bytes.size(), sectorSize);
        }
    }
    const quint32 perFat = quint32(sectorSize / 4);
    const quint32 perIndex = perFat - 1;
    quint32 fatSectors = 1;
    quint32 indexSectors = 0;
    for (;;) {
        const quint32 needed = fatSectors + quint32(fatPadding);
        indexSectors = needed > 109 ? (needed - 109 + perIndex - 1) / perIndex : 0;
        if ((needed)*perFat >= needed + indexSectors + dataSectors) {
            fatSectors = needed;
            break;
        }
        ++fatSectors;
    }
    const quint32 total = fatSectors + indexSectors + dataSectors;
    std::vector<quint32> fat(size_t(fatSectors) * perFat, kFree);
    quint32 next = 0;
    auto place = [&](quint32 count) {
        const quint32 first = next;
        for (quint32 k = 0; k < count; ++k) {
            fat[first + k] = k + 1 < count ? first + k + 1 : kEnd;
        }
        next += count;
        return count ? first : kEnd;
    };
    for (quint32 k = 0; k < fatSectors; ++k) {
        fat[next++] = kFatSector;
    }
    const quint32 firstIndex = next;
    for (quint32 k = 0; k < indexSectors; ++k) {
        fat[next++] = kIndexSector;
    }
    built.directorySector = place(directorySectors);
    const quint32 miniFatStart = place(miniFatSectors);
    const quint32 miniStart = place(miniSectors);
    for (int i = 0; i < streams.size(); ++i) {
        if (streams[i].bytes.size() >= qsizetype(cutoff)) {
            starts[size_t(i)] = place(sectorsFor(streams[i].bytes.size(), sectorSize));
        }
    }
    Q_ASSERT(next == total);
    built.streamStart = starts;

    QByteArray& file = built.file;
    file = QByteArray(qsizetype(total + 1) * sectorSize, '\0');
    auto put16 = [&](qint64 at, quint16 v) { qToLittleEndian(v, file.data() + at); };
    auto put32 = [&](qint64 at, quint32 v) { qToLittleEndian(v, file.data() + at); };
    auto put64 = [&](qint64 at, quint64 v) { qToLittleEndian(v, file.data() + at); };
    const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    file.replace(0, 8, QByteArray(signature, 8));
    put16(0x18, 0x3E);
    put16(0x1A, quint16(version));
    put16(0x1C, 0xFFFE);
    put16(0x1E, version == 4 ? 12 : 9);
    put16(0x20, 6);
    put32(0x2C, fatSectors);
    put32(0x30, built.directorySector);
    put32(0x38, cutoff);
    put32(0x3C, miniFatStart);
    put32(0x40, miniFatSectors);
    put32(0x44, indexSectors ? firstIndex : kEnd);
    put32(0x48, indexSectors);
    for (quint32 k = 0; k < 109; ++k) {
        put32(0x4C + 4 * k, k < fatSectors ? k : kFree);
    }
    for (quint32 k = 0; k < indexSectors; ++k) {
        const qint64 base = built.sectorOffset(firstIndex + k);
        for (quint32 e = 0; e < perIndex; ++e) {
            const quint32 fatSector = 109 + k * perIndex + e;
            put32(base + 4 * e, fatSector < fatSectors ? fatSector : kFree);
        }
        put32(base + 4 * perIndex, k + 1 < indexSectors ? firstIndex + k + 1 : kEnd);
    }
    for (size_t k = 0; k < fat.size(); ++k) {
        put32(built.fatEntry(0) + 4 * qint64(k), fat[k]);
    }
    for (size_t k = 0; k < miniFat.size(); ++k) {
        put32(built.sectorOffset(miniFatStart) + 4 * qint64(k), miniFat[k]);
    }
    file.replace(built.sectorOffset(miniStart), mini.size(), mini);
    auto entry = [&](int index, const QString& name, quint8 type, quint32 start, quint64 size) {
        const qint64 at = built.directoryEntry(index);
        for (int c = 0; c < name.size(); ++c) {
            put16(at + 2 * c, name[c].unicode());
        }
        put16(at + 0x40, quint16(2 * (name.size() + 1)));
        file[at + 0x42] = char(type);
        put32(at + 0x44, kFree);
        put32(at + 0x48, index + 1 < entries ? quint32(index + 1) : kFree);
        put32(at + 0x4C, kFree);
        put32(at + 0x74, start);
        put64(at + 0x78, size);
    };
    entry(0, QStringLiteral("Root Entry"), 5, mini.isEmpty() ? kEnd : miniStart,
          quint64(mini.size()));
    put32(built.directoryEntry(0) + 0x48, kFree);
    put32(built.directoryEntry(0) + 0x4C, streams.isEmpty() ? kFree : 1);
    for (int i = 0; i < streams.size(); ++i) {
        entry(i + 1, streams[i].name, 2, starts[size_t(i)], quint64(streams[i].bytes.size()));
        if (streams[i].bytes.size() >= qsizetype(cutoff)) {
            file.replace(built.sectorOffset(starts[size_t(i)]), streams[i].bytes.size(),
                         streams[i].bytes);
        }
    }
    return built;
}

QByteArray Pattern(int size, char seed) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = char(seed + i * 7 + i / 251);
    }
    return bytes;
}

const QByteArray kSmall = Pattern(300, 'a');
const QByteArray kLarge = Pattern(10000, 'b');

}  // namespace

class TestCompoundFile : public QObject {
    Q_OBJECT

private slots:
    void readsTheWorkbookStream_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("expected");
        const auto summary = Stream{QStringLiteral("\x05SummaryInformation"), Pattern(200, 's')};
        QTest::newRow("small stream in the small-stream store")
            << Build({summary, {QStringLiteral("Workbook"), kSmall}}).file << kSmall;
        QTest::newRow("large stream in whole sectors")
            << Build({summary, {QStringLiteral("Workbook"), kLarge}}).file << kLarge;
        QTest::newRow("Excel 95 book") << Build({{QStringLiteral("Book"), kLarge}}).file << kLarge;
        QTest::newRow("both streams: the newer one")
            << Build({{QStringLiteral("Book"), kSmall}, {QStringLiteral("Workbook"), kLarge}}).file
            << kLarge;
        QTest::newRow("name in another case")
            << Build({{QStringLiteral("WORKBOOK"), kSmall}}).file << kSmall;
        QTest::newRow("4096-byte sectors")
            << Build({summary, {QStringLiteral("Workbook"), kLarge}}, 4).file << kLarge;
        QTest::newRow("table index past the header")
            << Build({{QStringLiteral("Workbook"), kLarge}}, 3, 200).file << kLarge;
        // Version 3 keeps only the low half of a size; the high half may hold anything.
        Built junk = Build({{QStringLiteral("Workbook"), kLarge}});
        junk.put32(junk.directoryEntry(1) + 0x7C, 0xDEADBEEF);
        QTest::newRow("junk in a size's high half") << junk.file << kLarge;
        QTest::newRow("empty workbook stream")
            << Build({{QStringLiteral("Workbook"), QByteArray()}}).file << QByteArray();
    }
    void readsTheWorkbookStream() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, expected);
        const std::optional<QByteArray> stream = WorkbookStream(file);
        QVERIFY(stream);
        QCOMPARE(stream->size(), expected.size());
        QVERIFY(*stream == expected);
    }

    // Every damage is refused with nothing read, never followed out of the file or round a loop.
    void refusesDamagedContainers_data() {
        QTest::addColumn<QByteArray>("file");
        using Damage = std::function<void(Built&)>;
        auto damaged = [](QList<Stream> streams, const Damage& damage, int padding = 0) {
            Built built = Build(streams, 3, padding);
            damage(built);
            return built.file;
        };
        const QList<Stream> large = {{QStringLiteral("Workbook"), kLarge}};
        const QList<Stream> small = {{QStringLiteral("Workbook"), kSmall}};
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("not a container") << QByteArray(4096, 'x');
        QTest::newRow("wrong signature") << damaged(large, [](Built& b) { b.file[0] = 'X'; });
        QTest::newRow("unknown sector size")
            << damaged(large, [](Built& b) { qToLittleEndian<quint16>(10, b.file.data() + 0x1E); });
        QTest::newRow("no workbook stream") << Build({{QStringLiteral("Other"), kLarge}}).file;
        QTest::newRow("cut short inside the stream")
            << damaged(large, [](Built& b) { b.file.chop(2000); });
        QTest::newRow("stream chain loops") << damaged(
            large, [](Built& b) { b.put32(b.fatEntry(b.streamStart[0] + 3), b.streamStart[0]); });
        QTest::newRow("stream chain leaves the table") << damaged(
            large, [](Built& b) { b.put32(b.fatEntry(b.streamStart[0] + 1), 0x00FFFFFF); });
        QTest::newRow("stream chain ends early")
            << damaged(large, [](Built& b) { b.put32(b.fatEntry(b.streamStart[0] + 1), kEnd); });
        QTest::newRow("size beyond the file")
            << damaged(large, [](Built& b) { b.put32(b.directoryEntry(1) + 0x78, 0x7FFFFFFF); });
        QTest::newRow("small-stream chain loops") << damaged(small, [](Built& b) {
            // The small-stream table is the sector right after the directory.
            b.put32(b.sectorOffset(b.directorySector + 1) + 4, 0);
        });
        QTest::newRow("directory tree loops")
            << damaged({{QStringLiteral("Other"), kSmall}, {QStringLiteral("Workbook"), kSmall}},
                       [](Built& b) { b.put32(b.directoryEntry(1) + 0x48, 1); });
        QTest::newRow("directory link out of range")
            << damaged(large, [](Built& b) { b.put32(b.directoryEntry(0) + 0x4C, 5000); });
        QTest::newRow("first entry is not the root")
            << damaged(large, [](Built& b) { b.file[b.directoryEntry(0) + 0x42] = 2; });
        QTest::newRow("more table sectors than the file holds")
            << damaged(large, [](Built& b) { b.put32(0x2C, 0x10000000); });
        QTest::newRow("table index loops") << damaged(
            large,
            [](Built& b) {
                const quint32 index = qFromLittleEndian<quint32>(b.file.constData() + 0x44);
                b.put32(b.sectorOffset(index) + b.sectorSize - 4, index);
                b.put32(0x2C, 109 + 2 * (b.sectorSize / 4 - 1));
            },
            200);
    }
    void refusesDamagedContainers() {
        QFETCH(QByteArray, file);
        QVERIFY(!WorkbookStream(file));
    }
};

QTEST_GUILESS_MAIN(TestCompoundFile)
#include "test_compound_file.moc"
