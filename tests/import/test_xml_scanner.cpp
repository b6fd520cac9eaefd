#include <QTest>

#include "import/xml_scanner.h"
#include "import/zip_xml_events.h"

namespace {

// The events as one line: start tags with their attributes, texts joined, end tags.
class Recorder : public ZipXmlEvents {
public:
    std::string line;
    int stopAfterStarts = -1;

    bool start(std::string_view name, const char** attributes) override {
        line += "<";
        line += name;
        for (const char** at = attributes; *at != nullptr; at += 2) {
            line += std::string(" ") + at[0] + "=" + at[1];
        }
        line += ">";
        return --stopAfterStarts != 0;
    }
    bool end(std::string_view name) override {
        line += "</" + std::string(name) + ">";
        return true;
    }
    bool text(std::string_view text) override {
        line += text;
        return true;
    }
};

// The document fed in pieces of `piece` bytes, so every token is split somewhere.
std::pair<XmlScanner::Result, std::string> Scan(const QByteArray& document, qsizetype piece) {
    Recorder recorder;
    XmlScanner scanner(recorder);
    XmlScanner::Result result = XmlScanner::Result::More;
    for (qsizetype at = 0; result == XmlScanner::Result::More && at < document.size();
         at += piece) {
        const QByteArray part = document.mid(at, piece);
        result = scanner.feed(std::string_view(part.constData(), size_t(part.size())), false);
    }
    if (result == XmlScanner::Result::More) {
        result = scanner.feed({}, true);
    }
    return {result, recorder.line};
}

}  // namespace

class TestXmlScanner : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What a well-formed part holds reads the same however it is cut into pieces.
    void readsWellFormedParts_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QByteArray>("events");
        QTest::newRow("declaration, prefixes, attributes")
            << QByteArray(
                   "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                   "<x:sheetData xmlns:x=\"u\"><x:c r=\"A1\" t='s'><x:v>7</x:v></x:c>"
                   "<c r = \"B1\"/></x:sheetData>")
            << QByteArray("<sheetData xmlns:x=u><c r=A1 t=s><v>7</v></c><c r=B1></c></sheetData>");
        QTest::newRow("references and line ends")
            << QByteArray("<t a=\"&lt;&amp;&#x4E2D;\">&quot;京&apos;&#20013;&gt;\r\nb\rc</t>")
            << QByteArray("<t a=<&中>\"京'中>\nb\nc</t>");
        QTest::newRow("comments, CDATA, instructions, a '>' in a value")
            << QByteArray("<!-- a -->\n<r x=\"1>2\"><!-- <b> --><![CDATA[<b>&amp;]]><?pi x?></r>\n")
            << QByteArray("<r x=1>2><b>&amp;</r>");
        QTest::newRow("long text") << QByteArray("<t>") + QByteArray(70000, 'a') + "</t>"
                                   << QByteArray("<t>") + QByteArray(70000, 'a') + "</t>";
    }
    void readsWellFormedParts() {
        QFETCH(QByteArray, document);
        QFETCH(QByteArray, events);
        for (const qsizetype piece : {qsizetype(1), qsizetype(2), qsizetype(7), document.size()}) {
            const auto [result, line] = Scan(document, piece);
            QCOMPARE(int(result), int(XmlScanner::Result::More));
            QCOMPARE(QByteArray::fromStdString(line), events);
        }
    }

    // Anything else is refused, never read as something it is not.
    void refusesMalformedParts_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut short") << QByteArray("<a><b>x</b>");
        QTest::newRow("tags crossed") << QByteArray("<a><b></a></b>");
        QTest::newRow("end without start") << QByteArray("<a></b>");
        QTest::newRow("two roots") << QByteArray("<a/><b/>");
        QTest::newRow("text outside") << QByteArray("x<a/>");
        QTest::newRow("unquoted value") << QByteArray("<a b=1/>");
        QTest::newRow("attributes run together") << QByteArray("<a b=\"1\"c=\"2\"/>");
        QTest::newRow("unknown entity") << QByteArray("<a>&nbsp;</a>");
        QTest::newRow("reference to nothing") << QByteArray("<a>&#0;</a>");
        QTest::newRow("bare ampersand") << QByteArray("<a>a & b</a>");
        QTest::newRow("document type") << QByteArray("<!DOCTYPE a [<!ENTITY x \"xx\">]><a>&x;</a>");
        QTest::newRow("'<' in a value") << QByteArray("<a b=\"<\"/>");
        QTest::newRow("nested too deep")
            << QByteArray("<a>").repeated(300) + QByteArray("</a>").repeated(300);
        QTest::newRow("tag without end") << QByteArray("<a ") + QByteArray(1100000, 'b');
        QTest::newRow("tag over its bound")
            << QByteArray("<a b=\"") + QByteArray(1100000, 'x') + QByteArray("\"/>");
    }
    void refusesMalformedParts() {
        QFETCH(QByteArray, document);
        // Small pieces, except for the tag that never ends: each piece looks for its end anew.
        const qsizetype small = document.size() < 10000 ? 3 : 65536;
        for (const qsizetype piece : {small, std::max<qsizetype>(document.size(), 1)}) {
            QCOMPARE(int(Scan(document, piece).first), int(XmlScanner::Result::Malformed));
        }
    }

    // A handler that has seen enough stops the reading there.
    void handlerStops() {
        Recorder recorder;
        recorder.stopAfterStarts = 2;
        XmlScanner scanner(recorder);
        QCOMPARE(int(scanner.feed("<a><b/><c/></a>", true)), int(XmlScanner::Result::Stopped));
        QCOMPARE(recorder.line, std::string("<a><b>"));
    }

    // Parts in other encodings go to the general parser.
    void readsOnlyUtf8_data() {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<bool>("reads");
        QTest::newRow("plain") << QByteArray("<a/>") << true;
        QTest::newRow("utf-8 declared")
            << QByteArray("<?xml version='1.0' encoding='utf-8'?><a/>") << true;
        QTest::newRow("utf-16 declared")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>") << false;
        QTest::newRow("utf-16 mark") << QByteArray("\xFF\xFE<\0a\0", 6) << false;
    }
    void readsOnlyUtf8() {
        QFETCH(QByteArray, start);
        QFETCH(bool, reads);
        QCOMPARE(XmlScanner::Reads(std::string_view(start.constData(), size_t(start.size()))),
                 reads);
    }
};

QTEST_GUILESS_MAIN(TestXmlScanner)
#include "test_xml_scanner.moc"
