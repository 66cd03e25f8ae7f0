#include "reports/PhotoSection.h"

#include "base/Formats.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "photos/JobFiles.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>

namespace reports {

namespace {

    struct Listed
    {
        Photo photo;
        qint64 roomId = 0;
    };

    // The job's photos by the time taken; only those of a room or point
    // when `roomsOnly`.
    QList<Listed> listPhotos(data::Connection &db, qint64 wipId, bool roomsOnly)
    {
        data::Rows q = db.exec(
            QStringLiteral("SELECT F.ID, F.Caption, F.FileName, F.TakenAt, F.RoomID, R.Name, P.Material, P.Location "
                           "FROM JobFile F LEFT JOIN DryingRoom R ON R.ID = F.RoomID "
                           "LEFT JOIN MoisturePoint P ON P.ID = F.PointID "
                           "WHERE F.WIPID = ? AND F.Kind = ?%1 ORDER BY F.TakenAt, F.ID")
                .arg(roomsOnly ? QStringLiteral(" AND F.RoomID IS NOT NULL") : QString()),
            { wipId, photos::kindText(photos::Kind::Photo) });
        QList<Listed> list;
        while (q.next()) {
            Listed listed;
            listed.photo.id = q.value(0).toLongLong();
            const QString caption = q.value(1).toString().trimmed();
            listed.photo.caption = caption.isEmpty() ? q.value(2).toString() : caption;
            const QDateTime taken = data::dateTimeOf(q.value(3));
            listed.photo.taken = taken.isValid()
                ? QStringLiteral("Taken %1 %2")
                      .arg(Formats::date(taken.date()), taken.toString(QStringLiteral("HH:mm")))
                : QString();
            listed.roomId = q.value(4).toLongLong();
            listed.photo.place = listed.roomId > 0
                ? photoPlace(q.value(5).toString(), q.value(6).toString(), q.value(7).toString())
                : QString();
            list << listed;
        }
        return list;
    }

    PhotoSection section(data::Connection &db, const QList<Listed> &list)
    {
        PhotoSection section;
        section.caption = QStringLiteral("Photos");
        for (const Listed &listed : list)
            section.photos << listed.photo;
        data::Connection *connection = &db;
        section.read = [connection](qint64 id, const QSize &size) { return readPhoto(*connection, id, size); };
        return section;
    }

} // namespace

QString photoPlace(const QString &room, const QString &material, const QString &location)
{
    QStringList point;
    for (const QString &part : { material, location }) {
        if (!part.trimmed().isEmpty())
            point << part.trimmed();
    }
    if (point.isEmpty())
        return room;
    return QStringLiteral("%1 \u00b7 point %2").arg(room, point.join(QStringLiteral(", ")));
}

PhotoSection jobPhotos(data::Connection &db, qint64 wipId)
{
    return section(db, listPhotos(db, wipId, false));
}

PhotoSection dryingLogPhotos(data::Connection &db, qint64 wipId, const QList<qint64> &roomOrder)
{
    QList<Listed> list = listPhotos(db, wipId, true);
    // A room the log does not list (added meanwhile) goes last.
    const auto rank = [&](const Listed &listed) {
        const qsizetype at = roomOrder.indexOf(listed.roomId);
        return at < 0 ? roomOrder.size() : at;
    };
    std::stable_sort(list.begin(), list.end(), [&](const Listed &a, const Listed &b) { return rank(a) < rank(b); });
    return section(db, list);
}

QImage readPhoto(data::Connection &db, qint64 id, const QSize &size)
{
    std::optional<QByteArray> content = photos::loadContent(db, id);
    if (!content)
        return {};
    QBuffer buffer(&*content);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // Decoded small (a JPEG at a fraction of its size straight from the
    // file): a camera's original would take tens of MB as a full image. The
    // scale is the upright picture's; the reader scales before it turns.
    const QSize stored = reader.size();
    if (stored.isValid() && size.isValid()) {
        const QSize upright
            = reader.transformation() & QImageIOHandler::TransformationRotate90 ? stored.transposed() : stored;
        const double factor
            = std::min({ 1.0, double(size.width()) / upright.width(), double(size.height()) / upright.height() });
        if (factor < 1)
            reader.setScaledSize(
                QSize(std::max(1, qRound(stored.width() * factor)), std::max(1, qRound(stored.height() * factor))));
    }
    return reader.read();
}

} // namespace reports
