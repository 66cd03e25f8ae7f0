// The field server as the technicians' phones use it.
//
//   BM_SaveThroughServer    one reading saved through the server over one
//                           kept-alive connection (signed in beforehand, a
//                           new entry id each time); the server runs in this
//                           process
//   BM_SaveThroughCore      the same save through drying::saveAtmosphere on
//                           a connection of its own, the same stamp: the
//                           baseline
//   BM_FiftyPhones          50 phones (threads, each its own connection,
//                           signed in first) saving 20 readings each against
//                           the jobtracker-field program started as a
//                           process; p50_ms / p95_ms / max_ms are over every
//                           request's own time
//   BM_ServerMemory         the program with 50 phones signed in, each having
//                           listed the jobs and loaded a job and a room;
//                           rss_MiB is its resident size after that,
//                           peak_MiB its largest while the rooms loaded and
//                           signin_peak_MiB its largest while they signed in
//   BM_JobList              GET /api/jobs through the server; listed is the
//                           number of jobs it answered, drying_jobs the open
//                           jobs with a drying log
//   BM_JobListBaseline      the list's statement through Qt SQL, every
//                           column read as text
//   BM_PageFiles            every file of the page fetched through the
//                           server; page_KiB is their total size as compiled
//                           in
//
// Every job in status "Drying" without a drying log gets one room (and its
// "Outside") first, as if each were being dried; what the bench adds (those
// rooms, their readings, its sessions and entry ids) is taken out again at
// the end, so that the shared database stays as seeded.
//
// JT_BENCH_DB names the seeded database to run on; without it the bench
// seeds a temporary SQLite database of its own (JT_BENCH_JOBS jobs).
#include "BenchData.h"
#include "MedianReporter.h"
#include "base/Clock.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/RowMap.h"
#include "data/Schema.h"
#include "drying/DryingLog.h"
#include "drying/Psychrometrics.h"
#include "field/FieldServer.h"
#include "settings/Company.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <httplib.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kPhones = 50;
constexpr int kReadingsEach = 20;
// The room every job being dried gets; the bench's own, so that it can take
// them out again.
const QString kRoomName = QStringLiteral("Bench room");
// The start of the phones' entry ids, likewise.
const QString kEntryPrefix = QStringLiteral("bench");
// The demo's technicians with "Field Entry".
const char *const kUsers[] = { "kwhitfield", "bmercer" };

QString g_connection; // the job database, as the program's config.txt names it
QString g_config; // the program's config.txt
QDateTime g_started;

struct BenchRoom
{
    qint64 id;
    qint64 wip;
};
QList<BenchRoom> g_rooms;
qint64 g_dryingJobs = 0;

// ---- The phones' side ----

struct Phone
{
    std::unique_ptr<httplib::Client> http;
    httplib::Headers headers; // the session's cookie, its CSRF token and the page's origin
    int readings = 0;
};

std::string json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

// One sign-in; an empty string, else what went wrong.
std::string signInOnce(Phone &phone, int port, const char *user)
{
    phone.http = std::make_unique<httplib::Client>("127.0.0.1", port);
    phone.http->set_keep_alive(true);
    // As a phone's browser does; else each request's body waits for the
    // acknowledgement of its headers.
    phone.http->set_tcp_nodelay(true);
    phone.http->set_read_timeout(120, 0);
    const std::string origin = "http://127.0.0.1:" + std::to_string(port);
    const httplib::Result res = phone.http->Post("/api/sign-in", httplib::Headers { { "Origin", origin } },
        json({ { QStringLiteral("username"), QString::fromLatin1(user) },
            { QStringLiteral("password"), QStringLiteral("password") } }),
        "application/json");
    if (!res)
        return "sign-in: no answer (" + httplib::to_string(res.error()) + ")";
    if (res->status != 200)
        return "sign-in answered " + std::to_string(res->status) + ": " + res->body;
    std::string cookie = res->get_header_value("Set-Cookie");
    cookie = cookie.substr(0, cookie.find(';'));
    const QJsonObject session = QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object();
    phone.headers = { { "Origin", origin }, { "Cookie", cookie },
        { "X-CSRF-Token", session.value(QStringLiteral("csrf")).toString().toStdString() } };
    return {};
}

// Sign-ins that got no answer and were sent again (a connection refused or
// reset while the server's queue of new connections was full).
std::atomic<int> g_signInRetries { 0 };

// Signs the phone in; an empty string, else what went wrong. A sign-in
// without an answer is sent again on a new connection, as the page would.
std::string signIn(Phone &phone, int port, const char *user)
{
    std::string error;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (attempt > 0) {
            ++g_signInRetries;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        error = signInOnce(phone, port, user);
        if (error.rfind("sign-in: no answer", 0) != 0)
            return error;
    }
    return error;
}

// Saves one reading in `room` under a new entry id; the answer's status.
int saveReading(Phone &phone, qint64 room)
{
    const int n = phone.readings++;
    const QString entry = kEntryPrefix + QUuid::createUuid().toString(QUuid::Id128);
    const httplib::Result res = phone.http->Post("/api/readings", phone.headers,
        json({ { QStringLiteral("entry"), entry }, { QStringLiteral("room"), room },
            { QStringLiteral("temperature"), 68 + n % 10 }, { QStringLiteral("humidity"), 40 + n % 25 } }),
        "application/json");
    return res ? res->status : -1;
}

// The body of a GET, when it answered 200.
std::optional<std::string> get(Phone &phone, const std::string &path)
{
    const httplib::Result res = phone.http->Get(path.c_str(), phone.headers);
    if (!res || res->status != 200)
        return std::nullopt;
    return res->body;
}

// Runs `work` for each phone at once, a thread each; the first failure's
// text, or empty.
template <typename Work> std::string eachPhone(std::vector<Phone> &phones, Work work)
{
    std::mutex mutex;
    std::string failure;
    std::vector<std::thread> threads;
    threads.reserve(phones.size());
    for (size_t i = 0; i < phones.size(); ++i) {
        threads.emplace_back([&, i] {
            const std::string error = work(phones[i], int(i));
            if (!error.empty()) {
                std::lock_guard lock(mutex);
                if (failure.empty())
                    failure = error;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    return failure;
}

std::string signInAll(std::vector<Phone> &phones, int port)
{
    return eachPhone(phones, [port](Phone &phone, int i) { return signIn(phone, port, kUsers[i % 2]); });
}

const BenchRoom &roomOf(int phone)
{
    return g_rooms.at(phone % g_rooms.size());
}

// ---- The server ----

// A field of /proc/PID/status in MiB ("VmRSS", "VmHWM").
double statusMiB(qint64 pid, const char *field)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Starts the peak resident size (VmHWM) over from the size now.
void resetPeak(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

// The jobtracker-field program, started as a process on the job database.
class FieldProgram
{
public:
    ~FieldProgram() { stop(); }

    // The port it listens on; 0 when it did not start (`error` says why).
    // (`workers`: requests handled at once; 0 the program's default.)
    int start(std::string &error, int workers = 0)
    {
        m_process.setProgram(QStringLiteral(JT_FIELD_PROGRAM));
        QStringList arguments { QStringLiteral("--config"), g_config, QStringLiteral("--listen"),
            QStringLiteral("127.0.0.1:0") };
        if (workers > 0)
            arguments << QStringLiteral("--workers") << QString::number(workers);
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(30000)) {
            error = "jobtracker-field did not start";
            return 0;
        }
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(60000)) {
                error = "jobtracker-field said nothing (it left or hangs)";
                return 0;
            }
        }
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        const QRegularExpressionMatch m
            = QRegularExpression(QStringLiteral("^listening on http://127\\.0\\.0\\.1:(\\d+)/$")).match(line);
        if (!m.hasMatch()) {
            error = "jobtracker-field said: " + line.toStdString();
            return 0;
        }
        return m.captured(1).toInt();
    }

    qint64 pid() const { return m_process.processId(); }

    // What became of the program, for a failure's message.
    std::string state()
    {
        if (m_process.state() == QProcess::Running && !m_process.waitForFinished(0))
            return "jobtracker-field still runs";
        return "jobtracker-field ended (exit " + std::to_string(m_process.exitCode())
            + (m_process.exitStatus() == QProcess::CrashExit ? ", crashed)" : ")");
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(30000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

private:
    QProcess m_process;
};

// The server in this process, on a thread of its own, and one phone signed
// in to it over a kept-alive connection.
struct InProcess
{
    std::unique_ptr<field::Server> server;
    std::thread thread;
    Phone phone;
    std::string error;

    InProcess()
    {
        field::ServerOptions options;
        options.connectionString = g_connection;
        server = std::make_unique<field::Server>(options);
        const int port = server->bind();
        thread = std::thread([this] { server->run(); });
        error = signIn(phone, port, kUsers[0]);
    }
    ~InProcess()
    {
        phone.http.reset();
        server->stop();
        thread.join();
    }
};

std::unique_ptr<InProcess> g_inProcess;

InProcess &inProcess()
{
    if (!g_inProcess)
        g_inProcess = std::make_unique<InProcess>();
    return *g_inProcess;
}

// ---- The cases ----

void BM_SaveThroughServer(benchmark::State &state)
{
    InProcess &server = inProcess();
    if (!server.error.empty()) {
        state.SkipWithError(server.error.c_str());
        return;
    }
    const qint64 room = g_rooms.at(0).id;
    for (auto _ : state) {
        const int status = saveReading(server.phone, room);
        if (status != 201) {
            state.SkipWithError(("the save answered " + std::to_string(status)).c_str());
            return;
        }
    }
}
BENCHMARK(BM_SaveThroughServer)->Apply(medianOf<7, 40>);

void BM_SaveThroughCore(benchmark::State &state)
{
    data::Connection db;
    db.open(g_connection, {});
    const std::optional<CompanyRow> company = Company::load(db);
    const drying::TemperatureUnit unit = drying::unitFromCode(company ? company->temperatureUnit : QString());
    // Its own room, so that each room holds as many readings as the other's.
    const qint64 room = g_rooms.value(1, g_rooms.at(0)).id;
    int n = 0;
    for (auto _ : state) {
        drying::AtmosphereReading reading;
        reading.roomId = room;
        reading.takenAt = Clock::now();
        reading.temperature = 68 + n % 10;
        reading.humidity = 40 + n % 25;
        ++n;
        const auto saved
            = drying::saveAtmosphere(db, reading, unit, data::Stamp { QLatin1String(kUsers[0]), Clock::now() });
        if (!std::holds_alternative<qint64>(saved)) {
            state.SkipWithError("the core refused the reading");
            return;
        }
    }
}
BENCHMARK(BM_SaveThroughCore)->Apply(medianOf<7, 40>);

// Starts the program with `workers` (0: its default) and signs every phone
// in; the program's peak while they signed in, its peak then started over
// (and its resident size before the first sign-in, when asked). False after
// the case was skipped with what went wrong.
bool startSignedIn(benchmark::State &state, FieldProgram &program, std::vector<Phone> &phones, int workers,
    double &signInPeak, double *idle = nullptr)
{
    std::string error;
    const int port = program.start(error, workers);
    if (port == 0) {
        state.SkipWithError(error.c_str());
        return false;
    }
    if (idle)
        *idle = statusMiB(program.pid(), "VmRSS");
    g_signInRetries = 0;
    if (const std::string failed = signInAll(phones, port); !failed.empty()) {
        state.SkipWithError((failed + "; " + program.state()).c_str());
        return false;
    }
    signInPeak = statusMiB(program.pid(), "VmHWM");
    resetPeak(program.pid());
    return true;
}

void BM_FiftyPhones(benchmark::State &state)
{
    FieldProgram program;
    std::vector<Phone> phones(kPhones);
    double signInPeak = 0;
    if (!startSignedIn(state, program, phones, int(state.range(0)), signInPeak))
        return;
    std::string error;
    std::vector<std::vector<double>> latencies(kPhones);
    for (auto _ : state) {
        error = eachPhone(phones, [&latencies](Phone &phone, int i) -> std::string {
            for (int n = 0; n < kReadingsEach; ++n) {
                const auto t0 = std::chrono::steady_clock::now();
                const int status = saveReading(phone, roomOf(i).id);
                latencies[size_t(i)].push_back(
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
                if (status != 201)
                    return "a save answered " + std::to_string(status);
            }
            return {};
        });
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    std::vector<double> all;
    for (const std::vector<double> &phone : latencies)
        all.insert(all.end(), phone.begin(), phone.end());
    std::sort(all.begin(), all.end());
    // Nearest rank.
    const auto percentile = [&all](double p) { return all.at(size_t(std::ceil(p * double(all.size()))) - 1); };
    state.counters["p50_ms"] = percentile(0.50);
    state.counters["p95_ms"] = percentile(0.95);
    state.counters["max_ms"] = all.back();
    state.counters["requests"] = double(all.size());
    state.counters["rss_MiB"] = statusMiB(program.pid(), "VmRSS");
    state.counters["signin_peak_MiB"] = signInPeak;
    state.counters["signin_retries"] = double(g_signInRetries.load());
    state.counters["child_peak_MiB"] = statusMiB(program.pid(), "VmHWM");
}
// 16 workers (half the program's default of 32), and as many as there are
// phones: a worker serves one connection while it is kept alive.
BENCHMARK(BM_FiftyPhones)->Arg(16)->Arg(kPhones)->ArgName("workers")->Apply(medianOf<3, 1>)->UseRealTime();

void BM_ServerMemory(benchmark::State &state)
{
    FieldProgram program;
    std::vector<Phone> phones(kPhones);
    double signInPeak = 0;
    double idle = 0;
    if (!startSignedIn(state, program, phones, 0, signInPeak, &idle))
        return;
    std::string error;
    for (auto _ : state) {
        error = eachPhone(phones, [](Phone &phone, int i) -> std::string {
            const BenchRoom &room = roomOf(i);
            if (!get(phone, "/api/jobs") || !get(phone, "/api/jobs/" + std::to_string(room.wip))
                || !get(phone, "/api/rooms/" + std::to_string(room.id)))
                return "a phone could not load its room";
            return {};
        });
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.counters["idle_rss_MiB"] = idle;
    state.counters["signin_peak_MiB"] = signInPeak;
    state.counters["signin_retries"] = double(g_signInRetries.load());
    state.counters["rss_MiB"] = statusMiB(program.pid(), "VmRSS");
    state.counters["peak_MiB"] = statusMiB(program.pid(), "VmHWM");
    state.counters["child_peak_MiB"] = std::max(signInPeak, state.counters["peak_MiB"].value);
}
BENCHMARK(BM_ServerMemory)->Apply(medianOf<3, 1>)->UseRealTime();

// The list's statement as the server runs it (src/field/FieldApi.cpp).
QString jobListSql(const data::Connection &db)
{
    return db.dialect().selectTop(500,
        QStringLiteral("W.ID, W.Customer, W.Address, W.City, W.State, W.Zip, W.StartDate"),
        QStringLiteral(
            "WIP W WHERE W.Status <> ? AND W.ID IN (SELECT WIPID FROM DryingRoom) ORDER BY W.Customer, W.ID"));
}

void BM_JobList(benchmark::State &state)
{
    InProcess &server = inProcess();
    if (!server.error.empty()) {
        state.SkipWithError(server.error.c_str());
        return;
    }
    std::string body;
    for (auto _ : state) {
        const std::optional<std::string> got = get(server.phone, "/api/jobs");
        if (!got) {
            state.SkipWithError("the job list did not answer 200");
            return;
        }
        body = *got;
    }
    const QJsonObject list = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    state.counters["listed"] = double(list.value(QStringLiteral("jobs")).toArray().size());
    state.counters["drying_jobs"] = double(g_dryingJobs);
    state.counters["reply_KiB"] = double(body.size()) / 1024.0;
}
BENCHMARK(BM_JobList)->Apply(medianOf<7, 10>);

void BM_JobListBaseline(benchmark::State &state)
{
    data::Connection db;
    db.open(g_connection, {});
    const QString sql = jobListSql(db);
    qint64 rows = 0;
    for (auto _ : state) {
        rows = 0;
        data::Rows q = db.exec(sql, { QStringLiteral("Closed") });
        while (q.next()) {
            for (int c = 0; c < 7; ++c)
                benchmark::DoNotOptimize(q.value(c).toString());
            ++rows;
        }
    }
    state.counters["listed"] = double(rows);
}
BENCHMARK(BM_JobListBaseline)->Apply(medianOf<7, 10>);

void BM_PageFiles(benchmark::State &state)
{
    InProcess &server = inProcess();
    if (!server.error.empty()) {
        state.SkipWithError(server.error.c_str());
        return;
    }
    const QDir page(QStringLiteral(":/field"));
    const QStringList files = page.entryList(QDir::Files);
    qint64 bytes = 0;
    for (const QString &file : files)
        bytes += QFileInfo(page.filePath(file)).size();
    for (auto _ : state) {
        for (const QString &file : files) {
            if (!get(server.phone, "/" + file.toStdString())) {
                state.SkipWithError(("the server did not serve " + file.toStdString()).c_str());
                return;
            }
        }
    }
    state.counters["page_KiB"] = double(bytes) / 1024.0;
    state.counters["files"] = double(files.size());
}
BENCHMARK(BM_PageFiles)->Apply(medianOf<7, 20>);

// ---- The data ----

// Every open job being dried gets a room, as the office would have entered
// it; the rooms the phones use are among them.
void addRooms(data::Connection &db)
{
    data::Transaction transaction(db);
    const QList<qint64> jobs
        = data::all(db.exec(QStringLiteral("SELECT W.ID FROM WIP W WHERE W.Status = ? AND NOT "
                                           "EXISTS (SELECT 1 FROM DryingRoom R WHERE R.WIPID = W.ID)"
                                           " ORDER BY W.ID"),
                        { drying::dryingStatus() }),
            [](const data::Row &row) { return row["ID"].toLongLong(); });
    for (const qint64 wip : jobs) {
        if (!std::holds_alternative<qint64>(drying::addRoom(db, wip, kRoomName, true)))
            throw std::runtime_error("a bench room was refused");
    }
    transaction.commit();
    g_rooms = data::all(
        db.exec(QStringLiteral("SELECT ID, WIPID FROM DryingRoom WHERE Name = ? ORDER BY ID"), { kRoomName }),
        [](const data::Row &row) {
            return BenchRoom { row["ID"].toLongLong(), row["WIPID"].toLongLong() };
        });
    g_dryingJobs = db.scalar(QStringLiteral("SELECT COUNT(*) FROM WIP W WHERE W.Status <> ? AND W.ID IN (SELECT WIPID "
                                            "FROM DryingRoom)"),
                         { QStringLiteral("Closed") })
                       .toLongLong();
}

// Takes out what the bench added: its rooms (each job that got one had none
// before, so every room of it is the bench's), their readings, its sessions
// and its entry ids.
void removeBenchRows(data::Connection &db)
{
    data::Transaction transaction(db);
    const QString benchJobs = QStringLiteral("SELECT WIPID FROM DryingRoom WHERE Name = ?");
    db.exec(
        QStringLiteral("DELETE FROM DryingAtmosphere WHERE RoomID IN (SELECT ID FROM DryingRoom WHERE WIPID IN (%1))")
            .arg(benchJobs),
        { kRoomName });
    db.exec(QStringLiteral("DELETE FROM DryingRoom WHERE WIPID IN (%1)").arg(benchJobs), { kRoomName });
    db.exec(QStringLiteral("DELETE FROM FieldEntry WHERE EntryID LIKE ?"), { kEntryPrefix + QLatin1Char('%') });
    db.exec(QStringLiteral("DELETE FROM FieldSession WHERE CreatedAt >= ?"), { g_started });
    transaction.commit();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchdata::headless(true);
    g_started = Clock::now().addSecs(-1);
    QTemporaryDir dir;
    g_connection = benchdata::sharedDb();
    int status = 0;
    try {
        data::Connection db;
        if (g_connection.isEmpty()) {
            g_connection
                = QStringLiteral("Provider=SQLite;Data Source=%1").arg(dir.filePath(QStringLiteral("bench.db")));
            std::fprintf(stderr, "Seeding a temporary database with %d jobs...\n", benchdata::jobs());
            db.open(g_connection, {}, data::OpenOptions { true });
            data::createSchema(db);
            data::DemoOptions options;
            options.jobs = benchdata::jobs();
            options.bookingsPerJob = 1;
            data::seedDemo(db, options);
        } else {
            db.open(g_connection, {});
        }
        removeBenchRows(db); // left by a run that did not finish
        addRooms(db);
        if (g_rooms.isEmpty())
            throw std::runtime_error("no job in status Drying to give a room");
        std::fprintf(stderr, "%lld open jobs with a drying log, %lld rooms of the bench.\n",
            static_cast<long long>(g_dryingJobs), static_cast<long long>(g_rooms.size()));

        const QString customers = qEnvironmentVariable("JT_BENCH_CUSTOMERS", QStringLiteral("customers.mdb"));
        g_config = dir.filePath(QStringLiteral("config.txt"));
        QFile config(g_config);
        if (!config.open(QIODevice::WriteOnly)
            || config.write(QStringLiteral("\"Job Tracker bench\"\nDatabase,\"%1\"\nCustomerDatabase,\"%2\"\n")
                                .arg(g_connection, customers)
                                .toUtf8())
                < 0)
            throw std::runtime_error("cannot write the program's config.txt");
        config.close();

        status = runBenchmarks(argc, argv);
        g_inProcess.reset();
        removeBenchRows(db);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_field: %s\n", e.what());
        return 1;
    }
    return status;
}
