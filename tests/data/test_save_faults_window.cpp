#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <climits>
#include <functional>
#include <map>
#include <optional>

#include "app/main_window.h"
#include "core/clock.h"
#include "customers/customer_edit_window.h"
#include "customers/customer_entry_window.h"
#include "data/backup.h"
#include "data/data_folder.h"
#include "data/database.h"
#include "data/password.h"
#include "followup/call_record_window.h"
#include "import/customer_import.h"
#include "import/import_window.h"
#include "masterdata/backup_procedure.h"
#include "masterdata/backup_window.h"
#include "masterdata/master_list_window.h"
#include "masterdata/operator_add_window.h"
#include "masterdata/password_change_window.h"
#include "masterdata/restore_window.h"
#include "repairs/order_entry_window.h"
#include "session/current_operator.h"
#include "support/database_fixture.h"
#include "support/fault_vfs.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "support/windows.h"
#include "ui/file_dialog.h"
#include "ui/grid.h"
#include "ui/window_host.h"

// Every save, with the disk failing at each of its file operations in turn: whatever the window
// says must be true of the file, which holds either all of the save or none of it and stays
// sound.

namespace {

using FaultVfs::Kind;

const QString kPlate = QStringLiteral("京A12345");
const QString kCheckConnection = QStringLiteral("fault_check");

enum class Said { Nothing, Success, Failure, Both };

const char* SaidName(Said said) {
    switch (said) {
        case Said::Nothing:
            return "nothing";
        case Said::Success:
            return "success";
        case Said::Failure:
            return "failure";
        case Said::Both:
            return "success and failure";
    }
    return "?";
}

// The messages of the last attempt, for the report of a failed check.
QStringList g_shown;

// What the window said, judged by the messages it showed: the first that tells success or
// failure decides. Later ones come from what opens next (the login window after a restore, the
// next order's window), which reads the database again and may meet the fault itself.
Said Judge(MessageScript& messages, const QString& success) {
    // The failure messages carry the engine's reason, so they are recognised, not scripted.
    messages.takeProblems();
    for (const MessageScript::Message& m : messages.shown()) {
        g_shown << m.text;
    }
    for (const MessageScript::Message& m : messages.shown()) {
        if (m.text.startsWith(success)) {
            return Said::Success;
        }
        if (m.text.contains(QStringLiteral("失败"))) {
            return Said::Failure;
        }
    }
    return Said::Nothing;
}

// A password hash is salted afresh each time; what matters is which password it accepts.
QString g_passwordProbe;

QString Masked(const QVariant& value) {
    static const QRegularExpression key(
        QStringLiteral(R"(^\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}$)"));
    const QString text = value.isNull() ? QStringLiteral("<null>") : value.toString();
    if (key.match(text).hasMatch()) {
        return QStringLiteral("{KEY}");
    }
    if (IsPasswordHash(text)) {
        const bool probe = !g_passwordProbe.isEmpty() &&
                           CheckPassword(text, g_passwordProbe) != PasswordCheck::NoMatch;
        return probe ? QStringLiteral("{HASH of the new password}") : QStringLiteral("{HASH}");
    }
    return text;
}

// The file's integrity verdict and every row of every table, keys masked, in a stable order.
QStringList Dump(const QString& file) {
    QStringList lines;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kCheckConnection);
        db.setDatabaseName(file);
        if (!db.open()) {
            lines << QStringLiteral("cannot open: ") + file;
        } else {
            QSqlQuery query(db);
            QStringList integrity;
            query.exec(QStringLiteral("pragma integrity_check"));
            while (query.next()) {
                integrity << query.value(0).toString();
            }
            lines << QStringLiteral("integrity: ") + integrity.join(QLatin1String("; "));
            QStringList tables;
            query.exec(QStringLiteral("select name from sqlite_master where type = 'table'"));
            while (query.next()) {
                tables << query.value(0).toString();
            }
            for (const QString& table : tables) {
                QStringList rows;
                query.exec(QStringLiteral("select * from ") + table);
                while (query.next()) {
                    QStringList cells;
                    for (int c = 0; c < query.record().count(); ++c) {
                        cells << Masked(query.value(c));
                    }
                    rows << table + QLatin1Char('|') + cells.join(QLatin1Char('|'));
                }
                rows.sort();
                lines << rows;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(kCheckConnection);
    return lines;
}

const QString kLiveFile = QStringLiteral("database.db");

// The database and every other file in the data folder. A backup is described by whether it is
// sound and holds what the database holds; the engine's side files and the lock do not count.
QStringList StateOf(const QString& dir, bool listSafetyCopies) {
    const QString live = dir + QLatin1Char('/') + kLiveFile;
    const bool exists = QFileInfo::exists(live);
    QStringList state = exists ? Dump(live) : QStringList{QStringLiteral("no database")};
    const QStringList names = QDir(dir).entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (name == kLiveFile || name == kLiveFile + QStringLiteral("-wal") ||
            name == kLiveFile + QStringLiteral("-shm") || name == FolderLock::FileName()) {
            continue;
        }
        const QString path = dir + QLatin1Char('/') + name;
        // Copies of a database that a restore replaced, kept under names of their own.
        const bool safety = name.startsWith(QStringLiteral("before-restore-")) ||
                            name.startsWith(QStringLiteral("damaged-"));
        QString line = QStringLiteral("file ") + (safety ? QStringLiteral("{safety copy}") : name);
        // Backups are kept compressed: their content is read from a plain copy.
        QTemporaryDir scratch;
        QString readable = path;
        if (name.endsWith(QStringLiteral(".db.zst"))) {
            readable = scratch.filePath(QStringLiteral("plain.db"));
            if (!CopyDatabaseFile(path, readable)) {
                readable = path;
            }
        }
        if (name.endsWith(QStringLiteral(".db")) || name.endsWith(QStringLiteral(".db.zst"))) {
            const QString problem = CheckDatabaseFile(path);
            if (!problem.isEmpty()) {
                line += QStringLiteral(" broken: ") + problem;
            } else if (safety && !listSafetyCopies) {
                // A restore that failed after saving the database in use may leave that copy.
                continue;
            } else {
                line += exists && Dump(readable).mid(1) == state.mid(1)
                            ? QStringLiteral(" sound, as the database")
                            : QStringLiteral(" sound, other data");
            }
        }
        state << line;
    }
    return state;
}

QString Difference(const QStringList& got, const QStringList& expected) {
    QStringList lines;
    for (const QString& line : got) {
        if (!expected.contains(line)) {
            lines << QStringLiteral("+ ") + line;
        }
    }
    for (const QString& line : expected) {
        if (!got.contains(line)) {
            lines << QStringLiteral("- ") + line;
        }
    }
    return lines.mid(0, 12).join(QLatin1Char('\n'));
}

// One attempt's hold on the fault: the path runs its save inside armed(), which notes the state
// just before.
struct Attempt {
    QString dir;
    bool listSafetyCopies = true;
    std::optional<FaultVfs::Fault> fault;
    QStringList before;
    bool ran = false;
    bool reached = false;

    void armed(const std::function<void()>& save) {
        before = StateOf(dir, listSafetyCopies);
        // Without a fault the calls are only counted.
        FaultVfs::Arm(fault.value_or(FaultVfs::Fault{Kind::Write, INT_MAX}));
        save();
        reached = FaultVfs::Disarm();
        ran = true;
    }
};

struct SavePath {
    // Sets up, runs the save through attempt.armed() and returns what the program said.
    std::function<Said(Attempt&)> run;
    // The save makes the database itself, in a folder with none.
    bool newDatabase = false;
    QString passwordProbe;
    // Creating the database can fail after the file is complete (it is then opened and
    // checked); the next start uses it.
    bool failureMayLeaveAfter = false;
    bool listSafetyCopies = true;
};

template <class W>
W* Open(W* window) {
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    QApplication::setActiveWindow(window);
    return window;
}

void AddSampleCustomer(const QString& key, const QString& plate, const QString& owner) {
    TestDatabase::addCustomer(TestDatabase::sampleCustomer(key, plate, owner));
}

Said TrySaveOrder(Attempt& attempt) {
    SetCurrentOperator(QStringLiteral("小李"));
    AddSampleCustomer(QStringLiteral("{C1}"), kPlate, QStringLiteral("张三"));
    TestDatabase::exec(QStringLiteral(
        "insert into xm_table values ('{I1}', '更换机油', 120), ('{I2}', '机滤', 35.5)"));
    TestDatabase::exec(QStringLiteral("insert into wxjs_table values ('{T1}', '李师傅')"));
    auto* w = Open(ui::WindowHost::instance<OrderEntryWindow>());
    w->Text4->setText(kPlate);
    QTest::keyClick(w->Text4, Qt::Key_Return);
    w->Combo2->setEditText(QStringLiteral("李师傅"));
    for (int line = 0; line < 2; ++line) {
        w->Combo1[line]->setCurrentIndex(line + 1);
        w->Combo1_Click(line);
        w->Text1[line]->setText(QStringLiteral("2"));
        w->Text1_LostFocus(line);
    }
    MessageScript messages;
    messages.expect(QStringLiteral("是否打印？"), MessageScript::Answer::Cancel);
    attempt.armed([&] { w->Command1_Click(); });
    return Judge(messages, QStringLiteral("添加成功！"));
}

Said TryAddCustomer(Attempt& attempt) {
    auto* w = Open(ui::WindowHost::instance<CustomerEntryWindow>());
    w->Text[0]->setText(QStringLiteral("京B77777"));
    w->Text[1]->setText(QStringLiteral("王五"));
    w->Text[2]->setText(QStringLiteral("13700000000"));
    MessageScript messages;
    attempt.armed([&] { w->Command1_Click(); });
    return Judge(messages, QStringLiteral("添加成功！"));
}

Said TryEditCustomer(Attempt& attempt) {
    const Customer customer =
        TestDatabase::sampleCustomer(QStringLiteral("{C1}"), kPlate, QStringLiteral("张三"));
    TestDatabase::addCustomer(customer);
    auto* w = ui::WindowHost::instance<CustomerEditWindow>();
    w->load(customer);
    Open(w);
    w->Text[1]->setText(QStringLiteral("李四"));
    w->Text[4]->setText(QStringLiteral("帕萨特"));
    MessageScript messages;
    attempt.armed([&] { w->Command1_Click(); });
    return Judge(messages, QStringLiteral("修改成功！"));
}

Said TryDeleteCustomer(Attempt& attempt) {
    AddSampleCustomer(QStringLiteral("{C1}"), kPlate, QStringLiteral("张三"));
    AddSampleCustomer(QStringLiteral("{C2}"), QStringLiteral("京A54321"), QStringLiteral("李四"));
    MainWindow main;
    int row = 1;
    while (row < main.grid1->rows() && main.grid1->cellText(row, 3) != kPlate) {
        ++row;
    }
    main.grid1->setCurrentCell(row, 3);
    MessageScript messages;
    messages.expect(QStringLiteral("是否删除信息？"), MessageScript::Answer::Ok);
    attempt.armed([&] { main.kh_dele_Click(); });
    return Judge(messages, QStringLiteral("删除成功！"));
}

CallRecordWindow* OpenCallWindow() {
    const Customer customer =
        TestDatabase::sampleCustomer(QStringLiteral("{C1}"), kPlate, QStringLiteral("张三"));
    TestDatabase::addCustomer(customer);
    auto* w = ui::WindowHost::instance<CallRecordWindow>();
    w->load(customer, 1);
    return Open(w);
}

Said TrySaveCall(Attempt& attempt) {
    CallRecordWindow* w = OpenCallWindow();
    w->Text3->setPlainText(QStringLiteral("询问保养时间"));
    w->Text4->setPlainText(QStringLiteral("下周来店"));
    MessageScript messages;
    attempt.armed([&] { w->Command1_Click(); });
    return Judge(messages, QStringLiteral("添加成功！"));
}

// Adding a phrase says nothing when it works: the phrase then lands in the call's text.
Said TryAddPhrase(Attempt& attempt) {
    CallRecordWindow* w = OpenCallWindow();
    const QString phrase = QStringLiteral("提醒更换轮胎");
    w->Combo1->setEditText(phrase);
    MessageScript messages;
    attempt.armed([&] { w->Command3_Click(); });
    const Said said = Judge(messages, QStringLiteral("添加成功！"));
    const bool added = w->Text3->toPlainText().contains(phrase);
    if (said == Said::Failure) {
        return added ? Said::Both : Said::Failure;
    }
    return added && said == Said::Nothing ? Said::Success : Said::Nothing;
}

Said TrySaveMasterList(Attempt& attempt, bool technicians) {
    if (technicians) {
        TestDatabase::exec(
            QStringLiteral("insert into wxjs_table values ('{T1}', '李师傅'), ('{T2}', '王师傅')"));
    } else {
        TestDatabase::exec(QStringLiteral(
            "insert into xm_table values ('{I1}', '更换机油', 120), ('{I2}', '机滤', 35.5)"));
    }
    const MasterListForm& form =
        technicians ? MasterListWindow::Technicians() : MasterListWindow::RepairItems();
    auto* w = Open(ui::WindowHost::instanceNamed<MasterListWindow>(form.formName, form));
    w->grid1->setCellText(1, 1, QStringLiteral("赵师傅"));
    if (!technicians) {
        w->grid1->setCellText(2, 2, QStringLiteral("40"));
    }
    MessageScript messages;
    messages.expect(QStringLiteral("是否保存？"), MessageScript::Answer::Ok);
    attempt.armed([&] { w->Command4_Click(); });
    return Judge(messages, QStringLiteral("保存成功！"));
}

Said TryAddOperator(Attempt& attempt) {
    auto* w = Open(ui::WindowHost::instance<OperatorAddWindow>());
    w->Text[0]->setText(QStringLiteral("小王"));
    w->Text[1]->setText(QStringLiteral("123456"));
    w->Text[2]->setText(QStringLiteral("123456"));
    MessageScript messages;
    attempt.armed([&] { w->Command1_Click(); });
    return Judge(messages, QStringLiteral("用户信息添加成功！"));
}

Said TryChangePassword(Attempt& attempt) {
    auto* w = ui::WindowHost::instance<PasswordChangeWindow>();
    w->load(Database::DefaultOperatorName());
    Open(w);
    w->Text[0]->setText(Database::DefaultPassword());
    w->Text[1]->setText(QStringLiteral("654321"));
    w->Text[2]->setText(QStringLiteral("654321"));
    MessageScript messages;
    attempt.armed([&] { w->Command1_Click(); });
    return Judge(messages, QStringLiteral("修改成功！"));
}

Said TryImportSheetRows(Attempt& attempt) {
    auto* w = Open(ui::WindowHost::instance<ImportWindow>());
    const QString file = QStringLiteral(RUVASO_TEST_DATA_DIR "/import_customers.csv");
    ui::FileDialog::Handler previous =
        ui::FileDialog::setScriptHandler([file](const ui::FileDialog::Request&) { return file; });
    w->menuExceltoExport->trigger();
    ui::FileDialog::setScriptHandler(std::move(previous));
    // One date in the file is impossible on purpose; correct it so the sheet imports.
    w->grid1->setCellText(6, 1, QStringLiteral("2026/3/6"));
    // The stored plate is left out, the rest go in.
    AddSampleCustomer(QStringLiteral("{C1}"), QStringLiteral("京A10002"), QStringLiteral("李娜"));
    MessageScript messages;
    w->menusjsh->trigger();
    attempt.armed([&] { w->mnuExportToExcel->trigger(); });
    return Judge(messages, QStringLiteral("导入成功！"));
}

// A sheet too large for the page cache: the engine writes and rereads pages while the import's
// statements run, so the disk can fail in the middle of the transaction, not only at its end.
Said TryLargeImport(Attempt& attempt) {
    AddSampleCustomer(QStringLiteral("{C1}"), QStringLiteral("京C0100"), QStringLiteral("李娜"));
    TestDatabase::exec(QStringLiteral("pragma cache_size = 10"));
    SheetRows rows;
    for (int r = 0; r < 300; ++r) {
        SheetRow row;
        row[kReminderDateColumn] = QStringLiteral("2026-03-01");
        row[kPlateColumn] = QStringLiteral("京C%1").arg(r, 4, 10, QLatin1Char('0'));
        row[kOwnerColumn] = QStringLiteral("车主%1").arg(r);
        row[kSexColumn] = QStringLiteral("女士");
        row[kTelephoneColumn] = QStringLiteral("13800000000");
        row[kEntryDateColumn] = QStringLiteral("2025-12-31");
        row[kIdentityColumn] = QStringLiteral("110101199003071234");
        row[kModelColumn] = QStringLiteral("一辆车型名称足够长的轿车，好让每一页少放几行");
        rows.push_back(row);
    }
    ImportResult result;
    attempt.armed([&] { result = ImportSheet(rows); });
    return result.outcome == ImportResult::Outcome::Imported ? Said::Success : Said::Failure;
}

Said TryPanelBackup(Attempt& attempt) {
    AddSampleCustomer(QStringLiteral("{C1}"), kPlate, QStringLiteral("张三"));
    auto* w = Open(ui::WindowHost::instance<BackupWindow>());
    MessageScript messages;
    attempt.armed([&] { w->Command1_Click(); });
    return Judge(messages, QStringLiteral("数据备份成功"));
}

// The start-up backup only speaks when it fails.
Said TryDailyBackup(Attempt& attempt) {
    AddSampleCustomer(QStringLiteral("{C1}"), kPlate, QStringLiteral("张三"));
    MessageScript messages;
    database_modu::StartOfDay day;
    attempt.armed([&] { day = database_modu::StartOfDayBackup(nullptr); });
    const Said said = Judge(messages, QStringLiteral("数据备份成功"));
    if (day.damaged) {
        // A read the disk fails once is not damage: the database is sound and no restore may
        // be offered for it.
        if (attempt.fault && attempt.fault->kind == Kind::Read && !attempt.fault->sticky) {
            return Said::Nothing;
        }
        // Told to the caller, which offers a restore instead of a message.
        return said == Said::Nothing ? Said::Failure : Said::Nothing;
    }
    return said == Said::Nothing ? Said::Success : said == Said::Success ? Said::Nothing : said;
}

Said TryRestore(Attempt& attempt) {
    AddSampleCustomer(QStringLiteral("{C1}"), kPlate, QStringLiteral("张三"));
    const QString backup =
        Database::DataDir() + QLatin1Char('/') + BackupFileName(Today().addDays(-1));
    if (!CopyDatabaseFile(Database::FilePath(), backup)) {
        return Said::Nothing;
    }
    AddSampleCustomer(QStringLiteral("{C2}"), QStringLiteral("京A54321"), QStringLiteral("李四"));
    auto* w = Open(ui::WindowHost::instance<RestoreWindow>());
    w->grid1->setCurrentCell(1, 1);
    MessageScript messages;
    messages.expect(QStringLiteral("当前数据将被所选备份替换（恢复前会先另存一份），恢复后需要重新"
                                   "登录。是否恢复？"),
                    MessageScript::Answer::Ok);
    attempt.armed([&] { w->Command1_Click(); });
    return Judge(messages, QStringLiteral("数据恢复成功"));
}

Said TryCreateDatabase(Attempt& attempt) {
    Database::OpenResult opened;
    attempt.armed([&] { opened = Database::Open(attempt.dir); });
    return opened.ok ? Said::Success : Said::Failure;
}

const std::map<QString, SavePath>& Paths() {
    static const std::map<QString, SavePath> paths = [] {
        std::map<QString, SavePath> all;
        all[QStringLiteral("order save")].run = TrySaveOrder;
        all[QStringLiteral("customer add")].run = TryAddCustomer;
        all[QStringLiteral("customer edit")].run = TryEditCustomer;
        all[QStringLiteral("customer delete")].run = TryDeleteCustomer;
        all[QStringLiteral("call save")].run = TrySaveCall;
        all[QStringLiteral("phrase add")].run = TryAddPhrase;
        all[QStringLiteral("price list save")].run = [](Attempt& a) {
            return TrySaveMasterList(a, false);
        };
        all[QStringLiteral("technician save")].run = [](Attempt& a) {
            return TrySaveMasterList(a, true);
        };
        all[QStringLiteral("operator add")].run = TryAddOperator;
        SavePath& password = all[QStringLiteral("password change")];
        password.run = TryChangePassword;
        password.passwordProbe = QStringLiteral("654321");
        all[QStringLiteral("import")].run = TryImportSheetRows;
        all[QStringLiteral("large import")].run = TryLargeImport;
        all[QStringLiteral("panel backup")].run = TryPanelBackup;
        all[QStringLiteral("daily backup")].run = TryDailyBackup;
        SavePath& restore = all[QStringLiteral("restore")];
        restore.run = TryRestore;
        restore.listSafetyCopies = false;
        SavePath& create = all[QStringLiteral("new database")];
        create.run = TryCreateDatabase;
        create.newDatabase = true;
        create.failureMayLeaveAfter = true;
        return all;
    }();
    return paths;
}

struct Series {
    const char* name;
    FaultVfs::Fault fault;
};

// Each kind of call failing once, and a disk that fills up and stays full.
const QList<Series>& AllSeries() {
    static const QList<Series> series = {
        {"write", {Kind::Write, 1, false, 0}},
        {"sync", {Kind::Sync, 1, false, 0}},
        {"read", {Kind::Read, 1, false, 0}},
        {"open", {Kind::Open, 1, false, 0}},
        {"truncate", {Kind::Truncate, 1, false, 0}},
        {"full disk", {Kind::Write, 1, true, SQLITE_FULL}},
    };
    return series;
}

}  // namespace

class TestSaveFaultsWindow : public WindowTest {
    Q_OBJECT

    struct Result {
        Said said = Said::Nothing;
        bool reached = false;
        QStringList before;
        QStringList after;
    };

    // One run of the path in a fresh folder, with the fault (if any) armed around its save.
    Result attemptOnce(const SavePath& path, const std::optional<FaultVfs::Fault>& fault) {
        CloseAllWindows();
        db_.reset();
        g_shown.clear();
        std::optional<QTemporaryDir> fresh;
        Attempt attempt;
        attempt.fault = fault;
        attempt.listSafetyCopies = path.listSafetyCopies;
        if (path.newDatabase) {
            fresh.emplace();
            attempt.dir = fresh->path() + QStringLiteral("/data");
            QDir().mkpath(attempt.dir);
        } else {
            db_ = std::make_unique<TestDatabase>();
            attempt.dir = db_->dir();
        }
        Result result;
        result.said = path.run(attempt);
        result.reached = attempt.reached;
        result.before = attempt.before;
        if (!attempt.ran) {
            result.said = Said::Nothing;
        }
        CloseAllWindows();
        Database::Close();
        result.after = StateOf(attempt.dir, path.listSafetyCopies);
        return result;
    }

private Q_SLOTS:
    void initTestCase() {
        FaultVfs::Install();
        WindowTest::initTestCase();
    }

    void cleanup() {
        g_passwordProbe.clear();
        WindowTest::cleanup();
    }

    void everyFaultPointKeepsWhatWasSaid_data() {
        QTest::addColumn<QString>("path");
        for (const auto& [name, path] : Paths()) {
            QTest::newRow(qPrintable(name)) << name;
        }
    }
    void everyFaultPointKeepsWhatWasSaid() {
        QFETCH(QString, path);
        const SavePath& save = Paths().at(path);
        g_passwordProbe = save.passwordProbe;

        const Result clean = attemptOnce(save, std::nullopt);
        QCOMPARE(SaidName(clean.said), SaidName(Said::Success));
        QVERIFY2(clean.after != clean.before, "the save changed nothing");
        QCOMPARE(clean.after.value(0), QStringLiteral("integrity: ok"));
        const QStringList saved = clean.after;

        QStringList counts;
        for (const Series& series : AllSeries()) {
            int points = 0;
            for (int at = 1;; ++at) {
                FaultVfs::Fault fault = series.fault;
                fault.at = at;
                const Result r = attemptOnce(save, fault);
                const QByteArray where =
                    QStringLiteral("%1, %2 %3: the program said %4 (%5)")
                        .arg(path, QLatin1String(series.name))
                        .arg(at)
                        .arg(QLatin1String(SaidName(r.said)), g_shown.join(QStringLiteral(" / ")))
                        .toUtf8();
                QVERIFY2(r.said == Said::Success || r.said == Said::Failure, where.constData());
                if (r.said == Said::Success) {
                    QVERIFY2(r.after == saved,
                             qPrintable(where + "\n" + Difference(r.after, saved).toUtf8()));
                } else {
                    const bool asBefore = r.after == r.before;
                    const bool allowedAfter = save.failureMayLeaveAfter && r.after == saved;
                    QVERIFY2(asBefore || allowedAfter,
                             qPrintable(where + "\n" + Difference(r.after, r.before).toUtf8()));
                }
                if (!r.reached) {
                    break;
                }
                ++points;
                QVERIFY2(at < 1000, "the fault points do not end");
            }
            counts << QStringLiteral("%1 %2").arg(QLatin1String(series.name)).arg(points);
        }
        qInfo("%s: fault points %s", qPrintable(path),
              qPrintable(counts.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(TestSaveFaultsWindow)
#include "test_save_faults_window.moc"
