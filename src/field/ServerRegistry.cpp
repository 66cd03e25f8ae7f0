#include "field/ServerRegistry.h"

#include "base/Clock.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "data/RowMap.h"

namespace field {

qint64 announce(data::Connection &db, const QString &address, const QString &fingerprint)
{
    const QDateTime now = Clock::now();
    return db.insertRow(QStringLiteral("FieldServer"),
        { { QStringLiteral("Address"), address }, { QStringLiteral("Fingerprint"), fingerprint },
            { QStringLiteral("StartedAt"), now }, { QStringLiteral("SeenAt"), now } });
}

void stillRunning(data::Connection &db, qint64 id)
{
    db.exec(QStringLiteral("UPDATE FieldServer SET SeenAt = ? WHERE ID = ?"), { Clock::now(), id });
}

void withdraw(data::Connection &db, qint64 id)
{
    db.exec(QStringLiteral("DELETE FROM FieldServer WHERE ID = ?"), { id });
}

std::optional<ServerEntry> runningServer(data::Connection &db, const QDateTime &now)
{
    return data::one(db.exec(QStringLiteral("SELECT ID, Address, Fingerprint, StartedAt, SeenAt FROM FieldServer "
                                            "WHERE SeenAt >= ? ORDER BY SeenAt DESC, ID DESC"),
                         { now.addSecs(-kServerGoneSeconds) }),
        [](const data::Row &row) {
            return ServerEntry { row["ID"].toLongLong(), row["Address"].toString(), row["Fingerprint"].toString(),
                data::dateTimeOf(row["StartedAt"]), data::dateTimeOf(row["SeenAt"]) };
        });
}

} // namespace field
