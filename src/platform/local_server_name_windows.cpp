#include <windows.h>

#include <vector>

#include "platform/local_server_name.h"

namespace platform {

QString LocalServerName(const QString& key) {
    // Named pipes share one name space for the whole machine: the user's name keeps two users'
    // programs apart, and the server lets only its own user in.
    std::vector<wchar_t> user(257);
    DWORD size = DWORD(user.size());
    QString name = GetUserNameW(user.data(), &size) ? QString::fromWCharArray(user.data())
                                                    : QStringLiteral("user");
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    return QStringLiteral("ruvaso-%1-%2").arg(name, key);
}

}  // namespace platform
