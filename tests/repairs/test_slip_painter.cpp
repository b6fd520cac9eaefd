#include <QApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "repairs/slip.h"
#include "repairs/slip_painter.h"
#include "support/pdf_text.h"

namespace {

// Characters that share a glyph with a radical form in some CJK faces, so a PDF made with
// such a face reads back "⻋" for "车" or "⻓" for "长".
Slip SampleSlip() {
    Slip slip;
    slip.title = SlipTitleFor(QStringLiteral("长城车马汽修厂"));
    slip.orderNumber = SlipOrderNumber(QStringLiteral(" 20261206"), QStringLiteral("001"));
    slip.owner = QStringLiteral("马龙飞");
    slip.dateTime = QStringLiteral("2026-12-06 14:05:09");
    slip.operatorName = QStringLiteral("齐鸣");
    slip.technician = QStringLiteral("黄长风");
    slip.total = QStringLiteral("1234567.89");
    slip.lines[0] = {QStringLiteral("车门钣金"), QStringLiteral("更换左前车门 见附页"),
                     QStringLiteral("2.00"), QStringLiteral("35.50"), QStringLiteral("71.00")};
    slip.lines[1] = {QStringLiteral("更换机油"), QStringLiteral("食用级润滑"),
                     QStringLiteral("4.00"), QStringLiteral("68.00"), QStringLiteral("272.00")};
    slip.lines[2] = {QStringLiteral("洗车"), QString(), QStringLiteral("1.00"),
                     QStringLiteral("30.00"), QStringLiteral("30.00")};
    slip.lines[3] = {QStringLiteral("轮胎"), QStringLiteral("鱼骨纹 齿面磨损"),
                     QStringLiteral("4.00"), QStringLiteral("450.00"),
                     QStringLiteral("1234567.89")};
    slip.lines[4] = {QStringLiteral("补漆"), QStringLiteral("麦黄色 页面"), QStringLiteral("1.00"),
                     QStringLiteral("200.00"), QStringLiteral("200.00")};
    // Not saved for want of an item name, but printed as the operator left it.
    slip.lines[5] = {QString(), QStringLiteral("只有说明"), QStringLiteral("0.00"),
                     QStringLiteral("0.00"), QStringLiteral("0.00")};
    return slip;
}

QStringList DrawnWords(const Slip& slip) {
    QStringList words;
    for (const SlipText& text : SlipTexts(slip)) {
        words << text.text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return words;
}

bool HasRadicalForm(const QString& text) {
    // CJK Radicals Supplement and Kangxi Radicals.
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x2E80 && c.unicode() <= 0x2FDF; });
}

QString PrintToPdf(const Slip& slip, const QPageLayout& layout, const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageLayout(layout);
    return PrintSlip(slip, printer) ? QString() : QStringLiteral("PrintSlip failed");
}

const PdfWord* FindWord(const PdfPage& page, const QString& text) {
    for (const PdfWord& word : page.words) {
        if (word.text == text) {
            return &word;
        }
    }
    return nullptr;
}

}  // namespace

class TestSlipPainter : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private Q_SLOTS:
    void drawsWithAFaceThatReadsTrue() {
        QVERIFY2(SlipFontFamily() == QStringLiteral("AR PL UMing CN") ||
                     SlipFontFamily() == QStringLiteral("WenQuanYi Micro Hei"),
                 qPrintable(SlipFontFamily()));
    }

    void printsEveryTextTrueAndWithinThePage_data() {
        QTest::addColumn<QPageLayout>("layout");
        const auto portrait = [](QPageSize::PageSizeId size, double marginMm) {
            return QPageLayout(QPageSize(size), QPageLayout::Portrait,
                               QMarginsF(marginMm, marginMm, marginMm, marginMm),
                               QPageLayout::Millimeter);
        };
        QTest::newRow("A4, 10 mm margins") << portrait(QPageSize::A4, 10);
        QTest::newRow("A4, no margins") << portrait(QPageSize::A4, 0);
        QTest::newRow("Letter, 6 mm margins") << portrait(QPageSize::Letter, 6.35);
        QTest::newRow("A5, 15 mm margins") << portrait(QPageSize::A5, 15);
        QTest::newRow("A4 landscape: natural size")
            << QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                           QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    }
    void printsEveryTextTrueAndWithinThePage() {
        QFETCH(QPageLayout, layout);
        const Slip slip = SampleSlip();
        const QString path = dir_.filePath(QStringLiteral("slip.pdf"));
        QCOMPARE(PrintToPdf(slip, layout, path), QString());

        const PdfText pdf = ReadPdfText(path);
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QCOMPARE(pdf.pages.size(), 1);

        // Every heading and value comes back exactly as drawn, each once.
        QStringList read = pdf.words();
        QStringList drawn = DrawnWords(slip);
        read.sort();
        drawn.sort();
        QCOMPARE(read, drawn);
        for (const QString& word : read) {
            QVERIFY2(!HasRadicalForm(word), qPrintable(word));
        }
        for (const QString& font : PdfFontNames(path)) {
            QVERIFY2(!font.contains(QStringLiteral("Noto"), Qt::CaseInsensitive), qPrintable(font));
        }

        const PdfPage& page = pdf.pages.first();
        const QRectF printable = layout.paintRect(QPageLayout::Point);
        constexpr double kTolerance = 1.0;
        for (const PdfWord& word : page.words) {
            QVERIFY2(printable.adjusted(-kTolerance, -kTolerance, kTolerance, kTolerance)
                         .contains(word.box),
                     qPrintable(QStringLiteral("%1 at %2,%3-%4,%5")
                                    .arg(word.text)
                                    .arg(word.box.left())
                                    .arg(word.box.top())
                                    .arg(word.box.right())
                                    .arg(word.box.bottom())));
        }

        // Headings stand where the layout puts them, at its own size or scaled to the
        // printable width with the proportions kept.
        const double scale = std::min(1.0 / 20, printable.width() / kSlipWidthTwips);
        for (const auto& [heading, left] : {std::pair{QStringLiteral("[单号]"), 645.0},
                                            std::pair{QStringLiteral("[客户姓名]"), 9450.0},
                                            std::pair{QStringLiteral("[金"), 10875.0},
                                            std::pair{QStringLiteral("[维修时间]"), 660.0}}) {
            const PdfWord* word = FindWord(page, heading);
            QVERIFY2(word, qPrintable(heading));
            QVERIFY2(qAbs(word->box.left() - (printable.left() + left * scale)) < 1.5,
                     qPrintable(QStringLiteral("%1 at %2").arg(heading).arg(word->box.left())));
        }
        const PdfWord* first = FindWord(page, QStringLiteral("[单号]"));
        const PdfWord* last = FindWord(page, QStringLiteral("[维修时间]"));
        QVERIFY(first && last);
        QVERIFY2(qAbs((last->box.top() - first->box.top()) - (5475 - 1050) * scale) < 1.5,
                 "rows keep their distances");
    }

    void longValuesShrinkIntoTheirRoom() {
        Slip slip = SampleSlip();
        slip.lines[0].item = QStringLiteral("发动机大修及正时皮带总成更换");
        slip.lines[0].description =
            QString(QStringLiteral("更换前后刹车片并检查制动系统")).repeated(4);
        slip.lines[0].amount = QStringLiteral("123456789.00");
        slip.owner = QStringLiteral("欧阳长风车马行有限公司");
        const QString path = dir_.filePath(QStringLiteral("long.pdf"));
        const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                             QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        QCOMPARE(PrintToPdf(slip, a4, path), QString());

        const PdfText pdf = ReadPdfText(path);
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QStringList read = pdf.words();
        QStringList drawn = DrawnWords(slip);
        read.sort();
        drawn.sort();
        QCOMPARE(read, drawn);

        const PdfPage& page = pdf.pages.first();
        const PdfWord* item = FindWord(page, slip.lines[0].item);
        const PdfWord* description = FindWord(page, slip.lines[0].description);
        const PdfWord* quantity = FindWord(page, slip.lines[0].quantity);
        const PdfWord* amount = FindWord(page, slip.lines[0].amount);
        QVERIFY(item && description && quantity && amount);
        QVERIFY(item->box.right() < description->box.left());
        QVERIFY(description->box.right() < quantity->box.left());
        QVERIFY(amount->box.right() <= a4.paintRect(QPageLayout::Point).right() + 1.0);
        QVERIFY(FindWord(page, slip.owner)->box.right() <=
                a4.paintRect(QPageLayout::Point).right() + 1.0);
    }

    void aPrinterThatCannotStartFails() {
        Slip slip = SampleSlip();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir_.filePath(QStringLiteral("missing/folder/slip.pdf")));
        QVERIFY(!PrintSlip(slip, printer));
    }
};

QTEST_MAIN(TestSlipPainter)
#include "test_slip_painter.moc"
