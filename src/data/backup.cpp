#include "data/backup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/data_folder.h"
#include "data/database.h"
#include "data/engine_error.h"

namespace {

const QString kDailyName = QStringLiteral("yyyy-MM-dd");
const QString kSafetyPrefix = QStringLiteral("before-restore-");
const QString kSafetyStamp = QStringLiteral("yyyy-MM-dd-HHmmss");
const QString kExtension = QStringLiteral(".db");
// A copy step that finds the destination locked waits this long in all before giving up.
constexpr int kBusyRetries = 250;
constexpr int kBusyPauseMs = 20;
// The check looks pages up again and again: read through a memory map (the engine caps its
// size) and keep a large cache, which makes it about a third quicker on a big file.
const char* const kMapWholeFile = "pragma mmap_size = 2147418112";
const char* const kCheckCache = "pragma cache_size = -262144";

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString SystemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// One connection of the copy's own, closed with the object.
class Connection {
public:
    Connection() = default;
    ~Connection() {
        if (db_) {
            sqlite3_close_v2(db_);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool open(const QString& path, int flags) {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr);
        if (rc != SQLITE_OK) {
            remember(rc);
            return false;
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, 5000);
        return true;
    }

    bool exec(const char* sql) {
        const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            remember(rc);
        }
        return rc == SQLITE_OK;
    }

    // The rows of a pragma or query, first column only; false (with error()) on failure.
    bool texts(const char* sql, QStringList* rows) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            rows->append(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                                  sqlite3_column_bytes(stmt, 0)));
            rc = SQLITE_OK;
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) {
            remember(rc);
            return false;
        }
        return true;
    }

    // Takes the reason of a failed call on another handle that reports into this one (the
    // backup object reports through its destination).
    void remember(int rc) {
        const QString engine =
            db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
        error_ = DescribeEngineError(rc, db_ ? sqlite3_system_errno(db_) : 0, engine);
    }

    sqlite3* handle() const { return db_; }
    const QString& error() const { return error_; }

private:
    sqlite3* db_ = nullptr;
    QString error_;
};

// Integrity and application id of an open file; empty when both are right.
QString CheckConnection(Connection& db) {
    db.exec(kMapWholeFile);
    db.exec(kCheckCache);
    QStringList integrity;
    if (!db.texts("pragma integrity_check", &integrity)) {
        return db.error();
    }
    if (integrity != QStringList{QStringLiteral("ok")}) {
        return QStringLiteral("数据库文件已损坏（%1）")
            .arg(integrity.mid(0, 3).join(QLatin1String("; ")));
    }
    QStringList id;
    if (!db.texts("pragma application_id", &id)) {
        return db.error();
    }
    if (id.value(0).toLongLong() != Database::kApplicationId) {
        return QStringLiteral("不是本系统的数据库");
    }
    return {};
}

bool SyncPath(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Copies `source` page by page into the empty file `dest`.
DbStatus CopyPages(const QString& source, const QString& dest, const BackupOptions& options) {
    Connection from;
    if (!from.open(source, SQLITE_OPEN_READONLY)) {
        return DbStatus::failure(
            QStringLiteral("无法读取“%1”：%2").arg(Native(source), from.error()));
    }
    // One read transaction for the whole copy: every step reads the same snapshot, so writes
    // that land meanwhile neither tear the copy nor make it start over.
    if (!from.exec("begin") || !from.exec("select count(*) from sqlite_master")) {
        return DbStatus::failure(
            QStringLiteral("无法读取“%1”：%2").arg(Native(source), from.error()));
    }
    auto endRead = qScopeGuard([&from] { from.exec("rollback"); });

    Connection to;
    if (!to.open(dest, SQLITE_OPEN_READWRITE)) {
        return DbStatus::failure(QStringLiteral("无法写入“%1”：%2").arg(Native(dest), to.error()));
    }
    // The file is only a draft until it has been checked and synced, so it needs no journal.
    to.exec("pragma journal_mode = off");
    to.exec("pragma synchronous = off");

    sqlite3_backup* backup = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
    if (!backup) {
        to.remember(sqlite3_errcode(to.handle()));
        return DbStatus::failure(QStringLiteral("无法开始备份：%1").arg(to.error()));
    }
    const int step = std::max(1, options.pagesPerStep);
    int rc = SQLITE_OK;
    int busy = 0;
    while (true) {
        rc = sqlite3_backup_step(backup, step);
        if (options.progress) {
            const qint64 total = sqlite3_backup_pagecount(backup);
            options.progress(total - sqlite3_backup_remaining(backup), total);
        }
        if (rc == SQLITE_OK) {
            busy = 0;
            continue;
        }
        if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && ++busy < kBusyRetries) {
            QThread::msleep(kBusyPauseMs);
            continue;
        }
        break;
    }
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE || finished != SQLITE_OK) {
        to.remember(rc != SQLITE_DONE && rc != SQLITE_OK ? rc : finished);
        return DbStatus::failure(to.error());
    }
    return DbOk();
}

// Makes the copy a standalone file (no write-ahead log) and checks it.
QString SettleAndCheck(const QString& path) {
    Connection db;
    if (!db.open(path, SQLITE_OPEN_READWRITE)) {
        return db.error();
    }
    QStringList mode;
    if (!db.texts("pragma journal_mode = delete", &mode)) {
        return db.error();
    }
    return CheckConnection(db);
}

const QRegularExpression& DailyPattern() {
    static const QRegularExpression pattern(QStringLiteral(R"(^(\d{4}-\d{2}-\d{2})\.db$)"));
    return pattern;
}

const QRegularExpression& SafetyPattern() {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^before-restore-(\d{4}-\d{2}-\d{2}-\d{6})(-\d+)?\.db$)"));
    return pattern;
}

bool Rename(const QString& from, const QString& to, QString* error) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        *error = SystemError();
        return false;
    }
    return true;
}

void RemoveDraft(const QString& path) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
}

}  // namespace

QString BackupFileName(const QDate& day) {
    return day.toString(kDailyName) + kExtension;
}

QDate BackupFileDay(const QString& fileName) {
    const QRegularExpressionMatch match = DailyPattern().match(fileName);
    return match.hasMatch() ? QDate::fromString(match.captured(1), kDailyName) : QDate();
}

QString SafetyCopyName(const QDateTime& now) {
    return kSafetyPrefix + now.toString(kSafetyStamp) + kExtension;
}

DbStatus CopyDatabaseFile(const QString& source, const QString& target,
                          const BackupOptions& options) {
    const QFileInfo targetInfo(target);
    const QString dir = targetInfo.absolutePath();
    QString draft;
    {
        QTemporaryFile file(dir + QLatin1Char('/') + targetInfo.fileName() +
                            QStringLiteral(".XXXXXX.part"));
        file.setAutoRemove(false);
        if (!file.open()) {
            return DbStatus::failure(
                QStringLiteral("无法在“%1”建立文件：%2").arg(Native(dir), file.errorString()));
        }
        draft = file.fileName();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    bool placed = false;
    auto removeDraft = qScopeGuard([&] {
        if (!placed) {
            RemoveDraft(draft);
        }
    });

    if (const DbStatus copied = CopyPages(source, draft, options); !copied) {
        return copied;
    }
    if (const QString problem = SettleAndCheck(draft); !problem.isEmpty()) {
        return DbStatus::failure(QStringLiteral("备份文件检查未通过：%1").arg(problem));
    }
    if (!SyncPath(draft, O_RDONLY)) {
        return DbStatus::failure(
            QStringLiteral("无法写入“%1”：%2").arg(Native(draft), SystemError()));
    }
    QString error;
    if (!Rename(draft, target, &error)) {
        return DbStatus::failure(QStringLiteral("无法写入“%1”：%2").arg(Native(target), error));
    }
    placed = true;
    SyncPath(dir, O_RDONLY | O_DIRECTORY);
    return DbOk();
}

QString CheckDatabaseFile(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        return QStringLiteral("找不到文件“%1”").arg(Native(path));
    }
    Connection db;
    if (!db.open(path, SQLITE_OPEN_READONLY)) {
        return db.error();
    }
    return CheckConnection(db);
}

QList<BackupFile> ListBackups(const QString& dataDir) {
    QList<BackupFile> files;
    const QFileInfoList entries = QDir(dataDir).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& entry : entries) {
        BackupFile file;
        file.path = entry.absoluteFilePath();
        file.size = entry.size();
        if (const QDate day = BackupFileDay(entry.fileName()); day.isValid()) {
            file.taken = day.startOfDay();
        } else if (const QRegularExpressionMatch match = SafetyPattern().match(entry.fileName());
                   match.hasMatch()) {
            file.taken = QDateTime::fromString(match.captured(1), kSafetyStamp);
            file.safetyCopy = true;
        }
        if (file.taken.isValid()) {
            files << file;
        }
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const BackupFile& a, const BackupFile& b) { return a.taken > b.taken; });
    return files;
}

QStringList PruneBackups(const QString& dataDir, int keep) {
    QStringList removed;
    int kept = 0;
    for (const BackupFile& file : ListBackups(dataDir)) {
        if (file.safetyCopy) {
            continue;
        }
        if (kept < keep) {
            ++kept;
        } else if (QFile::remove(file.path)) {
            removed << file.path;
        }
    }
    return removed;
}

DbResult<DailyBackup> MakeDailyBackup(const QDate& today, int keep, const BackupOptions& options) {
    const QString dir = Database::DataDir();
    if (dir.isEmpty()) {
        return DbResult<DailyBackup>::failure(QStringLiteral("数据库没有打开"));
    }
    DailyBackup daily;
    daily.path = dir + QLatin1Char('/') + BackupFileName(today);
    if (!QFileInfo::exists(daily.path)) {
        if (const DbStatus copied = CopyDatabaseFile(Database::FilePath(), daily.path, options);
            !copied) {
            return DbResult<DailyBackup>::failure(copied.error());
        }
        daily.made = true;
    }
    daily.removed = PruneBackups(dir, keep);
    return daily;
}

DbResult<RestorePlan> PrepareRestore(const QString& dataDir, const QString& chosen,
                                     const QString& safetyName, const BackupOptions& options) {
    using Result = DbResult<RestorePlan>;
    RestorePlan plan;
    plan.dataDir = dataDir;
    plan.live = dataDir + QLatin1Char('/') + Database::FileName();
    plan.staged = plan.live + QStringLiteral(".restore");
    if (const QString problem = CheckDatabaseFile(chosen); !problem.isEmpty()) {
        return Result::failure(QStringLiteral("所选备份文件不能使用：%1").arg(problem));
    }
    plan.safety = dataDir + QLatin1Char('/') + safetyName;
    for (int n = 2; QFileInfo::exists(plan.safety); ++n) {
        QString name = safetyName;
        name.insert(name.size() - kExtension.size(), QStringLiteral("-%1").arg(n));
        plan.safety = dataDir + QLatin1Char('/') + name;
    }
    // Two copies of about the same size: each takes half of the progress.
    auto half = [&options](qint64 base) {
        BackupOptions part = options;
        if (options.progress) {
            part.progress = [progress = options.progress, base](qint64 done, qint64 total) {
                progress(base * total + done, 2 * total);
            };
        }
        return part;
    };
    if (const DbStatus saved = CopyDatabaseFile(plan.live, plan.safety, half(0)); !saved) {
        return Result::failure(QStringLiteral("无法备份当前数据库：%1").arg(saved.error()));
    }
    if (const DbStatus copied = CopyDatabaseFile(chosen, plan.staged, half(1)); !copied) {
        return Result::failure(copied.error());
    }
    return plan;
}

DbStatus FinishRestore(const RestorePlan& plan) {
    // Another program that still has the file open would go on writing into the replaced file,
    // and everything it saved afterwards would be lost.
    if (!Database::HoldsFolderLock()) {
        RemoveDraft(plan.staged);
        return DbStatus::failure(QStringLiteral(
            "数据文件夹的锁文件已不在，为保护数据没有恢复。请重新启动程序后再恢复。"));
    }
    if (const QStringList users = OtherProcessesUsing(plan.live); !users.isEmpty()) {
        RemoveDraft(plan.staged);
        return DbStatus::failure(QStringLiteral("数据库正被其他程序使用（%1），请关闭后再恢复。")
                                     .arg(users.join(QStringLiteral("、"))));
    }
    // The old file's log must not outlive it: replayed onto the restored file it would
    // corrupt it. Closing the last connection folds the log in and removes it.
    Database::Close(true);
    const QString wal = plan.live + QStringLiteral("-wal");
    if (QFileInfo(wal).size() > 0) {
        RemoveDraft(plan.staged);
        Database::Open(plan.dataDir);
        return DbStatus::failure(QStringLiteral("数据库正被其他程序使用，请关闭后再恢复。"));
    }
    QFile::remove(wal);
    QFile::remove(plan.live + QStringLiteral("-shm"));
    // The file in use keeps a second name until the restored one has opened, so putting it back
    // is a rename, which works even on a full disk. The swap itself stays one rename, so a crash
    // never leaves the folder without a database.
    const QString previous = plan.live + QStringLiteral(".previous");
    QFile::remove(previous);
    const bool linked = ::link(QFile::encodeName(plan.live).constData(),
                               QFile::encodeName(previous).constData()) == 0;
    QString error;
    if (!Rename(plan.staged, plan.live, &error)) {
        RemoveDraft(plan.staged);
        if (linked) {
            QFile::remove(previous);
        }
        Database::Open(plan.dataDir);
        return DbStatus::failure(QStringLiteral("无法替换数据库文件：%1").arg(error));
    }
    SyncPath(plan.dataDir, O_RDONLY | O_DIRECTORY);
    const Database::OpenResult opened = Database::Open(plan.dataDir);
    if (opened.ok) {
        if (linked) {
            QFile::remove(previous);
        }
        return DbOk();
    }
    // The restored file is ours and sound, yet this program cannot use it (a newer schema, or
    // no room to open it): put the database that was in use back. What the failed open left
    // beside the restored file must not be applied to the old one.
    bool putBack = false;
    if (linked) {
        QFile::remove(plan.live + QStringLiteral("-journal"));
        QFile::remove(wal);
        QFile::remove(plan.live + QStringLiteral("-shm"));
        putBack = Rename(previous, plan.live, &error);
    } else {
        putBack =
            CopyDatabaseFile(plan.safety, plan.staged) && Rename(plan.staged, plan.live, &error);
    }
    if (putBack) {
        SyncPath(plan.dataDir, O_RDONLY | O_DIRECTORY);
        Database::Open(plan.dataDir);
    }
    return DbStatus::failure(QStringLiteral("恢复的数据库无法打开：%1").arg(opened.message));
}

DbResult<QString> RestoreDatabase(const QString& chosen, const QString& safetyName) {
    if (Database::DataDir().isEmpty()) {
        return DbResult<QString>::failure(QStringLiteral("数据库没有打开"));
    }
    const DbResult<RestorePlan> plan = PrepareRestore(Database::DataDir(), chosen, safetyName);
    if (!plan) {
        return DbResult<QString>::failure(plan.error());
    }
    if (const DbStatus finished = FinishRestore(*plan); !finished) {
        return DbResult<QString>::failure(finished.error());
    }
    return plan->safety;
}
