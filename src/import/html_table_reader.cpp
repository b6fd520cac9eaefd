#include <libxml/HTMLparser.h>
#include <libxml/parserInternals.h>

#include <array>
#include <cstring>

#include "import/sheet_readers.h"
#include "import/text_decoding.h"

namespace {

// Browsers clamp spans to these; a larger one is a hostile or broken page.
constexpr int kMaxColSpan = 1000;
constexpr int kMaxRowSpan = 65534;

bool Is(const xmlChar* name, const char* what) {
    return std::strcmp(reinterpret_cast<const char*>(name), what) == 0;
}

// The value of an attribute that spans rows or columns: at least 1, at most `most`.
int Span(const xmlChar** attributes, const char* name, int most) {
    for (const xmlChar** a = attributes; a && a[0]; a += 2) {
        if (Is(a[0], name) && a[1]) {
            bool ok = false;
            const int value = QByteArray(reinterpret_cast<const char*>(a[1])).trimmed().toInt(&ok);
            return ok ? std::clamp(value, 1, most) : 1;
        }
    }
    return 1;
}

// The cells of the page's first table, placed as a browser lays them out: a cell that spans
// rows or columns takes their places and holds its text in the first of them, as a spreadsheet
// shows a merged cell. Text is what the page shows: runs of white space as one space, <br> and
// paragraphs as line breaks, entities as their characters.
class TableReader {
public:
    explicit TableReader(SheetBuilder& builder) : builder_(builder) {}

    bool foundTable() const { return depth_ > 0 || done_; }
    bool done() const { return done_; }

    void start(const xmlChar* name, const xmlChar** attributes) {
        if (done_) {
            return;
        }
        if (Is(name, "table")) {
            ++depth_;
            return;
        }
        if (depth_ == 0) {
            return;
        }
        if (depth_ == 1 && Is(name, "tr")) {
            startRow();
        } else if (depth_ == 1 && (Is(name, "td") || Is(name, "th"))) {
            startCell(Span(attributes, "colspan", kMaxColSpan),
                      Span(attributes, "rowspan", kMaxRowSpan));
        } else if (inCell_ && Is(name, "br")) {
            text_ += QLatin1Char('\n');
            space_ = false;
        } else if (inCell_ && (Is(name, "p") || Is(name, "div") || Is(name, "tr"))) {
            // A table inside a cell shows its rows as lines and its cells apart.
            breakLine();
        } else if (inCell_ && (Is(name, "td") || Is(name, "th"))) {
            space_ = true;
        }
    }

    void end(const xmlChar* name) {
        if (done_ || depth_ == 0) {
            return;
        }
        if (Is(name, "table")) {
            if (--depth_ == 0) {
                endCell();
                done_ = true;
            }
        } else if (depth_ == 1 && (Is(name, "tr") || Is(name, "td") || Is(name, "th"))) {
            endCell();
        } else if (inCell_ && (Is(name, "p") || Is(name, "div"))) {
            breakLine();
        }
    }

    void characters(const xmlChar* bytes, int size) {
        if (!inCell_ || done_) {
            return;
        }
        for (const QChar c : QString::fromUtf8(reinterpret_cast<const char*>(bytes), size)) {
            if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
                c == QLatin1Char('\r') || c == QLatin1Char('\f')) {
                space_ = true;
                continue;
            }
            if (space_ && !text_.isEmpty() && !text_.endsWith(QLatin1Char('\n'))) {
                text_ += QLatin1Char(' ');
            }
            space_ = false;
            // A no-break space shows as a space and is kept where a plain one would collapse.
            text_ += c == QChar::Nbsp ? QChar(QLatin1Char(' ')) : c;
        }
    }

private:
    void startRow() {
        endCell();
        ++row_;
        column_ = 0;
        inRow_ = true;
    }

    void startCell(int colSpan, int rowSpan) {
        endCell();
        if (!inRow_) {
            // A cell outside any row starts one, as browsers do.
            startRow();
        }
        // Skip the places that cells of rows above still span.
        while (column_ < kMaxFileColumns && covered_[size_t(column_)] > row_) {
            ++column_;
        }
        cellColumn_ = column_;
        for (qint64 c = column_; c < std::min<qint64>(column_ + colSpan, kMaxFileColumns); ++c) {
            covered_[size_t(c)] = row_ + rowSpan;
        }
        column_ += colSpan;
        inCell_ = true;
    }

    void endCell() {
        if (!inCell_) {
            return;
        }
        builder_.setCell(row_, cellColumn_, text_.trimmed());
        text_.clear();
        space_ = false;
        inCell_ = false;
    }

    void breakLine() {
        if (!text_.isEmpty() && !text_.endsWith(QLatin1Char('\n'))) {
            text_ += QLatin1Char('\n');
        }
        space_ = false;
    }

    SheetBuilder& builder_;
    int depth_ = 0;  // tables open, the first one included
    bool done_ = false;
    qint64 row_ = -1;
    qint64 column_ = 0;
    qint64 cellColumn_ = 0;
    bool inRow_ = false;
    bool inCell_ = false;
    QString text_;
    bool space_ = false;
    // For each column, the first row that a cell spanning down from above no longer covers.
    std::array<qint64, kMaxFileColumns> covered_{};
};

struct Parse {
    TableReader table;
    htmlParserCtxtPtr context = nullptr;
};

void StartElement(void* user, const xmlChar* name, const xmlChar** attributes) {
    static_cast<Parse*>(user)->table.start(name, attributes);
}

void EndElement(void* user, const xmlChar* name) {
    auto* parse = static_cast<Parse*>(user);
    parse->table.end(name);
    // Nothing after the first table matters.
    if (parse->table.done()) {
        xmlStopParser(parse->context);
    }
}

void Characters(void* user, const xmlChar* bytes, int size) {
    static_cast<Parse*>(user)->table.characters(bytes, size);
}

void Quiet(void*, xmlErrorPtr) {}

}  // namespace

QString ReadHtmlTable(const QByteArray& data, SheetBuilder& builder) {
    const std::optional<QByteArray> text = DeclaredTextUtf8(data);
    if (!text) {
        return sheet_error::kUnknownEncoding;
    }
    const QByteArray& utf8 = *text;
    xmlInitParser();
    htmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.startElement = StartElement;
    sax.endElement = EndElement;
    sax.characters = Characters;
    // Between tags the parser may call white space "ignorable"; in a cell it is not.
    sax.ignorableWhitespace = Characters;
    sax.initialized = XML_SAX2_MAGIC;
    sax.serror = Quiet;
    Parse parse{TableReader(builder)};
    parse.context =
        htmlCreatePushParserCtxt(&sax, &parse, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
    if (!parse.context) {
        return sheet_error::kDamaged;
    }
    // The text is UTF-8 now, whatever the page's meta tag says it was.
    htmlCtxtUseOptions(parse.context, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR |
                                          HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                                          HTML_PARSE_IGNORE_ENC);
    htmlParseChunk(parse.context, utf8.constData(), int(utf8.size()), 1);
    htmlFreeParserCtxt(parse.context);
    return parse.table.foundTable() ? QString() : sheet_error::kNoTable;
}
