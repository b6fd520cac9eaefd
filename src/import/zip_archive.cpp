#include "import/zip_archive.h"

#include <zip.h>

namespace {

constexpr qint64 kChunkBytes = 256 * 1024;

}  // namespace

ZipArchive::ZipArchive(const QByteArray& data) : data_(data) {
    zip_error_t error;
    zip_error_init(&error);
    // The source borrows the bytes, which outlive the archive.
    zip_source_t* source =
        zip_source_buffer_create(data.constData(), zip_uint64_t(data.size()), 0, &error);
    if (source != nullptr) {
        zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (zip_ == nullptr) {
            zip_source_free(source);
        }
    }
    zip_error_fini(&error);
    if (zip_ == nullptr) {
        status_ = Status::Damaged;
        return;
    }
    const zip_int64_t entries = zip_get_num_entries(zip_, 0);
    if (entries < 0) {
        fail(Status::Damaged);
    } else if (entries > kMaxEntries) {
        fail(Status::TooBig);
    }
}

ZipArchive::~ZipArchive() {
    if (zip_ != nullptr) {
        zip_discard(zip_);
    }
}

void ZipArchive::fail(Status status) {
    if (status_ == Status::Fine) {
        status_ = status;
    }
}

qint64 ZipArchive::locate(const QString& name) const {
    if (zip_ == nullptr || name.isEmpty()) {
        return -1;
    }
    return zip_name_locate(zip_, name.toUtf8().constData(), ZIP_FL_NOCASE | ZIP_FL_ENC_GUESS);
}

bool ZipArchive::spend(qint64 bytes) {
    if (bytes > unpackedLeft_) {
        unpackedLeft_ = 0;
        fail(Status::TooBig);
        return false;
    }
    unpackedLeft_ -= bytes;
    return true;
}

std::optional<QByteArray> ZipArchive::readSmall(const QString& name, qint64 maxBytes) {
    const qint64 index = locate(name);
    if (index < 0 || status_ != Status::Fine) {
        return std::nullopt;
    }
    zip_file_t* file = zip_fopen_index(zip_, zip_uint64_t(index), 0);
    if (file == nullptr) {
        return std::nullopt;
    }
    QByteArray bytes(maxBytes + 1, Qt::Uninitialized);
    qint64 size = 0;
    for (;;) {
        const zip_int64_t read =
            zip_fread(file, bytes.data() + size, zip_uint64_t(maxBytes + 1 - size));
        if (read <= 0 || (size += read) > maxBytes) {
            zip_fclose(file);
            if (read < 0 || size > maxBytes) {
                return std::nullopt;
            }
            break;
        }
    }
    if (!spend(size)) {
        return std::nullopt;
    }
    bytes.truncate(size);
    return bytes;
}

ZipPartBytes::ZipPartBytes(ZipArchive& archive, const QString& name) : archive_(archive) {
    const qint64 index = archive.locate(name);
    if (index < 0 || archive.status() != ZipArchive::Status::Fine) {
        return;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.zip_, zip_uint64_t(index), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE)) {
        archive.fail(ZipArchive::Status::Damaged);
        return;
    }
    // A part that says it unpacks to more than we may read is refused before it is unpacked.
    if (stat.size > zip_uint64_t(archive.unpackedLeft_)) {
        archive.fail(ZipArchive::Status::TooBig);
        return;
    }
    declaredSize_ = qint64(stat.size);
    file_ = zip_fopen_index(archive.zip_, zip_uint64_t(index), 0);
    if (file_ == nullptr) {
        archive.fail(ZipArchive::Status::Damaged);
    }
}

ZipPartBytes::~ZipPartBytes() {
    if (file_ != nullptr) {
        zip_fclose(file_);
    }
}

qint64 ZipPartBytes::read(char* to, qint64 most) {
    if (file_ == nullptr || atEnd_ || archive_.status() != ZipArchive::Status::Fine) {
        return 0;
    }
    const zip_int64_t read = zip_fread(file_, to, zip_uint64_t(most));
    if (read < 0) {
        archive_.fail(ZipArchive::Status::Damaged);
        return 0;
    }
    if (read == 0) {
        atEnd_ = true;
        return 0;
    }
    unpacked_ += read;
    // More than the directory said is a damaged entry, whatever the library makes of it.
    if (unpacked_ > declaredSize_) {
        archive_.fail(ZipArchive::Status::Damaged);
        return 0;
    }
    if (!archive_.spend(read)) {
        return 0;
    }
    return read;
}

ZipXmlPart::ZipXmlPart(ZipArchive& archive, const QString& name)
    : archive_(archive), bytes_(archive, name) {}

bool ZipXmlPart::feed() {
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    const qint64 read = bytes_.read(chunk.data(), chunk.size());
    if (read == 0) {
        return false;
    }
    chunk.truncate(read);
    xml_.addData(chunk);
    return true;
}

QXmlStreamReader::TokenType ZipXmlPart::next() {
    for (;;) {
        if (failed() || !bytes_.found()) {
            return QXmlStreamReader::Invalid;
        }
        const QXmlStreamReader::TokenType token = xml_.readNext();
        if (token == QXmlStreamReader::EndDocument) {
            return QXmlStreamReader::Invalid;
        }
        if (token != QXmlStreamReader::Invalid) {
            return token;
        }
        if (xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
            archive_.fail(ZipArchive::Status::Damaged);
            return QXmlStreamReader::Invalid;
        }
        if (!feed()) {
            // The part ended before its document did.
            archive_.fail(ZipArchive::Status::Damaged);
            return QXmlStreamReader::Invalid;
        }
    }
}

void ZipXmlPart::skipElement() {
    for (int depth = 1; depth > 0;) {
        switch (next()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                break;
            case QXmlStreamReader::Invalid:
                return;
            default:
                break;
        }
    }
}

void ZipXmlPart::elementText(QString& text) {
    text.resize(0);
    for (int depth = 1; depth > 0;) {
        switch (next()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                break;
            case QXmlStreamReader::Characters:
                if (!append(text, xml_.text())) {
                    return;
                }
                break;
            case QXmlStreamReader::Invalid:
                return;
            default:
                break;
        }
    }
}

bool ZipXmlPart::append(QString& to, QStringView text) {
    if (to.size() + text.size() > kMaxTextChars) {
        archive_.fail(ZipArchive::Status::TooBig);
        return false;
    }
    to += text;
    return true;
}

QStringView XmlAttribute(const QXmlStreamAttributes& attributes, QStringView name, QStringView ns) {
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() == name && attribute.namespaceUri() == ns) {
            return attribute.value();
        }
    }
    return {};
}

bool HasXmlAttribute(const QXmlStreamAttributes& attributes, QStringView name, QStringView ns) {
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() == name && attribute.namespaceUri() == ns) {
            return true;
        }
    }
    return false;
}
