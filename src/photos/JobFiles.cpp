#include "photos/JobFiles.h"

#include "data/Database.h"
#include "data/Dates.h"
#include "data/RowMap.h"
#include "equipment/Equipment.h"

namespace photos {

namespace {

    const QString kColumns = QStringLiteral("ID, WIPID, RoomID, PointID, FileName, Kind, Caption, TakenAt, AddedBy, "
                                            "AddedAt, Width, Height, FileSize, Thumbnail, RowVersion");

    FileEntry entryOf(const data::Row &r)
    {
        FileEntry entry;
        entry.id = r["ID"].toLongLong();
        entry.wipId = r["WIPID"].toLongLong();
        entry.roomId = r["RoomID"].toLongLong();
        entry.pointId = r["PointID"].toLongLong();
        entry.fileName = r["FileName"].toString();
        entry.kind = kindOf(r["Kind"].toString());
        entry.caption = r["Caption"].toString();
        entry.takenAt = data::dateTimeOf(r["TakenAt"]);
        entry.addedBy = r["AddedBy"].toString();
        entry.addedAt = data::dateTimeOf(r["AddedAt"]);
        entry.width = r["Width"].toInt();
        entry.height = r["Height"].toInt();
        entry.size = r["FileSize"].toLongLong();
        entry.thumbnail = r["Thumbnail"].toByteArray();
        entry.rowVersion = r["RowVersion"];
        return entry;
    }

    QVariant idOrNull(qint64 id)
    {
        return id > 0 ? QVariant(id) : QVariant(QMetaType(QMetaType::LongLong));
    }

    [[noreturn]] void refuse(const QString &text)
    {
        throw data::DbError(QStringLiteral("-1"), text);
    }

    // The owner with its room and job filled in from the drying log.
    Owner resolved(data::Connection &db, Owner owner)
    {
        if (owner.pointId > 0) {
            const QVariant room
                = db.scalar(QStringLiteral("SELECT RoomID FROM MoisturePoint WHERE ID = ?"), { owner.pointId });
            if (!room.isValid())
                refuse(QStringLiteral("Moisture point %1 is gone.").arg(owner.pointId));
            if (owner.roomId > 0 && owner.roomId != room.toLongLong())
                refuse(QStringLiteral("Moisture point %1 is not in room %2.").arg(owner.pointId).arg(owner.roomId));
            owner.roomId = room.toLongLong();
        }
        if (owner.roomId > 0) {
            const std::optional<qint64> wip = equipment::jobOfRoom(db, owner.roomId);
            if (!wip)
                refuse(QStringLiteral("Room %1 is gone.").arg(owner.roomId));
            if (owner.wipId > 0 && owner.wipId != *wip)
                refuse(QStringLiteral("Room %1 is not on job %2.").arg(owner.roomId).arg(owner.wipId));
            owner.wipId = *wip;
        }
        if (owner.wipId <= 0
            || !db.scalar(QStringLiteral("SELECT ID FROM WIP WHERE ID = ?"), { owner.wipId }).isValid())
            refuse(QStringLiteral("Job %1 is gone; save the job before adding files to it.").arg(owner.wipId));
        return owner;
    }

} // namespace

QList<FileEntry> listFiles(data::Connection &db, const Owner &owner)
{
    const auto [column, id] = owner.pointId > 0 ? std::pair(QStringLiteral("PointID"), owner.pointId)
        : owner.roomId > 0                      ? std::pair(QStringLiteral("RoomID"), owner.roomId)
                                                : std::pair(QStringLiteral("WIPID"), owner.wipId);
    return data::all(
        db.exec(
            QStringLiteral("SELECT %1 FROM JobFile WHERE %2 = ? ORDER BY TakenAt, ID").arg(kColumns, column), { id }),
        entryOf);
}

std::optional<FileEntry> loadEntry(data::Connection &db, qint64 id)
{
    return data::one(db.exec(QStringLiteral("SELECT %1 FROM JobFile WHERE ID = ?").arg(kColumns), { id }), entryOf);
}

std::optional<QByteArray> loadContent(data::Connection &db, qint64 id)
{
    return data::one(db.exec(QStringLiteral("SELECT Content FROM JobFile WHERE ID = ?"), { id }),
        [](const data::Row &r) { return r["Content"].toByteArray(); });
}

qint64 storeFile(data::Connection &db, const Owner &owner, const PreparedFile &file, const data::Stamp &stamp)
{
    data::Transaction transaction(db);
    const Owner to = resolved(db, owner);
    const qint64 id = db.insertRow(QStringLiteral("JobFile"),
        { { QStringLiteral("WIPID"), to.wipId }, { QStringLiteral("RoomID"), idOrNull(to.roomId) },
            { QStringLiteral("PointID"), idOrNull(to.pointId) },
            { QStringLiteral("FileName"), file.fileName.left(250) }, { QStringLiteral("Kind"), kindText(file.kind) },
            { QStringLiteral("Caption"), QString() }, { QStringLiteral("TakenAt"), data::dateTimeValue(file.takenAt) },
            { QStringLiteral("AddedBy"), stamp.user }, { QStringLiteral("AddedAt"), data::dateTimeValue(stamp.when) },
            { QStringLiteral("Width"), file.width }, { QStringLiteral("Height"), file.height },
            { QStringLiteral("FileSize"), qint64(file.content.size()) }, { QStringLiteral("Content"), file.content },
            { QStringLiteral("Thumbnail"),
                file.thumbnail.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(file.thumbnail) } });
    transaction.commit();
    return id;
}

std::variant<QVariant, FieldProblem> setCaption(
    data::Connection &db, qint64 id, const QString &caption, const QString &listed, const QVariant &version)
{
    const QString text = caption.trimmed();
    if (text.size() > kCaptionWidth)
        return problem("Caption",
            QStringLiteral("A caption takes at most %1 characters; this one has %2.")
                .arg(kCaptionWidth)
                .arg(text.size()));
    data::Transaction transaction(db);
    const QVariant name = db.scalar(QStringLiteral("SELECT FileName FROM JobFile WHERE ID = ?"), { id });
    db.updateRowAtVersion(QStringLiteral("JobFile"), id, { { QStringLiteral("Caption"), text } },
        { { QStringLiteral("Caption"), listed } }, version,
        name.isValid() ? QStringLiteral("The file %1").arg(name.toString()) : QStringLiteral("File %1").arg(id));
    const QVariant now = db.scalar(QStringLiteral("SELECT RowVersion FROM JobFile WHERE ID = ?"), { id });
    transaction.commit();
    return now;
}

bool deleteFile(data::Connection &db, qint64 id)
{
    data::Transaction transaction(db);
    const int deleted = db.exec(QStringLiteral("DELETE FROM JobFile WHERE ID = ?"), { id }).numRowsAffected();
    transaction.commit();
    return deleted > 0;
}

} // namespace photos
