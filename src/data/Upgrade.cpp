#include "data/Upgrade.h"

#include "base/Permissions.h"
#include "data/Database.h"
#include "data/References.h"
#include "data/Schema.h"

#include <QRegularExpression>
#include <QSqlRecord>
#include <algorithm>
#include <array>
#include <optional>

namespace data {

namespace {

    // Creates whichever of the tables is not there yet, as the dialect's schema
    // script defines them; a database may already have some of them.
    QStringList createMissingTables(Connection &db, std::initializer_list<const char *> tables)
    {
        QStringList done;
        for (const char *name : tables) {
            const QString table = QString::fromLatin1(name);
            if (hasTable(db, table))
                continue;
            db.execScript(createTableStatement(db.dialect(), table));
            done << QStringLiteral("created table %1").arg(table);
        }
        return done;
    }

    // Version 2: the program's own tables, which the existing installations'
    // databases do not have.
    QStringList addProgramTables(Connection &db)
    {
        return createMissingTables(db, { "SchemaVersion" });
    }

    // Whether the index exists, asked of the catalog (safe in a transaction).
    bool hasIndex(Connection &db, const QString &table, const QString &index)
    {
        return db.scalar(db.dialect().indexExists(), { table, index }).isValid();
    }

    // Creates whichever of the indexes is not there yet, as the dialect's
    // schema script defines them.
    QStringList createMissingIndexes(Connection &db, const QString &table, std::initializer_list<const char *> indexes)
    {
        const QStringList statements = schemaStatements(db.dialect());
        QStringList done;
        for (const char *name : indexes) {
            const QString index = QString::fromLatin1(name);
            if (hasIndex(db, table, index))
                continue;
            const QRegularExpression create(QStringLiteral(R"(^CREATE (?:UNIQUE )?INDEX %1 ON %2 )").arg(index, table),
                QRegularExpression::MultilineOption);
            const auto statement = std::find_if(statements.cbegin(), statements.cend(),
                [&](const QString &text) { return create.match(text).hasMatch(); });
            if (statement == statements.cend())
                throw DbError(
                    QStringLiteral("-1"), QStringLiteral("The schema script defines no index %1.").arg(index));
            db.execScript(*statement);
            done << QStringLiteral("created index %1").arg(index);
        }
        return done;
    }

    // Version 3: the indexes the time lists read by, a job's bookings and an
    // employee's bookings by date, which older databases may lack.
    QStringList addTimeIndexes(Connection &db)
    {
        return createMissingIndexes(
            db, QStringLiteral("EmployeeTime"), { "IX_EmployeeTime_WIPID", "IX_EmployeeTime_Employee_TranDate" });
    }

    // Adds whichever of the columns the table lacks, defined as in the
    // dialect's schema script (a default there fills the existing rows).
    QStringList addMissingColumns(Connection &db, const QString &table, std::initializer_list<const char *> columns)
    {
        const QString create = createTableStatement(db.dialect(), table);
        const QSqlRecord record = db.exec(QStringLiteral("SELECT * FROM %1 WHERE 1=0").arg(table)).record();
        // SQL Server's ALTER TABLE says ADD, the others ADD COLUMN.
        const QString add
            = db.dialect().kind() == DbKind::SqlServer ? QStringLiteral("ADD") : QStringLiteral("ADD COLUMN");
        QStringList done;
        for (const char *name : columns) {
            const QString column = QString::fromLatin1(name);
            if (record.indexOf(column) >= 0)
                continue;
            const QRegularExpression line(QStringLiteral(R"(^\s*(%1 [^,\n]*?)\s*,?\s*(--.*)?$)").arg(column),
                QRegularExpression::MultilineOption);
            const QRegularExpressionMatch definition = line.match(create);
            if (!definition.hasMatch())
                throw DbError(QStringLiteral("-1"),
                    QStringLiteral("The schema script defines no column %1.%2.").arg(table, column));
            db.execScript(QStringLiteral("ALTER TABLE %1 %2 %3").arg(table, add, definition.captured(1)));
            done << QStringLiteral("added column %1.%2").arg(table, column);
        }
        return done;
    }

    // Version 4: a booking's save counter. Its EditedDate keeps only the
    // day, too coarse to tell two saves apart.
    QStringList addTimeRevision(Connection &db)
    {
        return addMissingColumns(db, QStringLiteral("EmployeeTime"), { "Revision" });
    }

    // Version 5: the drying log's tables and indexes, and the company's two
    // drying log settings.
    QStringList addDryingLog(Connection &db)
    {
        QStringList done
            = createMissingTables(db, { "DryingRoom", "DryingAtmosphere", "MoisturePoint", "MoistureReading" });
        done << createMissingIndexes(db, QStringLiteral("DryingRoom"), { "IX_DryingRoom_WIPID" });
        done << createMissingIndexes(db, QStringLiteral("DryingAtmosphere"), { "IX_DryingAtmosphere_RoomID_TakenAt" });
        done << createMissingIndexes(db, QStringLiteral("MoisturePoint"), { "IX_MoisturePoint_RoomID" });
        done << createMissingIndexes(db, QStringLiteral("MoistureReading"), { "IX_MoistureReading_PointID_TakenAt" });
        done << addMissingColumns(db, QStringLiteral("Company"), { "TemperatureUnit", "DryingLogAlert" });
        return done;
    }

    QStringList createRowVersionTriggers(Connection &db);

    // Version 6: a row version on every table two users may edit, moved on
    // by the database itself at every change of a row (a trigger on SQLite
    // and PostgreSQL, the rowversion type on SQL Server), so that a save
    // sees a change made by anyone, this program, a script or another
    // program, whatever it wrote into EditedDate.
    QStringList addRowVersions(Connection &db)
    {
        QStringList done;
        for (const char *table : { "Company", "WIPStatus", "Employee", "WIP", "EmployeeTime", "DryingRoom",
                 "DryingAtmosphere", "MoisturePoint", "MoistureReading" })
            done << addMissingColumns(db, QString::fromLatin1(table), { "RowVersion" });
        return done << createRowVersionTriggers(db);
    }

    // Every row version trigger of the script, made anew.
    QStringList createRowVersionTriggers(Connection &db)
    {
        QStringList done;
        // The triggers (and PostgreSQL's function) as the script defines
        // them, made anew: a trigger of the same name left by an earlier try
        // is replaced.
        static const QRegularExpression trigger(
            QStringLiteral(R"(CREATE TRIGGER (?:IF NOT EXISTS )?(\w+) .*? ON (\w+) )"),
            QRegularExpression::DotMatchesEverythingOption);
        for (const QString &statement : schemaStatements(db.dialect())) {
            if (statement.contains(QStringLiteral("CREATE OR REPLACE FUNCTION NextRowVersion"))) {
                db.execScript(statement);
                continue;
            }
            const QRegularExpressionMatch match = trigger.match(statement);
            if (!match.hasMatch() || !match.captured(1).endsWith(QStringLiteral("_RowVersion")))
                continue;
            // A table a later step adds gets its trigger there.
            if (!hasTable(db, match.captured(2)))
                continue;
            db.execScript(db.dialect().dropTrigger(match.captured(1), match.captured(2)));
            db.execScript(statement);
            done << QStringLiteral("created trigger %1").arg(match.captured(1));
        }
        return done;
    }

    // Version 7: failed logins kept in the database, so that restarting the
    // program does not reset the wait after repeated failures.
    QStringList addLoginFailures(Connection &db)
    {
        return createMissingTables(db, { "LoginFailure" });
    }

    // Version 8: the drying equipment: its register, placements, the rooms'
    // sizes, the dehumidification factors and the rates per type (with their
    // lookup rows), the company's "Bill equipment days" and the "Equipment"
    // permission.
    QStringList addEquipment(Connection &db)
    {
        QStringList done = createMissingTables(
            db, { "Equipment", "EquipmentPlacement", "RoomSizing", "DehuFactor", "EquipmentRate" });
        done << createMissingIndexes(
            db, QStringLiteral("EquipmentPlacement"), { "IX_EquipmentPlacement_RoomID", "UX_EquipmentPlacement_Open" });
        done << createMissingIndexes(db, QStringLiteral("RoomSizing"), { "IX_RoomSizing_RoomID" });
        done << addMissingColumns(db, QStringLiteral("Company"), { "BillEquipmentDays" });
        done << createRowVersionTriggers(db);
        if (db.scalar(QStringLiteral("SELECT COUNT(*) FROM DehuFactor")).toLongLong() == 0) {
            for (const QString &statement : lookupStatements()) {
                if (statement.contains(QStringLiteral("INSERT INTO DehuFactor ")))
                    db.execScript(statement);
            }
            done << QStringLiteral("added the dehumidification factors");
        }
        const QString permission = Permissions::equipment;
        if (!db.scalar(QStringLiteral("SELECT ID FROM Permission WHERE Name = ?"), { permission }).isValid()) {
            db.exec(QStringLiteral("INSERT INTO Permission (Name) VALUES (?)"), { permission });
            done << QStringLiteral("added the permission Equipment");
        }
        return done;
    }

    // Version 9: the indexes the board's first screenful, the entry screen's
    // job picker and its lists of values in use are read from, which would
    // otherwise each scan (and sort) every job.
    QStringList addListIndexes(Connection &db)
    {
        return createMissingIndexes(db, QStringLiteral("WIP"),
            { "IX_WIP_Board", "IX_WIP_Customer_ID", "IX_WIP_Rep", "IX_WIP_Insurance", "IX_WIP_Agent", "IX_WIP_Adjuster",
                "IX_WIP_AdjusterUpdatedBy" });
    }

    // Version 10: the backups: how many automatic ones to keep, and a log of
    // every backup made, so that each PC can tell when the last one was.
    QStringList addBackups(Connection &db)
    {
        QStringList done = addMissingColumns(db, QStringLiteral("Company"), { "BackupsToKeep" });
        done << createMissingTables(db, { "BackupLog" });
        return done;
    }

    // Version 11: the photos and documents of the jobs, kept in the database
    // so that every PC sees them and a backup holds them.
    QStringList addJobFiles(Connection &db)
    {
        QStringList done = createMissingTables(db, { "JobFile" });
        done << createMissingIndexes(
            db, QStringLiteral("JobFile"), { "IX_JobFile_WIPID_TakenAt", "IX_JobFile_RoomID", "IX_JobFile_PointID" });
        done << createRowVersionTriggers(db);
        return done;
    }

    // Version 13: the field page: phones signed in, the ids of the entries
    // they sent, the field servers running, the open jobs' index their list
    // reads, and the "Field Entry" permission.
    QStringList addFieldPage(Connection &db)
    {
        QStringList done = createMissingTables(db, { "FieldSession", "FieldEntry", "FieldServer" });
        done << createMissingIndexes(db, QStringLiteral("FieldSession"), { "UX_FieldSession_TokenHash" });
        done << createMissingIndexes(db, QStringLiteral("FieldEntry"), { "UX_FieldEntry_EntryID" });
        done << createMissingIndexes(db, QStringLiteral("WIP"), { "IX_WIP_Open" });
        const QString permission = Permissions::fieldEntry;
        if (!db.scalar(QStringLiteral("SELECT ID FROM Permission WHERE Name = ?"), { permission }).isValid()) {
            db.exec(QStringLiteral("INSERT INTO Permission (Name) VALUES (?)"), { permission });
            done << QStringLiteral("added the permission Field Entry");
        }
        return done;
    }

    // Version 14: the job history, written by the database itself at every
    // change of a job or its subcontractors, whoever makes it; when each job's
    // status last changed; how long a job may stay in a status.
    QStringList addJobHistory(Connection &db)
    {
        QStringList done = createMissingTables(db, { "WIPHistory" });
        done << createMissingIndexes(db, QStringLiteral("WIPHistory"), { "IX_WIPHistory_WIPID_ChangedAt" });
        done << addMissingColumns(db, QStringLiteral("WIP"), { "StatusSince" });
        done << addMissingColumns(db, QStringLiteral("WIPStatus"), { "AlertDays" });
        done << createHistoryTriggers(db);
        return done;
    }

    // Orphans of the references a key will hold, handled as each one's rule
    // says (References.h). Those that stop the upgrade are looked for first,
    // so that a refused upgrade has changed nothing.
    QStringList settleOrphans(Connection &db)
    {
        QStringList refused;
        for (const Reference &reference : references()) {
            if (reference.rule != OrphanRule::Refuse)
                continue;
            const Orphans found = findOrphans(db, reference);
            if (found.count > 0)
                refused << found.describe();
        }
        if (!refused.isEmpty())
            throw DbError(QStringLiteral("-1"),
                QStringLiteral("The database cannot be upgraded to schema version 12: some rows point at a row "
                               "that is gone (%1). They may be days still to bill, so the upgrade leaves them to "
                               "you: \"jobtracker-admin check\" lists them; settle them and delete them, then "
                               "upgrade again.")
                    .arg(refused.join(QStringLiteral("; "))));
        QStringList done;
        for (const Reference &reference : references()) {
            if (reference.rule != OrphanRule::Delete && reference.rule != OrphanRule::Detach)
                continue;
            // In the list's order a parent's orphans go before its children
            // are looked at, whose rows then count as orphans too.
            const Orphans found = findOrphans(db, reference);
            if (found.count == 0)
                continue;
            const QString table = QLatin1String(reference.table);
            const QString orphans = QStringLiteral("SELECT C.ID FROM %1 C WHERE C.%2 IS NOT NULL AND NOT EXISTS "
                                                   "(SELECT 1 FROM %3 P WHERE P.ID = C.%2)")
                                        .arg(table, QLatin1String(reference.column), QLatin1String(reference.parent));
            if (reference.rule == OrphanRule::Delete) {
                db.exec(QStringLiteral("DELETE FROM %1 WHERE ID IN (%2)").arg(table, orphans));
                done << QStringLiteral("deleted orphan rows %1").arg(found.describe());
            } else {
                db.exec(QStringLiteral("UPDATE %1 SET %2 = NULL WHERE ID IN (%3)")
                            .arg(table, QLatin1String(reference.column), orphans));
                done << QStringLiteral("cleared links to missing rows %1").arg(found.describe());
            }
        }
        return done;
    }

    // Every index the dialect's script defines on the table, made where it
    // is missing.
    void createTableIndexes(Connection &db, const QString &table)
    {
        const QRegularExpression create(QStringLiteral(R"(^CREATE (?:UNIQUE )?INDEX (\w+) ON %1 )").arg(table),
            QRegularExpression::MultilineOption);
        for (const QString &statement : schemaStatements(db.dialect())) {
            const QRegularExpressionMatch match = create.match(statement);
            if (match.hasMatch() && !hasIndex(db, table, match.captured(1)))
                db.execScript(statement);
        }
    }

    // SQLite adds no constraint to a table: each table whose keys are
    // missing is made anew as the script defines it, its rows copied over
    // with their IDs, the counter of its IDs kept, its indexes made again
    // (its row version trigger is made again by the caller). Parents go
    // before their children, so no key points at a table while it is made
    // anew, and dropping the old one deletes nothing through a key.
    QStringList rebuildWithKeys(Connection &db)
    {
        QStringList tables;
        for (const Reference &reference : references()) {
            const QString table = QLatin1String(reference.table);
            if (reference.constrained() && !tables.contains(table))
                tables << table;
        }
        const QList<ForeignKey> keys = readForeignKeys(db);
        QStringList done;
        for (const QString &table : std::as_const(tables)) {
            const bool hasKeys = std::any_of(keys.cbegin(), keys.cend(),
                [&](const ForeignKey &key) { return key.table.compare(table, Qt::CaseInsensitive) == 0; });
            if (hasKeys)
                continue;
            for (const ForeignKey &key : keys) {
                if (key.parent.compare(table, Qt::CaseInsensitive) == 0
                    && db.scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(key.table)).toLongLong() > 0)
                    throw DbError(QStringLiteral("-1"),
                        QStringLiteral("%1 cannot be made anew while rows of %2 point at it.").arg(table, key.table));
            }
            const QString rebuilt = table + QStringLiteral("_Rebuilt");
            QString create = createTableStatement(db.dialect(), table);
            create.replace(QRegularExpression(QStringLiteral(R"(^CREATE TABLE %1 \()").arg(table),
                               QRegularExpression::MultilineOption),
                QStringLiteral("CREATE TABLE %1 (").arg(rebuilt));
            db.execScript(create);
            const QStringList columns = expectedTables().value(table).columns;
            db.execScript(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3")
                              .arg(rebuilt, columns.join(QStringLiteral(", ")), table));
            const qint64 counter
                = db.scalar(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"), { table }).toLongLong();
            db.execScript(QStringLiteral("DROP TABLE %1").arg(table));
            db.execScript(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(rebuilt, table));
            const qint64 copied
                = db.scalar(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"), { table }).toLongLong();
            db.exec(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?"), { table });
            db.exec(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"),
                { table, std::max(counter, copied) });
            createTableIndexes(db, table);
            done << QStringLiteral("made table %1 anew with its foreign keys").arg(table);
        }
        return done;
    }

    // The servers add a constraint to a table as it is.
    QStringList addKeys(Connection &db)
    {
        const QList<ForeignKey> keys = readForeignKeys(db);
        QStringList done;
        for (const Reference &reference : references()) {
            if (!reference.constrained())
                continue;
            const bool present = std::any_of(keys.cbegin(), keys.cend(), [&](const ForeignKey &key) {
                return key.table.compare(QLatin1String(reference.table), Qt::CaseInsensitive) == 0
                    && key.column.compare(QLatin1String(reference.column), Qt::CaseInsensitive) == 0;
            });
            if (present)
                continue;
            db.execScript(
                QStringLiteral("ALTER TABLE %1 ADD CONSTRAINT %2 FOREIGN KEY (%3) REFERENCES %4 (ID)%5")
                    .arg(QLatin1String(reference.table), reference.keyName(), QLatin1String(reference.column),
                        QLatin1String(reference.parent),
                        reference.rule == OrphanRule::Delete ? QStringLiteral(" ON DELETE CASCADE") : QString()));
            done << QStringLiteral("added foreign key %1").arg(reference.keyName());
        }
        return done;
    }

    // Version 12: foreign keys on the program's own tables, with the delete
    // rules the program follows, after the orphans an older program left
    // are settled; and the backup reminder's company setting ("The program
    // makes the backups") and each user's last reminder.
    QStringList addForeignKeys(Connection &db)
    {
        QStringList done = addMissingColumns(db, QStringLiteral("Company"), { "ProgramBackups" });
        done << createMissingTables(db, { "BackupReminder" });
        done << settleOrphans(db);
        if (db.dialect().kind() == DbKind::SQLite) {
            done << rebuildWithKeys(db);
            done << createRowVersionTriggers(db);
        } else {
            done << addKeys(db);
        }
        return done;
    }

    // Not a numbered step: a column can be narrow at any version, and one
    // widened once is narrow no more.
    QStringList widenNarrowColumns(Connection &db)
    {
        const std::optional<DeclaredWidths> widths = readDeclaredWidths(db);
        if (!widths)
            return {};
        QStringList done;
        for (const NarrowColumn &column : narrowColumns(*widths)) {
            db.execScript(db.dialect().resizeTextColumn(column.table, column.column, column.widenTo, column.nullable));
            done << QStringLiteral("widened column %1.%2 from %3 to %4 characters")
                        .arg(column.table, column.column)
                        .arg(column.width)
                        .arg(column.widenTo);
        }
        return done;
    }

    struct Step
    {
        int version; // the version the database is at once the step is done
        QStringList (*apply)(Connection &db); // returns what it changed
    };

    // A new step goes at the end, numbered one up, with kSchemaVersion raised
    // to match; a step once released is never changed.
    constexpr std::array kSteps = {
        Step { 2, &addProgramTables },
        Step { 3, &addTimeIndexes },
        Step { 4, &addTimeRevision },
        Step { 5, &addDryingLog },
        Step { 6, &addRowVersions },
        Step { 7, &addLoginFailures },
        Step { 8, &addEquipment },
        Step { 9, &addListIndexes },
        Step { 10, &addBackups },
        Step { 11, &addJobFiles },
        Step { 12, &addForeignKeys },
        Step { 13, &addFieldPage },
        Step { 14, &addJobHistory },
    };

    constexpr bool numberedOneByOne()
    {
        int expected = 2;
        for (const Step &step : kSteps) {
            if (step.version != expected++)
                return false;
        }
        return true;
    }
    static_assert(numberedOneByOne(), "upgrade steps are numbered 2, 3, ... without gaps");
    static_assert(kSteps.back().version == kSchemaVersion, "the last upgrade step reaches kSchemaVersion");

} // namespace

UpgradeResult upgradeSchema(Connection &db, UpgradeCommits commits)
{
    const SchemaCheck check = checkSchema(db);
    if (!check.missing.isEmpty())
        throw DbError(QStringLiteral("-1"),
            QStringLiteral("The database lacks what every job database has, so it cannot be upgraded: %1.")
                .arg(check.missing.join(QStringLiteral(", "))));

    UpgradeResult result;
    const std::optional<int> stored = storedSchemaVersion(db);
    result.versionStored = stored.has_value();
    result.from = stored.value_or(1);
    if (result.from > kSchemaVersion)
        throw DbError(QStringLiteral("-1"),
            QStringLiteral("The database is at schema version %1, newer than this program's %2.")
                .arg(result.from)
                .arg(kSchemaVersion));

    // The steps' transactions nest in this one as savepoints.
    std::optional<Transaction> whole;
    if (commits == UpgradeCommits::AtTheEnd && db.dialect().transactionalSchemaChanges())
        whole.emplace(db);
    result.to = result.from;
    for (const Step &step : kSteps) {
        if (step.version <= result.to)
            continue;
        Transaction transaction(db);
        const QStringList changes = step.apply(db);
        writeSchemaVersion(db, step.version);
        transaction.commit();
        result.to = step.version;
        result.done << QStringLiteral("version %1: %2")
                           .arg(step.version)
                           .arg(changes.isEmpty() ? QStringLiteral("nothing was missing")
                                                  : changes.join(QStringLiteral(", ")));
    }
    {
        Transaction transaction(db);
        result.done << widenNarrowColumns(db);
        transaction.commit();
    }
    if (whole)
        whole->commit();
    return result;
}

bool upgradeWouldChange(const SchemaCheck &check, std::optional<int> storedVersion)
{
    const int version = storedVersion.value_or(1);
    if (!check.missing.isEmpty() || version > kSchemaVersion)
        return false;
    return version < kSchemaVersion || !check.toBeAdded.isEmpty() || !check.narrow.isEmpty();
}

} // namespace data
