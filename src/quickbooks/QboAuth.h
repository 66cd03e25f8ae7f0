#pragma once

#include "quickbooks/QbSettings.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QOAuth2AuthorizationCodeFlow;

namespace qb {

class TokenNetwork;

// The OAuth 2.0 sign-in to QuickBooks Online through Qt Network
// Authorization: the authorization code flow with a loopback redirect to
// connect, the refresh token to renew the access token. Tokens are stored as
// soon as they arrive (the refresh token changes with every refresh).
class QboAuth : public QObject
{
    Q_OBJECT
public:
    // Throws AccountingError (NotConnected) when an address of the settings
    // is neither https nor this computer's, or a secret may not be used.
    QboAuth(const ConnectionSettings &settings, SecretStore &secrets, QObject *parent = nullptr);
    ~QboAuth() override;

    QNetworkAccessManager *network() const;
    const ConnectionSettings &settings() const { return m_settings; }

    QString accessToken() const;
    bool hasRefreshToken() const;

    // Opens the consent page through openBrowser, receives the code on a
    // loopback redirect and exchanges it for tokens, which are stored.
    // Returns the company (realm) id the redirect named, or empty. Throws
    // AccountingError.
    QString connectAccount(const std::function<void(const QUrl &)> &openBrowser, int timeoutMs);

    // Exchanges the refresh token for new tokens and stores them. One refresh
    // runs at a time: a second caller waits for the first one's outcome.
    // Throws AccountingError (AuthExpired when the service refuses).
    void refresh(int timeoutMs);

signals:
    void refreshDone();

private:
    void makeFlow();
    void storeTokens();
    void tokenReplyFinished(int httpStatus, int networkError, const QByteArray &body);

    ConnectionSettings m_settings;
    SecretStore &m_secrets;
    TokenNetwork *m_network;
    QPointer<QOAuth2AuthorizationCodeFlow> m_flow;
    bool m_refreshing = false;
    // Outcome of the last token request: empty while none failed.
    QString m_tokenError;
    int m_tokenErrorCode = 0;
};

} // namespace qb
