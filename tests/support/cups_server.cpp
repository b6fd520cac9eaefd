#include "support/cups_server.h"

#include <cups/cups.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QThread>

namespace {

constexpr int kToolTimeoutMs = 30000;
constexpr int kStartTimeoutMs = 15000;

bool WriteFile(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

bool CanConnect(const QByteArray& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (static_cast<size_t>(path.size()) >= sizeof(address.sun_path)) {
        return false;
    }
    memcpy(address.sun_path, path.constData(), path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return connected;
}

bool& StartedInThisProcess() {
    static bool started = false;
    return started;
}

}  // namespace

CupsServer::CupsServer() {
    if (StartedInThisProcess()) {
        // libcups keeps the first server root and home it saw for the life of the process.
        message_ = QStringLiteral("only one CupsServer per test process");
        return;
    }
    StartedInThisProcess() = true;
    ok_ = start();
}

CupsServer::~CupsServer() {
    if (cupsd_.state() != QProcess::NotRunning) {
        cupsd_.terminate();
        if (!cupsd_.waitForFinished(10000)) {
            cupsd_.kill();
            cupsd_.waitForFinished(5000);
        }
    }
}

QString CupsServer::socketPath() const {
    return dir_.filePath(QStringLiteral("cups.sock"));
}

QString CupsServer::serverRoot() const {
    return dir_.filePath(QStringLiteral("etc"));
}

QString CupsServer::homeDir() const {
    return dir_.filePath(QStringLiteral("home"));
}

QString CupsServer::outputFile(const QString& name) const {
    return dir_.filePath(QStringLiteral("out/%1.out").arg(name));
}

QByteArray CupsServer::output(const QString& name) const {
    QFile file(outputFile(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool CupsServer::start() {
    if (!dir_.isValid()) {
        message_ = QStringLiteral("cannot make a temporary folder");
        return false;
    }
    // Filters run as the printing system's own user and must reach the spool below this folder.
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                           QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther);
    const QDir root(dir_.path());
    for (const char* sub : {"etc", "spool/tmp", "cache", "state", "log", "out", "home/.config"}) {
        if (!root.mkpath(QString::fromLatin1(sub))) {
            message_ = QStringLiteral("cannot make %1").arg(QString::fromLatin1(sub));
            return false;
        }
    }
    const QString base = dir_.path();
    const QString files = QStringLiteral(
                              "ServerRoot %1/etc\n"
                              "RequestRoot %1/spool\n"
                              "TempDir %1/spool/tmp\n"
                              "CacheDir %1/cache\n"
                              "StateDir %1/state\n"
                              "ServerKeychain %1/etc/ssl\n"
                              "Printcap %1/state/printcap\n"
                              "ErrorLog %1/log/error_log\n"
                              "AccessLog %1/log/access_log\n"
                              "PageLog %1/log/page_log\n"
                              "FileDevice Yes\n"
                              "FatalErrors config\n")
                              .arg(base);
    // Only the private socket; no network, no browsing, no web pages, no authentication.
    const QString conf = QStringLiteral(
                             "Listen %1\n"
                             "LogLevel info\n"
                             "Browsing No\n"
                             "BrowseLocalProtocols none\n"
                             "WebInterface No\n"
                             "DefaultAuthType None\n"
                             "PreserveJobHistory Yes\n"
                             "PreserveJobFiles No\n"
                             "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                             "</Policy>\n")
                             .arg(socketPath());
    if (!WriteFile(root.filePath(QStringLiteral("etc/cups-files.conf")), files) ||
        !WriteFile(root.filePath(QStringLiteral("etc/cupsd.conf")), conf)) {
        message_ = QStringLiteral("cannot write the server's configuration");
        return false;
    }

    // Everything after this point, this process and the tools it runs, uses this server.
    qputenv("CUPS_SERVER", QFile::encodeName(socketPath()));
    qputenv("CUPS_SERVERROOT", QFile::encodeName(serverRoot()));
    qputenv("HOME", QFile::encodeName(homeDir()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(homeDir() + QStringLiteral("/.config")));
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
    cupsSetServer(nullptr);
    const QString config = homeDir() + QStringLiteral("/.config");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);

    cupsd_.setProgram(QStringLiteral("cupsd"));
    cupsd_.setArguments({QStringLiteral("-f"), QStringLiteral("-c"),
                         root.filePath(QStringLiteral("etc/cupsd.conf")), QStringLiteral("-s"),
                         root.filePath(QStringLiteral("etc/cups-files.conf"))});
    cupsd_.setProcessChannelMode(QProcess::MergedChannels);
    const pid_t parent = getpid();
    // If the test process dies (a crash, a timeout), the server goes with it.
    cupsd_.setChildProcessModifier([parent] {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(1);
        }
    });
    cupsd_.start();
    if (!cupsd_.waitForStarted(kStartTimeoutMs)) {
        message_ = QStringLiteral("cannot start cupsd: %1").arg(cupsd_.errorString());
        return false;
    }
    return waitUntilListening();
}

bool CupsServer::waitUntilListening() {
    const QByteArray path = QFile::encodeName(socketPath());
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired()) {
        if (CanConnect(path)) {
            return true;
        }
        if (cupsd_.waitForFinished(50)) {
            message_ = QStringLiteral("cupsd ended at start: %1\n%2")
                           .arg(QString::fromLocal8Bit(cupsd_.readAll()), logTail());
            return false;
        }
    }
    message_ = QStringLiteral("cupsd did not listen in time\n%1").arg(logTail());
    return false;
}

QString CupsServer::logTail() const {
    QFile log(dir_.filePath(QStringLiteral("log/error_log")));
    if (!log.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    return lines.mid(qMax(0, lines.size() - 15)).join(QLatin1Char('\n'));
}

bool CupsServer::run(const QString& program, const QStringList& arguments, QString* out) {
    QProcess tool;
    tool.start(program, arguments);
    const bool finished = tool.waitForFinished(kToolTimeoutMs);
    if (out != nullptr) {
        *out = QString::fromUtf8(tool.readAllStandardOutput());
    }
    if (!finished || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        if (!finished) {
            tool.kill();
            tool.waitForFinished();
        }
        message_ = QStringLiteral("%1 %2 failed: %3%4")
                       .arg(program, arguments.join(QLatin1Char(' ')),
                            QString::fromLocal8Bit(tool.readAllStandardError()),
                            finished ? QString() : QStringLiteral(" (timed out)"));
        return false;
    }
    return true;
}

bool CupsServer::addQueue(const QString& name) {
    const QString ppd = QStringLiteral(RUVASO_TEST_DATA_DIR "/small.ppd");
    if (!run(QStringLiteral("lpadmin"), {QStringLiteral("-p"), name, QStringLiteral("-v"),
                                         QStringLiteral("file:") + outputFile(name),
                                         QStringLiteral("-P"), ppd, QStringLiteral("-E")})) {
        return false;
    }
    queues_.append(name);
    return true;
}

bool CupsServer::removeQueue(const QString& name) {
    queues_.removeAll(name);
    return run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), name});
}

bool CupsServer::setServerDefault(const QString& name) {
    return run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), name});
}

bool CupsServer::reset() {
    bool ok = true;
    if (!queues_.isEmpty()) {
        ok = run(QStringLiteral("cancel"), {QStringLiteral("-a"), QStringLiteral("-x")}) && ok;
    }
    for (const QString& name : QStringList(queues_)) {
        ok = removeQueue(name) && ok;
        QFile::remove(outputFile(name));
    }
    QFile::remove(homeDir() + QStringLiteral("/.cups/lpoptions"));
    QFile::remove(serverRoot() + QStringLiteral("/lpoptions"));
    return ok;
}

bool CupsServer::waitForOutput(const QString& name, int timeoutMs) {
    const QByteArray queue = name.toUtf8();
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        cups_job_t* jobs = nullptr;
        const int pending =
            cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.constData(), 0, CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(pending, jobs);
        if (pending == 0) {
            const int done = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.constData(), 0,
                                          CUPS_WHICHJOBS_COMPLETED);
            const cups_job_t* last = nullptr;
            for (int i = 0; i < done; ++i) {
                if (last == nullptr || jobs[i].id > last->id) {
                    last = &jobs[i];
                }
            }
            const ipp_jstate_t state = last != nullptr ? last->state : IPP_JSTATE_PENDING;
            const int id = last != nullptr ? last->id : 0;
            cupsFreeJobs(done, jobs);
            if (id != 0 && state == IPP_JSTATE_COMPLETED) {
                return true;
            }
            if (id != 0) {
                message_ = QStringLiteral("job %1 on %2 ended in state %3\n%4")
                               .arg(id)
                               .arg(name)
                               .arg(static_cast<int>(state))
                               .arg(logTail());
                return false;
            }
        } else if (pending < 0) {
            message_ = QString::fromUtf8(cupsLastErrorString());
            return false;
        }
        if (deadline.hasExpired()) {
            message_ = QStringLiteral("no finished job on %1 in time\n%2").arg(name, logTail());
            return false;
        }
        QThread::msleep(50);
    }
}
