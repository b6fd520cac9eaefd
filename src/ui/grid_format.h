#pragma once

#include <QColor>
#include <QString>
#include <Qt>
#include <cstdint>

namespace ui {

// A rectangle of cells, both corners inclusive.
struct GridRange {
    int row1 = 0;
    int col1 = 0;
    int row2 = 0;
    int col2 = 0;

    GridRange normalized() const;
    bool contains(int row, int col) const {
        return row >= row1 && row <= row2 && col >= col1 && col <= col2;
    }
    bool intersects(const GridRange& other) const;
    bool isSingleCell() const { return row1 == row2 && col1 == col2; }
    bool operator==(const GridRange&) const = default;
};

enum class BorderStyle : std::uint8_t { None, Thin, Thick };

// Edges a border call can set; the inside ones run between the cells of a range.
enum class GridEdge { Left, Top, Right, Bottom, InsideVertical, InsideHorizontal };

struct CellFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;  // a row that no longer counts, as a voided order
    bool wrap = false;
    bool locked = false;
    QString fontName;     // empty: the grid font
    double fontSize = 0;  // 0: the grid font size, in points
    QColor textColor;     // invalid: default text colour
    QColor backColor;     // invalid: the grid's background for the cell
    int alignment = 0;    // alignment code, 0: the column's alignment
    BorderStyle left = BorderStyle::None;
    BorderStyle top = BorderStyle::None;
    BorderStyle right = BorderStyle::None;
    BorderStyle bottom = BorderStyle::None;

    bool hasFont() const {
        return bold || italic || underline || strikeOut || !fontName.isEmpty() || fontSize > 0;
    }
    bool operator==(const CellFormat&) const = default;
};

// Alignment codes used by the windows: 5-7 left, 9-11 centred, 13-15 right; within each
// group top, centre, bottom. Any other code gives left and vertically centred text.
Qt::Alignment AlignmentFromCode(int code);
bool IsAlignmentCode(int code);

}  // namespace ui
