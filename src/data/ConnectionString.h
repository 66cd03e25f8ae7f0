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
//   Provider=PostgreSQL;Host=..;Port=..;...     -> QPSQL
//   Provider=SQLOLEDB;Data Source=..;Initial Catalog=..;User ID=..;Password=..
//                                               -> QODBC over FreeTDS
//   Driver={...};...                            -> QODBC, passed through
// Throws std::invalid_argument with a readable reason for anything else.
ConnectionSpec mapConnectionString(const QString &text, const QString &baseDir = {});

// The connection time-out, in seconds, applied to every kind of connection.
inline constexpr int kConnectTimeoutSeconds = 10;

} // namespace data
