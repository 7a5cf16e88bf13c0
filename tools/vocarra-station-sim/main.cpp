// vocarra-station-sim: a stand-in for the station's remote-control server,
// for demonstrations, manual tests and the client's integration tests.

#include "DemoPlaylist.h"
#include "SimServer.h"
#include "core/FileVersion.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace {

const char Usage[] = "Usage: vocarra-station-sim [options]\n"
                     "  --port N         port to listen on; 0 picks a free one (default 0)\n"
                     "  --bind ADDR      address to listen on (default 127.0.0.1)\n"
                     "  --user U         user name the clients must send (default demo)\n"
                     "  --pass P         password the clients must send (default demo)\n"
                     "  --tracks N       entries of the generated playlist (default 40)\n"
                     "  --tls CERT KEY   serve HTTPS with this certificate and key (PEM files)\n"
                     "  --version        print the version and exit\n"
                     "  --help           print this text and exit\n"
                     "The first line on standard output is \"listening on ADDR:PORT\"; one line\n"
                     "per request goes to standard error.\n";

struct TOptions {
    int Port = 0;
    std::string Bind = "127.0.0.1";
    std::string User = "demo";
    std::string Pass = "demo";
    int Tracks = 40;
    TSimServerOptions Server;
};

[[noreturn]] void Fail(const std::string &AMessage) {
    std::fprintf(stderr, "vocarra-station-sim: %s\n%s", AMessage.c_str(), Usage);
    std::exit(2); // NOLINT(concurrency-mt-unsafe): before any thread starts
}

int ParseNumber(const QString &AText, int AMax, const char *AWhat) {
    bool ok = false;
    const int value = AText.toInt(&ok);
    if (!ok || value < 0 || value > AMax)
        Fail(std::string("invalid ") + AWhat + ": " + AText.toStdString());
    return value;
}

TOptions ParseOptions(const QStringList &AArgs) {
    TOptions options;
    for (qsizetype i = 1; i < AArgs.size(); ++i) {
        const QString &arg = AArgs[i];
        const auto value = [&](int AIndex = 1) -> QString {
            if (i + AIndex >= AArgs.size())
                Fail("missing value after " + arg.toStdString());
            return AArgs[i + AIndex];
        };
        if (arg == u"--help" || arg == u"-h") {
            std::fputs(Usage, stdout);
            std::exit(0); // NOLINT(concurrency-mt-unsafe): before any thread starts
        } else if (arg == u"--version") {
            const QString version = GetFileVersionText(QCoreApplication::applicationFilePath());
            std::printf("vocarra-station-sim %s\n", qUtf8Printable(version));
            std::exit(0); // NOLINT(concurrency-mt-unsafe): before any thread starts
        } else if (arg == u"--port") {
            options.Port = ParseNumber(value(), 65535, "port");
            ++i;
        } else if (arg == u"--bind") {
            options.Bind = value().toStdString();
            ++i;
        } else if (arg == u"--user") {
            options.User = value().toStdString();
            ++i;
        } else if (arg == u"--pass") {
            options.Pass = value().toStdString();
            ++i;
        } else if (arg == u"--tracks") {
            options.Tracks = ParseNumber(value(), 100000, "number of tracks");
            ++i;
        } else if (arg == u"--tls") {
            options.Server.CertFile = value(1).toStdString();
            options.Server.KeyFile = value(2).toStdString();
            i += 2;
        } else {
            Fail("unknown option " + arg.toStdString());
        }
    }
    return options;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const TOptions options = ParseOptions(QCoreApplication::arguments());

    TSimPlaylist playlist(MakeDemoPlaylist(options.Tracks));
    TSimService service(playlist, options.User, options.Pass);
    TSimServer server(service, options.Server);
    if (!server.IsValid()) {
        std::fprintf(stderr, "vocarra-station-sim: cannot load the TLS certificate or key\n");
        return 1;
    }
    const int port = server.Bind(options.Bind, options.Port);
    if (port < 0) {
        std::fprintf(stderr, "vocarra-station-sim: cannot listen on %s:%d\n", options.Bind.c_str(),
                     options.Port);
        return 1;
    }
    // An IPv6 address is bracketed so that the port stays recognisable.
    const bool v6 = options.Bind.find(':') != std::string::npos;
    std::printf("listening on %s%s%s:%d\n", v6 ? "[" : "", options.Bind.c_str(), v6 ? "]" : "",
                port);
    std::fflush(stdout);
    std::fprintf(stderr, "vocarra-station-sim: %s, user \"%s\", %d entries\n",
                 options.Server.CertFile.empty() ? "HTTP" : "HTTPS", options.User.c_str(),
                 options.Tracks);
    return server.Run() ? 0 : 1;
}
