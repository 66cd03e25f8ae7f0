#include "data/RowMap.h"

#include <QSqlRecord>

namespace data {

Row::Row(const Rows &rows)
    : m_rows(rows)
{
    const QSqlRecord record = rows.record();
    for (int i = record.count() - 1; i >= 0; --i) // a name listed twice is its first
        m_index.insert(record.fieldName(i).toLower(), i);
}

QVariant Row::operator[](QAnyStringView name) const
{
    const auto found = m_index.constFind(name.toString().toLower());
    if (found == m_index.cend())
        throw DbError(QStringLiteral("-1"), QStringLiteral("The statement yields no column %1.").arg(name.toString()));
    return m_rows.value(*found);
}

Fields Row::read(std::initializer_list<const char *> names) const
{
    Fields fields;
    for (const char *name : names)
        fields << qMakePair(QString::fromLatin1(name), (*this)[name]);
    return fields;
}

Fields Row::read(const Fields &columns) const
{
    Fields fields;
    for (const auto &column : columns)
        fields << qMakePair(column.first, (*this)[column.first]);
    return fields;
}

} // namespace data
