// studio-service: the local stand-in of the studio-management web service.

#include "studioservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonObject>

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

void say(const QString& line)
{
    std::fprintf(stderr, "studio-service: %s\n", qPrintable(line));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("studio-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local stand-in of the studio-management web service."));
    parser.addHelpOption();
    const QCommandLineOption portOption("port", "Port on 127.0.0.1 (0: a free port).", "port", "8765");
    const QCommandLineOption fixtureOption("fixture", "JSON fixture that seeds the store.", "file",
                                           StudioService::demoFixturePath());
    const QCommandLineOption logOption("log", "Append every request to this file as a JSON line.", "file");
    const QCommandLineOption volumesOption("volumes",
                                           "Mount root of the demo file shares; the fixture's "
                                           "paths are checked against it at start.",
                                           "root");
    parser.addOptions({portOption, fixtureOption, logOption, volumesOption});
    parser.process(app);

    bool portOk = false;
    const int port = parser.value(portOption).toInt(&portOk);
    if (!portOk || port < 0 || port > 65535) {
        say(QStringLiteral("invalid port %1").arg(parser.value(portOption)));
        return 2;
    }

    StudioService service;
    QString error;
    if (!service.loadFixture(parser.value(fixtureOption), &error)) {
        say(error);
        return 1;
    }
    if (parser.isSet(logOption) && !service.setLogFile(parser.value(logOption))) {
        say(QStringLiteral("cannot write the log %1").arg(parser.value(logOption)));
        return 1;
    }
    if (parser.isSet(volumesOption)) {
        const QStringList missing =
            StudioService::missingPaths(service.storeSnapshot(), parser.value(volumesOption));
        for (const QString& path : missing)
            say(QStringLiteral("warning: %1 is not a folder under %2")
                    .arg(path, parser.value(volumesOption)));
    }

    // SIGINT and SIGTERM are taken by sigwait below; block them before the
    // server's threads start so none of them receives the signal instead.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (!service.start(port)) {
        say(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(port));
        return 1;
    }
    say(QStringLiteral("listening on %1").arg(service.baseUrl()));

    int received = 0;
    sigwait(&stopSignals, &received);
    service.stop();
    say(QStringLiteral("stopped"));
    return 0;
}
