#include "grid/GridCells.h"

#include <cstring>

namespace GridCells {

namespace {

    const char *nextSeparator(const char *from, const char *end)
    {
        return static_cast<const char *>(std::memchr(from, kSeparator, size_t(end - from)));
    }

} // namespace

QByteArrayView cell(const QByteArray &packed, int col)
{
    const char *p = packed.constData();
    const char *end = p + packed.size();
    for (int c = 0; c < col; ++c) {
        const char *sep = nextSeparator(p, end);
        if (!sep)
            return {};
        p = sep + 1;
    }
    const char *sep = nextSeparator(p, end);
    return QByteArrayView(p, sep ? sep : end);
}

QByteArray fromTabText(QStringView line, int maxCells)
{
    if (maxCells <= 0)
        return {};
    QByteArray bytes = line.toUtf8();
    char *data = bytes.data();
    char *const end = data + bytes.size();
    int cells = 1;
    for (char *tab = data; (tab = static_cast<char *>(std::memchr(tab, '\t', size_t(end - tab)))); ++tab) {
        if (cells == maxCells) {
            bytes.truncate(tab - data);
            break;
        }
        *tab = kSeparator;
        ++cells;
    }
    // toUtf8() reserves room for the worst case, and rows live long.
    bytes.squeeze();
    return bytes;
}

void truncate(QByteArray &packed, int maxCells)
{
    if (maxCells <= 0) {
        packed.clear();
        return;
    }
    int cells = 1;
    for (qsizetype i = 0; i < packed.size(); ++i) {
        if (packed.at(i) == kSeparator && cells++ == maxCells) {
            packed.truncate(i);
            return;
        }
    }
}

QByteArray replaced(const QByteArray &packed, int col, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray result;
    result.reserve(packed.size() + utf8.size() + col + 1);
    const char *p = packed.constData();
    const char *end = p + packed.size();
    for (int c = 0; c < col; ++c) {
        if (const char *sep = nextSeparator(p, end)) {
            result.append(p, sep + 1 - p);
            p = sep + 1;
        } else {
            result.append(p, end - p);
            result.append(kSeparator);
            p = end;
        }
    }
    result.append(utf8);
    if (const char *sep = nextSeparator(p, end))
        result.append(sep, end - sep);
    result.squeeze();
    return result;
}

} // namespace GridCells
