// jobtracker-admin: creates, fills, checks, copies and upgrades job
// databases, and prints reports from them. The commands, their options and
// their help are one table (kCommands below); `jobtracker-admin --help` shows
// it. --config FILE names the database; it defaults to the config.txt the
// program itself would read: beside this program, else in the user's
// configuration folder.
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
#include "field/Certificate.h"
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

// A date of the command line: yyyy-MM-dd.
std::optional<QDate> isoDate(const QString &text)
{
    const QDate date = QDate::fromString(text, Qt::ISODate);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// ---- the command line

// Every option a command may take besides --config: name, value (empty for a
// switch), help.
struct OptionSpec
{
    const char *name;
    const char *valueName;
    const char *help;
};

constexpr OptionSpec kOptions[] = {
    { "username", "name", "The administrator's user name (admin when left out)." },
    { "password", "password", "The administrator's password (asked for when left out)." },
    { "jobs", "N", "How many demo jobs (200 when left out)." },
    { "bookings-per-job", "N", "Time bookings per demo job (10 when left out)." },
    { "force", "", "Add the demo to a database that already holds jobs or employees." },
    { "target", "file", "The config.txt naming the database to copy into." },
    { "file", "file", "The backup file: a new one to write, or the one to load." },
    { "replace", "", "Replace everything in a target database that already holds jobs." },
    { "wip", "N", "The WIP's ID." },
    { "pdf", "file", "The PDF file to write." },
    { "user", "name", "The name printed as the report's printer ($USER when left out)." },
    { "photos", "", "Add the job's photos at the end, six to a page." },
    { "type", "T", "Only jobs of this type." },
    { "status", "S", "Only jobs in this status." },
    { "search", "X", "Only customers whose name contains this." },
    { "from", "date", "Only jobs started on or after this day (yyyy-MM-dd), with --to." },
    { "to", "date", "Only jobs started by this day (yyyy-MM-dd), with --from." },
    { "all", "", "Closed jobs too (the board's Active Only off)." },
    { "out", "folder", "The folder to write field.crt and field.key into." },
    { "name", "host", "The name or IP address the phones open the field server by." },
};

struct Command;

// One run of a command: its options as given (older spellings read under
// their names of today) and the database it works on.
class Invocation
{
public:
    Invocation(const Command &command, const QCommandLineParser &parser, QString configPath);

    const Command &command;
    const QString configPath;
    ConfigValues config;

    bool isSet(const char *name) const { return m_values.contains(QLatin1String(name)); }
    QString value(const char *name, const QString &otherwise = {}) const
    {
        return m_values.value(QLatin1String(name), otherwise);
    }
    // What is wrong with the options given: one this command does not take,
    // or one given under both its spellings. Empty when nothing is.
    const QString &problem() const { return m_problem; }

    // Opens (for init and restore: perhaps creates) the database of --config.
    data::Connection &open(const data::OpenOptions &options = {})
    {
        m_db.open(config.connectionString, QFileInfo(configPath).absolutePath(), options);
        return m_db;
    }
    data::Connection &db() { return m_db; }

private:
    QHash<QString, QString> m_values;
    QString m_problem;
    data::Connection m_db;
};

using Run = int (*)(Invocation &);

// A command: its name (two words for the reports), what follows it in the
// help, what it does, the options it takes (besides --config; "file|from"
// takes --file and also reads --from, the older spelling of this command's
// --file), and what runs it.
struct Command
{
    const char *name;
    const char *synopsis;
    const char *help;
    const char *options;
    Run run;
    // Whether it works on the database of --config (and so needs it read).
    bool usesDatabase = true;

    // The options this command takes, each with the older spelling it reads
    // as it (or with itself).
    QList<std::pair<QString, QString>> accepted() const
    {
        QList<std::pair<QString, QString>> result;
        for (const QString &option : QString::fromLatin1(options).split(u' ', Qt::SkipEmptyParts)) {
            const QString name = option.section(u'|', 0, 0);
            result.append({ name, name });
            if (option.contains(u'|'))
                result.append({ option.section(u'|', 1, 1), name });
        }
        return result;
    }
};

Invocation::Invocation(const Command &command_, const QCommandLineParser &parser, QString configPath_)
    : command(command_)
    , configPath(std::move(configPath_))
{
    const QList<std::pair<QString, QString>> accepted = command.accepted();
    for (const QString &given : parser.optionNames()) {
        if (given == u"config" || given == u"help")
            continue;
        const auto found
            = std::find_if(accepted.begin(), accepted.end(), [&](const auto &option) { return option.first == given; });
        if (found == accepted.end()) {
            m_problem
                = QStringLiteral("%1 does not take --%2 (see --help)").arg(QString::fromLatin1(command.name), given);
            return;
        }
        if (m_values.contains(found->second)) {
            m_problem = QStringLiteral("--%1 is given twice or under two spellings").arg(found->second);
            return;
        }
        m_values.insert(found->second, parser.value(given));
    }
}

int runInit(Invocation &run)
{
    // Everything is asked for before anything is opened (and perhaps made).
    const QString username = run.value("username", QStringLiteral("admin"));
    const QString password = run.isSet("password") ? run.value("password") : promptPassword();
    if (username.trimmed().isEmpty() || password.trimmed().isEmpty())
        return fail(QStringLiteral("the administrator needs a user name and a non-empty password"));
    data::OpenOptions options;
    options.createSqliteFile = true;
    data::Connection &db = run.open(options);
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
    return 0;
}

// A whole number from `low` to `high`; `otherwise` when the option is not given.
std::optional<int> wholeNumber(const Invocation &run, const char *name, int otherwise, int low, int high)
{
    bool ok = false;
    const int number = run.value(name, QString::number(otherwise)).toInt(&ok);
    return ok && number >= low && number <= high ? std::optional<int>(number) : std::nullopt;
}

int runSeedDemo(Invocation &run)
{
    data::DemoOptions demo;
    const std::optional<int> jobs = wholeNumber(run, "jobs", 200, 0, 1000000);
    const std::optional<int> bookings = wholeNumber(run, "bookings-per-job", 10, 0, 100);
    if (!jobs)
        return fail(QStringLiteral("--jobs takes a number from 0 to 1000000"));
    if (!bookings)
        return fail(QStringLiteral("--bookings-per-job takes a number from 0 to 100"));
    demo.jobs = *jobs;
    demo.bookingsPerJob = *bookings;
    data::Connection &db = run.open();
    // The demo needs the data model only, not the program's additions.
    const QStringList missing = data::checkSchema(db).missing;
    if (!missing.isEmpty())
        return fail(QStringLiteral("the database has no complete schema (run init first): ") + missing.first());
    // Made-up jobs and logins with known passwords belong in a new database
    // only, never in an office's live one by a wrong config.
    const qint64 jobsThere = db.scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toLongLong();
    const qint64 employees = db.scalar(QStringLiteral("SELECT COUNT(*) FROM Employee")).toLongLong();
    if ((jobsThere > 0 || employees > 1) && !run.isSet("force")) {
        return fail(QStringLiteral("the database already holds %1 jobs and %2 employees; seed-demo adds made-up "
                                   "jobs and logins and is meant for a new database. Check --config, or give "
                                   "--force to add them all the same.")
                        .arg(jobsThere)
                        .arg(employees));
    }
    QElapsedTimer timer;
    timer.start();
    data::seedDemo(db, demo, [](const QString &step) { err() << "  " << step << Qt::endl; });
    out() << "Added " << demo.jobs << " demo jobs in " << timer.elapsed() / 1000.0 << " s." << Qt::endl;
    // Fresh statistics, so that the planner knows the tables' new sizes (SQL
    // Server keeps its own up to date).
    if (db.dialect().kind() != data::DbKind::SqlServer) {
        timer.restart();
        db.execScript(QStringLiteral("ANALYZE"));
        out() << "Analyzed the tables in " << timer.elapsed() / 1000.0 << " s." << Qt::endl;
    }
    return 0;
}

int runCheck(Invocation &run)
{
    return check(run.open());
}

int runUpgrade(Invocation &run)
{
    return upgrade(run.open());
}

int runCopy(Invocation &run)
{
    if (run.value("target").isEmpty())
        return fail(QStringLiteral("copy needs --target with the config.txt naming the database to copy into"));
    data::OpenOptions options;
    options.foreignFile = true;
    return copy(run.open(options), run.value("target"), run.isSet("replace"));
}

int runBackup(Invocation &run)
{
    return backup(run.open(), run.value("file"));
}

int runRestore(Invocation &run)
{
    if (run.value("file").isEmpty())
        return fail(QStringLiteral("restore needs --file with the backup file"));
    data::OpenOptions options;
    options.createSqliteFile = true;
    return restore(run.open(options), run.value("file"), run.isSet("replace"));
}

// Writes one report as a PDF.
int runReport(Invocation &run)
{
    const QString pdf = run.value("pdf");
    if (pdf.isEmpty())
        return fail(QStringLiteral("report needs --pdf FILE"));
    const QString kind = QString::fromLatin1(run.command.name).section(u' ', 1);
    std::optional<qint64> id;
    board::Filter filter;
    if (kind == u"board") {
        if (run.isSet("from") != run.isSet("to"))
            return fail(QStringLiteral("--from and --to go together"));
        filter.jobType = run.value("type");
        filter.status = run.value("status");
        filter.search = run.value("search");
        filter.activeOnly = !run.isSet("all");
        if (run.isSet("from")) {
            const std::optional<QDate> from = isoDate(run.value("from"));
            const std::optional<QDate> to = isoDate(run.value("to"));
            if (!from || !to)
                return fail(QStringLiteral("--from and --to take dates as yyyy-MM-dd"));
            filter.useDates = true;
            filter.startFrom = *from;
            filter.startTo = *to;
        }
    } else {
        id = reports::parseWipId(run.value("wip"));
        if (!id)
            return fail(QStringLiteral("report %1 needs --wip with a WIP's ID (digits only)").arg(kind));
    }
    data::Connection &db = run.open();
    const CompanyRow company = Company::load(db).value_or(CompanyRow {});
    const reports::RunTexts texts = reports::runTexts(
        company, run.value("user", qEnvironmentVariable("USER", QStringLiteral("jobtracker-admin"))), Clock::now());
    reports::Document document;
    if (kind == u"work-order")
        document = reports::workOrder(db, *id, texts, Clock::today());
    else if (kind == u"drying-log")
        document = reports::dryingLog(db, *id, texts, Clock::today(), company.temperatureUnit, charts::paintChart);
    else
        document = reports::boardReport(db, filter, texts, Clock::today());
    document.printPhotos = run.isSet("photos");
    const int pages = reports::writePdf(document, pdf);
    out() << "Wrote the " << document.title.toLower() << " to " << pdf << " (" << pages
          << (pages == 1 ? " page)." : " pages).") << Qt::endl;
    return 0;
}

// The field server's certificate for the office network; the fingerprint is
// what a phone's user compares before trusting it.
int runFieldCertificate(Invocation &run)
{
    if (run.value("out").isEmpty() || run.value("name").isEmpty())
        return fail(QStringLiteral("field-certificate needs --out FOLDER and --name HOST"));
    const std::variant<field::CertificateFiles, QString> made
        = field::makeSelfSigned(run.value("out"), run.value("name"));
    if (const QString *error = std::get_if<QString>(&made))
        return fail(*error);
    const field::CertificateFiles &files = std::get<field::CertificateFiles>(made);
    out() << "Certificate: " << files.certificate << Qt::endl
          << "Key: " << files.key << Qt::endl
          << "SHA-256 fingerprint: " << files.fingerprint << Qt::endl;
    return 0;
}

// Older spellings kept for scripts: copy --to, backup --to, restore --from.
constexpr Command kCommands[] = {
    { "init", "[--username NAME] [--password PW]",
        "Creates the schema, the lookup rows and the first administrator in a new database.", "username password",
        runInit },
    { "seed-demo", "[--jobs N] [--bookings-per-job N] [--force]",
        "Fills a new database with deterministic demo jobs, bookings and logins.", "jobs bookings-per-job force",
        runSeedDemo },
    { "check", "", "Says whether the program can use the database, and lists orphan rows.", "", runCheck },
    { "upgrade", "", "Brings the database to this program's schema version.", "", runUpgrade },
    { "copy", "--target OTHER_CONFIG [--replace]", "Copies the whole database into the one OTHER_CONFIG names.",
        "target|to replace", runCopy },
    { "backup", "[--file FILE]", "Writes a snapshot of the database into a new SQLite file.", "file|to", runBackup },
    { "restore", "--file FILE [--replace]", "Loads a backup into the database.", "file|from replace", runRestore },
    { "report work-order", "--wip N --pdf FILE [--user NAME] [--photos]", "Prints a job's work order.",
        "wip pdf user photos", runReport },
    { "report drying-log", "--wip N --pdf FILE [--user NAME] [--photos]",
        "Prints a water job's drying log with its charts.", "wip pdf user photos", runReport },
    { "report board", "[--type T] [--status S] [--search X] [--from DATE --to DATE] [--all] --pdf FILE [--user NAME]",
        "Prints the board of jobs.", "type status search from to all pdf user", runReport },
    { "field-certificate", "--out FOLDER --name HOST",
        "Makes a self-signed certificate for the field server and prints its SHA-256 fingerprint.", "out name",
        runFieldCertificate, false },
};

QString commandHelp()
{
    QString text = QStringLiteral("\nCommands:\n");
    for (const Command &command : kCommands) {
        const QString synopsis = QString::fromLatin1(command.synopsis);
        text += QStringLiteral("  %1%2\n      %3\n")
                    .arg(QString::fromLatin1(command.name), synopsis.isEmpty() ? QString() : u' ' + synopsis,
                        QString::fromLatin1(command.help));
    }
    return text + QStringLiteral("\nOlder spellings still read: copy --to, backup --to, restore --from.\n");
}

QString commandNames()
{
    QStringList names;
    for (const Command &command : kCommands) {
        const QString name = QString::fromLatin1(command.name).section(u' ', 0, 0);
        if (!names.contains(name))
            names << name;
    }
    return names.join(QStringLiteral(", "));
}

// The command the words name: one word, or "report" and a kind.
const Command *findCommand(const QStringList &words)
{
    for (const Command &command : kCommands) {
        if (QString::fromLatin1(command.name).split(u' ') == words)
            return &command;
    }
    return nullptr;
}

// Reports paint text, which takes the font database of a GUI application
// (on the offscreen platform: no display is needed); the drying log's chart
// is drawn by Qt Charts, which needs the Widgets application.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char *argv[])
{
    auto given = [&](const char *word) {
        return std::any_of(argv + 1, argv + argc, [&](const char *arg) { return std::strcmp(arg, word) == 0; });
    };
    if (given("report") && given("drying-log"))
        return charts::makeApplication(argc, argv);
    if (given("report")) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    // The program's own names, so that its configuration folder is found.
    QCoreApplication::setApplicationName(QStringLiteral("Job Tracker"));
    QCoreApplication::setOrganizationName(QStringLiteral("Varnholt of Brackwell"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Creates, fills, checks, copies and upgrades job tracker "
                                                    "databases, and prints reports from them."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands below."));
    const QCommandLineOption configOption(QStringLiteral("config"),
        QStringLiteral("The config.txt naming the database."), QStringLiteral("file"),
        QDir(findConfigFolder().isEmpty() ? QCoreApplication::applicationDirPath() : findConfigFolder())
            .filePath(QStringLiteral("config.txt")));
    parser.addOption(configOption);
    for (const OptionSpec &option : kOptions) {
        parser.addOption(QCommandLineOption(
            QString::fromLatin1(option.name), QString::fromLatin1(option.help), QString::fromLatin1(option.valueName)));
    }
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText() << commandHelp();
        return 0;
    }
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return fail(QStringLiteral("give exactly one command: %1 (see --help)").arg(commandNames()));
    const Command *command = findCommand(words);
    if (!command && words.first() == u"report")
        return fail(QStringLiteral("report takes one kind of report: work-order, drying-log or board (see --help)"));
    if (!command && !findCommand({ words.first() }))
        return fail(QStringLiteral("unknown command \"%1\": use %2").arg(words.first(), commandNames()));
    if (!command)
        return fail(QStringLiteral("give exactly one command: %1 (see --help)").arg(commandNames()));

    Invocation run(*command, parser, parser.value(configOption));
    if (!run.problem().isEmpty())
        return fail(run.problem());
    try {
        if (command->usesDatabase)
            run.config = readConfigFile(run.configPath);
    } catch (const ConfigError &e) {
        return fail(QString::fromStdString(e.what()));
    }
    try {
        return command->run(run);
    } catch (const data::DbError &e) {
        return fail(e.message());
    } catch (const reports::ReportError &e) {
        return fail(e.message());
    } catch (const std::exception &e) {
        return fail(QString::fromStdString(e.what()));
    }
}
