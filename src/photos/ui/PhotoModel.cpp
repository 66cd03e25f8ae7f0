#include "photos/ui/PhotoModel.h"

#include "base/Formats.h"
#include "widgets/Build.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

// A page with a folded corner and the file's type on it.
QPixmap documentIcon(const QString &fileName)
{
    const QSize size = PhotoModel::iconSize();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width() * 0.62;
    const qreal h = size.height() * 0.8;
    const QRectF page((size.width() - w) / 2, (size.height() - h) / 2, w, h);
    const qreal fold = w * 0.28;
    QPainterPath outline;
    outline.moveTo(page.topLeft());
    outline.lineTo(page.right() - fold, page.top());
    outline.lineTo(page.right(), page.top() + fold);
    outline.lineTo(page.bottomRight());
    outline.lineTo(page.bottomLeft());
    outline.closeSubpath();
    painter.setPen(QPen(QColor(90, 90, 90), 1.5));
    painter.setBrush(Qt::white);
    painter.drawPath(outline);
    painter.setBrush(QColor(220, 220, 220));
    QPainterPath corner;
    corner.moveTo(page.right() - fold, page.top());
    corner.lineTo(page.right() - fold, page.top() + fold);
    corner.lineTo(page.right(), page.top() + fold);
    corner.closeSubpath();
    painter.drawPath(corner);
    // The type on a red band, as document icons show it.
    const QString type = QFileInfo(fileName).suffix().toUpper().left(4);
    const QRectF band(page.left() - 4, page.top() + h * 0.55, w * 0.75, h * 0.2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 30, 30));
    painter.drawRect(band);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(int(band.height() * 0.6));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(band, Qt::AlignCenter, type.isEmpty() ? QStringLiteral("DOC") : type);
    return pixmap;
}

} // namespace

PhotoModel::PhotoModel(QObject *parent)
    : QAbstractListModel(parent)
    , m_icons(120)
{
}

QSize PhotoModel::iconSize()
{
    return { 128, 128 };
}

void PhotoModel::setTextWidth(int pixels, const QFont &font)
{
    m_textWidth = pixels;
    m_font = font;
}

void PhotoModel::setEntries(QList<photos::FileEntry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    m_icons.clear();
    endResetModel();
}

int PhotoModel::rowOf(qint64 id) const
{
    for (int row = 0; row < m_entries.size(); ++row) {
        if (m_entries.at(row).id == id)
            return row;
    }
    return -1;
}

void PhotoModel::updateEntry(int row, const QString &caption, const QVariant &rowVersion)
{
    if (row < 0 || row >= m_entries.size())
        return;
    m_entries[row].caption = caption;
    m_entries[row].rowVersion = rowVersion;
    emit dataChanged(index(row), index(row));
}

QPixmap PhotoModel::icon(int row) const
{
    const photos::FileEntry &entry = m_entries.at(row);
    if (QPixmap *cached = m_icons.object(entry.id))
        return *cached;
    QPixmap pixmap;
    if (entry.kind == photos::Kind::Photo) {
        const QImage image = QImage::fromData(entry.thumbnail, "JPEG");
        if (!image.isNull()) {
            // Centred on a square, so that upright and landscape photos line
            // up with their captions at the same height.
            const QImage scaled = image.scaled(iconSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
            pixmap = QPixmap(iconSize());
            pixmap.fill(Qt::transparent);
            QPainter(&pixmap).drawImage(
                (iconSize().width() - scaled.width()) / 2, (iconSize().height() - scaled.height()) / 2, scaled);
        }
    }
    if (pixmap.isNull())
        pixmap = documentIcon(entry.fileName);
    m_icons.insert(entry.id, new QPixmap(pixmap));
    return pixmap;
}

int PhotoModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant PhotoModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const photos::FileEntry &entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole: {
        // Caption (or the file's name) over the date it was taken.
        const QString title = entry.caption.isEmpty() ? entry.fileName : entry.caption;
        const QString line
            = m_textWidth > 0 ? QFontMetrics(m_font).elidedText(title, Qt::ElideRight, m_textWidth) : title;
        return line + u'\n' + Formats::dateTime(entry.takenAt);
    }
    case Qt::DecorationRole:
        return icon(index.row());
    case Qt::ToolTipRole: {
        // The whole caption, which the item may show cut short.
        const QString caption = entry.caption.isEmpty() ? QString() : entry.caption + u'\n';
        return build::plainTip(caption
            + QStringLiteral("%1\nTaken %2\nAdded by %3, %4")
                  .arg(entry.fileName, Formats::dateTime(entry.takenAt), entry.addedBy,
                      Formats::dateTime(entry.addedAt)));
    }
    case IdRole:
        return entry.id;
    default:
        return {};
    }
}
