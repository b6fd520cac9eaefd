#include "import/xlsx_workbook.h"

#include <QDir>
#include <QUrl>
#include <unordered_map>

#include "import/number_format.h"
#include "import/sheet_readers.h"
#include "import/zip_xml_events.h"

namespace {

// More distinct strings than a sheet of a million rows of customers needs; a bound on what a
// hostile string table can make us hold.
constexpr size_t kMaxSharedStrings = size_t(1) << 23;

struct Relationship {
    QString id;
    QString type;
    QString target;
};

bool TypeIs(const Relationship& relationship, QStringView kind) {
    return relationship.type.endsWith(QLatin1Char('/') + kind.toString());
}

// A relationship's target as a part name: relative to the folder of the part that points to
// it, or from the package root when it starts with "/".
QString ResolveTarget(const QString& folder, const QString& target) {
    const QString decoded = QUrl::fromPercentEncoding(target.toUtf8());
    QString path =
        QDir::cleanPath(decoded.startsWith(QLatin1Char('/')) ? decoded : folder + decoded);
    while (path.startsWith(QLatin1Char('/'))) {
        path.remove(0, 1);
    }
    return path.startsWith(QLatin1String("..")) ? QString() : path;
}

QString FolderOf(const QString& part) {
    return part.left(part.lastIndexOf(QLatin1Char('/')) + 1);
}

QString RelationshipsPart(const QString& part) {
    return FolderOf(part) + QStringLiteral("_rels/") +
           part.mid(part.lastIndexOf(QLatin1Char('/')) + 1) + QStringLiteral(".rels");
}

// The relationships of `part`, their targets resolved; none when it has no relationships part.
std::vector<Relationship> ReadRelationships(ZipArchive& archive, const QString& part) {
    std::vector<Relationship> relationships;
    ZipXmlPart xml(archive, RelationshipsPart(part));
    const QString folder = FolderOf(part);
    while (xml.next() != QXmlStreamReader::Invalid) {
        if (!xml.xml().isStartElement() || xml.xml().name() != u"Relationship") {
            continue;
        }
        const QXmlStreamAttributes attributes = xml.xml().attributes();
        if (XmlAttribute(attributes, u"TargetMode") == u"External") {
            continue;
        }
        relationships.push_back(
            {XmlAttribute(attributes, u"Id").toString(),
             XmlAttribute(attributes, u"Type").toString(),
             ResolveTarget(folder, XmlAttribute(attributes, u"Target").toString())});
    }
    return relationships;
}

const Relationship* FindByType(const std::vector<Relationship>& relationships, QStringView kind) {
    for (const Relationship& relationship : relationships) {
        if (TypeIs(relationship, kind)) {
            return &relationship;
        }
    }
    return nullptr;
}

// The sheet's relationship id: r:id, whichever namespace prefix the file gives it.
QStringView RelationshipId(const QXmlStreamAttributes& attributes) {
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty()) {
            return attribute.value();
        }
    }
    return {};
}

bool IsTrue(QStringView value) {
    return value == u"1" || value == u"true";
}

}  // namespace

QString ReadXlsxWorkbook(ZipArchive& archive, XlsxWorkbook& workbook) {
    const std::vector<Relationship> package = ReadRelationships(archive, QStringLiteral(""));
    const Relationship* document = FindByType(package, u"officeDocument");
    const QString workbookPart =
        document != nullptr ? document->target : QStringLiteral("xl/workbook.xml");
    const std::vector<Relationship> parts = ReadRelationships(archive, workbookPart);
    if (const Relationship* strings = FindByType(parts, u"sharedStrings")) {
        workbook.stringsPart = strings->target;
    }
    if (const Relationship* styles = FindByType(parts, u"styles")) {
        workbook.stylesPart = styles->target;
    }

    ZipXmlPart xml(archive, workbookPart);
    if (!xml.found()) {
        return sheet_error::kDamaged;
    }
    bool date1904 = false;
    QString firstHiddenName;
    QString firstHiddenPart;
    while (xml.next() != QXmlStreamReader::Invalid) {
        if (!xml.xml().isStartElement()) {
            continue;
        }
        const QXmlStreamAttributes attributes = xml.xml().attributes();
        // Extensions repeat workbookPr in namespaces of their own without the date system
        // (x14:workbookPr); only the workbook's own one says it.
        if (xml.xml().name() == u"workbookPr" && HasXmlAttribute(attributes, u"date1904")) {
            date1904 = IsTrue(XmlAttribute(attributes, u"date1904"));
            continue;
        }
        if (xml.xml().name() != u"sheet") {
            continue;
        }
        // Chart, dialog and macro sheets hold no cells to read.
        const QStringView id = RelationshipId(attributes);
        const Relationship* sheet = nullptr;
        for (const Relationship& relationship : parts) {
            if (relationship.id == id && TypeIs(relationship, u"worksheet")) {
                sheet = &relationship;
            }
        }
        if (sheet == nullptr || sheet->target.isEmpty()) {
            continue;
        }
        const QStringView state = XmlAttribute(attributes, u"state");
        if (state == u"hidden" || state == u"veryHidden") {
            if (firstHiddenPart.isEmpty()) {
                firstHiddenName = XmlAttribute(attributes, u"name").toString();
                firstHiddenPart = sheet->target;
            }
            continue;
        }
        if (workbook.visibleWorksheets++ == 0) {
            workbook.sheetName = XmlAttribute(attributes, u"name").toString();
            workbook.sheetPart = sheet->target;
        }
    }
    if (xml.failed()) {
        return {};  // the archive's status says why
    }
    // A workbook whose worksheets are all hidden still has them.
    if (workbook.visibleWorksheets == 0 && !firstHiddenPart.isEmpty()) {
        workbook.sheetName = firstHiddenName;
        workbook.sheetPart = firstHiddenPart;
        workbook.visibleWorksheets = 1;
    }
    workbook.origin = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    return workbook.sheetPart.isEmpty() ? sheet_error::kNoSheet : QString();
}

std::vector<XlsxCellFormat> ReadXlsxCellFormats(ZipArchive& archive, const QString& part) {
    std::unordered_map<qint64, std::string> codes;
    std::vector<qint64> cellFormats;
    ZipXmlPart xml(archive, part);
    // Cell formats of cells are in <cellXfs>; those of named styles and of differential
    // formatting look alike but are not referenced by cells.
    bool inCellFormats = false;
    for (QXmlStreamReader::TokenType token; (token = xml.next()) != QXmlStreamReader::Invalid;) {
        const QStringView name = xml.xml().name();
        if (token == QXmlStreamReader::EndElement && name == u"cellXfs") {
            inCellFormats = false;
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        const QXmlStreamAttributes attributes = xml.xml().attributes();
        if (name == u"numFmt") {
            codes[XmlAttribute(attributes, u"numFmtId").toLongLong()] =
                XmlAttribute(attributes, u"formatCode").toString().toStdString();
        } else if (name == u"cellXfs") {
            inCellFormats = true;
        } else if (name == u"xf" && inCellFormats) {
            cellFormats.push_back(XmlAttribute(attributes, u"numFmtId").toLongLong());
        }
    }
    std::vector<XlsxCellFormat> formats;
    formats.reserve(cellFormats.size());
    // Many cell formats share a number format: each code is compiled once.
    std::unordered_map<qint64, size_t> compiled;
    for (const qint64 id : cellFormats) {
        if (const auto done = compiled.find(id); done != compiled.end()) {
            formats.push_back(formats[done->second]);
            continue;
        }
        const auto code = codes.find(id);
        const std::string_view text = code == codes.end() ? std::string_view() : code->second;
        XlsxCellFormat format;
        format.date = id >= 0 && IsDateFormat(size_t(id), text);
        format.format = NumberFormat(code != codes.end() ? QString::fromStdString(code->second)
                                     : id >= 0           ? BuiltinFormatCode(size_t(id))
                                                         : QString());
        compiled.emplace(id, formats.size());
        formats.push_back(std::move(format));
    }
    return formats;
}

QString XlsxNumberText(const std::vector<XlsxCellFormat>& formats, qint64 style, double number,
                       const QDate& origin) {
    if (style < 0 || style >= qint64(formats.size())) {
        return GeneralNumberText(number);
    }
    const XlsxCellFormat& format = formats[size_t(style)];
    // The system's long date ([$-F800]) is a date without a day or a year in its code.
    if (format.date && !format.format.showsDate()) {
        if (const std::optional<QString> date = SerialDateText(number, origin)) {
            return *date;
        }
    }
    return format.format.text(number, origin);
}

QString XlsxStrings::at(qsizetype index) const {
    const Entry& entry = strings_[size_t(index)];
    return QString(reinterpret_cast<const QChar*>(entry.data), entry.size);
}

void XlsxStrings::add(QStringView text) {
    constexpr qsizetype kBlockChars = qsizetype(1) << 20;
    if (text.size() > blockLeft_) {
        blockLeft_ = std::max(kBlockChars, text.size());
        blocks_.push_back(std::make_unique_for_overwrite<char16_t[]>(size_t(blockLeft_)));
        next_ = blocks_.back().get();
    }
    std::copy(text.utf16(), text.utf16() + text.size(), next_);
    strings_.push_back({next_, text.size()});
    next_ += text.size();
    blockLeft_ -= text.size();
}

namespace {

class SharedStringEvents : public ZipXmlEvents {
public:
    SharedStringEvents(ZipArchive& archive, XlsxStrings& strings)
        : archive_(archive), strings_(strings) {}

    bool start(std::string_view name, const char**) override {
        if (depth_ > 0) {
            ++depth_;
            text_.start(name);
        } else if (name == "si") {
            if (size_t(strings_.size()) >= kMaxSharedStrings) {
                archive_.fail(ZipArchive::Status::TooBig);
                return false;
            }
            depth_ = 1;
        }
        return true;
    }
    bool end(std::string_view name) override {
        if (depth_ == 0) {
            return true;
        }
        if (--depth_ > 0) {
            text_.end(name);
            return true;
        }
        if (!text_.take(item_)) {
            archive_.fail(ZipArchive::Status::TooBig);
            return false;
        }
        strings_.add(item_);
        return true;
    }
    bool text(std::string_view text) override {
        if (depth_ > 0 && !text_.text(text)) {
            archive_.fail(ZipArchive::Status::TooBig);
            return false;
        }
        return true;
    }

private:
    ZipArchive& archive_;
    XlsxStrings& strings_;
    XlsxRichText text_;
    QString item_;
    int depth_ = 0;
};

}  // namespace

XlsxStrings ReadXlsxSharedStrings(ZipArchive& archive, const QString& part) {
    XlsxStrings strings;
    SharedStringEvents events(archive, strings);
    ParseZipXml(archive, part, events);
    return strings;
}

void XlsxRichText::start(std::string_view name) {
    if (phonetic_ > 0 || name == "rPh") {
        ++phonetic_;
    } else if (name == "t") {
        ++inText_;
    }
}

void XlsxRichText::end(std::string_view name) {
    if (phonetic_ > 0) {
        --phonetic_;
    } else if (name == "t" && inText_ > 0) {
        --inText_;
    }
}

bool XlsxRichText::text(std::string_view text) {
    if (inText_ == 0 || phonetic_ > 0) {
        return true;
    }
    // A character takes at most three bytes here (four for two UTF-16 units).
    if (utf8_.size() + text.size() > size_t(ZipXmlPart::kMaxTextChars) * 3) {
        return false;
    }
    utf8_.append(text);
    return true;
}

bool XlsxRichText::take(QString& text) {
    text = QString::fromUtf8(utf8_.data(), qsizetype(utf8_.size()));
    utf8_.clear();
    inText_ = 0;
    phonetic_ = 0;
    if (text.size() > ZipXmlPart::kMaxTextChars) {
        return false;
    }
    text = DecodeXlsxEscapes(text);
    return true;
}

QString DecodeXlsxEscapes(const QString& text) {
    if (!text.contains(QLatin1String("_x"))) {
        return text.contains(u'\r')
                   ? QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                   : text;
    }
    QString decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        // "_x000D_" is one character; "_x005F_" escapes a literal "_" of such a pattern.
        if (text.at(i) == QLatin1Char('_') && i + 6 < text.size() &&
            text.at(i + 1) == QLatin1Char('x') && text.at(i + 6) == QLatin1Char('_')) {
            bool ok = false;
            const uint code = QStringView(text).mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                decoded += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        decoded += text.at(i);
    }
    // A line break written as _x000D_ and a new line shows as one line break, as it does in
    // the office suite; a carriage return alone stays.
    return decoded.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
