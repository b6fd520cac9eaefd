#include "data/server_backup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryFile>
#include <cerrno>
#include <functional>

#include "data/backup_files.h"
#include "data/database.h"
#include "data/engine_error.h"
#include "data/pg_connection.h"
#include "data/pg_schema.h"
#include "platform/file_io.h"

using backup_files::Rename;
using backup_files::UniquePath;

namespace {

// The name every station's connection carries (PgConnection's default).
const QString kStationApplication = QStringLiteral("ruvaso");
// The tools' own connections, which no restore may take for a station.
const QString kBackupApplication = QStringLiteral("ruvaso-backup");
const QString kWatchApplication = QStringLiteral("ruvaso-restore-watch");
const QString kStopped = QStringLiteral("备份已停止");
const QString kSinceFormat = QStringLiteral("'YYYY-MM-DD HH24:MI:SS'");

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A connection string for this process's own connections, password included: it never leaves
// the process.
QString ConnectionString(const PgToolLogin& login) {
    if (login.password.isEmpty()) {
        return login.conninfo;
    }
    QString password = login.password;
    password.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    password.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return login.conninfo + QStringLiteral(" password='%1'").arg(password);
}

// The relations a dump's table of contents lists, by kind: "TABLE DATA" lines give the tables
// whose rows it holds, "TABLE" (and views) the relations it creates.
QSet<QString> ListedRelations(const QString& list, const QString& kinds) {
    const QRegularExpression line(QStringLiteral(R"(^\d+; \d+ \d+ (%1) public (\S+) )").arg(kinds),
                                  QRegularExpression::MultilineOption);
    QSet<QString> names;
    for (auto it = line.globalMatch(list); it.hasNext();) {
        names.insert(it.next().captured(2));
    }
    return names;
}

QString StationsQuery(const QString& condition) {
    return QStringLiteral(
               "select coalesce(host(client_addr), ''), application_name, to_char(backend_start, "
               "%1) from pg_stat_activity where %2 order by backend_start")
        .arg(kSinceFormat, condition);
}

QStringList Stations(const PgResult& rows) {
    QStringList stations;
    for (int i = 0; i < rows.rows(); ++i) {
        const PgRow row = rows.row(i);
        stations << DescribeStation(row.text(0), row.text(1), row.text(2));
    }
    return stations;
}

// Relations of the database that a restore of the dump would leave as they are.
DbResult<QStringList> RelationsNotInDump(PgConnection& connection, const QString& list) {
    const PgResult present = connection.exec(kListPgTables);
    if (!present.ok()) {
        return DbResult<QStringList>::failure(present.error());
    }
    const QSet<QString> created =
        ListedRelations(list, QStringLiteral("TABLE|VIEW|MATERIALIZED VIEW|FOREIGN TABLE"));
    QStringList extra;
    for (int i = 0; i < present.rows(); ++i) {
        if (!created.contains(present.row(i).text(0))) {
            extra << present.row(i).text(0);
        }
    }
    return extra;
}

// Watches a running restore from a connection of its own. Once the restore has waited for a
// lock longer than allowed, it is cancelled on the server (which rolls it back) and the
// connections that held the lock are named.
class LockWatch {
public:
    LockWatch(PgConnection& connection, const QString& application, int waitMs)
        : connection_(connection), application_(application), waitMs_(waitMs) {}

    QString operator()() {
        const PgResult waiting = connection_.exec(
            QStringLiteral("select pid from pg_stat_activity where datname = current_database() "
                           "and application_name = $1 and wait_event_type = 'Lock'"),
            {application_});
        if (!waiting.ok() || waiting.rows() == 0) {
            blocked_.invalidate();
            return {};
        }
        if (!blocked_.isValid()) {
            blocked_.start();
        }
        if (blocked_.elapsed() < waitMs_) {
            return {};
        }
        const QString pid = waiting.row(0).text(0);
        const QStringList holders = Stations(connection_.exec(
            StationsQuery(QStringLiteral("pid = any(pg_blocking_pids($1::int))")), {pid}));
        connection_.exec(QStringLiteral("select pg_cancel_backend($1::int)"), {pid});
        return QStringLiteral("数据库正被其他连接使用（%1），恢复等待超时，已取消")
            .arg(holders.join(QStringLiteral("、")));
    }

private:
    PgConnection& connection_;
    QString application_;
    int waitMs_;
    QElapsedTimer blocked_;
};

// Writes a dump file the one safe way: `write` fills a draft beside `path` that only the owner
// can read, the draft is read back whole, synced, and only then takes the name.
DbStatus WriteChecked(const PgClientTools& tools, const QString& path, const BackupOptions& options,
                      const std::function<DbStatus(const QString& draft)>& write) {
    const QFileInfo info(path);
    const QString dir = info.absolutePath();
    QString draft;
    {
        QTemporaryFile file(dir + QLatin1Char('/') + info.fileName() +
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
            QFile::remove(draft);
        }
    });
    if (const DbStatus written = write(draft); !written) {
        return written;
    }
    if (const QString problem = CheckDumpFile(tools, draft, options.stop); !problem.isEmpty()) {
        const bool stopped = options.stop && *options.stop;
        return DbStatus::failure(stopped ? kStopped
                                         : QStringLiteral("备份文件检查未通过：%1").arg(problem));
    }
    if (options.written.isValid()) {
        platform::SetModifiedTime(draft, options.written);
    }
    if (!platform::SyncFile(draft)) {
        return DbStatus::failure(
            QStringLiteral("无法写入“%1”：%2").arg(Native(draft), DescribeSystemError(errno)));
    }
    QString error;
    if (!Rename(draft, path, &error)) {
        return DbStatus::failure(QStringLiteral("无法写入“%1”：%2").arg(Native(path), error));
    }
    placed = true;
    platform::SyncFolder(dir);
    return DbOk();
}

}  // namespace

ServerBackupSource CurrentServerBackupSource() {
    PgConnection* server = Database::Server();
    return {server ? server->uri() : QString(), Database::DataDir()};
}

DbResult<ServerBackupTarget> ServerBackupTargetFor(const ServerBackupSource& source,
                                                   const QList<PgClientTools>& installed) {
    using Result = DbResult<ServerBackupTarget>;
    if (!source.onServer()) {
        return Result::failure(QStringLiteral("数据库不在服务器上"));
    }
    if (source.dataDir.isEmpty()) {
        return Result::failure(QStringLiteral("没有数据文件夹，无法保存备份"));
    }
    const DbResult<PgToolLogin> login = PgToolLoginFor(source.uri, kBackupApplication);
    if (!login) {
        return Result::failure(login.error());
    }
    PgConnection connection(ConnectionString(*login));
    if (!connection.ok()) {
        return Result::failure(QStringLiteral("无法连接数据库服务器：%1").arg(connection.error()));
    }
    const PgResult version = connection.exec(QStringLiteral("show server_version_num"));
    if (!version.ok() || version.rows() != 1) {
        return Result::failure(
            QStringLiteral("无法取得数据库服务器的版本：%1").arg(version.error()));
    }
    ServerBackupTarget target;
    target.dataDir = source.dataDir;
    target.login = *login;
    target.serverMajor = PgMajorVersion(version.row(0).text(0).toInt());
    const DbResult<PgClientTools> tools = ChoosePgClientTools(installed, target.serverMajor);
    if (!tools) {
        return Result::failure(tools.error());
    }
    target.tools = *tools;
    return target;
}

DbStatus DumpServerDatabase(const ServerBackupTarget& target, const QString& path,
                            const BackupOptions& options) {
    return WriteChecked(target.tools, path, options, [&](const QString& draft) {
        const PgToolRun dumped =
            RunPgTool(target.tools.dump,
                      {QStringLiteral("--format=custom"), QStringLiteral("--no-password"),
                       QStringLiteral("--file=") + draft,
                       QStringLiteral("--dbname=") + target.login.conninfo},
                      target.login, options.stop);
        return dumped.ok ? DbOk() : DbStatus::failure(dumped.stopped ? kStopped : dumped.error);
    });
}

DbStatus CopyDumpFile(const PgClientTools& tools, const QString& source, const QString& target,
                      const BackupOptions& options) {
    return WriteChecked(tools, target, options, [&](const QString& draft) {
        QFile in(source);
        QFile out(draft);
        if (!in.open(QIODevice::ReadOnly)) {
            return DbStatus::failure(
                QStringLiteral("无法读取“%1”：%2").arg(Native(source), in.errorString()));
        }
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return DbStatus::failure(
                QStringLiteral("无法写入“%1”：%2").arg(Native(draft), out.errorString()));
        }
        QByteArray block;
        while (!(block = in.read(1 << 20)).isEmpty()) {
            if (options.stop && *options.stop) {
                return DbStatus::failure(kStopped);
            }
            if (out.write(block) != block.size()) {
                return DbStatus::failure(
                    QStringLiteral("无法写入“%1”：%2").arg(Native(draft), out.errorString()));
            }
        }
        if (in.error() != QFileDevice::NoError || !out.flush()) {
            return DbStatus::failure(QStringLiteral("无法复制“%1”：%2")
                                         .arg(Native(source), in.error() != QFileDevice::NoError
                                                                  ? in.errorString()
                                                                  : out.errorString()));
        }
        return DbOk();
    });
}

QString CheckDumpFile(const PgClientTools& tools, const QString& path,
                      const std::atomic<bool>* stop) {
    if (!QFileInfo(path).isFile()) {
        return QStringLiteral("找不到文件“%1”").arg(Native(path));
    }
    const PgToolRun listed = RunPgTool(tools.restore, {QStringLiteral("--list"), path}, {}, stop);
    if (!listed.ok) {
        return listed.error;
    }
    const QString list = QString::fromUtf8(listed.output);
    const QSet<QString> tables = ListedRelations(list, QStringLiteral("TABLE DATA"));
    for (const QString& table : SchemaTables()) {
        if (!tables.contains(table)) {
            return QStringLiteral("不是本系统数据库的备份（缺少数据表 %1）").arg(table);
        }
    }
    // The table of contents only says where the data should be; reading it all finds a file cut
    // short.
    const PgToolRun read = RunPgTool(
        tools.restore, {QStringLiteral("--file=") + QProcess::nullDevice(), path}, {}, stop);
    return read.ok ? QString() : read.error;
}

int DumpSchemaVersion(const PgClientTools& tools, const QString& path) {
    const PgToolRun meta = RunPgTool(tools.restore,
                                     {QStringLiteral("--data-only"), QStringLiteral("--table=meta"),
                                      QStringLiteral("--file=-"), path},
                                     {});
    if (!meta.ok) {
        return 0;
    }
    // "COPY public.meta (rowid, version) FROM stdin;" and then the row, tab-separated.
    static const QRegularExpression copy(QStringLiteral(R"(^COPY public\.meta \(([^)]*)\) FROM)"));
    const QStringList lines = QString::fromUtf8(meta.output).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (const QRegularExpressionMatch match = copy.match(lines[i]); match.hasMatch()) {
            const QStringList columns = match.captured(1).split(QStringLiteral(", "));
            return lines[i + 1]
                .split(QLatin1Char('\t'))
                .value(columns.indexOf(QStringLiteral("version")))
                .toInt();
        }
    }
    return 0;
}

QString DescribeStation(const QString& address, const QString& application, const QString& since) {
    return QStringLiteral("%1（%2，%3 连接）")
        .arg(address.isEmpty() ? QStringLiteral("本机") : address, application, since);
}

DbResult<QStringList> OtherStations(PgConnection& connection) {
    const PgResult rows = connection.exec(
        StationsQuery(QStringLiteral("datname = current_database() and application_name = $1 and "
                                     "pid <> pg_backend_pid()")),
        {kStationApplication});
    if (!rows.ok()) {
        return DbResult<QStringList>::failure(rows.error());
    }
    return Stations(rows);
}

QString OtherStationsText(const QStringList& stations) {
    return QStringLiteral(
               "还有其他工作站连接着数据库：\n%1\n请先退出这些工作站上的程序，再恢复数据。")
        .arg(stations.join(QLatin1Char('\n')));
}

DbResult<DailyBackup> MakeDailyServerBackup(const ServerBackupTarget& target, const QDate& today,
                                            const DailyBackupPolicy& policy,
                                            const BackupOptions& options) {
    const QString dir = target.dataDir;
    DailyBackup daily;
    daily.path = dir + QLatin1Char('/') + BackupFileName(today, BackupKind::Dump);
    if (!QFileInfo::exists(daily.path)) {
        qint64 needed = 0;
        for (const BackupFile& file : ListBackups(dir, BackupKind::Dump)) {
            if (!file.safetyCopy) {
                needed = file.size;
                break;
            }
        }
        const DiskSpace space = DiskSpaceOf(dir);
        if (!LeavesEnoughFree(space, needed, policy.reserveOn(space))) {
            daily.skippedForSpace = true;
            daily.needed = needed;
            daily.space = space;
            daily.reserve = policy.reserveOn(space);
            return daily;
        }
        if (const DbStatus dumped = DumpServerDatabase(target, daily.path, options); !dumped) {
            return DbResult<DailyBackup>::failure(dumped.error());
        }
        daily.made = true;
    }
    daily.removed = PruneBackups(dir, policy.keep, BackupKind::Dump);
    return daily;
}

DbResult<QString> RestoreServerDatabase(const ServerBackupTarget& target, const QString& chosen,
                                        const QDateTime& stamp, const BackupOptions& options) {
    using Result = DbResult<QString>;
    if (const QString problem = CheckDumpFile(target.tools, chosen, options.stop);
        !problem.isEmpty()) {
        return Result::failure(QStringLiteral("所选备份文件不能使用：%1").arg(problem));
    }
    if (DumpSchemaVersion(target.tools, chosen) > Database::kSchemaVersion) {
        return Result::failure(
            QStringLiteral("所选备份由更新版本的程序建立，请升级本程序后再恢复。"));
    }
    PgConnection watch(ConnectionString(WithApplicationName(target.login, kWatchApplication)));
    if (!watch.ok()) {
        return Result::failure(QStringLiteral("无法连接数据库服务器：%1").arg(watch.error()));
    }
    auto refuseForStations = [&watch]() -> QString {
        const DbResult<QStringList> stations = OtherStations(watch);
        if (!stations) {
            return stations.error();
        }
        return stations->isEmpty() ? QString() : OtherStationsText(*stations);
    };
    if (const QString refused = refuseForStations(); !refused.isEmpty()) {
        return Result::failure(refused);
    }
    const PgToolRun listed =
        RunPgTool(target.tools.restore, {QStringLiteral("--list"), chosen}, {}, options.stop);
    const DbResult<QStringList> extra = RelationsNotInDump(watch, QString::fromUtf8(listed.output));
    if (!listed.ok || !extra) {
        return Result::failure(listed.ok ? extra.error() : listed.error);
    }
    if (!extra->isEmpty()) {
        return Result::failure(
            QStringLiteral("数据库中有所选备份里没有的数据表（%1），恢复后数据库不会与备份一致，"
                           "所以没有恢复。")
                .arg(extra->join(QStringLiteral("、"))));
    }

    const QString safety = UniquePath(target.dataDir, SafetyCopyName(stamp, BackupKind::Dump));
    if (const DbStatus saved = DumpServerDatabase(target, safety, options); !saved) {
        return Result::failure(QStringLiteral("无法备份当前数据库：%1").arg(saved.error()));
    }
    bool restored = false;
    auto dropSafety = qScopeGuard([&] {
        if (!restored) {
            QFile::remove(safety);
        }
    });
    // A station may have connected while the safety dump was made.
    if (const QString refused = refuseForStations(); !refused.isEmpty()) {
        return Result::failure(refused);
    }
    // One transaction: the drops and everything the dump recreates commit together or not at
    // all. Owners and privileges are restored as dumped.
    const QString application =
        QStringLiteral("ruvaso-restore-%1").arg(QCoreApplication::applicationPid());
    const PgToolLogin login = WithApplicationName(target.login, application);
    LockWatch locks(watch, application, options.lockWaitMs);
    const PgToolRun run =
        RunPgTool(target.tools.restore,
                  {QStringLiteral("--single-transaction"), QStringLiteral("--clean"),
                   QStringLiteral("--if-exists"), QStringLiteral("--no-password"),
                   QStringLiteral("--dbname=") + login.conninfo, chosen},
                  login, options.stop, [&locks] { return locks(); });
    if (!run.ok) {
        return Result::failure(QStringLiteral("恢复没有完成，数据库保持原样：%1").arg(run.error));
    }
    restored = true;
    PruneSafetyCopies(target.dataDir, 5, BackupKind::Dump);
    return safety;
}
