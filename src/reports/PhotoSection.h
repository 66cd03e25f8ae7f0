#pragma once

#include "reports/ReportDocument.h"

#include <QImage>
#include <QSize>

namespace data {
class Connection;
}

// The photo section of the work order and of the printed drying log: which
// of a job's photos each prints, in what order, and reading a picture for
// the page it is drawn on.
namespace reports {

inline constexpr int kPhotosPerPage = 6;

// Where a photo was taken, as printed under it and over the drying log's
// photos: "Kitchen", "Kitchen · point Drywall, north wall"; empty for none.
QString photoPlace(const QString &room, const QString &material, const QString &location);

// All the job's photos (not its documents) by the time taken, each with the
// room and point it belongs to. The section reads pictures from `db`, which
// must outlive it. Throws data::DbError.
PhotoSection jobPhotos(data::Connection &db, qint64 wipId);

// The photos of the job's drying rooms and moisture points: room by room in
// `roomOrder`, each room's by the time taken. Throws data::DbError.
PhotoSection dryingLogPhotos(data::Connection &db, qint64 wipId, const QList<qint64> &roomOrder);

// The photo's original from the database, upright and decoded no larger
// than `size` (never enlarged); a null image when it is gone or does not
// decode. Throws data::DbError.
QImage readPhoto(data::Connection &db, qint64 id, const QSize &size);

} // namespace reports
