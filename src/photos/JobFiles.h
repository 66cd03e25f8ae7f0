#pragma once

#include "base/FieldProblem.h"
#include "photos/PhotoFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>
#include <variant>

namespace data {
class Connection;
struct Stamp;
} // namespace data

// The photos and documents stored with the jobs (the JobFile table). Each
// belongs to a job and perhaps to one of its drying rooms or moisture points.
// Lists carry the thumbnails only; an original is read on demand. Writes run
// in one transaction each and throw data::DbError.
namespace photos {

// The photos' problems and messages, under "Photos".
inline const ProblemTitle problem { QStringLiteral("Photos") };

// Whose files: a job's (all of them, its rooms' and points' too), a room's
// (its points' too) or a moisture point's. The narrowest ID given wins.
struct Owner
{
    qint64 wipId = 0;
    qint64 roomId = 0;
    qint64 pointId = 0;
};

// One file as listed, without its original.
struct FileEntry
{
    qint64 id = 0;
    qint64 wipId = 0;
    qint64 roomId = 0; // 0: none
    qint64 pointId = 0; // 0: none
    QString fileName {};
    Kind kind = Kind::Photo;
    QString caption {};
    QDateTime takenAt {};
    QString addedBy {};
    QDateTime addedAt {};
    int width = 0;
    int height = 0;
    qint64 size = 0; // of the original, in bytes
    QByteArray thumbnail {}; // JPEG; empty for a document
    QVariant rowVersion {}; // as read: a caption save goes ahead only while it is unchanged
};

// The owner's files by the time they were taken, then in the order added.
QList<FileEntry> listFiles(data::Connection &db, const Owner &owner);
std::optional<FileEntry> loadEntry(data::Connection &db, qint64 id);
// The file as it was added; nothing when it is gone.
std::optional<QByteArray> loadContent(data::Connection &db, qint64 id);

// Stores the file for its owner, stamped with the user and time of `stamp`;
// its ID. A point's room and a room's job are filled in from the drying log;
// an owner whose room or point is not the job's (or is gone) is refused with
// a DbError and nothing stored.
qint64 storeFile(data::Connection &db, const Owner &owner, const PreparedFile &file, const data::Stamp &stamp);

// The longest caption stored.
inline constexpr int kCaptionWidth = 250;
// Changes the caption from `listed` (as listed with `version`, the file's
// row version) to `caption`; the new version. A caption too long comes back
// as a FieldProblem ("Caption"), nothing written; a caption someone else
// changed since throws data::ChangedByOtherError, a file deleted meanwhile
// data::DbError.
std::variant<QVariant, FieldProblem> setCaption(
    data::Connection &db, qint64 id, const QString &caption, const QString &listed, const QVariant &version);

// Deletes the file; false when it was gone already.
bool deleteFile(data::Connection &db, qint64 id);

} // namespace photos
