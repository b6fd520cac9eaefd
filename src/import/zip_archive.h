#pragma once

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>
#include <optional>

// The zip archive of an .xlsx or .ods file, read from memory. A hostile file must stay within
// the bounds below, whatever its directory claims: its parts are unpacked piece by piece and
// what they unpack to is counted as it comes, so a zip bomb is refused instead of filling memory.
class ZipArchive {
public:
    enum class Status { Fine, Damaged, TooBig };

    // What all parts read from one archive may unpack to together.
    static constexpr qint64 kMaxUnpackedBytes = qint64(512) << 20;
    // Far more parts than a workbook has.
    static constexpr qint64 kMaxEntries = 20000;

    explicit ZipArchive(const QByteArray& data);
    // The bytes it reads, to open another archive over them: each is read by one thread.
    const QByteArray& data() const { return data_; }
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Damaged or TooBig once anything read so far was; reading then stops.
    Status status() const { return status_; }
    void fail(Status status);

    bool contains(const QString& name) const { return locate(name) >= 0; }
    // A small part whole (the mime type, a manifest); nothing when it is missing, cannot be read
    // or is larger than `maxBytes`.
    std::optional<QByteArray> readSmall(const QString& name, qint64 maxBytes);

private:
    friend class ZipPartBytes;
    // The entry's index; part names are matched without regard to case, as the formats say.
    qint64 locate(const QString& name) const;
    // Takes `bytes` from what the archive may still unpack; false (and TooBig) when it is spent.
    bool spend(qint64 bytes);

    const QByteArray& data_;
    struct zip* zip_ = nullptr;
    Status status_ = Status::Fine;
    qint64 unpackedLeft_ = kMaxUnpackedBytes;
};

// The bytes of one part, unpacked a piece at a time within the archive's bounds: more than the
// directory declared is damage, more than the archive may still unpack is too big.
class ZipPartBytes {
public:
    ZipPartBytes(ZipArchive& archive, const QString& name);
    ~ZipPartBytes();
    ZipPartBytes(const ZipPartBytes&) = delete;
    ZipPartBytes& operator=(const ZipPartBytes&) = delete;

    bool found() const { return file_ != nullptr; }
    // Up to `most` further bytes into `to`: 0 at the end of the part and on any fault, which the
    // archive's status then says.
    qint64 read(char* to, qint64 most);
    bool atEnd() const { return atEnd_; }
    ZipArchive& archive() { return archive_; }

private:
    ZipArchive& archive_;
    struct zip_file* file_ = nullptr;
    qint64 declaredSize_ = 0;
    qint64 unpacked_ = 0;
    bool atEnd_ = false;
};

// One XML part of the archive, parsed as it is unpacked. next() returns the reader's tokens;
// at the end of the part, and on any fault, it returns Invalid, and failed() tells the two apart
// (the archive's status then says why).
class ZipXmlPart {
public:
    ZipXmlPart(ZipArchive& archive, const QString& name);
    ZipXmlPart(const ZipXmlPart&) = delete;
    ZipXmlPart& operator=(const ZipXmlPart&) = delete;

    bool found() const { return bytes_.found(); }
    QXmlStreamReader::TokenType next();
    bool failed() const { return archive_.status() != ZipArchive::Status::Fine; }
    const QXmlStreamReader& xml() const { return xml_; }

    // Reads past the end of the element just started, with everything inside it.
    void skipElement();
    // The text inside the element just started, its children's included, up to its end, into
    // `text` (whose memory is reused); a text longer than any cell may hold makes the archive
    // TooBig.
    void elementText(QString& text);
    // Appends `text` to `to` unless that makes it longer than a cell's text may be; false then,
    // and the archive is refused as TooBig.
    bool append(QString& to, QStringView text);

    // Longer than any cell's text may be: 32,767 characters in the common applications.
    static constexpr qsizetype kMaxTextChars = qsizetype(1) << 20;

private:
    bool feed();

    ZipArchive& archive_;
    ZipPartBytes bytes_;
    QXmlStreamReader xml_;
};

// The attribute `name` of an element, in namespace `ns` (none by default); empty when absent.
QStringView XmlAttribute(const QXmlStreamAttributes& attributes, QStringView name,
                         QStringView ns = {});
bool HasXmlAttribute(const QXmlStreamAttributes& attributes, QStringView name, QStringView ns = {});
