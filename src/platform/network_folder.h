#pragma once

#include <QString>

namespace platform {

// The kind of network share `dir` is on ("NFS", "SMB/CIFS", "网络驱动器" …), or empty for a
// local disk or when the system cannot tell. The database engine's locks are not safe there.
QString NetworkFolderKind(const QString& dir);

// The name of the network file system a Linux statfs() type stands for, or empty.
QString NetworkFileSystemName(long type);

}  // namespace platform
