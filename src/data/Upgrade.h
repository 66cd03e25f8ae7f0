#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace data {

class Connection;
struct SchemaCheck;

// What upgradeSchema() found and did.
struct UpgradeResult
{
    int from = 1; // the version the database was at
    bool versionStored = true; // false: none was stored, taken as version 1
    int to = 1; // the version it is at now
    // One line a step ("version 2: created table SchemaVersion"), then one a
    // widened column ("widened column Employee.Password from 60 to 255
    // characters").
    QStringList done;
};

// How upgradeSchema() commits its work.
enum class UpgradeCommits {
    // Each step commits on its own, with its version: a failed step keeps
    // the ones before it, and the next run carries on from there.
    EachStep,
    // Where the dialect's schema changes take part in a transaction, all of
    // it commits at the end, each step a savepoint in it: a failure changes
    // nothing. Elsewhere as EachStep.
    AtTheEnd,
};

// Brings the database to kSchemaVersion (Schema.h) one numbered step at a
// time; each step runs in a transaction of its own that also stores its
// version. A database that stores no version is from an older installation:
// version 1. Then it widens every text column narrower than the program
// needs (narrowColumns(), TextWidths.h), whatever the version: an older
// installation may have made any of them narrower.
//
// Refuses (DbError, nothing changed) a database that lacks a required table
// or column, and one at a version newer than this program's. Running it on a
// current database does nothing.
UpgradeResult upgradeSchema(Connection &db, UpgradeCommits commits = UpgradeCommits::EachStep);

// Whether upgradeSchema() would change a database of which checkSchema() found
// `check` and that stores `storedVersion`: false also when it would refuse.
bool upgradeWouldChange(const SchemaCheck &check, std::optional<int> storedVersion);

} // namespace data
