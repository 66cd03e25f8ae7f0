#include "board/BoardCsv.h"

#include "base/Formats.h"
#include "board/BoardQuery.h"

#include <QIODevice>
#include <QLocale>
#include <algorithm>

namespace board {

namespace {

    bool isOneOf(int column, const auto &columns)
    {
        return std::find(columns.begin(), columns.end(), column) != columns.end();
    }

    // Cells whose text is the program's own, never typed: no formula guard.
    bool isValueColumn(int column)
    {
        return column == ColId || column == ColDryingDays || column == ColDaysInStatus || column == ColRugs
            || column == ColCarpetCleanRooms || column == ColBilledAmount || column == ColHours || column == ColFlash
            || isOneOf(column, kBooleanColumns) || isOneOf(column, kDateColumns);
    }

    // "2026-03-30T10:15:00" as a spreadsheet reads a date and time.
    QString isoCell(const QString &text)
    {
        if (text.size() == 19 && text[10] == u'T')
            return text.left(10) + u' ' + text.mid(11);
        return text;
    }

    // "<who> - <date and time>" with the date and time as ISO text.
    QString isoStamp(const QString &text)
    {
        const qsizetype split = text.lastIndexOf(QStringLiteral(" - "));
        if (split < 0 || split + 3 == text.size())
            return text;
        const QLocale locale;
        const QDateTime when = locale.toDateTime(text.mid(split + 3), Formats::generalDateTimeFormat(locale));
        if (!when.isValid())
            return text;
        return text.left(split + 3) + when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }

} // namespace

QString csvField(QStringView text)
{
    const bool quote = text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r')
        || (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text.toString();
    QString field;
    field.reserve(text.size() + 8);
    field += u'"';
    for (const QChar c : text) {
        if (c == u'"')
            field += u'"';
        field += c;
    }
    field += u'"';
    return field;
}

QString csvCell(int column, const QString &cellText)
{
    if (isOneOf(column, kDateColumns))
        return isoCell(cellText);
    // A stamp starts with the user's name, typed by someone.
    const QString text = isOneOf(column, kStampColumns) ? isoStamp(cellText) : cellText;
    // What a spreadsheet may start a formula with, a tab and a carriage
    // return included (it drops them and reads on).
    if (!isValueColumn(column) && !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front()))
        return u'\'' + text;
    return text;
}

CsvWriter::CsvWriter(QIODevice &device)
    : m_device(device)
{
    m_buffer = QByteArrayLiteral("\xEF\xBB\xBF");
}

void CsvWriter::writeRow(const QStringList &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            m_buffer += ',';
        m_buffer += csvField(fields[i]).toUtf8();
    }
    m_buffer += "\r\n";
    if (m_buffer.size() > 1 << 16)
        flush();
}

void CsvWriter::flush()
{
    if (m_ok && !m_buffer.isEmpty())
        m_ok = m_device.write(m_buffer) == m_buffer.size();
    m_buffer.clear();
}

bool CsvWriter::finish()
{
    flush();
    return m_ok;
}

} // namespace board
