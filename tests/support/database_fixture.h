#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh data folder holding a freshly seeded database, open for the lifetime of the object.
// The first one in a process builds the database the way the program does; later ones copy
// that file, so each test starts clean without paying for the seed's password hash again.
class TestDatabase {
public:
    TestDatabase();
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    bool ok() const { return ok_; }
    QString message() const { return message_; }
    QString dir() const { return dir_.path(); }
    QString filePath() const;

    // Runs a statement that must succeed (fixture set-up); fails loudly otherwise.
    static void exec(const QString& statement, const QVariantList& params = {});
    // The single value of a query, for checks: "select count(*) from kh_table".
    static QVariant scalar(const QString& statement, const QVariantList& params = {});

private:
    QTemporaryDir dir_;
    bool ok_ = false;
    QString message_;
};
