// jobtracker-admin: creates, fills and checks job databases.
//
//   jobtracker-admin [--config FILE] init [--username NAME] [--password PW]
//   jobtracker-admin [--config FILE] seed-demo [--jobs N] [--bookings-per-job N]
//   jobtracker-admin [--config FILE] check
//
// FILE defaults to config.txt beside this program (the program's own).
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"
#include "base/Config.h"

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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("jobtracker-admin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Creates, fills and checks job tracker databases."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("init, seed-demo or check"));
    const QCommandLineOption configOption(QStringLiteral("config"),
        QStringLiteral("The config.txt naming the database."), QStringLiteral("file"),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("config.txt")));
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
        return fail(QStringLiteral("give exactly one command: init, seed-demo or check (see --help)"));
    const QString command = args.first();
    if (command != u"init" && command != u"seed-demo" && command != u"check")
        return fail(QStringLiteral("unknown command \"%1\": use init, seed-demo or check").arg(command));

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
            if (!data::checkSchema(db).contains(QStringLiteral("table WIP")))
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
            const QStringList missing = data::checkSchema(db);
            if (!missing.isEmpty())
                return fail(QStringLiteral("the database has no complete schema (run init first): ") + missing.first());
            QElapsedTimer timer;
            timer.start();
            data::seedDemo(db, demo, [](const QString &step) { err() << "  " << step << Qt::endl; });
            out() << "Added " << demo.jobs << " demo jobs in " << timer.elapsed() / 1000.0 << " s." << Qt::endl;
        } else {
            const QStringList missing = data::checkSchema(db);
            if (!missing.isEmpty()) {
                for (const QString &line : missing)
                    out() << "missing " << line << Qt::endl;
                return fail(QStringLiteral("%1 tables or columns are missing").arg(missing.size()));
            }
            out() << "The database has every table and column the program uses." << Qt::endl;
        }
    } catch (const data::DbError &e) {
        return fail(e.message());
    } catch (const std::exception &e) {
        return fail(QString::fromStdString(e.what()));
    }
    return 0;
}
