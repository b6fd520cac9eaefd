#include "support/host_tool.h"

#include <windows.h>
#include <QDir>
#include <QStandardPaths>

QString HostProgram(const QString& name) {
    // Wine shows the build machine's root as drive Z:.
    for (const char* folder : {"/usr/bin/", "/usr/local/bin/"}) {
        const QString unixPath = QLatin1String(folder) + name;
        const QString wine = QStringLiteral("Z:") + QDir::toNativeSeparators(unixPath);
        if (QFile::exists(wine)) {
            return wine;
        }
    }
    return name;
}

QString HostPath(const QString& path) {
    // Wine's own export; absent on a real Windows, where the path stays as it is.
    using ToUnix = char*(__cdecl*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) {
        return path;
    }
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    char* unixPath = toUnix(native.c_str());
    if (unixPath == nullptr) {
        return path;
    }
    const QString result = QString::fromUtf8(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

bool HostHasPipes() {
    return false;
}

bool MakePipe(const QString&) {
    return false;
}
