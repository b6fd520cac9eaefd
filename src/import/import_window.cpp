#include "import/import_window.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QVBoxLayout>

#include "import/audit.h"
#include "import/customer_import.h"
#include "import/import_help_window.h"
#include "import/problem_list.h"
#include "import/sheet_builder.h"
#include "import/sheet_commands.h"
#include "import/sheet_file.h"
#include "import/sheet_grid.h"
#include "import/sheet_size.h"
#include "ui/busy_indicator.h"
#include "ui/file_dialog.h"
#include "ui/grid.h"
#include "ui/input_box.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"
#include "ui/work_progress.h"

namespace {

using namespace sheet_commands;

const QString kTitle = QStringLiteral("数据导入");
const QString kAppTitle = QStringLiteral("Ruvaso汽车维修保养客户管理系统");
const QString kWorkbookCaption = QStringLiteral("请选择文件");
const QString kWorkbookFilter = QStringLiteral(
    "所有Microsoft Office Excel 文件 (*.xls *.xlsx *.ods *.csv *.tsv *.txt *.htm *.html *.xml)");
const QString kSheetFilter = QStringLiteral("表格文件 (*.rvs)");
const QString kSheetSuffix = QStringLiteral("rvs");
const QString kCannotRead = QStringLiteral("无法读取文件：");
const QString kCannotOpenSheet = QStringLiteral("无法打开表格文件：");
const QString kCannotSave = QStringLiteral("保存失败：");
const QString kSaved = QStringLiteral("保存成功。");
const QString kSavedTitle = QStringLiteral("提示");
const QString kAudited = QStringLiteral("审核成功，可以导入数据库中！");
const QString kImported = QStringLiteral("导入成功！");
const QString kExportSkipped = QStringLiteral("导出跳过的行");
const QString kSkippedFileName = QStringLiteral("跳过的行.xlsx");
const QString kSkippedFilter = QStringLiteral("Excel 工作簿 (*.xlsx)");
const QString kExportFailed = QStringLiteral("导出失败：");
const QString kExported = QStringLiteral("跳过的行已导出到：");
const QString kImportCancelled = QStringLiteral("导入已取消，没有导入任何数据。");
const QString kTooManyRows = QStringLiteral("表格超过 %1 行，无法审核或导入。");
const QString kRowsRead = QStringLiteral("已读取 %1 行");
const QString kSheetRead = QStringLiteral("，取自工作表“%1”（工作簿中共有 %2 个工作表）");
const QString kHeadingSkipped = QStringLiteral("，跳过了表头行");
const QString kTitleSkipped = QStringLiteral("，跳过了数据上方的 %1 行（标题 %2 行和表头行）");
const QString kByHeading = QStringLiteral("，按表头中的列名读取");
const QString kIgnoredColumns = QStringLiteral("，忽略了不认识的列：%1");
const QString kRowsPrompt = QStringLiteral("请输入行数（范围1~10,000,000）：");
const QString kColsPrompt = QStringLiteral("请输入列数（范围1~10,000,000）：");

constexpr std::array<int, 9> kFontSizes = {8, 9, 10, 12, 14, 16, 18, 24, 36};
// Rows between two progress reports while a workbook fills the sheet.
constexpr qsizetype kFillStep = 256;

struct BorderEntry {
    const char16_t* caption;
    std::vector<ui::GridEdge> edges;
    ui::BorderStyle style;
};
using E = ui::GridEdge;
const BorderEntry kBorders[] = {
    {u"上边框", {E::Top}, ui::BorderStyle::Thin},
    {u"下边框", {E::Bottom}, ui::BorderStyle::Thin},
    {u"左边框", {E::Left}, ui::BorderStyle::Thin},
    {u"右边框", {E::Right}, ui::BorderStyle::Thin},
    {u"内部水平框线", {E::InsideHorizontal}, ui::BorderStyle::Thin},
    {u"内部垂直框线", {E::InsideVertical}, ui::BorderStyle::Thin},
    {u"内部框线", {E::InsideHorizontal, E::InsideVertical}, ui::BorderStyle::Thin},
    {u"外框（细）", {E::Left, E::Right, E::Top, E::Bottom}, ui::BorderStyle::Thin},
    {u"外框（粗）", {E::Left, E::Right, E::Top, E::Bottom}, ui::BorderStyle::Thick},
};

// The status line after a workbook is read: which worksheet, when there was a choice, and which
// rows above the data were left out, so the shop can see nothing was lost.
QString StatusText(const SheetFile& file) {
    QString text = kRowsRead.arg(file.rows.size());
    if (file.worksheets > 1) {
        text += kSheetRead.arg(file.sheetName).arg(file.worksheets);
    }
    if (file.skippedAbove == 1) {
        text += kHeadingSkipped;
    } else if (file.skippedAbove > 1) {
        text += kTitleSkipped.arg(file.skippedAbove).arg(file.skippedAbove - 1);
    }
    if (file.byHeading) {
        text += kByHeading;
    }
    if (!file.ignoredColumns.isEmpty()) {
        text += kIgnoredColumns.arg(file.ignoredColumns.join(QStringLiteral("、")));
    }
    return text + QStringLiteral("。");
}

}  // namespace

ImportWindow::ImportWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      grid1(ui::Named(new ui::Grid(this), QStringLiteral("grid1"))),
      picLOAD(new ui::BusyIndicator(this)),
      lstFont(ui::Named(new QListWidget(this), QStringLiteral("lstFont"))),
      statusLine(ui::Named(new QLabel(this), QStringLiteral("statusLine"))),
      problems(new ProblemList(this)),
      menuBar(ui::Named(new QMenuBar(this), QStringLiteral("menuBar"))) {
    setObjectName(QStringLiteral("frmDemo2"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    lstFont->hide();
    grid1->setWholeRowSelection(false);
    grid1->setAccessibleName(kTitle);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(menuBar);
    layout->addWidget(grid1);
    layout->addWidget(statusLine);
    layout->addWidget(problems);
    connect(problems, &ProblemList::cellChosen, this,
            [this](int row, int column) { grid1->setCurrentCell(row, column + 1); });
    // Shown once a workbook has been read.
    statusLine->hide();
    buildFileMenu();
    buildActionMenu();
    menusm = ui::Named(menuBar->addMenu(QStringLiteral("说明(&S)")), QStringLiteral("menusm"));
    menudrgssm = addAction(menusm, QStringLiteral("menudrgssm"), QStringLiteral("导入格式说明"));
    connect(menudrgssm, &QAction::triggered, this, &ImportWindow::menudrgssm_Click);
    resize(860, 560);
    Form_Load();
}

QAction* ImportWindow::addAction(QMenu* menu, const QString& name, const QString& caption) {
    return ui::Named(menu->addAction(caption), name);
}

void ImportWindow::buildFileMenu() {
    mnuFile = ui::Named(menuBar->addMenu(QStringLiteral("文件(&F)")), QStringLiteral("mnuFile"));
    mnuNewFile = addAction(mnuFile, QStringLiteral("mnuNewFile"), QStringLiteral("新建(&N)"));
    mnuOpen = addAction(mnuFile, QStringLiteral("mnuOpen"), QStringLiteral("打开(&O) ..."));
    mnuSave = addAction(mnuFile, QStringLiteral("mnuSave"), QStringLiteral("保存(&S) ..."));
    mnuFile->addSeparator();
    menuExceltoExport =
        addAction(mnuFile, QStringLiteral("menuExceltoExport"), QStringLiteral("从Excel导入 ..."));
    menusjsh = addAction(mnuFile, QStringLiteral("menusjsh"), QStringLiteral("数据审核"));
    mnuExportToExcel = addAction(mnuFile, QStringLiteral("mnuExportToExcel"),
                                 QStringLiteral("导入到数据库中 ..."));
    mnuExportSkipped =
        addAction(mnuFile, QStringLiteral("mnuExportSkipped"), QStringLiteral("导出跳过的行 ..."));
    // Offered once an import has left rows out.
    mnuExportSkipped->setEnabled(false);
    mnuFile->addSeparator();
    mnuQuit = addAction(mnuFile, QStringLiteral("mnuQuit"), QStringLiteral("退出(&X)"));
    connect(mnuNewFile, &QAction::triggered, this, &ImportWindow::mnuNewFile_Click);
    connect(mnuOpen, &QAction::triggered, this, &ImportWindow::mnuOpen_Click);
    connect(mnuSave, &QAction::triggered, this, &ImportWindow::mnuSave_Click);
    connect(menuExceltoExport, &QAction::triggered, this, &ImportWindow::menuExceltoExport_Click);
    connect(menusjsh, &QAction::triggered, this, &ImportWindow::menusjsh_Click);
    connect(mnuExportToExcel, &QAction::triggered, this, &ImportWindow::mnuExportToExcel_Click);
    connect(mnuExportSkipped, &QAction::triggered, this, &ImportWindow::mnuExportSkipped_Click);
    connect(mnuQuit, &QAction::triggered, this, &ImportWindow::mnuQuit_Click);
}

void ImportWindow::buildFontMenu(QMenu* parent) {
    QMenu* font = parent->addMenu(QStringLiteral("字体"));
    QMenu* names = font->addMenu(QStringLiteral("名称"));
    names->setObjectName(QStringLiteral("mnuFontName"));
    for (const QString& family : QFontDatabase::families()) {
        lstFont->addItem(family);
        const int index = int(mnuSetFontName.size());
        QAction* entry = addAction(names, QStringLiteral("mnuSetFontName(%1)").arg(index),
                                   QString(family).replace(QLatin1Char('&'), QStringLiteral("&&")));
        connect(entry, &QAction::triggered, this, [this, index] { mnuSetFontName_Click(index); });
        mnuSetFontName.push_back(entry);
    }
    QMenu* sizes = font->addMenu(QStringLiteral("大小"));
    for (int i = 0; i < int(kFontSizes.size()); ++i) {
        mnuSetFontSize[i] = addAction(sizes, QStringLiteral("mnuSetFontSize(%1)").arg(i),
                                      QString::number(kFontSizes[i]));
        connect(mnuSetFontSize[i], &QAction::triggered, this,
                [this, i] { mnuSetFontSize_Click(i); });
    }
    font->addSeparator();
    mnuSetFont_B = addAction(font, QStringLiteral("mnuSetFont_B"), QStringLiteral("粗体"));
    mnuSetFont_I = addAction(font, QStringLiteral("mnuSetFont_I"), QStringLiteral("斜体"));
    mnuSetFont_U = addAction(font, QStringLiteral("mnuSetFont_U"), QStringLiteral("下划线"));
    connect(mnuSetFont_B, &QAction::triggered, this,
            [this] { ToggleFontStyle(*grid1, FontStyle::Bold); });
    connect(mnuSetFont_I, &QAction::triggered, this,
            [this] { ToggleFontStyle(*grid1, FontStyle::Italic); });
    connect(mnuSetFont_U, &QAction::triggered, this,
            [this] { ToggleFontStyle(*grid1, FontStyle::Underline); });
}

void ImportWindow::buildActionMenu() {
    mnuAction =
        ui::Named(menuBar->addMenu(QStringLiteral("设置表格(&A)")), QStringLiteral("mnuAction"));
    buildFontMenu(mnuAction);

    // Commands that need no more than the selection and one value.
    auto command = [this](QMenu* menu, QAction** member, const QString& name,
                          const QString& caption, std::function<void(ui::Grid&)> run) {
        *member = addAction(menu, name, caption);
        connect(*member, &QAction::triggered, this, [this, run] { run(*grid1); });
    };
    QMenu* text = mnuAction->addMenu(QStringLiteral("文字颜色"));
    auto textColor = [&](QAction** member, const QString& name, const QString& caption,
                         QColor color) {
        command(text, member, name, caption, [color](ui::Grid& g) { SetTextColor(g, color); });
    };
    textColor(&mnuSetTextColor_Red, "mnuSetTextColor_Red", "红色", QColor(255, 0, 0));
    textColor(&mnuSetTextColor_Green, "mnuSetTextColor_Green", "绿色", QColor(0, 255, 0));
    textColor(&mnuSetTextColor_Blue, "mnuSetTextColor_Blue", "蓝色", QColor(0, 0, 255));
    textColor(&mnuSetTextColor_Black, "mnuSetTextColor_Black", "黑色", QColor(0, 0, 0));
    QMenu* back = mnuAction->addMenu(QStringLiteral("背景颜色"));
    auto backColor = [&](QAction** member, const QString& name, const QString& caption,
                         QColor color) {
        command(back, member, name, caption, [color](ui::Grid& g) { SetBackColor(g, color); });
    };
    backColor(&mnuSetBackColor_Red, "mnuSetBackColor_Red", "红色", QColor(255, 0, 0));
    backColor(&mnuSetBackColor_Green, "mnuSetBackColor_Green", "绿色", QColor(0, 255, 0));
    backColor(&mnuSetBackColor_Blue, "mnuSetBackColor_Blue", "蓝色", QColor(0, 0, 255));
    backColor(&mnuSetBackColor_Grey, "mnuSetBackColor_Grey", "灰色", QColor(224, 224, 224));
    backColor(&mnuSetBackColor_White, "mnuSetBackColor_White", "白色", QColor(255, 255, 255));
    QMenu* align = mnuAction->addMenu(QStringLiteral("对齐方式"));
    auto alignment = [&](QAction** member, const QString& name, const QString& caption, int code) {
        command(align, member, name, caption, [code](ui::Grid& g) { SetAlignment(g, code); });
    };
    alignment(&mnuSetAlignment_LeftTop, "mnuSetAlignment_LeftTop", "左上", 5);
    alignment(&mnuSetAlignment_LeftCenter, "mnuSetAlignment_LeftCenter", "左中", 6);
    alignment(&mnuSetAlignment_LeftBottom, "mnuSetAlignment_LeftBottom", "左下", 7);
    alignment(&mnuSetAlignment_CenterTop, "mnuSetAlignment_CenterTop", "中上", 9);
    alignment(&mnuSetAlignment_CenterCenter, "mnuSetAlignment_CenterCenter", "中间", 10);
    alignment(&mnuSetAlignment_CenterBottom, "mnuSetAlignment_CenterBottom", "中下", 11);
    alignment(&mnuSetAlignment_RightTop, "mnuSetAlignment_RightTop", "右上", 13);
    alignment(&mnuSetAlignment_RightCenter, "mnuSetAlignment_RightCenter", "右中", 14);
    alignment(&mnuSetAlignment_RightBottom, "mnuSetAlignment_RightBottom", "右下", 15);

    mnuAction->addSeparator();
    QMenu* borders = mnuAction->addMenu(QStringLiteral("设置单元格边框"));
    for (int i = 0; i < int(mnuSetBorder.size()); ++i) {
        mnuSetBorder[i] = addAction(borders, QStringLiteral("mnuSetBorder(%1)").arg(i),
                                    QString::fromUtf16(kBorders[i].caption));
        connect(mnuSetBorder[i], &QAction::triggered, this, [this, i] { mnuSetBorder_Click(i); });
    }
    mnuCancelBorder = addAction(mnuAction, "mnuCancelBorder", "取消单元格边框");
    connect(mnuCancelBorder, &QAction::triggered, this, &ImportWindow::mnuCancelBorder_Click);
    mnuAction->addSeparator();
    command(mnuAction, &mnuSetWrapText, "mnuSetWrapText", "设置自动换行",
            [](ui::Grid& g) { SetWrap(g, true); });
    command(mnuAction, &mnuCancelWrapText, "mnuCancelWrapText", "取消自动换行",
            [](ui::Grid& g) { SetWrap(g, false); });
    command(mnuAction, &mnuLockCell, "mnuLockCell", "锁定单元格",
            [](ui::Grid& g) { SetLocked(g, true); });
    command(mnuAction, &mnuCancelLockCell, "mnuCancelLockCell", "取消锁定单元格",
            [](ui::Grid& g) { SetLocked(g, false); });
    mnuAction->addSeparator();
    command(mnuAction, &mnuClearAll, "mnuClearAll", "清除全部",
            [](ui::Grid& g) { Clear(g, Clearing::All); });
    command(mnuAction, &mnuClearFormat, "mnuClearFormat", "清除格式",
            [](ui::Grid& g) { Clear(g, Clearing::Format); });
    command(mnuAction, &mnuClearText, "mnuClearText", "清除文字",
            [](ui::Grid& g) { Clear(g, Clearing::Text); });
    mnuAction->addSeparator();
    command(mnuAction, &mnuInsertRows, "mnuInsertRows", "插入行", InsertRows);
    command(mnuAction, &mnuInsertCols, "mnuInsertCols", "插入列", InsertColumns);
    command(mnuAction, &mnuDeleteByRow, "mnuDeleteByRow", "整行删除单元格", DeleteRows);
    command(mnuAction, &mnuDeleteByCol, "mnuDeleteByCol", "整列删除单元格", DeleteColumns);
    mnuAction->addSeparator();
    mnuSetRows = addAction(mnuAction, "mnuSetRows", "设置行数");
    mnuSetCols = addAction(mnuAction, "mnuSetCols", "设置列数");
    connect(mnuSetRows, &QAction::triggered, this, &ImportWindow::mnuSetRows_Click);
    connect(mnuSetCols, &QAction::triggered, this, &ImportWindow::mnuSetCols_Click);
}

void ImportWindow::Form_Load() {
    NewSheet(*grid1);
}

void ImportWindow::mnuNewFile_Click() {
    NewSheet(*grid1);
    statusLine->hide();
    problems->clear();
}

void ImportWindow::mnuOpen_Click() {
    const QString path =
        ui::FileDialog::openFileName(this, QStringLiteral("打开表格"), QString(), kSheetFilter);
    if (path.isEmpty()) {
        return;
    }
    SheetDocumentRead read;
    {
        ui::BusyGuard busy(picLOAD);
        read = LoadSheetDocument(path);
        if (read.ok()) {
            ShowSheet(*grid1, read.document);
            statusLine->hide();
        }
    }
    if (!read.ok()) {
        ui::Stop(this, kCannotOpenSheet + read.error);
    }
}

void ImportWindow::mnuSave_Click() {
    QString path =
        ui::FileDialog::saveFileName(this, QStringLiteral("保存表格"), QString(), kSheetFilter);
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QLatin1Char('.') + kSheetSuffix;
    }
    QString error;
    {
        ui::BusyGuard busy(picLOAD);
        error = SaveSheetDocument(path, SheetFromGrid(*grid1));
    }
    if (!error.isEmpty()) {
        ui::Stop(this, kCannotSave + error);
        return;
    }
    ui::MessageBox::show(this, kSavedTitle, kSaved, ui::MessageBox::Icon::Exclamation,
                         ui::MessageBox::Buttons::Ok);
}

void ImportWindow::menuExceltoExport_Click() {
    const QString path =
        ui::FileDialog::openFileName(this, kWorkbookCaption, QString(), kWorkbookFilter);
    if (path.isEmpty()) {
        return;
    }
    SheetFile file;
    {
        ui::BusyGuard busy(picLOAD);
        file = ReadSheetFile(path);
    }
    if (!file.ok()) {
        ui::Stop(this, kCannotRead + file.error);
        return;
    }
    // Escape puts back the sheet as it was.
    const SheetDocument before = SheetFromGrid(*grid1);
    ui::WorkProgress progress(picLOAD);
    const qsizetype total = qsizetype(file.rows.size());
    grid1->setAutoRedraw(false);
    grid1->setRows(1);
    grid1->setCols(std::max(grid1->cols(), kSheetColumnCount + 1));
    grid1->setRows(int(std::min<qsizetype>(total + 1, kMaxSheetLines)));
    for (qsizetype i = 0; i < grid1->rows() - 1; ++i) {
        if (i % kFillStep == 0 && !progress.step(i, total)) {
            ShowSheet(*grid1, before);
            grid1->setAutoRedraw(true);
            return;
        }
        const SheetRow& row = file.rows[size_t(i)];
        for (int col = 0; col < kSheetColumnCount; ++col) {
            grid1->setCellText(int(i + 1), col + 1, row[size_t(col)]);
        }
    }
    grid1->setAutoRedraw(true);
    statusLine->setText(StatusText(file));
    statusLine->show();
    problems->clear();
}

void ImportWindow::showRow(qsizetype row) {
    grid1->setCurrentCell(int(row), kSexColumn + 1);
}

void ImportWindow::menusjsh_Click() {
    std::optional<SheetRows> rows = CustomerRows(*grid1, SheetBuilder::kMaxRows);
    if (!rows) {
        ui::Stop(this, kTooManyRows.arg(SheetBuilder::kMaxRows));
        return;
    }
    AuditResult result;
    {
        ui::WorkProgress progress(picLOAD);
        result = AuditSheet(
            *rows, [&](qsizetype done, qsizetype total) { return progress.step(done, total); });
        // Rows audited before a refusal or Escape keep their rewritten dates.
        grid1->setAutoRedraw(false);
        PutCustomerRows(*grid1, *rows, qsizetype(rows->size()));
        grid1->setAutoRedraw(true);
    }
    if (result.outcome != AuditResult::Outcome::Cancelled) {
        problems->show(result.problems, TodayRemindersText(result.todayReminders));
    }
    switch (result.outcome) {
        case AuditResult::Outcome::Passed:
            ui::Information(this, kAudited);
            break;
        case AuditResult::Outcome::Refused:
            showRow(result.row);
            ui::Stop(this, AuditRefusalText(result.row, result.message));
            break;
        case AuditResult::Outcome::Cancelled:
            break;
    }
}

void ImportWindow::mnuExportToExcel_Click() {
    const std::optional<SheetRows> rows = CustomerRows(*grid1, SheetBuilder::kMaxRows);
    if (!rows) {
        ui::Stop(this, kTooManyRows.arg(SheetBuilder::kMaxRows));
        return;
    }
    ImportResult result;
    {
        ui::WorkProgress progress(picLOAD);
        result = ImportSheet(
            *rows, [&](qsizetype done, qsizetype total) { return progress.step(done, total); });
    }
    switch (result.outcome) {
        case ImportResult::Outcome::Imported:
            problems->clear();
            skippedRows_ = std::move(result.skippedRows);
            mnuExportSkipped->setEnabled(!skippedRows_.empty());
            ui::Information(this, kImported + QLatin1Char('\n') + ImportSummaryText(result));
            break;
        case ImportResult::Outcome::Refused:
            problems->show(result.problems, QString());
            showRow(result.row);
            ui::Stop(this, AuditRefusalText(result.row, result.message));
            break;
        case ImportResult::Outcome::Cancelled:
            ui::Information(this, kImportCancelled);
            break;
        case ImportResult::Outcome::Failed:
            if (result.row > 0) {
                showRow(result.row);
            }
            ui::ShowDatabaseError(this, result.message);
            break;
    }
}

void ImportWindow::mnuExportSkipped_Click() {
    if (skippedRows_.empty()) {
        return;
    }
    QString path =
        ui::FileDialog::saveFileName(this, kExportSkipped, kSkippedFileName, kSkippedFilter);
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".xlsx");
    }
    if (const QString error = ExportSkippedRows(skippedRows_, path); !error.isEmpty()) {
        ui::Stop(this, kExportFailed + error);
        return;
    }
    ui::Information(this, kExported + path);
}

void ImportWindow::mnuQuit_Click() {
    close();
}

void ImportWindow::menudrgssm_Click() {
    ui::WindowHost::show(ui::WindowHost::instance<ImportHelpWindow>(), ui::WindowHost::Mode::Modal);
}

void ImportWindow::mnuSetFontName_Click(int index) {
    // The list, not the caption: a menu would take an '&' in a family name for an access key.
    SetFontName(*grid1, lstFont->item(index)->text());
}

void ImportWindow::mnuSetFontSize_Click(int index) {
    SetFontSize(*grid1, kFontSizes[size_t(index)]);
}

void ImportWindow::mnuSetBorder_Click(int index) {
    SetBorders(*grid1, kBorders[index].edges, kBorders[index].style);
}

void ImportWindow::mnuCancelBorder_Click() {
    SetBorders(*grid1,
               {E::Left, E::Right, E::Top, E::Bottom, E::InsideHorizontal, E::InsideVertical},
               ui::BorderStyle::None);
}

void ImportWindow::askCount(const QString& prompt, int current, void (ui::Grid::*apply)(int)) {
    const QString answer = ui::InputBox::ask(this, prompt, kAppTitle, QString::number(current));
    const std::optional<int> count = SheetCountAnswer(answer);
    if (count && *count != current) {
        ui::BusyGuard busy(picLOAD);
        (grid1->*apply)(*count);
    }
}

void ImportWindow::mnuSetRows_Click() {
    askCount(kRowsPrompt, grid1->rows(), &ui::Grid::setRows);
}

void ImportWindow::mnuSetCols_Click() {
    askCount(kColsPrompt, grid1->cols(), &ui::Grid::setCols);
}
