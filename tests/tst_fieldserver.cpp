// backends: sqlite postgres
// The field server as a phone meets it, through the HTTP library's own
// client: signing in and its throttle, rights read at each request, each
// kind of entry and its refusal, an entry sent twice, the limits and bad
// input, the database gone mid-session, and the desktop writing the same
// SQLite file at the same moment.
#include "base/Clock.h"
#include "base/Permissions.h"
#include "data/Database.h"
#include "drying/DryingLog.h"
#include "equipment/Equipment.h"
#include "field/FieldApi.h"
#include "field/FieldServer.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTest>
#include <atomic>
#include <httplib.h>
#include <thread>

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));

QByteArray jpeg()
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

QJsonObject objectOf(const httplib::Result &result)
{
    return result ? QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object() : QJsonObject();
}

// A server of the test's own on a free loopback port.
class RunningServer
{
public:
    explicit RunningServer(const TestDb &db)
        : m_server(field::ServerOptions {
            db.connectionString(), db.folder(), QStringLiteral("127.0.0.1"), 0, {}, {}, 8, 200, 15 })
    {
        m_port = m_server.bind();
        m_thread = std::thread([this] { m_server.run(); });
    }
    ~RunningServer()
    {
        m_server.stop();
        m_thread.join();
    }
    int port() const { return m_port; }

private:
    field::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

// One phone: its cookie and its session's token, sent as the page sends them.
class Phone
{
public:
    explicit Phone(int port)
        : m_client("127.0.0.1", port)
        , m_origin("http://127.0.0.1:" + std::to_string(port))
    {
        m_client.set_read_timeout(30, 0);
    }

    httplib::Result signIn(const QString &user, const QString &password)
    {
        const QJsonObject body { { "username", user }, { "password", password } };
        httplib::Result result = m_client.Post(
            "/api/sign-in", headers(false), QJsonDocument(body).toJson().toStdString(), "application/json");
        if (result && result->status == 200) {
            const std::string cookie = result->get_header_value("Set-Cookie");
            m_cookie = cookie.substr(0, cookie.find(';'));
            m_csrf = objectOf(result).value("csrf").toString().toStdString();
        }
        return result;
    }
    httplib::Result get(const std::string &path) { return m_client.Get(path.c_str(), headers(false)); }
    httplib::Result send(const std::string &method, const std::string &path, const QJsonObject &body)
    {
        const std::string text = QJsonDocument(body).toJson().toStdString();
        if (method == "PUT")
            return m_client.Put(path.c_str(), headers(true), text, "application/json");
        if (method == "DELETE")
            return m_client.Delete(path.c_str(), headers(true));
        return m_client.Post(path.c_str(), headers(true), text, "application/json");
    }
    httplib::Result upload(const QString &entry, qint64 room, const QByteArray &content, const QString &caption = {})
    {
        const httplib::MultipartFormDataItems items {
            { "entry", entry.toStdString(), "", "" },
            { "room", std::to_string(room), "", "" },
            { "caption", caption.toStdString(), "", "" },
            { "file", content.toStdString(), "site.jpg", "image/jpeg" },
        };
        return m_client.Post("/api/photos", headers(true), items);
    }
    httplib::Result postRaw(const std::string &path, const std::string &body)
    {
        return m_client.Post(path.c_str(), headers(true), body, "application/json");
    }
    std::string origin = {};
    bool sendToken = true;

private:
    httplib::Headers headers(bool change) const
    {
        httplib::Headers headers { { "Origin", origin.empty() ? m_origin : origin } };
        if (!m_cookie.empty())
            headers.emplace("Cookie", m_cookie);
        if (change && sendToken)
            headers.emplace("X-CSRF-Token", m_csrf);
        return headers;
    }
    httplib::Client m_client;
    std::string m_origin;
    std::string m_cookie;
    std::string m_csrf;
};

// The status the server answers to a request's head alone, its body never
// sent: a limit must hold before the body is read.
int statusOfHead(int port, const QByteArray &head)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    if (!socket.waitForConnected(5000))
        return -1;
    socket.write(head);
    QByteArray answer;
    while (!answer.contains("\r\n") && socket.waitForReadyRead(5000))
        answer += socket.readAll();
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : -1;
}

int count(const char *table)
{
    return testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))).toInt();
}

} // namespace

class tst_FieldServer : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    qint64 m_tech = 0;
    qint64 m_room = 0;
    qint64 m_point = 0;
    qint64 m_unit = 0;
    qint64 m_otherUnit = 0;

private slots:
    void init()
    {
        resetTestState();
        JT_FRESH_DB_IN(m_db);
        Clock::setNow(kNow);
        TestDb::addCompany();
        m_tech = TestDb::addEmployee("luis", "secret");
        TestDb::grant(static_cast<int>(m_tech), Permissions::fieldEntry);
        TestDb::addEmployee("office", "secret");
        data::Connection &db = testdb::connection();
        const qint64 wip = testdb::insertRow("WIP",
            { { "Customer", "Smith" }, { "Address", "1 Elm St" }, { "City", "Brackwell" }, { "Status", "Drying" },
                { "StartDate", QDateTime(kNow.date().addDays(-3), QTime(0, 0)) } });
        m_room = std::get<qint64>(drying::addRoom(db, wip, "Kitchen", true));
        drying::MoisturePoint point;
        point.roomId = m_room;
        point.material = "Drywall";
        point.dryGoal = 12;
        m_point = std::get<qint64>(drying::savePoint(db, point));
        equipment::Unit unit;
        unit.assetNo = "AM-1";
        unit.type = equipment::airMover();
        m_unit = std::get<qint64>(equipment::saveUnit(db, unit));
        unit.assetNo = "AM-2";
        m_otherUnit = std::get<qint64>(equipment::saveUnit(db, unit));
        QVERIFY(std::holds_alternative<qint64>(equipment::place(db, m_otherUnit, m_room, kNow.addDays(-1))));
    }
    void cleanup() { m_db.reset(); }

    // Sign-in: the password, the permission, an inactive employee, and the
    // wait after repeated failures, shared with the desktop through the
    // database.
    void signIn_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("failuresBefore");
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("status");
        QTest::newRow("right") << "luis"
                               << "secret" << 0 << "" << 200;
        QTest::newRow("any case, blanks") << " LUIS "
                                          << "secret" << 0 << "" << 200;
        QTest::newRow("wrong password") << "luis"
                                        << "wrong" << 0 << "" << 401;
        QTest::newRow("no such user") << "nobody"
                                      << "secret" << 0 << "" << 401;
        QTest::newRow("no Field Entry") << "office"
                                        << "secret" << 0 << "" << 403;
        QTest::newRow("inactive") << "luis"
                                  << "secret" << 0 << "UPDATE Employee SET Inactive = ? WHERE UserName = 'luis'" << 401;
        QTest::newRow("throttled, even the right one") << "luis"
                                                       << "secret" << 5 << "" << 429;
        QTest::newRow("the wait is over") << "luis"
                                          << "secret" << 5 << "UPDATE LoginFailure SET LastFailedAt = ?" << 200;
    }
    void signIn()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(int, failuresBefore);
        QFETCH(QString, change);
        QFETCH(int, status);
        RunningServer server(*m_db);
        Phone phone(server.port());
        for (int i = 0; i < failuresBefore; ++i)
            QCOMPARE(phone.signIn(user, "wrong")->status, 401);
        if (change.startsWith("UPDATE Employee"))
            testdb::exec(change, { true });
        else if (!change.isEmpty())
            testdb::exec(change, { kNow.addSecs(-3600) });
        const httplib::Result result = phone.signIn(user, password);
        QVERIFY(result);
        QCOMPARE(result->status, status);
        if (status == 200) {
            const std::string cookie = result->get_header_value("Set-Cookie");
            QVERIFY(cookie.find("HttpOnly") != std::string::npos);
            QVERIFY(cookie.find("SameSite=Strict") != std::string::npos);
            QCOMPARE(phone.get("/api/jobs")->status, 200);
            // Only the token's hash is kept.
            const QString token = QString::fromStdString(cookie.substr(9, 64));
            QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM FieldSession WHERE TokenHash = ?", { token }).toInt(), 0);
            QCOMPARE(count("FieldSession"), 1);
        } else if (status == 429) {
            QVERIFY(objectOf(result).value("retryAfter").toInt() > 0);
        }
    }

    // Rights as they stand at each request: a permission taken away, an
    // employee made inactive, a session idle too long, and sign-out.
    void rightsAtEachRequest_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("sessionsLeft");
        QTest::newRow("permission taken away") << "DELETE FROM UserPermission" << 403 << 1;
        QTest::newRow("made inactive") << "UPDATE Employee SET Inactive = 1" << 401 << 0;
        QTest::newRow("idle 13 hours") << "idle" << 401 << 0;
        QTest::newRow("signed out") << "sign-out" << 401 << 0;
    }
    void rightsAtEachRequest()
    {
        QFETCH(QString, change);
        QFETCH(int, status);
        QFETCH(int, sessionsLeft);
        RunningServer server(*m_db);
        Phone phone(server.port());
        QCOMPARE(phone.signIn("luis", "secret")->status, 200);
        QCOMPARE(phone.get("/api/rooms/" + std::to_string(m_room))->status, 200);
        if (change == "idle")
            Clock::setNow(kNow.addSecs(13 * 3600));
        else if (change == "sign-out")
            QCOMPARE(phone.send("POST", "/api/sign-out", {})->status, 204);
        else if (change.startsWith("UPDATE"))
            testdb::exec("UPDATE Employee SET Inactive = ? WHERE ID = ?", { true, m_tech });
        else
            testdb::exec(change);
        const httplib::Result after = phone.get("/api/rooms/" + std::to_string(m_room));
        QVERIFY2(after->status == status, after->body.c_str());
        QCOMPARE(count("FieldSession"), sessionsLeft);
    }

    // Each kind of entry, stored with who entered it, and its refusal with
    // nothing stored; then the same entry sent again.
    void entries_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonObject>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("added");
        const QJsonObject reading { { "temperature", 72.5 }, { "humidity", 48 } };
        QTest::newRow("reading") << "/api/readings" << reading << 201 << ""
                                 << "DryingAtmosphere" << 1;
        QTest::newRow("reading, humidity over 100")
            << "/api/readings" << QJsonObject { { "temperature", 72.5 }, { "humidity", 120 } } << 400 << "Humidity"
            << "DryingAtmosphere" << 0;
        QTest::newRow("reading, temperature as text")
            << "/api/readings" << QJsonObject { { "temperature", "72,5" }, { "humidity", 40 } } << 400 << "temperature"
            << "DryingAtmosphere" << 0;
        QTest::newRow("reading in the unit it was typed in")
            << "/api/readings" << QJsonObject { { "temperature", 21.5 }, { "humidity", 48 }, { "unit", "C" } } << 201
            << ""
            << "DryingAtmosphere" << 1;
        QTest::newRow("reading, no such unit")
            << "/api/readings" << QJsonObject { { "temperature", 21.5 }, { "humidity", 48 }, { "unit", "K" } } << 400
            << "unit"
            << "DryingAtmosphere" << 0;
        QTest::newRow("moisture") << "/api/moisture" << QJsonObject { { "values", "point" } } << 201 << ""
                                  << "MoistureReading" << 1;
        QTest::newRow("moisture, negative")
            << "/api/moisture" << QJsonObject { { "values", "negative" } } << 400 << "Value"
            << "MoistureReading" << 0;
        QTest::newRow("moisture, another room's point")
            << "/api/moisture" << QJsonObject { { "values", "foreign" } } << 400 << "point"
            << "MoistureReading" << 0;
        QTest::newRow("unit placed") << "/api/placements" << QJsonObject { { "unit", "shop" } } << 201 << ""
                                     << "EquipmentPlacement" << 1;
        QTest::newRow("unit standing elsewhere already")
            << "/api/placements" << QJsonObject { { "unit", "placed" } } << 400 << "EquipmentID"
            << "EquipmentPlacement" << 0;
        QTest::newRow("photo") << "/api/photos" << QJsonObject { { "file", "jpeg" } } << 201 << ""
                               << "JobFile" << 1;
        QTest::newRow("photo, not a picture") << "/api/photos" << QJsonObject { { "file", "text" } } << 400 << "file"
                                              << "JobFile" << 0;
        QTest::newRow("no room") << "/api/readings"
                                 << QJsonObject { { "temperature", 70 }, { "humidity", 40 }, { "room", 999999 } } << 404
                                 << "room"
                                 << "DryingAtmosphere" << 0;
    }
    void entries()
    {
        QFETCH(QString, path);
        QFETCH(QJsonObject, body);
        QFETCH(int, status);
        QFETCH(QString, field);
        QFETCH(QString, table);
        QFETCH(int, added);
        RunningServer server(*m_db);
        Phone phone(server.port());
        QCOMPARE(phone.signIn("luis", "secret")->status, 200);
        const QString entry = QStringLiteral("entry-id-%1").arg(QString::fromLatin1(QTest::currentDataTag()).size());
        body.insert("entry", entry);
        if (!body.contains("room"))
            body.insert("room", m_room);
        const QString values = body.value("values").toString();
        if (!values.isEmpty()) {
            const qint64 point = values == "foreign" ? m_point + 1000 : m_point;
            body.insert("values",
                QJsonArray { QJsonObject { { "point", point }, { "value", values == "negative" ? -1 : 14.5 } } });
        }
        if (path == "/api/placements")
            body.insert("unit", body.value("unit") == "shop" ? m_unit : m_otherUnit);
        const int before = count(table.toLatin1().constData());
        auto post = [&] {
            if (path == "/api/photos")
                return phone.upload(
                    entry, m_room, body.value("file") == "jpeg" ? jpeg() : QByteArray("not a photo"), "Kitchen wall");
            return phone.send("POST", path.toStdString(), body);
        };
        const httplib::Result result = post();
        QVERIFY(result);
        QVERIFY2(result->status == status, result->body.c_str());
        QCOMPARE(objectOf(result).value("field").toString(), field);
        QCOMPARE(count(table.toLatin1().constData()), before + added);
        if (status != 201)
            return;
        // Stored in °F whatever the phone typed it in.
        if (path == "/api/readings" && body.contains("unit"))
            QCOMPARE(testdb::scalar("SELECT Temperature FROM DryingAtmosphere ORDER BY ID DESC").toDouble(), 70.7);
        // Stamped with the technician, as any entry on the desktop.
        if (table != "EquipmentPlacement") {
            const QString by = table == "JobFile" ? "AddedBy" : "EnteredBy";
            QCOMPARE(testdb::scalar(QStringLiteral("SELECT %1 FROM %2 ORDER BY ID DESC").arg(by, table)).toString(),
                QString("luis"));
        }
        // Sent again (the answer was lost on the way): recognised, not stored twice.
        const httplib::Result again = post();
        QCOMPARE(again->status, 200);
        QVERIFY(objectOf(again).value("already").toBool());
        QCOMPARE(objectOf(again).value("id"), objectOf(result).value("id"));
        QCOMPARE(count(table.toLatin1().constData()), before + added);
    }

    // The same entry from two connections at the same moment is stored once.
    void resendAtOnce()
    {
        RunningServer server(*m_db);
        Phone first(server.port());
        QCOMPARE(first.signIn("luis", "secret")->status, 200);
        std::vector<std::unique_ptr<Phone>> phones;
        for (int i = 0; i < 4; ++i) {
            phones.push_back(std::make_unique<Phone>(server.port()));
            QCOMPARE(phones.back()->signIn("luis", "secret")->status, 200);
        }
        const QJsonObject body { { "entry", "same-entry-twice" }, { "room", m_room }, { "temperature", 70 },
            { "humidity", 40 } };
        std::atomic<int> stored { 0 };
        std::atomic<int> already { 0 };
        std::vector<std::thread> threads;
        for (auto &phone : phones)
            threads.emplace_back([&, p = phone.get()] {
                const httplib::Result result = p->send("POST", "/api/readings", body);
                if (result && result->status == 201)
                    ++stored;
                else if (result && result->status == 200)
                    ++already;
            });
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(stored.load(), 1);
        QCOMPARE(already.load(), 3);
        QCOMPARE(count("DryingAtmosphere"), 1);
    }

    // Correcting and deleting: the same user's entries of today only.
    void ownEntriesOfToday_data()
    {
        QTest::addColumn<QString>("enteredBy");
        QTest::addColumn<int>("daysAgo");
        QTest::addColumn<int>("status");
        QTest::newRow("own, today") << "luis" << 0 << 200;
        QTest::newRow("someone else's") << "office" << 0 << 403;
        QTest::newRow("own, yesterday") << "luis" << 1 << 403;
    }
    void ownEntriesOfToday()
    {
        QFETCH(QString, enteredBy);
        QFETCH(int, daysAgo);
        QFETCH(int, status);
        drying::AtmosphereReading reading;
        reading.roomId = m_room;
        reading.takenAt = kNow.addDays(-daysAgo);
        reading.temperature = 70;
        reading.humidity = 40;
        const qint64 id = std::get<qint64>(drying::saveAtmosphere(testdb::connection(), reading,
            drying::TemperatureUnit::Fahrenheit, data::Stamp { enteredBy, kNow.addDays(-daysAgo) }));
        RunningServer server(*m_db);
        Phone phone(server.port());
        QCOMPARE(phone.signIn("luis", "secret")->status, 200);
        const std::string path = "/api/readings/" + std::to_string(id);
        const httplib::Result corrected = phone.send("PUT", path, { { "temperature", 71 }, { "humidity", 41 } });
        QVERIFY2(corrected->status == status, corrected->body.c_str());
        QCOMPARE(testdb::scalar("SELECT Humidity FROM DryingAtmosphere WHERE ID = ?", { id }).toDouble(),
            status == 200 ? 41.0 : 40.0);
        QCOMPARE(phone.send("DELETE", path, {})->status, status == 200 ? 204 : status);
        QCOMPARE(count("DryingAtmosphere"), status == 200 ? 0 : 1);
    }

    // What the server refuses before anything is stored: other sites'
    // requests, bodies over the limits, bad input, paths outside the page.
    void refusals_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("status");
        QTest::newRow("no token header") << "no token" << 403;
        QTest::newRow("another site's origin") << "origin" << 403;
        QTest::newRow("body over 64 KB") << "big body" << 413;
        QTest::newRow("photo over 26 MB") << "big photo" << 413;
        QTest::newRow("not JSON") << "not json" << 400;
        QTest::newRow("entry id with a quote") << "bad entry" << 400;
        QTest::newRow("path outside the page") << "/../CMakeLists.txt" << 404;
        QTest::newRow("encoded dots") << "/%2e%2e/%2e%2e/etc/passwd" << 404;
        QTest::newRow("schema file") << "/schema/sqlite.sql" << 404;
        QTest::newRow("unknown request") << "/api/nothing" << 404;
    }
    void refusals()
    {
        QFETCH(QString, what);
        QFETCH(int, status);
        RunningServer server(*m_db);
        Phone phone(server.port());
        QCOMPARE(phone.signIn("luis", "secret")->status, 200);
        const QJsonObject reading { { "entry", "refused-entry" }, { "room", m_room }, { "temperature", 70 },
            { "humidity", 40 } };
        if (what == "big photo") {
            QCOMPARE(statusOfHead(server.port(),
                         "POST /api/photos HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data; "
                         "boundary=b\r\nContent-Length: 28311552\r\n\r\n"),
                status);
            return;
        }
        const httplib::Result result = [&] {
            if (what == "no token") {
                phone.sendToken = false;
                return phone.send("POST", "/api/readings", reading);
            }
            if (what == "origin") {
                phone.origin = "http://evil.example";
                return phone.send("POST", "/api/readings", reading);
            }
            if (what == "big body") {
                QJsonObject big = reading;
                big.insert("padding", QString(70 * 1024, 'x'));
                return phone.send("POST", "/api/readings", big);
            }
            if (what == "not json")
                return phone.postRaw("/api/readings", "{\"entry\": oops");
            if (what == "bad entry") {
                QJsonObject bad = reading;
                bad.insert("entry", "x'); DROP TABLE WIP;--");
                return phone.send("POST", "/api/readings", bad);
            }
            return phone.get(what.toStdString());
        }();
        QVERIFY(result);
        QCOMPARE(result->status, status);
        QCOMPARE(count("DryingAtmosphere"), 0);
        QCOMPARE(count("JobFile"), 0);
        // Every answer carries the page's protections.
        QVERIFY(
            result->get_header_value("Content-Security-Policy").find("frame-ancestors 'none'") != std::string::npos);
        QCOMPARE(result->get_header_value("X-Content-Type-Options"), std::string("nosniff"));
        QCOMPARE(result->get_header_value("Referrer-Policy"), std::string("no-referrer"));
    }

    // The database gone in the middle of a session: 503 with a message (the
    // phone keeps the entry); once it is back, the same entry is stored once.
    void databaseGone()
    {
        if (m_db->backend() != "postgres")
            QSKIP("A file does not go away; the server does.");
        RunningServer server(*m_db);
        Phone phone(server.port());
        QCOMPARE(phone.signIn("luis", "secret")->status, 200);
        // The database closed to new connections and the server's own cut,
        // from a connection to another database of the same server.
        const QString database = testdb::scalar("SELECT current_database()").toString();
        data::Connection admin;
        admin.open(QString(m_db->connectionString()).replace("Database=" + database, "Database=postgres"), {});
        admin.execScript(QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS false").arg(database));
        admin.exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = ?", { database });
        const QJsonObject reading { { "entry", "during-outage" }, { "room", m_room }, { "temperature", 70 },
            { "humidity", 40 } };
        const httplib::Result refused = phone.send("POST", "/api/readings", reading);
        admin.execScript(QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS true").arg(database));
        m_db->reopen();
        QVERIFY(refused);
        QCOMPARE(refused->status, 503);
        QVERIFY(!objectOf(refused).value("message").toString().isEmpty());
        QCOMPARE(count("DryingAtmosphere"), 0);
        QCOMPARE(phone.send("POST", "/api/readings", reading)->status, 201);
        QCOMPARE(phone.send("POST", "/api/readings", reading)->status, 200);
        QCOMPARE(count("DryingAtmosphere"), 1);
    }

    // The desktop saving and phones entering readings on the same SQLite
    // file at once: every save kept, neither side told the file is locked.
    void desktopAndPhonesAtOnce()
    {
        RunningServer server(*m_db);
        constexpr int kPhones = 4;
        constexpr int kEach = 15;
        // Moisture values read before they write (today's value of the
        // point first), on both sides: the case where two plain BEGINs
        // on one file deadlock and SQLite gives up on one at once.
        QList<qint64> points;
        for (int i = 0; i < kPhones * kEach; ++i) {
            drying::MoisturePoint point;
            point.roomId = m_room;
            point.material = QStringLiteral("Stud %1").arg(i);
            points << std::get<qint64>(drying::savePoint(testdb::connection(), point));
        }
        std::vector<std::unique_ptr<Phone>> phones;
        for (int i = 0; i < kPhones; ++i) {
            phones.push_back(std::make_unique<Phone>(server.port()));
            QCOMPARE(phones.back()->signIn("luis", "secret")->status, 200);
        }
        std::atomic<int> failures { 0 };
        std::vector<std::thread> threads;
        for (int i = 0; i < kPhones; ++i)
            threads.emplace_back([&, i] {
                for (int n = 0; n < kEach; ++n) {
                    const qint64 point = points.at(i * kEach + n);
                    const QJsonObject body { { "entry", QStringLiteral("phone-%1-%2").arg(i).arg(n) },
                        { "room", m_room },
                        { "values", QJsonArray { QJsonObject { { "point", point }, { "value", 20 } } } } };
                    const httplib::Result result = phones[static_cast<size_t>(i)]->send("POST", "/api/moisture", body);
                    if (!result || result->status != 201) {
                        qWarning("phone %d: %s", i, result ? result->body.c_str() : "no answer");
                        ++failures;
                    }
                }
            });
        // The desktop: its own connection, a value a day on the first point.
        data::Connection desktop;
        desktop.open(m_db->connectionString(), m_db->folder());
        int desktopSaved = 0;
        for (int n = 0; n < kEach * 2; ++n) {
            try {
                if (std::holds_alternative<qint64>(drying::saveMoistureReading(
                        desktop, m_point, kNow.date().addDays(-n), 30, QVariant(), data::Stamp { "office", kNow })))
                    ++desktopSaved;
            } catch (const std::exception &e) {
                qWarning("desktop save failed: %s", e.what());
            }
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(failures.load(), 0);
        QCOMPARE(desktopSaved, kEach * 2);
        QCOMPARE(count("MoistureReading"), kPhones * kEach + kEach * 2);
    }
};

QTEST_GUILESS_MAIN(tst_FieldServer)
#include "tst_fieldserver.moc"
