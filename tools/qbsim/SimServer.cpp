#include "SimServer.h"

#include "base/Loopback.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>
#include <cmath>

namespace qbsim {

namespace {

    const QString kApiPrefix = QStringLiteral("/v3/company/");
    // The demo app's registered redirect address (sandbox style).
    const QString kDemoRedirect = QStringLiteral("http://localhost:8765/callback");

    // What the service takes as a redirect address: https anywhere, or plain
    // http to localhost by name (sandbox keys); never an IP address.
    bool registrable(const QUrl &url)
    {
        QHostAddress ip;
        const QString host = url.host();
        if (!url.isValid() || host.isEmpty() || url.hasFragment() || ip.setAddress(host))
            return false;
        return url.scheme() == u"https" || (url.scheme() == u"http" && host == u"localhost");
    }

    QString now()
    {
        return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    }

    qint64 cents(double amount)
    {
        return qint64(std::llround(amount * 100.0));
    }

    QJsonArray findAll(const QJsonArray &rows, const QString &field, const QString &value, bool caseSensitive)
    {
        QJsonArray out;
        for (const QJsonValue &row : rows) {
            const QJsonObject object = row.toObject();
            QJsonValue v = object.value(field);
            if (field == u"CustomerRef")
                v = object.value(QStringLiteral("CustomerRef")).toObject().value(QStringLiteral("value"));
            if (v.toString().compare(value, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0)
                out.append(object);
        }
        return out;
    }

    const char *reason(int status)
    {
        switch (status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
        }
    }

} // namespace

SimServer::SimServer(const QString &dataFile, QObject *parent)
    : QObject(parent)
    , m_dataFile(dataFile)
{
    load();
    connect(&m_server, &QTcpServer::newConnection, this, &SimServer::onConnection);
}

bool SimServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

bool SimServer::writeSettings(const QString &path, QString *error)
{
    QFile file(path);
    if (file.exists()) {
        // A file set up for the real service holds a real secret and company:
        // only one that already points at this computer (an earlier run's) is
        // rewritten. No BaseUrl means the real service too.
        const QSettings existing(path, QSettings::IniFormat);
        const QString base = existing.value(QStringLiteral("Connection/BaseUrl")).toString().trimmed();
        const QString tokenUrl = existing.value(QStringLiteral("Connection/TokenUrl")).toString().trimmed();
        const auto local = [](const QString &url) { return Loopback::isHost(QUrl(url).host()); };
        if (!existing.allKeys().isEmpty() && (!local(base) || (!tokenUrl.isEmpty() && !local(tokenUrl)))) {
            *error = QStringLiteral("%1 is set up for QuickBooks elsewhere than this computer (BaseUrl %2, TokenUrl "
                                    "%3); it is left as it is")
                         .arg(path, base.isEmpty() ? QStringLiteral("not set") : base,
                             tokenUrl.isEmpty() ? QStringLiteral("not set") : tokenUrl);
            return false;
        }
    }
    if (!file.exists() && file.open(QIODevice::WriteOnly))
        file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QSettings settings(path, QSettings::IniFormat);
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port());
    settings.setValue(QStringLiteral("Connection/BaseUrl"), base);
    settings.setValue(QStringLiteral("Connection/RealmId"), m_data.value(QStringLiteral("realm")).toString());
    settings.setValue(QStringLiteral("Connection/ClientId"), m_data.value(QStringLiteral("clientId")).toString());
    settings.setValue(QStringLiteral("Connection/AuthorizeUrl"), base + QStringLiteral("/connect/oauth2"));
    settings.setValue(QStringLiteral("Connection/TokenUrl"), base + QStringLiteral("/oauth2/v1/tokens/bearer"));
    if (settings.value(QStringLiteral("Connection/RedirectUri")).toString().isEmpty())
        settings.setValue(QStringLiteral("Connection/RedirectUri"),
            m_data.value(QStringLiteral("redirectUris")).toArray().at(0).toString(kDemoRedirect));
    settings.setValue(QStringLiteral("Secrets/ClientSecret"), m_data.value(QStringLiteral("clientSecret")).toString());
    if (settings.value(QStringLiteral("Secrets/RefreshToken")).toString().isEmpty()) {
        QJsonObject tokens;
        issueTokens(&tokens);
        save();
        settings.setValue(
            QStringLiteral("Secrets/AccessToken"), tokens.value(QStringLiteral("access_token")).toString());
        settings.setValue(
            QStringLiteral("Secrets/RefreshToken"), tokens.value(QStringLiteral("refresh_token")).toString());
    }
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

// ---- data

void SimServer::reset()
{
    m_data = QJsonObject {
        { QStringLiteral("realm"), QStringLiteral("9130350000000001") },
        { QStringLiteral("clientId"), QStringLiteral("jt-demo-client") },
        { QStringLiteral("clientSecret"), QStringLiteral("jt-demo-secret") },
        { QStringLiteral("nextId"), 1 },
        { QStringLiteral("nextDocNumber"), 1001 },
        { QStringLiteral("customers"), QJsonArray() },
        { QStringLiteral("items"), QJsonArray() },
        { QStringLiteral("invoices"), QJsonArray() },
        { QStringLiteral("accessTokens"), QJsonObject() },
        { QStringLiteral("refreshTokens"), QJsonArray() },
        { QStringLiteral("codes"), QJsonObject() },
        { QStringLiteral("replay"), QJsonObject() },
        { QStringLiteral("redirectUris"), QJsonArray { kDemoRedirect } },
        { QStringLiteral("consent"), QStringLiteral("allow") },
    };
    QJsonArray items;
    for (const char *name : { "Restoration", "Water Mitigation", "Fire Cleanup" })
        items.append(QJsonObject { { QStringLiteral("Id"), newId() },
            { QStringLiteral("Name"), QString::fromLatin1(name) }, { QStringLiteral("Active"), true },
            { QStringLiteral("Type"), QStringLiteral("Service") }, { QStringLiteral("UnitPrice"), 0 } });
    m_data[QStringLiteral("items")] = items;
    m_faults.clear();
    m_log = QJsonArray();
}

void SimServer::load()
{
    reset();
    if (m_dataFile.isEmpty())
        return;
    QFile file(m_dataFile);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (doc.isObject())
        m_data = doc.object();
}

void SimServer::save() const
{
    if (m_dataFile.isEmpty())
        return;
    QSaveFile file(m_dataFile);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(m_data).toJson());
        file.commit();
    }
}

QString SimServer::newId()
{
    const int id = m_data.value(QStringLiteral("nextId")).toInt(1);
    m_data[QStringLiteral("nextId")] = id + 1;
    return QString::number(id);
}

QString SimServer::newToken(const char *prefix)
{
    return QString::fromLatin1(prefix) + QUuid::createUuid().toString(QUuid::Id128);
}

void SimServer::issueTokens(QJsonObject *out)
{
    const QString access = newToken("at-");
    const QString refresh = newToken("rt-");
    QJsonObject accessTokens = m_data.value(QStringLiteral("accessTokens")).toObject();
    accessTokens[access] = double(QDateTime::currentSecsSinceEpoch() + 3600);
    m_data[QStringLiteral("accessTokens")] = accessTokens;
    QJsonArray refreshTokens = m_data.value(QStringLiteral("refreshTokens")).toArray();
    refreshTokens.append(refresh);
    m_data[QStringLiteral("refreshTokens")] = refreshTokens;
    *out = QJsonObject { { QStringLiteral("token_type"), QStringLiteral("bearer") },
        { QStringLiteral("access_token"), access }, { QStringLiteral("expires_in"), 3600 },
        { QStringLiteral("refresh_token"), refresh }, { QStringLiteral("x_refresh_token_expires_in"), 8726400 } };
}

// ---- connections

void SimServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_connections.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_connections.remove(socket);
            socket->deleteLater();
        });
    }
}

void SimServer::onReadyRead(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    it->buffer += socket->readAll();
    // One request at a time per connection; the next waits in the buffer.
    while (!it->busy) {
        const qsizetype headerEnd = it->buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = it->buffer.left(headerEnd).split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        if (first.size() < 2) {
            socket->abort();
            return;
        }
        request.method = first.at(0);
        const QUrl url(QString::fromLatin1(first.at(1)));
        request.path = url.path();
        // A '+' in the query is a space, as web servers read it.
        QUrlQuery query(url.query(QUrl::FullyEncoded).replace(u'+', QStringLiteral("%20")));
        for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded))
            request.query.insert(key, value);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines.at(i).indexOf(':');
            if (colon > 0)
                request.headers.insert(
                    lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (it->buffer.size() < headerEnd + 4 + length)
            return;
        request.body = it->buffer.mid(headerEnd + 4, length);
        it->buffer.remove(0, headerEnd + 4 + length);
        it->busy = true;
        handle(socket, request);
        it = m_connections.find(socket);
        if (it == m_connections.end())
            return;
    }
}

void SimServer::handle(QTcpSocket *socket, const Request &request)
{
    const QString resource = resourceOf(request.path);
    const bool isControl = request.path.startsWith(QStringLiteral("/_sim/"));
    int delay = 0;
    if (!isControl) {
        if (const Fault *f = takeFault(request.method, resource, true))
            delay = f->delayMs;
    }
    auto respond = [this, socket = QPointer<QTcpSocket>(socket), request] {
        // The work is done even when the client has given up waiting.
        bool drop = false;
        const Response response = dispatch(request, &drop);
        if (!socket || !m_connections.contains(socket))
            return;
        if (drop) {
            socket->abort();
            return;
        }
        send(socket, response);
        auto it = m_connections.find(socket);
        if (it != m_connections.end()) {
            it->busy = false;
            if (!it->buffer.isEmpty())
                QTimer::singleShot(0, this, [this, socket] {
                    if (m_connections.contains(socket))
                        onReadyRead(socket);
                });
        }
    };
    if (delay > 0)
        QTimer::singleShot(delay, this, respond);
    else
        respond();
}

void SimServer::send(QTcpSocket *socket, const Response &response, bool close)
{
    const bool cut = response.cutAt >= 0;
    close = close || cut;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status) + "\r\n";
    if (!response.contentType.isEmpty())
        out += "Content-Type: " + response.contentType + "\r\n";
    for (const auto &[name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    if (!cut || response.declareWhole)
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    out += close ? "Connection: close\r\n\r\n" : "\r\n";
    out += cut ? response.body.left(response.cutAt) : response.body;
    socket->write(out);
    // What was written goes out first, then the connection closes.
    if (close)
        socket->disconnectFromHost();
}

// ---- routing

QString SimServer::resourceOf(const QString &path) const
{
    if (path.startsWith(kApiPrefix)) {
        const QStringList parts = path.mid(kApiPrefix.size()).split(u'/');
        return parts.value(1).toLower();
    }
    if (path.startsWith(QStringLiteral("/oauth2/")))
        return QStringLiteral("tokens");
    if (path.startsWith(QStringLiteral("/connect/")))
        return QStringLiteral("connect");
    return path;
}

const Fault *SimServer::takeFault(const QByteArray &method, const QString &resource, bool delay)
{
    for (qsizetype i = 0; i < m_faults.size(); ++i) {
        Fault &f = m_faults[i];
        if ((!f.method.isEmpty() && f.method != method) || (f.resource != u"*" && f.resource != resource)
            || (f.kind == u"delay") != delay)
            continue;
        if (f.skip > 0) {
            --f.skip;
            continue;
        }
        static Fault taken;
        taken = f;
        if (f.count > 0 && --f.count == 0)
            m_faults.removeAt(i);
        return &taken;
    }
    return nullptr;
}

Response SimServer::dispatch(const Request &request, bool *drop)
{
    if (request.path.startsWith(QStringLiteral("/_sim/"))) {
        // Only a request addressed to this computer by name steers the
        // simulator: a web page that a rebound DNS name points here sends
        // its own host name.
        if (!Loopback::isHostHeader(request.headers.value("host")))
            return json(403, { { QStringLiteral("error"), QStringLiteral("not addressed to this computer") } });
        return control(request);
    }

    const QString resource = resourceOf(request.path);
    QJsonObject entry { { QStringLiteral("method"), QString::fromLatin1(request.method) },
        { QStringLiteral("path"), request.path }, { QStringLiteral("resource"), resource },
        { QStringLiteral("requestid"), request.query.value(QStringLiteral("requestid")) },
        { QStringLiteral("minorversion"), request.query.value(QStringLiteral("minorversion")) },
        { QStringLiteral("query"), request.query.value(QStringLiteral("query")) },
        { QStringLiteral("authorization"), QString::fromLatin1(request.headers.value("authorization")) },
        { QStringLiteral("body"), QString::fromUtf8(request.body) } };

    Response response;
    const Fault *f = takeFault(request.method, resource, false);
    if (f && f->kind == u"status") {
        response = fault(f->status, QStringLiteral("10000"), QStringLiteral("An application error has occurred"),
            QStringLiteral("Injected server error"), QStringLiteral("SystemFault"));
    } else if (f && f->kind == u"throttle") {
        response = throttled(*f);
    } else if (f && f->kind == u"unauthorized") {
        response = unauthorized();
    } else if (request.path == u"/connect/oauth2") {
        response = authorize(request);
    } else if (request.path == u"/oauth2/v1/tokens/bearer" && request.method == "POST") {
        response = token(request);
    } else if (request.path.startsWith(kApiPrefix)) {
        const QStringList parts = request.path.mid(kApiPrefix.size()).split(u'/');
        response = api(request, resource, parts.mid(2).join(u'/'));
    } else {
        response = json(404, { { QStringLiteral("error"), QStringLiteral("not found") } });
    }
    if (f && f->kind == u"drop")
        *drop = true;
    if (f && f->kind == u"cut") {
        // Half-way through, where no JSON reader can take it for whole.
        response.cutAt = response.body.size() / 2;
        response.declareWhole = f->declared;
    }
    if (f && f->kind == u"answer")
        response.body = f->body;
    entry[QStringLiteral("status")] = response.status;
    entry[QStringLiteral("dropped")] = *drop;
    entry[QStringLiteral("fault")] = f ? f->kind : QString();
    m_log.append(entry);
    save();
    return response;
}

Response SimServer::control(const Request &request)
{
    const QString what = request.path.mid(6);
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    if (what == u"reset") {
        reset();
        save();
        return json(200, {});
    }
    if (what == u"state") {
        QJsonObject state = m_data;
        state[QStringLiteral("log")] = m_log;
        return json(200, state);
    }
    if (what == u"fault") {
        Fault f;
        f.method = body.value(QStringLiteral("method")).toString().toLatin1();
        f.resource = body.value(QStringLiteral("resource")).toString(QStringLiteral("*"));
        f.kind = body.value(QStringLiteral("kind")).toString();
        f.count = body.value(QStringLiteral("count")).toInt(1);
        f.skip = body.value(QStringLiteral("skip")).toInt(0);
        f.delayMs = body.value(QStringLiteral("delayMs")).toInt();
        f.status = body.value(QStringLiteral("status")).toInt(500);
        f.retryAfter = body.value(QStringLiteral("retryAfter")).toInt(-1);
        f.xml = body.value(QStringLiteral("xml")).toBool();
        f.declared = body.value(QStringLiteral("declared")).toBool(true);
        f.body = body.value(QStringLiteral("body")).toString().toUtf8();
        m_faults.append(f);
        return json(200, {});
    }
    if (what == u"redirect-uris") {
        // The addresses registered for the app, as on its developer page.
        QJsonArray uris;
        for (const QJsonValue &v : body.value(QStringLiteral("uris")).toArray()) {
            if (!registrable(QUrl(v.toString(), QUrl::StrictMode)))
                return json(400,
                    { { QStringLiteral("error"),
                        QString(QStringLiteral("not a redirect address: ") + v.toString()) } });
            uris.append(v);
        }
        m_data[QStringLiteral("redirectUris")] = uris;
        save();
        return json(200, {});
    }
    if (what == u"consent") {
        m_data[QStringLiteral("consent")] = body.value(QStringLiteral("answer")).toString(QStringLiteral("allow"));
        save();
        return json(200, {});
    }
    if (what == u"clear-faults") {
        m_faults.clear();
        return json(200, {});
    }
    if (what == u"expire-tokens") {
        QJsonObject tokens = m_data.value(QStringLiteral("accessTokens")).toObject();
        for (auto it = tokens.begin(); it != tokens.end(); ++it)
            it.value() = 0;
        m_data[QStringLiteral("accessTokens")] = tokens;
        save();
        return json(200, {});
    }
    if (what == u"tokens") {
        QJsonObject out;
        issueTokens(&out);
        save();
        return json(200, out);
    }
    if (what == u"seed") {
        QJsonObject ids;
        for (const QString &kind :
            { QStringLiteral("customers"), QStringLiteral("items"), QStringLiteral("invoices") }) {
            QJsonArray rows = m_data.value(kind).toArray();
            QJsonArray added;
            for (const QJsonValue &v : body.value(kind).toArray()) {
                QJsonObject row = v.toObject();
                row[QStringLiteral("Id")] = newId();
                if (!row.contains(QStringLiteral("Active")))
                    row[QStringLiteral("Active")] = true;
                if (kind == u"invoices" && !row.contains(QStringLiteral("DocNumber"))) {
                    const int doc = m_data.value(QStringLiteral("nextDocNumber")).toInt();
                    m_data[QStringLiteral("nextDocNumber")] = doc + 1;
                    row[QStringLiteral("DocNumber")] = QString::number(doc);
                }
                rows.append(row);
                added.append(row.value(QStringLiteral("Id")));
            }
            m_data[kind] = rows;
            ids[kind] = added;
        }
        save();
        return json(200, ids);
    }
    return json(404, { { QStringLiteral("error"), QStringLiteral("unknown control") } });
}

// ---- OAuth 2.0

Response SimServer::authorize(const Request &request)
{
    // Consent is given (or refused, as set) at once: straight back to the
    // application, but only to an address registered for it, exactly.
    const QString redirect = request.query.value(QStringLiteral("redirect_uri"));
    const QJsonArray registered = m_data.value(QStringLiteral("redirectUris")).toArray(QJsonArray { kDemoRedirect });
    if (request.query.value(QStringLiteral("client_id")) != m_data.value(QStringLiteral("clientId")).toString()
        || request.query.value(QStringLiteral("response_type")) != u"code")
        return json(400, { { QStringLiteral("error"), QStringLiteral("invalid_request") } });
    if (!registered.contains(redirect))
        return json(400,
            { { QStringLiteral("error"), QStringLiteral("invalid_request") },
                { QStringLiteral("error_description"),
                    QString(QStringLiteral("The redirect_uri is not registered for this app: ") + redirect) } });
    QUrl target(redirect);
    QUrlQuery query(target);
    if (m_data.value(QStringLiteral("consent")).toString() == u"deny") {
        query.addQueryItem(QStringLiteral("error"), QStringLiteral("access_denied"));
        query.addQueryItem(QStringLiteral("state"), request.query.value(QStringLiteral("state")));
    } else {
        const QString code = newToken("code-");
        QJsonObject codes = m_data.value(QStringLiteral("codes")).toObject();
        codes[code] = redirect;
        m_data[QStringLiteral("codes")] = codes;
        query.addQueryItem(QStringLiteral("code"), code);
        query.addQueryItem(QStringLiteral("state"), request.query.value(QStringLiteral("state")));
        query.addQueryItem(QStringLiteral("realmId"), m_data.value(QStringLiteral("realm")).toString());
    }
    target.setQuery(query);
    Response response;
    response.status = 302;
    response.contentType = "text/html";
    response.headers.append(qMakePair(QByteArray("Location"), target.toEncoded()));
    return response;
}

Response SimServer::token(const Request &request)
{
    QUrlQuery form(QString::fromUtf8(request.body));
    auto value = [&](const char *key) { return form.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded); };
    QString clientId = value("client_id");
    QString secret = value("client_secret");
    const QByteArray auth = request.headers.value("authorization");
    if (auth.startsWith("Basic ")) {
        // One way of authenticating per request (RFC 6749, 2.3 and 5.2).
        if (form.hasQueryItem(QStringLiteral("client_secret")))
            return json(400, { { QStringLiteral("error"), QStringLiteral("invalid_request") } });
        const QList<QByteArray> pair = QByteArray::fromBase64(auth.mid(6)).split(':');
        clientId = QString::fromUtf8(pair.value(0));
        secret = QString::fromUtf8(pair.value(1));
    }
    if (clientId != m_data.value(QStringLiteral("clientId")).toString()
        || secret != m_data.value(QStringLiteral("clientSecret")).toString())
        return json(401, { { QStringLiteral("error"), QStringLiteral("invalid_client") } });

    const QJsonObject invalidGrant { { QStringLiteral("error"), QStringLiteral("invalid_grant") } };
    const QString grant = value("grant_type");
    if (grant == u"authorization_code") {
        QJsonObject codes = m_data.value(QStringLiteral("codes")).toObject();
        const QString code = value("code");
        if (!codes.contains(code) || codes.value(code).toString() != value("redirect_uri"))
            return json(400, invalidGrant);
        codes.remove(code); // a code is good once
        m_data[QStringLiteral("codes")] = codes;
    } else if (grant == u"refresh_token") {
        // Refresh tokens rotate: the one presented is spent, a new one issued.
        QJsonArray tokens = m_data.value(QStringLiteral("refreshTokens")).toArray();
        const QString presented = value("refresh_token");
        qsizetype found = -1;
        for (qsizetype i = 0; i < tokens.size(); ++i)
            if (tokens.at(i).toString() == presented)
                found = i;
        if (found < 0)
            return json(400, invalidGrant);
        tokens.removeAt(found);
        m_data[QStringLiteral("refreshTokens")] = tokens;
    } else {
        return json(400, { { QStringLiteral("error"), QStringLiteral("unsupported_grant_type") } });
    }
    QJsonObject out;
    issueTokens(&out);
    return json(200, out);
}

// ---- the accounting API

Response SimServer::api(const Request &request, const QString &resource, const QString &rest)
{
    const QByteArray auth = request.headers.value("authorization");
    const QJsonObject accessTokens = m_data.value(QStringLiteral("accessTokens")).toObject();
    const QString bearer = auth.startsWith("Bearer ") ? QString::fromLatin1(auth.mid(7)) : QString();
    if (bearer.isEmpty() || !accessTokens.contains(bearer)
        || accessTokens.value(bearer).toDouble() < double(QDateTime::currentSecsSinceEpoch()))
        return unauthorized();
    const QString realm = request.path.mid(kApiPrefix.size()).section(u'/', 0, 0);
    if (realm != m_data.value(QStringLiteral("realm")).toString())
        return fault(403, QStringLiteral("3100"), QStringLiteral("ApplicationAuthorizationFailed"),
            QStringLiteral("The company is not connected to this application"), QStringLiteral("AUTHENTICATION"));

    // A repeated requestid gets the first answer again, whatever it was.
    const QString requestId = request.query.value(QStringLiteral("requestid"));
    QJsonObject replay = m_data.value(QStringLiteral("replay")).toObject();
    if (request.method == "POST" && !requestId.isEmpty() && replay.contains(requestId)) {
        const QJsonObject first = replay.value(requestId).toObject();
        Response again;
        again.status = first.value(QStringLiteral("status")).toInt();
        again.body = first.value(QStringLiteral("body")).toString().toUtf8();
        return again;
    }

    Response response;
    if (resource == u"query" && request.method == "GET") {
        response = query(request.query.value(QStringLiteral("query")));
    } else if (resource == u"query" && request.method == "POST") {
        response = query(QString::fromUtf8(request.body));
    } else if (resource == u"customer" && request.method == "POST" && rest.isEmpty()) {
        response = createCustomer(QJsonDocument::fromJson(request.body).object());
    } else if (resource == u"invoice" && request.method == "POST" && rest.isEmpty()) {
        response = createInvoice(QJsonDocument::fromJson(request.body).object());
    } else if (resource == u"invoice" && request.method == "GET" && !rest.isEmpty()) {
        response = readInvoice(rest);
    } else {
        response = fault(400, QStringLiteral("4001"), QStringLiteral("Unsupported Operation"),
            QStringLiteral("Operation not supported by this server"));
    }
    if (request.method == "POST" && !requestId.isEmpty()) {
        replay[requestId] = QJsonObject { { QStringLiteral("status"), response.status },
            { QStringLiteral("body"), QString::fromUtf8(response.body) } };
        m_data[QStringLiteral("replay")] = replay;
    }
    return response;
}

Response SimServer::query(const QString &text)
{
    // SELECT * FROM Entity [WHERE Field = 'value'] [STARTPOSITION n] [MAXRESULTS n],
    // with \' for a quote inside the value.
    static const QRegularExpression grammar(
        QStringLiteral("^\\s*SELECT\\s+\\*\\s+FROM\\s+(\\w+)"
                       "(?:\\s+WHERE\\s+([\\w.]+)\\s*=\\s*'((?:\\\\.|[^'\\\\])*)')?"
                       "(?:\\s+STARTPOSITION\\s+(\\d+))?(?:\\s+MAXRESULTS\\s+(\\d+))?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = grammar.match(text);
    const QString entity = m.captured(1).toLower();
    if (!m.hasMatch() || (entity != u"customer" && entity != u"item" && entity != u"invoice"))
        return fault(400, QStringLiteral("4000"), QStringLiteral("Error parsing query"),
            QStringLiteral("QueryParserError: Encountered an unexpected token in: ") + text);
    QString field = m.captured(2);
    QString value = m.captured(3);
    value.replace(QStringLiteral("\\'"), QStringLiteral("'"));
    value.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    const QString key = entity == u"customer" ? QStringLiteral("customers")
        : entity == u"item"                   ? QStringLiteral("items")
                                              : QStringLiteral("invoices");
    QJsonArray rows = m_data.value(key).toArray();
    if (!field.isEmpty()) {
        static const QStringList filterable { QStringLiteral("DisplayName"), QStringLiteral("Name"),
            QStringLiteral("Id"), QStringLiteral("CustomerRef"), QStringLiteral("DocNumber") };
        if (!filterable.contains(field))
            return fault(400, QStringLiteral("4001"), QStringLiteral("Invalid query"),
                QStringLiteral("QueryValidationError: property '%1' is not queryable").arg(field));
        // Names match without regard to case, as the service does.
        rows = findAll(rows, field, value, field != u"DisplayName" && field != u"Name");
    }
    // Lists leave inactive names out unless asked for.
    if (entity != u"invoice") {
        QJsonArray active;
        for (const QJsonValue &v : rows)
            if (v.toObject().value(QStringLiteral("Active")).toBool(true))
                active.append(v);
        rows = active;
    }
    const int start = std::max(1, m.captured(4).isEmpty() ? 1 : m.captured(4).toInt());
    const int max = m.captured(5).isEmpty() ? 100 : std::min(1000, m.captured(5).toInt());
    QJsonArray page;
    for (int i = start - 1; i < rows.size() && page.size() < max; ++i)
        page.append(rows.at(i));
    QJsonObject result;
    if (!page.isEmpty()) {
        const QString name = entity == u"customer" ? QStringLiteral("Customer")
            : entity == u"item"                    ? QStringLiteral("Item")
                                                   : QStringLiteral("Invoice");
        result[name] = page;
        result[QStringLiteral("startPosition")] = start;
        result[QStringLiteral("maxResults")] = int(page.size());
    }
    return json(200, { { QStringLiteral("QueryResponse"), result }, { QStringLiteral("time"), now() } });
}

Response SimServer::createCustomer(const QJsonObject &body)
{
    const QString name = body.value(QStringLiteral("DisplayName")).toString().trimmed();
    if (name.isEmpty())
        return fault(400, QStringLiteral("6000"), QStringLiteral("A business validation error has occurred"),
            QStringLiteral("Business Validation Error: DisplayName is required"));
    QJsonArray customers = m_data.value(QStringLiteral("customers")).toArray();
    // Inactive namesakes count too.
    if (!findAll(customers, QStringLiteral("DisplayName"), name, false).isEmpty())
        return fault(400, QStringLiteral("6240"), QStringLiteral("Duplicate Name Exists Error"),
            QStringLiteral("The name supplied already exists. : Another customer, vendor or employee is already "
                           "using this name. Please use a different name."));
    QJsonObject customer = body;
    customer[QStringLiteral("Id")] = newId();
    customer[QStringLiteral("SyncToken")] = QStringLiteral("0");
    customer[QStringLiteral("Active")] = true;
    customer[QStringLiteral("DisplayName")] = name;
    customer[QStringLiteral("MetaData")] = QJsonObject { { QStringLiteral("CreateTime"), now() } };
    customers.append(customer);
    m_data[QStringLiteral("customers")] = customers;
    return json(200, { { QStringLiteral("Customer"), customer }, { QStringLiteral("time"), now() } });
}

Response SimServer::createInvoice(const QJsonObject &body)
{
    const QString customerId
        = body.value(QStringLiteral("CustomerRef")).toObject().value(QStringLiteral("value")).toString();
    const QJsonArray customers
        = findAll(m_data.value(QStringLiteral("customers")).toArray(), QStringLiteral("Id"), customerId, true);
    if (customers.isEmpty())
        return fault(400, QStringLiteral("2500"), QStringLiteral("Invalid Reference Id"),
            QStringLiteral("Invalid Reference Id : Customer assigned to this transaction has been deleted."));
    const QJsonArray lines = body.value(QStringLiteral("Line")).toArray();
    if (lines.isEmpty())
        return fault(400, QStringLiteral("6000"), QStringLiteral("A business validation error has occurred"),
            QStringLiteral("Business Validation Error: You must fill out at least one split line."));
    double total = 0;
    QJsonArray stored;
    int lineNumber = 1;
    for (const QJsonValue &v : lines) {
        QJsonObject line = v.toObject();
        const QJsonObject detail = line.value(QStringLiteral("SalesItemLineDetail")).toObject();
        const QString itemId
            = detail.value(QStringLiteral("ItemRef")).toObject().value(QStringLiteral("value")).toString();
        if (findAll(m_data.value(QStringLiteral("items")).toArray(), QStringLiteral("Id"), itemId, true).isEmpty())
            return fault(400, QStringLiteral("2500"), QStringLiteral("Invalid Reference Id"),
                QStringLiteral("Invalid Reference Id : Item assigned to this transaction has been deleted."));
        const double amount = line.value(QStringLiteral("Amount")).toDouble();
        const double qty = detail.value(QStringLiteral("Qty")).toDouble(1);
        const double price = detail.value(QStringLiteral("UnitPrice")).toDouble(amount);
        if (cents(amount) != cents(qty * price))
            return fault(400, QStringLiteral("6070"), QStringLiteral("Amount calculation incorrect"),
                QStringLiteral("Bad line amount: Amount is not equal to UnitPrice * Qty. Supplied value:%1")
                    .arg(amount));
        line[QStringLiteral("Id")] = QString::number(lineNumber);
        line[QStringLiteral("LineNum")] = lineNumber++;
        stored.append(line);
        total += amount;
    }
    QJsonObject invoice = body;
    invoice[QStringLiteral("Line")] = stored;
    invoice[QStringLiteral("Id")] = newId();
    invoice[QStringLiteral("SyncToken")] = QStringLiteral("0");
    if (invoice.value(QStringLiteral("DocNumber")).toString().isEmpty()) {
        const int doc = m_data.value(QStringLiteral("nextDocNumber")).toInt(1001);
        m_data[QStringLiteral("nextDocNumber")] = doc + 1;
        invoice[QStringLiteral("DocNumber")] = QString::number(doc);
    }
    if (!invoice.contains(QStringLiteral("TxnDate")))
        invoice[QStringLiteral("TxnDate")] = QDate::currentDate().toString(Qt::ISODate);
    invoice[QStringLiteral("TotalAmt")] = double(cents(total)) / 100.0;
    invoice[QStringLiteral("Balance")] = double(cents(total)) / 100.0;
    invoice[QStringLiteral("MetaData")] = QJsonObject { { QStringLiteral("CreateTime"), now() } };
    QJsonArray invoices = m_data.value(QStringLiteral("invoices")).toArray();
    invoices.append(invoice);
    m_data[QStringLiteral("invoices")] = invoices;
    return json(200, { { QStringLiteral("Invoice"), invoice }, { QStringLiteral("time"), now() } });
}

Response SimServer::readInvoice(const QString &id)
{
    const QJsonArray found
        = findAll(m_data.value(QStringLiteral("invoices")).toArray(), QStringLiteral("Id"), id, true);
    if (found.isEmpty())
        return fault(400, QStringLiteral("610"), QStringLiteral("Object Not Found"),
            QStringLiteral("Object Not Found : Something you're trying to use has been made inactive. Check the "
                           "fields with accounts, customers, items, vendors or employees."));
    return json(200, { { QStringLiteral("Invoice"), found.first() }, { QStringLiteral("time"), now() } });
}

// ---- answers

Response SimServer::json(int status, const QJsonObject &object)
{
    Response response;
    response.status = status;
    response.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return response;
}

Response SimServer::fault(
    int status, const QString &code, const QString &message, const QString &detail, const QString &type) const
{
    const QJsonObject error { { QStringLiteral("Message"), message }, { QStringLiteral("Detail"), detail },
        { QStringLiteral("code"), code }, { QStringLiteral("element"), QString() } };
    return json(status,
        { { QStringLiteral("Fault"),
              QJsonObject { { QStringLiteral("Error"), QJsonArray { error } }, { QStringLiteral("type"), type } } },
            { QStringLiteral("time"), now() } });
}

Response SimServer::unauthorized() const
{
    // The gateway answers an expired or unknown token in its own lowercase shape.
    const QJsonObject error { { QStringLiteral("message"),
                                  QStringLiteral("message=AuthenticationFailed; errorCode=003200; statusCode=401") },
        { QStringLiteral("detail"), QStringLiteral("Token expired") },
        { QStringLiteral("code"), QStringLiteral("3200") }, { QStringLiteral("element"), QJsonValue::Null } };
    Response response = json(401,
        { { QStringLiteral("warnings"), QJsonValue::Null }, { QStringLiteral("intuitObject"), QJsonValue::Null },
            { QStringLiteral("fault"),
                QJsonObject { { QStringLiteral("error"), QJsonArray { error } },
                    { QStringLiteral("type"), QStringLiteral("AUTHENTICATION") } } },
            { QStringLiteral("report"), QJsonValue::Null }, { QStringLiteral("requestId"), QJsonValue::Null },
            { QStringLiteral("time"), double(QDateTime::currentMSecsSinceEpoch()) },
            { QStringLiteral("status"), QJsonValue::Null } });
    response.headers.append(
        qMakePair(QByteArray("WWW-Authenticate"), QByteArray("Bearer realm=\"Intuit\", error=\"invalid_token\"")));
    return response;
}

Response SimServer::throttled(const Fault &f) const
{
    Response response;
    if (f.xml) {
        response.contentType = "application/xml";
        response.body = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                        "<IntuitResponse time=\""
            + now().toLatin1()
            + "\"><Fault type=\"SERVICE\">"
              "<Error code=\"3001\"><Message>message=ThrottleExceeded; errorCode=003001; "
              "statusCode=429</Message><Detail>The request limit was reached.</Detail></Error>"
              "</Fault></IntuitResponse>";
    } else {
        response = fault(429, QStringLiteral("3001"),
            QStringLiteral("message=ThrottleExceeded; errorCode=003001; statusCode=429"),
            QStringLiteral("The request limit was reached."), QStringLiteral("SERVICE"));
    }
    response.status = 429;
    if (f.retryAfter >= 0)
        response.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray::number(f.retryAfter)));
    return response;
}

} // namespace qbsim
