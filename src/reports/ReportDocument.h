#pragma once

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <functional>
#include <variant>
#include <vector>

class QPainter;
class QRectF;
struct CompanyRow;

// What a report is made of, independent of the page it lands on: the four
// run-time texts of the page header, then blocks that flow down the pages.
// The renderer (ReportRenderer.h) lays them out on whatever paged device it
// is given, so preview, printing and PDF come from the same document.
namespace reports {

// The page header's run-time texts.
struct RunTexts
{
    QString companyName;
    QString address; // the first address line
    QString cityLine; // "City, ST  Zip"
    QString printedBy; // "user - date time"
};

// The city, a comma and a blank, the state, two blanks, the zip: the comma
// and the blanks stay when a part is empty.
QString cityLine(const QString &city, const QString &state, const QString &zip);
RunTexts runTexts(const CompanyRow &company, const QString &username, const QDateTime &now);

// The parts that are not blank, trimmed, joined by `separator` (an address
// line, a footer): a missing part leaves no stray separator.
QString joined(const QStringList &parts, const QString &separator);

enum class Align { Left, Center, Right };

// A title line of the body: the title large, a line under it, and a text at
// the right (a job number, a date).
struct Heading
{
    QString title;
    QString subtitle;
    QString right;
};

// One entry of a section.
struct Item
{
    enum Kind { Field, Check, Text };
    Kind kind = Field;
    QString label;
    QString value;
    bool checked = false;
    int minLines = 0; // Text: ruled lines kept free to write on

    static Item field(const QString &label, const QString &value) { return { Field, label, value, false, 0 }; }
    static Item check(const QString &label, bool checked) { return { Check, label, {}, checked, 0 }; }
    static Item text(const QString &value, int minLines = 0) { return { Text, {}, value, false, minLines }; }
};

// A boxed section with a caption band: fields as label and value, check
// boxes, or a paragraph, in one or more columns.
struct Section
{
    QString caption;
    QList<Item> items;
    int columns = 1;
    qreal weight = 1; // share of the row's width
};

// Sections side by side, all as tall as the tallest; never split.
struct Panels
{
    QList<Section> sections;
};

struct Column
{
    QString title;
    qreal width = 50; // points; the columns are scaled to the page's width
    Align align = Align::Left;
    bool tick = false; // a non-empty cell prints as a tick mark
    bool fit = false; // never wraps: as wide as its widest cell
    bool vertical = false; // the title reads upwards, so a narrow column takes a long one
};

struct Row
{
    QStringList cells;
    QColor tint; // the row's background; invalid for none
};

// A table: an optional caption, the header row (repeated on every page the
// table runs over), its rows, and total lines that stay with the last row.
// With no rows it prints emptyText under its header.
struct Table
{
    QString caption;
    QList<Column> columns;
    std::vector<Row> rows;
    QList<Row> totals;
    QString emptyText;
    qreal fontSize = 8.5; // points
};

// Lines to sign on, side by side.
struct Signatures
{
    QStringList labels;
};

// A line of small print.
struct Note
{
    QString text;
};

// Paints the report's picture (the logo) into a rectangle.
using PicturePainter = std::function<void(QPainter &, const QRectF &)>;

// A picture in the flow (a chart): an optional caption band over a box of
// the page's width and the given height, which `paint` fills. The painter
// works in device pixels; `paint` scales to the rectangle it is given.
struct Drawing
{
    QString caption;
    qreal height = 200; // points, the band not included
    PicturePainter paint;
};

using Block = std::variant<Heading, Panels, Table, Signatures, Note, Drawing>;

// One photo of the photo section, without its picture.
struct Photo
{
    qint64 id = 0;
    QString caption; // its caption, or its file name when it has none
    QString taken; // when it was taken, as printed
    QString place; // the room and moisture point it shows; empty for none
};

// Reads a photo's picture, upright and scaled to fit `size` pixels; a null
// image when it is gone or does not decode. Called while the photo's page is
// painted, so that only the photo being drawn is in memory.
using PhotoReader = std::function<QImage(qint64 id, const QSize &size)>;

// Photos after the blocks, six to a page (two across, three down), each with
// its caption, date and place under it. Each starts on a page of its own.
struct PhotoSection
{
    QString caption;
    QList<Photo> photos;
    PhotoReader read;
    qreal dpi = 200; // the resolution the pictures are read at
};

struct Document
{
    QString title; // "Work Order": at the top right of every page
    QString subtitle; // under the title (the board's filters)
    QString footer; // at the bottom left of every page
    QString name; // what a saved copy is called: "Work Order 12 - Smith"
    RunTexts texts;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    PicturePainter picture;
    std::vector<Block> blocks;
    // The job's photos, printed only when `printPhotos` is set (a report
    // asked for with them): a job of hundreds would fill pages unasked.
    PhotoSection photos;
    bool printPhotos = false;
};

} // namespace reports
