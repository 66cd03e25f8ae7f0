#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

class QIODevice;

// The board written out for a spreadsheet: UTF-8 with a byte-order mark (so
// that accented names survive the double-click), one line per row ending in
// CR LF, fields quoted where they must be.
namespace board {

// One field: quoted, its quotes doubled, when it holds a comma, a quote, a
// line break or surrounding blanks; as it stands otherwise.
QString csvField(QStringView text);

// What a board cell becomes in the file: dates and the dates of the stamps
// as ISO text ("2026-03-30", "2026-03-30 10:15:00"); money and hours as the
// plain numbers the cells hold; any text a spreadsheet might take for a
// formula (starting with = + - @, a tab or a carriage return, the stamps'
// names included) behind an apostrophe.
QString csvCell(int column, const QString &cellText);

class CsvWriter
{
public:
    // Starts the file with the byte-order mark.
    explicit CsvWriter(QIODevice &device);
    void writeRow(const QStringList &fields);
    // Writes what is buffered; false when the device refused.
    bool finish();

private:
    QIODevice &m_device;
    QByteArray m_buffer;
    bool m_ok = true;
    void flush();
};

} // namespace board
