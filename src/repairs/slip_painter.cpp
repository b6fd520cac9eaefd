#include "repairs/slip_painter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <QStringList>
#include <algorithm>
#include <iterator>

#include "ui/fonts.h"

namespace {

constexpr double kTwipsPerInch = 1440;
constexpr double kTwipsPerPoint = 20;
constexpr double kPageMarginMm = 10;

constexpr double kTitleSize = 18 * kTwipsPerPoint;
constexpr double kShopSize = 9 * kTwipsPerPoint;
constexpr double kTextSize = 10.5 * kTwipsPerPoint;
constexpr double kLineSpacing = 1.4;

constexpr double kLeft = 360;
constexpr double kRight = kSlipWidthTwips - 120;
constexpr double kTitleTop = 100;
constexpr double kShopTop = 640;

// The header fields stand in three columns of heading and value, two rows of them, and the
// footer's three in the same columns.
constexpr double kFieldLefts[] = {kLeft, 3900, 7250};
constexpr double kValueIndent = 1250;
constexpr double kFieldGap = 100;
constexpr double kHeaderTops[] = {1060, 1420};
constexpr double kFooterTop = 5400;

constexpr double kColumnHeadingTop = 1880;
constexpr double kFirstLineTop = 2260;
constexpr double kLinePitch = 370;
constexpr double kRowNumberRoom = 280;
constexpr double kTotalTop = 4930;
constexpr double kSignatureTop = 6150;
constexpr double kSignatureLeft = 6300;
constexpr double kHeadingRoom = 1300;
// The signature line starts after its heading and rests under the heading's text.
constexpr double kSignatureLineLeft = kSignatureLeft + 1250;
constexpr double kSignatureLineDrop = 330;
// The next service date stands on the total's line, in the description's column.
constexpr double kNextServiceLeft = 3060;
constexpr double kNextServiceIndent = 1700;
constexpr double kNextServiceRight = 6400;
// Of the height a taller page adds, the lines take this share; the rest goes above the footer.
constexpr double kLinesShareOfExtra = 0.5;
constexpr double kMostStretch = 2.0;

struct Column {
    const char16_t* heading;
    const char16_t* role;
    double left;
    double right;
    SlipAlign align;
};
// Each value may fill the room up to the next column, less a gap that keeps neighbouring
// texts apart as separate words. Numbers and their headings end at the column's right edge.
constexpr Column kColumns[] = {
    {u"[项目名称]", u"项目名称", 660, 2960, SlipAlign::Left},
    {u"[项目说明]", u"项目说明", 3060, 6400, SlipAlign::Left},
    {u"[数  量]", u"数量", 6500, 7500, SlipAlign::Right},
    {u"[单  价]", u"单价", 7650, 8950, SlipAlign::Right},
    {u"[金  额]", u"金额", 9100, kRight, SlipAlign::Right},
};

SlipText Text(const QString& text, const QString& role, double left, double top, double room,
              SlipAlign align = SlipAlign::Left, double size = kTextSize) {
    return SlipText{text, role, QRectF(left, top, room, size * kLineSpacing), align, size};
}

SlipText Heading(const QString& text, double left, double top, SlipAlign align = SlipAlign::Left,
                 double room = kHeadingRoom) {
    return Text(text, QString(), left, top, room, align);
}

QString LineField(const SlipLine& line, int column) {
    switch (column) {
        case 0:
            return line.item;
        case 1:
            return line.description;
        case 2:
            return line.quantity;
        case 3:
            return line.unitPrice;
        default:
            return line.amount;
    }
}

QString RowNumber(int row) {
    return QStringLiteral("%1").arg(row + 1, 2, 10, QLatin1Char('0'));
}

// The shop's address and telephone on one line under the title; a part not filled in is left
// out.
QString ShopLine(const Slip& slip) {
    QStringList parts;
    if (!slip.shopAddress.trimmed().isEmpty()) {
        parts << QStringLiteral("地址：") + slip.shopAddress.trimmed();
    }
    if (!slip.shopTelephone.trimmed().isEmpty()) {
        parts << QStringLiteral("电话：") + slip.shopTelephone.trimmed();
    }
    return parts.join(QStringLiteral("    "));
}

// One heading and its value in column `column` (0 to 2) of a row of fields.
void AddField(QList<SlipText>& texts, int column, double top, const QString& heading,
              const QString& value, const QString& role) {
    const double left = kFieldLefts[column];
    const double next =
        column + 1 < int(std::size(kFieldLefts)) ? kFieldLefts[column + 1] : kSlipWidthTwips;
    texts << Heading(heading, left, top)
          << Text(value, role, left + kValueIndent, top, next - kFieldGap - left - kValueIndent);
}

// Where the parts below the headings move on a slip laid out taller than its own height.
struct Stretch {
    double linePitch = kLinePitch;
    double belowLines = 0;  // added to the total's top
    double belowTotal = 0;  // added to the footer's and the signature's top
};

Stretch StretchFor(double height) {
    const double extra =
        std::clamp(height, kSlipHeightTwips, kSlipHeightTwips * kMostStretch) - kSlipHeightTwips;
    Stretch stretch;
    const double forLines = extra * kLinesShareOfExtra;
    stretch.linePitch = kLinePitch + forLines / Slip::kLineCount;
    stretch.belowLines = forLines;
    stretch.belowTotal = extra;
    return stretch;
}

// The lines up to the last one that holds anything.
int FilledLines(const Slip& slip) {
    for (int row = Slip::kLineCount; row > 0; --row) {
        const SlipLine& line = slip.lines[row - 1];
        if (!(line.item + line.description + line.quantity + line.unitPrice + line.amount)
                 .trimmed()
                 .isEmpty()) {
            return row;
        }
    }
    return 0;
}

}  // namespace

QLineF SlipSignatureLine(double height) {
    const double top = kSignatureTop + StretchFor(height).belowTotal + kSignatureLineDrop;
    return QLineF(kSignatureLineLeft, top, kRight, top);
}

double SlipLayoutHeight(const QRectF& slipRect) {
    return slipRect.width() > 0 ? kSlipWidthTwips * slipRect.height() / slipRect.width()
                                : kSlipHeightTwips;
}

QList<SlipText> SlipTexts(const Slip& slip, double height) {
    const Stretch stretch = StretchFor(height);
    const int filled = FilledLines(slip);
    QList<SlipText> texts;
    texts << Text(slip.title, QStringLiteral("标题"), 0, kTitleTop, kSlipWidthTwips,
                  SlipAlign::Centre, kTitleSize)
          << Text(ShopLine(slip), QStringLiteral("店铺地址和电话"), 0, kShopTop, kSlipWidthTwips,
                  SlipAlign::Centre, kShopSize);

    AddField(texts, 0, kHeaderTops[0], QStringLiteral("[单号]"), slip.orderNumber,
             QStringLiteral("单号"));
    AddField(texts, 1, kHeaderTops[0], QStringLiteral("[开单日期]"), slip.orderDate,
             QStringLiteral("开单日期"));
    AddField(texts, 2, kHeaderTops[0], QStringLiteral("[客户姓名]"), slip.owner,
             QStringLiteral("客户姓名"));
    AddField(texts, 0, kHeaderTops[1], QStringLiteral("[车牌号]"), slip.plate,
             QStringLiteral("车牌号"));
    AddField(texts, 1, kHeaderTops[1], QStringLiteral("[车型]"), slip.model,
             QStringLiteral("车型"));
    AddField(texts, 2, kHeaderTops[1], QStringLiteral("[联系电话]"), slip.telephone,
             QStringLiteral("联系电话"));

    for (const Column& column : kColumns) {
        texts << Heading(QString::fromUtf16(column.heading), column.left, kColumnHeadingTop,
                         column.align, column.right - column.left);
    }
    for (int row = 0; row < Slip::kLineCount; ++row) {
        const QString number = RowNumber(row);
        const double top = kFirstLineTop + row * stretch.linePitch;
        // A numbered row nobody filled in would invite writing on the slip after it was signed.
        texts << Text(row < filled ? number : QString(), QString(), kLeft, top, kRowNumberRoom);
        for (int col = 0; col < static_cast<int>(std::size(kColumns)); ++col) {
            const Column& column = kColumns[col];
            texts << Text(LineField(slip.lines[row], col),
                          QStringLiteral("第%1行 %2").arg(number, QString::fromUtf16(column.role)),
                          column.left, top, column.right - column.left, column.align);
        }
    }

    const Column& amounts = kColumns[std::size(kColumns) - 1];
    const double totalTop = kTotalTop + stretch.belowLines;
    texts << Heading(QStringLiteral("[合  计]"), kColumns[0].left, totalTop)
          << Heading(QStringLiteral("[下次保养日期]"), kNextServiceLeft, totalTop, SlipAlign::Left,
                     kNextServiceIndent)
          << Text(slip.nextReminder, QStringLiteral("下次保养日期"),
                  kNextServiceLeft + kNextServiceIndent, totalTop,
                  kNextServiceRight - kNextServiceLeft - kNextServiceIndent)
          << Text(slip.total, QStringLiteral("合计"), kColumns[2].left, totalTop,
                  amounts.right - kColumns[2].left, SlipAlign::Right);

    const double footerTop = kFooterTop + stretch.belowTotal;
    AddField(texts, 0, footerTop, QStringLiteral("[维修时间]"), slip.dateTime,
             QStringLiteral("维修时间"));
    AddField(texts, 1, footerTop, QStringLiteral("[维修技师]"), slip.technician,
             QStringLiteral("维修技师"));
    AddField(texts, 2, footerTop, QStringLiteral("[操作人]"), slip.operatorName,
             QStringLiteral("操作人"));
    texts << Heading(QStringLiteral("客户签字："), kSignatureLeft,
                     kSignatureTop + stretch.belowTotal);
    return texts;
}

QString SlipFontFamily() {
    // Faces whose glyphs each serve one character: with a face that shares a glyph between a
    // character and its radical form, a PDF would give back the radical ("⻋" for "车").
    static const QString family = [] {
        // Asked first, as it loads the fonts shipped with the program.
        const QString fallback = ui::ChineseFamily();
        for (const QString& name :
             {QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")}) {
            if (QFontDatabase::hasFamily(name)) {
                return name;
            }
        }
        return fallback;
    }();
    return family;
}

QRectF FitSlip(const QRectF& area, double maxScale) {
    const double scale =
        std::min({maxScale, area.width() / kSlipWidthTwips, area.height() / kSlipHeightTwips});
    if (scale <= 0) {
        return QRectF(area.topLeft(), QSizeF(0, 0));
    }
    return QRectF(area.topLeft(), QSizeF(kSlipWidthTwips * scale, kSlipHeightTwips * scale));
}

QRectF FitSlipToPage(const QRectF& area, double maxScale) {
    const QRectF own = FitSlip(area, maxScale);
    if (own.isEmpty()) {
        return own;
    }
    const double scale = own.width() / kSlipWidthTwips;
    const double height = std::min(area.height(), kSlipHeightTwips * kMostStretch * scale);
    return QRectF(own.topLeft(), QSizeF(own.width(), std::max(height, own.height())));
}

QRectF SlipTextRect(const SlipText& text, const QRectF& slipRect) {
    // The same scale both ways: a taller slip is laid out taller, never stretched.
    const double scale = slipRect.width() / kSlipWidthTwips;
    return QRectF(slipRect.left() + text.box.left() * scale,
                  slipRect.top() + text.box.top() * scale, text.box.width() * scale,
                  text.box.height() * scale);
}

void PaintSlip(QPainter& painter, const Slip& slip, const QRectF& slipRect) {
    QPaintDevice* device = painter.device();
    if (!device || slipRect.isEmpty()) {
        return;
    }
    // Fonts are sized in points of the device, so the text is laid out by the device itself
    // rather than stretched by a transformation.
    const double scale = slipRect.width() / kSlipWidthTwips;
    const double pointsPerUnit = 72.0 / device->logicalDpiY();
    const double height = SlipLayoutHeight(slipRect);

    painter.save();
    painter.setPen(QPen(Qt::black, std::max(1.0, 15 * scale)));
    const QLineF signature = SlipSignatureLine(height);
    painter.drawLine(QLineF(slipRect.topLeft() + signature.p1() * scale,
                            slipRect.topLeft() + signature.p2() * scale));
    for (const SlipText& text : SlipTexts(slip, height)) {
        if (text.text.isEmpty()) {
            continue;
        }
        const QRectF box = SlipTextRect(text, slipRect);
        QFont font(SlipFontFamily());
        font.setPointSizeF(text.size * scale * pointsPerUnit);
        const double width = QFontMetricsF(font, device).horizontalAdvance(text.text);
        if (width > box.width()) {
            font.setPointSizeF(font.pointSizeF() * box.width() / width * 0.98);
        }
        painter.setFont(font);
        const Qt::Alignment horizontal = text.align == SlipAlign::Centre  ? Qt::AlignHCenter
                                         : text.align == SlipAlign::Right ? Qt::AlignRight
                                                                          : Qt::AlignLeft;
        const int flags = horizontal | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
        painter.drawText(box, flags, text.text);
    }
    painter.restore();
}

void SetSlipPage(QPrinter& printer, SlipPaper paper) {
    const bool a5 = paper == SlipPaper::A5Landscape;
    const QMarginsF margins(kPageMarginMm, kPageMarginMm, kPageMarginMm, kPageMarginMm);
    const QPageLayout layout(QPageSize(a5 ? QPageSize::A5 : QPageSize::A4),
                             a5 ? QPageLayout::Landscape : QPageLayout::Portrait, margins,
                             QPageLayout::Millimeter);
    // A printer whose margins cannot be that narrow keeps its own; the slip then shrinks.
    if (!printer.setPageLayout(layout)) {
        printer.setPageSize(layout.pageSize());
        printer.setPageOrientation(layout.orientation());
    }
}

bool PrintSlip(const Slip& slip, QPrinter& printer) {
    printer.setDocName(slip.title);
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    // The painter's origin is the printable area's corner unless the printer prints the full page.
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const QRectF area = printer.fullPage() ? page : QRectF(QPointF(0, 0), page.size());
    PaintSlip(painter, slip, FitSlipToPage(area, printer.resolution() / kTwipsPerInch));
    return painter.end() && printer.printerState() != QPrinter::Error;
}
