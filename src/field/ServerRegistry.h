#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace data {
class Connection;
} // namespace data

// The field servers running over this database, as they announce themselves
// in FieldServer: the address a phone opens and the certificate's SHA-256
// fingerprint (empty without TLS). A server refreshes its row every minute
// and deletes it when it stops; one killed outright leaves its row behind,
// which the desktop tells by its age.
namespace field {

struct ServerEntry
{
    qint64 id = 0;
    QString address;
    QString fingerprint;
    QDateTime startedAt;
    QDateTime seenAt;
};

// A row not refreshed for this long belongs to a server that is gone.
inline constexpr int kServerGoneSeconds = 3 * 60;

// A new row for a server that has just started, seen now; its ID.
qint64 announce(data::Connection &db, const QString &address, const QString &fingerprint);
// The server `id` is still there: its SeenAt becomes now. A row someone
// deleted stays deleted.
void stillRunning(data::Connection &db, qint64 id);
// The server `id` stops: its row goes.
void withdraw(data::Connection &db, qint64 id);
// The server seen most recently, unless even that one was last seen more
// than kServerGoneSeconds before `now`.
std::optional<ServerEntry> runningServer(data::Connection &db, const QDateTime &now);

} // namespace field
