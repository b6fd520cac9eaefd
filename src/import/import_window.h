#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "import/customer_import.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class ProblemList;

namespace ui {
class BusyIndicator;
class Grid;
}  // namespace ui

// frmDemo2: a sheet of customers brought in from a workbook, corrected and formatted there,
// audited and imported. The sheet fills the window; its commands are in the menus.
class ImportWindow : public QWidget {
    Q_OBJECT

public:
    explicit ImportWindow(QWidget* parent = nullptr);

    ui::Grid* grid1;
    ui::BusyIndicator* picLOAD;
    QListWidget* lstFont;  // the installed fonts the font-name menu offers; never shown
    // Under the sheet once a workbook is read: the rows read, the worksheet they come from and
    // the rows above the data that were left out.
    QLabel* statusLine;
    // Under the status line after an audit or a refused import: every problem found.
    ProblemList* problems;
    QMenuBar* menuBar;

    QMenu* mnuFile;
    QAction* mnuNewFile;
    QAction* mnuOpen;
    QAction* mnuSave;
    QAction* menuExceltoExport;
    QAction* menusjsh;
    QAction* mnuExportToExcel;
    // Saves the rows the last import left out, with their reasons, as a workbook.
    QAction* mnuExportSkipped;
    QAction* mnuQuit;

    QMenu* mnuAction;
    std::vector<QAction*> mnuSetFontName;
    std::array<QAction*, 9> mnuSetFontSize{};
    QAction* mnuSetFont_B;
    QAction* mnuSetFont_I;
    QAction* mnuSetFont_U;
    QAction* mnuSetTextColor_Red;
    QAction* mnuSetTextColor_Green;
    QAction* mnuSetTextColor_Blue;
    QAction* mnuSetTextColor_Black;
    QAction* mnuSetBackColor_Red;
    QAction* mnuSetBackColor_Green;
    QAction* mnuSetBackColor_Blue;
    QAction* mnuSetBackColor_Grey;
    QAction* mnuSetBackColor_White;
    QAction* mnuSetAlignment_LeftTop;
    QAction* mnuSetAlignment_LeftCenter;
    QAction* mnuSetAlignment_LeftBottom;
    QAction* mnuSetAlignment_CenterTop;
    QAction* mnuSetAlignment_CenterCenter;
    QAction* mnuSetAlignment_CenterBottom;
    QAction* mnuSetAlignment_RightTop;
    QAction* mnuSetAlignment_RightCenter;
    QAction* mnuSetAlignment_RightBottom;
    std::array<QAction*, 9> mnuSetBorder{};
    QAction* mnuCancelBorder;
    QAction* mnuSetWrapText;
    QAction* mnuCancelWrapText;
    QAction* mnuLockCell;
    QAction* mnuCancelLockCell;
    QAction* mnuClearAll;
    QAction* mnuClearFormat;
    QAction* mnuClearText;
    QAction* mnuInsertRows;
    QAction* mnuInsertCols;
    QAction* mnuDeleteByRow;
    QAction* mnuDeleteByCol;
    QAction* mnuSetRows;
    QAction* mnuSetCols;

    QMenu* menusm;
    QAction* menudrgssm;

    void Form_Load();
    void mnuNewFile_Click();
    void mnuOpen_Click();
    void mnuSave_Click();
    void menuExceltoExport_Click();
    void menusjsh_Click();
    void mnuExportToExcel_Click();
    void mnuExportSkipped_Click();
    void mnuQuit_Click();
    void menudrgssm_Click();
    void mnuSetFontName_Click(int index);
    void mnuSetFontSize_Click(int index);
    void mnuSetBorder_Click(int index);
    void mnuCancelBorder_Click();
    void mnuSetRows_Click();
    void mnuSetCols_Click();

private:
    void buildFileMenu();
    void buildActionMenu();
    void buildFontMenu(QMenu* parent);
    QAction* addAction(QMenu* menu, const QString& name, const QString& caption);
    // Positions the sheet on a customer row, counted from 1, for the message about it.
    void showRow(qsizetype row);
    // Asks for a row or column count and applies it.
    void askCount(const QString& prompt, int current, void (ui::Grid::*apply)(int));

    std::vector<SkippedRow> skippedRows_;
};
