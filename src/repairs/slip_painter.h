#pragma once

#include <QList>
#include <QRectF>
#include <QString>

#include "repairs/slip.h"

class QPainter;
class QPrinter;

// The slip is laid out in twips (1/1440 inch, 1/20 point) on an area of this size.
inline constexpr double kSlipWidthTwips = 12465;
inline constexpr double kSlipHeightTwips = 6345;

// One text on the slip: a printed heading such as "[单号]" or one of the slip's values.
struct SlipText {
    QString text;
    // What a value is, for screen readers ("单号", "第01行 项目名称"); empty for a heading.
    QString role;
    // In twips: the left and top where the text starts, the room it may fill before it would
    // run into its neighbour, and its line height.
    QRectF box;
    bool centred = false;
    // The font size in twips; a text wider than its room is drawn smaller.
    double size = 0;
};

// Every text the slip shows, headings and values, in reading order. The count and order never
// change, so a value's place in the list identifies it; an empty value has an empty text.
QList<SlipText> SlipTexts(const Slip& slip);

// The face the slip is drawn with: a Song face when installed, a plain Hei face otherwise.
// Both map their glyphs back to the characters drawn, so a printed PDF reads true.
QString SlipFontFamily();

// The rectangle a slip drawn into `area` fills: as large as fits with its proportions kept, but
// at most `maxScale` device units per twip, at the area's top-left corner.
QRectF FitSlip(const QRectF& area, double maxScale);

// Where a text of the slip lies on the device when the slip fills `slipRect`.
QRectF SlipTextRect(const SlipText& text, const QRectF& slipRect);

// Draws the slip onto the painter's device, stretched over `slipRect` (get it from FitSlip).
// Nothing is drawn behind the texts.
void PaintSlip(QPainter& painter, const Slip& slip, const QRectF& slipRect);

// Prints the slip as one page: at its own size where the paper is wide enough, otherwise
// scaled down to the printable width. False when the printer cannot start or reports an error.
bool PrintSlip(const Slip& slip, QPrinter& printer);
