#include "quickbooks/QboAuth.h"

#include "quickbooks/Accounting.h"
#include "quickbooks/LocalWait.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthOobReplyHandler>

namespace qb {

namespace {

    // Nothing is sent, not even a refresh, to an address that would carry
    // the secret or a token in the clear.
    const ConnectionSettings &secured(const ConnectionSettings &settings)
    {
        try {
            requireSecureEndpoints(settings);
        } catch (const std::runtime_error &e) {
            throw AccountingError(AccountingError::Kind::NotConnected, 0, QString::fromStdString(e.what()));
        }
        return settings;
    }

    bool sameEndpoint(const QUrl &a, const QUrl &b)
    {
        return a.scheme() == b.scheme() && a.host() == b.host() && a.port() == b.port() && a.path() == b.path();
    }

} // namespace

// The network access of the sign-in and of the calls. Requests to the token
// endpoint carry the client's credentials as HTTP Basic authentication, as
// the service asks, and their outcome is reported (Qt's flow stays silent
// about a refused refresh).
class TokenNetwork : public QNetworkAccessManager
{
public:
    TokenNetwork(QUrl tokenUrl, QString clientId, QString clientSecret, QObject *parent)
        : QNetworkAccessManager(parent)
        , m_tokenUrl(std::move(tokenUrl))
        , m_credentials((clientId + u':' + clientSecret).toUtf8().toBase64())
    {
        connect(this, &QNetworkAccessManager::finished, this, [this](QNetworkReply *reply) {
            if (!sameEndpoint(reply->url(), m_tokenUrl) || !onTokenReply)
                return;
            // Peek so that the flow still reads the whole body.
            const QByteArray body = reply->peek(reply->bytesAvailable());
            onTokenReply(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), int(reply->error()), body);
        });
    }

    std::function<void(int, int, const QByteArray &)> onTokenReply;

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &original, QIODevice *data) override
    {
        QNetworkRequest request(original);
        if (sameEndpoint(request.url(), m_tokenUrl)) {
            request.setRawHeader("Authorization", "Basic " + m_credentials);
            request.setRawHeader("Accept", "application/json");
        }
        return QNetworkAccessManager::createRequest(op, request, data);
    }

private:
    QUrl m_tokenUrl;
    QByteArray m_credentials;
};

QboAuth::QboAuth(const ConnectionSettings &settings, SecretStore &secrets, QObject *parent)
    : QObject(parent)
    , m_settings(secured(settings))
    , m_secrets(secrets)
    , m_network(new TokenNetwork(QUrl(settings.tokenUrl), settings.clientId, secrets.read(kClientSecret), this))
{
    m_network->onTokenReply
        = [this](int status, int error, const QByteArray &body) { tokenReplyFinished(status, error, body); };
    makeFlow();
    m_flow->setToken(m_secrets.read(kAccessToken));
    m_flow->setRefreshToken(m_secrets.read(kRefreshToken));
}

QboAuth::~QboAuth() = default;

QNetworkAccessManager *QboAuth::network() const
{
    return m_network;
}

void QboAuth::makeFlow()
{
    // A new flow after a failed token request: Qt's flow may be left
    // "refreshing" for ever by a refused refresh.
    QString token, refreshToken;
    if (m_flow) {
        token = m_flow->token();
        refreshToken = m_flow->refreshToken();
        delete m_flow;
    }
    m_flow = new QOAuth2AuthorizationCodeFlow(m_network, this);
    m_flow->setAuthorizationUrl(QUrl(m_settings.authorizeUrl));
    m_flow->setAccessTokenUrl(QUrl(m_settings.tokenUrl));
    m_flow->setClientIdentifier(m_settings.clientId);
    m_flow->setScope(m_settings.scope);
    // The refresh needs a handler for the token reply, but no listening port.
    m_flow->setReplyHandler(new QOAuthOobReplyHandler(m_flow));
    // The client authenticates by the Basic header alone (one method per
    // request): Qt's refresh would add client_id, an empty client_secret and
    // the redirect URI, so it carries the grant and the refresh token only.
    m_flow->setModifyParametersFunction([](QAbstractOAuth::Stage stage, QMultiMap<QString, QVariant> *parameters) {
        if (stage != QAbstractOAuth::Stage::RefreshingAccessToken)
            return;
        for (auto it = parameters->begin(); it != parameters->end();)
            it = it.key() == u"grant_type" || it.key() == u"refresh_token" ? std::next(it) : parameters->erase(it);
    });
    m_flow->setToken(token);
    m_flow->setRefreshToken(refreshToken);
}

QString QboAuth::accessToken() const
{
    return m_flow ? m_flow->token() : QString();
}

bool QboAuth::hasRefreshToken() const
{
    return m_flow && !m_flow->refreshToken().isEmpty();
}

void QboAuth::tokenReplyFinished(int httpStatus, int networkError, const QByteArray &body)
{
    if (httpStatus == 200 && networkError == 0)
        return;
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    const QString error = answer.value(QStringLiteral("error")).toString();
    m_tokenErrorCode = httpStatus ? httpStatus : networkError;
    m_tokenError = error.isEmpty() ? QStringLiteral("the sign-in service answered %1").arg(m_tokenErrorCode) : error;
}

void QboAuth::storeTokens()
{
    try {
        // The refresh token first: it is the one that cannot be had again.
        m_secrets.write(kRefreshToken, m_flow->refreshToken());
        m_secrets.write(kAccessToken, m_flow->token());
    } catch (const std::exception &e) {
        throw AccountingError(AccountingError::Kind::NotConnected, 0, QString::fromStdString(e.what()));
    }
}

void QboAuth::requireClient() const
{
    if (m_settings.clientId.isEmpty() || m_secrets.read(kClientSecret).isEmpty())
        throw AccountingError(AccountingError::Kind::NotConnected, 0,
            QStringLiteral("The QuickBooks client id and secret are not set up"));
}

void QboAuth::exchangeCode(const QString &code, const QString &redirectUri, int timeoutMs)
{
    // Sent by hand, not through Qt's flow: the redirect address must be the
    // one registered, exactly as the consent request carried it.
    QByteArray form = "grant_type=authorization_code";
    form += "&code=" + QUrl::toPercentEncoding(code);
    form += "&redirect_uri=" + QUrl::toPercentEncoding(redirectUri);
    QNetworkRequest request { QUrl(m_settings.tokenUrl) };
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = m_network->post(request, form);
    LocalWait wait(timeoutMs);
    wait.quitOn(reply, &QNetworkReply::finished);
    const bool finished = wait.exec([reply] { return reply->isFinished(); });
    if (!finished)
        reply->abort();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const int networkError = int(reply->error());
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();

    const QString access = answer.value(QStringLiteral("access_token")).toString();
    const QString refreshToken = answer.value(QStringLiteral("refresh_token")).toString();
    if (!finished)
        throw AccountingError(AccountingError::Kind::Transient, 0,
            QStringLiteral("No answer from the QuickBooks sign-in service within %1 seconds").arg(timeoutMs / 1000));
    if (status != 200 || networkError != 0 || access.isEmpty() || refreshToken.isEmpty()) {
        const QString error = answer.value(QStringLiteral("error")).toString();
        throw AccountingError(AccountingError::Kind::AuthExpired, 3200,
            QStringLiteral("QuickBooks refused the sign-in (%1)")
                .arg(error.isEmpty() ? QStringLiteral("answer %1").arg(status ? status : networkError) : error));
    }
    makeFlow();
    m_flow->setToken(access);
    m_flow->setRefreshToken(refreshToken);
    storeTokens();
}

void QboAuth::refresh(int timeoutMs)
{
    if (m_refreshing) {
        // Another call is renewing the tokens: its outcome serves this one.
        LocalWait wait(timeoutMs);
        wait.quitOn(this, &QboAuth::refreshDone);
        wait.exec([this] { return !m_refreshing; });
        if (accessToken().isEmpty())
            throw AccountingError(AccountingError::Kind::AuthExpired, 3200,
                QStringLiteral("The QuickBooks sign-in has expired; connect to QuickBooks again"));
        return;
    }
    if (!hasRefreshToken())
        throw AccountingError(AccountingError::Kind::AuthExpired, 3200,
            QStringLiteral("Not connected to QuickBooks; use Connect to QuickBooks"));

    m_refreshing = true;
    m_tokenError.clear();
    const QString before = m_flow->token();
    LocalWait wait(timeoutMs);
    wait.quitOn(m_flow.data(), &QAbstractOAuth::statusChanged);
    wait.quitOn(m_flow.data(), &QAbstractOAuth::tokenChanged);
    wait.quitOn(m_network, &QNetworkAccessManager::finished);
    m_flow->refreshAccessToken();
    const bool renewed = wait.exec([&] {
        return !m_tokenError.isEmpty()
            || (m_flow->status() == QAbstractOAuth::Status::Granted && m_flow->token() != before
                && !m_flow->token().isEmpty());
    }) && m_tokenError.isEmpty();

    const QString error = m_tokenError;
    const int code = m_tokenErrorCode;
    try {
        if (renewed) {
            storeTokens();
        } else if (error == u"invalid_grant") {
            // The refresh token is spent or revoked: only a new sign-in helps.
            m_flow->setToken({});
            m_flow->setRefreshToken({});
            m_secrets.remove(kAccessToken);
            m_secrets.remove(kRefreshToken);
        }
    } catch (...) {
        m_refreshing = false;
        emit refreshDone();
        throw;
    }
    if (!renewed)
        makeFlow();
    m_refreshing = false;
    emit refreshDone();
    if (renewed)
        return;
    if (error == u"invalid_grant")
        throw AccountingError(AccountingError::Kind::AuthExpired, 3200,
            QStringLiteral("The QuickBooks sign-in has expired (invalid_grant); connect to QuickBooks again"));
    if (error.isEmpty())
        throw AccountingError(AccountingError::Kind::Transient, 3200,
            QStringLiteral("No answer from the QuickBooks sign-in service within %1 seconds").arg(timeoutMs / 1000));
    throw AccountingError(AccountingError::Kind::Transient, code,
        QStringLiteral("The QuickBooks sign-in could not be renewed (%1)").arg(error));
}

} // namespace qb
