// Renders every window to a PNG, filled with sample data, so its look can be checked without
// a display: ruvaso_screens OUTPUT_DIR (run with QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <vector>

#include "app/localization.h"
#include "app/login_window.h"
#include "app/main_window.h"
#include "core/clock.h"
#include "core/order_number_text.h"
#include "customers/customer_edit_window.h"
#include "customers/customer_entry_window.h"
#include "customers/customer_store.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/record_key.h"
#include "data/run_sql.h"
#include "followup/call_history_window.h"
#include "followup/call_record.h"
#include "followup/call_record_window.h"
#include "followup/phrase_list_window.h"
#include "followup/phrases.h"
#include "import/import_window.h"
#include "masterdata/backup_folder.h"
#include "masterdata/backup_window.h"
#include "masterdata/database_connection_window.h"
#include "masterdata/master_list_window.h"
#include "masterdata/operator_add_window.h"
#include "masterdata/operator_list_window.h"
#include "masterdata/password_change_window.h"
#include "masterdata/plate_prefix_window.h"
#include "masterdata/recovery_window.h"
#include "masterdata/restore_window.h"
#include "masterdata/shop_profile.h"
#include "masterdata/shop_profile_window.h"
#include "masterdata/system_panel_window.h"
#include "printing/default_printer_window.h"
#include "repairs/order_entry.h"
#include "repairs/order_entry_window.h"
#include "repairs/order_lines_window.h"
#include "repairs/repair_history_window.h"
#include "repairs/slip.h"
#include "repairs/slip_painter.h"
#include "repairs/slip_preview_window.h"
#include "reports/report_painter.h"
#include "reports/report_preview.h"
#include "reports/statistics_window.h"
#include "session/connection_settings.h"
#include "session/current_operator.h"
#include "session/operators.h"
#include "ui/date_picker.h"
#include "ui/grid.h"
#include "ui/key_controls.h"
#include "ui/window_host.h"

namespace {

// Three orders of 京A12343; the last one has the slip's four lines.
void SeedOrders() {
    struct Line {
        const char* item;
        const char* description;
        double quantity;
        double price;
    };
    struct SampleOrder {
        const char* number;
        const char* date;
        std::vector<Line> lines;
    };
    const SampleOrder orders[] = {
        {" 20260315001", "2026-03-15", {{"更换机油", "半合成机油 4 升", 4, 30}}},
        {" 20260902004", "2026-09-02", {{"补胎", "右后轮", 1, 35.5}}},
        {" 20261206001",
         "2026-12-06",
         {{"更换机油", "全合成机油 4 升", 4, 68},
          {"机油滤清器", "原厂配件", 1, 45},
          {"车门钣金", "左前车门修复", 1, 56},
          {"洗车", "", 1, 30}}}};
    for (const SampleOrder& sample : orders) {
        Order order;
        order.number = QString::fromLatin1(sample.number);
        order.plate = QStringLiteral("京A12343");
        order.owner = QStringLiteral("欧阳明");
        order.model = QStringLiteral("卡罗拉");
        order.telephone = QStringLiteral("13800138003");
        order.operatorName = QStringLiteral("管理员");
        order.technician = QStringLiteral("李师傅");
        order.date = QDate::fromString(QString::fromLatin1(sample.date), Qt::ISODate);
        order.nextReminder = order.date.addMonths(6);
        for (const Line& line : sample.lines) {
            order.lines.append({QString::fromUtf8(line.item), QString::fromUtf8(line.description),
                                line.quantity, line.price, line.quantity * line.price});
            order.total += line.quantity * line.price;
        }
        SaveOrder(order);
    }
}

void Seed() {
    const char* names[] = {"张三", "李四", "王小五", "欧阳明", "赵敏"};
    for (int i = 0; i < 5; ++i) {
        Customer customer;
        customer.key = QStringLiteral("{K%1}").arg(i);
        customer.plate = QStringLiteral("京A1234%1").arg(i);
        customer.owner = QString::fromUtf8(names[i]);
        customer.sex = i % 2 ? QStringLiteral("女士") : QStringLiteral("先生");
        customer.telephone = QStringLiteral("1380013800%1").arg(i);
        customer.entryDate = QDate(2025, 3, 2);
        customer.reminderDate = Today();
        customer.identity = QStringLiteral("110105198001011234");
        customer.model = QStringLiteral("卡罗拉");
        AddCustomer(customer);
    }
    for (const char* phrase : {"提醒保养", "提醒年检", "回访满意度"}) {
        StorePhraseOnce(ContentPhrases(), QString::fromUtf8(phrase));
    }
    const char* items[][2] = {{"更换机油", "120"}, {"更换机滤", "35.5"}, {"四轮定位", "80"}};
    for (const auto& item : items) {
        RunSql(QStringLiteral("insert into xm_table values (?, ?, ?)"),
               {NewRecordKey(), QString::fromUtf8(item[0]), QString::fromUtf8(item[1]).toDouble()});
    }
    SaveShopProfile({QStringLiteral("蓝天汽修"), QStringLiteral("北京市朝阳区建国路88号"),
                     QStringLiteral("010-66668888")});
    for (const char* name : {"李师傅", "王师傅"}) {
        RunSql(QStringLiteral("insert into wxjs_table values (?, ?)"),
               {NewRecordKey(), QString::fromUtf8(name)});
    }
    CallRecord call;
    call.customerKey = QStringLiteral("{K3}");
    call.plate = QStringLiteral("京A12343");
    call.owner = QStringLiteral("欧阳明");
    call.content = QStringLiteral("提醒保养");
    call.response = QStringLiteral("下周来店");
    call.nextReminder = Today();
    call.callDate = QDate(2026, 12, 1);
    call.operatorName = QStringLiteral("管理员");
    SaveCall(call);
    SeedOrders();
}

Slip SampleSlip() {
    Slip slip;
    FillSlipShop(slip);
    slip.orderNumber = OrderNumberText(QStringLiteral(" 202612060001"));
    slip.orderDate = QStringLiteral("2026-12-06");
    slip.owner = QStringLiteral("张三");
    slip.plate = QStringLiteral("京A12343");
    slip.model = QStringLiteral("大众帕萨特");
    slip.telephone = QStringLiteral("13912345678");
    slip.dateTime = SlipDateTime(QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9)));
    slip.operatorName = QStringLiteral("管理员");
    slip.technician = QStringLiteral("李师傅");
    slip.total = QStringLiteral("5403.00");
    slip.lines[0] = {QStringLiteral("更换机油"), QStringLiteral("全合成机油 4 升"),
                     QStringLiteral("4.00"), QStringLiteral("68.00"), QStringLiteral("272.00")};
    slip.lines[4] = {QStringLiteral("轮胎"), QStringLiteral("四条"), QStringLiteral("4.00"),
                     QStringLiteral("1250.00"), QStringLiteral("5000.00")};
    slip.lines[1] = {QStringLiteral("机油滤清器"), QStringLiteral("原厂配件"),
                     QStringLiteral("1.00"), QStringLiteral("45.00"), QStringLiteral("45.00")};
    slip.lines[2] = {QStringLiteral("车门钣金"), QStringLiteral("左前车门修复"),
                     QStringLiteral("1.00"), QStringLiteral("56.00"), QStringLiteral("56.00")};
    slip.lines[3] = {QStringLiteral("洗车"), QString(), QStringLiteral("1.00"),
                     QStringLiteral("30.00"), QStringLiteral("30.00")};
    return slip;
}

void Save(QWidget* window, const QString& dir, const QString& name) {
    window->show();
    // As the event loop would: parts replaced since the last picture are gone before this one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    window->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// The three statistics windows over the sample orders, a printed report page and its preview.
// A report's first page as the printer gets it, at 150 dpi, turned as the report prints.
void SaveReportPage(const Report& report, const QString& path) {
    const bool landscape = report.landscape;
    QImage page(landscape ? 1754 : 1240, landscape ? 1240 : 1754, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.setDotsPerMeterX(5906);
    page.setDotsPerMeterY(5906);
    {
        QPainter painter(&page);
        const QRectF area = landscape ? QRectF(70, 90, 1614, 1080) : QRectF(70, 90, 1100, 1580);
        const DbResult<ReportPlacement> placement = PlaceReport(report, area, page);
        if (placement) {
            PaintReportPage(painter, report, *placement, 0);
        }
    }
    page.save(path);
}

void SaveStatistics(const QString& out) {
    Report report;
    for (StatisticsKind kind :
         {StatisticsKind::Turnover, StatisticsKind::ItemDetail, StatisticsKind::Technician}) {
        auto* window = new StatisticsWindow(kind);
        window->DTPicker1->setValue(QDate(2026, 1, 1));
        window->DTPicker2->setValue(QDate(2026, 12, 31));
        window->Command1_Click();
        Save(window, out, window->objectName());
        if (kind == StatisticsKind::Turnover) {
            window->DTPicker1->setValue(QDate(2026, 12, 1));
            window->Command1_Click();
            Save(window, out, window->objectName() + QStringLiteral("-month"));
        }
        if (kind == StatisticsKind::ItemDetail) {
            // Kept as texts: the report outlives its window's list.
            report = window->currentReport(QStringLiteral("蓝天汽修"));
            QList<QStringList> rows;
            for (int r = 0; r < report.rows->count(); ++r) {
                rows << ReportRowTexts(*report.rows, r);
            }
            report.rows = ListReportRows(rows);
        }
        if (kind == StatisticsKind::Technician) {
            SaveReportPage(window->currentReport(QStringLiteral("蓝天汽修")),
                           out + QStringLiteral("/report-technician-page.png"));
        }
    }
    SaveReportPage(report, out + QStringLiteral("/report-page.png"));
    auto* preview = new ReportPreview;
    preview->load(report);
    Save(preview, out, QStringLiteral("ReportPreview"));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ApplyChineseLocale(app);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QTemporaryDir data;
    // Windows that keep settings (the printer choice) keep them here, not in the user's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, data.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, data.path());
    if (!Database::Open(data.path()).ok) {
        return 1;
    }
    Seed();

    Save(new LoginWindow, out, QStringLiteral("Form9"));
    auto* main = new MainWindow;
    main->setOperatorName(QStringLiteral("管理员"));
    main->Combo1->setCurrentIndex(0);
    main->Combo1_Click();
    main->grid1->setCurrentCell(2, 3);
    Save(main, out, QStringLiteral("Form1"));
    Save(new CustomerEntryWindow, out, QStringLiteral("Form3"));
    Save(new CustomerEditWindow, out, QStringLiteral("Form13"));
    auto* call = new CallRecordWindow;
    Save(call, out, QStringLiteral("Form14"));
    Save(new PhraseListWindow(ContentPhrases(), call->Combo1), out, QStringLiteral("Form15"));
    auto* order = new OrderEntryWindow;
    order->Text4->setText(QStringLiteral("京A12341"));
    order->Text4_KeyDown(Qt::Key_Return);
    order->Combo2->setEditText(QStringLiteral("李师傅"));
    order->Combo1[0]->setCurrentIndex(1);
    order->Combo1_Click(0);
    order->Text1[0]->setText(QStringLiteral("1"));
    order->Text1_LostFocus(0);
    Save(order, out, QStringLiteral("Form4"));
    auto* preview = new SlipPreviewWindow;
    preview->load(SampleSlip());
    Save(preview, out, QStringLiteral("Form22"));
    // The printed slip, as the default printer would get it.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(out + QStringLiteral("/slip.pdf"));
    SetSlipPage(printer, SlipPaper::A4);
    PrintSlip(SampleSlip(), printer);
    printer.setOutputFileName(out + QStringLiteral("/slip-a5.pdf"));
    SetSlipPage(printer, SlipPaper::A5Landscape);
    PrintSlip(SampleSlip(), printer);
    Save(new DefaultPrinterWindow, out, QStringLiteral("frmDefaultPrinter"));
    Save(new ShopProfileWindow, out, QStringLiteral("frmShopProfile"));
    Save(new SystemPanelWindow, out, QStringLiteral("Form5"));
    Save(new DatabaseConnectionWindow, out, QStringLiteral("frmDatabaseConnection-file"));
    // A server stored for the next start, its password kept.
    StoreServer(data.path(),
                {QStringLiteral("db.shop.lan"), QStringLiteral("5432"), QStringLiteral("ruvaso"),
                 QStringLiteral("前台")},
                QStringLiteral("secret"));
    Save(new DatabaseConnectionWindow, out, QStringLiteral("frmDatabaseConnection"));
    Save(new PlatePrefixWindow, out, QStringLiteral("Form6"));
    Save(new MasterListWindow(MasterListWindow::RepairItems()), out, QStringLiteral("Form7"));
    Save(new MasterListWindow(MasterListWindow::Technicians()), out, QStringLiteral("Form24"));
    auto* password = new PasswordChangeWindow;
    password->load(QStringLiteral("管理员"));
    Save(password, out, QStringLiteral("Form10"));
    Save(new OperatorAddWindow, out, QStringLiteral("Form11"));
    auto* reset = new PasswordChangeWindow;
    reset->loadReset(QStringLiteral("小李"));
    Save(reset, out, QStringLiteral("Form10-reset"));
    // A clerk beside the administrator, who has logged in once.
    AddOperator(QStringLiteral("小李"), QStringLiteral("xiaoli-1"), QStringLiteral("xiaoli-1"));
    CheckLogin(QStringLiteral("小李"), QStringLiteral("xiaoli-1"));
    Save(new OperatorListWindow, out, QStringLiteral("frmOperators"));
    // What the clerk sees of the system panel.
    SetCurrentOperator(QStringLiteral("小李"));
    Save(new SystemPanelWindow, out, QStringLiteral("Form5-clerk"));
    SetCurrentOperator(QString());
    // Backups taken in the evening, one of them also on a stick that is plugged in.
    QTemporaryDir stick;
    BackupOptions evening;
    evening.written = QDateTime(QDate(2026, 12, 5), QTime(17, 20));
    CopyDatabaseFile(Database::FilePath(),
                     data.path() + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 5)), evening);
    CopyDatabaseFile(Database::FilePath(),
                     stick.path() + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 5)), evening);
    evening.written = QDateTime(QDate(2026, 12, 6), QTime(18, 5));
    CopyDatabaseFile(Database::FilePath(),
                     data.path() + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 6)), evening);
    SetBackupFolder(data.path(), stick.path());
    Save(new BackupWindow, out, QStringLiteral("frmBackup"));
    Save(new RestoreWindow, out, QStringLiteral("frmRestore"));
    SetBackupFolder(data.path(), QString());
    {
        Recovery recovery;
        recovery.dataDir = data.path();
        recovery.problem =
            QStringLiteral(
                "文件“%1”不是本系统的数据库，或者已经损坏。\n程序不会修改这个文件。\n"
                "（file is not a database Unable to fetch row）")
                .arg(Database::FilePath());
        recovery.backups = ListBackups(data.path());
        recovery.rejected = 1;
        auto* window = new RecoveryWindow;
        window->load(recovery);
        Save(window, out, QStringLiteral("frmRecover"));
    }
    SaveStatistics(out);
    // Modal windows are grabbed from inside their modal loop.
    ui::WindowHost::setModalDriver(
        [&out](QWidget* window) { Save(window, out, window->objectName()); });
    auto* sheet = new ImportWindow;
    const QStringList sample = {
        "2026-03-01", "京A10001",           "张伟",      "先生", "13912345678",
        "2025-12-31", "110101199003071234", "大众帕萨特"};
    sheet->grid1->setRows(4);
    for (int col = 1; col <= 8; ++col) {
        sheet->grid1->setCellText(1, col, sample[col - 1]);
        sheet->grid1->setCellText(2, col, sample[col - 1]);
    }
    sheet->grid1->setSelection({2, 1, 2, 8});
    sheet->mnuSetFont_B->trigger();
    sheet->mnuSetBackColor_Grey->trigger();
    Save(sheet, out, QStringLiteral("frmDemo2"));
    sheet->menudrgssm_Click();
    if (const auto customer = FindCustomerByKey(QStringLiteral("{K3}")); customer && *customer) {
        ShowCallHistory(nullptr, **customer);
    }
    if (ShowRepairHistory(nullptr, QStringLiteral("京A12343"))) {
        auto* history = ui::WindowHost::find<RepairHistoryWindow>();
        history->grid1->setCurrentCell(3, 2);
        Save(history, out, history->objectName());
        history->Command1_Click();
    }
    return 0;
}
