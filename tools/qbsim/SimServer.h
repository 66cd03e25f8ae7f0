#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

namespace qbsim {

// One HTTP request as read off a connection.
struct Request
{
    QByteArray method;
    QString path; // decoded, without the query
    QMap<QString, QString> query;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

struct Response
{
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    // A "cut" fault's answer: only this many bytes of the body go out, then
    // the connection closes; -1 sends it whole.
    qsizetype cutAt = -1;
    // With a cut: announce the whole body's length (the client sees the
    // connection close early), or none (only the JSON shows it).
    bool declareWhole = true;
};

// A fault the tests arm: it hits requests whose method and resource match
// (resource: "query", "customer", "invoice", "tokens", "connect"; "*" any).
struct Fault
{
    QByteArray method; // empty: any
    QString resource;
    QString kind; // delay, status, throttle, drop, unauthorized, cut, answer
    int count = 1; // hits left; -1 for ever
    int skip = 0; // matching requests let through first
    int delayMs = 0;
    int status = 500;
    int retryAfter = -1; // seconds, -1: no header
    bool xml = false;
    bool declared = true; // cut: Content-Length of the whole body, or none
    QByteArray body; // answer: served, but answered with this body instead
};

// A small stand-in for the QuickBooks Online accounting API (v3, JSON) and
// its OAuth 2.0 endpoints, for the demo and the tests. It answers as the
// real service does for the subset the program uses, including its error
// shapes, and keeps its data in a JSON file when given one.
class SimServer : public QObject
{
    Q_OBJECT
public:
    explicit SimServer(const QString &dataFile, QObject *parent = nullptr);

    bool listen(quint16 port);
    quint16 port() const { return m_server.serverPort(); }

    // Points the program's settings file at this server: the demo client
    // and its secret, and a token pair unless the file holds a refresh token.
    // The file is kept readable by its owner only. A file set up for a
    // service other than one on this computer is left alone: false, with
    // the reason.
    bool writeSettings(const QString &path, QString *error);

private:
    struct Connection
    {
        QByteArray buffer;
        bool busy = false;
    };

    void onConnection();
    void onReadyRead(QTcpSocket *socket);
    void handle(QTcpSocket *socket, const Request &request);
    void send(QTcpSocket *socket, const Response &response, bool close = false);

    Response dispatch(const Request &request, bool *drop);
    Response control(const Request &request);
    Response authorize(const Request &request);
    Response token(const Request &request);
    Response api(const Request &request, const QString &resource, const QString &rest);

    Response query(const QString &text);
    Response createCustomer(const QJsonObject &body);
    Response createInvoice(const QJsonObject &body);
    Response readInvoice(const QString &id);

    static Response json(int status, const QJsonObject &object);
    Response fault(int status, const QString &code, const QString &message, const QString &detail,
        const QString &type = QStringLiteral("ValidationFault")) const;
    Response unauthorized() const;
    Response throttled(const Fault &fault) const;

    const Fault *takeFault(const QByteArray &method, const QString &resource, bool delay);
    QString resourceOf(const QString &path) const;
    QString newId();
    QString newToken(const char *prefix);
    void issueTokens(QJsonObject *out);
    void reset();
    void load();
    void save() const;

    QTcpServer m_server;
    QHash<QTcpSocket *, Connection> m_connections;
    QString m_dataFile;

    // The company's data and the credentials (kept in the data file).
    QJsonObject m_data;
    // Armed faults and every request seen (not kept).
    QList<Fault> m_faults;
    QJsonArray m_log;
};

} // namespace qbsim
