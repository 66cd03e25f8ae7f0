#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <variant>

// Photos and documents kept with a job: reading a file the user picked and
// making what is stored of it. Everything here is a pure function of the
// file (no database, no widgets), so that many files are prepared on worker
// threads while the window stays responsive.
namespace photos {

// The largest file stored.
inline constexpr qint64 kMaxFileBytes = 25 * 1024 * 1024;
// A thumbnail's longer side, in pixels.
inline constexpr int kThumbnailSide = 256;
// The largest photo taken, in pixels (width × height): 100 megapixels is
// 400 MB decoded, more than the viewer and the printout can hold.
inline constexpr qint64 kMaxPixels = 100'000'000;
// What the viewer draws at most, zoomed in: pixels and the longer side.
inline constexpr qint64 kMaxViewPixels = 40'000'000;
inline constexpr int kMaxViewSide = 16384;

enum class Kind { Photo, Document };
// As stored: "photo", "document".
QString kindText(Kind kind);
Kind kindOf(const QString &text);

// A file read and checked, ready to store.
struct PreparedFile
{
    QString fileName; // without its folder
    Kind kind = Kind::Photo;
    QByteArray content; // the file as it is on disk
    QByteArray thumbnail; // a photo's JPEG, turned upright; empty for a document
    QDateTime takenAt; // the photo's EXIF date, else the file's modified time
    int width = 0; // a photo's size turned upright; 0 for a document
    int height = 0;
};

struct PrepareOptions
{
    qint64 maxBytes = kMaxFileBytes;
    qint64 maxPixels = kMaxPixels;
    int thumbnailSide = kThumbnailSide;
};

// Reads the file at `path`: a photo (any image format Qt reads) or a PDF.
// Refuses, with a message that names the file, one over options.maxBytes,
// one that is neither, an image over options.maxPixels (told from its
// header, before it is decoded), an image that cannot be decoded (a cut-off
// JPEG among them) and one that cannot be read. Only a regular file is
// opened: a pipe, device or socket is refused by its name, never read.
std::variant<PreparedFile, QString> prepareFile(const QString &path, const PrepareOptions &options = {});

// The same for a file's bytes already read; `modified` stands in for the
// date when the photo carries none.
std::variant<PreparedFile, QString> prepareBytes(
    const QString &fileName, const QByteArray &content, const QDateTime &modified, const PrepareOptions &options = {});

// The date a camera wrote into the photo's EXIF (DateTimeOriginal), as a
// local time; invalid when it has none or the text is no date.
QDateTime exifTakenAt(const QByteArray &content);

// The name a stored document is written under for the desktop's viewer: the
// stored name's last part (a name from the database may hold folders, "..",
// or a type the desktop would run), always ending in ".pdf".
QString documentFileName(const QString &stored);

// The largest scale the viewer draws a photo of `size` at: within
// kMaxViewPixels and kMaxViewSide, whatever the photo's own size.
double maxViewScale(const QSize &size);

// An image of the photo's bytes, turned upright (EXIF orientation); null
// when they decode to none. For a viewer: the original on demand.
QImage decodeUpright(const QByteArray &content);

} // namespace photos
