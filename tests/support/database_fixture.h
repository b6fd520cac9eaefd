#pragma once

#include <QString>
#include <QTemporaryDir>

#include "customers/customer.h"
#include "repairs/order.h"
#include "session/roles.h"

// A fresh data folder holding a freshly seeded database, open for the lifetime of the object.
// The clock is pinned to the moment the first one is made, so a run across midnight still sees
// one "today".
// The first one in a process builds the database the way the program does; later ones copy
// that file, so each test starts clean without paying for the seed's password hash again.
//
// With RUVASO_TEST_ENGINE=postgres in the environment the database is on a private PostgreSQL
// server started for the process (support/pg_server.h), each test's a copy of a seeded one; the
// data folder then only holds what the program keeps beside the database.
class TestDatabase {
public:
    TestDatabase();
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // Whether this process runs its tests on the server rather than on SQLite files.
    static bool onServer();

    bool ok() const { return ok_; }
    QString message() const { return message_; }
    QString dir() const { return dir_.path(); }
    QString filePath() const;

    // Runs a statement that must succeed (fixture set-up); fails loudly otherwise.
    static void exec(const QString& statement, const QVariantList& params = {});
    // Every row of a query as text: the columns' texts joined by `fieldSeparator`, the rows by
    // `rowSeparator`. Numbers read as the program reads them ("120.0"), on both engines.
    static QString rowsText(const QString& statement, const QVariantList& params = {},
                            const QString& fieldSeparator = QStringLiteral("|"),
                            const QString& rowSeparator = QStringLiteral(";"));
    // Makes the database refuse a row, as a full disk or a broken rule would: every `event`
    // ("insert on kh_table", "update on regedit_table") for which `condition` on the new row holds
    // ("new.kh_cph = '京B2'", or empty for all) fails with `message`. In the engine's own trigger
    // language, so it works on both.
    static void refuse(const QString& event, const QString& condition, const QString& message);
    // The single value of a query, for checks: "select count(*) from kh_table".
    static QVariant scalar(const QString& statement, const QVariantList& params = {});

    // Closes the open database, adds customers enough for pages of their own and overwrites the
    // last page with bytes no page holds: the file still opens, but a check finds the damage.
    // Reopens it and returns whether it opened.
    bool damageButKeepOpenable();

    // Stores an operator of that role (with an empty password) and logs them in.
    static void logInAs(const QString& name, Role role);

    // Stores the customer exactly as given, called flag included (fixture set-up).
    static void addCustomer(const Customer& customer);
    // A customer with every field filled, for tests that care about only some of them.
    static Customer sampleCustomer(const QString& key, const QString& plate, const QString& owner);

    // Stores the order's header row and one line row per line, in the order given, the lines
    // carrying the header's number, plate, owner, model, telephone, operator, date and
    // technician as a saved order does. An empty key gets a made-up one.
    static void addOrder(const Order& order);
    // An order with every header field filled and no lines, dated by its number's date part
    // (" 20261206001" is dated 2026-12-06).
    static Order sampleOrder(const QString& number, const QString& plate, double total);

private:
    QTemporaryDir dir_;
    bool ok_ = false;
    QString message_;
};

// For a test function that checks what only a SQLite file does (pragmas, the file on disk).
#define SKIP_ON_SERVER(why)             \
    do {                                \
        if (TestDatabase::onServer()) { \
            QSKIP(why);                 \
        }                               \
    } while (false)
