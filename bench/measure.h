#pragma once

#include <QElapsedTimer>
#include <QString>
#include <algorithm>
#include <functional>
#include <vector>

// Resident memory of this process in MB, from /proc/self/status.
double ResidentMb();

// Heap bytes in use, in MB: what the program holds, whatever the allocator kept for later.
double HeapMb();

// Median seconds of `runs` runs of `work`.
double MedianSeconds(int runs, const std::function<void()>& work);

// Seconds a command takes from start to exit, stdout to /dev/null; negative when it failed.
double CommandSeconds(const QString& program, const QStringList& arguments);

// The most resident memory this process held since ResetPeakResident(), in MB.
void ResetPeakResident();
double PeakResidentMb();

// Runs a command to its end, its output to /dev/null: the seconds it took (negative when it
// failed) and the most resident memory it or a process it waited for held, in MB.
struct CommandCost {
    double seconds = -1;
    double peakMb = 0;
};
CommandCost RunCommand(const QString& program, const QStringList& arguments);

void PrintRow(const QString& what, const QString& figure, const QString& note = QString());
