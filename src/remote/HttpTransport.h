#pragma once
// One HTTP exchange, blocking, on the calling thread. The request worker talks
// to the network only through this interface, so another platform's HTTP
// client can take the place of libcurl.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class TUploadBody;

struct THttpRequest {
    QByteArray Url;
    TUploadBody *Body = nullptr; // POST with this body when set, otherwise GET
    QByteArray ContentType;      // of the body
    // Upload progress (bytes sent, bytes in all), called on the transport's thread.
    std::function<void(qint64, qint64)> Progress;
    // Set from another thread to give up the exchange as soon as possible.
    const std::atomic<bool> *Abort = nullptr;
    // The whole exchange ends after this long; 0: no limit, as long as data moves.
    qint64 TotalTimeoutMs = 0;
};

struct THttpResponse {
    bool NetworkError = false; // no reply: connection, name, TLS, time-out, protocol, abort
    QString ErrorText;         // the HTTP client's message when NetworkError
    long Status = 0;
    QByteArray Body;
    QByteArray ContentType; // of the reply, as sent
};

class THttpTransport {
public:
    virtual ~THttpTransport() = default;
    // Never throws for network trouble: it is reported in AResponse.
    virtual void Perform(const THttpRequest &ARequest, THttpResponse &AResponse) = 0;
};

// Process-wide limits of every exchange. Tests shorten them.
struct TRemoteOptions {
    int IdleTimeoutMs = 30000; // no progress this long while connecting, sending or receiving
    // Fewer than LowSpeedBytes moved within LowSpeedTimeMs: a trickle is not progress.
    qint64 LowSpeedBytes = 1024;
    qint64 LowSpeedTimeMs = 30000;
    // The cap on the whole of a playlist, playback, delete or move request
    // (never on an upload, which may take as long as a slow line needs).
    qint64 TotalTimeoutMs = 45000;
    QString CAFile; // trusted certificates instead of the system store (tests only)
    qint64 MaxReplyBytes = 256LL << 20; // a longer reply fails instead of exhausting memory
    // Replaces the platform's transport (tests only: failures no real server can cause).
    std::function<std::unique_ptr<THttpTransport>()> TransportFactory;
};
TRemoteOptions &RemoteOptions();

// The platform's transport (libcurl: one easy handle per exchange, TLS verified,
// no redirects followed).
std::unique_ptr<THttpTransport> CreateHttpTransport();
