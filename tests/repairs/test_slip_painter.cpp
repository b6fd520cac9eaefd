#include <QApplication>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "core/order_number_text.h"
#include "repairs/slip.h"
#include "repairs/slip_painter.h"
#include "support/pdf_text.h"

Q_DECLARE_METATYPE(SlipPaper)

namespace {

// Characters that share a glyph with a radical form in some CJK faces, so a PDF made with
// such a face reads back "⻋" for "车" or "⻓" for "长".
Slip SampleSlip() {
    Slip slip;
    slip.title = SlipTitleFor(QStringLiteral("长城车马汽修厂"));
    slip.shopAddress = QStringLiteral("长春市马场路18号");
    slip.shopTelephone = QStringLiteral("0431-88886666");
    slip.orderNumber = OrderNumberText(QStringLiteral(" 202612060001"));
    slip.orderDate = QStringLiteral("2026-12-06");
    slip.owner = QStringLiteral("马龙飞");
    slip.plate = QStringLiteral("吉A88B66");
    slip.model = QStringLiteral("长城哈弗H6");
    slip.telephone = QStringLiteral("13912345678");
    slip.dateTime = QStringLiteral("2026-12-06 14:05:09");
    slip.operatorName = QStringLiteral("齐鸣");
    slip.technician = QStringLiteral("黄长风");
    slip.total = QStringLiteral("1235140.89");
    slip.nextReminder = QStringLiteral("2027-03-06");
    slip.lines[0] = {QStringLiteral("车门钣金"), QStringLiteral("更换左前车门 见附页"),
                     QStringLiteral("2.00"), QStringLiteral("35.50"), QStringLiteral("71.00")};
    slip.lines[1] = {QStringLiteral("更换机油"), QStringLiteral("食用级润滑"),
                     QStringLiteral("4.00"), QStringLiteral("68.00"), QStringLiteral("272.00")};
    slip.lines[2] = {QStringLiteral("洗车"), QString(), QStringLiteral("1.00"),
                     QStringLiteral("30.00"), QStringLiteral("30.00")};
    slip.lines[3] = {QStringLiteral("轮胎"), QStringLiteral("鱼骨纹 齿面磨损"),
                     QStringLiteral("12.00"), QStringLiteral("450.00"),
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

// Prints the slip to a PDF on the paper a shop chooses for it.
bool PrintOnPaper(const Slip& slip, SlipPaper paper, const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    SetSlipPage(printer, paper);
    return PrintSlip(slip, printer);
}

const PdfWord* FindWord(const PdfPage& page, const QString& text) {
    for (const PdfWord& word : page.words) {
        if (word.text == text) {
            return &word;
        }
    }
    return nullptr;
}

// The word printed for the slip's value of `role`: its text on its own line.
const PdfWord* WordFor(const PdfPage& page, const Slip& slip, const QString& role,
                       const QRectF& slipRect) {
    for (const SlipText& text : SlipTexts(slip, SlipLayoutHeight(slipRect))) {
        if (text.role != role) {
            continue;
        }
        const QRectF expected = SlipTextRect(text, slipRect);
        for (const PdfWord& word : page.words) {
            if (word.text == text.text && qAbs(word.box.top() - expected.top()) < 4 &&
                word.box.left() >= expected.left() - 1 &&
                word.box.right() <= expected.right() + 1) {
                return &word;
            }
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

        // Headings stand where the layout puts them, at its own size or scaled to fit the
        // printable area with the proportions kept, laid out as tall as the page allows.
        const QRectF slipRect = FitSlipToPage(printable, 1.0 / 20);
        const double scale = slipRect.width() / kSlipWidthTwips;
        QVERIFY(scale <= 1.0 / 20 + 1e-9);
        const QList<SlipText> texts = SlipTexts(slip, SlipLayoutHeight(slipRect));
        for (const auto& [heading, left] : {std::pair{QStringLiteral("[单号]"), 360.0},
                                            std::pair{QStringLiteral("[客户姓名]"), 7250.0},
                                            std::pair{QStringLiteral("[维修时间]"), 360.0}}) {
            const PdfWord* word = FindWord(page, heading);
            QVERIFY2(word, qPrintable(heading));
            QVERIFY2(qAbs(word->box.left() - (printable.left() + left * scale)) < 1.5,
                     qPrintable(QStringLiteral("%1 at %2").arg(heading).arg(word->box.left())));
            const auto laidOut = std::find_if(texts.begin(), texts.end(),
                                              [&](const SlipText& t) { return t.text == heading; });
            QVERIFY(laidOut != texts.end());
            QVERIFY2(qAbs(word->box.top() - SlipTextRect(*laidOut, slipRect).top()) < 4,
                     qPrintable(QStringLiteral("%1 top at %2").arg(heading).arg(word->box.top())));
        }
    }

    // A slip is one page whatever its paper: on A4 it is laid out over the page, so the lines,
    // the footer and the signature are not crowded into its top half; on A5 it keeps its own
    // layout. The signature has its line, and rows nobody filled in carry no number.
    void usesItsPaperAndOnlyNumbersFilledLines_data() {
        QTest::addColumn<SlipPaper>("paper");
        QTest::addColumn<double>("lowestFooter");  // as a share of the page's height
        QTest::newRow("A4") << SlipPaper::A4 << 0.6;
        QTest::newRow("A5 landscape") << SlipPaper::A5Landscape << 0.65;
    }
    void usesItsPaperAndOnlyNumbersFilledLines() {
        QFETCH(SlipPaper, paper);
        QFETCH(double, lowestFooter);
        Slip slip = SampleSlip();
        slip.lines[5] = {};
        const QString path = dir_.filePath(QStringLiteral("lines.pdf"));
        QVERIFY(PrintOnPaper(slip, paper, path));
        const PdfText pdf = ReadPdfText(path);
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        const PdfPage& page = pdf.pages.first();
        const QStringList words = pdf.words();
        for (const char* number : {"01", "02", "03", "04", "05"}) {
            QVERIFY2(words.contains(QString::fromUtf8(number)), number);
        }
        QVERIFY(!words.contains(QStringLiteral("06")));
        QVERIFY(!words.contains(QStringLiteral("07")));
        QVERIFY(words.contains(QStringLiteral("[下次保养日期]")));
        QVERIFY(words.contains(QStringLiteral("2027-03-06")));
        const PdfWord* footer = FindWord(page, QStringLiteral("[维修时间]"));
        const PdfWord* signature = FindWord(page, QStringLiteral("客户签字："));
        QVERIFY(footer && signature);
        QVERIFY2(footer->box.top() > lowestFooter * page.size.height(),
                 qPrintable(QString::number(footer->box.top())));
        QVERIFY(signature->box.bottom() < page.size.height());

        // The signature line: drawn after its heading, level with it, to the slip's right edge.
        QImage image(QSize(1077, 725 * 2), QImage::Format_RGB32);
        image.fill(Qt::white);
        const QRectF slipRect(0, 0, 1077, 725 * 1.5);
        {
            QPainter painter(&image);
            PaintSlip(painter, slip, slipRect);
        }
        const double scale = slipRect.width() / kSlipWidthTwips;
        const QLineF line = SlipSignatureLine(SlipLayoutHeight(slipRect));
        const QPoint middle = (line.center() * scale).toPoint();
        int darkest = 255;
        for (int dy = -2; dy <= 2; ++dy) {
            darkest = std::min(darkest, qGray(image.pixel(middle + QPoint(0, dy))));
        }
        QVERIFY2(darkest < 128,
                 qPrintable(QStringLiteral("%1,%2").arg(middle.x()).arg(middle.y())));
        const QList<SlipText> texts = SlipTexts(slip);
        const auto heading = std::find_if(texts.begin(), texts.end(), [](const SlipText& t) {
            return t.text == QStringLiteral("客户签字：");
        });
        QVERIFY(heading != texts.end());
        QVERIFY(line.p1().x() > heading->box.left());
    }

    // The slip fills the width of the chosen paper at its own size; each field reads back, and
    // the numbers of a column end at one right edge, the total under the amounts.
    void fillsTheChosenPaper_data() {
        QTest::addColumn<SlipPaper>("paper");
        QTest::addColumn<QSizeF>("pageSize");
        QTest::newRow("A4") << SlipPaper::A4 << QSizeF(595, 842);
        QTest::newRow("A5 landscape") << SlipPaper::A5Landscape << QSizeF(595, 420);
    }
    void fillsTheChosenPaper() {
        QFETCH(SlipPaper, paper);
        QFETCH(QSizeF, pageSize);
        const Slip slip = SampleSlip();
        const QString path = dir_.filePath(QStringLiteral("paper.pdf"));
        QVERIFY(PrintOnPaper(slip, paper, path));

        const PdfText pdf = ReadPdfText(path);
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QCOMPARE(pdf.pages.size(), 1);
        const PdfPage& page = pdf.pages.first();
        QVERIFY2(
            qAbs(page.size.width() - pageSize.width()) < 1 &&
                qAbs(page.size.height() - pageSize.height()) < 1,
            qPrintable(QStringLiteral("%1 x %2").arg(page.size.width()).arg(page.size.height())));
        const QStringList words = pdf.words();
        for (const char* text : {"长城车马汽修厂汽车维修保养单",
                                 "地址：长春市马场路18号",
                                 "电话：0431-88886666",
                                 "[单号]",
                                 "20261206-0001",
                                 "[开单日期]",
                                 "2026-12-06",
                                 "[客户姓名]",
                                 "马龙飞",
                                 "[车牌号]",
                                 "吉A88B66",
                                 "[车型]",
                                 "长城哈弗H6",
                                 "[联系电话]",
                                 "13912345678",
                                 "[合",
                                 "1235140.89",
                                 "[维修时间]",
                                 "14:05:09",
                                 "[维修技师]",
                                 "黄长风",
                                 "[操作人]",
                                 "齐鸣",
                                 "[下次保养日期]",
                                 "2027-03-06",
                                 "客户签字："}) {
            QVERIFY2(words.contains(QString::fromUtf8(text)), text);
        }

        // At its own size: 10 mm in, the slip's width across the page.
        const double margin = 10 / 25.4 * 72;
        const PdfWord* number = FindWord(page, QStringLiteral("[单号]"));
        QVERIFY(number);
        QVERIFY2(qAbs(number->box.left() - (margin + 360 / 20.0)) < 1.5,
                 qPrintable(QString::number(number->box.left())));

        // Each numeric column ends at one right edge: with two decimals everywhere, the points
        // stand under each other.
        const QRectF slipRect = FitSlipToPage(
            QRectF(margin, margin, pageSize.width() - 2 * margin, pageSize.height() - 2 * margin),
            1.0 / 20);
        for (const QString& column :
             {QStringLiteral("数量"), QStringLiteral("单价"), QStringLiteral("金额")}) {
            QList<double> rights;
            for (int row = 1; row <= 6; ++row) {
                const QString role =
                    QStringLiteral("第%1行 %2").arg(row, 2, 10, QLatin1Char('0')).arg(column);
                const PdfWord* word = WordFor(page, slip, role, slipRect);
                QVERIFY2(word, qPrintable(role));
                rights << word->box.right();
            }
            const auto [low, high] = std::minmax_element(rights.begin(), rights.end());
            QVERIFY2(*high - *low < 0.6,
                     qPrintable(QStringLiteral("%1: %2 to %3").arg(column).arg(*low).arg(*high)));
        }
        const PdfWord* total = WordFor(page, slip, QStringLiteral("合计"), slipRect);
        const PdfWord* amount = WordFor(page, slip, QStringLiteral("第02行 金额"), slipRect);
        QVERIFY(total && amount);
        QVERIFY2(qAbs(total->box.right() - amount->box.right()) < 0.6, "total under the amounts");
        QVERIFY(total->box.top() > amount->box.top());
        // The slip ends within the page: the whole of it, signature line included.
        const PdfWord* signature = FindWord(page, QStringLiteral("客户签字："));
        QVERIFY(signature);
        QVERIFY(signature->box.bottom() < pageSize.height() - margin);
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
        // Shrunk, the long amount still ends where the others do.
        const PdfWord* other = FindWord(page, slip.lines[1].amount);
        QVERIFY(other);
        QVERIFY(qAbs(amount->box.right() - other->box.right()) < 0.6);
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
