#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The cells of one grid row packed into one UTF-8 byte array, joined by the
// byte 0xFF. That byte never occurs in UTF-8, so a cell may hold any text,
// tabs included, and a row costs little more than its text.
namespace GridCells {

inline constexpr char kSeparator = '\xff';

// The bytes of cell `col`; empty past the row's last cell.
QByteArrayView cell(const QByteArray &packed, int col);
inline QString text(const QByteArray &packed, int col)
{
    return QString::fromUtf8(cell(packed, col));
}

// A tab-separated line, keeping at most `maxCells` cells.
QByteArray fromTabText(QStringView line, int maxCells);
// Cuts a row down to `maxCells` cells.
void truncate(QByteArray &packed, int maxCells);
// The row with cell `col` replaced; a short row is padded with empty cells.
QByteArray replaced(const QByteArray &packed, int col, const QString &text);

} // namespace GridCells
