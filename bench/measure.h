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

void PrintRow(const QString& what, const QString& figure, const QString& note = QString());
