#pragma once

#include "quickbooks/QbSettings.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

namespace qb {

// What the consent page sent back, from the one answer whose state matched.
struct SignInAnswer
{
    enum class Kind { Code, Refused, Failed };
    Kind kind = Kind::Failed;
    QString code;
    QString realmId;
    // The service's error and description (Refused, Failed).
    QString error;
};

// One attempt at the OAuth 2.0 consent: the consent page's address with a
// fresh state, and the receipt of its answer, either on a loopback listener
// (the browser redirected or forwarded there) or as an address the user
// pasted. Only a request on the redirect path that carries this attempt's
// state counts; any other gets a page saying so and changes nothing.
class SignIn : public QObject
{
    Q_OBJECT
public:
    // Listens where the settings say: on localhost, on every loopback
    // address it stands for (127.0.0.1 and ::1). Throws AccountingError
    // (NotConnected) when RedirectUri is neither https nor
    // http://localhost:PORT/PATH, or its port is taken on any of those
    // addresses; nothing listens then.
    explicit SignIn(const ConnectionSettings &settings, QObject *parent = nullptr);
    ~SignIn() override;

    QUrl consentUrl() const;
    // Sent in the consent request and the code exchange, exactly as set up.
    QString redirectUri() const { return m_redirectUri; }
    // Whether the redirect address comes from the settings (else it is the
    // loopback default, which must be registered as it is).
    bool isConfigured() const { return m_configured; }
    // The loopback address that takes the answer; empty when none does.
    QString listeningAt() const;
    QString state() const { return m_state; }

    // The address the browser ended on. Empty when it is taken (answered()
    // follows), else why not; nothing changes then.
    QString takePasted(const QString &address);

    // The outcome of the code exchange, for the browser that brought the
    // code and still waits for a page.
    void finish(bool connected, const QString &detail);

signals:
    void answered(const qb::SignInAnswer &answer);
    // A request that did not count came (wrong state, other path).
    void ignored();

private:
    enum class Verdict { WrongState, AlreadyAnswered, Taken };

    // The addresses a loopback host name stands for.
    static QList<QHostAddress> loopbackAddresses(const QString &host);
    void listen(quint16 port, const QString &host);
    void onConnection(QTcpServer *server);
    void onReadyRead(QTcpSocket *socket);
    Verdict consider(const QString &query, SignInAnswer *answer) const;
    void reply(QTcpSocket *socket, int status, const QString &title, const QString &text);

    QString m_redirectUri;
    bool m_configured = false;
    QUrl m_authorizeUrl;
    QString m_clientId;
    QString m_scope;
    QString m_state;
    // Requests on this path (of the loopback listener) are considered.
    QString m_listenPath;
    // The registered address (compared for a pasted one).
    QUrl m_registered;
    QList<QTcpServer *> m_servers;
    bool m_answered = false;
    // The browser that brought the code, waiting for the outcome.
    QPointer<QTcpSocket> m_waiting;
};

} // namespace qb
