#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <span>

namespace data {

class Connection;

// What a row whose parent is gone means, and what the upgrade that adds the
// foreign keys does with one found in an older database.
enum class OrphanRule {
    // Part of its parent: the program deletes it with the parent (the key
    // says ON DELETE CASCADE); one left behind can never be shown and goes.
    Delete,
    // Kept without the link: the program clears the column before it
    // deletes the parent (a photo stays with its job); a dangling link is
    // cleared.
    Detach,
    // The program refuses to delete the parent while the row exists; one
    // left behind stops the upgrade, naming it (someone decides).
    Refuse,
    // Only reported: a reference into the data model's own tables, which
    // the older program and other programs write and delete in without a
    // key (a key would make their deletes fail).
    Report,
};

// A column of one table that holds the ID of a row of another.
struct Reference
{
    const char *table;
    const char *column;
    const char *parent;
    OrphanRule rule;

    // Held by a foreign key (every rule but Report).
    bool constrained() const { return rule != OrphanRule::Report; }
    // The key's name, as the schema scripts and the upgrade give it:
    // FK_<table>_<column>.
    QString keyName() const;
};

// Every reference of the data model, parents before children, written once:
// the schema scripts declare a key for each constrained one (a test holds
// them to this list), the upgrade adds those keys to an older database, and
// the admin tool's check looks for orphans of all of them.
std::span<const Reference> references();

// A foreign key as the database's catalog has it (names as stored: lower
// case on PostgreSQL).
struct ForeignKey
{
    QString table;
    QString column;
    QString parent;
    QString onDelete; // "CASCADE", "NO ACTION", ...

    QString describe() const; // "MoisturePoint.RoomID -> DryingRoom ON DELETE CASCADE"
};
// Every foreign key of the connection's schema. Throws DbError.
QList<ForeignKey> readForeignKeys(Connection &db);

// The rows of one reference whose parent row is missing.
struct Orphans
{
    Reference reference;
    qint64 count = 0;
    QList<qint64> ids; // the first few, by ID

    // "EquipmentPlacement.RoomID -> DryingRoom: 2 rows (ID 4, 9)"
    QString describe() const;
};
// The orphans of every reference whose tables and column the database has.
// Throws DbError.
QList<Orphans> findOrphans(Connection &db);
// The same for one reference.
Orphans findOrphans(Connection &db, const Reference &reference);

} // namespace data
