#include "photos/PhotoFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <libexif/exif-data.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace photos {

namespace {

    // "25", "25.3": one decimal where it is not a whole number of megabytes.
    QString megabytes(qint64 bytes)
    {
        QString text = QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1);
        if (text.endsWith(QStringLiteral(".0")))
            text.chop(2);
        return text;
    }

    QString tooLarge(const QString &name, qint64 size, qint64 limit)
    {
        return QStringLiteral("%1 is %2 MB, larger than the %3 MB a file may be; it was not added.")
            .arg(name, megabytes(size), megabytes(limit));
    }

    QString tooManyPixels(const QString &name, const QSize &size, qint64 limit)
    {
        return QStringLiteral("%1 is %2 × %3 pixels, larger than the %4 megapixels a photo may be; it was not added.")
            .arg(name)
            .arg(size.width())
            .arg(size.height())
            .arg(limit / 1'000'000);
    }

    QString notAFile(const QString &name)
    {
        return QStringLiteral("%1 is not a file but a pipe, device or socket; it was not added.").arg(name);
    }

    bool isPdf(const QByteArray &content)
    {
        return content.startsWith("%PDF-");
    }

    bool isJpeg(const QByteArray &content)
    {
        return content.startsWith("\xFF\xD8\xFF");
    }

    // A JPEG cut off on the way decodes to a picture grey at the bottom, and
    // the decoder says so only in a warning: the end-of-image marker must
    // follow the last start of scan. Neither occurs inside the compressed
    // data, where every 0xFF byte is followed by 0x00 or a restart marker.
    bool jpegComplete(const QByteArray &content)
    {
        const qsizetype scan = content.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
        const qsizetype end = content.lastIndexOf(QByteArrayView("\xFF\xD9", 2));
        return scan >= 0 && end > scan;
    }

    // "2026:03:30 10:15:30", EXIF's date-time.
    QDateTime exifDateTime(const char *text)
    {
        const QDateTime when
            = QDateTime::fromString(QString::fromLatin1(text).trimmed(), QStringLiteral("yyyy:MM:dd HH:mm:ss"));
        return when.isValid() ? when : QDateTime();
    }

    QByteArray jpegOf(const QImage &image)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(85);
        // JPEG keeps no alpha: a transparent PNG's background comes out white.
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        {
            QPainter painter(&flat);
            painter.drawImage(0, 0, image);
        }
        writer.write(flat);
        return bytes;
    }

} // namespace

QString kindText(Kind kind)
{
    return kind == Kind::Document ? QStringLiteral("document") : QStringLiteral("photo");
}

Kind kindOf(const QString &text)
{
    return text == u"document" ? Kind::Document : Kind::Photo;
}

QDateTime exifTakenAt(const QByteArray &content)
{
    std::unique_ptr<ExifData, decltype(&exif_data_unref)> exif(
        exif_data_new_from_data(
            reinterpret_cast<const unsigned char *>(content.constData()), static_cast<unsigned int>(content.size())),
        &exif_data_unref);
    if (!exif)
        return {};
    ExifEntry *entry = exif_content_get_entry(exif->ifd[EXIF_IFD_EXIF], EXIF_TAG_DATE_TIME_ORIGINAL);
    if (!entry)
        return {};
    char text[64] = {};
    exif_entry_get_value(entry, text, sizeof text);
    return exifDateTime(text);
}

QImage decodeUpright(const QByteArray &content)
{
    QBuffer buffer;
    buffer.setData(content);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

std::variant<PreparedFile, QString> prepareBytes(
    const QString &fileName, const QByteArray &content, const QDateTime &modified, const PrepareOptions &options)
{
    if (content.size() > options.maxBytes)
        return tooLarge(fileName, content.size(), options.maxBytes);
    PreparedFile file;
    file.fileName = fileName;
    file.content = content;
    file.takenAt = modified;
    if (isPdf(content)) {
        file.kind = Kind::Document;
        return file;
    }

    QBuffer buffer;
    buffer.setData(content);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (format.isEmpty())
        return QStringLiteral("%1 is neither a photo nor a PDF document; it was not added.").arg(fileName);
    const auto damaged = [&] {
        return QStringLiteral("%1 is damaged: it cannot be read as a %2 image; it was not added.")
            .arg(fileName, QString::fromLatin1(format.toUpper()));
    };
    if (isJpeg(content) && !jpegComplete(content))
        return damaged();

    buffer.seek(0);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid())
        return damaged();
    if (qint64(stored.width()) * stored.height() > options.maxPixels)
        return tooManyPixels(fileName, stored, options.maxPixels);
    // Decoded small straight away (JPEG decodes at 1/2, 1/4, 1/8 size for
    // it): a 24-megapixel photo never lies in memory whole. The bound is
    // square, so turning the picture upright afterwards keeps it inside.
    if (stored.width() > options.thumbnailSide || stored.height() > options.thumbnailSide)
        reader.setScaledSize(stored.scaled(options.thumbnailSide, options.thumbnailSide, Qt::KeepAspectRatio));
    const QImage thumbnail = reader.read();
    if (thumbnail.isNull())
        return damaged();
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    file.width = turned ? stored.height() : stored.width();
    file.height = turned ? stored.width() : stored.height();
    file.thumbnail = jpegOf(thumbnail);
    if (isJpeg(content)) {
        const QDateTime taken = exifTakenAt(content);
        if (taken.isValid())
            file.takenAt = taken;
    }
    return file;
}

std::variant<PreparedFile, QString> prepareFile(const QString &path, const PrepareOptions &options)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    // Looked at before it is opened: opening a pipe waits for a writer for
    // good, and opening a device may do something of its own.
    const QByteArray local = QFile::encodeName(path);
    struct stat before = {};
    if (::stat(local.constData(), &before) == 0 && !S_ISREG(before.st_mode))
        return notAFile(name);
    // The size first: an oversized file is never read.
    if (info.exists() && info.size() > options.maxBytes)
        return tooLarge(name, info.size(), options.maxBytes);
    // Opened without waiting, and looked at again once open: the name may
    // have been pointed at a pipe in between.
    const int fd = ::open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("%1 cannot be read: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat opened = {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return notAFile(name);
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QStringLiteral("%1 cannot be read: %2").arg(name, file.errorString());
    }
    const QByteArray content = file.read(options.maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("%1 cannot be read: %2").arg(name, file.errorString());
    return prepareBytes(name, content, info.lastModified(), options);
}

double maxViewScale(const QSize &size)
{
    if (size.isEmpty())
        return 1;
    const double byPixels = std::sqrt(double(kMaxViewPixels) / (double(size.width()) * size.height()));
    const double bySide = double(kMaxViewSide) / std::max(size.width(), size.height());
    return std::min(byPixels, bySide);
}

QString documentFileName(const QString &stored)
{
    QString name = stored.section(u'/', -1).section(u'\\', -1);
    name.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
    name = name.trimmed();
    if (name.isEmpty() || name == u"." || name == u"..")
        name = QStringLiteral("document");
    if (!name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        name += QStringLiteral(".pdf");
    return name;
}

} // namespace photos
