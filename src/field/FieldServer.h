#pragma once

#include <QString>
#include <memory>

// The field page's HTTP(S) server: a pool of workers, each with a
// connection of its own to the job database, answering through
// field::handle(). Without a certificate it serves on a loopback address
// only (plain HTTP, for a reverse proxy in front or a test); any other
// address needs TLS.
namespace field {

struct ServerOptions
{
    QString connectionString;
    QString baseDir; // where a relative SQLite path starts
    QString host = QStringLiteral("127.0.0.1");
    int port = 0; // 0: any free port
    QString certificate; // PEM files; both or neither
    QString key;
    int workers = 32;
    // Connections open at once beyond which new ones are answered 503 and
    // closed at once, so that a flood cannot queue without end.
    int maxConnections = 200;
    int readTimeoutSeconds = 15;
};

class Server
{
public:
    explicit Server(ServerOptions options);
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Binds the address; the port bound. Throws std::runtime_error with a
    // message for the user (a bad address, no TLS off loopback, a
    // certificate that does not load, the port taken).
    int bind();
    // Serves until stop(); requests under way are finished first.
    void run();
    // From any thread (a signal's watcher).
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace field
