// jobtracker-field: serves the field page, where technicians enter the day's
// readings, photos and equipment from their phones, over the office's job
// database. See the README ("Field page") for running it.

#include "base/Config.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "field/Certificate.h"
#include "field/FieldServer.h"
#include "field/ServerRegistry.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QHostInfo>
#include <QTextStream>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace {

int fail(const QString &message)
{
    QTextStream(stderr) << "jobtracker-field: " << message << '\n';
    return 2;
}

// "ADDRESS:PORT", "[v6]:PORT" or a bare port; the default's parts where one
// is left out.
bool parseListen(const QString &text, QString &host, int &port)
{
    QString hostPart = text;
    QString portPart;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype end = text.indexOf(QLatin1Char(']'));
        if (end < 0)
            return false;
        hostPart = text.mid(1, end - 1);
        portPart = text.mid(end + 1);
        if (!portPart.isEmpty() && !portPart.startsWith(QLatin1Char(':')))
            return false;
        portPart = portPart.mid(1);
    } else if (text.count(QLatin1Char(':')) == 1) {
        hostPart = text.section(QLatin1Char(':'), 0, 0);
        portPart = text.section(QLatin1Char(':'), 1);
    } else if (!text.contains(QLatin1Char(':')) && !text.contains(QLatin1Char('.'))) {
        hostPart.clear();
        portPart = text;
    }
    if (!hostPart.isEmpty())
        host = hostPart;
    if (!portPart.isEmpty()) {
        bool ok = false;
        port = portPart.toInt(&ok);
        if (!ok || port < 0 || port > 65535)
            return false;
    }
    return true;
}

// The address a phone opens: given, or this computer's name (the loopback
// address itself when that is all it listens on).
QString publicAddress(const QString &given, const QString &host, int port, bool secure)
{
    if (!given.isEmpty())
        return given.endsWith(QLatin1Char('/')) ? given : given + QLatin1Char('/');
    QString name = host;
    if (host == QLatin1String("0.0.0.0") || host == QLatin1String("::"))
        name = QHostInfo::localHostName();
    else if (host.contains(QLatin1Char(':')))
        name = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("%1://%2:%3/").arg(secure ? QStringLiteral("https") : QStringLiteral("http"), name).arg(port);
}

} // namespace

int main(int argc, char *argv[])
{
    // SIGTERM and SIGINT are taken by one thread that stops the server, so
    // that requests under way finish; every thread made later inherits the
    // mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Job Tracker"));
    QCoreApplication::setOrganizationName(QStringLiteral("Varnholt of Brackwell"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves the field page: technicians enter the drying log's "
                                                    "readings, photos and equipment from their phones."));
    parser.addHelpOption();
    const QCommandLineOption configOption(
        QStringLiteral("config"), QStringLiteral("The config.txt naming the database."), QStringLiteral("file"));
    const QCommandLineOption listenOption(QStringLiteral("listen"),
        QStringLiteral("Address and port to listen on (default 127.0.0.1:8080; with a certificate 0.0.0.0:8443). "
                       "Without a certificate only a loopback address is allowed."),
        QStringLiteral("address:port"));
    const QCommandLineOption certOption(
        QStringLiteral("cert"), QStringLiteral("The TLS certificate (PEM)."), QStringLiteral("file"));
    const QCommandLineOption keyOption(
        QStringLiteral("key"), QStringLiteral("The certificate's private key (PEM)."), QStringLiteral("file"));
    const QCommandLineOption urlOption(QStringLiteral("public-url"),
        QStringLiteral("The address phones open, shown on the desktop's Field Page (behind a reverse proxy)."),
        QStringLiteral("url"));
    const QCommandLineOption workersOption(QStringLiteral("workers"),
        QStringLiteral("Requests handled at once, each with its own database connection (default 16)."),
        QStringLiteral("n"));
    parser.addOptions({ configOption, listenOption, certOption, keyOption, urlOption, workersOption });
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1 (see --help)").arg(parser.positionalArguments().first()));

    QString configPath = parser.value(configOption);
    if (configPath.isEmpty()) {
        const QString folder = findConfigFolder();
        if (folder.isEmpty())
            return fail(QStringLiteral("no config.txt found; give one with --config"));
        configPath = QDir(folder).filePath(QStringLiteral("config.txt"));
    }
    ConfigValues config;
    try {
        config = readConfigFile(configPath);
    } catch (const ConfigError &e) {
        return fail(QString::fromUtf8(e.what()));
    }

    field::ServerOptions options;
    options.connectionString = config.connectionString;
    options.baseDir = config.folder;
    options.certificate = parser.value(certOption);
    options.key = parser.value(keyOption);
    const bool secure = !options.certificate.isEmpty();
    options.host = secure ? QStringLiteral("0.0.0.0") : QStringLiteral("127.0.0.1");
    options.port = secure ? 8443 : 8080;
    if (parser.isSet(listenOption) && !parseListen(parser.value(listenOption), options.host, options.port))
        return fail(QStringLiteral("--listen wants ADDRESS:PORT, not %1").arg(parser.value(listenOption)));
    if (parser.isSet(workersOption)) {
        bool ok = false;
        options.workers = parser.value(workersOption).toInt(&ok);
        if (!ok || options.workers < 1 || options.workers > 256)
            return fail(QStringLiteral("--workers wants a number from 1 to 256"));
    }

    // The database must be there and at this program's schema.
    data::Connection db;
    try {
        db.open(options.connectionString, options.baseDir);
        const std::optional<int> version = data::storedSchemaVersion(db);
        if (version.value_or(0) != data::kSchemaVersion)
            return fail(QStringLiteral("the database is at schema version %1, this program needs %2: run "
                                       "\"jobtracker-admin upgrade\" first")
                            .arg(version.value_or(0))
                            .arg(data::kSchemaVersion));
    } catch (const std::exception &e) {
        return fail(QStringLiteral("the database cannot be opened: %1").arg(QString::fromUtf8(e.what())));
    }

    QString fingerprint;
    if (secure) {
        const std::variant<QString, QString> found = field::fingerprintOf(options.certificate);
        if (found.index() == 1)
            return fail(std::get<1>(found));
        fingerprint = std::get<0>(found);
    }

    field::Server server(options);
    int port = 0;
    try {
        port = server.bind();
    } catch (const std::exception &e) {
        return fail(QString::fromUtf8(e.what()));
    }
    const QString address = publicAddress(parser.value(urlOption), options.host, port, secure);

    qint64 announced = 0;
    try {
        announced = field::announce(db, address, fingerprint);
    } catch (const std::exception &e) {
        qWarning("The field server could not announce itself: %s", e.what());
    }

    std::mutex mutex;
    std::condition_variable stopped;
    bool stopping = false;
    std::thread watcher([&] {
        int signal = 0;
        sigwait(&signals, &signal);
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        stopped.notify_all();
        server.stop();
    });
    // Says every minute that the server still runs; the desktop shows the
    // address while it does.
    std::thread heartbeat([&] {
        data::Connection own;
        std::unique_lock lock(mutex);
        while (!stopped.wait_for(lock, std::chrono::seconds(60), [&] { return stopping; })) {
            lock.unlock();
            try {
                if (!own.isOpen())
                    own.open(options.connectionString, options.baseDir);
                if (announced != 0)
                    field::stillRunning(own, announced);
                else
                    announced = field::announce(own, address, fingerprint);
            } catch (const std::exception &e) {
                qWarning("The field server could not say it still runs: %s", e.what());
            }
            lock.lock();
        }
    });

    std::printf("listening on %s://%s:%d/\n", secure ? "https" : "http",
        (options.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + options.host + QLatin1Char(']') : options.host)
            .toUtf8()
            .constData(),
        port);
    std::printf("phones open %s\n", address.toUtf8().constData());
    std::fflush(stdout);

    server.run();

    // Stopped (by a signal, or the server failed): the watcher is woken by a
    // signal of our own when it still waits.
    {
        std::unique_lock lock(mutex);
        if (!stopping) {
            lock.unlock();
            pthread_kill(watcher.native_handle(), SIGTERM);
        }
    }
    watcher.join();
    heartbeat.join();
    try {
        if (announced != 0)
            field::withdraw(db, announced);
    } catch (const std::exception &e) {
        qWarning("The field server could not withdraw its address: %s", e.what());
    }
    return 0;
}
