#include "support/host_tool.h"

QString HostProgram(const QString& name) {
    return name;
}

QString HostPath(const QString& path) {
    return path;
}
