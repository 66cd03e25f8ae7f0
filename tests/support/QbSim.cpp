#include "support/QbSim.h"

#include "quickbooks/LocalWait.h"
#include "quickbooks/QbSettings.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QTcpServer>

QbSim::~QbSim()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString QbSim::program()
{
    return QStringLiteral(JT_QBSIM_PATH);
}

bool QbSim::start(QString *error)
{
    m_process.setProgram(program());
    m_process.setArguments({ QStringLiteral("--port"), QStringLiteral("0") });
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        *error = QStringLiteral("jobtracker-qbsim did not start: ") + m_process.errorString();
        return false;
    }
    QByteArray line;
    while (!line.contains('\n') && m_process.waitForReadyRead(10000))
        line += m_process.readAllStandardOutput();
    if (!line.startsWith("listening on ")) {
        *error = QStringLiteral("jobtracker-qbsim did not listen: ") + QString::fromUtf8(line)
            + QString::fromUtf8(m_process.readAllStandardError());
        return false;
    }
    m_port = quint16(line.mid(13).trimmed().toUInt());
    return m_port != 0;
}

quint16 QbSim::freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString QbSim::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

QJsonObject QbSim::control(const QString &what, const QJsonObject &body)
{
    QNetworkRequest request(QUrl(url(QStringLiteral("/_sim/") + what)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    QNetworkReply *reply
        = what == u"state" ? m_network.get(request) : m_network.post(request, QJsonDocument(body).toJson());
    qb::LocalWait wait(10000);
    wait.quitOn(reply, &QNetworkReply::finished);
    wait.exec([reply] { return reply->isFinished(); });
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return answer;
}

QJsonArray QbSim::log(const QString &resource)
{
    QJsonArray out;
    for (const QJsonValue &entry : state().value(QStringLiteral("log")).toArray())
        if (resource.isEmpty() || entry.toObject().value(QStringLiteral("resource")).toString() == resource)
            out.append(entry);
    return out;
}

QString QbSim::writeSettings(const QString &folder, bool signedIn)
{
    const QString path = qb::settingsPath(folder);
    qb::ConnectionSettings settings;
    settings.baseUrl = url();
    settings.realmId = state().value(QStringLiteral("realm")).toString();
    settings.clientId = QStringLiteral("jt-demo-client");
    settings.authorizeUrl = url(QStringLiteral("/connect/oauth2"));
    settings.tokenUrl = url(QStringLiteral("/oauth2/v1/tokens/bearer"));
    settings.timeoutSeconds = 10;
    settings.redirectUri = QStringLiteral("http://localhost:%1/callback").arg(freePort());
    control(QStringLiteral("redirect-uris"), { { QStringLiteral("uris"), QJsonArray { settings.redirectUri } } });
    qb::writeSettings(path, settings);
    const auto secrets = qb::fileSecretStore(path);
    secrets->write(qb::kClientSecret, QStringLiteral("jt-demo-secret"));
    if (!signedIn) {
        secrets->remove(qb::kAccessToken);
        secrets->remove(qb::kRefreshToken);
        return {};
    }
    const QJsonObject tokens = control(QStringLiteral("tokens"));
    secrets->write(qb::kAccessToken, tokens.value(QStringLiteral("access_token")).toString());
    secrets->write(qb::kRefreshToken, tokens.value(QStringLiteral("refresh_token")).toString());
    return tokens.value(QStringLiteral("refresh_token")).toString();
}
