#include "support/pg_server.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <QVersionNumber>

#include "data/pg_connection.h"

namespace {

constexpr int kToolTimeoutMs = 120000;
constexpr char kPgCtlWaitSeconds[] = "60";
constexpr char kServerRoot[] = "/usr/lib/postgresql";

// The newest installed server's programs: Debian keeps each major version in a folder of its own.
QString NewestBinDir() {
    QString best;
    QVersionNumber bestVersion;
    const QDir root(QString::fromLatin1(kServerRoot));
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QVersionNumber version = QVersionNumber::fromString(name);
        const QString bin = root.filePath(name + QStringLiteral("/bin"));
        if (!version.isNull() && version > bestVersion &&
            QFileInfo(bin + QStringLiteral("/initdb")).isExecutable()) {
            best = bin;
            bestVersion = version;
        }
    }
    return best;
}

QString UserName(uid_t uid) {
    const passwd* entry = getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

// The unprivileged system user the server runs as when the tests run as root. Two test
// processes may try to create it at the same moment: whichever loses finds it made.
bool FindOrCreateServerUser(uid_t* uid, gid_t* gid, QString* message) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (const passwd* entry = getpwnam(PgServer::kUser)) {
            *uid = entry->pw_uid;
            *gid = entry->pw_gid;
            return true;
        }
        QProcess useradd;
        useradd.setProcessChannelMode(QProcess::MergedChannels);
        useradd.start(QStringLiteral("/usr/sbin/useradd"),
                      {QStringLiteral("--system"), QStringLiteral("--user-group"),
                       QStringLiteral("--no-create-home"), QStringLiteral("--home-dir"),
                       QStringLiteral("/nonexistent"), QStringLiteral("--shell"),
                       QStringLiteral("/usr/sbin/nologin"), QString::fromLatin1(PgServer::kUser)});
        useradd.waitForFinished(kToolTimeoutMs);
        *message = QStringLiteral("cannot create the user %1: %2")
                       .arg(QString::fromLatin1(PgServer::kUser),
                            QString::fromLocal8Bit(useradd.readAll()).trimmed());
        QThread::msleep(100 * (attempt + 1));
    }
    return false;
}

}  // namespace

PgServer::PgServer(Durability durability) : dir_(QStringLiteral("/tmp/ruvaso-pg-XXXXXX")) {
    ok_ = init(durability) && start();
}

PgServer::~PgServer() {
    if (running_) {
        stop();
    }
    if (watchdogPipe_ >= 0) {
        // Tells the watchdog the server is taken care of; a bare end of file would mean this
        // process died.
        const char done[] = "done\n";
        [[maybe_unused]] const ssize_t written = ::write(watchdogPipe_, done, sizeof done - 1);
        ::close(watchdogPipe_);
    }
}

QString PgServer::processTag() const {
    return QFileInfo(dir_.path()).fileName();
}

QString PgServer::uri(const QString& database) const {
    return QStringLiteral("postgresql:///%1?host=%2&user=%3")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(database)),
             QString::fromLatin1(QUrl::toPercentEncoding(dir_.path())),
             QString::fromLatin1(QUrl::toPercentEncoding(superuser_)));
}

bool PgServer::init(Durability durability) {
    binDir_ = NewestBinDir();
    if (binDir_.isEmpty()) {
        message_ = QStringLiteral("no PostgreSQL server under %1 (package postgresql)")
                       .arg(QString::fromLatin1(kServerRoot));
        return false;
    }
    if (!dir_.isValid()) {
        message_ = QStringLiteral("cannot make a temporary folder: %1").arg(dir_.errorString());
        return false;
    }
    superuser_ = UserName(geteuid());
    switchUser_ = geteuid() == 0;
    if (switchUser_) {
        if (!FindOrCreateServerUser(&uid_, &gid_, &message_)) {
            return false;
        }
        if (::chown(QFile::encodeName(dir_.path()).constData(), uid_, gid_) != 0) {
            message_ =
                QStringLiteral("cannot hand %1 to %2").arg(dir_.path(), QString::fromLatin1(kUser));
            return false;
        }
    }
    if (!startWatchdog()) {
        return false;
    }
    const QString data = dir_.filePath(QStringLiteral("data"));
    if (!runAsServerUser(binDir_ + QStringLiteral("/initdb"),
                         {QStringLiteral("-D"), data, QStringLiteral("-U"), superuser_,
                          QStringLiteral("--auth=trust"), QStringLiteral("--encoding=UTF8"),
                          QStringLiteral("--no-locale"), QStringLiteral("--no-sync")})) {
        return false;
    }
    // Only the socket in this folder; durability traded for speed, since the cluster is thrown
    // away. Dynamic shared memory in files, as container /dev/shm is often tiny.
    const QString settings =
        QStringLiteral(
            "\nlisten_addresses = ''\n"
            "unix_socket_directories = '%1'\n"
            "unix_socket_permissions = 0700\n"
            "cluster_name = '%2'\n"
            "%3"
            "shared_buffers = %4\n"
            "max_connections = 40\n"
            "dynamic_shared_memory_type = mmap\n")
            .arg(dir_.path(), processTag(),
                 durability == Durability::Throwaway
                     ? QStringLiteral("fsync = off\nfull_page_writes = off\n")
                     : QString(),
                 durability == Durability::Throwaway ? QStringLiteral("32MB")
                                                     : QStringLiteral("256MB"));
    QFile conf(data + QStringLiteral("/postgresql.conf"));
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Append) ||
        conf.write(settings.toUtf8()) != settings.toUtf8().size()) {
        message_ = QStringLiteral("cannot write %1").arg(conf.fileName());
        return false;
    }
    return true;
}

bool PgServer::startWatchdog() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        message_ = QStringLiteral("cannot make the watchdog's pipe");
        return false;
    }
    // It waits in its own session, outside this process's tree, so whatever kills this process
    // leaves it running. End of file without "done" means this process is gone. The paths go
    // in the environment so that pgrep on the server's tag never finds the watchdog.
    const QString script = QStringLiteral(
        "read -r word; [ \"$word\" = done ] && exit 0; "
        "cd \"$RUVASO_PG_FOLDER\" && \"$RUVASO_PG_CTL\" stop -D data -m immediate -w -s; "
        "cd / && rm -rf \"$RUVASO_PG_FOLDER\"");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("RUVASO_PG_FOLDER"), dir_.path());
    environment.insert(QStringLiteral("RUVASO_PG_CTL"), binDir_ + QStringLiteral("/pg_ctl"));
    QProcess watchdog;
    watchdog.setProcessEnvironment(environment);
    watchdog.setWorkingDirectory(dir_.path());
    watchdog.setStandardOutputFile(QProcess::nullDevice());
    watchdog.setStandardErrorFile(QProcess::nullDevice());
    const int readEnd = fds[0];
    const bool switchUser = switchUser_;
    const uid_t uid = uid_;
    const gid_t gid = gid_;
    watchdog.setChildProcessModifier([readEnd, switchUser, uid, gid] {
        if (dup2(readEnd, STDIN_FILENO) < 0 ||
            (switchUser && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0))) {
            _exit(127);
        }
    });
    watchdog.start(QStringLiteral("setsid"), {QStringLiteral("--fork"), QStringLiteral("/bin/sh"),
                                              QStringLiteral("-c"), script});
    const bool started = watchdog.waitForFinished(kToolTimeoutMs) &&
                         watchdog.exitStatus() == QProcess::NormalExit && watchdog.exitCode() == 0;
    ::close(readEnd);
    if (!started) {
        ::close(fds[1]);
        message_ = QStringLiteral("cannot start the watchdog: %1").arg(watchdog.errorString());
        return false;
    }
    watchdogPipe_ = fds[1];
    return true;
}

bool PgServer::runAsServerUser(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    // The server user may not enter the folder the tests were started from.
    tool.setWorkingDirectory(dir_.path());
    if (switchUser_) {
        const uid_t uid = uid_;
        const gid_t gid = gid_;
        tool.setChildProcessModifier([uid, gid] {
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
                _exit(127);
            }
        });
    }
    tool.start(program, arguments);
    const bool finished = tool.waitForFinished(kToolTimeoutMs);
    if (finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0) {
        return true;
    }
    if (!finished) {
        tool.kill();
        tool.waitForFinished();
    }
    message_ = QStringLiteral("%1 %2 failed (%3): %4\n%5")
                   .arg(QFileInfo(program).fileName(), arguments.join(QLatin1Char(' ')),
                        finished ? QString::number(tool.exitCode()) : QStringLiteral("timed out"),
                        QString::fromLocal8Bit(tool.readAll()).trimmed(), logTail());
    return false;
}

bool PgServer::pgCtl(const QStringList& arguments) {
    return runAsServerUser(
        binDir_ + QStringLiteral("/pg_ctl"),
        arguments + QStringList{QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")),
                                QStringLiteral("-w"), QStringLiteral("-t"),
                                QString::fromLatin1(kPgCtlWaitSeconds)});
}

bool PgServer::start() {
    running_ = pgCtl({QStringLiteral("start"), QStringLiteral("-s"), QStringLiteral("-l"),
                      dir_.filePath(QStringLiteral("server.log"))});
    return running_;
}

bool PgServer::stop() {
    const bool stopped = pgCtl({QStringLiteral("stop"), QStringLiteral("-s"), QStringLiteral("-m"),
                                QStringLiteral("immediate")});
    running_ = running_ && !stopped;
    return stopped;
}

bool PgServer::setAccessRules(const QString& lines) {
    QFile rules(dir_.filePath(QStringLiteral("data/pg_hba.conf")));
    const QByteArray text = lines.toUtf8() + '\n';
    if (!rules.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        rules.write(text) != text.size()) {
        message_ = QStringLiteral("cannot write %1").arg(rules.fileName());
        return false;
    }
    rules.close();
    // A reload is a signal: the server reads the rules on its own time. A fresh connection
    // tells when they hold.
    if (!runAsServerUser(binDir_ + QStringLiteral("/pg_ctl"),
                         {QStringLiteral("reload"), QStringLiteral("-s"), QStringLiteral("-D"),
                          dir_.filePath(QStringLiteral("data"))})) {
        return false;
    }
    QThread::msleep(300);
    return true;
}

QString PgServer::createDatabase(const QString& from) {
    const QString name = QStringLiteral("test_%1").arg(++databases_);
    PgConnection admin(uri(QStringLiteral("postgres")));
    const QString copy = from.isEmpty() ? QString() : QStringLiteral(" template ") + from;
    const PgResult created = admin.exec(QStringLiteral("create database ") + name + copy);
    if (!admin.ok() || !created.ok()) {
        message_ = QStringLiteral("cannot create database %1: %2")
                       .arg(name, admin.ok() ? created.error() : admin.error());
        return QString();
    }
    return name;
}

QStringList PgServer::processesTagged(const QString& tag) {
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"), {QStringLiteral("-a"), QStringLiteral("-f"), tag});
    if (!pgrep.waitForFinished(kToolTimeoutMs) || pgrep.exitStatus() != QProcess::NormalExit ||
        pgrep.exitCode() > 1) {
        // A check that cannot look must not pass: report the failure as a process found.
        return {QStringLiteral("pgrep did not run: %1").arg(pgrep.errorString())};
    }
    return QString::fromLocal8Bit(pgrep.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString PgServer::logTail() const {
    QFile log(dir_.filePath(QStringLiteral("server.log")));
    if (!log.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    return lines.mid(qMax(0, lines.size() - 15)).join(QLatin1Char('\n'));
}
