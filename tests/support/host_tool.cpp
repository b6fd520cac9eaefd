#include "support/host_tool.h"

#include <sys/stat.h>

#include <QFile>

QString HostProgram(const QString& name) {
    return name;
}

QString HostPath(const QString& path) {
    return path;
}

bool HostHasPipes() {
    return true;
}

bool MakePipe(const QString& path) {
    return mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}
