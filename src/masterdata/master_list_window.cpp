#include "masterdata/master_list_window.h"

#include <QAbstractItemDelegate>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kAdd = QStringLiteral("添加");
const QString kModify = QStringLiteral("修改");
const QString kDelete = QStringLiteral("删除");
const QString kSave = QStringLiteral("保存");
const QString kClose = QStringLiteral("关闭");
const QString kConfirmSave = QStringLiteral("是否保存？");
const QString kSaved = QStringLiteral("保存成功！");
// %1 is the grid row, the first item being row 1.
const QString kAmountNotNumber = QStringLiteral("第%1行金额不是数字！");
// %1 the record word, %2 the names.
const QString kChangedElsewhere =
    QStringLiteral("%1“%2”已被其他工作站修改，已显示修改后的内容，请核对后重新保存");
const QString kDeletedElsewhere =
    QStringLiteral("%1“%2”已被其他工作站删除，已从列表中移去，请核对后重新保存");
const QString kRowName = QStringLiteral("第%1行");
// %1 the title of the window.
const QString kSaveBeforeClosing = QStringLiteral("%1中有尚未保存的修改，是否保存？");

const QString kItemsTitle = QStringLiteral("维修项目管理");
const QString kItemName = QStringLiteral("项目名称");
const QString kItemAmount = QStringLiteral("金额");
const QString kItemNothingSelected = QStringLiteral("请选择要删除的信息！");
const QString kItemConfirmDelete = QStringLiteral("是否删除信息？");
const QString kItemWord = QStringLiteral("维修项目");

const QString kTechniciansTitle = QStringLiteral("维修技师管理");
const QString kTechniciansHeading = QStringLiteral("维修技师信息");
const QString kTechnicianName = QStringLiteral("维修技师姓名");
const QString kTechnicianNothingSelected = QStringLiteral("请选择要删除的技师信息！");
const QString kTechnicianConfirmDelete = QStringLiteral("是否删除技师信息？");
const QString kTechnicianWord = QStringLiteral("维修技师");

constexpr int kHeadingHeight = 25;
constexpr int kRowHeight = 20;
constexpr int kNameWidth = 320;
constexpr int kAmountWidth = 100;

}  // namespace

const MasterListForm& MasterListWindow::RepairItems() {
    static const MasterListForm form{QStringLiteral("Form7"), kItemsTitle,        kItemsTitle,
                                     &RepairItemTable(),      kItemName,          kItemAmount,
                                     kItemNothingSelected,    kItemConfirmDelete, kItemWord};
    return form;
}

const MasterListForm& MasterListWindow::Technicians() {
    static const MasterListForm form{
        QStringLiteral("Form24"),   kTechniciansTitle,        kTechniciansHeading,
        &TechnicianTable(),         kTechnicianName,          QString(),
        kTechnicianNothingSelected, kTechnicianConfirmDelete, kTechnicianWord};
    return form;
}

MasterListWindow::MasterListWindow(const MasterListForm& form, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(form) {
    setObjectName(form_.formName);
    setWindowTitle(form_.title);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = ui::HeadingLabel(this, form_.heading, QStringLiteral("Label1"), 12);
    grid1 = ui::Named(new ui::Grid(this), QStringLiteral("grid1"));
    grid1->setAccessibleName(form_.heading);
    Command1 = ui::Named(new QPushButton(kAdd, this), QStringLiteral("Command1"));
    Command2 = ui::Named(new QPushButton(kModify, this), QStringLiteral("Command2"));
    Command3 = ui::Named(new QPushButton(kDelete, this), QStringLiteral("Command3"));
    Command4 = ui::Named(new QPushButton(kSave, this), QStringLiteral("Command4"));
    Command5 = ui::Named(new QPushButton(kClose, this), QStringLiteral("Command5"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {Command1, Command2, Command3, Command4, Command5}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(Label1);
    layout->addWidget(grid1, 1);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &MasterListWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &MasterListWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &MasterListWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &MasterListWindow::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &MasterListWindow::Command5_Click);
    ui::CloseOnEscape(this, [this] { Command5_Click(); });
    connect(grid1, &ui::Grid::currentCellChanged, this,
            &MasterListWindow::grid1_CurrentCellChanged);

    Form_Load();
    // Nothing counts as selected until the operator picks a row.
    Command5->setFocus(Qt::OtherFocusReason);
    const int columns = kNameWidth + (form_.list->hasAmount() ? kAmountWidth : 0);
    // Room for the columns, the scroll bar and the frame.
    resize(QSize(columns + 48, 420).expandedTo(sizeHint()));
}

int MasterListWindow::dataColumns() const {
    return form_.list->hasAmount() ? 2 : 1;
}

void MasterListWindow::Form_Load() {
    grid1->applyStandardLook();
    grid1->setGridFont(QStringLiteral("Tahoma"), 8);
    grid1->setCols(dataColumns() + 1);
    grid1->setRows(1);
    grid1->setRowHeight(0, kHeadingHeight);
    grid1->setColumnWidth(1, kNameWidth);
    grid1->setColumnWidth(0, 0);
    grid1->setCellText(0, 1, form_.nameHeading);
    if (form_.list->hasAmount()) {
        grid1->setColumnWidth(2, kAmountWidth);
        grid1->setCellText(0, 2, form_.amountHeading);
    }
    setEditable(false);

    loaded_.clear();
    Recordset rows = OpenMasterList(*form_.list);
    if (rows.isNull()) {
        ui::ShowDatabaseError(this, rows.error());
        return;
    }
    grid1->setAutoRedraw(false);
    const int columns = dataColumns();
    for (int row = 1; !rows.Eof(); rows.MoveNext(), ++row) {
        grid1->setRows(row + 1);
        grid1->setRowHeight(row, kRowHeight);
        grid1->setCellUtf8(row, 0, rows.Utf8(0));
        const QByteArray name = rows.Utf8(1);
        const QByteArray amount = columns > 1 ? rows.Utf8(2) : QByteArray();
        grid1->setCellUtf8(row, 1, name);
        if (columns > 1) {
            grid1->setCellUtf8(row, 2, amount);
        }
        loaded_.append(name, amount);
    }
    const QString stopped = rows.error();
    rows.Close();
    grid1->setAutoRedraw(true);
    grid1->refresh();
    if (!stopped.isEmpty()) {
        ui::ShowDatabaseError(this, stopped);
    }
}

void MasterListWindow::setEditable(bool editable) {
    for (int col = 1; col <= dataColumns(); ++col) {
        grid1->setColumnLocked(col, !editable);
    }
}

void MasterListWindow::grid1_CurrentCellChanged(int row, int /*col*/) {
    selectedRow_ = row;
}

void MasterListWindow::Command1_Click() {
    const DbResult<QString> key = AddMasterRow(*form_.list);
    if (!key) {
        ui::ShowDatabaseError(this, key.error());
        return;
    }
    const int row = grid1->rows();
    grid1->setRows(row + 1);
    grid1->setCellText(row, 0, *key);
    loaded_.append({}, form_.list->hasAmount() ? QByteArrayView("0") : QByteArrayView());
    grid1->setRowHeight(row, kRowHeight);
    setEditable(true);
    // The new row is where the operator types next.
    grid1->setCurrentCell(row, 1);
    grid1->scrollTo(grid1->gridModel()->index(row, 1));
    grid1->setFocus(Qt::OtherFocusReason);
}

void MasterListWindow::Command2_Click() {
    setEditable(true);
}

void MasterListWindow::Command3_Click() {
    // A remembered row past the end (the last row was deleted) names no record any more.
    if (selectedRow_ <= 0 || selectedRow_ >= grid1->rows()) {
        ui::Stop(this, form_.nothingSelected);
        return;
    }
    if (!ui::Confirm(this, form_.confirmDelete)) {
        return;
    }
    const DbStatus deleted = DeleteMasterRow(*form_.list, grid1->cellText(selectedRow_, 0));
    if (!deleted) {
        ui::ShowDatabaseError(this, deleted.error());
        return;
    }
    grid1->removeRow(selectedRow_);
    loaded_.remove(selectedRow_ - 1);
    // The remembered number now names the row that moved up; show it as current, so the next
    // delete acts on the row the operator sees highlighted.
    if (selectedRow_ < grid1->rows()) {
        grid1->setCurrentCell(selectedRow_, grid1->currentCol() > 0 ? grid1->currentCol() : 1);
    } else {
        selectedRow_ = 0;
    }
}

void MasterListWindow::commitTyping() {
    QWidget* editor = grid1->indexWidget(grid1->currentIndex());
    if (editor) {
        Q_EMIT grid1->itemDelegate()->commitData(editor);
        Q_EMIT grid1->itemDelegate()->closeEditor(editor);
    }
}

void MasterListWindow::Command4_Click() {
    commitTyping();
    if (!ui::Confirm(this, kConfirmSave)) {
        closeAnswered_ = true;
        close();
        return;
    }
    if (save()) {
        closeAnswered_ = true;
        close();
    }
}

bool MasterListWindow::save() {
    QList<MasterRow> rows;
    rows.reserve(grid1->rows() - 1);
    const bool amounts = form_.list->hasAmount();
    for (int row = 1; row < grid1->rows(); ++row) {
        rows.append({grid1->cellText(row, 0), grid1->cellText(row, 1),
                     amounts ? grid1->cellText(row, 2) : QString(), loaded_.at(row - 1)});
    }
    const DbResult<MasterSave> saved = SaveMasterRows(*form_.list, rows);
    if (!saved) {
        ui::ShowDatabaseError(this, saved.error());
        return false;
    }
    if (saved->badAmountRow > 0) {
        ui::Stop(this, kAmountNotNumber.arg(saved->badAmountRow));
        grid1->setCurrentCell(saved->badAmountRow, 2);
        grid1->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (!saved->conflicts.isEmpty()) {
        showConflicts(rows, saved->conflicts);
        return false;
    }
    ui::Information(this, kSaved);
    return true;
}

bool MasterListWindow::hasUnsavedEdits() {
    commitTyping();
    const bool amounts = form_.list->hasAmount();
    for (int row = 1; row < grid1->rows() && row - 1 < loaded_.size(); ++row) {
        const MasterRow held{grid1->cellText(row, 0), grid1->cellText(row, 1),
                             amounts ? grid1->cellText(row, 2) : QString(), loaded_.at(row - 1)};
        if (ChangedHere(*form_.list, held)) {
            return true;
        }
    }
    return false;
}

void MasterListWindow::closeEvent(QCloseEvent* event) {
    if (closeAnswered_ || !hasUnsavedEdits()) {
        QWidget::closeEvent(event);
        return;
    }
    switch (ui::AskYesNoCancel(this, kSaveBeforeClosing.arg(form_.title))) {
        case ui::MessageBox::Answer::Yes:
            if (!save()) {
                event->ignore();
                return;
            }
            break;
        case ui::MessageBox::Answer::No:
            break;
        default:
            event->ignore();
            return;
    }
    closeAnswered_ = true;
    QWidget::closeEvent(event);
}

void MasterListWindow::showConflicts(const QList<MasterRow>& rows,
                                     const QList<MasterConflict>& conflicts) {
    QStringList changed;
    QStringList deleted;
    for (const MasterConflict& conflict : conflicts) {
        const MasterRow& row = rows[conflict.row - 1];
        // Named as the operator knew it when the window read it.
        QString name = row.loaded ? row.loaded->name : QString();
        if (name.isEmpty()) {
            name = row.name.isEmpty() ? kRowName.arg(conflict.row) : row.name;
        }
        (conflict.stored ? changed : deleted) << name;
    }
    // From the bottom up, so a removed row moves none still to be shown.
    for (auto it = conflicts.crbegin(); it != conflicts.crend(); ++it) {
        const int gridRow = it->row;
        if (!it->stored) {
            grid1->removeRow(gridRow);
            loaded_.remove(gridRow - 1);
            continue;
        }
        grid1->setCellText(gridRow, 1, it->stored->name);
        if (form_.list->hasAmount()) {
            grid1->setCellText(gridRow, 2, it->stored->amount);
        }
        loaded_.replace(gridRow - 1, *it->stored);
    }
    if (selectedRow_ >= grid1->rows()) {
        selectedRow_ = 0;
    }
    const QString separator = QStringLiteral("、");
    if (!changed.isEmpty()) {
        ui::Stop(this, kChangedElsewhere.arg(form_.recordWord, changed.join(separator)));
    }
    if (!deleted.isEmpty()) {
        ui::Stop(this, kDeletedElsewhere.arg(form_.recordWord, deleted.join(separator)));
    }
    if (conflicts.first().stored) {
        grid1->setCurrentCell(conflicts.first().row, 1);
    }
}

void MasterListWindow::Command5_Click() {
    close();
}
