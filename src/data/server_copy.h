#pragma once

#include <QList>
#include <QString>
#include <functional>

// What a copy has done so far: `copied` of the `total` rows of `table`.
struct CopyProgress {
    QString table;
    qint64 copied = 0;
    qint64 total = 0;
};

// How one table compared after the copy: its rows, and its amounts summed to the cent, on
// both sides.
struct CopiedTable {
    QString table;
    qint64 rows = 0;
    qint64 serverRows = 0;
    // Every amount column's sum, in cents, and the characters of every text column.
    qint64 cents = 0;
    qint64 serverCents = 0;
    qint64 characters = 0;
    qint64 serverCharacters = 0;

    bool matches() const {
        return rows == serverRows && cents == serverCents && characters == serverCharacters;
    }
};

struct CopyReport {
    bool ok = false;
    // For the shop: why the copy failed; nothing was kept on the server then.
    QString message;
    QList<CopiedTable> tables;
    // Amounts the file held as text ("12.5元", ""): stored as the number the file's sums read
    // them as.
    qint64 textAmounts = 0;
};

// Copies the open SQLite database, every table and every row with its save order, into the
// empty PostgreSQL database at `uri`, in one transaction: the server's database ends up holding
// the shop exactly or stays empty. The file is read in one read transaction, so a save made
// meanwhile is either wholly in the copy or not at all. Before committing, the row count, the
// amount sums and the text lengths of every table are compared on both sides. A database that is
// not empty is refused untouched.
CopyReport CopyShopToServer(const QString& uri,
                            const std::function<void(const CopyProgress&)>& progress = {});
