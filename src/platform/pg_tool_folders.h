#pragma once

#include <QStringList>

namespace platform {

// The folders holding one folder per installed PostgreSQL major version, each with the client
// tools in its bin folder.
QStringList PostgresInstallFolders();

}  // namespace platform
