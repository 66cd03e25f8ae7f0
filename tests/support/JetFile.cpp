#include "support/JetFile.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <cstring>

namespace jetfile {

namespace {

    constexpr int kPage = 4096;
    constexpr int kDataHeader = 14; // type, 1, free space, table page, 4 unknown, row count
    constexpr int kColumnEntry = 25;
    constexpr int kCatalogPage = 2;

    void put16(QByteArray &b, int at, quint16 v)
    {
        b[at] = char(v & 0xff);
        b[at + 1] = char(v >> 8);
    }

    void put32(QByteArray &b, int at, quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            b[at + i] = char((v >> (8 * i)) & 0xff);
    }

    void append16(QByteArray &b, quint16 v)
    {
        b.append(char(v & 0xff)).append(char(v >> 8));
    }

    void append32(QByteArray &b, quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            b.append(char((v >> (8 * i)) & 0xff));
    }

    QByteArray ucs2(const QString &text)
    {
        QByteArray out;
        for (QChar c : text)
            append16(out, c.unicode());
        return out;
    }

    // RC4, as the header's scrambled area and encrypted pages use it.
    void rc4(const QByteArray &key, char *data, int length)
    {
        unsigned char s[256];
        for (int i = 0; i < 256; ++i)
            s[i] = static_cast<unsigned char>(i);
        for (int i = 0, j = 0; i < 256; ++i) {
            j = (j + s[i] + static_cast<unsigned char>(key[i % key.size()])) & 0xff;
            std::swap(s[i], s[j]);
        }
        for (int n = 0, i = 0, j = 0; n < length; ++n) {
            i = (i + 1) & 0xff;
            j = (j + s[i]) & 0xff;
            std::swap(s[i], s[j]);
            data[n] = char(data[n] ^ s[(s[i] + s[j]) & 0xff]);
        }
    }

    int fixedSize(Type type)
    {
        switch (type) {
        case Type::Int:
            return 2;
        case Type::Long:
            return 4;
        case Type::Text:
        case Type::Ole:
            break;
        }
        return 0;
    }

    bool isFixed(Type type)
    {
        return fixedSize(type) > 0;
    }

    // A row as a Jet 4 data page stores it: column count, fixed columns, variable
    // columns, their end, their offsets last to first, their count, the mask of
    // columns that are not null.
    QByteArray packRow(const QList<Column> &columns, const QVariantList &values)
    {
        const int n = int(columns.size());
        QByteArray row;
        append16(row, quint16(n));
        QByteArray mask((n + 7) / 8, '\0');
        for (int i = 0; i < n; ++i) {
            if (!values.value(i).isNull())
                mask[i / 8] = char(mask[i / 8] | (1 << (i % 8)));
        }
        for (int i = 0; i < n; ++i) {
            const Type type = columns[i].type;
            if (!isFixed(type))
                continue;
            const qint64 v = values.value(i).toLongLong();
            if (type == Type::Long)
                append32(row, quint32(v));
            else
                append16(row, quint16(v));
        }
        QList<quint16> offsets;
        for (int i = 0; i < n; ++i) {
            const Type type = columns[i].type;
            if (isFixed(type))
                continue;
            offsets << quint16(row.size());
            const QVariant &v = values.value(i);
            if (v.isNull())
                continue;
            row.append(type == Type::Text ? ucs2(v.toString()) : v.toByteArray());
        }
        if (!offsets.isEmpty()) {
            append16(row, quint16(row.size()));
            for (auto it = offsets.crbegin(); it != offsets.crend(); ++it)
                append16(row, *it);
            append16(row, quint16(offsets.size()));
        }
        return row + mask;
    }

    QByteArray tableDefinition(const Table &table, bool system, quint32 usedMap, quint32 freeMap)
    {
        QByteArray page(kPage, '\0');
        page[0] = 0x02;
        page[1] = 0x01;
        page[2] = 'V';
        page[3] = 'C';
        int varCount = 0;
        for (const Column &c : table.columns)
            varCount += isFixed(c.type) ? 0 : 1;
        const auto n = quint16(table.columns.size());
        put32(page, 16, quint32(table.rows.size()));
        page[40] = char(system ? 0x4e : 0x53);
        put16(page, 41, n);
        put16(page, 43, quint16(varCount));
        put16(page, 45, n);
        put32(page, 55, usedMap);
        put32(page, 59, freeMap);

        int at = 63;
        int fixedOffset = 0;
        int varIndex = 0;
        for (int i = 0; i < n; ++i) {
            const Column &c = table.columns[i];
            page[at] = char(c.type);
            put16(page, at + 5, quint16(i));
            put16(page, at + 7, quint16(isFixed(c.type) ? 0 : varIndex));
            put16(page, at + 9, quint16(i));
            if (c.type == Type::Text) {
                put16(page, at + 11, 0x0409); // general sort order
                put16(page, at + 13, 0x0001);
            }
            page[at + 15] = char(isFixed(c.type) ? 0x03 : 0x02); // fixed, may be null
            put16(page, at + 21, quint16(isFixed(c.type) ? fixedOffset : 0));
            put16(page, at + 23, quint16(c.type == Type::Text ? 510 : fixedSize(c.type)));
            if (isFixed(c.type))
                fixedOffset += fixedSize(c.type);
            else
                ++varIndex;
            at += kColumnEntry;
        }
        for (const Column &c : table.columns) {
            const QByteArray name = ucs2(c.name);
            put16(page, at, quint16(name.size()));
            std::memcpy(page.data() + at + 2, name.constData(), size_t(name.size()));
            at += 2 + int(name.size());
        }
        Q_ASSERT(at < kPage);
        put32(page, 8, quint32(at - 8));
        return page;
    }

    // Data pages of one table, rows packed from the end of each page down.
    QList<QByteArray> dataPages(const QList<QByteArray> &rows, quint32 owner)
    {
        QList<QByteArray> pages;
        int next = 0;
        while (next < rows.size() || pages.isEmpty()) {
            QByteArray page(kPage, '\0');
            page[0] = 0x01;
            page[1] = 0x01;
            put32(page, 4, owner);
            int end = kPage;
            int count = 0;
            while (next < rows.size()) {
                const QByteArray &row = rows[next];
                Q_ASSERT(row.size() + 2 + kDataHeader < kPage);
                if (end - int(row.size()) < kDataHeader + 2 * (count + 1))
                    break;
                end -= int(row.size());
                std::memcpy(page.data() + end, row.constData(), size_t(row.size()));
                put16(page, kDataHeader + 2 * count, quint16(end));
                ++count;
                ++next;
            }
            put16(page, 12, quint16(count));
            put16(page, 2, quint16(end - kDataHeader - 2 * count));
            pages << page;
        }
        return pages;
    }

    // A usage map kept in the row itself: type 0, first page, one bit a page.
    QByteArray usageMap(const QList<int> &pages, int pageCount)
    {
        QByteArray map(5 + std::max(59, (pageCount + 7) / 8), '\0');
        for (int p : pages)
            map[5 + p / 8] = char(map[5 + p / 8] | (1 << (p % 8)));
        return map;
    }

    const QList<Column> kCatalogColumns { { QStringLiteral("Id"), Type::Long }, { QStringLiteral("Name"), Type::Text },
        { QStringLiteral("Type"), Type::Int }, { QStringLiteral("Flags"), Type::Long },
        { QStringLiteral("LvProp"), Type::Ole } };

    QString csvRow(const QList<Column> &columns, const QVariantList &values)
    {
        QStringList cells;
        for (int i = 0; i < columns.size(); ++i) {
            const QVariant &v = values.value(i);
            // mdb-export writes an empty text as it writes a NULL.
            if (v.isNull() || (columns[i].type == Type::Text && v.toString().isEmpty()))
                cells << QString();
            else if (columns[i].type == Type::Text)
                cells << QLatin1Char('"') + v.toString().replace(QLatin1Char('"'), QStringLiteral("\"\""))
                        + QLatin1Char('"');
            else
                cells << QString::number(v.toLongLong());
        }
        return cells.join(QLatin1Char(','));
    }

    QString run(const QString &program, const QStringList &arguments, QString *error)
    {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
            || process.exitCode() != 0) {
            *error = QStringLiteral("%1 %2 failed: %3 %4")
                         .arg(program, arguments.join(QLatin1Char(' ')), process.errorString(),
                             QString::fromUtf8(process.readAllStandardError()));
            return {};
        }
        return QString::fromUtf8(process.readAllStandardOutput());
    }

} // namespace

QByteArray headerPage(const Header &header)
{
    const bool jet4 = header.jetVersion != 0;
    QByteArray page(jet4 ? kPage : 2048, '\0');
    page[1] = 0x01;
    std::memcpy(page.data() + 4, "Standard Jet DB", 15);
    put32(page, 0x14, quint32(header.jetVersion));
    put16(page, 0x3c, 1252);
    put32(page, 0x3e, 0); // no page encryption
    // The password area holds the password (UCS-2 in Jet 4, masked with the
    // whole days of the creation date; bytes in Jet 3), zeros after it.
    const int length = jet4 ? 40 : 20;
    QByteArray password = jet4 ? ucs2(header.password) : header.password.toLatin1();
    password = password.leftJustified(length, '\0', true);
    if (jet4) {
        QByteArray mask;
        append32(mask, quint32(qint32(header.created)));
        for (int i = 0; i < length; ++i)
            password[i] = char(password[i] ^ mask[i % 4]);
    }
    std::memcpy(page.data() + 0x42, password.constData(), size_t(length));
    put16(page, 0x6e, 0x0409);
    std::memcpy(page.data() + 0x72, &header.created, sizeof(double));
    rc4(QByteArray::fromHex("c7da396b"), page.data() + 0x18, jet4 ? 128 : 126);
    return page;
}

QByteArray database(const QList<Table> &tables, const Header &header)
{
    // Page 0 header, 1 usage maps, 2 the catalog's definition, 3 its rows;
    // then each table's definition followed by its data pages.
    Table catalog { QStringLiteral("MSysObjects"), kCatalogColumns, {} };
    QList<QByteArray> catalogRows;
    QList<QList<QByteArray>> tablePages;
    QList<int> tdefPages;
    int nextPage = 4;
    for (const Table &table : tables) {
        QList<QByteArray> rows;
        for (const QVariantList &values : table.rows)
            rows << packRow(table.columns, values);
        tdefPages << nextPage;
        tablePages << dataPages(rows, quint32(nextPage));
        nextPage += 1 + int(tablePages.last().size());
    }
    const int pageCount = nextPage;
    catalog.rows << QVariantList { kCatalogPage, catalog.name, 1, qint32(0x80000002), QVariant() };
    for (int t = 0; t < tables.size(); ++t)
        catalog.rows << QVariantList { tdefPages[t], tables[t].name, 1, 0, QVariant() };
    for (const QVariantList &values : catalog.rows)
        catalogRows << packRow(catalog.columns, values);
    const QList<QByteArray> catalogData = dataPages(catalogRows, kCatalogPage);
    Q_ASSERT(catalogData.size() == 1);

    // Usage maps: a used-pages and a free-pages row per table, catalog first.
    QList<QByteArray> maps { usageMap({ 3 }, pageCount), usageMap({}, pageCount) };
    for (int t = 0; t < tables.size(); ++t) {
        QList<int> used;
        for (int i = 0; i < tablePages[t].size(); ++i)
            used << tdefPages[t] + 1 + i;
        maps << usageMap(used, pageCount) << usageMap({}, pageCount);
    }
    const auto mapRow = [](int row) { return quint32((1 << 8) | row); };

    QByteArray file = headerPage(header);
    file += dataPages(maps, 0).value(0);
    file += tableDefinition(catalog, true, mapRow(0), mapRow(1));
    file += catalogData[0];
    for (int t = 0; t < tables.size(); ++t) {
        file += tableDefinition(tables[t], false, mapRow(2 + 2 * t), mapRow(3 + 2 * t));
        for (const QByteArray &page : tablePages[t])
            file += page;
    }
    Q_ASSERT(file.size() == qsizetype(pageCount) * kPage);
    return file;
}

Table customerTable(const QList<Customer> &customers)
{
    Table table { QStringLiteral("tblCustomers"), { { QStringLiteral("CustomerID"), Type::Long } }, {} };
    for (const char *name : { "SFirst", "SLast", "SCompany", "SAddress1", "SCity", "SState", "SZip", "P1" })
        table.columns << Column { QString::fromLatin1(name), Type::Text };
    for (const Customer &c : customers)
        table.rows << QVariantList { c.id, c.first, c.last, c.company, c.address, c.city, c.state, c.zip, c.phone };
    return table;
}

QString writeChecked(const QString &path, const QList<Table> &tables, const Header &header)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(database(tables, header)) < 0)
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    file.close();

    QString error;
    const QStringList listed = run(QStringLiteral("mdb-tables"), { QStringLiteral("-1"), path }, &error)
                                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!error.isEmpty())
        return error;
    QStringList expected;
    for (const Table &t : tables)
        expected << t.name;
    if (listed != expected)
        return QStringLiteral("mdb-tables lists %1, expected %2").arg(listed.join(u' '), expected.join(u' '));

    for (const Table &t : tables) {
        const QString csv = run(QStringLiteral("mdb-export"), { path, t.name }, &error);
        if (!error.isEmpty())
            return error;
        QStringList want;
        QStringList names;
        for (const Column &c : t.columns)
            names << c.name;
        want << names.join(QLatin1Char(','));
        for (const QVariantList &values : t.rows)
            want << csvRow(t.columns, values);
        const QStringList got = csv.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (got != want) {
            for (int i = 0; i < std::max(got.size(), want.size()); ++i) {
                if (got.value(i) != want.value(i))
                    return QStringLiteral("mdb-export %1 line %2 is '%3', expected '%4'")
                        .arg(t.name)
                        .arg(i + 1)
                        .arg(got.value(i), want.value(i));
            }
        }
    }
    return {};
}

} // namespace jetfile
