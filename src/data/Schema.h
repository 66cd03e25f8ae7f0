#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace data {

class Connection;

inline constexpr int kSchemaVersion = 1;

// Splits a schema script into its statements at lines holding only "GO".
QStringList splitScript(const QString &script);

// Tables and their columns as the program uses them, read from the schema
// script (one source for both creating and checking a database).
QMap<QString, QStringList> expectedTables();

// Creates every table, index and procedure in the connection's dialect and adds
// the lookup rows, all in one transaction. Throws DbError.
void createSchema(Connection &db);

// What is missing from the connection's database: one line per missing table or
// column ("table WIP", "column WIP.QBID"). Empty when complete.
QStringList checkSchema(Connection &db);

} // namespace data
