#include "session/connection_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <cerrno>

#include "core/folder_path.h"
#include "data/engine_error.h"
#include "data/pg_connection.h"
#include "platform/file_io.h"
#include "session/roles.h"

namespace {

const QString kOrganization = QStringLiteral("ruvaso");
const QString kApplication = QStringLiteral("database-connection");
const QString kHostKey = QStringLiteral("host");
const QString kPortKey = QStringLiteral("port");
const QString kDatabaseKey = QStringLiteral("database");
const QString kUserKey = QStringLiteral("user");
const QString kPasswordFileName = QStringLiteral("server.pgpass");

const QString kDatabaseMissing = QStringLiteral("请填写数据库名称！");
const QString kBadPort = QStringLiteral("端口应为1到65535之间的数字！");
const QString kLineBreak = QStringLiteral("主机、端口、数据库、用户名和密码中不能有换行符！");
const QString kRelativeSocket = QStringLiteral("套接字文件夹应以“/”开头！");
const QString kCannotWrite = QStringLiteral("无法写入密码文件“%1”：%2");
const QString kCannotStore = QStringLiteral("无法保存连接设置“%1”。");

constexpr int kHighestPort = 65535;

bool HasControlCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control) {
            return true;
        }
    }
    return false;
}

bool IsSocketFolder(const QString& host) {
    return host.startsWith(QLatin1Char('/'));
}

QString Encoded(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// A field of the password file: ':' and '\' escaped with '\'. A lone '*' would match anything
// and a '#' at the start of a line would make it a comment, so those are escaped too.
QString PasswordFileField(const QString& value) {
    if (value.isEmpty()) {
        return QStringLiteral("*");
    }
    QString field;
    for (const QChar c : value) {
        if (c == QLatin1Char(':') || c == QLatin1Char('\\')) {
            field += QLatin1Char('\\');
        }
        field += c;
    }
    if (field == QStringLiteral("*") || field.startsWith(QLatin1Char('#'))) {
        field.prepend(QLatin1Char('\\'));
    }
    return field;
}

// The four fields that name the server, and the ':' that ends them.
QString LineKey(const ServerAddress& server) {
    return QStringList{PasswordFileField(server.host), PasswordFileField(server.port),
                       PasswordFileField(server.database), PasswordFileField(server.user)}
               .join(QLatin1Char(':')) +
           QLatin1Char(':');
}

// The address kept in the settings' current group; empty when none is.
ServerAddress ReadAddress(const QSettings& settings) {
    return ServerAddress{settings.value(kHostKey).toString(), settings.value(kPortKey).toString(),
                         settings.value(kDatabaseKey).toString(),
                         settings.value(kUserKey).toString()};
}

QString ConfigFolder() {
    // The folder an ini file would be in: Windows keeps the settings themselves in the
    // registry, which has no folder for the password file.
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, kOrganization,
                             kApplication);
    return QFileInfo(settings.fileName()).absolutePath();
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Writes the file whole or not at all, readable by its owner only from the first byte on.
QString WritePrivateFile(const QString& path, const QByteArray& bytes) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return DescribeSystemError(errno ? errno : EACCES);
    }
    if (!platform::WritePrivateFile(path, bytes)) {
        return DescribeSystemError(errno);
    }
    return {};
}

}  // namespace

QString AddressText(const ServerAddress& server) {
    QString text;
    if (!server.user.isEmpty()) {
        text += server.user + QLatin1Char('@');
    }
    text += server.host;
    if (!server.port.isEmpty()) {
        text += QLatin1Char(':') + server.port;
    }
    return text + QLatin1Char('/') + server.database;
}

QString AddressProblem(const ServerAddress& server) {
    for (const QString* field : {&server.host, &server.port, &server.database, &server.user}) {
        if (HasControlCharacter(*field)) {
            return kLineBreak;
        }
    }
    if (server.database.isEmpty()) {
        return kDatabaseMissing;
    }
    if (!server.port.isEmpty()) {
        bool number = false;
        const int port = server.port.toInt(&number);
        const bool digits = std::all_of(server.port.cbegin(), server.port.cend(),
                                        [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (!number || !digits || port < 1 || port > kHighestPort) {
            return kBadPort;
        }
    }
    if (server.host.contains(QLatin1Char('/')) && !IsSocketFolder(server.host)) {
        return kRelativeSocket;
    }
    return {};
}

QString ConnectionUri(const ServerAddress& server, const QString& passFile,
                      const QString& password) {
    QString uri = QStringLiteral("postgresql://");
    if (!server.user.isEmpty()) {
        uri += Encoded(server.user) + QLatin1Char('@');
    }
    QStringList query;
    if (IsSocketFolder(server.host)) {
        query << QStringLiteral("host=") + Encoded(server.host);
        if (!server.port.isEmpty()) {
            query << QStringLiteral("port=") + server.port;
        }
    } else {
        // An IPv6 address goes in brackets, as its colons would read as the port's.
        uri += server.host.contains(QLatin1Char(':'))
                   ? QLatin1Char('[') + server.host + QLatin1Char(']')
                   : Encoded(server.host);
        if (!server.port.isEmpty()) {
            uri += QLatin1Char(':') + server.port;
        }
    }
    uri += QLatin1Char('/') + Encoded(server.database);
    if (!password.isEmpty()) {
        query << QStringLiteral("password=") + Encoded(password);
    }
    if (!passFile.isEmpty()) {
        query << QStringLiteral("passfile=") + Encoded(passFile);
    }
    if (!query.isEmpty()) {
        uri += QLatin1Char('?') + query.join(QLatin1Char('&'));
    }
    return uri;
}

QString TryConnection(const QString& uri) {
    const PgConnection connection(uri);
    return connection.ok() ? QString() : connection.error();
}

QString PasswordFileLine(const ServerAddress& server, const QString& password) {
    QString escaped;
    for (const QChar c : password) {
        if (c == QLatin1Char(':') || c == QLatin1Char('\\')) {
            escaped += QLatin1Char('\\');
        }
        escaped += c;
    }
    return LineKey(server) + escaped;
}

QString WithPassword(const QString& contents, const ServerAddress& server,
                     const QString& password) {
    const QString key = LineKey(server);
    QStringList lines;
    for (const QString& line : contents.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(key)) {
            lines << line;
        }
    }
    if (!password.isEmpty()) {
        lines << PasswordFileLine(server, password);
    }
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool HasPasswordLine(const QString& contents, const ServerAddress& server) {
    const QString key = LineKey(server);
    const QStringList lines = contents.split(QLatin1Char('\n'));
    return std::any_of(lines.cbegin(), lines.cend(),
                       [&key](const QString& line) { return line.startsWith(key); });
}

QString PasswordFilePath() {
    return ConfigFolder() + QLatin1Char('/') + kPasswordFileName;
}

std::optional<ServerAddress> StoredServer(const QString& dataDir) {
    QSettings settings(kOrganization, kApplication);
    settings.beginGroup(FolderSettingsGroup(dataDir));
    if (!settings.contains(kDatabaseKey)) {
        return std::nullopt;
    }
    return ReadAddress(settings);
}

bool HasStoredPassword(const ServerAddress& server) {
    return HasPasswordLine(ReadText(PasswordFilePath()), server);
}

DbStatus StoreServer(const QString& dataDir, const ServerAddress& server, const QString& password) {
    if (const QString refusal = RefusalFor(Guarded::DatabaseConnection); !refusal.isEmpty()) {
        return DbStatus::failure(refusal);
    }
    if (const QString problem = AddressProblem(server); !problem.isEmpty()) {
        return DbStatus::failure(problem);
    }
    if (HasControlCharacter(password)) {
        return DbStatus::failure(kLineBreak);
    }
    if (!password.isEmpty()) {
        const QString path = PasswordFilePath();
        const QString contents = WithPassword(ReadText(path), server, password);
        if (const QString error = WritePrivateFile(path, contents.toUtf8()); !error.isEmpty()) {
            return DbStatus::failure(kCannotWrite.arg(QDir::toNativeSeparators(path), error));
        }
    }
    QSettings settings(kOrganization, kApplication);
    settings.beginGroup(FolderSettingsGroup(dataDir));
    settings.setValue(kHostKey, server.host);
    settings.setValue(kPortKey, server.port);
    settings.setValue(kDatabaseKey, server.database);
    settings.setValue(kUserKey, server.user);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        return DbStatus::failure(kCannotStore.arg(QDir::toNativeSeparators(settings.fileName())));
    }
    return DbOk();
}

DbStatus ForgetServer(const QString& dataDir) {
    if (const QString refusal = RefusalFor(Guarded::DatabaseConnection); !refusal.isEmpty()) {
        return DbStatus::failure(refusal);
    }
    const std::optional<ServerAddress> server = StoredServer(dataDir);
    {
        QSettings settings(kOrganization, kApplication);
        settings.remove(FolderSettingsGroup(dataDir));
        settings.sync();
    }
    if (!server) {
        return DbOk();
    }
    // The password goes too, unless another data folder still opens the same server with it.
    QSettings settings(kOrganization, kApplication);
    for (const QString& group : settings.childGroups()) {
        settings.beginGroup(group);
        const ServerAddress other = ReadAddress(settings);
        settings.endGroup();
        if (other == *server) {
            return DbOk();
        }
    }
    const QString path = PasswordFilePath();
    const QString contents = ReadText(path);
    // A line that cannot be removed only keeps a password nobody uses; the file stays private.
    if (HasPasswordLine(contents, *server)) {
        WritePrivateFile(path, WithPassword(contents, *server, {}).toUtf8());
    }
    return DbOk();
}

QString StoredServerUri(const QString& dataDir) {
    const std::optional<ServerAddress> server = StoredServer(dataDir);
    return server ? ConnectionUri(*server, PasswordFilePath()) : QString();
}
