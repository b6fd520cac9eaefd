#include "app/main_window.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/customer_list_rows.h"
#include "app/customer_list_source.h"
#include "app/reminder_list.h"
#include "core/clock.h"
#include "core/data_changes.h"
#include "core/date_text.h"
#include "customers/customer_edit_window.h"
#include "customers/customer_entry_window.h"
#include "customers/customer_store.h"
#include "followup/call_history_window.h"
#include "followup/call_record_window.h"
#include "masterdata/system_panel_window.h"
#include "repairs/order_entry_window.h"
#include "repairs/repair_history_window.h"
#include "reports/statistics_window.h"
#include "session/current_operator.h"
#include "ui/busy_indicator.h"
#include "ui/date_picker.h"
#include "ui/grid.h"
#include "ui/link_label.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"

namespace {

using ui::Named;

const QString kTitle = QStringLiteral("Ruvaso汽车维修保养客户管理系统");
const QString kSearchTip = QStringLiteral("查找内容：车牌、车主姓名、手机号  填写完后按回车查找");
const QString kSelectRecord = QStringLiteral("请选中相应记录！");
const QString kEmptySearch = QStringLiteral("请填写查找内容！");
const QString kConfirmDelete = QStringLiteral("是否删除信息？");
const QString kDeleted = QStringLiteral("删除成功！");
const QString kOverdueNotice = QStringLiteral("另有 %1 位客户逾期未回访");
const QString kOverdueListed = QStringLiteral("以下是逾期未回访的客户，共 %1 位");
const QString kOverdueTip =
    QStringLiteral("提醒日期已过、此后还没有打过电话的客户。单击列出他们，逾期最久的在前。");
// How often the window looks whether the day has changed under a program left running.
constexpr int kDayCheckMs = 60 * 1000;

struct ListColumn {
    const char* heading;
    int width;
    const char* field;
};

// The reminder list: column 0 holds the hidden record key.
const ListColumn kColumns[] = {
    {"", 0, "kh_code"},           {"是否打过电话", 90, "kh_sfdgdh"}, {"提醒日期", 70, "kh_txdate"},
    {"车牌号", 70, "kh_cph"},     {"车主姓名", 70, "kh_czname"},     {"性别", 65, "kh_xb"},
    {"联系电话", 140, "kh_tele"}, {"登记日期", 70, "kh_djdate"},     {"身份证号", 180, "kh_sfzh"},
    {"车型", 20, "kh_cx"}};
constexpr int kColumnCount = int(std::size(kColumns));

const QString kServerLost = QStringLiteral(
    "与数据库服务器的连接已中断，程序正在后台重新连接；连接恢复前，列表中的内容可能不是最新的。");

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1280, 800);

    buildControls();
    buildMenus();

    connect(Combo1, &QComboBox::activated, this, &MainWindow::Combo1_Click);
    connect(DTPicker1, &ui::DatePicker::Change, this, &MainWindow::DTPicker1_Change);
    connect(DTPicker2, &ui::DatePicker::Change, this, &MainWindow::DTPicker2_Change);
    connect(grid1, &ui::Grid::currentCellChanged, this, &MainWindow::grid1_CurrentCellChanged);
    connect(grid1, &ui::Grid::mouseButton, this, &MainWindow::grid1_MouseButton);
    connect(grid1, &ui::Grid::rowDoubleClicked, this, &MainWindow::grid1_DblClick);
    connect(grid1, &ui::Grid::contextMenuRequested, this, [this](int) {
        if (SelectedRow != 0) {
            const QRect cell = grid1->visualRect(grid1->currentIndex());
            showRecordMenu(grid1->viewport()->mapToGlobal(cell.bottomLeft()));
        }
    });
    connect(Text1, &QLineEdit::returnPressed, this, [this] { Text1_KeyDown(Qt::Key_Return); });
    connect(DataChanges::instance(), &DataChanges::customers, this, &MainWindow::refreshList);
    connect(DataChanges::instance(), &DataChanges::serverLost, connectionNotice, &QLabel::show);
    connect(DataChanges::instance(), &DataChanges::serverBack, connectionNotice, &QLabel::hide);
    connect(Label1, &ui::LinkLabel::clicked, this, &MainWindow::Label1_Click);
    connect(Label3, &ui::LinkLabel::clicked, this, &MainWindow::Label3_Click);
    connect(Label2, &ui::LinkLabel::clicked, this, &MainWindow::Label2_Click);
    connect(Label16, &ui::LinkLabel::clicked, this, &MainWindow::Label16_Click);
    connect(overdueLink, &ui::LinkLabel::clicked, this, &MainWindow::overdueLink_Click);
    auto* dayCheck = new QTimer(this);
    connect(dayCheck, &QTimer::timeout, this, &MainWindow::checkNewDay);
    dayCheck->start(kDayCheckMs);
    connect(kh_dhjl, &QAction::triggered, this, &MainWindow::kh_dhjl_Click);
    connect(kh_mana, &QAction::triggered, this, &MainWindow::kh_mana_Click);
    connect(kh_dele, &QAction::triggered, this, &MainWindow::kh_dele_Click);
    connect(kh_wxjl, &QAction::triggered, this, &MainWindow::kh_wxjl_Click);
    connect(kh_tele, &QAction::triggered, this, &MainWindow::kh_tele_Click);
    connect(zmtj, &QAction::triggered, this, [this] { ShowStatistics(StatisticsKind::Turnover); });
    connect(mxtj, &QAction::triggered, this,
            [this] { ShowStatistics(StatisticsKind::ItemDetail); });
    connect(wxjstj, &QAction::triggered, this,
            [this] { ShowStatistics(StatisticsKind::Technician); });

    Form_Load();
}

MainWindow::~MainWindow() {
    // The grid outlives the list it reads from: it lets the list go first.
    grid1->setRowSource(nullptr, 0);
}

void MainWindow::buildControls() {
    Label5 = Named(new QLabel(this), "Label5");
    Label14 = Named(new QLabel(QStringLiteral("操作员"), this), "Label14");
    Label13 = Named(new QLabel(this), "Label13");
    Label13->setMinimumWidth(80);
    QFont strong = Label13->font();
    strong.setBold(true);
    Label13->setFont(strong);

    auto* top = new QHBoxLayout;
    top->addWidget(Label5);
    top->addStretch();
    top->addWidget(Label14);
    top->addSpacing(6);
    top->addWidget(Label13);

    // Left panel: the windows a shop opens all day.
    auto* panel = Named(new QFrame(this), "Frame2");
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFixedWidth(150);
    panel->setAutoFillBackground(true);
    QPalette panelPalette = panel->palette();
    panelPalette.setColor(QPalette::Window, QColor(232, 232, 245));
    panel->setPalette(panelPalette);
    Label1 = Named(new ui::LinkLabel(QStringLiteral("客户信息"), panel), "Label1");
    Label3 = Named(new ui::LinkLabel(QStringLiteral("维修管理"), panel), "Label3");
    Label2 = Named(new ui::LinkLabel(QStringLiteral("系统管理"), panel), "Label2");
    Label16 = Named(new ui::LinkLabel(QStringLiteral("统计管理"), panel), "Label16");
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(16, 24, 16, 24);
    panelLayout->setSpacing(28);
    QFont entryFont = Label1->font();
    entryFont.setPointSizeF(entryFont.pointSizeF() * 1.3);
    for (ui::LinkLabel* entry : {Label1, Label3, Label2, Label16}) {
        entry->setFont(entryFont);
        entry->setAlignment(Qt::AlignCenter);
        panelLayout->addWidget(entry);
    }
    panelLayout->addStretch();

    Label6 = Named(new QLabel(QStringLiteral("客户提醒显示"), this), "Label6");
    QFont heading = Label6->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.2);
    Label6->setFont(heading);

    overdueLink = Named(new ui::LinkLabel(QString(), this), "overdueLink");
    overdueLink->setToolTip(kOverdueTip);
    QPalette warning = overdueLink->palette();
    warning.setColor(QPalette::WindowText, QColor(192, 0, 0));
    overdueLink->setPalette(warning);
    overdueLink->setFont(heading);
    overdueLink->hide();
    auto* headingRow = new QHBoxLayout;
    headingRow->addWidget(Label6);
    headingRow->addSpacing(24);
    headingRow->addWidget(overdueLink);
    headingRow->addStretch();

    Label7 = Named(new QLabel(QStringLiteral("提醒日期"), this), "Label7");
    DTPicker1 = Named(new ui::DatePicker(this), "DTPicker1");
    Label8 = Named(new QLabel(QStringLiteral("至"), this), "Label8");
    DTPicker2 = Named(new ui::DatePicker(this), "DTPicker2");
    Label9 = Named(new QLabel(QStringLiteral("显示方式"), this), "Label9");
    Combo1 = Named(new QComboBox(this), "Combo1");
    Combo1->setMinimumContentsLength(8);
    Label15 = Named(new QLabel(QStringLiteral("查找"), this), "Label15");
    Text1 = Named(new QLineEdit(this), "Text1");
    Text1->setToolTip(kSearchTip);
    Text1->setPlaceholderText(QStringLiteral("车牌、车主姓名、手机号"));
    Text1->setMinimumWidth(200);
    Label7->setBuddy(DTPicker1);
    Label8->setBuddy(DTPicker2);
    Label9->setBuddy(Combo1);
    Label15->setBuddy(Text1);

    auto* filters = new QHBoxLayout;
    filters->addWidget(Label7);
    filters->addWidget(DTPicker1);
    filters->addWidget(Label8);
    filters->addWidget(DTPicker2);
    filters->addSpacing(16);
    filters->addWidget(Label9);
    filters->addWidget(Combo1);
    filters->addSpacing(16);
    filters->addWidget(Label15);
    filters->addWidget(Text1, 1);

    auto* frame = Named(new QFrame(this), "Frame1");
    frame->setFrameShape(QFrame::StyledPanel);
    grid1 = Named(new ui::Grid(frame), "grid1");
    Label6->setBuddy(grid1);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->addWidget(grid1);

    connectionNotice = Named(new QLabel(kServerLost, this), "connectionNotice");
    connectionNotice->setStyleSheet(QStringLiteral("color: #c00000;"));
    connectionNotice->setWordWrap(true);
    connectionNotice->hide();

    auto* listSide = new QVBoxLayout;
    listSide->addLayout(headingRow);
    listSide->addWidget(connectionNotice);
    listSide->addLayout(filters);
    listSide->addWidget(frame, 1);

    auto* body = new QHBoxLayout;
    body->addWidget(panel);
    body->addLayout(listSide, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body, 1);

    picLOAD = Named(new ui::BusyIndicator(this), "picLOAD");

    setTabOrder(Text1, grid1);
    setTabOrder(grid1, overdueLink);
    setTabOrder(overdueLink, Label1);
}

void MainWindow::buildMenus() {
    sys = Named(new QMenu(QStringLiteral("系统"), this), "sys");
    kh_dhjl = sys->addAction(QStringLiteral("『    电话记录　　』"));
    sys->addSeparator()->setObjectName(QStringLiteral("line_2"));
    kh_mana = sys->addAction(QStringLiteral("『　修改客户信息　』"));
    kh_dele = sys->addAction(QStringLiteral("『　删除客户信息　』"));
    sys->addSeparator()->setObjectName(QStringLiteral("line_1"));
    kh_wxjl = sys->addAction(QStringLiteral("『　查看维修记录　』"));
    kh_tele = sys->addAction(QStringLiteral("『　查看电话记录　』"));
    kh_dhjl->setObjectName(QStringLiteral("kh_dhjl"));
    kh_mana->setObjectName(QStringLiteral("kh_mana"));
    kh_dele->setObjectName(QStringLiteral("kh_dele"));
    kh_wxjl->setObjectName(QStringLiteral("kh_wxjl"));
    kh_tele->setObjectName(QStringLiteral("kh_tele"));

    tjgl = Named(new QMenu(QStringLiteral("统计管理"), this), "tjgl");
    zmtj = tjgl->addAction(QStringLiteral("『  帐目统计  』"));
    mxtj = tjgl->addAction(QStringLiteral("『  明细统计  』 "));
    wxjstj = tjgl->addAction(QStringLiteral("『  维修技师统计  』 "));
    zmtj->setObjectName(QStringLiteral("zmtj"));
    mxtj->setObjectName(QStringLiteral("mxtj"));
    wxjstj->setObjectName(QStringLiteral("wxjstj"));
}

void MainWindow::setUpGrid() {
    grid1->setAutoRedraw(false);
    grid1->applyStandardLook();
    grid1->setGridFont(QStringLiteral("Tahoma"), 8);
    grid1->setCols(kColumnCount);
    grid1->setRows(21);
    grid1->setRowHeight(0, 30);
    for (int c = 1; c < kColumnCount; ++c) {
        grid1->setCellText(0, c, QString::fromUtf8(kColumns[c].heading));
        grid1->setColumnAlignment(c, 14);
        grid1->setHeadingAlignment(c, 10);
        grid1->setColumnLocked(c, true);
    }
    for (int c = 0; c < kColumnCount; ++c) {
        grid1->setColumnWidth(c, kColumns[c].width);
    }
    grid1->setColumnCellKind(1, 2);
    // The car model is the last column: let it take the rest of the width, so it is never cut.
    grid1->horizontalHeader()->setStretchLastSection(true);
    grid1->setAutoRedraw(true);
    grid1->refresh();
}

void MainWindow::setOperatorName(const QString& name) {
    Label13->setText(name);
    SetCurrentOperator(name);
}

void MainWindow::Form_Load() {
    const QDate today = Today();
    DTPicker1->setValue(today);
    DTPicker2->setValue(today);
    Label5->setText(TodayLine(today));
    shownDay_ = today;
    setUpGrid();
    for (ReminderMode mode : {ReminderMode::All, ReminderMode::Called, ReminderMode::NotCalled}) {
        Combo1->addItem(ReminderModeText(mode));
    }
    Combo1->setCurrentIndex(int(ReminderMode::NotCalled));
    Combo1_Click();
    grid1->setFocus(Qt::OtherFocusReason);
}

void MainWindow::Combo1_Click() {
    ReloadReminderList();
}

void MainWindow::DTPicker1_Change() {
    Combo1->setCurrentIndex(int(ReminderMode::NotCalled));
    ReloadReminderList();
}

void MainWindow::DTPicker2_Change() {
    DTPicker1_Change();
}

void MainWindow::ReloadReminderList() {
    const std::optional<ReminderMode> mode = ReminderModeFromText(Combo1->currentText());
    if (!mode) {
        clearList();
        return;
    }
    ui::BusyGuard busy(picLOAD);
    listing_ = Listing::Reminders;
    listedSearch_.clear();
    showList(ReminderListQuery(*mode, DTPicker1->value(), DTPicker2->value()));
    updateOverdueNotice();
}

void MainWindow::updateOverdueNotice() {
    const bool listed = listing_ == Listing::Overdue;
    // Customers due within the listed days are in the list already; "另有" counts the others.
    const DbResult<qint64> overdue =
        CountOverdue(listed ? Today() : std::min(DTPicker1->value(), Today()));
    // A count that cannot be read hides the notice; the list's own read says what went wrong.
    const qint64 count = overdue ? *overdue : 0;
    overdueLink->setText((listed ? kOverdueListed : kOverdueNotice).arg(count));
    overdueLink->setVisible(listed || count > 0);
}

void MainWindow::overdueLink_Click() {
    ui::BusyGuard busy(picLOAD);
    listing_ = Listing::Overdue;
    listedSearch_.clear();
    showList(OverdueListQuery(Today()));
    updateOverdueNotice();
    grid1->setFocus(Qt::OtherFocusReason);
}

void MainWindow::checkNewDay() {
    const QDate today = Today();
    if (today == shownDay_) {
        return;
    }
    shownDay_ = today;
    Label5->setText(TodayLine(today));
    if (listing_ == Listing::Overdue) {
        refreshList();
    } else {
        updateOverdueNotice();
    }
}

void MainWindow::refreshList() {
    const qint64 key = rows_ && SelectedRow > 0 ? rows_->key(SelectedRow - 1) : -1;
    const int column = std::max(1, grid1->currentCol());
    switch (listing_) {
        case Listing::Reminders:
            ReloadReminderList();
            break;
        case Listing::Search: {
            ui::BusyGuard busy(picLOAD);
            showList(SearchQuery(listedSearch_));
            updateOverdueNotice();
            break;
        }
        case Listing::Overdue: {
            ui::BusyGuard busy(picLOAD);
            showList(OverdueListQuery(Today()));
            updateOverdueNotice();
            break;
        }
    }
    SelectedRow = 0;
    if (const int row = rows_ && key >= 0 ? rows_->find(key) : -1; row >= 0) {
        grid1->setCurrentCell(row + 1, column);
        SelectedRow = row + 1;
    }
}

void MainWindow::Text1_KeyDown(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        return;
    }
    // An empty search says so and leaves the list as it was: the customers due today stay.
    if (Text1->text().trimmed().isEmpty()) {
        ui::Stop(this, kEmptySearch);
        return;
    }
    ui::BusyGuard busy(picLOAD);
    listing_ = Listing::Search;
    listedSearch_ = Text1->text();
    showList(SearchQuery(listedSearch_));
}

void MainWindow::clearList() {
    // The grid lets the source go before it is dropped.
    grid1->setRows(1);
    source_.reset();
    rows_.reset();
}

void MainWindow::showList(const ListQuery& query) {
    const DbResult<std::shared_ptr<CustomerListRows>> opened = CustomerListRows::Open(query);
    if (!opened) {
        clearList();
        ui::ShowDatabaseError(this, opened.error());
        return;
    }
    std::vector<int> fields;
    for (const ListColumn& column : kColumns) {
        fields.push_back(int(ListFields().indexOf(QLatin1String(column.field))));
    }
    rows_ = *opened;
    auto source = std::make_unique<CustomerListSource>(rows_, std::move(fields));
    // The grid lets the old source go before it is dropped.
    grid1->setRowSource(source.get(), rows_->count());
    source_ = std::move(source);
    // The first screen fits its texts at once, as a list filled whole did.
    grid1->widenColumnsFor([this](const auto& visit) {
        source_->walkPage(
            1, [&visit](int row, int col, QByteArrayView utf8) { visit(row, col, utf8, 0); });
    });
}

void MainWindow::grid1_CurrentCellChanged(int row, int) {
    SelectedRow = row;
}

void MainWindow::grid1_MouseButton(int button, int, int x, int y) {
    if (button == 2 && SelectedRow != 0) {
        showRecordMenu(grid1->mapToGlobal(QPoint(x, y)));
    }
}

void MainWindow::showRecordMenu(const QPoint& globalPos) {
    sys->popup(globalPos);
}

void MainWindow::grid1_DblClick() {
    kh_dhjl_Click();
}

void MainWindow::Label1_Click() {
    ui::WindowHost::show(ui::WindowHost::instance<CustomerEntryWindow>(),
                         ui::WindowHost::Mode::Modeless);
}

void MainWindow::Label3_Click() {
    ui::WindowHost::show(ui::WindowHost::instance<OrderEntryWindow>(),
                         ui::WindowHost::Mode::Modeless);
}

void MainWindow::Label2_Click() {
    ui::WindowHost::show(ui::WindowHost::instance<SystemPanelWindow>(),
                         ui::WindowHost::Mode::Modeless);
}

void MainWindow::Label16_Click() {
    tjgl->popup(Label16->mapToGlobal(QPoint(Label16->width(), 0)));
}

QString MainWindow::selectedKey() const {
    return grid1->cellText(SelectedRow, 0);
}

std::optional<Customer> MainWindow::selectedCustomer() {
    if (SelectedRow == 0) {
        ui::Stop(this, kSelectRecord);
        return std::nullopt;
    }
    const DbResult<std::optional<Customer>> found = FindCustomerByKey(selectedKey());
    if (!found) {
        ui::ShowDatabaseError(this, found.error());
        return std::nullopt;
    }
    return *found;
}

void MainWindow::kh_dhjl_Click() {
    const std::optional<Customer> customer = selectedCustomer();
    if (!customer) {
        return;
    }
    auto* call = ui::WindowHost::instance<CallRecordWindow>();
    call->load(*customer, SelectedRow);
    // A saved call changes the customer; the list reads it again when the store says so.
    ui::WindowHost::show(call, ui::WindowHost::Mode::Modal);
}

void MainWindow::kh_mana_Click() {
    const std::optional<Customer> customer = selectedCustomer();
    if (!customer) {
        return;
    }
    auto* edit = ui::WindowHost::instance<CustomerEditWindow>();
    edit->load(*customer);
    ui::WindowHost::show(edit, ui::WindowHost::Mode::Modal);
}

void MainWindow::kh_dele_Click() {
    if (SelectedRow == 0 || SelectedRow >= grid1->rows()) {
        ui::Stop(this, kSelectRecord);
        return;
    }
    // One stray click must not destroy a customer record.
    if (!ui::Confirm(this, kConfirmDelete)) {
        return;
    }
    if (const DbStatus removed = RemoveCustomer(selectedKey()); !removed) {
        ui::ShowDatabaseError(this, removed.error());
        return;
    }
    if (source_) {
        source_->remove(SelectedRow);
        grid1->removeSourceRow(SelectedRow);
    } else {
        grid1->removeRow(SelectedRow);
    }
    // The row that moved up is the one now highlighted, so the next action applies to it.
    if (SelectedRow < grid1->rows()) {
        grid1->setCurrentCell(SelectedRow, std::max(1, grid1->currentCol()));
    } else {
        SelectedRow = 0;
    }
    ui::Stop(this, kDeleted);
}

void MainWindow::kh_wxjl_Click() {
    if (SelectedRow == 0) {
        ui::Stop(this, kSelectRecord);
        return;
    }
    ShowRepairHistory(this, grid1->cellText(SelectedRow, 3));
}

void MainWindow::kh_tele_Click() {
    if (SelectedRow == 0) {
        ui::Stop(this, kSelectRecord);
        return;
    }
    // The history shows the owner's details as the list row shows them.
    Customer listed;
    listed.plate = grid1->cellText(SelectedRow, 3);
    listed.owner = grid1->cellText(SelectedRow, 4);
    listed.telephone = grid1->cellText(SelectedRow, 6);
    listed.model = grid1->cellText(SelectedRow, 9);
    ShowCallHistory(this, listed);
}
