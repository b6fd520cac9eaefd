#include "data/engine_error.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>

#include "data/pg_connection.h"
#include "platform/error_codes.h"

namespace {

// What the operating system said, when it says more than the engine's result code.
QString SystemReason(int systemErrno) {
    switch (systemErrno) {
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("磁盘空间不足");
        case EROFS:
            return QStringLiteral("数据文件是只读的");
        case EACCES:
        case EPERM:
            return QStringLiteral("没有权限访问数据文件夹");
        case ENOENT:
            return QStringLiteral("找不到数据文件或文件夹");
        case EIO:
            return QStringLiteral("磁盘读写出错");
        default:
            return {};
    }
}

QString CodeReason(int code) {
    switch (code & 0xff) {
        case SQLITE_FULL:
            return QStringLiteral("磁盘空间不足");
        case SQLITE_READONLY:
            return QStringLiteral("数据文件是只读的");
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return QStringLiteral("没有权限访问数据文件");
        case SQLITE_CANTOPEN:
            return QStringLiteral("无法打开数据文件");
        case SQLITE_IOERR:
            return QStringLiteral("读写数据文件出错");
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return QStringLiteral("数据库文件已损坏");
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return BusyText();
        case SQLITE_CONSTRAINT:
            return QStringLiteral("数据库拒绝保存这些数据");
        case SQLITE_TOOBIG:
            return QStringLiteral("数据太长");
        case SQLITE_NOMEM:
            return QStringLiteral("内存不足");
        case SQLITE_INTERRUPT:
            return QStringLiteral("操作已中断");
        default:
            return QStringLiteral("数据库语句出错");
    }
}

}  // namespace

QString BusyText() {
    return QStringLiteral("数据库正忙，请稍后再试。");
}

bool IsDamageCode(int code) {
    return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB;
}

QString DescribeEngineError(int code, int systemErrno, const QString& engineText) {
    // The engine reports some full disks as a failed write and some read-only mounts as a file
    // it cannot open; the system's own reason is the one the shop can act on.
    QString reason;
    if ((code & 0xff) == SQLITE_IOERR || (code & 0xff) == SQLITE_CANTOPEN ||
        (code & 0xff) == SQLITE_FULL || (code & 0xff) == SQLITE_READONLY) {
        reason = SystemReason(systemErrno);
    }
    if (reason.isEmpty()) {
        reason = CodeReason(code);
    }
    if (engineText.isEmpty()) {
        return reason;
    }
    return QStringLiteral("%1（%2）").arg(reason, engineText);
}

QString DescribeEngineError(sqlite3* db) {
    if (!db) {
        return QStringLiteral("数据库没有打开");
    }
    return DescribeEngineError(sqlite3_extended_errcode(db), sqlite3_system_errno(db),
                               QString::fromUtf8(sqlite3_errmsg(db)));
}

QString DescribeSystemError(int systemErrno) {
    QString reason = SystemReason(systemErrno);
    const QString text = QString::fromLocal8Bit(std::strerror(systemErrno));
    if (reason.isEmpty()) {
        return text;
    }
    return QStringLiteral("%1（%2）").arg(reason, text);
}

QString DescribeConnectFailure(PgConnectFailure failure, const QString& text) {
    QString reason;
    switch (failure) {
        case PgConnectFailure::None:
            return {};
        case PgConnectFailure::BadAddress:
            reason = QStringLiteral("数据库服务器的地址无法识别");
            break;
        case PgConnectFailure::NotRunning:
            reason = QStringLiteral("数据库服务器没有运行，或者无法访问");
            break;
        case PgConnectFailure::Timeout:
            reason = QStringLiteral("连接数据库服务器超时");
            break;
        case PgConnectFailure::PasswordNeeded:
            reason = QStringLiteral("数据库服务器要求密码，但没有提供密码");
            break;
        case PgConnectFailure::WrongPassword:
            reason = QStringLiteral("数据库用户名或密码错误");
            break;
        case PgConnectFailure::NoDatabase:
            reason = QStringLiteral("数据库服务器上没有这个数据库");
            break;
        case PgConnectFailure::NoUser:
            reason = QStringLiteral("数据库服务器上没有这个用户");
            break;
        case PgConnectFailure::AccessRules:
            reason = QStringLiteral("数据库服务器的访问规则不允许这台电脑或这个用户连接");
            break;
        case PgConnectFailure::NotReady:
            reason = QStringLiteral("数据库服务器正在启动或关闭，请稍后再试");
            break;
        case PgConnectFailure::TooMany:
            reason = QStringLiteral("数据库服务器的连接数已满");
            break;
        case PgConnectFailure::Other:
            reason = QStringLiteral("数据库服务器拒绝连接");
            break;
    }
    return text.isEmpty() ? reason : QStringLiteral("%1（%2）").arg(reason, text);
}

QString DescribeServerError(const PgError& error) {
    if (error.connectionLost) {
        return QStringLiteral("数据库连接中断：%1").arg(error.reason);
    }
    if (error.sqlState == "53100") {
        return QStringLiteral("数据库服务器磁盘空间不足（%1）").arg(error.reason);
    }
    // A rule of the database (a unique key, a check, a trigger) refused the row.
    if (error.sqlState.startsWith("23") || error.sqlState == "P0001") {
        return QStringLiteral("数据库拒绝保存这些数据（%1）").arg(error.reason);
    }
    if (error.sqlState == "40P01" || error.sqlState == "40001") {
        return QStringLiteral("数据库正忙，请再试一次（%1）").arg(error.reason);
    }
    return error.reason;
}
