#include <windows.h>
// The Restart Manager needs the types above first.
#include <restartmanager.h>

#include <QScopeGuard>
#include <vector>

#include "platform/file_holders.h"
#include "platform/windows_text.h"

namespace platform {

// The Restart Manager knows which programs hold a file; where it cannot say, nobody is named
// and the caller's own refusal stands.
QStringList ProcessesUsing(const QString& path) {
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (RmStartSession(&session, 0, key) != ERROR_SUCCESS) {
        return {};
    }
    const auto end = qScopeGuard([session] { RmEndSession(session); });
    const std::wstring file = WidePath(path);
    LPCWSTR files[] = {file.c_str()};
    if (RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<RM_PROCESS_INFO> holders;
    UINT needed = 0;
    UINT count = 0;
    DWORD reasons = 0;
    DWORD result = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 3 && result == ERROR_MORE_DATA; ++attempt) {
        holders.resize(needed);
        count = needed;
        result = RmGetList(session, &needed, &count, holders.data(), &reasons);
    }
    if (result != ERROR_SUCCESS) {
        return {};
    }
    QStringList users;
    for (UINT i = 0; i < count && i < holders.size(); ++i) {
        const DWORD pid = holders[i].Process.dwProcessId;
        if (pid != GetCurrentProcessId()) {
            users << QStringLiteral("%1 (%2)")
                         .arg(QString::fromWCharArray(holders[i].strAppName))
                         .arg(pid);
        }
    }
    return users;
}

}  // namespace platform
