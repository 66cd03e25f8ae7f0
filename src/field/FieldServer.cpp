#include "field/FieldServer.h"

#include "base/Loopback.h"
#include "data/Database.h"
#include "field/FieldApi.h"

#include <QDir>
#include <QHostAddress>
#include <arpa/inet.h>
#include <atomic>
#include <httplib.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>

namespace field {

namespace {

    // Each worker's own connection: a connection belongs to the thread that
    // opened it, and goes with the thread when the pool shuts down.
    struct WorkerConnection
    {
        const void *server = nullptr;
        std::unique_ptr<data::Connection> db;
    };
    thread_local WorkerConnection tWorker;
    // Set on the thread that answers connections beyond the cap.
    thread_local bool tOverCap = false;

    // The worker pool, with a cap on the connections it holds: those beyond
    // it go to one thread that answers each request 503 and closes.
    class CappedPool : public httplib::TaskQueue
    {
    public:
        CappedPool(size_t workers, int cap)
            : m_pool(workers)
            , m_refuser(1)
            , m_cap(cap)
        {
        }
        void enqueue(std::function<void()> fn) override
        {
            if (m_open.load() >= m_cap) {
                m_refuser.enqueue([fn = std::move(fn)] {
                    tOverCap = true;
                    fn();
                    tOverCap = false;
                });
                return;
            }
            ++m_open;
            m_pool.enqueue([this, fn = std::move(fn)] {
                fn();
                --m_open;
            });
        }
        void shutdown() override
        {
            m_pool.shutdown();
            m_refuser.shutdown();
        }

    private:
        httplib::ThreadPool m_pool;
        httplib::ThreadPool m_refuser;
        std::atomic<int> m_open { 0 };
        const int m_cap;
    };

    // cpp-httplib as Debian builds it listens with a backlog of 5, so a
    // burst of phones connecting at once (the crews' morning start) would
    // have connections refused; listen() again on the bound socket raises it.
    void raiseBacklog(int port)
    {
        const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System);
        for (const QString &name : fds) {
            bool ok = false;
            const int fd = name.toInt(&ok);
            int accepting = 0;
            socklen_t size = sizeof accepting;
            if (!ok || getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &size) != 0 || !accepting)
                continue;
            sockaddr_storage address {};
            socklen_t length = sizeof address;
            if (getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
                continue;
            int bound = -1;
            if (address.ss_family == AF_INET)
                bound = ntohs(reinterpret_cast<const sockaddr_in *>(&address)->sin_port);
            else if (address.ss_family == AF_INET6)
                bound = ntohs(reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_port);
            if (bound == port)
                ::listen(fd, 128);
        }
    }

    void send(httplib::Response &res, const Reply &reply)
    {
        res.status = reply.status;
        for (const auto &[name, value] : reply.headers)
            res.set_header(name.toStdString(), value.toStdString());
        if (!reply.contentType.isEmpty())
            res.set_content(
                reply.body.constData(), static_cast<size_t>(reply.body.size()), reply.contentType.constData());
    }

} // namespace

struct Server::Impl
{
    ServerOptions options;
    std::unique_ptr<httplib::Server> http;

    data::Connection &connection()
    {
        if (tWorker.server != this || !tWorker.db) {
            tWorker.db = std::make_unique<data::Connection>();
            tWorker.server = this;
        }
        if (!tWorker.db->isOpen()) {
            tWorker.db->open(options.connectionString, options.baseDir);
            // SQLite keeps a page cache of 2 MiB per connection, which the
            // system's file cache makes redundant for a worker among many.
            if (tWorker.db->dialect().kind() == data::DbKind::SQLite)
                tWorker.db->execScript(QStringLiteral("PRAGMA cache_size = -256"));
        }
        return *tWorker.db;
    }

    Reply answer(const httplib::Request &req)
    {
        Request request;
        request.method = QByteArray::fromStdString(req.method);
        request.path = QString::fromStdString(req.path);
        for (const auto &[name, value] : req.params)
            request.query.insert(QString::fromStdString(name), QString::fromStdString(value));
        for (const auto &[name, value] : req.headers)
            request.headers.insert(QByteArray::fromStdString(name).toLower(), QByteArray::fromStdString(value));
        request.body = QByteArray::fromStdString(req.body);
        for (const auto &[name, file] : req.files)
            request.parts.insert(QString::fromStdString(name),
                Request::Part { QString::fromStdString(file.filename), QByteArray::fromStdString(file.content) });
        request.secure = !options.certificate.isEmpty();
        try {
            return handle(connection(), request);
        } catch (const std::exception &e) {
            // The database could not be opened at all.
            qWarning("The field server cannot open the database: %s", e.what());
            Reply reply;
            reply.status = 503;
            reply.body = QByteArrayLiteral("{\"message\":\"The office database cannot be reached just now. Your entry "
                                           "is kept on this phone and sent when it is back.\"}");
            return reply;
        }
    }
};

Server::Server(ServerOptions options)
    : d(std::make_unique<Impl>())
{
    d->options = std::move(options);
}

Server::~Server()
{
    stop();
}

int Server::bind()
{
    const ServerOptions &o = d->options;
    const QHostAddress address(o.host);
    if (address.isNull())
        throw std::runtime_error(QStringLiteral("%1 is not an IP address to listen on.").arg(o.host).toStdString());
    if (o.certificate.isEmpty() != o.key.isEmpty())
        throw std::runtime_error("Give both the certificate and its key, or neither.");
    if (o.certificate.isEmpty() && !Loopback::isHost(o.host))
        throw std::runtime_error(QStringLiteral("Listening on %1 needs TLS (--cert and --key): without them the "
                                                "field server listens on a loopback address only.")
                                     .arg(o.host)
                                     .toStdString());
    if (o.certificate.isEmpty()) {
        d->http = std::make_unique<httplib::Server>();
    } else {
        auto tls = std::make_unique<httplib::SSLServer>(
            o.certificate.toLocal8Bit().constData(), o.key.toLocal8Bit().constData());
        if (!tls->is_valid())
            throw std::runtime_error(QStringLiteral("The certificate %1 or its key %2 could not be loaded.")
                                         .arg(o.certificate, o.key)
                                         .toStdString());
        d->http = std::move(tls);
    }
    httplib::Server &http = *d->http;
    const size_t workers = static_cast<size_t>(std::max(1, o.workers));
    const int cap = std::max(o.workers, o.maxConnections);
    http.new_task_queue = [workers, cap] { return new CappedPool(workers, cap); };
    http.set_read_timeout(o.readTimeoutSeconds, 0);
    http.set_write_timeout(30, 0);
    // A worker stays with a connection while it is kept alive: phones that
    // pause let go soon, and one that keeps sending gives way after a few
    // requests (the browser reconnects), so that a crew's phones take turns
    // rather than wait for the busiest to fall silent.
    http.set_keep_alive_timeout(2);
    http.set_keep_alive_max_count(10);
    // An answer's headers and body go out as two writes; without this the
    // body waits for the phone's delayed acknowledgement (40 ms).
    http.set_tcp_nodelay(true);
    http.set_payload_max_length(static_cast<size_t>(kMaxPhotoBody));
    httplib::Headers headers;
    for (const auto &[name, value] : securityHeaders())
        headers.emplace(name.toStdString(), value.toStdString());
    http.set_default_headers(headers);
    http.set_pre_routing_handler([](const httplib::Request &req, httplib::Response &res) {
        if (tOverCap) {
            res.status = 503;
            res.set_header("Connection", "close");
            res.set_header("Retry-After", "5");
            res.set_content("{\"message\":\"The field server is busy. Try again in a moment.\"}",
                "application/json; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }
        const qint64 limit = bodyLimit(QByteArray::fromStdString(req.method), QString::fromStdString(req.path));
        if (req.has_header("Content-Length")
            && QByteArray::fromStdString(req.get_header_value("Content-Length")).toLongLong() > limit) {
            res.status = 413;
            res.set_header("Connection", "close");
            res.set_content("{\"message\":\"The request is too large.\"}", "application/json; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    const auto handler = [this](const httplib::Request &req, httplib::Response &res) { send(res, d->answer(req)); };
    http.Get(".*", handler);
    http.Post(".*", handler);
    http.Put(".*", handler);
    http.Delete(".*", handler);
    http.Patch(".*", handler);
    http.Options(".*", handler);
    int port = o.port;
    if (port == 0) {
        port = http.bind_to_any_port(o.host.toStdString());
        if (port < 0)
            port = 0;
    } else if (!http.bind_to_port(o.host.toStdString(), port)) {
        port = 0;
    }
    if (port == 0)
        throw std::runtime_error(
            QStringLiteral("The field server could not listen on %1:%2.").arg(o.host).arg(o.port).toStdString());
    raiseBacklog(port);
    return port;
}

void Server::run()
{
    if (d->http)
        d->http->listen_after_bind();
}

void Server::stop()
{
    if (d->http)
        d->http->stop();
}

} // namespace field
