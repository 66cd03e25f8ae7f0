#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>

// The QuickBooks Online simulator (jobtracker-qbsim) for one test program:
// started on a free loopback port, driven through its /_sim/ controls.
class QbSim
{
public:
    QbSim() = default;
    ~QbSim();
    QbSim(const QbSim &) = delete;
    QbSim &operator=(const QbSim &) = delete;

    // The simulator's executable, as built.
    static QString program();
    // Starts the simulator; false (with a reason) when it does not come up.
    bool start(QString *error);
    quint16 port() const { return m_port; }
    QString url(const QString &path = {}) const;

    // A control call: POST /_sim/<what> with a JSON body (GET for "state").
    QJsonObject control(const QString &what, const QJsonObject &body = {});
    void reset() { control(QStringLiteral("reset")); }
    QJsonObject seed(const QJsonObject &body) { return control(QStringLiteral("seed"), body); }
    void fault(const QJsonObject &fault) { control(QStringLiteral("fault"), fault); }
    void clearFaults() { control(QStringLiteral("clear-faults")); }
    QJsonObject state() { return control(QStringLiteral("state")); }
    // The company's customers, items or invoices as the simulator holds them.
    QJsonArray rows(const char *kind) { return state().value(QLatin1String(kind)).toArray(); }
    // The requests seen so far, optionally only those for one resource
    // ("query", "customer", "invoice", "tokens", "connect").
    QJsonArray log(const QString &resource = {});

    // A loopback port free at the moment.
    static quint16 freePort();

    // Writes quickbooks.ini into folder for this simulator: the demo client
    // with its secret, a redirect address on a free localhost port that is
    // registered with the simulator, and, when signedIn, a fresh token pair
    // (all in the owner-only file). Returns the refresh token stored.
    QString writeSettings(const QString &folder, bool signedIn = true);

private:
    QProcess m_process;
    QNetworkAccessManager m_network;
    quint16 m_port = 0;
};
