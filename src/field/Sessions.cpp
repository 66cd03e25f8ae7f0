#include "field/Sessions.h"

#include "data/Database.h"
#include "data/RowMap.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <array>
#include <sodium.h>

namespace field::sessions {

namespace {

    QByteArray randomHex()
    {
        std::array<quint32, 8> words {}; // 256 bits
        QRandomGenerator::system()->fillRange(words.data(), words.size());
        return QByteArray(reinterpret_cast<const char *>(words.data()), sizeof(words)).toHex();
    }

    QString hashOf(const QByteArray &token)
    {
        return QString::fromLatin1(QCryptographicHash::hash(token, QCryptographicHash::Sha256).toHex());
    }

    bool wellFormed(const QByteArray &token)
    {
        if (token.size() != 64)
            return false;
        return std::all_of(token.cbegin(), token.cend(),
            [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
    }

} // namespace

Started start(data::Connection &db, qint64 employeeId, const QDateTime &now)
{
    Started started { randomHex(), randomHex() };
    db.insertRow(QStringLiteral("FieldSession"),
        { { QStringLiteral("TokenHash"), hashOf(started.token) }, { QStringLiteral("EmployeeID"), employeeId },
            { QStringLiteral("CsrfToken"), QString::fromLatin1(started.csrf) }, { QStringLiteral("CreatedAt"), now },
            { QStringLiteral("LastSeenAt"), now } });
    // Sessions long ended go with the next sign-in.
    db.exec(QStringLiteral("DELETE FROM FieldSession WHERE LastSeenAt < ? OR CreatedAt < ?"),
        { now.addSecs(-kIdleSeconds), now.addSecs(-kLongestSeconds) });
    return started;
}

std::optional<Session> find(data::Connection &db, const QByteArray &token, const QDateTime &now)
{
    if (!wellFormed(token))
        return std::nullopt;
    struct Stored
    {
        Session session;
        QDateTime created;
        QDateTime seen;
    };
    const std::optional<Stored> stored = data::one(
        db.exec(QStringLiteral("SELECT ID, EmployeeID, CsrfToken, CreatedAt, LastSeenAt FROM FieldSession "
                               "WHERE TokenHash = ?"),
            { hashOf(token) }),
        [](const data::Row &row) {
            return Stored { { row["ID"].toLongLong(), row["EmployeeID"].toLongLong(), row["CsrfToken"].toByteArray() },
                row["CreatedAt"].toDateTime(), row["LastSeenAt"].toDateTime() };
        });
    if (!stored)
        return std::nullopt;
    if (!stored->created.isValid() || !stored->seen.isValid() || stored->seen.secsTo(now) > kIdleSeconds
        || stored->created.secsTo(now) > kLongestSeconds) {
        end(db, stored->session.id);
        return std::nullopt;
    }
    if (stored->seen.secsTo(now) >= 60)
        db.exec(QStringLiteral("UPDATE FieldSession SET LastSeenAt = ? WHERE ID = ?"), { now, stored->session.id });
    return stored->session;
}

void end(data::Connection &db, qint64 sessionId)
{
    db.exec(QStringLiteral("DELETE FROM FieldSession WHERE ID = ?"), { sessionId });
}

bool sameSecret(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size() && !a.isEmpty()
        && sodium_memcmp(a.constData(), b.constData(), static_cast<size_t>(a.size())) == 0;
}

} // namespace field::sessions
