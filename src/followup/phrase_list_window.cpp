#include "followup/phrase_list_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "followup/phrase_combo.h"
#include "ui/button_row.h"
#include "ui/grid.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kDelete = QStringLiteral("删除");
const QString kClose = QStringLiteral("关闭");
const QString kNothingSelected = QStringLiteral("请选择要删除的信息！");
const QString kConfirmDelete = QStringLiteral("是否删除信息？");

constexpr int kHeadingHeight = 25;
constexpr int kRowHeight = 20;
constexpr int kPhraseWidth = 320;

}  // namespace

PhraseListWindow::PhraseListWindow(const PhraseList& list, QComboBox* phraseCombo, QWidget* parent)
    : QWidget(parent, Qt::Window), list_(list), phraseCombo_(phraseCombo) {
    setObjectName(list_.formName);
    setWindowTitle(list_.heading);

    Label11 = ui::HeadingLabel(this, list_.heading, QStringLiteral("Label11"), 12);
    grid1 = ui::Named(new ui::Grid(this), QStringLiteral("grid1"));
    grid1->setAccessibleName(list_.columnHeading);
    Command3 = ui::Named(new QPushButton(kDelete, this), QStringLiteral("Command3"));
    Command5 = ui::Named(new QPushButton(kClose, this), QStringLiteral("Command5"));

    QHBoxLayout* buttons = ui::CenteredButtons({Command3, Command5});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(Label11);
    layout->addWidget(grid1, 1);
    layout->addLayout(buttons);

    connect(Command3, &QPushButton::clicked, this, &PhraseListWindow::Command3_Click);
    connect(Command5, &QPushButton::clicked, this, &PhraseListWindow::Command5_Click);
    ui::CloseOnEscape(this, [this] { Command5_Click(); });
    connect(grid1, &ui::Grid::currentCellChanged, this,
            &PhraseListWindow::grid1_CurrentCellChanged);

    Form_Load();
    // Nothing counts as selected until the operator picks a row; a grid that took the focus
    // on opening would make its first row current unasked.
    Command5->setFocus(Qt::OtherFocusReason);
    // Room for the phrase column, its scroll bar and the grid frame.
    resize(QSize(kPhraseWidth + 60, 360).expandedTo(sizeHint()));
}

void PhraseListWindow::Form_Load() {
    grid1->applyStandardLook();
    grid1->setGridFont(QStringLiteral("Tahoma"), 8);
    grid1->setCols(2);
    grid1->setRows(1);
    grid1->setRowHeight(0, kHeadingHeight);
    grid1->setColumnWidth(1, kPhraseWidth);
    grid1->setColumnWidth(0, 0);
    grid1->setColumnLocked(1, true);
    grid1->setCellText(0, 1, list_.columnHeading);

    const DbResult<QStringList> phrases = LoadPhrases(list_);
    if (!phrases) {
        ui::ShowDatabaseError(this, phrases.error());
        return;
    }
    grid1->setAutoRedraw(false);
    for (const QString& phrase : *phrases) {
        const int row = grid1->rows();
        grid1->setRows(row + 1);
        grid1->setRowHeight(row, kRowHeight);
        grid1->setCellText(row, 1, phrase);
    }
    grid1->setAutoRedraw(true);
}

void PhraseListWindow::grid1_CurrentCellChanged(int row, int /*col*/) {
    selectedRow_ = row;
}

void PhraseListWindow::Command3_Click() {
    // A remembered row past the end (the last row was deleted) names no phrase any more.
    if (selectedRow_ <= 0 || selectedRow_ >= grid1->rows()) {
        ui::Stop(this, kNothingSelected);
        return;
    }
    if (!ui::Confirm(this, kConfirmDelete)) {
        return;
    }
    if (const DbStatus deleted = DeletePhrase(list_, grid1->cellText(selectedRow_, 1)); !deleted) {
        ui::ShowDatabaseError(this, deleted.error());
        return;
    }
    grid1->removeRow(selectedRow_);
    // The remembered number now names the row that moved up; show that row as current so the
    // next delete acts on the row the operator sees highlighted.
    if (selectedRow_ < grid1->rows()) {
        grid1->setCurrentCell(selectedRow_, 1);
    } else {
        selectedRow_ = 0;
    }
}

void PhraseListWindow::Command5_Click() {
    close();
}

void PhraseListWindow::closeEvent(QCloseEvent* event) {
    // However the window is closed, the call window must not go on offering deleted phrases.
    if (const DbStatus refilled = RefillPhraseCombo(phraseCombo_, list_); !refilled) {
        ui::ShowDatabaseError(this, refilled.error());
    }
    event->accept();
}
