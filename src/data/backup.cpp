#include "data/backup.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "data/backup_files.h"
#include "data/compressed_file.h"
#include "data/data_folder.h"
#include "data/database.h"
#include "data/engine_error.h"
#include "platform/disk_space.h"
#include "platform/file_io.h"

using backup_files::Rename;
using backup_files::UniquePath;

namespace {

const QString kDailyName = QStringLiteral("yyyy-MM-dd");
const QString kSafetyPrefix = QStringLiteral("before-restore-");
const QString kDamagedPrefix = QStringLiteral("damaged-");
// A file waits under its final name plus this until it is complete.
const QString kDraftSuffix = QStringLiteral(".part");
// Backups of the database file are stored compressed under this suffix; older plain ones are
// still listed, kept and restored.
const QString kCompressedSuffix = QStringLiteral(".zst");
// The compressed draft beside the plain one it is made from.
const QString kCompressedDraftSuffix = QStringLiteral("-zst");
const QString kCheckFile = QStringLiteral("last-good-check.txt");
const QString kSafetyStamp = QStringLiteral("yyyy-MM-dd-HHmmss");
// A copy step that finds the destination locked waits this long in all before giving up.
constexpr int kBusyRetries = 250;
constexpr int kBusyPauseMs = 20;
const QString kStoppedText = QStringLiteral("备份已停止");
// The check looks pages up again and again: read through a memory map (the engine caps its
// size) and keep a large cache, which makes it about a third quicker on a big file.
const char* const kMapWholeFile = "pragma mmap_size = 2147418112";
const char* const kCheckCache = "pragma cache_size = -262144";

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// What the system said about the last failed call, in the shop's words first.
QString SystemError() {
    return DescribeSystemError(errno);
}

QString FileError(const QFileDevice& file) {
    return errno ? DescribeSystemError(errno)
                 : QStringLiteral("读写文件出错（%1）").arg(file.errorString());
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
        code_ = rc;
        const QString engine =
            db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
        error_ = DescribeEngineError(rc, db_ ? sqlite3_system_errno(db_) : 0, engine);
    }

    sqlite3* handle() const { return db_; }
    const QString& error() const { return error_; }
    // The last failure came from the file's content, not from the disk or a lock.
    bool damaged() const { return IsDamageCode(code_); }

private:
    sqlite3* db_ = nullptr;
    QString error_;
    int code_ = SQLITE_OK;
};

// A check is one long step of the engine, which only an interrupt from another thread ends
// early: while the object lives, a thread of its own interrupts `db` once `stop` is set.
class StopWatch {
public:
    StopWatch(sqlite3* db, const std::atomic<bool>* stop) {
        if (stop) {
            watcher_ = std::thread([this, db, stop] {
                while (!done_) {
                    if (*stop) {
                        sqlite3_interrupt(db);
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            });
        }
    }
    ~StopWatch() {
        done_ = true;
        if (watcher_.joinable()) {
            watcher_.join();
        }
    }
    StopWatch(const StopWatch&) = delete;
    StopWatch& operator=(const StopWatch&) = delete;

private:
    std::atomic<bool> done_{false};
    std::thread watcher_;
};

// Why a file is not a sound database of ours; `damaged` when the reason is its content.
struct Problem {
    QString text;
    bool damaged = false;
    bool isEmpty() const { return text.isEmpty(); }
};

// The check (integrity or quick) and the application id of an open file; empty when both are
// right.
Problem CheckConnection(Connection& db, const char* check = "pragma integrity_check") {
    db.exec(kMapWholeFile);
    db.exec(kCheckCache);
    QStringList findings;
    if (!db.texts(check, &findings)) {
        return {db.error(), db.damaged()};
    }
    // A read the disk failed once shows up among the findings like damage does; damage is
    // still there when the check runs again.
    if (findings != QStringList{QStringLiteral("ok")}) {
        findings.clear();
        if (!db.texts(check, &findings)) {
            return {db.error(), db.damaged()};
        }
    }
    if (findings != QStringList{QStringLiteral("ok")}) {
        return {QStringLiteral("数据库文件已损坏（%1）")
                    .arg(findings.mid(0, 3).join(QLatin1String("; "))),
                true};
    }
    QStringList id;
    if (!db.texts("pragma application_id", &id)) {
        return {db.error(), db.damaged()};
    }
    if (id.value(0).toLongLong() != Database::kApplicationId) {
        return {QStringLiteral("不是本系统的数据库"), false};
    }
    return {};
}

// A plain file to decompress `compressed` into: beside it, or in the system's temporary folder
// when its own folder takes no file. Empty when neither does.
QString DecompressionDraft(const QString& compressed) {
    for (const QString& base :
         {compressed, QDir::tempPath() + QStringLiteral("/ruvaso-check.db")}) {
        QTemporaryFile file(base + QStringLiteral(".XXXXXX.part"));
        file.setAutoRemove(false);
        if (file.open()) {
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            return file.fileName();
        }
    }
    return {};
}

void RemoveDraft(const QString& path);

Problem CheckFile(const QString& path, const char* check) {
    if (!QFileInfo(path).isFile()) {
        return {QStringLiteral("找不到文件“%1”").arg(Native(path)), false};
    }
    // A compressed backup is checked as the database it decompresses to.
    if (compressed_file::IsCompressed(path)) {
        const QString plain = DecompressionDraft(path);
        if (plain.isEmpty()) {
            return {QStringLiteral("无法建立临时文件来检查“%1”").arg(Native(path)), false};
        }
        auto removePlain = qScopeGuard([&plain] { RemoveDraft(plain); });
        if (const DbStatus decoded = compressed_file::Decompress(path, plain); !decoded) {
            return {decoded.error(), true};
        }
        return CheckFile(plain, check);
    }
    Connection db;
    if (!db.open(path, SQLITE_OPEN_READONLY)) {
        return {db.error(), db.damaged()};
    }
    return CheckConnection(db, check);
}

}  // namespace

namespace backup_files {}  // namespace backup_files

namespace {

bool Stopped(const BackupOptions& options) {
    return options.stop && options.stop->load();
}

// Copies `source` page by page into the empty file `dest`.
DbStatus CopyPages(const QString& source, const QString& dest, const BackupOptions& options,
                   bool* sourceDamaged) {
    Connection from;
    if (!from.open(source, SQLITE_OPEN_READONLY)) {
        return DbStatus::failure(
            QStringLiteral("无法读取“%1”：%2").arg(Native(source), from.error()));
    }
    // One read transaction for the whole copy: every step reads the same snapshot, so writes
    // that land meanwhile neither tear the copy nor make it start over.
    if (!from.exec("begin") || !from.exec("select count(*) from sqlite_master")) {
        *sourceDamaged = from.damaged();
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
        if (rc == SQLITE_OK && Stopped(options)) {
            rc = SQLITE_INTERRUPT;
            break;
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
    if (rc == SQLITE_INTERRUPT && Stopped(options)) {
        return DbStatus::failure(kStoppedText);
    }
    if (rc != SQLITE_DONE || finished != SQLITE_OK) {
        const int failed = rc != SQLITE_DONE && rc != SQLITE_OK ? rc : finished;
        // The copy only reads the source's pages; a fresh destination does not turn corrupt.
        *sourceDamaged = IsDamageCode(failed);
        to.remember(failed);
        return DbStatus::failure(to.error());
    }
    return DbOk();
}

// Makes the copy a standalone file (no write-ahead log) and checks it. The copy holds the
// source's pages as they were, so damage found in it is damage of the source. With `packed`,
// the settled copy is also compressed into that file while the engine checks it, and the
// compressed file is then decompressed and compared with the copy: it holds exactly the pages
// the check passed.
Problem SettleAndCheck(const QString& path, const BackupOptions& options,
                       const QString& packed = QString()) {
    // Opened before the engine's connection and closed after it: closing a file the engine
    // also has open would drop the engine's locks on it.
    QFile plain(path);
    Connection db;
    if (!db.open(path, SQLITE_OPEN_READWRITE)) {
        return {db.error(), false};
    }
    QStringList mode;
    if (!db.texts("pragma journal_mode = delete", &mode)) {
        return {db.error(), db.damaged()};
    }
    // An interrupt before the check begins is lost, so look first.
    if (Stopped(options)) {
        return {kStoppedText, false};
    }
    DbStatus compressed = DbOk();
    std::thread compressor;
    if (!packed.isEmpty()) {
        if (!plain.open(QIODevice::ReadOnly)) {
            return {FileError(plain), false};
        }
        compressor = std::thread([&] {
            compressed = compressed_file::Compress(plain, packed, compressed_file::kBackupLevel,
                                                   options.stop);
            if (compressed) {
                compressed = compressed_file::DecodesTo(packed, plain, options.stop);
            }
        });
    }
    Problem problem;
    {
        const StopWatch watch(db.handle(), options.stop);
        problem = CheckConnection(db);
    }
    if (compressor.joinable()) {
        compressor.join();
    }
    if (problem.isEmpty() && !compressed) {
        return {compressed.error(), false};
    }
    return problem;
}

// Copies a compressed backup byte by byte into `to`, then decodes the copy: every frame's
// checksum must hold and the bytes must be the source's.
DbStatus CopyCompressedFile(const QString& from, const QString& to, const BackupOptions& options) {
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly)) {
        return DbStatus::failure(
            QStringLiteral("无法读取“%1”：%2").arg(Native(from), FileError(in)));
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return DbStatus::failure(
            QStringLiteral("无法写入“%1”：%2").arg(Native(to), FileError(out)));
    }
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const qint64 total = in.size();
    qint64 done = 0;
    QByteArray block;
    while (!(block = in.read(1 << 20)).isEmpty()) {
        if (Stopped(options)) {
            return DbStatus::failure(kStoppedText);
        }
        if (out.write(block) != block.size()) {
            return DbStatus::failure(
                QStringLiteral("无法写入“%1”：%2").arg(Native(to), FileError(out)));
        }
        done += block.size();
        if (options.progress) {
            options.progress(done, total);
        }
    }
    if (in.error() != QFileDevice::NoError) {
        return DbStatus::failure(
            QStringLiteral("无法读取“%1”：%2").arg(Native(from), FileError(in)));
    }
    if (!out.flush()) {
        return DbStatus::failure(
            QStringLiteral("无法写入“%1”：%2").arg(Native(to), FileError(out)));
    }
    out.close();
    if (const DbStatus same = compressed_file::SameBytes(to, from); !same) {
        return DbStatus::failure(QStringLiteral("备份文件检查未通过：%1").arg(same.error()));
    }
    if (const DbStatus decoded = compressed_file::Verify(to, options.stop); !decoded) {
        return DbStatus::failure(QStringLiteral("备份文件检查未通过：%1").arg(decoded.error()));
    }
    return DbOk();
}

const QRegularExpression& DailyPattern(BackupKind kind) {
    static const QRegularExpression file(QStringLiteral(R"(^(\d{4}-\d{2}-\d{2})\.db(\.zst)?$)"));
    static const QRegularExpression dump(QStringLiteral(R"(^(\d{4}-\d{2}-\d{2})\.dump$)"));
    return kind == BackupKind::Dump ? dump : file;
}

const QRegularExpression& SafetyPattern(BackupKind kind) {
    static const QRegularExpression file(
        QStringLiteral(R"(^before-restore-(\d{4}-\d{2}-\d{2}-\d{6})(-\d+)?\.db(\.zst)?$)"));
    static const QRegularExpression dump(
        QStringLiteral(R"(^before-restore-(\d{4}-\d{2}-\d{2}-\d{6})(-\d+)?\.dump$)"));
    return kind == BackupKind::Dump ? dump : file;
}

// The drafts this program writes: a copy's draft beside its target (QTemporaryFile's six
// characters), with any journal the engine kept for it and the compressed file made from it; a
// safety copy or a kept damaged file waiting for its final name; the file a restore prepared.
const QRegularExpression& DraftPattern() {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(((\d{4}-\d{2}-\d{2}|(before-restore|damaged)-\d{4}-\d{2}-\d{2}-\d{6}(-\d+)?)\.(db|dump))"
        R"((\.zst)?(\.part)?|database\.db\.restore)\.[A-Za-z0-9]{6}\.part(-journal|-wal|-shm|-zst)?)"
        R"(|(before-restore|damaged)-\d{4}-\d{2}-\d{2}-\d{6}(-\d+)?\.(db|dump)(\.zst)?\.part)"
        R"(|database\.db\.restore(-journal|-wal|-shm)?)$)"));
    return pattern;
}

}  // namespace

namespace backup_files {

bool Rename(const QString& from, const QString& to, QString* error) {
    if (!platform::ReplaceFile(from, to)) {
        *error = SystemError();
        return false;
    }
    return true;
}

// `name` in `dir`, or with "-2", "-3" … before the extension when that is taken.
QString UniquePath(const QString& dir, const QString& name) {
    QString path = dir + QLatin1Char('/') + name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    for (int n = 2; QFileInfo::exists(path); ++n) {
        QString numbered = name;
        numbered.insert(dot < 0 ? name.size() : dot, QStringLiteral("-%1").arg(n));
        path = dir + QLatin1Char('/') + numbered;
    }
    return path;
}

}  // namespace backup_files

namespace {

void RemoveDraft(const QString& path) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
}

// Keeps `from` as it is on disk under the new name `to`. A second link to the same file costs
// no space and no time; where the file system has no links, the bytes are copied.
bool KeepAsIs(const QString& from, const QString& to, QString* error) {
    if (platform::HardLink(from, to)) {
        return true;
    }
    const QString draft = to + kDraftSuffix;
    QFile in(from);
    QFile out(draft);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = in.isOpen() ? FileError(out) : FileError(in);
        return false;
    }
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray block;
    while (!(block = in.read(1 << 20)).isEmpty()) {
        if (out.write(block) != block.size()) {
            *error = FileError(out);
            out.close();
            QFile::remove(draft);
            return false;
        }
    }
    const bool read = in.error() == QFileDevice::NoError;
    out.close();
    if (!read || !platform::SyncFile(draft) || !Rename(draft, to, error)) {
        if (!read) {
            *error = FileError(in);
        }
        QFile::remove(draft);
        return false;
    }
    return true;
}
}  // namespace

BackupKind CurrentBackupKind() {
    return Database::Engine() == sql::Engine::Postgres ? BackupKind::Dump : BackupKind::File;
}

QString BackupExtension(BackupKind kind) {
    return kind == BackupKind::Dump ? QStringLiteral(".dump") : QStringLiteral(".db");
}

QString BackupPickPattern(BackupKind kind) {
    const QString plain = QLatin1Char('*') + BackupExtension(kind);
    return kind == BackupKind::File
               ? plain + QStringLiteral(" *") + BackupExtension(kind) + kCompressedSuffix
               : plain;
}

QString BackupFileName(const QDate& day, BackupKind kind) {
    return day.toString(kDailyName) + BackupExtension(kind) +
           (kind == BackupKind::File ? kCompressedSuffix : QString());
}

QString ExistingBackupOf(const QString& dir, const QDate& day, BackupKind kind) {
    const QString name = day.toString(kDailyName) + BackupExtension(kind);
    for (const QString& candidate : {BackupFileName(day, kind), name}) {
        const QString path = dir + QLatin1Char('/') + candidate;
        if (QFileInfo::exists(path)) {
            return path;
        }
    }
    return {};
}

QDate BackupFileDay(const QString& fileName, BackupKind kind) {
    const QRegularExpressionMatch match = DailyPattern(kind).match(fileName);
    return match.hasMatch() ? QDate::fromString(match.captured(1), kDailyName) : QDate();
}

QString SafetyCopyName(const QDateTime& now, BackupKind kind) {
    return kSafetyPrefix + now.toString(kSafetyStamp) + BackupExtension(kind) +
           (kind == BackupKind::File ? kCompressedSuffix : QString());
}

QString DamagedCopyName(const QDateTime& now) {
    return kDamagedPrefix + now.toString(kSafetyStamp) + BackupExtension(BackupKind::File);
}

DbStatus CopyDatabaseFile(const QString& source, const QString& target,
                          const BackupOptions& options, bool* sourceDamaged) {
    bool damaged = false;
    if (!sourceDamaged) {
        sourceDamaged = &damaged;
    }
    *sourceDamaged = false;
    const QFileInfo targetInfo(target);
    const QString dir = targetInfo.absolutePath();
    // A target named as a compressed backup, or as the draft of one, is written compressed.
    const bool compress =
        target.endsWith(kCompressedSuffix) || target.endsWith(kCompressedSuffix + kDraftSuffix);
    const bool fromCompressed = compressed_file::IsCompressed(source);
    QString draft;
    {
        QTemporaryFile file(dir + QLatin1Char('/') + targetInfo.fileName() +
                            QStringLiteral(".XXXXXX.part"));
        file.setAutoRemove(false);
        if (!file.open()) {
            return DbStatus::failure(
                QStringLiteral("无法在“%1”建立文件：%2").arg(Native(dir), FileError(file)));
        }
        draft = file.fileName();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    const QString packed = draft + kCompressedDraftSuffix;
    bool placed = false;
    auto removeDraft = qScopeGuard([&] {
        // The plain draft of a compressed copy goes in any case.
        if (!placed || compress) {
            RemoveDraft(draft);
        }
        if (!placed) {
            QFile::remove(packed);
        }
    });

    if (fromCompressed && compress) {
        // Already checked when it was made: the copy only has to hold the same bytes.
        if (const DbStatus copied = CopyCompressedFile(source, packed, options); !copied) {
            return copied;
        }
    } else {
        const DbStatus filled = fromCompressed ? compressed_file::Decompress(
                                                     source, draft, options.stop, options.progress)
                                               : CopyPages(source, draft, options, sourceDamaged);
        if (!filled) {
            return Stopped(options) ? DbStatus::failure(kStoppedText) : filled;
        }
        if (const Problem problem = SettleAndCheck(draft, options, compress ? packed : QString());
            !problem.isEmpty()) {
            if (Stopped(options)) {
                return DbStatus::failure(kStoppedText);
            }
            *sourceDamaged = problem.damaged && !fromCompressed;
            return DbStatus::failure(QStringLiteral("备份文件检查未通过：%1").arg(problem.text));
        }
    }
    const QString finished = compress ? packed : draft;
    if (options.written.isValid()) {
        platform::SetModifiedTime(finished, options.written);
    }
    if (!platform::SyncFile(finished)) {
        return DbStatus::failure(
            QStringLiteral("无法写入“%1”：%2").arg(Native(finished), SystemError()));
    }
    QString error;
    if (!Rename(finished, target, &error)) {
        return DbStatus::failure(QStringLiteral("无法写入“%1”：%2").arg(Native(target), error));
    }
    placed = true;
    platform::SyncFolder(dir);
    return DbOk();
}

QString CheckDatabaseFile(const QString& path) {
    return CheckFile(path, "pragma integrity_check").text;
}

FileCheck QuickCheckDatabaseFile(const QString& path, const std::atomic<bool>* stop) {
    FileCheck result;
    const std::optional<platform::FileIdentity> before = platform::IdentityOf(path);
    Connection db;
    if (!before || !before->regular || !db.open(path, SQLITE_OPEN_READONLY)) {
        result.detail =
            db.error().isEmpty() ? QStringLiteral("找不到文件“%1”").arg(Native(path)) : db.error();
        return result;
    }
    if (stop && *stop) {
        result.detail = QStringLiteral("检查已停止");
        return result;
    }
    db.exec(kMapWholeFile);
    db.exec(kCheckCache);
    QStringList findings;
    bool ran = false;
    {
        const StopWatch watch(db.handle(), stop);
        ran = db.texts("pragma quick_check", &findings);
    }
    if (platform::IdentityOf(path) != before) {
        result.detail = QStringLiteral("检查期间文件被替换");
    } else if (!ran) {
        result.health = db.damaged() ? FileCheck::Health::Damaged : FileCheck::Health::Unknown;
        result.detail = db.error();
    } else if (findings == QStringList{QStringLiteral("ok")}) {
        result.health = FileCheck::Health::Sound;
    } else {
        result.health = FileCheck::Health::Damaged;
        result.detail = findings.mid(0, 3).join(QLatin1String("; "));
    }
    return result;
}

QDate LastGoodCheck(const QString& dataDir) {
    QFile file(dataDir + QLatin1Char('/') + kCheckFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QDate::fromString(QString::fromLatin1(file.read(32)).trimmed(), kDailyName);
}

bool RecordGoodCheck(const QString& dataDir, const QDate& day) {
    QSaveFile file(dataDir + QLatin1Char('/') + kCheckFile);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(day.toString(kDailyName).toLatin1() + '\n');
    return file.commit();
}

bool QuickCheckDue(const QString& dataDir, const QDate& today) {
    // A day in the future (the clock was put back) is no proof of a check.
    const QDate last = LastGoodCheck(dataDir);
    return !last.isValid() || last != today;
}

QList<BackupFile> ListBackups(const QString& dataDir, BackupKind kind) {
    QList<BackupFile> files;
    const QFileInfoList entries = QDir(dataDir).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& entry : entries) {
        BackupFile file;
        file.path = entry.absoluteFilePath();
        file.size = entry.size();
        if (const QDate day = BackupFileDay(entry.fileName(), kind); day.isValid()) {
            // The name gives the day; a file copied here later by hand has no time of its own.
            const QDateTime written = entry.lastModified();
            file.hasTime = written.date() == day;
            file.taken = file.hasTime
                             ? QDateTime(day, QTime(written.time().hour(), written.time().minute()))
                             : day.startOfDay();
        } else if (const QRegularExpressionMatch match =
                       SafetyPattern(kind).match(entry.fileName());
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

QList<BackupFile> UsableBackups(const QString& dataDir, const BackupOptions& options,
                                int* rejected) {
    const QList<BackupFile> files = ListBackups(dataDir);
    QList<BackupFile> usable;
    int bad = 0;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (options.progress) {
            options.progress(i, files.size());
        }
        if (CheckFile(files[i].path, "pragma quick_check").isEmpty()) {
            usable << files[i];
        } else {
            ++bad;
        }
    }
    if (rejected) {
        *rejected = bad;
    }
    return usable;
}

BackupTotals SumBackups(const QList<BackupFile>& files) {
    BackupTotals totals;
    for (const BackupFile& file : files) {
        if (file.safetyCopy) {
            ++totals.safetyCount;
            totals.safetyBytes += file.size;
        } else {
            ++totals.dailyCount;
            totals.dailyBytes += file.size;
        }
    }
    return totals;
}

QList<QDate> BackupDaysToKeep(const QList<QDate>& days, const BackupRetention& keep) {
    QList<QDate> sorted;
    for (const QDate& day : days) {
        if (day.isValid()) {
            sorted << day;
        }
    }
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());

    // The newest backup is kept whatever the numbers say: it is the one a restore needs most.
    int daily = std::max(1, keep.daily);
    int weekly = keep.weekly;
    int monthly = keep.monthly;
    int lastWeek = -1;
    int lastMonth = -1;
    QList<QDate> kept;
    for (const QDate& day : sorted) {
        bool keepIt = false;
        if (daily > 0) {
            --daily;
            keepIt = true;
        }
        // Newest first, so the first day met in a week or month is its newest backup.
        int weekYear = 0;
        const int week = day.weekNumber(&weekYear) + weekYear * 100;
        if (week != lastWeek) {
            lastWeek = week;
            if (weekly > 0) {
                --weekly;
                keepIt = true;
            }
        }
        const int month = day.year() * 100 + day.month();
        if (month != lastMonth) {
            lastMonth = month;
            if (monthly > 0) {
                --monthly;
                keepIt = true;
            }
        }
        if (keepIt) {
            kept << day;
        }
    }
    return kept;
}

QStringList PruneBackups(const QString& dataDir, const BackupRetention& keep, BackupKind kind) {
    QList<BackupFile> daily;
    QList<QDate> days;
    for (const BackupFile& file : ListBackups(dataDir, kind)) {
        if (!file.safetyCopy) {
            daily << file;
            days << file.taken.date();
        }
    }
    const QList<QDate> kept = BackupDaysToKeep(days, keep);
    const QSet<QDate> keptDays(kept.begin(), kept.end());
    QStringList removed;
    for (const BackupFile& file : daily) {
        if (!keptDays.contains(file.taken.date()) && QFile::remove(file.path)) {
            removed << file.path;
        }
    }
    return removed;
}

QStringList PruneSafetyCopies(const QString& dataDir, int keep, BackupKind kind) {
    QStringList removed;
    int kept = 0;
    for (const BackupFile& file : ListBackups(dataDir, kind)) {
        if (!file.safetyCopy) {
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

QStringList RemoveDrafts(const QString& dataDir) {
    QStringList removed;
    const QFileInfoList entries = QDir(dataDir).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        if (DraftPattern().match(entry.fileName()).hasMatch() &&
            QFile::remove(entry.absoluteFilePath())) {
            removed << entry.absoluteFilePath();
        }
    }
    return removed;
}

DiskSpace DiskSpaceOf(const QString& path) {
    const platform::VolumeSpace space = platform::SpaceOf(path);
    return {space.total, space.available};
}

qint64 FreeReserve(const DiskSpace& space, double minFreeShare, qint64 maxReserve) {
    const auto share = qint64(minFreeShare * double(space.total));
    return std::min(std::max<qint64>(share, 0), std::max<qint64>(maxReserve, 0));
}

bool LeavesEnoughFree(const DiskSpace& space, qint64 bytes, qint64 reserve) {
    if (space.total <= 0) {
        return true;  // the system cannot tell; the copy itself reports a full disk
    }
    return space.available - bytes >= reserve;
}

qint64 SpaceForBackup(const QString& source) {
    if (compressed_file::IsCompressed(source)) {
        return QFileInfo(source).size();
    }
    // The plain copy holds the pages of the file and of its log, at most, and stays until the
    // compressed file made from it is complete; a shop's database compresses to well under half.
    const qint64 plain =
        QFileInfo(source).size() + QFileInfo(source + QStringLiteral("-wal")).size();
    return plain + plain / 2;
}

DbResult<DailyBackup> MakeDailyBackup(const QDate& today, const DailyBackupPolicy& policy,
                                      const BackupOptions& options, bool* sourceDamaged) {
    if (sourceDamaged) {
        *sourceDamaged = false;
    }
    if (Database::DataDir().isEmpty()) {
        return DbResult<DailyBackup>::failure(QStringLiteral("数据库没有打开"));
    }
    return MakeDailyBackup(Database::DataDir(), today, policy, options, sourceDamaged);
}

DbResult<DailyBackup> MakeDailyBackup(const QString& dir, const QDate& today,
                                      const DailyBackupPolicy& policy, const BackupOptions& options,
                                      bool* sourceDamaged) {
    if (sourceDamaged) {
        *sourceDamaged = false;
    }
    DailyBackup daily;
    daily.path = ExistingBackupOf(dir, today);
    if (daily.path.isEmpty()) {
        daily.path = dir + QLatin1Char('/') + BackupFileName(today);
        const QString live = dir + QLatin1Char('/') + Database::FileName();
        const qint64 needed = SpaceForBackup(live);
        const DiskSpace space = DiskSpaceOf(dir);
        if (!LeavesEnoughFree(space, needed, policy.reserveOn(space))) {
            daily.skippedForSpace = true;
            daily.needed = needed;
            daily.space = space;
            daily.reserve = policy.reserveOn(space);
            return daily;
        }
        if (const DbStatus copied = CopyDatabaseFile(live, daily.path, options, sourceDamaged);
            !copied) {
            return DbResult<DailyBackup>::failure(copied.error());
        }
        daily.made = true;
    }
    daily.removed = PruneBackups(dir, policy.keep);
    return daily;
}

DbResult<RestorePlan> PrepareRestore(const QString& dataDir, const QString& chosen,
                                     const QDateTime& stamp, const BackupOptions& options,
                                     bool currentDamaged) {
    using Result = DbResult<RestorePlan>;
    RestorePlan plan;
    plan.dataDir = dataDir;
    plan.live = dataDir + QLatin1Char('/') + Database::FileName();
    plan.staged = plan.live + QStringLiteral(".restore");
    // A compressed backup is checked as it is decompressed into place, before anything else.
    const bool compressed = compressed_file::IsCompressed(chosen);
    if (!compressed) {
        if (const QString problem = CheckDatabaseFile(chosen); !problem.isEmpty()) {
            return Result::failure(QStringLiteral("所选备份文件不能使用：%1").arg(problem));
        }
    }
    // Two copies of about the same size: each takes half of the progress.
    auto part = [&options](qint64 base, qint64 parts) {
        BackupOptions step = options;
        if (options.progress) {
            step.progress = [progress = options.progress, base, parts](qint64 done, qint64 total) {
                progress(base * total + done, parts * total);
            };
        }
        return step;
    };
    const bool triedSafety = !currentDamaged;
    if (compressed) {
        if (const DbStatus staged =
                CopyDatabaseFile(chosen, plan.staged, triedSafety ? part(0, 2) : options);
            !staged) {
            return Result::failure(
                Stopped(options) ? staged.error()
                                 : QStringLiteral("所选备份文件不能使用：%1").arg(staged.error()));
        }
    }
    // The staged file goes with a safety copy that failed.
    auto dropStaged = qScopeGuard([&plan] { RemoveDraft(plan.staged); });
    if (triedSafety) {
        // The safety copy waits under a draft name, so that it is only ever listed beside a
        // restore that took place.
        plan.safety = UniquePath(dataDir, SafetyCopyName(stamp));
        plan.safetyDraft = plan.safety + kDraftSuffix;
        bool damaged = false;
        if (const DbStatus saved = CopyDatabaseFile(plan.live, plan.safetyDraft,
                                                    part(compressed ? 1 : 0, 2), &damaged);
            !saved) {
            if (!damaged) {
                return Result::failure(QStringLiteral("无法备份当前数据库：%1").arg(saved.error()));
            }
            plan.safety.clear();
            plan.safetyDraft.clear();
            currentDamaged = true;
        }
    }
    if (currentDamaged) {
        plan.damaged = UniquePath(dataDir, DamagedCopyName(stamp));
    }
    if (!compressed) {
        if (const DbStatus copied =
                CopyDatabaseFile(chosen, plan.staged, triedSafety ? part(1, 2) : options);
            !copied) {
            if (!plan.safetyDraft.isEmpty()) {
                QFile::remove(plan.safetyDraft);
            }
            return Result::failure(copied.error());
        }
    }
    dropStaged.dismiss();
    return plan;
}

DbStatus FinishRestore(const RestorePlan& plan) {
    // Nothing is closed yet: only the drafts go.
    auto refuse = [&plan](const QString& why) {
        RemoveDraft(plan.staged);
        if (!plan.safetyDraft.isEmpty()) {
            QFile::remove(plan.safetyDraft);
        }
        return DbStatus::failure(why);
    };
    // Another program that still has the file open would go on writing into the replaced file,
    // and everything it saved afterwards would be lost. A damaged file that could not be opened
    // leaves the folder locked all the same.
    if (!Database::HoldsFolderLock(plan.dataDir)) {
        return refuse(QStringLiteral(
            "数据文件夹的锁文件已不在，为保护数据没有恢复。请重新启动程序后再恢复。"));
    }
    if (const QStringList users = OtherProcessesUsing(plan.live); !users.isEmpty()) {
        return refuse(QStringLiteral("数据库正被其他程序使用（%1），请关闭后再恢复。")
                          .arg(users.join(QStringLiteral("、"))));
    }
    // The old file's log must not outlive it: replayed onto the restored file it would
    // corrupt it. Closing the last connection folds the log in and removes it.
    const bool wasOpen = Database::IsOpen();
    Database::Close(true);
    auto giveUp = [&plan, &refuse](const QString& why) {
        const DbStatus failed = refuse(why);
        Database::Open(plan.dataDir);
        return failed;
    };
    const QString wal = plan.live + QStringLiteral("-wal");
    const QString keptWal = plan.damaged + QStringLiteral("-wal");
    bool walKept = false;
    QString error;
    if (QFileInfo(wal).size() > 0) {
        // A damaged file that this program could not open may still have the log of its last
        // run: it belongs to the damaged file and goes with it. Otherwise someone else has the
        // database open.
        if (wasOpen || plan.damaged.isEmpty()) {
            return giveUp(QStringLiteral("数据库正被其他程序使用，请关闭后再恢复。"));
        }
        walKept = true;
    }
    if (!plan.damaged.isEmpty()) {
        if (!KeepAsIs(plan.live, plan.damaged, &error)) {
            return giveUp(QStringLiteral("无法保留已损坏的数据库文件：%1").arg(error));
        }
        if (walKept && !Rename(wal, keptWal, &error)) {
            QFile::remove(plan.damaged);
            return giveUp(QStringLiteral("无法保留已损坏的数据库文件：%1").arg(error));
        }
    }
    QFile::remove(wal);
    QFile::remove(plan.live + QStringLiteral("-shm"));
    // A sound file in use keeps a second name until the restored one has opened, so putting it
    // back is a rename, which works even on a full disk. The swap itself stays one rename, so a
    // crash never leaves the folder without a database.
    const QString previous = plan.live + QStringLiteral(".previous");
    bool linked = false;
    if (plan.damaged.isEmpty()) {
        QFile::remove(previous);
        linked = platform::HardLink(plan.live, previous);
    }
    auto dropPrevious = [&] {
        if (linked) {
            QFile::remove(previous);
        }
    };
    if (!plan.safety.isEmpty() && !Rename(plan.safetyDraft, plan.safety, &error)) {
        dropPrevious();
        return giveUp(QStringLiteral("无法保存恢复前的数据：%1").arg(error));
    }
    if (!Rename(plan.staged, plan.live, &error)) {
        if (!plan.safety.isEmpty()) {
            QFile::remove(plan.safety);
        }
        if (!plan.damaged.isEmpty()) {
            if (walKept) {
                QString ignored;
                Rename(keptWal, wal, &ignored);
            }
            QFile::remove(plan.damaged);
        }
        dropPrevious();
        return giveUp(QStringLiteral("无法替换数据库文件：%1").arg(error));
    }
    platform::SyncFolder(plan.dataDir);
    const Database::OpenResult opened = Database::Open(plan.dataDir);
    if (opened.ok) {
        dropPrevious();
        PruneSafetyCopies(plan.dataDir);
        return DbOk();
    }
    // The restored file is ours and sound, yet this program cannot use it (a newer schema, or
    // no room to open it): put the database that was in use back. The safety copy goes only
    // once it is back.
    if (linked) {
        // What the failed open left beside the restored file must not be applied to the old one.
        QFile::remove(plan.live + QStringLiteral("-journal"));
        QFile::remove(wal);
        QFile::remove(plan.live + QStringLiteral("-shm"));
        if (Rename(previous, plan.live, &error)) {
            platform::SyncFolder(plan.dataDir);
            QFile::remove(plan.safety);
            Database::Open(plan.dataDir);
        }
    } else if (!plan.damaged.isEmpty()) {
        if (Rename(plan.damaged, plan.live, &error)) {
            if (walKept) {
                Rename(keptWal, wal, &error);
            }
            Database::Open(plan.dataDir);
        }
    } else if (CopyDatabaseFile(plan.safety, plan.staged) &&
               Rename(plan.staged, plan.live, &error)) {
        QFile::remove(plan.safety);
        Database::Open(plan.dataDir);
    }
    return DbStatus::failure(QStringLiteral("恢复的数据库无法打开：%1").arg(opened.message));
}

DbResult<QString> RestoreDatabase(const QString& chosen, const QDateTime& stamp) {
    if (Database::DataDir().isEmpty()) {
        return DbResult<QString>::failure(QStringLiteral("数据库没有打开"));
    }
    const DbResult<RestorePlan> plan = PrepareRestore(Database::DataDir(), chosen, stamp);
    if (!plan) {
        return DbResult<QString>::failure(plan.error());
    }
    if (const DbStatus finished = FinishRestore(*plan); !finished) {
        return DbResult<QString>::failure(finished.error());
    }
    return plan->kept();
}
