#pragma once

#include <QLineF>
#include <QList>
#include <QRectF>
#include <QString>

#include "printing/printer_record.h"
#include "repairs/slip.h"

class QPainter;
class QPrinter;

// The slip is laid out in twips (1/1440 inch, 1/20 point) on an area of this size: the width of
// an A4 page and the height of an A5 page turned sideways, each less 10 mm margins, so it
// prints at its own size on either.
inline constexpr double kSlipWidthTwips = 10770;
inline constexpr double kSlipHeightTwips = 7250;

// How a text stands in its room: numbers end at their column's right edge, so that with the
// same number of decimals their points line up.
enum class SlipAlign { Left, Centre, Right };

// One text on the slip: a printed heading such as "[单号]" or one of the slip's values.
struct SlipText {
    QString text;
    // What a value is, for screen readers ("单号", "第01行 项目名称"); empty for a heading.
    QString role;
    // In twips: the left and top of the room the text may fill before it would run into its
    // neighbour, its width, and the text's line height.
    QRectF box;
    SlipAlign align = SlipAlign::Left;
    // The font size in twips; a text wider than its room is drawn smaller.
    double size = 0;
};

// Every text the slip shows, headings and values, in reading order. The count and order never
// change, so a value's place in the list identifies it; an empty value has an empty text, and so
// has the number of a line below the last one filled in. Laid out `height` twips high (at least
// kSlipHeightTwips): a taller page gives the lines and the space above the signature more room.
QList<SlipText> SlipTexts(const Slip& slip, double height = kSlipHeightTwips);

// The line the customer signs on, after "客户签字：", in twips.
QLineF SlipSignatureLine(double height = kSlipHeightTwips);

// How high, in twips, the slip filling `slipRect` is laid out.
double SlipLayoutHeight(const QRectF& slipRect);

// The face the slip is drawn with: a Song face when installed, a plain Hei face otherwise.
// Both map their glyphs back to the characters drawn, so a printed PDF reads true.
QString SlipFontFamily();

// The rectangle a slip drawn into `area` fills: as large as fits with its proportions kept, but
// at most `maxScale` device units per twip, at the area's top-left corner.
QRectF FitSlip(const QRectF& area, double maxScale);
// The same on paper: as wide, and as tall as the page allows, up to twice the slip's own height,
// so a slip on A4 uses its page instead of the top half of it.
QRectF FitSlipToPage(const QRectF& area, double maxScale);

// Where a text of the slip lies on the device when the slip fills `slipRect`.
QRectF SlipTextRect(const SlipText& text, const QRectF& slipRect);

// Draws the slip onto the painter's device, stretched over `slipRect` (get it from FitSlip).
// Nothing is drawn behind the texts.
void PaintSlip(QPainter& painter, const Slip& slip, const QRectF& slipRect);

// Sets the printer's page for the slip: the paper chosen, with 10 mm margins where the printer
// allows them.
void SetSlipPage(QPrinter& printer, SlipPaper paper);

// Prints the slip as one page at the top of the printable area: at its own size where the page
// is large enough, otherwise scaled down to fit. False when the printer cannot start or reports
// an error.
bool PrintSlip(const Slip& slip, QPrinter& printer);
