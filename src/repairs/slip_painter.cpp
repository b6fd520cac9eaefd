#include "repairs/slip_painter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

#include "ui/fonts.h"

namespace {

constexpr double kTwipsPerInch = 1440;
constexpr double kTwipsPerPoint = 20;

constexpr double kTitleSize = 18 * kTwipsPerPoint;
constexpr double kTextSize = 10.5 * kTwipsPerPoint;
constexpr double kLineSpacing = 1.4;

constexpr double kLineTops[Slip::kLineCount] = {2025, 2415, 2820, 3210, 3615, 4005, 4410};
constexpr double kRowNumberLeft = 360;
constexpr double kRowNumberRoom = 280;

// The title is centred on the place the layout gives it and may widen to the slip's edges.
constexpr double kTitleCentre = 4590 + 3570 / 2.0;
constexpr double kTitleTop = 285;

struct Column {
    const char16_t* heading;
    double headingLeft;
    const char16_t* role;
    double left;
    double room;
};
// Each value may fill the room up to the next column, less a gap that keeps neighbouring
// texts apart as separate words.
constexpr Column kColumns[] = {
    {u"[项目名称]", 660, u"项目名称", 660, 2565},
    {u"[项目说明]", 3330, u"项目说明", 3345, 4875},
    {u"[数  量]", 7650, u"数量", 8340, 1545},
    {u"[单  价]", 9330, u"单价", 10005, 1425},
    {u"[金  额]", 10875, u"金额", 11550, kSlipWidthTwips - 11550},
};
constexpr double kColumnHeadingTop = 1530;
constexpr double kHeadingRoom = 1300;

SlipText Text(const QString& text, const QString& role, double left, double top, double room,
              double size = kTextSize) {
    return SlipText{text, role, QRectF(left, top, room, size * kLineSpacing), false, size};
}

SlipText Heading(const char16_t* text, double left, double top) {
    return Text(QString::fromUtf16(text), QString(), left, top, kHeadingRoom);
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

}  // namespace

QList<SlipText> SlipTexts(const Slip& slip) {
    QList<SlipText> texts;
    const double titleRoom = 2 * std::min(kTitleCentre, kSlipWidthTwips - kTitleCentre);
    SlipText title = Text(slip.title, QStringLiteral("标题"), kTitleCentre - titleRoom / 2,
                          kTitleTop, titleRoom, kTitleSize);
    title.centred = true;
    texts << title;

    texts << Heading(u"[单号]", 645, 1050)
          << Text(slip.orderNumber, QStringLiteral("单号"), 1560, 1050, 7770)
          << Heading(u"[客户姓名]", 9450, 1050)
          << Text(slip.owner, QStringLiteral("客户姓名"), 10875, 1050, kSlipWidthTwips - 10875);

    for (const Column& column : kColumns) {
        texts << Heading(column.heading, column.headingLeft, kColumnHeadingTop);
    }
    for (int row = 0; row < Slip::kLineCount; ++row) {
        const QString number = RowNumber(row);
        texts << Text(number, QString(), kRowNumberLeft, kLineTops[row], kRowNumberRoom);
        for (int col = 0; col < static_cast<int>(std::size(kColumns)); ++col) {
            const Column& column = kColumns[col];
            texts << Text(LineField(slip.lines[row], col),
                          QStringLiteral("第%1行 %2").arg(number, QString::fromUtf16(column.role)),
                          column.left, kLineTops[row], column.room);
        }
    }

    texts << Heading(u"[合  计]", 660, 4980)
          << Text(slip.total, QStringLiteral("合计"), 11490, 4935, kSlipWidthTwips - 11490)
          << Heading(u"[维修时间]", 660, 5475)
          << Text(slip.dateTime, QStringLiteral("维修时间"), 2190, 5475, 4470)
          << Heading(u"[维修技师]", 6780, 5475)
          << Text(slip.technician, QStringLiteral("维修技师"), 8310, 5475, 1065)
          << Heading(u"[操作人]", 9495, 5475)
          << Text(slip.operatorName, QStringLiteral("操作人"), 10890, 5475,
                  kSlipWidthTwips - 10890);
    return texts;
}

QString SlipFontFamily() {
    // Faces whose glyphs each serve one character: with a face that shares a glyph between a
    // character and its radical form, a PDF would give back the radical ("⻋" for "车").
    static const QString family = [] {
        for (const QString& name :
             {QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")}) {
            if (QFontDatabase::hasFamily(name)) {
                return name;
            }
        }
        return ui::ChineseFamily();
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

QRectF SlipTextRect(const SlipText& text, const QRectF& slipRect) {
    const double sx = slipRect.width() / kSlipWidthTwips;
    const double sy = slipRect.height() / kSlipHeightTwips;
    return QRectF(slipRect.left() + text.box.left() * sx, slipRect.top() + text.box.top() * sy,
                  text.box.width() * sx, text.box.height() * sy);
}

void PaintSlip(QPainter& painter, const Slip& slip, const QRectF& slipRect) {
    QPaintDevice* device = painter.device();
    if (!device || slipRect.isEmpty()) {
        return;
    }
    // Fonts are sized in points of the device, so the text is laid out by the device itself
    // rather than stretched by a transformation.
    const double scale = slipRect.height() / kSlipHeightTwips;
    const double pointsPerUnit = 72.0 / device->logicalDpiY();

    painter.save();
    painter.setPen(Qt::black);
    for (const SlipText& text : SlipTexts(slip)) {
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
        const int flags = (text.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop |
                          Qt::TextSingleLine | Qt::TextDontClip;
        painter.drawText(box, flags, text.text);
    }
    painter.restore();
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
    PaintSlip(painter, slip, FitSlip(area, printer.resolution() / kTwipsPerInch));
    return painter.end() && printer.printerState() != QPrinter::Error;
}
