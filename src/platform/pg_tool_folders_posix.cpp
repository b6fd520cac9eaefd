#include "platform/pg_tool_folders.h"

namespace platform {

QStringList PostgresInstallFolders() {
    return {QStringLiteral("/usr/lib/postgresql")};
}

}  // namespace platform
