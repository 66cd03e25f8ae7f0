#include "quickbooks/SignIn.h"

#include "base/Loopback.h"
#include "quickbooks/Accounting.h"

#include <QHostInfo>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

namespace qb {

namespace {

    // A request line and headers, no more: the answer rides in the query.
    constexpr qsizetype kMaxRequest = 16 * 1024;
    // Where the hosted forwarding page sends the browser back to.
    const QString kForwardPath = QStringLiteral("/callback");

    [[noreturn]] void refuse(const QString &message)
    {
        throw AccountingError(AccountingError::Kind::NotConnected, 0, message);
    }

    // RFC 6749 10.10: a state nobody else can guess (128 random bits).
    QString newState()
    {
        quint32 words[4];
        QRandomGenerator::system()->fillRange(words);
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex());
    }

    int portOf(const QUrl &url)
    {
        return url.port(url.scheme() == u"https" ? 443 : 80);
    }

    bool sameEndpoint(const QUrl &a, const QUrl &b)
    {
        return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0
            && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && portOf(a) == portOf(b)
            && (a.path().isEmpty() ? QStringLiteral("/") : a.path())
            == (b.path().isEmpty() ? QStringLiteral("/") : b.path());
    }

    QUrlQuery queryOf(QString query)
    {
        // A '+' in a query is a space, as web servers read it.
        return QUrlQuery(query.replace(u'+', QStringLiteral("%20")));
    }

} // namespace

SignIn::SignIn(const ConnectionSettings &settings, QObject *parent)
    : QObject(parent)
    , m_authorizeUrl(settings.authorizeUrl)
    , m_clientId(settings.clientId)
    , m_scope(settings.scope)
    , m_state(newState())
{
    m_configured = !settings.redirectUri.isEmpty();
    if (!m_configured) {
        // No address registered: any loopback port, which the app must then
        // have registered as it is.
        listen(quint16(settings.redirectPort), QStringLiteral("127.0.0.1"));
        m_redirectUri = QStringLiteral("http://127.0.0.1:%1/").arg(m_servers.first()->serverPort());
        m_registered = QUrl(m_redirectUri);
        m_listenPath = QStringLiteral("/");
        return;
    }
    m_redirectUri = settings.redirectUri;
    m_registered = QUrl(m_redirectUri, QUrl::StrictMode);
    const QString scheme = m_registered.scheme().toLower();
    const QString shape = QStringLiteral("The QuickBooks setting RedirectUri (%1) must be the redirect address "
                                         "registered for the app: https://..., or http://localhost:PORT/PATH")
                              .arg(m_redirectUri);
    if (!m_registered.isValid() || m_registered.host().isEmpty() || m_registered.hasFragment())
        refuse(shape);
    if (scheme == u"http") {
        if (!Loopback::isHost(m_registered.host()) || m_registered.port() <= 0)
            refuse(shape);
        listen(quint16(m_registered.port()), m_registered.host());
        m_listenPath = m_registered.path().isEmpty() ? QStringLiteral("/") : m_registered.path();
    } else if (scheme == u"https") {
        // The hosted page forwards the answer here; without a port the
        // address is pasted.
        if (settings.redirectPort > 0) {
            listen(quint16(settings.redirectPort), QStringLiteral("localhost"));
            m_listenPath = kForwardPath;
        }
    } else {
        refuse(shape);
    }
}

SignIn::~SignIn()
{
    if (m_waiting)
        reply(m_waiting, 200, QStringLiteral("Not connected"),
            QStringLiteral("Job Tracker stopped waiting for this sign-in. Nothing was connected."));
}

QList<QHostAddress> SignIn::loopbackAddresses(const QString &host)
{
    QString name = host.toLower();
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    if (name.endsWith(u'.'))
        name.chop(1);
    const QHostAddress literal(name);
    if (!literal.isNull())
        return { literal };
    // A browser takes localhost as either address (Chrome as ::1 first),
    // whatever this computer's resolver says; both are listened on, with
    // any other loopback address the resolver gives.
    QList<QHostAddress> addresses { QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6) };
    for (const QHostAddress &address : QHostInfo::fromName(QStringLiteral("localhost")).addresses()) {
        if (address.isLoopback() && !addresses.contains(address))
            addresses << address;
    }
    return addresses;
}

void SignIn::listen(quint16 port, const QString &host)
{
    const auto shown = [](const QHostAddress &address) {
        return address.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + address.toString() + u']'
                                                                   : address.toString();
    };
    // Every address must be ours: a port someone else holds on one of them
    // would receive the code, the state and the company.
    for (const QHostAddress &address : loopbackAddresses(host)) {
        auto *server = new QTcpServer(this);
        if (server->listen(address, port)) {
            port = server->serverPort();
            m_servers << server;
            continue;
        }
        const QAbstractSocket::SocketError error = server->serverError();
        const QString why = server->errorString();
        delete server;
        // An address this computer does not have (no IPv6): nobody can
        // listen there either.
        if (error == QAbstractSocket::SocketAddressNotAvailableError
            || error == QAbstractSocket::UnsupportedSocketOperationError)
            continue;
        qDeleteAll(m_servers);
        m_servers.clear();
        if (error == QAbstractSocket::AddressInUseError)
            refuse(QStringLiteral("The sign-in was not started: port %1 of this computer is taken on %2 by another "
                                  "program, which would receive the sign-in's answer. Close that program, or "
                                  "register another port, and connect again.")
                       .arg(port)
                       .arg(shown(address)));
        refuse(QStringLiteral("Cannot receive the sign-in on port %1 of this computer (%2): %3")
                   .arg(port)
                   .arg(shown(address), why));
    }
    if (m_servers.isEmpty())
        refuse(QStringLiteral("Cannot receive the sign-in on port %1 of this computer: %2 is not an address of it.")
                   .arg(port)
                   .arg(host));
    for (QTcpServer *s : std::as_const(m_servers))
        connect(s, &QTcpServer::newConnection, this, [this, s] { onConnection(s); });
}

QUrl SignIn::consentUrl() const
{
    const std::pair<const char *, QString> items[]
        = { { "client_id", m_clientId }, { "response_type", QStringLiteral("code") }, { "scope", m_scope },
              { "redirect_uri", m_redirectUri }, { "state", m_state } };
    QByteArray query = m_authorizeUrl.query(QUrl::FullyEncoded).toLatin1();
    for (const auto &[key, value] : items)
        query += (query.isEmpty() ? "" : "&") + QByteArray(key) + '=' + QUrl::toPercentEncoding(value);
    QUrl url = m_authorizeUrl;
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

QString SignIn::listeningAt() const
{
    if (m_servers.isEmpty())
        return {};
    const QString host = m_configured ? m_registered.host() : QStringLiteral("127.0.0.1");
    QString shown = m_registered.scheme() == u"https" ? QStringLiteral("localhost") : host;
    if (shown.contains(u':'))
        shown = u'[' + shown + u']';
    return QStringLiteral("http://%1:%2%3").arg(shown).arg(m_servers.first()->serverPort()).arg(m_listenPath);
}

SignIn::Verdict SignIn::consider(const QString &query, SignInAnswer *answer) const
{
    const QUrlQuery items = queryOf(query);
    if (items.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded) != m_state)
        return Verdict::WrongState;
    if (m_answered)
        return Verdict::AlreadyAnswered;
    const auto value
        = [&](const char *key) { return items.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded).trimmed(); };
    answer->realmId = value("realmId");
    answer->code = value("code");
    answer->error = value("error");
    if (!answer->error.isEmpty()) {
        answer->kind = answer->error == u"access_denied" ? SignInAnswer::Kind::Refused : SignInAnswer::Kind::Failed;
        const QString description = value("error_description");
        if (!description.isEmpty())
            answer->error += QStringLiteral(": ") + description;
        answer->code.clear();
    } else if (answer->code.isEmpty()) {
        answer->kind = SignInAnswer::Kind::Failed;
        answer->error = QStringLiteral("the answer carried no code");
    } else {
        answer->kind = SignInAnswer::Kind::Code;
    }
    return Verdict::Taken;
}

QString SignIn::takePasted(const QString &address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || !url.hasQuery())
        return QStringLiteral("Paste the whole address from the browser's address bar, the part after the \"?\" "
                              "included.");
    const QString listener = listeningAt();
    if (!sameEndpoint(url, m_registered) && (listener.isEmpty() || !sameEndpoint(url, QUrl(listener))))
        return QStringLiteral("That is not the address the sign-in returns to (%1).").arg(m_redirectUri);
    SignInAnswer answer;
    switch (consider(url.query(QUrl::FullyEncoded), &answer)) {
    case Verdict::Taken:
        break;
    case Verdict::AlreadyAnswered:
        return QStringLiteral("This sign-in has been answered already.");
    case Verdict::WrongState:
        return QStringLiteral("That address belongs to a sign-in that was not started here, or to an earlier one. "
                              "Nothing was changed.");
    }
    m_answered = true;
    emit answered(answer);
    return {};
}

void SignIn::finish(bool connected, const QString &detail)
{
    if (!m_waiting)
        return;
    if (connected)
        reply(m_waiting, 200, QStringLiteral("Connected"),
            QStringLiteral("Job Tracker is connected to QuickBooks. You may close this page."));
    else
        reply(m_waiting, 200, QStringLiteral("Not connected"),
            QStringLiteral("Job Tracker could not connect to QuickBooks: %1").arg(detail));
    m_waiting.clear();
}

// ---- the loopback listener

void SignIn::onConnection(QTcpServer *server)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void SignIn::onReadyRead(QTcpSocket *socket)
{
    if (socket == m_waiting || socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    if (buffer.size() > kMaxRequest) {
        socket->abort();
        return;
    }
    if (!buffer.contains("\r\n\r\n") && !buffer.contains("\n\n")) {
        socket->setProperty("buffer", buffer);
        return;
    }
    socket->setProperty("answered", true);
    const QList<QByteArray> first = buffer.left(buffer.indexOf('\n')).trimmed().split(' ');
    const QUrl target(QString::fromLatin1(first.value(1)));
    SignInAnswer answer;
    const QString path = target.path().isEmpty() ? QStringLiteral("/") : target.path();
    if (first.value(0) != "GET" || first.size() != 3 || path != m_listenPath) {
        reply(socket, 404, QStringLiteral("Not found"), QStringLiteral("There is nothing here."));
        return;
    }
    switch (consider(target.query(QUrl::FullyEncoded), &answer)) {
    case Verdict::WrongState:
        emit ignored();
        reply(socket, 400, QStringLiteral("Not started here"),
            QStringLiteral("This sign-in was not started by Job Tracker on this computer, or it was started again "
                           "since. Nothing was changed."));
        return;
    case Verdict::AlreadyAnswered:
        reply(socket, 409, QStringLiteral("Already answered"),
            QStringLiteral("This sign-in has been answered already. Nothing was changed."));
        return;
    case Verdict::Taken:
        break;
    }
    m_answered = true;
    if (answer.kind == SignInAnswer::Kind::Code) {
        // The page waits for the outcome of the exchange.
        m_waiting = socket;
    } else if (answer.kind == SignInAnswer::Kind::Refused) {
        reply(socket, 200, QStringLiteral("Access refused"),
            QStringLiteral("You refused Job Tracker access to QuickBooks. Nothing was connected; you may close this "
                           "page."));
    } else {
        reply(socket, 200, QStringLiteral("Not connected"),
            QStringLiteral("QuickBooks did not complete the sign-in (%1). You may close this page and connect again "
                           "from Job Tracker.")
                .arg(answer.error));
    }
    emit answered(answer);
}

void SignIn::reply(QTcpSocket *socket, int status, const QString &title, const QString &text)
{
    static const char *const reasons[] = { "OK", "Bad Request", "Not Found", "Conflict" };
    const char *reason = status == 200 ? reasons[0]
        : status == 400                ? reasons[1]
        : status == 404                ? reasons[2]
                                       : reasons[3];
    const QByteArray body = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Job Tracker: "
                                           "%1</title></head><body><h1>%1</h1><p>%2</p></body></html>")
                                .arg(title.toHtmlEscaped(), text.toHtmlEscaped())
                                .toUtf8();
    // The page goes out even when this sign-in ends at once: the socket
    // leaves its server and goes when the browser has it.
    socket->setParent(nullptr);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater, Qt::UniqueConnection);
    QTimer::singleShot(10000, socket, &QObject::deleteLater);
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason
        + "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\nReferrer-Policy: "
          "no-referrer\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

} // namespace qb
