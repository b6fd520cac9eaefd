#include "data/pg_tools.h"

#include <libpq-fe.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QVersionNumber>
#include <algorithm>

#include "platform/pg_tool_folders.h"

namespace {

constexpr int kPollMs = 100;
// A tool the server has told to stop gets this long to say so before it is killed.
constexpr int kGraceMs = 10000;
constexpr int kVersionTimeoutMs = 10000;

// Keywords that never go on the command line (the password) or that the tool's own name
// replaces.
bool LeftOut(const char* keyword) {
    return qstrcmp(keyword, "password") == 0 || qstrcmp(keyword, "application_name") == 0 ||
           qstrcmp(keyword, "fallback_application_name") == 0;
}

// A value as a connection string needs it: quoted, with quotes and backslashes escaped.
QString Quoted(const QString& value) {
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString VersionLine(const QString& program) {
    QProcess tool;
    tool.start(program, {QStringLiteral("--version")});
    if (!tool.waitForFinished(kVersionTimeoutMs) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0) {
        tool.kill();
        tool.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

QString ToolError(QProcess& tool) {
    // The tools write "pg_restore: error: …" lines; the first error says the most.
    const QString text = QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (line.contains(QLatin1String("error:"))) {
            return line.trimmed();
        }
    }
    return text.isEmpty() ? QStringLiteral("%1 异常结束（%2）")
                                .arg(QFileInfo(tool.program()).fileName())
                                .arg(tool.exitCode())
                          : lines.value(0).trimmed();
}

}  // namespace

int PgMajorVersion(int serverVersionNum) {
    return serverVersionNum / 10000;
}

int PgToolMajor(const QString& versionLine) {
    static const QRegularExpression number(QStringLiteral(R"(\(PostgreSQL\)\s+(\d+))"));
    const QRegularExpressionMatch match = number.match(versionLine);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

DbResult<PgClientTools> ChoosePgClientTools(const QList<PgClientTools>& installed,
                                            int serverMajor) {
    const PgClientTools* best = nullptr;
    const PgClientTools* newestOlder = nullptr;
    for (const PgClientTools& tools : installed) {
        if (tools.major >= serverMajor) {
            if (!best || tools.major < best->major) {
                best = &tools;
            }
        } else if (!newestOlder || tools.major > newestOlder->major) {
            newestOlder = &tools;
        }
    }
    if (best) {
        return *best;
    }
    if (!newestOlder) {
        return DbResult<PgClientTools>::failure(
            QStringLiteral("本机没有安装数据库备份工具（pg_dump、pg_restore），无法备份 "
                           "PostgreSQL %1 服务器上的数据库。请安装 postgresql-client-%1。")
                .arg(serverMajor));
    }
    return DbResult<PgClientTools>::failure(
        QStringLiteral("数据库服务器是 PostgreSQL %1，本机的备份工具是 PostgreSQL %2，"
                       "不能备份更新版本的服务器。请安装 postgresql-client-%1。")
            .arg(serverMajor)
            .arg(newestOlder->major));
}

QList<PgClientTools> InstalledPgClientTools() {
    return InstalledPgClientTools(platform::PostgresInstallFolders());
}

QList<PgClientTools> InstalledPgClientTools(const QStringList& roots) {
    QList<PgClientTools> found;
    for (const QString& root : roots) {
        const QDir versions(root);
        for (const QString& name : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const int major = QVersionNumber::fromString(name).majorVersion();
            // The search adds the system's suffix for programs, where it has one.
            const QStringList bin = {versions.filePath(name + QStringLiteral("/bin"))};
            PgClientTools tools{major,
                                QStandardPaths::findExecutable(QStringLiteral("pg_dump"), bin),
                                QStandardPaths::findExecutable(QStringLiteral("pg_restore"), bin)};
            const bool known =
                std::any_of(found.begin(), found.end(),
                            [major](const PgClientTools& t) { return t.major == major; });
            if (major > 0 && !known && !tools.dump.isEmpty() && !tools.restore.isEmpty()) {
                found << tools;
            }
        }
    }
    const QString dump = QStandardPaths::findExecutable(QStringLiteral("pg_dump"));
    const QString restore = QStandardPaths::findExecutable(QStringLiteral("pg_restore"));
    if (!dump.isEmpty() && !restore.isEmpty()) {
        const int major = PgToolMajor(VersionLine(dump));
        const bool known = std::any_of(found.begin(), found.end(), [major](const PgClientTools& t) {
            return t.major == major;
        });
        if (major > 0 && !known && PgToolMajor(VersionLine(restore)) == major) {
            found << PgClientTools{major, dump, restore};
        }
    }
    return found;
}

DbResult<PgToolLogin> PgToolLoginFor(const QString& uri, const QString& applicationName) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.toUtf8().constData(), &error);
    if (!options) {
        const QString reason =
            error ? QString::fromUtf8(error).simplified() : QStringLiteral("内存不足");
        PQfreemem(error);
        return DbResult<PgToolLogin>::failure(QStringLiteral("数据库连接参数有误：%1").arg(reason));
    }
    PgToolLogin login;
    QStringList parts;
    for (const PQconninfoOption* option = options; option->keyword; ++option) {
        if (!option->val) {
            continue;
        }
        const QString value = QString::fromUtf8(option->val);
        if (qstrcmp(option->keyword, "password") == 0) {
            login.password = value;
        } else if (!LeftOut(option->keyword)) {
            parts << QString::fromLatin1(option->keyword) + QLatin1Char('=') + Quoted(value);
        }
    }
    PQconninfoFree(options);
    login.conninfo = parts.join(QLatin1Char(' '));
    return WithApplicationName(login, applicationName);
}

PgToolLogin WithApplicationName(const PgToolLogin& login, const QString& applicationName) {
    static const QRegularExpression named(QStringLiteral(R"((^| )application_name='[^']*')"));
    PgToolLogin renamed = login;
    renamed.conninfo.remove(named);
    const QString part = QStringLiteral("application_name=") + Quoted(applicationName);
    renamed.conninfo =
        renamed.conninfo.isEmpty() ? part : renamed.conninfo + QLatin1Char(' ') + part;
    return renamed;
}

PgToolRun RunPgTool(const QString& program, const QStringList& arguments, const PgToolLogin& login,
                    const std::atomic<bool>* stop, const std::function<QString()>& poll) {
    PgToolRun run;
    if (stop && *stop) {
        run.stopped = true;
        run.error = QStringLiteral("已停止");
        return run;
    }
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!login.password.isEmpty()) {
        environment.insert(QStringLiteral("PGPASSWORD"), login.password);
    }
    tool.setProcessEnvironment(environment);
    tool.setStandardInputFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (!tool.waitForStarted()) {
        run.error = QStringLiteral("无法运行 %1：%2").arg(program, tool.errorString());
        return run;
    }
    QString gaveUp;
    QDeadlineTimer grace;
    while (!tool.waitForFinished(kPollMs)) {
        if (tool.state() == QProcess::NotRunning) {
            break;
        }
        if (stop && *stop) {
            run.stopped = true;
            break;
        }
        if (gaveUp.isEmpty() && poll) {
            gaveUp = poll();
            grace.setRemainingTime(kGraceMs);
        }
        if (!gaveUp.isEmpty() && grace.hasExpired()) {
            break;
        }
    }
    if (tool.state() != QProcess::NotRunning) {
        tool.kill();
        tool.waitForFinished();
    }
    run.output = tool.readAllStandardOutput();
    if (run.stopped) {
        run.error = QStringLiteral("已停止");
    } else if (!gaveUp.isEmpty()) {
        run.error = gaveUp;
    } else if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        run.error = ToolError(tool);
    } else {
        run.ok = true;
    }
    return run;
}
