#pragma once

#include "quickbooks/QbSettings.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkAccessManager;
class QOAuth2AuthorizationCodeFlow;

namespace qb {

class TokenNetwork;

// The OAuth 2.0 tokens of QuickBooks Online: the code of a sign-in (SignIn)
// exchanged for them, the refresh token renewing the access token through
// Qt Network Authorization. Tokens are stored as
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

    // Throws AccountingError (NotConnected) unless a client id and secret
    // are set up: the sign-in needs them.
    void requireClient() const;

    // Exchanges the code the consent page sent back (see SignIn) for tokens,
    // which are stored. redirectUri is the one the consent request carried.
    // Throws AccountingError.
    void exchangeCode(const QString &code, const QString &redirectUri, int timeoutMs);

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
