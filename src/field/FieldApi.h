#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

namespace data {
class Connection;
}

// What the field page asks of the server and what it answers, apart from
// HTTP itself: a request as the HTTP library parsed it in, an answer to
// send out. Everything a technician enters goes through the same core
// functions as the desktop's (the drying log, equipment, photos, the login
// rules), over the connection of the worker that handles the request.
namespace field {

// The largest bodies taken: a photo upload, and any other request.
inline constexpr qint64 kMaxPhotoBody = 26 * 1024 * 1024;
inline constexpr qint64 kMaxBody = 64 * 1024;
// The body limit of a request for `path` (by its method and path alone, so
// that it holds before the body is read).
qint64 bodyLimit(const QByteArray &method, const QString &path);

struct Request
{
    QByteArray method; // "GET", "POST", ...
    QString path; // decoded, "/api/rooms/12"
    QHash<QString, QString> query;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    // The parts of a multipart/form-data body, by name.
    struct Part
    {
        QString fileName;
        QByteArray content;
    };
    QHash<QString, Part> parts;
    bool secure = false; // came over TLS
};

struct Reply
{
    int status = 200;
    QByteArray contentType = "application/json; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers; // besides those every answer gets
};

// The headers every answer carries.
QList<QPair<QByteArray, QByteArray>> securityHeaders();

// Answers one request. Never throws: a database that cannot be reached is
// 503, bad input 400, each with a message the page shows.
Reply handle(data::Connection &db, const Request &request);

} // namespace field
