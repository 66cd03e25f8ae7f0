#pragma once

#include "photos/JobFiles.h"

#include <QAbstractListModel>
#include <QCache>
#include <QFont>
#include <QPixmap>

// The thumbnails of a list of job files for an icon view. It holds each
// file's entry with its thumbnail's JPEG bytes; a thumbnail is decoded only
// when the view paints it, and a bounded number of decoded ones is kept, so
// that a job of many photos costs little more than what is on screen.
class PhotoModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit PhotoModel(QObject *parent = nullptr);

    enum Role { IdRole = Qt::UserRole + 1 };

    // Shows these entries, replacing what was shown.
    void setEntries(QList<photos::FileEntry> entries);
    const QList<photos::FileEntry> &entries() const { return m_entries; }
    // The row of the file, or -1.
    int rowOf(qint64 id) const;
    // Takes the entry's new caption and row version after a save.
    void updateEntry(int row, const QString &caption, const QVariant &rowVersion);

    // The icon a row shows: its decoded thumbnail, or a drawn page for a
    // document and for a thumbnail that does not decode.
    QPixmap icon(int row) const;
    // How large icons are drawn.
    static QSize iconSize();
    // The width an item's text has: a long caption is cut to one line, so
    // that the date under it always shows.
    void setTextWidth(int pixels, const QFont &font);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QList<photos::FileEntry> m_entries;
    int m_textWidth = 0;
    QFont m_font;
    mutable QCache<qint64, QPixmap> m_icons;
};
