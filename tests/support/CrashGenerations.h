#pragma once

// What the crash test's writer (crash_writer.cpp) saves in generation k, so
// that its checker (tst_crashconsistency.cpp) can tell from a row which save
// wrote it and what that save wrote with it. Header only: the writer links
// the core alone.

#include "data/Database.h"

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <optional>

namespace crashgen {

// The rows the test makes before the writer first runs; the writer adds
// WIPs and bookings of its own, never employees.
inline constexpr int kSetupWips = 5;
inline constexpr int kSetupEmployees = 3;
inline constexpr int kSetupBookings = 4;
inline const QString kCustomer = QStringLiteral("Crash Test");
inline const QString kLastName = QStringLiteral("Crashwriter");

// The first column of a query's rows.
inline QList<qint64> ids(data::Connection &db, const QString &sql, const QVariantList &params = {})
{
    QList<qint64> list;
    data::Rows q = db.exec(sql, params);
    while (q.next())
        list << q.value(0).toLongLong();
    return list;
}
inline QList<qint64> wipIds(data::Connection &db)
{
    return ids(db, QStringLiteral("SELECT ID FROM WIP WHERE Customer = ? ORDER BY ID"), { kCustomer });
}
inline QList<qint64> employeeIds(data::Connection &db)
{
    return ids(db, QStringLiteral("SELECT ID FROM Employee WHERE LastName = ? ORDER BY ID"), { kLastName });
}
inline QList<qint64> permissionIds(data::Connection &db)
{
    return ids(db, QStringLiteral("SELECT ID FROM Permission ORDER BY ID"));
}

// The generation mark written into a text column of every row a save writes.
inline QString mark(qint64 k)
{
    return QStringLiteral("gen %1").arg(k);
}
inline std::optional<qint64> generationOf(const QString &text)
{
    if (!text.startsWith(QLatin1String("gen ")))
        return std::nullopt;
    bool ok = false;
    const qint64 k = text.mid(4).toLongLong(&ok);
    return ok ? std::optional<qint64>(k) : std::nullopt;
}

// The subcontractors of generation k, sorted: none to three, one of them
// quoted.
inline QStringList contractors(qint64 k)
{
    QStringList names;
    for (qint64 j = 0; j < k % 4; ++j)
        names << (j == 1 ? QStringLiteral("O'Neil %1").arg(k) : QStringLiteral("Sub %1-%2").arg(k).arg(j));
    names.sort();
    return names;
}

// The permissions of generation k, a subset of `all` (sorted IDs) chosen by
// the bits of k, sorted.
inline QList<qint64> permissions(qint64 k, const QList<qint64> &all)
{
    const qint64 mask = (k * 37) % (qint64(1) << std::min<qsizetype>(all.size(), 20));
    QList<qint64> ids;
    for (qsizetype i = 0; i < all.size() && i < 20; ++i) {
        if (mask & (qint64(1) << i))
            ids << all.at(i);
    }
    return ids;
}

// A booking of generation k: its hours, and which of the setup employees and
// WIPs (by position in ID order) it is booked to.
inline double hours(qint64 k)
{
    return static_cast<double>(k % 96 + 1) / 4.0;
}
inline qsizetype employeeIndex(qint64 k)
{
    return static_cast<qsizetype>(k % kSetupEmployees);
}
inline qsizetype wipIndex(qint64 k)
{
    return static_cast<qsizetype>((k / 3) % kSetupWips);
}

} // namespace crashgen
