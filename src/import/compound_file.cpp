#include "import/compound_file.h"

#include <QString>
#include <QtEndian>
#include <cstring>
#include <vector>

// A reader for the compound-file container legacy workbooks are stored in: a small file system
// of fixed-size sectors chained through an allocation table. Every index and length read from the
// file is checked against the file itself, so a damaged or hostile file is refused, never
// followed outside the bytes we hold or around a loop.

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kNoStream = 0xFFFFFFFF;
constexpr int kHeaderSize = 512;
constexpr int kDirectoryEntrySize = 128;
constexpr int kHeaderFatEntries = 109;
constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

enum EntryType : quint8 { kStorage = 1, kStream = 2, kRoot = 5 };

struct Entry {
    QString name;
    quint8 type = 0;
    quint32 left = kNoStream;
    quint32 right = kNoStream;
    quint32 child = kNoStream;
    quint32 start = 0;
    quint64 size = 0;
};

class Container {
public:
    explicit Container(const QByteArray& file) : file_(file) {}

    bool open();
    // The directory entry of the root's stream called `name`: -1 when there is none, nothing
    // when the directory is damaged.
    std::optional<int> find(const QString& name) const;
    std::optional<QByteArray> read(int entry) const;

private:
    quint32 u32(qint64 at) const { return qFromLittleEndian<quint32>(file_.constData() + at); }
    quint16 u16(qint64 at) const { return qFromLittleEndian<quint16>(file_.constData() + at); }
    // The sectors of the chain starting at `first`, in order; nothing on a loop or a sector
    // outside the table.
    std::optional<std::vector<quint32>> chain(const std::vector<quint32>& table,
                                              quint32 first) const;
    // Concatenates `sectors` of `size` bytes taken from `source` starting at `base`.
    static std::optional<QByteArray> gather(const QByteArray& source, qint64 base, int size,
                                            const std::vector<quint32>& sectors, quint64 length);
    bool readFat();
    bool readDirectory();
    bool readMiniStream();

    const QByteArray& file_;
    int sectorSize_ = 0;
    int miniSectorSize_ = 0;
    quint32 miniCutoff_ = 0;
    bool wideSizes_ = false;
    std::vector<quint32> fat_;
    std::vector<quint32> miniFat_;
    std::vector<Entry> entries_;
    QByteArray miniStream_;
};

std::optional<std::vector<quint32>> Container::chain(const std::vector<quint32>& table,
                                                     quint32 first) const {
    std::vector<quint32> sectors;
    std::vector<bool> seen(table.size(), false);
    for (quint32 at = first; at != kEndOfChain;) {
        if (at >= table.size() || seen[at]) {
            return std::nullopt;
        }
        seen[at] = true;
        sectors.push_back(at);
        at = table[at];
    }
    return sectors;
}

std::optional<QByteArray> Container::gather(const QByteArray& source, qint64 base, int size,
                                            const std::vector<quint32>& sectors, quint64 length) {
    if (length > quint64(sectors.size()) * quint64(size) || length > quint64(source.size())) {
        return std::nullopt;
    }
    QByteArray bytes;
    bytes.reserve(qsizetype(length));
    for (const quint32 sector : sectors) {
        if (quint64(bytes.size()) >= length) {
            break;
        }
        const qint64 at = base + qint64(sector) * size;
        const qint64 want = std::min<qint64>(size, qint64(length) - bytes.size());
        // The last sector of a file may be cut short; what the stream needs must be there.
        if (at + want > source.size()) {
            return std::nullopt;
        }
        bytes.append(source.constData() + at, want);
    }
    return bytes;
}

bool Container::open() {
    if (file_.size() < kHeaderSize ||
        std::memcmp(file_.constData(), kSignature, sizeof kSignature) != 0 || u16(0x1C) != 0xFFFE) {
        return false;
    }
    const quint16 major = u16(0x1A);
    const quint16 sectorShift = u16(0x1E);
    const quint16 miniShift = u16(0x20);
    if (!((major == 3 && sectorShift == 9) || (major == 4 && sectorShift == 12)) ||
        miniShift != 6) {
        return false;
    }
    sectorSize_ = 1 << sectorShift;
    miniSectorSize_ = 1 << miniShift;
    miniCutoff_ = u32(0x38);
    // Version 3 files may leave junk in the high half of a stream size.
    wideSizes_ = major == 4;
    return readFat() && readDirectory() && readMiniStream();
}

bool Container::readFat() {
    // Sectors are numbered from the end of the header block, which is one sector long.
    const qint64 sectors = (file_.size() + sectorSize_ - 1) / sectorSize_ - 1;
    const quint32 fatSectors = u32(0x2C);
    if (sectors <= 0 || fatSectors > quint64(sectors)) {
        return false;
    }
    std::vector<quint32> fatIndex;
    for (int i = 0; i < kHeaderFatEntries && fatIndex.size() < fatSectors; ++i) {
        fatIndex.push_back(u32(0x4C + 4 * i));
    }
    // Further sector numbers sit in a chain of index sectors, each ending with the next one's.
    const int perIndexSector = sectorSize_ / 4 - 1;
    std::vector<bool> seen(size_t(sectors), false);
    for (quint32 at = u32(0x44); fatIndex.size() < fatSectors;) {
        if (at >= quint64(sectors) || seen[at]) {
            return false;
        }
        seen[at] = true;
        const qint64 base = qint64(at + 1) * sectorSize_;
        if (base + sectorSize_ > file_.size()) {
            return false;
        }
        for (int i = 0; i < perIndexSector && fatIndex.size() < fatSectors; ++i) {
            fatIndex.push_back(u32(base + 4 * i));
        }
        at = u32(base + 4 * perIndexSector);
    }
    fat_.reserve(size_t(fatSectors) * size_t(sectorSize_ / 4));
    for (const quint32 sector : fatIndex) {
        const qint64 base = qint64(sector + 1) * sectorSize_;
        if (sector >= quint64(sectors) || base + sectorSize_ > file_.size()) {
            return false;
        }
        for (int i = 0; i < sectorSize_ / 4; ++i) {
            fat_.push_back(u32(base + 4 * i));
        }
    }
    return true;
}

bool Container::readDirectory() {
    const auto sectors = chain(fat_, u32(0x30));
    if (!sectors) {
        return false;
    }
    const auto bytes =
        gather(file_, sectorSize_, sectorSize_, *sectors, quint64(sectors->size()) * sectorSize_);
    if (!bytes || bytes->size() < kDirectoryEntrySize) {
        return false;
    }
    for (qsizetype at = 0; at + kDirectoryEntrySize <= bytes->size(); at += kDirectoryEntrySize) {
        const char* raw = bytes->constData() + at;
        Entry entry;
        entry.type = quint8(raw[0x42]);
        // The stored length counts the terminating null; anything longer than the field is junk.
        const quint16 nameBytes = qFromLittleEndian<quint16>(raw + 0x40);
        if (nameBytes >= 2 && nameBytes <= 64 && nameBytes % 2 == 0) {
            entry.name =
                QString::fromUtf16(reinterpret_cast<const char16_t*>(raw), nameBytes / 2 - 1);
        }
        entry.left = qFromLittleEndian<quint32>(raw + 0x44);
        entry.right = qFromLittleEndian<quint32>(raw + 0x48);
        entry.child = qFromLittleEndian<quint32>(raw + 0x4C);
        entry.start = qFromLittleEndian<quint32>(raw + 0x74);
        entry.size = wideSizes_ ? qFromLittleEndian<quint64>(raw + 0x78)
                                : qFromLittleEndian<quint32>(raw + 0x78);
        entries_.push_back(entry);
    }
    return entries_.front().type == kRoot;
}

bool Container::readMiniStream() {
    const Entry& root = entries_.front();
    if (root.size == 0) {
        return true;
    }
    const auto sectors = chain(fat_, root.start);
    if (!sectors) {
        return false;
    }
    auto bytes = gather(file_, sectorSize_, sectorSize_, *sectors, root.size);
    const auto miniFatSectors = chain(fat_, u32(0x3C));
    if (!bytes || !miniFatSectors) {
        return false;
    }
    const auto table = gather(file_, sectorSize_, sectorSize_, *miniFatSectors,
                              quint64(miniFatSectors->size()) * sectorSize_);
    if (!table) {
        return false;
    }
    miniStream_ = *bytes;
    for (qsizetype at = 0; at + 4 <= table->size(); at += 4) {
        miniFat_.push_back(qFromLittleEndian<quint32>(table->constData() + at));
    }
    return true;
}

std::optional<int> Container::find(const QString& name) const {
    // The root's children form a tree through their left and right links; walk all of it,
    // visiting each entry once, so a damaged tree cannot loop.
    std::vector<bool> seen(entries_.size(), false);
    std::vector<quint32> pending{entries_.front().child};
    while (!pending.empty()) {
        const quint32 at = pending.back();
        pending.pop_back();
        if (at == kNoStream) {
            continue;
        }
        if (at >= entries_.size() || seen[at]) {
            return std::nullopt;
        }
        seen[at] = true;
        const Entry& entry = entries_[at];
        if (entry.type == kStream && entry.name.compare(name, Qt::CaseInsensitive) == 0) {
            return int(at);
        }
        pending.push_back(entry.left);
        pending.push_back(entry.right);
    }
    return -1;
}

std::optional<QByteArray> Container::read(int index) const {
    const Entry& entry = entries_[size_t(index)];
    // A stream cannot hold more than the file it is in, whatever its entry says.
    if (entry.size > quint64(file_.size())) {
        return std::nullopt;
    }
    if (entry.size < miniCutoff_) {
        const auto sectors = chain(miniFat_, entry.start);
        return sectors ? gather(miniStream_, 0, miniSectorSize_, *sectors, entry.size)
                       : std::nullopt;
    }
    const auto sectors = chain(fat_, entry.start);
    return sectors ? gather(file_, sectorSize_, sectorSize_, *sectors, entry.size) : std::nullopt;
}

}  // namespace

std::optional<QByteArray> WorkbookStream(const QByteArray& file) {
    Container container(file);
    if (!container.open()) {
        return std::nullopt;
    }
    // A workbook saved for both Excel 95 and 97 holds both streams; the newer one has more.
    std::optional<int> entry = container.find(QStringLiteral("Workbook"));
    if (entry == -1) {
        entry = container.find(QStringLiteral("Book"));
    }
    if (!entry || *entry < 0) {
        return std::nullopt;
    }
    return container.read(*entry);
}
