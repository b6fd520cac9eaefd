#include "platform/network_folder.h"

namespace platform {

QString NetworkFileSystemName(long type) {
    switch (static_cast<unsigned long>(type) & 0xffffffffUL) {
        case 0x6969:
            return QStringLiteral("NFS");
        case 0x517b:
        case 0xff534d42:
        case 0xfe534d42:
            return QStringLiteral("SMB/CIFS");
        case 0x564c:
            return QStringLiteral("NCP");
        case 0x5346414f:
            return QStringLiteral("AFS");
        case 0x73757245:
            return QStringLiteral("Coda");
        case 0x01021997:
            return QStringLiteral("9P");
        case 0x00c36400:
            return QStringLiteral("Ceph");
        case 0x0bd00bd0:
            return QStringLiteral("Lustre");
        case 0x01161970:
            return QStringLiteral("GFS2");
        case 0x7461636f:
            return QStringLiteral("OCFS2");
        default:
            return {};
    }
}

}  // namespace platform
