#pragma once

#include "base/FieldProblem.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <optional>

namespace data {

class Connection;

// A limited text column as the database declares it.
struct DeclaredColumn
{
    int width = 0; // in characters
    bool nullable = true;
};
// Keyed by "table.column" in lower case.
using DeclaredWidths = QHash<QString, DeclaredColumn>;

// The limited text columns of the program's tables as the connection's
// catalog declares them, read in one query. None on SQLite, whose columns
// keep no width: there the scripts' widths stand.
std::optional<DeclaredWidths> readDeclaredWidths(Connection &db);

// Makes `widths`, read from the job database at start-up, the ones
// textWidth() reports for the rest of the run (a run works on one job
// database); none: the scripts' widths.
void useDeclaredWidths(std::optional<DeclaredWidths> widths);

// The width a text is checked against before a save, counted in UTF-16 units
// as the boxes count: the database's own where useDeclaredWidths() gave it
// one, else the schema script's (scriptWidth(), Schema.h); 0 for none.
// SQLite stores any length and the servers refuse a longer text only when
// the statement runs, so records are checked against this first.
int textWidth(const QString &table, const QString &column);

// The first text among `values` (column, value) longer than its column of
// `table`: a problem naming the field ("Initial Scope is longer than 250
// characters."). Nothing when all fit.
std::optional<FieldProblem> tooLong(const QString &table, const QList<QPair<QString, QVariant>> &values);

// A text column narrower than the program needs: a password hash's length
// for Employee.Password (a longer width in the script is room to spare), the
// script's width for any other.
struct NarrowColumn
{
    QString table; // as the script spells it
    QString column;
    int width = 0; // as the database declares it
    int needed = 0;
    int widenTo = 0; // the script's width, at least `needed`
    bool nullable = true; // kept when widened
};
QList<NarrowColumn> narrowColumns(const DeclaredWidths &widths);

// "column Employee.Password holds 60 characters, needs 127"
QString describe(const NarrowColumn &column);

} // namespace data
