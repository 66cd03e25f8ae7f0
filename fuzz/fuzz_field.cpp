// The field server's requests as a phone (or anyone on the network) may send
// them: "<METHOD> <path>[?query]\n<header>: <value>\n...\n\n<body>", answered
// by the same handling the server uses, on a SQLite database with one
// signed-in technician, a job with a room and a unit. "$T" in the input
// stands for the session's cookie token and "$C" for its change token, so
// that the fuzzer reaches past the sign-in.
#include "FuzzCheck.h"
#include "base/Permissions.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "field/FieldApi.h"
#include "field/Sessions.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QUrlQuery>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    data::Connection db;
    QByteArray token;
    QByteArray csrf;

    Fixture()
    {
        db.open(QStringLiteral("Provider=SQLite;Data Source=fuzz.db"), dir.path(), { .createSqliteFile = true });
        data::createSchema(db);
        db.exec(QStringLiteral("PRAGMA synchronous = OFF"));
        const qint64 tech = db.insertRow(QStringLiteral("Employee"),
            { { QStringLiteral("FirstName"), QStringLiteral("Luis") }, { QStringLiteral("Inactive"), false },
                { QStringLiteral("Username"), QStringLiteral("luis") } });
        db.exec(QStringLiteral("INSERT INTO UserPermission (UserID, PermissionID) SELECT ?, ID FROM Permission "
                               "WHERE Name = ?"),
            { tech, QString(Permissions::fieldEntry) });
        const qint64 wip = db.insertRow(QStringLiteral("WIP"),
            { { QStringLiteral("Customer"), QStringLiteral("Smith") }, { QStringLiteral("Status"), QStringLiteral("Drying") } });
        db.insertRow(QStringLiteral("DryingRoom"),
            { { QStringLiteral("WIPID"), wip }, { QStringLiteral("Name"), QStringLiteral("Kitchen") },
                { QStringLiteral("Affected"), true }, { QStringLiteral("Outside"), false } });
        db.insertRow(QStringLiteral("Equipment"),
            { { QStringLiteral("AssetNo"), QStringLiteral("AM-1") }, { QStringLiteral("EquipType"), QStringLiteral("Air Mover") },
                { QStringLiteral("Retired"), false } });
        const field::sessions::Started started = field::sessions::start(db, tech, QDateTime::currentDateTime());
        token = started.token;
        csrf = started.csrf;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Fixture fixture;
    QByteArray bytes = fuzzBytes(data, size);
    bytes.replace("$T", fixture.token).replace("$C", fixture.csrf);
    const qsizetype headEnd = bytes.indexOf("\n\n");
    const QByteArray head = headEnd < 0 ? bytes : bytes.left(headEnd);
    QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> first = lines.takeFirst().split(' ');

    field::Request request;
    request.method = first.value(0);
    const QString target = QString::fromUtf8(first.value(1));
    request.path = target.section(QLatin1Char('?'), 0, 0);
    for (const auto &[name, value] : QUrlQuery(target.section(QLatin1Char('?'), 1)).queryItems(QUrl::FullyDecoded))
        request.query.insert(name, value);
    for (const QByteArray &line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    request.body = headEnd < 0 ? QByteArray() : bytes.mid(headEnd + 2);
    if (request.headers.contains("x-part-file"))
        request.parts.insert(QStringLiteral("file"), { QStringLiteral("f.jpg"), request.body });

    const field::Reply reply = field::handle(fixture.db, request);
    static const QList<int> known { 200, 201, 204, 400, 401, 403, 404, 405, 409, 413, 429, 503 };
    FUZZ_CHECK(known.contains(reply.status));
    // The database is always there: a failure of the server's own making
    // would show as 503.
    FUZZ_CHECK(reply.status != 503);
    if (request.path.startsWith(QLatin1String("/api/")) && reply.contentType.startsWith("application/json")) {
        QJsonParseError error {};
        QJsonDocument::fromJson(reply.body, &error);
        FUZZ_CHECK(error.error == QJsonParseError::NoError);
    }
    // Nothing but the page's own files outside /api.
    if (!request.path.startsWith(QLatin1String("/api/")) && reply.status == 200)
        FUZZ_CHECK(!reply.body.isEmpty() && !reply.body.contains("CREATE TABLE"));
    return 0;
}
