#pragma once

// The database scripts/bench seeds once with jobtracker-admin for every
// benchmark: JT_BENCH_DB holds its connection string. Without it each
// benchmark seeds a temporary SQLite database of its own, so that it runs
// alone too.
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"

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

// Before the application object: no display, and (when `utc`) TZ set, as the
// tests run; without TZ glibc reads /etc/localtime on every local-time
// conversion, which would swamp the date columns' cost. A TZ or platform
// given from outside is kept.
inline void headless(bool utc)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (utc && qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", "UTC");
}

// The number of jobs to seed: JT_BENCH_JOBS, else 100,000.
inline int jobs()
{
    return qEnvironmentVariableIsSet("JT_BENCH_JOBS") ? qEnvironmentVariableIntValue("JT_BENCH_JOBS") : 100000;
}

// Opens the shared database as it is and returns true; without one, a fresh
// SQLite database in `dir` with the schema and the demo data `options` asks
// for (what else a bench seeds it adds when this returns false).
inline bool openDemo(data::Connection &db, const QString &dir, const data::DemoOptions &options)
{
    if (const QString shared = sharedDb(); !shared.isEmpty()) {
        db.open(shared, {});
        return true;
    }
    db.open(QStringLiteral("Provider=SQLite;Data Source=bench.db"), dir, data::OpenOptions { true });
    data::createSchema(db);
    data::seedDemo(db, options);
    return false;
}

} // namespace benchdata
