#pragma once

#include <QStringList>

class QComboBox;

namespace ui {
class Grid;
}

// Cells of a shown grid whose text its column cannot show whole in the font it is drawn with,
// each as "row 3, column 2: 20261201-001"; empty when every text fits.
QStringList CutGridCells(const ui::Grid& grid);

// Entries of a combo box that its opened list cannot show whole, by their text. Opens the list
// and closes it again.
QStringList CutComboItems(QComboBox& combo);
