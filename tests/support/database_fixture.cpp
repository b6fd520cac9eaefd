#include "support/database_fixture.h"

#include <sqlite3.h>

#include <QFile>
#include <QTest>

#include "core/clock.h"
#include "core/date_text.h"
#include "data/database.h"
#include "data/statement.h"
#include "session/current_operator.h"
#include "support/pg_server.h"

namespace {

PgServer& Server() {
    static PgServer server;
    if (!server.ok()) {
        qFatal("cannot start the test database server: %s", qPrintable(server.message()));
    }
    return server;
}

// The seeded database on the server that each test's database is copied from.
QString TemplateDatabase() {
    static QTemporaryDir templateDir;
    static QString name;
    if (name.isEmpty()) {
        name = Server().createDatabase();
        const Database::OpenResult opened =
            Database::OpenServer(Server().uri(name), templateDir.path());
        if (name.isEmpty() || !opened.ok) {
            qFatal("cannot create the template database: %s",
                   qPrintable(name.isEmpty() ? Server().message() : opened.message));
        }
        Database::Close();
    }
    return name;
}

// The seeded database of this process, built once by the program's own code.
QString TemplateFile() {
    static QTemporaryDir templateDir;
    static QString path;
    if (path.isEmpty()) {
        const Database::OpenResult opened = Database::Open(templateDir.path());
        if (!opened.ok) {
            qFatal("cannot create the template database: %s", qPrintable(opened.message));
        }
        Database::Close();
        path = templateDir.path() + QStringLiteral("/") + Database::FileName();
    }
    return path;
}

}  // namespace

TestDatabase::TestDatabase() {
    static const bool clockPinned = [] {
        SetClock(QDateTime::currentDateTime());
        return true;
    }();
    Q_UNUSED(clockPinned);
    // An operator logged in by an earlier test belongs to that test's database.
    SetCurrentOperator(QString());
    if (onServer()) {
        const QString name = Server().createDatabase(TemplateDatabase());
        if (name.isEmpty()) {
            message_ = Server().message();
            return;
        }
        const Database::OpenResult opened = Database::OpenServer(Server().uri(name), dir_.path());
        ok_ = opened.ok;
        message_ = opened.message;
        return;
    }
    const QString source = TemplateFile();
    if (!QFile::copy(source, filePath())) {
        message_ = QStringLiteral("cannot copy the template database");
        return;
    }
    QFile::setPermissions(filePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const Database::OpenResult opened = Database::Open(dir_.path());
    ok_ = opened.ok;
    message_ = opened.message;
}

TestDatabase::~TestDatabase() {
    Database::Close();
}

QString TestDatabase::filePath() const {
    return dir_.path() + QStringLiteral("/") + Database::FileName();
}

bool TestDatabase::onServer() {
    static const bool server = qgetenv("RUVASO_TEST_ENGINE") == "postgres";
    return server;
}

void TestDatabase::exec(const QString& statement, const QVariantList& params) {
    Statement query;
    int rc = query.prepare(statement, params) ? query.step() : SQLITE_ERROR;
    // Statements with rows (a pragma that answers) are read to their end.
    while (rc == SQLITE_ROW) {
        rc = query.step();
    }
    if (rc != SQLITE_DONE) {
        qFatal("fixture statement failed: %s: %s", qPrintable(statement),
               qPrintable(query.error()));
    }
}

QString TestDatabase::rowsText(const QString& statement, const QVariantList& params,
                               const QString& fieldSeparator, const QString& rowSeparator) {
    Statement query;
    if (!query.prepare(statement, params)) {
        qFatal("fixture query failed: %s: %s", qPrintable(statement), qPrintable(query.error()));
    }
    QStringList rows;
    while (query.step() == SQLITE_ROW) {
        QStringList fields;
        for (int i = 0; i < query.columnCount(); ++i) {
            fields << query.text(i);
        }
        rows << fields.join(fieldSeparator);
    }
    return rows.join(rowSeparator);
}

void TestDatabase::refuse(const QString& event, const QString& condition, const QString& message) {
    static int serial = 0;
    const QString name = QStringLiteral("refuse_%1").arg(++serial);
    if (onServer()) {
        const QString when = condition.isEmpty() ? QStringLiteral("true") : condition;
        const QString row = event.startsWith(QLatin1String("delete")) ? QStringLiteral("old")
                                                                      : QStringLiteral("new");
        exec(QStringLiteral("create function %1() returns trigger language plpgsql as $$ begin "
                            "if %2 then raise exception '%3'; end if; return %4; end $$")
                 .arg(name, when, message, row));
        exec(QStringLiteral("create trigger %1 before %2 for each row execute function %1()")
                 .arg(name, event));
        return;
    }
    const QString when = condition.isEmpty() ? QString() : QStringLiteral(" when ") + condition;
    exec(QStringLiteral("create trigger %1 before %2%3 begin select raise(abort, '%4'); end")
             .arg(name, event, when, message));
}

QVariant TestDatabase::scalar(const QString& statement, const QVariantList& params) {
    Statement query;
    if (!query.prepare(statement, params) || query.step() != SQLITE_ROW) {
        return {};
    }
    return query.value(0);
}

bool TestDatabase::damageButKeepOpenable() {
    exec(
        QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where "
                       "i < 2000) insert into kh_table (kh_code, kh_cph, kh_czname, kh_cx) "
                       "select printf('{D%06d}', i), printf('津D%05d', i), '顾客', "
                       "hex(randomblob(60)) from n"));
    const int pageSize = scalar(QStringLiteral("pragma page_size")).toInt();
    Database::Close();  // folds the log into the file
    QFile file(filePath());
    if (pageSize <= 0 || !file.open(QIODevice::ReadWrite) || file.size() < 8 * pageSize ||
        !file.seek(file.size() - pageSize) ||
        file.write(QByteArray(pageSize, '\x5a')) != pageSize) {
        return false;
    }
    file.close();
    return Database::Open(dir()).ok;
}

void TestDatabase::addCustomer(const Customer& c) {
    exec(QStringLiteral("insert into kh_table (kh_code, kh_cph, kh_czname, kh_xb, kh_tele, "
                        "kh_djdate, kh_txdate, kh_sfzh, kh_cx, kh_sfdgdh) "
                        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
         {c.key, c.plate, c.owner, c.sex, c.telephone, DateText(c.entryDate),
          DateText(c.reminderDate), c.identity, c.model, c.calledFlag});
}

Customer TestDatabase::sampleCustomer(const QString& key, const QString& plate,
                                      const QString& owner) {
    Customer c;
    c.key = key;
    c.plate = plate;
    c.owner = owner;
    c.sex = QStringLiteral("先生");
    c.telephone = QStringLiteral("13800138000");
    c.entryDate = QDate(2023, 1, 5);
    c.reminderDate = Today();
    c.identity = QStringLiteral("110101199001011234");
    c.model = QStringLiteral("捷达");
    return c;
}

void TestDatabase::addOrder(const Order& o) {
    static int serial = 0;
    const QString key = o.key.isEmpty() ? QStringLiteral("{ORDER-%1}").arg(++serial) : o.key;
    exec(QStringLiteral("insert into kh_wx_table (kh_wx_code, kh_wx_dh, kh_wx_cph, kh_wx_czname, "
                        "kh_wx_cx, kh_wx_tele, kh_wx_hj, kh_wx_czr, kh_wx_txdate, kh_wx_date, "
                        "kh_wx_wxjs) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
         {key, o.number, o.plate, o.owner, o.model, o.telephone, o.total, o.operatorName,
          DateText(o.nextReminder), DateText(o.date), o.technician});
    for (const OrderLine& line : o.lines) {
        exec(
            QStringLiteral("insert into kh_wx_mx_table (kh_wx_mx_code, kh_wx_mx_dh, kh_wx_mx_cph, "
                           "kh_wx_mx_czname, kh_wx_mx_cx, kh_wx_mx_tele, kh_wx_mx_czr, "
                           "kh_wx_mx_date, kh_wx_mx_wxjs, kh_wx_mx_xm, kh_wx_mx_xmsm, kh_wx_mx_sl, "
                           "kh_wx_mx_dj, kh_wx_mx_hj) "
                           "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {QStringLiteral("{LINE-%1}").arg(++serial), o.number, o.plate, o.owner, o.model,
             o.telephone, o.operatorName, DateText(o.date), o.technician, line.item,
             line.description, line.quantity, line.unitPrice, line.amount});
    }
}

Order TestDatabase::sampleOrder(const QString& number, const QString& plate, double total) {
    Order o;
    o.number = number;
    o.plate = plate;
    o.owner = QStringLiteral("张三");
    o.model = QStringLiteral("捷达");
    o.telephone = QStringLiteral("13800138000");
    o.total = total;
    o.operatorName = QStringLiteral("管理员");
    o.date = QDate::fromString(number.trimmed().left(8), QStringLiteral("yyyyMMdd"));
    o.nextReminder = o.date.addMonths(3);
    o.technician = QStringLiteral("李师傅");
    return o;
}

void TestDatabase::logInAs(const QString& name, Role role) {
    exec(QStringLiteral(
             "insert into user_table (user_name, user_pass, user_role) values (?, '', ?)"),
         {name, RoleName(role)});
    SetCurrentOperator(name);
}
