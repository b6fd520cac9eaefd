#include "measure.h"

#include <malloc.h>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <ctime>

double ResidentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        }
    }
    return 0;
}

double HeapMb() {
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double MedianSeconds(int runs, const std::function<void()>& work) {
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

double CommandSeconds(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

void ResetPeakResident() {
    // Writing 5 there sets the peak back to what the process holds now.
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly)) {
        refs.write("5");
    }
}

double PeakResidentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        }
    }
    return 0;
}

CommandCost RunCommand(const QString& program, const QStringList& arguments) {
    std::vector<QByteArray> texts{QFile::encodeName(program)};
    for (const QString& argument : arguments) {
        texts.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    CommandCost cost;
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return cost;
    }
    cost.seconds = double(timer.nsecsElapsed()) / 1e9;
    cost.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    cost.peakMb = double(usage.ru_maxrss) / 1024.0;
    return cost;
}

void PrintRow(const QString& what, const QString& figure, const QString& note) {
    QTextStream out(stdout);
    out << what.leftJustified(58) << ' ' << figure.leftJustified(16) << ' ' << note << '\n';
    out.flush();
}

namespace {
// Where the engine's walk leaves its count, so the reads cannot be dropped.
volatile qint64 engineBytesRead = 0;
}  // namespace

namespace {

void TellProfiler(const char* command) {
    const QByteArray control = qgetenv("RUVASO_PERF_CTL");
    const QByteArray ack = qgetenv("RUVASO_PERF_ACK");
    if (control.isEmpty() || ack.isEmpty()) {
        return;
    }
    const int out = open(control.constData(), O_WRONLY);
    if (out < 0) {
        return;
    }
    if (write(out, command, strlen(command)) > 0) {
        // perf answers "ack\n" once the command took effect.
        const int in = open(ack.constData(), O_RDONLY);
        char answer[8];
        if (in >= 0 && read(in, answer, sizeof answer) < 0) {
            qWarning("no answer from the profiler");
        }
        if (in >= 0) {
            close(in);
        }
    }
    close(out);
}

}  // namespace

void ProfileOn() {
    TellProfiler("enable\n");
}

void ProfileOff() {
    TellProfiler("disable\n");
}

QString SplicedQuery(QString text, const QVariantList& values) {
    qsizetype from = 0;
    for (const QVariant& value : values) {
        QString quoted = value.toString();
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        quoted = QLatin1Char('\'') + quoted + QLatin1Char('\'');
        from = text.indexOf(QLatin1Char('?'), from);
        text.replace(from, 1, quoted);
        from += quoted.size();
    }
    return text;
}

double EngineSeconds(const QString& file, const QString& query) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        qFatal("cannot open %s: %s", qPrintable(file), sqlite3_errmsg(db));
    }
    const QByteArray utf8 = query.toUtf8();
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, nullptr) != SQLITE_OK) {
        qFatal("cannot prepare %s: %s", utf8.constData(), sqlite3_errmsg(db));
    }
    const int columns = sqlite3_column_count(stmt);
    // Summing the lengths keeps the reads from being optimised away.
    qint64 bytes = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            if (sqlite3_column_text(stmt, c) != nullptr) {
                bytes += sqlite3_column_bytes(stmt, c);
            }
        }
    }
    sqlite3_finalize(stmt);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (rc != SQLITE_DONE) {
        qFatal("the walk over %s stopped: %s", utf8.constData(), sqlite3_errmsg(db));
    }
    sqlite3_close(db);
    engineBytesRead = bytes;
    return seconds;
}

SideBySide::SideBySide(QString shell, QString file, QString query)
    : sqlite3_(std::move(shell)), file_(std::move(file)), query_(std::move(query)) {}

void SideBySide::runPartners() {
    shell_.push_back(CommandSeconds(sqlite3_, {file_, query_}));
    engine_.push_back(EngineSeconds(file_, query_));
}

void SideBySide::run(const std::function<void()>& work) {
    runPartners();
    ProfileOn();
    QElapsedTimer timer;
    timer.start();
    work();
    add(double(timer.nsecsElapsed()) / 1e9);
    ProfileOff();
}

QString SideBySide::ratios() const {
    return QStringLiteral("shell %1 s, %2x; in process %3 s, %4x")
        .arg(shell(), 0, 'f', 3)
        .arg(ours() / shell(), 0, 'f', 2)
        .arg(engine(), 0, 'f', 3)
        .arg(ours() / engine(), 0, 'f', 2);
}

double SideBySide::Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
