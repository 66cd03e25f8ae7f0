#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
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
    int thumbnailSide = kThumbnailSide;
};

// Reads the file at `path`: a photo (any image format Qt reads) or a PDF.
// Refuses, with a message that names the file, one over options.maxBytes,
// one that is neither, an image that cannot be decoded (a cut-off JPEG
// among them) and one that cannot be read.
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

// An image of the photo's bytes, turned upright (EXIF orientation); null
// when they decode to none. For a viewer: the original on demand.
QImage decodeUpright(const QByteArray &content);

} // namespace photos
