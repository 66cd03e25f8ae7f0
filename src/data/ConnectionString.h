#pragma once

#include <QMap>
#include <QString>

namespace data {

enum class DbKind { SQLite, PostgreSQL, SqlServer };

// What a configured ADO-style connection string means to Qt SQL: which driver
// to load, what to open and which SQL dialect the server speaks.
struct ConnectionSpec
{
    QString driver; // "QSQLITE", "QPSQL" or "QODBC"
    DbKind kind = DbKind::SQLite;
    QString databaseName; // file path, database name or ODBC connection string
    QString host;
    int port = -1;
    QString user;
    QString password;
    QString options; // driver connect options, ';'-separated
};

// Splits "key=value;key2=value2" into a map with lower-case keys. Values may be
// quoted with "..." or '...' or braced {...} and then hold ';' and '='.
QMap<QString, QString> parseConnectionString(const QString &text);

// Maps the connection string of config.txt to a Qt SQL connection:
//   Provider=SQLite;Data Source=<file>          -> QSQLITE (relative to baseDir)
//   Provider=PostgreSQL;Host=..;Port=..;...     -> QPSQL, with libpq's
//       connect_timeout, keepalives, keepalives_idle, keepalives_interval,
//       keepalives_count and tcp_user_timeout: as the string gives them
//       (spaces for underscores allowed, "Timeout" for connect_timeout), else
//       the defaults above
//   Provider=SQLOLEDB;Data Source=..;Initial Catalog=..;User ID=..;Password=..
//                                               -> QODBC over FreeTDS
//   Driver={...};...                            -> QODBC, passed through
// Throws std::invalid_argument with a readable reason for anything else.
ConnectionSpec mapConnectionString(const QString &text, const QString &baseDir = {});

// The connection time-out, in seconds, applied to every kind of connection.
inline constexpr int kConnectTimeoutSeconds = 10;

// A PostgreSQL server that vanishes without closing the connection (power
// cut, cable, a virtual machine stopped) is noticed by TCP keepalives once
// the connection has been quiet this long, then probed this often, this many
// times; and a query sent that the server never acknowledges gives up after
// the TCP user time-out. Otherwise a query would wait for good.
inline constexpr int kKeepaliveIdleSeconds = 30;
inline constexpr int kKeepaliveIntervalSeconds = 10;
inline constexpr int kKeepaliveCount = 3;
inline constexpr int kTcpUserTimeoutMs = 60000;

} // namespace data
