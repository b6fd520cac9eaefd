#include "printing/default_printer_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "printing/printers.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kCaption = QStringLiteral("默认打印机选择");
const QString kPrompt = QStringLiteral("从下列选择一个有效的打印机:");
const QString kNoPrinter = QStringLiteral(
    "本机还没有安装打印机。请先在系统的打印机设置中添加打印机（系统设置中的“打印机”，或在浏览器中"
    "打开 http://localhost:631），然后再打开本窗口。");
const QString kColumn = QStringLiteral("打印机");
const QString kSet = QStringLiteral("设为默认");
const QString kSetTip = QStringLiteral("Click to set selected printer as default");
const QString kExit = QStringLiteral("退出(&E)");
const QString kConfirm = QStringLiteral("设置默认之前确认");
const QString kRestore = QStringLiteral("在退出程序恢复原先的默认");
const QString kRestoreTip =
    QStringLiteral("Return the default printer to what it was when this application started");

const QString kRestoreTitle = QStringLiteral("Restore Original Default Printer?");
const QString kRestoreText = QStringLiteral(
    "It appears that the rodevad idarave ziride zuvo crashed and has saved\n%1\n"
    "as the original default printer.\n\nDo you want to restore it now?");
const QString kConfirmTitle = QStringLiteral("设置打印机?");
const QString kConfirmText = QStringLiteral("您设置了\n%1\n为默认打印机.\n\n您确定使用此打印机?");
const QString kAlreadyTitle = QStringLiteral("Default Printer Set");
const QString kAlreadyText = QStringLiteral("%1\nis already set as the default printer.");
const QString kSetFailed = QStringLiteral("设置默认打印机失败：%1");
const QString kPaper = QStringLiteral("维修单纸张:");
const QString kPaperA4 = QStringLiteral("A4");
const QString kPaperA5 = QStringLiteral("A5横向");

constexpr int kMinimumWidth = 520;
constexpr int kMaximumWidth = 900;
constexpr int kCheckAndMargins = 40;

using Box = ui::MessageBox;

// Orders printers the way an operator reads names: case does not separate them.
class PrinterItem : public QTreeWidgetItem {
public:
    explicit PrinterItem(const QString& text) : QTreeWidgetItem(QStringList{text}) {
        // Not user-checkable and not editable: only the window moves the check mark.
        setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setCheckState(0, Qt::Unchecked);
        setToolTip(0, text);
    }

    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
        const QString mine = text(column);
        const QString theirs = other.text(column);
        const int folded = mine.compare(theirs, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : mine < theirs;
    }
};

}  // namespace

DefaultPrinterWindow::DefaultPrinterWindow(PrinterRecord::Place place, QWidget* parent)
    : QWidget(parent, Qt::Window), record_(std::move(place)) {
    setObjectName(QStringLiteral("frmDefaultPrinter"));
    setWindowTitle(kCaption);

    lblPrinters = ui::Named(new QLabel(kPrompt, this), QStringLiteral("lblPrinters"));
    lvwPrinter = ui::Named(new QTreeWidget(this), QStringLiteral("lvwPrinter"));
    cmdSet = ui::Named(new QPushButton(kSet, this), QStringLiteral("cmdSet"));
    cmdExit = ui::Named(new QPushButton(kExit, this), QStringLiteral("cmdExit"));
    chkConfirm = ui::Named(new QCheckBox(kConfirm, this), QStringLiteral("chkConfirm"));
    chkRestore = ui::Named(new QCheckBox(kRestore, this), QStringLiteral("chkRestore"));
    lblPaper = ui::Named(new QLabel(kPaper, this), QStringLiteral("lblPaper"));
    optA4 = ui::Named(new QRadioButton(kPaperA4, this), QStringLiteral("optA4"));
    optA5 = ui::Named(new QRadioButton(kPaperA5, this), QStringLiteral("optA5"));
    lblPaper->setBuddy(optA4);
    auto* papers = new QButtonGroup(this);
    papers->addButton(optA4);
    papers->addButton(optA5);

    lblPrinters->setBuddy(lvwPrinter);
    lvwPrinter->setAccessibleName(kPrompt);
    lvwPrinter->setColumnCount(1);
    lvwPrinter->setHeaderLabels({kColumn});
    lvwPrinter->setRootIsDecorated(false);
    lvwPrinter->setItemsExpandable(false);
    lvwPrinter->setUniformRowHeights(true);
    lvwPrinter->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwPrinter->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwPrinter->setMinimumSize(320, 140);
    lvwPrinter->header()->setSectionsClickable(true);
    lvwPrinter->header()->setSectionsMovable(false);
    // The one column fills the list, so the header's sort arrow is always in sight; a text too
    // long for it is cut short and shown whole in its tool tip.
    lvwPrinter->header()->setStretchLastSection(true);
    lvwPrinter->setTextElideMode(Qt::ElideRight);
    lvwPrinter->installEventFilter(this);
    cmdSet->setToolTip(kSetTip);
    chkRestore->setToolTip(kRestoreTip);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdSet);
    buttons->addWidget(cmdExit);
    buttons->addStretch();

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(12, 10, 12, 12);
    layout->setHorizontalSpacing(12);
    layout->setVerticalSpacing(8);
    layout->addWidget(lblPrinters, 0, 0, 1, 2);
    layout->addWidget(lvwPrinter, 1, 0);
    layout->addLayout(buttons, 1, 1);
    layout->addWidget(chkConfirm, 2, 0, 1, 2);
    layout->addWidget(chkRestore, 3, 0, 1, 2);
    auto* paper = new QHBoxLayout;
    paper->setSpacing(12);
    paper->addWidget(lblPaper);
    paper->addWidget(optA4);
    paper->addWidget(optA5);
    paper->addStretch();
    layout->addLayout(paper, 4, 0, 1, 2);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(0, 1);

    setTabOrder(lvwPrinter, cmdSet);
    setTabOrder(cmdSet, cmdExit);
    setTabOrder(cmdExit, chkConfirm);
    setTabOrder(chkConfirm, chkRestore);
    setTabOrder(chkRestore, optA4);
    setTabOrder(optA4, optA5);

    connect(cmdSet, &QPushButton::clicked, this, &DefaultPrinterWindow::cmdSet_Click);
    connect(cmdExit, &QPushButton::clicked, this, &DefaultPrinterWindow::cmdExit_Click);
    ui::CloseOnEscape(this, [this] { cmdExit_Click(); });
    connect(lvwPrinter, &QTreeWidget::itemDoubleClicked, this,
            &DefaultPrinterWindow::lvwPrinter_DblClick);
    connect(lvwPrinter, &QTreeWidget::itemSelectionChanged, this,
            &DefaultPrinterWindow::UpdateSetButton);
    connect(lvwPrinter->header(), &QHeaderView::sectionClicked, this,
            &DefaultPrinterWindow::lvwPrinter_ColumnClick);

    Form_Load();
    connect(optA4, &QRadioButton::toggled, this,
            [this](bool on) { record_.setSlipPaper(on ? SlipPaper::A4 : SlipPaper::A5Landscape); });
    lvwPrinter->setFocus(Qt::OtherFocusReason);
    // Wide enough to show whole printer texts, within reason.
    int textWidth = 0;
    for (int i = 0; i < lvwPrinter->topLevelItemCount(); ++i) {
        textWidth = std::max(textWidth, lvwPrinter->fontMetrics().horizontalAdvance(
                                            lvwPrinter->topLevelItem(i)->text(0)));
    }
    const int listWidth = textWidth + kCheckAndMargins + lvwPrinter->frameWidth() * 2 +
                          lvwPrinter->verticalScrollBar()->sizeHint().width();
    const int width = std::clamp(sizeHint().width() - lvwPrinter->sizeHint().width() + listWidth,
                                 kMinimumWidth, kMaximumWidth);
    resize(QSize(width, 320).expandedTo(sizeHint()));
}

void DefaultPrinterWindow::Form_Load() {
    const QList<Printer> printers = ListPrinters();
    // An empty list alone does not tell a shop what to do next.
    if (printers.isEmpty()) {
        lblPrinters->setWordWrap(true);
        lblPrinters->setText(kNoPrinter);
    }
    for (const Printer& printer : printers) {
        lvwPrinter->addTopLevelItem(new PrinterItem(printer.text()));
    }
    if (lvwPrinter->topLevelItemCount() > 1) {
        SetHeaderSortImage(Qt::AscendingOrder);
    }

    // A window that never closed left its record behind: offer back the default it found.
    const QString saved = record_.printerToRestore(DefaultPrinterText());
    if (!saved.isEmpty() &&
        Box::show(this, kRestoreTitle, kRestoreText.arg(saved), Box::Icon::Question,
                  Box::Buttons::YesNo, Box::Answer::No) == Box::Answer::Yes) {
        ChangeDefault(saved);
    }

    originalDefault_ = DefaultPrinterText();
    record_.setPrinterName(originalDefault_);
    record_.setShutdownProperly(false);
    MarkDefaultItem(originalDefault_);
    chkConfirm->setChecked(record_.confirm());
    (record_.slipPaper() == SlipPaper::A5Landscape ? optA5 : optA4)->setChecked(true);
    UpdateSetButton();
}

QTreeWidgetItem* DefaultPrinterWindow::selectedItem() const {
    const QList<QTreeWidgetItem*> selected = lvwPrinter->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void DefaultPrinterWindow::UpdateSetButton() {
    // Only a chosen printer that is not already the default can be made the default.
    const QTreeWidgetItem* item = selectedItem();
    cmdSet->setEnabled(item != nullptr && item->checkState(0) != Qt::Checked);
}

void DefaultPrinterWindow::UncheckAllItems() {
    for (int i = 0; i < lvwPrinter->topLevelItemCount(); ++i) {
        lvwPrinter->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    }
}

void DefaultPrinterWindow::MarkDefaultItem(const QString& text) {
    for (int i = 0; i < lvwPrinter->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lvwPrinter->topLevelItem(i);
        if (item->text(0) == text) {
            UncheckAllItems();
            lvwPrinter->scrollToItem(item);
            lvwPrinter->setCurrentItem(item);
            item->setCheckState(0, Qt::Checked);
            return;
        }
    }
}

bool DefaultPrinterWindow::ChangeDefault(const QString& text) {
    const PrinterChange change = SetDefaultPrinter(text);
    if (!change.ok) {
        ui::Stop(this, kSetFailed.arg(change.error));
    }
    return change.ok;
}

void DefaultPrinterWindow::MakeDefault(const QString& text) {
    // A change the printing system refused must not be shown as made.
    if (!ChangeDefault(text)) {
        return;
    }
    UncheckAllItems();
    MarkDefaultItem(text);
    cmdSet->setEnabled(false);
}

void DefaultPrinterWindow::cmdSet_Click() {
    QTreeWidgetItem* item = selectedItem();
    if (item == nullptr || item->checkState(0) == Qt::Checked) {
        return;
    }
    const QString text = item->text(0);
    if (chkConfirm->isChecked() &&
        Box::show(this, kConfirmTitle, kConfirmText.arg(text), Box::Icon::None, Box::Buttons::YesNo,
                  Box::Answer::No) != Box::Answer::Yes) {
        return;
    }
    MakeDefault(text);
}

void DefaultPrinterWindow::lvwPrinter_DblClick() {
    QTreeWidgetItem* item = selectedItem();
    if (item == nullptr) {
        return;
    }
    if (item->checkState(0) != Qt::Checked) {
        cmdSet_Click();
        return;
    }
    Box::show(this, kAlreadyTitle, kAlreadyText.arg(item->text(0)), Box::Icon::Exclamation,
              Box::Buttons::Ok);
}

void DefaultPrinterWindow::lvwPrinter_ColumnClick(int column) {
    if (lvwPrinter->topLevelItemCount() == 0) {
        return;
    }
    // The one column is the sort column from the start (ascending), so the first click
    // already reverses the order.
    if (column == sortColumn_) {
        sortOrder_ = sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    } else {
        sortColumn_ = column;
        sortOrder_ = Qt::AscendingOrder;
    }
    lvwPrinter->sortItems(sortColumn_, sortOrder_);
    if (QTreeWidgetItem* item = selectedItem()) {
        lvwPrinter->scrollToItem(item);
        lvwPrinter->setFocus(Qt::OtherFocusReason);
    }
    if (lvwPrinter->topLevelItemCount() > 1) {
        SetHeaderSortImage(sortOrder_);
    }
}

void DefaultPrinterWindow::SetHeaderSortImage(Qt::SortOrder order) {
    lvwPrinter->header()->setSortIndicatorShown(true);
    lvwPrinter->header()->setSortIndicator(sortColumn_, order);
}

void DefaultPrinterWindow::cmdExit_Click() {
    close();
}

void DefaultPrinterWindow::closeEvent(QCloseEvent* event) {
    if (chkRestore->isChecked()) {
        ChangeDefault(originalDefault_);
    }
    record_.setShutdownProperly(true);
    record_.setConfirm(chkConfirm->isChecked());
    event->accept();
}

bool DefaultPrinterWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lvwPrinter) {
        if (event->type() == QEvent::FocusIn) {
            UpdateSetButton();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            // Space would otherwise toggle or select; the check mark is the window's to move.
            if (key == Qt::Key_Space) {
                return true;
            }
            // Enter does for keyboard users what a double-click does.
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                lvwPrinter_DblClick();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
