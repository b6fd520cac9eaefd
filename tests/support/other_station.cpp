#include "support/other_station.h"

#include <sqlite3.h>

#include <QFile>
#include <chrono>

OtherStation::OtherStation(const QString& file) {
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db_, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return;
    }
    sqlite3_busy_timeout(db_, 5000);
}

OtherStation::~OtherStation() {
    if (committer_.joinable()) {
        committer_.join();
    }
    if (db_ && !sqlite3_get_autocommit(db_)) {
        sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
    }
    sqlite3_close_v2(db_);
}

bool OtherStation::exec(const QString& statement, const QStringList& params) {
    sqlite3_stmt* stmt = nullptr;
    bool ok = db_ && sqlite3_prepare_v2(db_, statement.toUtf8().constData(), -1, &stmt, nullptr) ==
                         SQLITE_OK;
    for (int i = 0; ok && i < params.size(); ++i) {
        const QByteArray text = params[i].toUtf8();
        ok = sqlite3_bind_text(stmt, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT) ==
             SQLITE_OK;
    }
    int rc = SQLITE_ROW;
    while (ok && rc == SQLITE_ROW) {
        rc = sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
    return ok && rc == SQLITE_DONE;
}

bool OtherStation::beginWrite() {
    return exec(QStringLiteral("begin immediate"));
}

void OtherStation::commitAfter(int ms) {
    committer_ = std::thread([this, ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        committed_ = sqlite3_exec(db_, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
    });
}

bool OtherStation::committed() {
    if (committer_.joinable()) {
        committer_.join();
    }
    return committed_;
}
