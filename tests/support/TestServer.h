#pragma once
// A real HTTP(S) server on 127.0.0.1 that a test controls: every request is
// recorded, and the test's handler decides status, body and timing.

#include <QString>
#include <atomic>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

struct TRecordedRequest {
    std::string Method;
    std::string Target; // path and query as sent
    std::string Body;
    std::string ContentType;
    std::string UserAgent;
    std::string Host;
};

class TTestServer {
public:
    using THandler = std::function<void(const httplib::Request &, httplib::Response &)>;

    // Plain HTTP, or HTTPS with the given certificate and key files.
    explicit TTestServer(THandler AHandler, const std::string &ACertFile = {},
                         const std::string &AKeyFile = {})
        : FHandler(std::move(AHandler)) {
        if (ACertFile.empty())
            FServer = std::make_unique<httplib::Server>();
        else
            FServer = std::make_unique<httplib::SSLServer>(ACertFile.c_str(), AKeyFile.c_str());
        auto record = [this](const httplib::Request &ARequest, httplib::Response &AResponse) {
            {
                std::lock_guard lock(FLock);
                FRequests.push_back({ARequest.method, ARequest.target, ARequest.body,
                                     ARequest.get_header_value("Content-Type"),
                                     ARequest.get_header_value("User-Agent"),
                                     ARequest.get_header_value("Host")});
            }
            FHandler(ARequest, AResponse);
        };
        FServer->Get(".*", record);
        // Read the body ourselves: the library refuses form bodies beyond a
        // few KiB when it parses them for an ordinary handler.
        FServer->Post(".*", [record](const httplib::Request &ARequest, httplib::Response &AResponse,
                                     const httplib::ContentReader &AReader) {
            httplib::Request request = ARequest;
            AReader([&request](const char *AData, size_t ALength) {
                request.body.append(AData, ALength);
                return true;
            });
            record(request, AResponse);
        });
        FPort = FServer->bind_to_any_port("127.0.0.1");
        // A server that cannot listen fails its test at once instead of
        // leaving the test to wait for a reply that never comes.
        if (FPort <= 0 || !FServer->is_valid())
            throw std::runtime_error("the test server cannot listen on 127.0.0.1");
        FThread = std::thread([this] { FServer->listen_after_bind(); });
        // stop() does nothing to a server that has not begun accepting, so
        // the destructor could wait for ever without this.
        while (!FServer->is_running())
            std::this_thread::yield();
    }

    ~TTestServer() {
        FServer->stop();
        FThread.join();
    }

    int Port() const { return FPort; }

    std::vector<TRecordedRequest> Requests() const {
        std::lock_guard lock(FLock);
        return FRequests;
    }

private:
    THandler FHandler;
    std::unique_ptr<httplib::Server> FServer;
    int FPort = 0;
    std::thread FThread;
    mutable std::mutex FLock;
    std::vector<TRecordedRequest> FRequests;
};
