#include "import/sheet_readers.h"
#include "import/zip_workbook.h"

namespace {

const QByteArray kOdsMimeType = QByteArrayLiteral("application/vnd.oasis.opendocument.spreadsheet");

}  // namespace

bool IsOpenDocumentArchive(const QByteArray& data) {
    ZipArchive archive(data);
    // The mime type entry names the kind, wherever it sits and however it is packed; without
    // it the manifest names the kind of the whole package.
    if (const std::optional<QByteArray> mimeType =
            archive.readSmall(QStringLiteral("mimetype"), 256)) {
        return mimeType->trimmed().startsWith(kOdsMimeType);
    }
    const std::optional<QByteArray> manifest =
        archive.readSmall(QStringLiteral("META-INF/manifest.xml"), 1 << 20);
    if (!manifest) {
        return false;
    }
    QXmlStreamReader xml(*manifest);
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"file-entry") {
            const QXmlStreamAttributes attributes = xml.attributes();
            for (const QXmlStreamAttribute& attribute : attributes) {
                if (attribute.name() == u"full-path" && attribute.value() == u"/") {
                    for (const QXmlStreamAttribute& type : attributes) {
                        if (type.name() == u"media-type") {
                            return type.value().toLatin1().startsWith(kOdsMimeType);
                        }
                    }
                }
            }
        }
    }
    return false;
}

QString ReadZipWorkbook(const QByteArray& data, ZipWorkbook kind, SheetBuilder& builder) {
    ZipArchive archive(data);
    QString reason;
    if (archive.status() == ZipArchive::Status::Fine) {
        reason = kind == ZipWorkbook::Xlsx ? ReadXlsxArchive(archive, builder)
                                           : ReadOdsArchive(archive, builder);
    }
    // A fault in the archive or a part outweighs what the reader made of the rest.
    switch (archive.status()) {
        case ZipArchive::Status::Damaged:
            return sheet_error::kDamaged;
        case ZipArchive::Status::TooBig:
            return sheet_error::kTooBig;
        case ZipArchive::Status::Fine:
            break;
    }
    return reason;
}
