#pragma once

#include <QString>
#include <QStringList>

namespace data {

class Connection;

// What upgradeSchema() found and did.
struct UpgradeResult
{
    int from = 1; // the version the database was at
    bool versionStored = true; // false: none was stored, taken as version 1
    int to = 1; // the version it is at now
    QStringList done; // one line a step: "version 2: created table SchemaVersion"
};

// Brings the database to kSchemaVersion (Schema.h) one numbered step at a
// time. Each step runs in a transaction of its own that also stores its
// version, so a failed step leaves the database at the version before it and
// the next run carries on from there. A database that stores no version is
// from an older installation: version 1.
//
// Refuses (DbError, nothing changed) a database that lacks a required table
// or column, and one at a version newer than this program's. Running it on a
// current database does nothing.
UpgradeResult upgradeSchema(Connection &db);

} // namespace data
