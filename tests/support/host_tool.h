#pragma once

#include <QString>

// The test suite reads what the program wrote (PDFs, workbooks) with tools of the build machine.
// On Linux they are found on the PATH. Under Wine, a Linux program starts like a Windows one
// from its Z: path, but it reads Unix paths, so the file's path is handed over in Unix form.
QString HostProgram(const QString& name);
QString HostPath(const QString& path);

// Whether the system has named pipes in its file system (Windows has none), and makes one.
bool HostHasPipes();
bool MakePipe(const QString& path);
