// jobtracker-admin: creates, fills, checks and upgrades job databases.
//
//   jobtracker-admin [--config FILE] init [--username NAME] [--password PW]
//   jobtracker-admin [--config FILE] seed-demo [--jobs N] [--bookings-per-job N] [--force]
//   jobtracker-admin [--config FILE] check
//   jobtracker-admin [--config FILE] upgrade
//   jobtracker-admin [--config FILE] report work-order --wip N --pdf FILE [--user NAME] [--photos]
//   jobtracker-admin [--config FILE] report drying-log --wip N --pdf FILE [--user NAME] [--photos]
//   jobtracker-admin [--config FILE] report board [--type T] [--status S] [--search X]
//                    [--from DATE --to DATE] [--all] --pdf FILE [--user NAME]
//   jobtracker-admin [--config FILE] copy --to OTHER_CONFIG [--replace]
//   jobtracker-admin [--config FILE] backup [--to FILE]
//   jobtracker-admin [--config FILE] restore --from FILE [--replace]
//
// FILE defaults to the config.txt the program itself would read: beside this
// program, else in the user's configuration folder.
#include "base/Clock.h"
#include "base/Config.h"
#include "board/BoardQuery.h"
#include "charts/LineChart.h"
#include "data/Backup.h"
#include "data/Copy.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/References.h"
#include "data/Schema.h"
#include "data/Upgrade.h"
#include "reports/ReportData.h"
#include "reports/ReportRenderer.h"
#include "reports/Reports.h"
#include "reports/crptDryingLog.h"
#include "settings/Company.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>
#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

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

// The terminal's settings from before the password was asked for, for
// putting back also when Ctrl-C or a kill ends the program meanwhile.
termios g_terminal {};

extern "C" void restoreTerminalAndStop(int signal)
{
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_terminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

QString promptPassword()
{
    err() << "Password for the administrator: " << Qt::flush;
    // Typed at a terminal, the password is not shown (the Enter still is);
    // from a pipe it is read as it comes.
    const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &g_terminal) == 0;
    constexpr std::array kStops { SIGINT, SIGTERM, SIGHUP, SIGQUIT };
    std::array<void (*)(int), kStops.size()> before {};
    if (terminal) {
        for (std::size_t i = 0; i < kStops.size(); ++i)
            before[i] = std::signal(kStops[i], restoreTerminalAndStop);
        termios quiet = g_terminal;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool read = bool(std::getline(std::cin, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_terminal);
        for (std::size_t i = 0; i < kStops.size(); ++i)
            std::signal(kStops[i], before[i]);
    }
    return read ? QString::fromStdString(line) : QString();
}

QString versionText(const std::optional<int> &stored)
{
    return stored ? QStringLiteral("schema version %1").arg(*stored)
                  : QStringLiteral("no schema version stored (an older installation's database: version 1)");
}

// Missing required tables or columns fail the check; the program's own
// additions that an older database lacks, and text columns narrower than the
// program needs, do not, as upgrade mends them. Orphan rows are listed; those
// the upgrade leaves to a person fail it.
int check(data::Connection &db)
{
    const data::SchemaCheck found = data::checkSchema(db);
    for (const QString &line : found.missing)
        out() << "missing " << line << Qt::endl;
    for (const QString &line : found.toBeAdded)
        out() << "to be added by upgrade: " << line << Qt::endl;
    for (const QString &line : found.narrow)
        out() << "to be widened by upgrade: " << line << Qt::endl;
    if (!found.missing.isEmpty())
        return fail(QStringLiteral("%1 required tables or columns are missing").arg(found.missing.size()));
    // Rows pointing at a row that is gone, each with what upgrade does with
    // them; those it leaves to a person fail the check.
    int unsettled = 0;
    for (const data::Orphans &orphans : data::findOrphans(db)) {
        const data::OrphanRule rule = orphans.reference.rule;
        out() << "orphan rows: " << orphans.describe() << " ("
              << (rule == data::OrphanRule::Delete          ? "upgrade deletes them"
                         : rule == data::OrphanRule::Detach ? "upgrade clears their link"
                         : rule == data::OrphanRule::Refuse ? "upgrade refuses until they are settled and deleted"
                                                            : "kept: no key holds this reference")
              << ")" << Qt::endl;
        if (rule == data::OrphanRule::Refuse)
            ++unsettled;
    }
    const std::optional<int> stored = data::storedSchemaVersion(db);
    const int version = stored.value_or(1);
    if (unsettled > 0)
        return fail(QStringLiteral("orphan rows of %1 references are to be settled before the upgrade").arg(unsettled));
    out() << "The database has every table and column of the data model; " << versionText(stored) << "." << Qt::endl;
    if (version > data::kSchemaVersion)
        out() << "That is newer than this program's schema version " << data::kSchemaVersion << "." << Qt::endl;
    else if (version < data::kSchemaVersion || !found.toBeAdded.isEmpty())
        out() << "Run upgrade to bring it to schema version " << data::kSchemaVersion << "." << Qt::endl;
    else if (data::upgradeWouldChange(found, stored))
        out() << "Run upgrade to widen the columns named above." << Qt::endl;
    return 0;
}

int upgrade(data::Connection &db)
{
    const data::UpgradeResult result = data::upgradeSchema(db);
    if (!result.versionStored)
        out() << "No schema version stored: taken as version 1, every required table and column is there." << Qt::endl;
    for (const QString &line : result.done)
        out() << line << Qt::endl;
    if (result.to != result.from)
        out() << "Upgraded the database from schema version " << result.from << " to " << result.to << "." << Qt::endl;
    else if (result.done.isEmpty())
        out() << "The database is already at schema version " << result.to << "; nothing to do." << Qt::endl;
    else
        out() << "The database stays at schema version " << result.to << "." << Qt::endl;
    // Whatever the steps did not bring is a fault of this program, not of the
    // database: say so rather than report success.
    const data::SchemaCheck after = data::checkSchema(db);
    if (!after.complete())
        return fail(QStringLiteral("still not there after the upgrade: ")
            + (after.missing + after.toBeAdded + after.narrow).join(QStringLiteral(", ")));
    return 0;
}

// One table's progress: a bar redrawn in place on a terminal, one line at the
// end of each table otherwise (a log file or a pipe).
class ProgressPrinter
{
public:
    ProgressPrinter()
        : m_terminal(::isatty(STDERR_FILENO))
    {
    }

    void operator()(const data::CopyProgress &p)
    {
        const double seconds = p.elapsedMs / 1000.0;
        const qint64 rate = p.elapsedMs > 0 ? qint64(p.done * 1000.0 / p.elapsedMs) : 0;
        if (m_terminal) {
            constexpr int kWidth = 30;
            const int filled = p.total > 0 ? int(kWidth * std::min<qint64>(p.done, p.total) / p.total) : kWidth;
            err() << '\r'
                  << QStringLiteral("  %1 [%2%3] %4/%5  %6 rows/s  ")
                         .arg(p.table, -18)
                         .arg(QString(filled, u'#'), QString(kWidth - filled, u'.'))
                         .arg(p.done)
                         .arg(p.total)
                         .arg(rate);
            if (p.finished)
                err() << Qt::endl;
            else
                err() << Qt::flush;
        } else if (p.finished) {
            err() << QStringLiteral("  %1 %2 rows in %3 s (%4 rows/s)")
                         .arg(p.table, -18)
                         .arg(p.done)
                         .arg(seconds, 0, 'f', 2)
                         .arg(rate)
                  << Qt::endl;
        }
    }

private:
    bool m_terminal;
};

// Each table's rows and checksum on both sides; false when any differs.
bool printTables(const data::CopyResult &result)
{
    out() << QStringLiteral("%1 %2 %3 %4 %5")
                 .arg(QStringLiteral("table"), -18)
                 .arg(QStringLiteral("source rows"), 12)
                 .arg(QStringLiteral("target rows"), 12)
                 .arg(QStringLiteral("source checksum"), 16)
                 .arg(QStringLiteral("target checksum"), 16)
          << Qt::endl;
    for (const data::TableCopy &table : result.tables) {
        out() << QStringLiteral("%1 %2 %3 %4 %5%6")
                     .arg(table.table, -18)
                     .arg(table.sourceRows, 12)
                     .arg(table.targetRows, 12)
                     .arg(table.sourceChecksum, 16, 16, QLatin1Char('0'))
                     .arg(table.targetChecksum, 16, 16, QLatin1Char('0'))
                     .arg(table.matches() ? QString() : QStringLiteral("  DIFFERENT"))
              << Qt::endl;
    }
    return result.committed;
}

// Removes the SQLite file that this run made on `db`, with the files SQLite
// kept beside it, after its command failed: a refused restore or init, a
// failed copy leave nothing behind. A file that was there before is never
// touched.
void discardCreated(data::Connection &db)
{
    if (!db.createdFile())
        return;
    const QString file = db.handle().databaseName();
    db.close();
    for (const char *suffix : { "", "-journal", "-wal", "-shm" })
        QFile::remove(file + QLatin1String(suffix));
}

// Writes a backup of the database into a new SQLite file.
int backup(data::Connection &db, QString file)
{
    const QDateTime started = QDateTime::currentDateTime();
    if (file.isEmpty())
        file = QDir::current().filePath(data::backupFileName(started));
    ProgressPrinter printer;
    const data::CopyResult result = data::backUp(db, file, [&](const data::CopyProgress &p) { printer(p); });
    if (!printTables(result))
        return fail(QStringLiteral("the backup differs from the database in the tables marked DIFFERENT; no "
                                   "backup was written"));
    out() << "Wrote the backup to " << QFileInfo(file).absoluteFilePath() << "." << Qt::endl;
    // The backup is made; a database that cannot take the note (read-only)
    // only misses it in the program's reminder.
    try {
        data::logBackup(db, started, QFileInfo(file).absoluteFilePath(), QStringLiteral("jobtracker-admin"), false);
    } catch (const data::DbError &e) {
        err() << "Note: the backup could not be logged in the database: " << e.message() << Qt::endl;
    }
    return 0;
}

// Loads a backup into the database.
int restore(data::Connection &db, const QString &file, bool replace)
{
    ProgressPrinter printer;
    data::CopyOptions options;
    options.replace = replace;
    data::CopyResult result;
    try {
        result = data::restore(file, db, options, [&](const data::CopyProgress &p) { printer(p); });
    } catch (...) {
        discardCreated(db);
        throw;
    }
    if (!printTables(result)) {
        discardCreated(db);
        return fail(QStringLiteral("the restored tables marked DIFFERENT differ from the backup; nothing was "
                                   "restored"));
    }
    out() << "Restored the backup " << file << "." << Qt::endl;
    return 0;
}

// Copies the database into the one another config.txt names, then prints
// each table's rows and checksum on both sides.
int copy(data::Connection &source, const QString &targetConfig, bool replace)
{
    ConfigValues target;
    try {
        target = readConfigFile(targetConfig);
    } catch (const ConfigError &e) {
        return fail(QString::fromStdString(e.what()));
    }
    // A SQLite source is a file from outside as much as a backup is: what
    // its schema would run is refused before a row is read.
    const QString foreign = data::foreignSchemaProblem(source);
    if (!foreign.isEmpty())
        return fail(QStringLiteral("the database of --config is refused: %1").arg(foreign));
    data::Connection to;
    data::OpenOptions options;
    options.createSqliteFile = true;
    to.open(target.connectionString, QFileInfo(targetConfig).absolutePath(), options);
    QElapsedTimer timer;
    timer.start();
    ProgressPrinter printer;
    data::CopyOptions copyOptions;
    copyOptions.replace = replace;
    // copyDatabase() refuses a target that is the source, however named.
    data::CopyResult result;
    try {
        result = data::copyDatabase(source, to, copyOptions, [&](const data::CopyProgress &p) { printer(p); });
    } catch (...) {
        discardCreated(to);
        throw;
    }
    if (!printTables(result)) {
        discardCreated(to);
        return fail(QStringLiteral("the copy differs from the source in the tables marked DIFFERENT; nothing was "
                                   "written to the target"));
    }
    qint64 rows = 0;
    for (const data::TableCopy &table : result.tables)
        rows += table.sourceRows;
    out() << "Copied " << rows << " rows of " << result.tables.size() << " tables in " << timer.elapsed() / 1000.0
          << " s" << (result.createdSchema ? "; created the target's tables first." : ".") << Qt::endl;
    return 0;
}

// What a report command was given besides the database.
struct ReportRequest
{
    QString kind;
    QString pdf;
    QString user;
    QString wip;
    board::Filter filter;
    bool photos = false;
};

// A date of the command line: yyyy-MM-dd.
std::optional<QDate> isoDate(const QString &text)
{
    const QDate date = QDate::fromString(text, Qt::ISODate);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

int report(data::Connection &db, const ReportRequest &request)
{
    const CompanyRow company = Company::load(db).value_or(CompanyRow {});
    const reports::RunTexts texts = reports::runTexts(company, request.user, Clock::now());
    reports::Document document;
    if (request.kind == u"work-order") {
        const std::optional<qint64> id = reports::parseWipId(request.wip);
        if (!id)
            return fail(QStringLiteral("report work-order needs --wip with a WIP's ID (digits only)"));
        document = reports::workOrder(db, *id, texts, Clock::today());
    } else if (request.kind == u"drying-log") {
        const std::optional<qint64> id = reports::parseWipId(request.wip);
        if (!id)
            return fail(QStringLiteral("report drying-log needs --wip with a WIP's ID (digits only)"));
        document = reports::dryingLog(db, *id, texts, Clock::today(), company.temperatureUnit, charts::paintChart);
    } else {
        document = reports::boardReport(db, request.filter, texts, Clock::today());
    }
    document.printPhotos = request.photos;
    const int pages = reports::writePdf(document, request.pdf);
    out() << "Wrote the " << document.title.toLower() << " to " << request.pdf << " (" << pages
          << (pages == 1 ? " page)." : " pages).") << Qt::endl;
    return 0;
}

// Reports paint text, which takes the font database of a GUI application
// (on the offscreen platform: no display is needed).
bool wantsReport(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "report") == 0)
            return true;
    }
    return false;
}

// The drying log's chart is drawn by Qt Charts, which needs the Widgets
// application (charts/LineChart.h makes it).
bool wantsChart(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "drying-log") == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    std::unique_ptr<QCoreApplication> app;
    if (wantsReport(argc, argv) && wantsChart(argc, argv)) {
        app = charts::makeApplication(argc, argv);
    } else if (wantsReport(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The program's own names, so that its configuration folder is found.
    QCoreApplication::setApplicationName(QStringLiteral("Job Tracker"));
    QCoreApplication::setOrganizationName(QStringLiteral("Varnholt of Brackwell"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Creates, fills, checks and upgrades job tracker databases."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
        QStringLiteral(
            "init, seed-demo, check, upgrade, copy, backup, restore, or report work-order|drying-log|board"));
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
    const QCommandLineOption forceOption(QStringLiteral("force"),
        QStringLiteral("seed-demo: add the demo to a database that already holds jobs or employees."));
    const QCommandLineOption pdfOption(
        QStringLiteral("pdf"), QStringLiteral("report: the PDF file to write."), QStringLiteral("file"));
    const QCommandLineOption printedByOption(QStringLiteral("user"),
        QStringLiteral("report: the name printed as the report's printer."), QStringLiteral("name"),
        qEnvironmentVariable("USER", QStringLiteral("jobtracker-admin")));
    const QCommandLineOption wipOption(
        QStringLiteral("wip"), QStringLiteral("report work-order, drying-log: the WIP's ID."), QStringLiteral("N"));
    const QCommandLineOption typeOption(
        QStringLiteral("type"), QStringLiteral("report board: only this job type."), QStringLiteral("T"));
    const QCommandLineOption statusOption(
        QStringLiteral("status"), QStringLiteral("report board: only this status."), QStringLiteral("S"));
    const QCommandLineOption searchOption(QStringLiteral("search"),
        QStringLiteral("report board: customers whose name contains this."), QStringLiteral("X"));
    const QCommandLineOption fromOption(QStringLiteral("from"),
        QStringLiteral("report board: started on or after this day (yyyy-MM-dd), with --to. restore: the backup "
                       "file to load."),
        QStringLiteral("D"));
    const QCommandLineOption toOption(QStringLiteral("to"),
        QStringLiteral("report board: started by this day (yyyy-MM-dd), with --from. copy: the config.txt naming "
                       "the database to copy into. backup: the file to write (a new one)."),
        QStringLiteral("D"));
    const QCommandLineOption replaceOption(QStringLiteral("replace"),
        QStringLiteral("copy, restore: replace everything in a target database that already holds jobs."));
    const QCommandLineOption allOption(
        QStringLiteral("all"), QStringLiteral("report board: closed jobs too (the board's Active Only off)."));
    const QCommandLineOption photosOption(QStringLiteral("photos"),
        QStringLiteral("report work-order, drying-log: add the job's photos at the end, six to a page."));
    parser.addOptions({ configOption, userOption, passwordOption, jobsOption, bookingsOption, forceOption, pdfOption,
        printedByOption, wipOption, typeOption, statusOption, searchOption, fromOption, toOption, allOption,
        replaceOption, photosOption });
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    if (command == u"report") {
        if (args.size() != 2 || (args.at(1) != u"work-order" && args.at(1) != u"drying-log" && args.at(1) != u"board"))
            return fail(
                QStringLiteral("report takes one kind of report: work-order, drying-log or board (see --help)"));
        if (!parser.isSet(pdfOption) || parser.value(pdfOption).isEmpty())
            return fail(QStringLiteral("report needs --pdf FILE"));
        if (parser.isSet(fromOption) != parser.isSet(toOption))
            return fail(QStringLiteral("--from and --to go together"));
        if (parser.isSet(photosOption) && args.at(1) == u"board")
            return fail(QStringLiteral("--photos goes with report work-order or drying-log"));
    } else if (args.size() != 1) {
        return fail(QStringLiteral(
            "give exactly one command: init, seed-demo, check, upgrade, copy, backup, restore or report (see --help)"));
    } else if (command != u"init" && command != u"seed-demo" && command != u"check" && command != u"upgrade"
        && command != u"copy" && command != u"backup" && command != u"restore") {
        return fail(QStringLiteral(
            "unknown command \"%1\": use init, seed-demo, check, upgrade, copy, backup, restore or report")
                        .arg(command));
    } else if (command == u"copy" && parser.value(toOption).isEmpty()) {
        return fail(QStringLiteral("copy needs --to with the config.txt naming the database to copy into"));
    } else if (command == u"restore" && parser.value(fromOption).isEmpty()) {
        return fail(QStringLiteral("restore needs --from with the backup file"));
    }

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
        options.createSqliteFile = command == u"init" || command == u"restore";
        options.foreignFile = command == u"copy";
        db.open(config.connectionString, QFileInfo(configPath).absolutePath(), options);

        if (command == u"init") {
            if (!data::checkSchema(db).missing.contains(QStringLiteral("table WIP")))
                return fail(QStringLiteral("the database already holds a job tracker schema"));
            try {
                data::createSchema(db);
                data::addAdministrator(db, username, password);
            } catch (...) {
                discardCreated(db);
                throw;
            }
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
            // Made-up jobs and logins with known passwords belong in a new
            // database only, never in an office's live one by a wrong config.
            const qint64 jobs = db.scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toLongLong();
            const qint64 employees = db.scalar(QStringLiteral("SELECT COUNT(*) FROM Employee")).toLongLong();
            if ((jobs > 0 || employees > 1) && !parser.isSet(forceOption)) {
                return fail(
                    QStringLiteral("the database already holds %1 jobs and %2 employees; seed-demo adds made-up "
                                   "jobs and logins and is meant for a new database. Check --config, or give "
                                   "--force to add them all the same.")
                        .arg(jobs)
                        .arg(employees));
            }
            QElapsedTimer timer;
            timer.start();
            data::seedDemo(db, demo, [](const QString &step) { err() << "  " << step << Qt::endl; });
            out() << "Added " << demo.jobs << " demo jobs in " << timer.elapsed() / 1000.0 << " s." << Qt::endl;
            // Fresh statistics, so that the planner knows the tables' new sizes
            // (SQL Server keeps its own up to date).
            if (db.dialect().kind() != data::DbKind::SqlServer) {
                timer.restart();
                db.execScript(QStringLiteral("ANALYZE"));
                out() << "Analyzed the tables in " << timer.elapsed() / 1000.0 << " s." << Qt::endl;
            }
        } else if (command == u"check") {
            return check(db);
        } else if (command == u"copy") {
            return copy(db, parser.value(toOption), parser.isSet(replaceOption));
        } else if (command == u"backup") {
            return backup(db, parser.value(toOption));
        } else if (command == u"restore") {
            return restore(db, parser.value(fromOption), parser.isSet(replaceOption));
        } else if (command == u"report") {
            ReportRequest request { args.at(1), parser.value(pdfOption), parser.value(printedByOption),
                parser.value(wipOption), {} };
            request.filter.jobType = parser.value(typeOption);
            request.filter.status = parser.value(statusOption);
            request.filter.search = parser.value(searchOption);
            request.filter.activeOnly = !parser.isSet(allOption);
            request.photos = parser.isSet(photosOption);
            if (parser.isSet(fromOption)) {
                const std::optional<QDate> from = isoDate(parser.value(fromOption));
                const std::optional<QDate> to = isoDate(parser.value(toOption));
                if (!from || !to)
                    return fail(QStringLiteral("--from and --to take dates as yyyy-MM-dd"));
                request.filter.useDates = true;
                request.filter.startFrom = *from;
                request.filter.startTo = *to;
            }
            return report(db, request);
        } else {
            return upgrade(db);
        }
    } catch (const data::DbError &e) {
        return fail(e.message());
    } catch (const reports::ReportError &e) {
        return fail(e.message());
    } catch (const std::exception &e) {
        return fail(QString::fromStdString(e.what()));
    }
    return 0;
}
