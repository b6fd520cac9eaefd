#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QVariantList>
#include <algorithm>
#include <functional>
#include <vector>

// Resident memory of this process in MB, from /proc/self/status.
double ResidentMb();

// Heap bytes in use, in MB: what the program holds, whatever the allocator kept for later.
double HeapMb();

// Seconds of processor time this process (all its threads) has used so far.
double CpuSeconds();

// Median seconds of `runs` runs of `work`.
double MedianSeconds(int runs, const std::function<void()>& work);

// Seconds a command takes from start to exit, stdout to /dev/null; negative when it failed.
double CommandSeconds(const QString& program, const QStringList& arguments);

// The most resident memory this process held since ResetPeakResident(), in MB.
void ResetPeakResident();
double PeakResidentMb();

// Runs a command to its end, its output to /dev/null: the seconds it took (negative when it
// failed), the processor time it and the processes it waited for used (user and system), and
// the most resident memory any of them held, in MB.
struct CommandCost {
    double seconds = -1;
    double cpuSeconds = 0;
    double peakMb = 0;
};
CommandCost RunCommand(const QString& program, const QStringList& arguments);

void PrintRow(const QString& what, const QString& figure, const QString& note = QString());

// Under `perf record -D -1 --control fifo:CTL,ACK`, with RUVASO_PERF_CTL=CTL and
// RUVASO_PERF_ACK=ACK set, only the work between these two calls is profiled.
void ProfileOn();
void ProfileOff();

// A statement with its values written in as quoted texts, for the shell and the engine's walk.
QString SplicedQuery(QString text, const QVariantList& values);

// Seconds the engine itself needs for `query` on `file`: prepared on a connection of its own
// (opened before the clock starts), stepped to its end, every column of every row read as text.
// No process start, no file open, no conversion: the true limit for a walk over the same rows.
double EngineSeconds(const QString& file, const QString& query);

// One of our figures beside its two partners running the same query on the same file: the
// sqlite3 shell (which also starts a process and opens the file) and the engine stepped in this
// process. Call runPartners() and add() alternately, since the machine's speed drifts.
class SideBySide {
public:
    SideBySide(QString shell, QString file, QString query);

    void runPartners();
    void add(double ourSeconds) { ours_.push_back(ourSeconds); }
    // Times `work` once as one of our runs, after one run of each partner.
    void run(const std::function<void()>& work);

    double ours() const { return Median(ours_); }
    double shell() const { return Median(shell_); }
    double engine() const { return Median(engine_); }
    // "shell 0.212 s, 1.86x; in process 0.150 s, 2.63x" for the medians.
    QString ratios() const;

    static double Median(std::vector<double> values);

private:
    QString sqlite3_;
    QString file_;
    QString query_;
    std::vector<double> ours_;
    std::vector<double> shell_;
    std::vector<double> engine_;
};
