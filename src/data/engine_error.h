#pragma once

#include <QString>

struct sqlite3;
struct PgError;
enum class PgConnectFailure;

// Says in the shop's words what went wrong in the engine, with the engine's own text after it in
// parentheses: "磁盘空间不足（database or disk is full）". A full disk, a read-only file, a
// missing permission or a busy database is told as what it is, never as a damaged file.
QString DescribeEngineError(int code, int systemErrno, const QString& engineText);
// The same for the last failed call on `db`.
QString DescribeEngineError(sqlite3* db);
// The same for a statement or connection the database server refused. A lost connection says
// so first ("数据库连接中断：…"), so the shop knows to wait for the server rather than the data.
QString DescribeServerError(const PgError& error);
// Why a connection to the database server failed, by its cause, with the server's or the
// library's own text after it: "数据库密码错误（password authentication failed for user …）".
QString DescribeConnectFailure(PgConnectFailure failure, const QString& text);
// The same for a failed call of the operating system (errno) on a file or folder.
QString DescribeSystemError(int systemErrno);

// Whether the reason a call failed with says the database file is damaged or not a database.
bool IsDamageCode(int code);

// The sentence a busy database is told with; the save that met it kept its form.
QString BusyText();
