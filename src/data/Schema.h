#pragma once

#include "data/TextWidths.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace data {

class Connection;
class Dialect;

// The schema version this program creates and upgrades to. Version 1 is the
// data model as the existing installations have it; each later version is one
// numbered step of upgradeSchema() (Upgrade.h).
inline constexpr int kSchemaVersion = 14;

// Splits a schema script into its statements at lines holding only "GO".
QStringList splitScript(const QString &script);

// One table of the schema script. A table or column the script marks with a
// "-- addition" comment is the program's own: a database from an older
// installation may lack it, and upgrade adds it. Everything else is the data
// model every job database has.
struct ExpectedTable
{
    QStringList columns; // every column, in script order
    QStringList types; // the type each declares, its first word ("INTEGER")
    QStringList addedColumns; // the marked ones among them
    bool addition = false; // the table as a whole is marked
    // The table's place in the script, which creates a parent before the
    // tables whose keys point at it.
    int order = 0;
};

// The tables of a schema script, with their addition marks.
QMap<QString, ExpectedTable> parseSchemaScript(const QString &script);

// Tables and their columns as the program uses them, read from the schema
// script (one source for creating, checking and upgrading a database).
QMap<QString, ExpectedTable> expectedTables();

// The width the schema script declares for a text column (VARCHAR(n) in the
// server scripts); 0 for a column without one. What the database itself
// declares is textWidth() (TextWidths.h).
int scriptWidth(const QString &table, const QString &column);

// The CREATE TABLE statement of `table` in the dialect's schema script.
// Throws DbError when the script has none.
QString createTableStatement(const Dialect &dialect, const QString &table);

// The statements that make the dialect's schema: its own script, then the
// indexes every dialect shares. Throws DbError.
QStringList schemaStatements(const Dialect &dialect);
// The lookup rows every new database starts with. Throws DbError.
QStringList lookupStatements();

// The job history's triggers, which the database runs at every change of a
// job or its subcontractors (and the StatusSince they keep), with the
// functions they call: made anew as the dialect's script defines them.
// Returns what it made. Throws DbError.
QStringList createHistoryTriggers(Connection &db);
// The history's triggers of the dialect's script, "<trigger> <table>" each.
QStringList historyTriggerTables(const Dialect &dialect);
// Drops the job history's triggers, for a load that brings a history of its
// own (a copy, a restore); returns the statements that make them again.
// Throws DbError.
QStringList dropHistoryTriggers(Connection &db);

// Creates every table, index and procedure in the connection's dialect, adds
// the lookup rows and stores kSchemaVersion, all in one transaction. Throws
// DbError.
void createSchema(Connection &db);

// What the connection's database lacks, one line each ("table WIP",
// "column WIP.QBID").
struct SchemaCheck
{
    // Part of the data model: the program cannot work without it, and upgrade
    // does not make it up.
    QStringList missing;
    // The program's own additions: upgrade adds them.
    QStringList toBeAdded;
    // Text columns narrower than the program needs (describe() of each,
    // TextWidths.h): upgrade widens them.
    QStringList narrow;

    bool complete() const { return missing.isEmpty() && toBeAdded.isEmpty() && narrow.isEmpty(); }
};
SchemaCheck checkSchema(Connection &db);
// The same with the widths already read by readDeclaredWidths().
SchemaCheck checkSchema(Connection &db, const std::optional<DeclaredWidths> &widths);

// Whether the table exists. Asks the catalog, so it is safe inside a
// transaction.
bool hasTable(Connection &db, const QString &table);

// The version the database stores; none for a database from before the
// program stored one (no SchemaVersion table, or no row in it).
std::optional<int> storedSchemaVersion(Connection &db);
// Stores `version` as the database's only version row.
void writeSchemaVersion(Connection &db, int version);

} // namespace data
