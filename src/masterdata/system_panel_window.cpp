#include "masterdata/system_panel_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "import/import_window.h"
#include "masterdata/backup_window.h"
#include "masterdata/database_connection_window.h"
#include "masterdata/master_list_window.h"
#include "masterdata/operator_add_window.h"
#include "masterdata/operator_list_window.h"
#include "masterdata/panel_icons.h"
#include "masterdata/password_change_window.h"
#include "masterdata/plate_prefix_window.h"
#include "masterdata/restore_window.h"
#include "masterdata/shop_profile_window.h"
#include "printing/default_printer_window.h"
#include "session/current_operator.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"

namespace {

const QString kTitle = QStringLiteral("系统管理");
const QString kImport = QStringLiteral("客户资料导入");
const QString kTechnicians = QStringLiteral("维修技师");
const QString kAddOperator = QStringLiteral("用户添加");
const QString kRepairItems = QStringLiteral("维修项目");
const QString kPassword = QStringLiteral("密码修改");
const QString kBackup = QStringLiteral("数据备份");
const QString kPlatePrefix = QStringLiteral("车牌前缀");
const QString kRestore = QStringLiteral("数据恢复");
const QString kShopProfile = QStringLiteral("店铺信息");
const QString kPrinter = QStringLiteral("打印机选择");
const QString kConnection = QStringLiteral("数据库连接");
const QString kOperators = QStringLiteral("用户管理");

constexpr int kPictureSize = 64;
constexpr int kColumns = 4;

void Show(QWidget* window) {
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
}

}  // namespace

SystemPanelWindow::SystemPanelWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* entries = new QGridLayout;
    entries->setHorizontalSpacing(28);
    entries->setVerticalSpacing(18);
    int placed = 0;
    auto entry = [&](const QString& pictureName, const QString& labelName, const QString& caption,
                     PanelPicture picture, QToolButton** button, QLabel** label) {
        *button = ui::Named(new QToolButton(this), pictureName);
        (*button)->setIcon(PanelIcon(picture));
        (*button)->setIconSize(QSize(kPictureSize, kPictureSize));
        (*button)->setAutoRaise(true);
        (*button)->setAccessibleName(caption);
        (*button)->setToolTip(caption);
        (*button)->setCursor(Qt::PointingHandCursor);
        *label = ui::Named(new QLabel(caption, this), labelName);
        (*label)->setAlignment(Qt::AlignCenter);
        (*label)->setBuddy(*button);
        auto* cell = new QVBoxLayout;
        cell->setSpacing(4);
        cell->addWidget(*button, 0, Qt::AlignHCenter);
        cell->addWidget(*label, 0, Qt::AlignHCenter);
        entries->addLayout(cell, placed / kColumns, placed % kColumns);
        ++placed;
    };
    entry(QStringLiteral("Picture1"), QStringLiteral("Label1"), kImport, PanelPicture::Import,
          &Picture1, &Label1);
    entry(QStringLiteral("Picture22"), QStringLiteral("Label21"), kRepairItems,
          PanelPicture::RepairItems, &Picture22, &Label21);
    entry(QStringLiteral("Picture2"), QStringLiteral("Label2"), kTechnicians,
          PanelPicture::Technicians, &Picture2, &Label2);
    entry(QStringLiteral("Picture60"), QStringLiteral("Label56"), kPlatePrefix,
          PanelPicture::PlatePrefix, &Picture60, &Label56);
    entry(QStringLiteral("Picture21"), QStringLiteral("Label11"), kAddOperator,
          PanelPicture::AddOperator, &Picture21, &Label11);
    entry(QStringLiteral("Picture29"), QStringLiteral("Label30"), kPassword, PanelPicture::Password,
          &Picture29, &Label30);
    entry(QStringLiteral("Picture30"), QStringLiteral("Label37"), kBackup, PanelPicture::Backup,
          &Picture30, &Label37);
    entry(QStringLiteral("restorePicture"), QStringLiteral("restoreLabel"), kRestore,
          PanelPicture::Restore, &restorePicture, &restoreLabel);
    entry(QStringLiteral("shopPicture"), QStringLiteral("shopLabel"), kShopProfile,
          PanelPicture::ShopProfile, &shopPicture, &shopLabel);
    entry(QStringLiteral("printerPicture"), QStringLiteral("printerLabel"), kPrinter,
          PanelPicture::Printer, &printerPicture, &printerLabel);
    entry(QStringLiteral("connectionPicture"), QStringLiteral("connectionLabel"), kConnection,
          PanelPicture::Connection, &connectionPicture, &connectionLabel);
    // 用户管理 goes with 用户添加's picture: both are about the operators.
    entry(QStringLiteral("operatorsPicture"), QStringLiteral("operatorsLabel"), kOperators,
          PanelPicture::AddOperator, &operatorsPicture, &operatorsLabel);
    // The entry that copies this shop onto a server takes the next place.

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 24, 30, 24);
    layout->addLayout(entries);
    setFixedSize(sizeHint());

    connect(Picture1, &QToolButton::clicked, this, &SystemPanelWindow::Picture1_Click);
    connect(Picture2, &QToolButton::clicked, this, &SystemPanelWindow::Picture2_Click);
    connect(Picture21, &QToolButton::clicked, this, &SystemPanelWindow::Picture21_Click);
    connect(Picture22, &QToolButton::clicked, this, &SystemPanelWindow::Picture22_Click);
    connect(Picture29, &QToolButton::clicked, this, &SystemPanelWindow::Picture29_Click);
    connect(Picture30, &QToolButton::clicked, this, &SystemPanelWindow::Picture30_Click);
    connect(Picture60, &QToolButton::clicked, this, &SystemPanelWindow::Picture60_Click);
    connect(restorePicture, &QToolButton::clicked, this, &SystemPanelWindow::restorePicture_Click);
    connect(shopPicture, &QToolButton::clicked, this, &SystemPanelWindow::shopPicture_Click);
    connect(printerPicture, &QToolButton::clicked, this, &SystemPanelWindow::printerPicture_Click);
    connect(connectionPicture, &QToolButton::clicked, this,
            &SystemPanelWindow::connectionPicture_Click);
    connect(operatorsPicture, &QToolButton::clicked, this,
            &SystemPanelWindow::operatorsPicture_Click);

    const std::pair<Guarded, std::pair<QToolButton*, QLabel*>> guarded[] = {
        {Guarded::Technicians, {Picture2, Label2}},
        {Guarded::PriceList, {Picture22, Label21}},
        {Guarded::Operators, {Picture21, Label11}},
        {Guarded::Operators, {operatorsPicture, operatorsLabel}},
        {Guarded::Restore, {restorePicture, restoreLabel}},
        {Guarded::ShopProfile, {shopPicture, shopLabel}},
        {Guarded::DatabaseConnection, {connectionPicture, connectionLabel}},
    };
    for (const auto& [action, widgets] : guarded) {
        const QString refusal = RefusalFor(action);
        if (refusal.isEmpty()) {
            continue;
        }
        for (QWidget* widget :
             {static_cast<QWidget*>(widgets.first), static_cast<QWidget*>(widgets.second)}) {
            widget->setEnabled(false);
            widget->setToolTip(refusal);
        }
        widgets.first->setCursor(Qt::ArrowCursor);
    }
}

bool SystemPanelWindow::allowed(Guarded action) {
    const QString refusal = RefusalFor(action);
    if (!refusal.isEmpty()) {
        ui::Stop(this, refusal);
    }
    return refusal.isEmpty();
}

void SystemPanelWindow::Picture1_Click() {
    ui::WindowHost::show(ui::WindowHost::instance<ImportWindow>(), ui::WindowHost::Mode::Modal);
}

void SystemPanelWindow::Picture2_Click() {
    if (!allowed(Guarded::Technicians)) {
        return;
    }
    const MasterListForm& form = MasterListWindow::Technicians();
    Show(ui::WindowHost::instanceNamed<MasterListWindow>(form.formName, form));
}

void SystemPanelWindow::Picture21_Click() {
    if (!allowed(Guarded::Operators)) {
        return;
    }
    Show(ui::WindowHost::instance<OperatorAddWindow>());
}

void SystemPanelWindow::Picture22_Click() {
    if (!allowed(Guarded::PriceList)) {
        return;
    }
    const MasterListForm& form = MasterListWindow::RepairItems();
    Show(ui::WindowHost::instanceNamed<MasterListWindow>(form.formName, form));
}

void SystemPanelWindow::Picture29_Click() {
    auto* window = ui::WindowHost::instance<PasswordChangeWindow>();
    window->load(CurrentOperator());
    Show(window);
}

void SystemPanelWindow::Picture30_Click() {
    Show(ui::WindowHost::instance<BackupWindow>());
}

void SystemPanelWindow::Picture60_Click() {
    Show(ui::WindowHost::instance<PlatePrefixWindow>());
}

void SystemPanelWindow::restorePicture_Click() {
    if (!allowed(Guarded::Restore)) {
        return;
    }
    Show(ui::WindowHost::instance<RestoreWindow>());
}

void SystemPanelWindow::shopPicture_Click() {
    if (!allowed(Guarded::ShopProfile)) {
        return;
    }
    Show(ui::WindowHost::instance<ShopProfileWindow>());
}

void SystemPanelWindow::printerPicture_Click() {
    Show(ui::WindowHost::instance<DefaultPrinterWindow>());
}

void SystemPanelWindow::connectionPicture_Click() {
    if (!allowed(Guarded::DatabaseConnection)) {
        return;
    }
    Show(ui::WindowHost::instance<DatabaseConnectionWindow>());
}

void SystemPanelWindow::operatorsPicture_Click() {
    if (!allowed(Guarded::Operators)) {
        return;
    }
    Show(ui::WindowHost::instance<OperatorListWindow>());
}
