#pragma once
// The simulated station on the network: HTTP or HTTPS in front of TSimService.

#include "SimService.h"

#include <functional>
#include <memory>
#include <string>

namespace httplib {
class Server;
}

struct TSimServerOptions {
    std::string CertFile; // both set: HTTPS with this certificate and key
    std::string KeyFile;
    std::size_t MaxBodySize = std::size_t(1) << 30;
};

// Serves GET "/?..." and form POSTs to "/" on worker threads. Bind, then Run
// (blocks) on one thread; Stop may be called from any thread.
class TSimServer {
public:
    using TLogSink = std::function<void(const std::string &ALine)>;

    TSimServer(TSimService &AService, const TSimServerOptions &AOptions = {});
    ~TSimServer();

    // False when the TLS certificate or key could not be loaded.
    bool IsValid() const;

    // Binds to AHost:APort (0 picks a free port); returns the port or -1.
    int Bind(const std::string &AHost, int APort);
    // Serves until Stop; false when it could not start.
    bool Run();
    // Whether Run is serving; Stop has no effect before.
    bool IsRunning() const;
    void Stop();

    // One line per request; by default to standard error.
    void SetLogSink(TLogSink ASink) { FLog = std::move(ASink); }

private:
    void Setup();
    void Log(const std::string &ALine) const;

    TSimService &FService;
    TSimServerOptions FOptions;
    std::unique_ptr<httplib::Server> FServer;
    TLogSink FLog;
};
