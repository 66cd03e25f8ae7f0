// jobtracker-qbsim: a local stand-in for the QuickBooks Online accounting API.
//
//   jobtracker-qbsim [--port N] [--data FILE]
//
// Listens on 127.0.0.1 (port 0 picks a free one) and prints "listening on
// <port>" once it does. With --data the company's data and tokens are kept
// in that JSON file across runs. With --write-settings the program's
// quickbooks.ini is pointed at this simulator (the demo client, signed in,
// with its registered redirect address http://localhost:8765/callback unless
// the file names one), unless it is set up for a service elsewhere: then it
// exits with 2. The consent page redirects only to registered addresses.
#include "SimServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("jobtracker-qbsim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local QuickBooks Online API simulator"));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1 (0: any free one)."),
        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption dataOption(
        QStringLiteral("data"), QStringLiteral("JSON file that keeps the data."), QStringLiteral("file"));
    const QCommandLineOption settingsOption(QStringLiteral("write-settings"),
        QStringLiteral("Point this quickbooks.ini at the simulator."), QStringLiteral("file"));
    parser.addOption(portOption);
    parser.addOption(dataOption);
    parser.addOption(settingsOption);
    parser.process(app);

    qbsim::SimServer server(parser.value(dataOption));
    if (!server.listen(quint16(parser.value(portOption).toUInt()))) {
        std::fprintf(stderr, "jobtracker-qbsim: cannot listen on 127.0.0.1:%s\n", qPrintable(parser.value(portOption)));
        return 1;
    }
    QString error;
    if (parser.isSet(settingsOption) && !server.writeSettings(parser.value(settingsOption), &error)) {
        std::fprintf(stderr, "jobtracker-qbsim: %s\n", qPrintable(error));
        return 2;
    }
    std::printf("listening on %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
