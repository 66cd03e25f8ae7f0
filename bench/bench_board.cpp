// The WIP navigator on 100,000 jobs with 1,000,000 bookings, every job listed
// (no filter, "Active Only" off), 100 of them in drying alert.
//
//   BM_BaselineCApi         the board's own statement through the SQLite C
//                           API, every column read as text: the floor
//   BM_BaselineCApiColumns  the same selection as one column per field, read
//                           the same way (for reference)
//   BM_BaselineQtLoop       the board's own statement through Qt SQL, every
//                           column read as text
//   BM_BaselineLibpq        the board's own statement through bare libpq,
//                           every column read as text: the floor on
//                           PostgreSQL
//   BM_Refresh              "Refresh" pressed on the screen until the board is
//                           painted with every line; first_paint_ms is when
//                           the first screenful showed
//   BM_FlashTick            one tick of the flash timer and the repaint
//   BM_FlashTickBaseline    the drying-days column of the view repainted
//                           without a tick (the cells a tick may change)
//   BM_RefreshPostgres      BM_Refresh on PostgreSQL, when JT_BENCH_PG_PORT
//                           names a server (user postgres, trust)
//
// JT_BENCH_SQLITE=FILE keeps the SQLite database between runs (seeded when
// the file does not exist yet). JT_BENCH_DB names an already seeded database
// (SQLite or PostgreSQL) to run on as it is, alerts and all.
// Prints the medians against the baseline, and the peak resident memory.
#include "base/Clock.h"
#include "board/BoardLines.h"
#include "board/ui/frmWIPNavigator.h"
#include "data/ConnectionString.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Schema.h"
#include "settings/Company.h"
#include "shell/AppContext.h"
#include "widgets/GridWidget.h"

#include "BenchData.h"
#include "MedianReporter.h"
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstring>
#include <libpq-fe.h>
#include <malloc.h>
#include <map>
#include <memory>
#include <sqlite3.h>

namespace {

constexpr int kJobs = 100000;
constexpr int kBookingsPerJob = 10;
constexpr int kAlerted = 100;

QString g_sqlitePath;
// The shared database's connection string (JT_BENCH_DB), else empty.
QString g_shared;

double statusMiB(const char *field)
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return 0;
    char line[256];
    double kib = 0;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, length) == 0)
            kib = std::atof(line + length);
    }
    std::fclose(f);
    return kib / 1024.0;
}

board::Filter everyJob()
{
    return board::Filter {};
}

// Makes exactly kAlerted jobs overdue: drying, watched, started 30 days ago.
void setAlerts(data::Connection &db)
{
    data::Transaction t(db);
    db.exec(QStringLiteral("UPDATE WIP SET CheckDryingDays = ?"), { false });
    db.exec(QStringLiteral("UPDATE WIP SET Status = ?, CheckDryingDays = ?, StartDate = ? WHERE ID % ? = 0"),
        { QStringLiteral("Drying"), true, QDateTime(Clock::today().addDays(-30), QTime(0, 0)), kJobs / kAlerted });
    t.commit();
}

void seed(data::Connection &db)
{
    data::createSchema(db);
    data::DemoOptions options;
    options.jobs = kJobs;
    options.bookingsPerJob = kBookingsPerJob;
    data::seedDemo(db, options);
    setAlerts(db);
}

// The PostgreSQL server the cases run on, as libpq connection keywords
// (JT_BENCH_DB, else the bench's own database on JT_BENCH_PG_PORT); empty
// when there is none.
QByteArray g_libpqConnection;

// Qt's '?' placeholders as libpq's $1, $2, ... (the board's statement holds
// no '?' inside a literal; quoted text is skipped all the same).
QByteArray numberedPlaceholders(const QString &sql)
{
    QByteArray out;
    bool quoted = false;
    int n = 0;
    for (const char c : sql.toUtf8()) {
        if (c == '\'')
            quoted = !quoted;
        if (c == '?' && !quoted)
            out += '$' + QByteArray::number(++n);
        else
            out += c;
    }
    return out;
}

// The board's statement through the C API, binding the same values as text.
void runCApi(const board::Select &select, benchmark::State &state)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(g_sqlitePath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        state.SkipWithError("cannot open the database");
        return;
    }
    const QByteArray sql = select.sql.toUtf8();
    qint64 rows = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
            state.SkipWithError(sqlite3_errmsg(db));
            break;
        }
        for (int i = 0; i < select.params.size(); ++i) {
            const QByteArray value = select.params[i].toString().toUtf8();
            sqlite3_bind_text(statement, i + 1, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        }
        rows = 0;
        bytes = 0;
        const int columns = sqlite3_column_count(statement);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                benchmark::DoNotOptimize(sqlite3_column_text(statement, c));
                bytes += sqlite3_column_bytes(statement, c);
            }
            ++rows;
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    state.counters["rows"] = double(rows);
    state.counters["text_MiB"] = double(bytes) / (1024.0 * 1024.0);
}

// The connection the screen cases run on: the shared database, or the
// bench's own SQLite file.
std::unique_ptr<data::Connection> openTarget()
{
    auto db = std::make_unique<data::Connection>();
    db->open(g_shared.isEmpty() ? QStringLiteral("Provider=SQLite;Data Source=%1").arg(g_sqlitePath) : g_shared, {});
    return db;
}

void BM_BaselineCApi(benchmark::State &state)
{
    if (g_sqlitePath.isEmpty()) {
        state.SkipWithError("not an SQLite database");
        return;
    }
    runCApi(board::BoardReader::statement(data::Dialect(data::DbKind::SQLite), everyJob()), state);
}

void BM_BaselineCApiColumns(benchmark::State &state)
{
    if (g_sqlitePath.isEmpty()) {
        state.SkipWithError("not an SQLite database");
        return;
    }
    runCApi(board::BoardReader::statement(
                data::Dialect(data::DbKind::SQLite), everyJob(), board::BoardReader::Source::Columns),
        state);
}

// The board's statement through bare libpq, its values bound as text and
// every column of every row read as text. Rows are taken one at a time as
// they arrive (single-row mode), as Qt's driver takes a forward-only query's,
// so that reading overlaps the server's work.
void BM_BaselineLibpq(benchmark::State &state)
{
    if (g_libpqConnection.isEmpty()) {
        state.SkipWithError("not a PostgreSQL database");
        return;
    }
    PGconn *conn = PQconnectdb(g_libpqConnection.constData());
    if (PQstatus(conn) != CONNECTION_OK) {
        state.SkipWithError(PQerrorMessage(conn));
        PQfinish(conn);
        return;
    }
    const board::Select select = board::BoardReader::statement(data::Dialect(data::DbKind::PostgreSQL), everyJob());
    const QByteArray sql = numberedPlaceholders(select.sql);
    QList<QByteArray> values;
    for (const QVariant &param : select.params)
        values << param.toString().toUtf8();
    std::vector<const char *> params;
    for (const QByteArray &value : values)
        params.push_back(value.constData());
    qint64 rows = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        if (!PQsendQueryParams(conn, sql.constData(), int(params.size()), nullptr, params.data(), nullptr, nullptr, 0)
            || !PQsetSingleRowMode(conn)) {
            state.SkipWithError(PQerrorMessage(conn));
            break;
        }
        rows = 0;
        bytes = 0;
        bool failed = false;
        while (PGresult *result = PQgetResult(conn)) {
            const ExecStatusType status = PQresultStatus(result);
            if (status == PGRES_SINGLE_TUPLE) {
                const int columns = PQnfields(result);
                for (int c = 0; c < columns; ++c) {
                    benchmark::DoNotOptimize(PQgetvalue(result, 0, c));
                    bytes += PQgetlength(result, 0, c);
                }
                ++rows;
            } else if (status != PGRES_TUPLES_OK) {
                failed = true;
            }
            PQclear(result);
        }
        if (failed) {
            state.SkipWithError(PQerrorMessage(conn));
            break;
        }
    }
    PQfinish(conn);
    state.counters["rows"] = double(rows);
    state.counters["text_MiB"] = double(bytes) / (1024.0 * 1024.0);
}

void BM_BaselineQtLoop(benchmark::State &state)
{
    const std::unique_ptr<data::Connection> db = openTarget();
    const board::Select select = board::BoardReader::statement(db->dialect(), everyJob());
    qint64 rows = 0;
    for (auto _ : state) {
        data::Rows query = db->exec(select.sql, select.params);
        const int columns = query.record().count();
        rows = 0;
        while (query.next()) {
            for (int c = 0; c < columns; ++c)
                benchmark::DoNotOptimize(query.value(c).toString());
            ++rows;
        }
    }
    state.counters["rows"] = double(rows);
}

// The navigator on a connection, as the main window opens it.
struct Navigator
{
    AppContext context;
    frmWIPNavigator screen;

    explicit Navigator(data::Connection &db)
        : context(db)
        , screen(context)
    {
        context.LoadCompanySettings();
        screen.open();
        screen.resize(1400, 900);
        screen.show();
        screen.findChild<QCheckBox *>(QStringLiteral("chkActive"))->setChecked(false);
        QApplication::processEvents();
    }

    GridWidget *grid() { return screen.findChild<GridWidget *>(QStringLiteral("vsfgWIP")); }
    void refresh() { screen.findChild<QPushButton *>(QStringLiteral("btnRefresh"))->click(); }
};

// Notes when the grid first paints with lines in it.
class FirstPaint : public QObject
{
public:
    FirstPaint(GridWidget *grid, const QElapsedTimer &clock)
        : m_grid(grid)
        , m_clock(clock)
    {
        grid->viewport()->installEventFilter(this);
    }
    qint64 at = -1;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && at < 0 && m_grid->rows() > 1)
            at = m_clock.elapsed();
        return false;
    }

private:
    GridWidget *m_grid;
    const QElapsedTimer &m_clock;
};

void measureRefresh(benchmark::State &state, data::Connection &db)
{
    Navigator s(db);
    double firstPaint = 0;
    malloc_trim(0);
    const double before = statusMiB("VmRSS:");
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        FirstPaint paint(s.grid(), clock);
        s.refresh();
        // What the fill left to paint, painted.
        QApplication::processEvents();
        firstPaint = double(paint.at);
    }
    state.counters["rows"] = s.grid()->rows() - 1;
    state.counters["first_paint_ms"] = firstPaint;
    // What the filled board holds on to (lines, colours, caches).
    state.counters["board_MiB"] = statusMiB("VmRSS:") - before;
    state.counters["peak_MiB"] = statusMiB("VmHWM:");
}

void BM_Refresh(benchmark::State &state)
{
    measureRefresh(state, *openTarget());
}

// A tick of the flash timer, or (baseline) the view's drying-days column
// repainted alone.
void measureFlash(benchmark::State &state, bool tick)
{
    const std::unique_ptr<data::Connection> db = openTarget();
    Navigator s(*db);
    s.refresh();
    QApplication::processEvents();
    int alerted = 0;
    for (int row = 1; row < s.grid()->rows(); ++row)
        alerted += s.grid()->textMatrix(row, board::ColFlash) == u"True";
    // A screenful of alerted lines in view, so that the tick also repaints.
    for (int row = 1; row < s.grid()->rows(); ++row) {
        if (s.grid()->textMatrix(row, board::ColFlash) == u"True") {
            s.grid()->setRow(row);
            break;
        }
    }
    QApplication::processEvents();
    for (auto _ : state) {
        if (tick) {
            QMetaObject::invokeMethod(&s.screen, "tmrDryingDays_Timer");
        } else {
            GridWidget *grid = s.grid();
            grid->viewport()->update(QRect(grid->columnViewportPosition(board::ColDryingDays), 0,
                grid->columnWidth(board::ColDryingDays), grid->viewport()->height()));
        }
        QApplication::processEvents();
    }
    state.counters["rows"] = s.grid()->rows() - 1;
    state.counters["alerted"] = alerted;
}

void BM_FlashTick(benchmark::State &state)
{
    measureFlash(state, true);
}

void BM_FlashTickBaseline(benchmark::State &state)
{
    measureFlash(state, false);
}

std::unique_ptr<data::Connection> g_postgres;

void BM_RefreshPostgres(benchmark::State &state)
{
    if (!g_postgres) {
        state.SkipWithError("no server of its own: set JT_BENCH_PG_PORT");
        return;
    }
    measureRefresh(state, *g_postgres);
}

BENCHMARK(BM_BaselineCApi)->Apply(medianOf<7, 1>);
BENCHMARK(BM_BaselineCApiColumns)->Apply(medianOf<7, 1>);
BENCHMARK(BM_BaselineQtLoop)->Apply(medianOf<7, 1>);
BENCHMARK(BM_BaselineLibpq)->Apply(medianOf<7, 1>);
BENCHMARK(BM_Refresh)->Apply(medianOf<7, 1>);
BENCHMARK(BM_FlashTick)->Apply(medianOf<5, 50, benchmark::kMicrosecond>);
BENCHMARK(BM_FlashTickBaseline)->Apply(medianOf<5, 50, benchmark::kMicrosecond>);
BENCHMARK(BM_RefreshPostgres)->Apply(medianOf<5, 1>);

// After the usual table, the medians against the C API baseline.
void printSummary(const Medians &medians)
{
    const auto base = medians.find("BM_BaselineCApi");
    if (base == medians.end() || base->second.real <= 0)
        return;
    std::printf("\nMedians against BM_BaselineCApi (%d jobs, %d bookings):\n", kJobs, kJobs * kBookingsPerJob);
    std::printf("  %-24s %10s %8s %10s %8s %16s\n", "case", "real", "ratio", "cpu", "ratio", "first paint ms");
    for (const auto &[name, m] : medians) {
        const bool comparable = m.unit == base->second.unit;
        std::printf("  %-24s %8.2f%-2s %8s %8.2f%-2s %8s", name.c_str(), m.real, m.unit.c_str(),
            comparable ? QByteArray::number(m.real / base->second.real, 'f', 2).constData() : "-", m.cpu,
            m.unit.c_str(), comparable ? QByteArray::number(m.cpu / base->second.cpu, 'f', 2).constData() : "-");
        if (const double firstPaint = m.counter("first_paint_ms"); firstPaint >= 0)
            std::printf(" %16.0f", firstPaint);
        std::printf("\n");
    }
    std::printf("  peak resident memory of the whole run: %.0f MiB\n", statusMiB("VmHWM:"));
}

// A fresh database on the server named by JT_BENCH_PG_PORT, seeded alike.
bool openPostgres(const QString &port)
{
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
        admin.setHostName(QStringLiteral("127.0.0.1"));
        admin.setPort(port.toInt());
        admin.setDatabaseName(QStringLiteral("postgres"));
        admin.setUserName(QStringLiteral("postgres"));
        if (!admin.open())
            return false;
        QSqlQuery(admin).exec(QStringLiteral("DROP DATABASE IF EXISTS jt_bench_board"));
        if (!QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE jt_bench_board")))
            return false;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    g_postgres = std::make_unique<data::Connection>();
    g_postgres->open(
        QStringLiteral("Provider=PostgreSQL;Host=127.0.0.1;Port=%1;Database=jt_bench_board;User ID=postgres").arg(port),
        {});
    seed(*g_postgres);
    g_postgres->execScript(QStringLiteral("ANALYZE"));
    g_libpqConnection = QStringLiteral("host=127.0.0.1 port=%1 dbname=jt_bench_board user=postgres").arg(port).toUtf8();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    benchdata::headless(true);
    QApplication app(argc, argv);

    // JT_BENCH_SQLITE names a database to keep between runs: seeded once.
    QTemporaryDir dir;
    g_shared = benchdata::sharedDb();
    g_sqlitePath = g_shared.isEmpty()
        ? qEnvironmentVariable("JT_BENCH_SQLITE", dir.filePath(QStringLiteral("bench.db")))
        : benchdata::sqliteFile(g_shared);
    try {
        if (!g_shared.isEmpty())
            openTarget(); // fails here, before any case, when it is not there
        if (g_shared.contains(QStringLiteral("Provider=PostgreSQL"), Qt::CaseInsensitive)) {
            const data::ConnectionSpec spec = data::mapConnectionString(g_shared);
            g_libpqConnection = QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
                                    .arg(spec.host)
                                    .arg(spec.port)
                                    .arg(spec.databaseName, spec.user)
                                    .toUtf8();
            if (!spec.password.isEmpty())
                g_libpqConnection += " password=" + spec.password.toUtf8();
        }
        const bool seeded = !g_shared.isEmpty() || QFileInfo::exists(g_sqlitePath);
        if (!seeded) {
            data::Connection db;
            db.open(QStringLiteral("Provider=SQLite;Data Source=%1").arg(g_sqlitePath), {}, data::OpenOptions { true });
            seed(db);
            db.execScript(QStringLiteral("ANALYZE"));
        }
        const QString port = qEnvironmentVariable("JT_BENCH_PG_PORT");
        if (!port.isEmpty() && !openPostgres(port))
            std::fprintf(stderr, "no PostgreSQL database on port %s\n", qPrintable(port));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cannot build the bench database: %s\n", e.what());
        g_postgres.reset();
        return 1;
    }

    runBenchmarks(argc, argv, printSummary);
    g_postgres.reset();
    return 0;
}
