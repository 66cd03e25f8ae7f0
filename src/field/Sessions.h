#pragma once

#include <QByteArray>
#include <QDateTime>
#include <optional>

namespace data {
class Connection;
}

// The field page's sign-ins. A phone holds a token of 256 random bits in a
// cookie; the database keeps only its SHA-256, so that a copy of the
// database signs nobody in, and a restart of the server signs nobody out.
// Each session has a second random token the page sends back in a header
// with every change, which another site's page cannot read.
namespace field::sessions {

// A session ends after this long without a request, and this long after
// its sign-in whatever happens.
inline constexpr qint64 kIdleSeconds = 12 * 3600;
inline constexpr qint64 kLongestSeconds = 7 * 24 * 3600;

struct Session
{
    qint64 id = 0;
    qint64 employeeId = 0;
    QByteArray csrf; // hex
};

struct Started
{
    QByteArray token; // hex, for the cookie
    QByteArray csrf; // hex
};

// A new session for the employee, stamped `now`. Throws data::DbError.
Started start(data::Connection &db, qint64 employeeId, const QDateTime &now);
// The session of a cookie's token, when it is still good at `now`; its
// last use moves on (written at most once a minute). An ended one is
// deleted. Throws data::DbError.
std::optional<Session> find(data::Connection &db, const QByteArray &token, const QDateTime &now);
// Ends the session (sign-out); no error when it is gone already.
void end(data::Connection &db, qint64 sessionId);

// Whether two secrets are equal, in a time that does not tell how much of
// them matched.
bool sameSecret(const QByteArray &a, const QByteArray &b);

} // namespace field::sessions
