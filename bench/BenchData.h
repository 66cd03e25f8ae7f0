#pragma once

// The database scripts/bench seeds once with jobtracker-admin for every
// benchmark: JT_BENCH_DB holds its connection string. Without it each
// benchmark seeds a temporary SQLite database of its own, so that it runs
// alone too.
#include <QRegularExpression>
#include <QString>
#include <QtGlobal>

namespace benchdata {

// The shared database's connection string; empty when a bench seeds its own.
inline QString sharedDb()
{
    return qEnvironmentVariable("JT_BENCH_DB");
}

// The file of an SQLite connection string ("Provider=SQLite;Data Source=F");
// empty for any other database.
inline QString sqliteFile(const QString &connection)
{
    if (!connection.contains(QStringLiteral("Provider=SQLite"), Qt::CaseInsensitive))
        return {};
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("Data Source=([^;]*)"), QRegularExpression::CaseInsensitiveOption)
              .match(connection);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

} // namespace benchdata
