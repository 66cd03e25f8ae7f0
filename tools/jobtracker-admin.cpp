// jobtracker-admin: creates, fills, checks and upgrades job databases.
//
//   jobtracker-admin [--config FILE] init [--username NAME] [--password PW]
//   jobtracker-admin [--config FILE] seed-demo [--jobs N] [--bookings-per-job N]
//   jobtracker-admin [--config FILE] check
//   jobtracker-admin [--config FILE] upgrade
//
// FILE defaults to the config.txt the program itself would read: beside this
// program, else in the user's configuration folder.
#include "base/Config.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"
#include "data/Upgrade.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int fail(const QString &message)
{
    err() << "jobtracker-admin: " << message << Qt::endl;
    return 1;
}

QString promptPassword()
{
    err() << "Password for the administrator: " << Qt::flush;
    std::string line;
    if (!std::getline(std::cin, line))
        return {};
    return QString::fromStdString(line);
}

QString versionText(const std::optional<int> &stored)
{
    return stored ? QStringLiteral("schema version %1").arg(*stored)
                  : QStringLiteral("no schema version stored (an older installation's database: version 1)");
}

// Missing required tables or columns fail the check; the program's own
// additions that an older database lacks do not, as upgrade adds them.
int check(data::Connection &db)
{
    const data::SchemaCheck found = data::checkSchema(db);
    for (const QString &line : found.missing)
        out() << "missing " << line << Qt::endl;
    for (const QString &line : found.toBeAdded)
        out() << "to be added by upgrade: " << line << Qt::endl;
    if (!found.missing.isEmpty())
        return fail(QStringLiteral("%1 required tables or columns are missing").arg(found.missing.size()));
    const std::optional<int> stored = data::storedSchemaVersion(db);
    const int version = stored.value_or(1);
    out() << "The database has every table and column of the data model; " << versionText(stored) << "." << Qt::endl;
    if (version > data::kSchemaVersion)
        out() << "That is newer than this program's schema version " << data::kSchemaVersion << "." << Qt::endl;
    else if (version < data::kSchemaVersion || !found.toBeAdded.isEmpty())
        out() << "Run upgrade to bring it to schema version " << data::kSchemaVersion << "." << Qt::endl;
    return 0;
}

int upgrade(data::Connection &db)
{
    const data::UpgradeResult result = data::upgradeSchema(db);
    if (!result.versionStored)
        out() << "No schema version stored: taken as version 1, every required table and column is there." << Qt::endl;
    if (result.done.isEmpty()) {
        out() << "The database is already at schema version " << result.to << "; nothing to do." << Qt::endl;
    } else {
        for (const QString &line : result.done)
            out() << line << Qt::endl;
        out() << "Upgraded the database from schema version " << result.from << " to " << result.to << "." << Qt::endl;
    }
    // Whatever the steps did not bring is a fault of this program, not of the
    // database: say so rather than report success.
    const data::SchemaCheck after = data::checkSchema(db);
    if (!after.complete())
        return fail(QStringLiteral("still not there after the upgrade: ")
            + (after.missing + after.toBeAdded).join(QStringLiteral(", ")));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The program's own names, so that its configuration folder is found.
    QCoreApplication::setApplicationName(QStringLiteral("Job Tracker"));
    QCoreApplication::setOrganizationName(QStringLiteral("Varnholt of Brackwell"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Creates, fills, checks and upgrades job tracker databases."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("init, seed-demo, check or upgrade"));
    const QCommandLineOption configOption(QStringLiteral("config"),
        QStringLiteral("The config.txt naming the database."), QStringLiteral("file"),
        QDir(findConfigFolder().isEmpty() ? QCoreApplication::applicationDirPath() : findConfigFolder())
            .filePath(QStringLiteral("config.txt")));
    const QCommandLineOption userOption(QStringLiteral("username"),
        QStringLiteral("init: the administrator's user name."), QStringLiteral("name"), QStringLiteral("admin"));
    const QCommandLineOption passwordOption(QStringLiteral("password"),
        QStringLiteral("init: the administrator's password (prompted when left out)."), QStringLiteral("password"));
    const QCommandLineOption jobsOption(QStringLiteral("jobs"), QStringLiteral("seed-demo: number of jobs."),
        QStringLiteral("N"), QStringLiteral("200"));
    const QCommandLineOption bookingsOption(QStringLiteral("bookings-per-job"),
        QStringLiteral("seed-demo: time bookings per job."), QStringLiteral("N"), QStringLiteral("10"));
    parser.addOptions({ configOption, userOption, passwordOption, jobsOption, bookingsOption });
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1)
        return fail(QStringLiteral("give exactly one command: init, seed-demo, check or upgrade (see --help)"));
    const QString command = args.first();
    if (command != u"init" && command != u"seed-demo" && command != u"check" && command != u"upgrade")
        return fail(QStringLiteral("unknown command \"%1\": use init, seed-demo, check or upgrade").arg(command));

    const QString configPath = parser.value(configOption);
    ConfigValues config;
    try {
        config = readConfigFile(configPath);
    } catch (const ConfigError &e) {
        return fail(QString::fromStdString(e.what()));
    }

    // init asks for everything before it opens (and perhaps creates) anything.
    QString username;
    QString password;
    if (command == u"init") {
        username = parser.value(userOption);
        password = parser.isSet(passwordOption) ? parser.value(passwordOption) : promptPassword();
        if (username.trimmed().isEmpty() || password.trimmed().isEmpty())
            return fail(QStringLiteral("the administrator needs a user name and a non-empty password"));
    }

    data::Connection db;
    try {
        data::OpenOptions options;
        options.createSqliteFile = command == u"init";
        db.open(config.connectionString, QFileInfo(configPath).absolutePath(), options);

        if (command == u"init") {
            if (!data::checkSchema(db).missing.contains(QStringLiteral("table WIP")))
                return fail(QStringLiteral("the database already holds a job tracker schema"));
            data::createSchema(db);
            data::addAdministrator(db, username, password);
            out() << "Created the job tracker schema; administrator \"" << username.trimmed() << "\"." << Qt::endl;
        } else if (command == u"seed-demo") {
            bool okJobs = false;
            bool okBookings = false;
            data::DemoOptions demo;
            demo.jobs = parser.value(jobsOption).toInt(&okJobs);
            demo.bookingsPerJob = parser.value(bookingsOption).toInt(&okBookings);
            if (!okJobs || demo.jobs < 0 || demo.jobs > 1000000)
                return fail(QStringLiteral("--jobs takes a number from 0 to 1000000"));
            if (!okBookings || demo.bookingsPerJob < 0 || demo.bookingsPerJob > 100)
                return fail(QStringLiteral("--bookings-per-job takes a number from 0 to 100"));
            // The demo needs the data model only, not the program's additions.
            const QStringList missing = data::checkSchema(db).missing;
            if (!missing.isEmpty())
                return fail(QStringLiteral("the database has no complete schema (run init first): ") + missing.first());
            QElapsedTimer timer;
            timer.start();
            data::seedDemo(db, demo, [](const QString &step) { err() << "  " << step << Qt::endl; });
            out() << "Added " << demo.jobs << " demo jobs in " << timer.elapsed() / 1000.0 << " s." << Qt::endl;
        } else if (command == u"check") {
            return check(db);
        } else {
            return upgrade(db);
        }
    } catch (const data::DbError &e) {
        return fail(e.message());
    } catch (const std::exception &e) {
        return fail(QString::fromStdString(e.what()));
    }
    return 0;
}
