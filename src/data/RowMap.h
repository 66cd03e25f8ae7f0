#pragma once

#include "data/Database.h"

#include <QAnyStringView>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>
#include <type_traits>

namespace data {

// The current row of `rows` read by its columns' names, never by their
// places in the select list: reordering a list cannot shift a value into the
// wrong field, and a name the statement does not yield throws rather than
// reading as NULL. Names match as the drivers report them: without a table's
// alias ("P.ID" is "ID") and in any case (PostgreSQL folds them to lower
// case). Built once per statement; it follows `rows` from row to row.
class Row
{
public:
    explicit Row(const Rows &rows);

    // Throws DbError when the statement yields no column `name`.
    QVariant operator[](QAnyStringView name) const;
    bool isNull(QAnyStringView name) const { return (*this)[name].isNull(); }
    // The named columns as the driver hands them back: what a record keeps
    // of its row to tell what its save changes
    // (Connection::updateRowAtVersion). Compared as read, a stored value the
    // record keeps another way (a date with a time of day it shows as a day,
    // blanks it trims) is no one else's change.
    Fields read(std::initializer_list<const char *> names) const;
    // The same for the columns a record saves (their values left aside).
    Fields read(const Fields &columns) const;

private:
    const Rows &m_rows;
    QHash<QString, int> m_index; // lower-case name -> place
};

// The first row of `rows` made a record by `map`; nothing when there is none.
template <typename Map> auto one(Rows &rows, Map &&map) -> std::optional<std::invoke_result_t<Map &, const Row &>>
{
    if (!rows.next())
        return std::nullopt;
    return std::invoke(map, Row(rows));
}
template <typename Map> auto one(Rows &&rows, Map &&map)
{
    return one(rows, std::forward<Map>(map));
}

// Every row of `rows` made a record by `map`, in their order.
template <typename Map> auto all(Rows &rows, Map &&map) -> QList<std::invoke_result_t<Map &, const Row &>>
{
    QList<std::invoke_result_t<Map &, const Row &>> records;
    if (!rows.next())
        return records;
    const Row row(rows);
    do
        records << std::invoke(map, row);
    while (rows.next());
    return records;
}
template <typename Map> auto all(Rows &&rows, Map &&map)
{
    return all(rows, std::forward<Map>(map));
}

} // namespace data
