#include "remote/HttpTransport.h"

#include "core/Utils.h"
#include "remote/UploadBody.h"

#include <curl/curl.h>
#include <mutex>

TRemoteOptions &RemoteOptions() {
    static TRemoteOptions Options;
    return Options;
}

namespace {

void EnsureCurlInitialised() {
    static std::once_flag Once;
    std::call_once(Once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Everything the libcurl callbacks of one exchange need.
struct TExchange {
    const THttpRequest *Request = nullptr;
    THttpResponse *Response = nullptr;
    qint64 MaxReplyBytes = 0;
    qint64 IdleTimeoutMs = 0;
    qint64 LastActivityTick = 0;
    curl_off_t LastDown = 0;
    curl_off_t LastUp = 0;
    qint64 StartTick = 0;
    qint64 TotalTimeoutMs = 0; // 0: none
    qint64 LowSpeedBytes = 0;  // 0: no low-speed check
    qint64 LowSpeedTimeMs = 0;
    // The low-speed window: it starts again whenever enough bytes moved in it.
    qint64 WindowStartTick = 0;
    curl_off_t WindowStartBytes = 0;
    bool TooLarge = false;
    bool IdleExpired = false;
    bool TooSlow = false;
    bool TotalExpired = false;
    bool Aborted = false;
};

// libcurl's timers may fire a little before our clock says they are due;
// the slack tells the cap on the whole exchange from the connect limit.
constexpr qint64 KTimerSlackMs = 50;

// "300 ms", or "30 s" for whole seconds.
QString DurationText(qint64 AMs) {
    return AMs % 1000 == 0 ? QStringLiteral("%1 s").arg(AMs / 1000)
                           : QStringLiteral("%1 ms").arg(AMs);
}

// "1 KB" for whole kibibytes, else "N bytes".
QString AmountText(qint64 ABytes) {
    return ABytes % 1024 == 0 ? QStringLiteral("%1 KB").arg(ABytes / 1024)
                              : QStringLiteral("%1 bytes").arg(ABytes);
}

size_t WriteBody(char *AData, size_t ASize, size_t ACount, void *AUser) {
    auto *x = static_cast<TExchange *>(AUser);
    const size_t n = ASize * ACount;
    if (x->Response->Body.size() + static_cast<qint64>(n) > x->MaxReplyBytes) {
        x->TooLarge = true;
        return 0; // makes libcurl fail the transfer with a write error
    }
    x->Response->Body.append(AData, static_cast<qsizetype>(n));
    return n;
}

size_t ReadBody(char *ADest, size_t ASize, size_t ACount, void *AUser) {
    auto *x = static_cast<TExchange *>(AUser);
    const size_t n = x->Request->Body->Read(ADest, ASize * ACount);
    // A body that cannot go on must not end as if it were complete.
    return n == 0 && x->Request->Body->Failed() ? CURL_READFUNC_ABORT : n;
}

int SeekBody(void *AUser, curl_off_t AOffset, int AOrigin) {
    auto *x = static_cast<TExchange *>(AUser);
    if (AOffset != 0 || AOrigin != SEEK_SET)
        return CURL_SEEKFUNC_CANTSEEK;
    x->Request->Body->Rewind();
    return CURL_SEEKFUNC_OK;
}

// Called by libcurl often while data moves and about once a second while it
// does not: the place to notice an idle connection, a cancel and progress.
int OnProgress(void *AUser, curl_off_t, curl_off_t ADown, curl_off_t AUpTotal, curl_off_t AUp) {
    auto *x = static_cast<TExchange *>(AUser);
    const qint64 now = GetTickMs();
    if (ADown != x->LastDown || AUp != x->LastUp) {
        x->LastDown = ADown;
        x->LastUp = AUp;
        x->LastActivityTick = now;
        if (x->Request->Progress && x->Request->Body)
            x->Request->Progress(AUp, AUpTotal > 0 ? AUpTotal : x->Request->Body->Size());
    }
    if (x->Request->Abort && x->Request->Abort->load()) {
        x->Aborted = true;
        return 1;
    }
    if (now - x->LastActivityTick > x->IdleTimeoutMs) {
        x->IdleExpired = true;
        return 1;
    }
    // A byte now and then resets the idle limit but moves no reply along.
    const curl_off_t moved = ADown + AUp;
    if (x->LowSpeedBytes > 0) {
        if (moved - x->WindowStartBytes >= x->LowSpeedBytes) {
            x->WindowStartTick = now;
            x->WindowStartBytes = moved;
        } else if (now - x->WindowStartTick >= x->LowSpeedTimeMs) {
            x->TooSlow = true;
            return 1;
        }
    }
    if (x->TotalTimeoutMs > 0 && now - x->StartTick >= x->TotalTimeoutMs) {
        x->TotalExpired = true;
        return 1;
    }
    return 0;
}

class TCurlTransport final : public THttpTransport {
public:
    void Perform(const THttpRequest &ARequest, THttpResponse &AResponse) override;
};

void TCurlTransport::Perform(const THttpRequest &ARequest, THttpResponse &AResponse) {
    EnsureCurlInitialised();
    AResponse = THttpResponse();
    const TRemoteOptions &options = RemoteOptions();

    CURL *curl = curl_easy_init();
    if (curl == nullptr) {
        AResponse.NetworkError = true;
        AResponse.ErrorText = QStringLiteral("The HTTP client could not be created.");
        return;
    }
    TExchange x;
    x.Request = &ARequest;
    x.Response = &AResponse;
    x.MaxReplyBytes = options.MaxReplyBytes;
    x.IdleTimeoutMs = options.IdleTimeoutMs;
    x.LastActivityTick = GetTickMs();
    x.StartTick = x.LastActivityTick;
    x.WindowStartTick = x.LastActivityTick;
    x.TotalTimeoutMs = ARequest.TotalTimeoutMs;
    if (options.LowSpeedBytes > 0 && options.LowSpeedTimeMs > 0) {
        x.LowSpeedBytes = options.LowSpeedBytes;
        x.LowSpeedTimeMs = options.LowSpeedTimeMs;
    }

    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_slist *headers = nullptr;

    curl_easy_setopt(curl, CURLOPT_URL, ARequest.Url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L); // several workers run at once
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.CAFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, options.CAFile.toLocal8Bit().constData());
    // An idle limit, not a cap on the whole exchange: a large upload over a
    // slow line may take as long as it needs while bytes keep moving.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.IdleTimeoutMs));
    // libcurl keeps the cap to the millisecond; the progress callback runs
    // only about once a second while nothing moves.
    if (ARequest.TotalTimeoutMs > 0)
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(ARequest.TotalTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &x);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &x);

    if (ARequest.Body != nullptr) {
        const QByteArray contentType = "Content-Type: " + ARequest.ContentType;
        headers = curl_slist_append(headers, contentType.constData());
        // Sent at once: waiting for "100 Continue" only delays servers that never send it.
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(ARequest.Body->Size()));
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadBody);
        curl_easy_setopt(curl, CURLOPT_READDATA, &x);
        curl_easy_setopt(curl, CURLOPT_SEEKFUNCTION, SeekBody);
        curl_easy_setopt(curl, CURLOPT_SEEKDATA, &x);
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode rc = curl_easy_perform(curl);
    if (rc == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        AResponse.Status = status;
        char *type = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr)
            AResponse.ContentType = type;
    } else {
        AResponse.NetworkError = true;
        AResponse.Body.clear();
        if (x.TooLarge) {
            AResponse.ErrorText = QStringLiteral("The server's reply is larger than %1 MiB.")
                                      .arg(options.MaxReplyBytes >> 20);
        } else if (x.IdleExpired) {
            AResponse.ErrorText =
                QStringLiteral("The station is not answering (no data moved for %1).")
                    .arg(DurationText(options.IdleTimeoutMs));
        } else if (x.TooSlow) {
            AResponse.ErrorText =
                QStringLiteral("The station is not answering (less than %1 moved in %2).")
                    .arg(AmountText(x.LowSpeedBytes), DurationText(x.LowSpeedTimeMs));
        } else if (x.TotalExpired ||
                   (rc == CURLE_OPERATION_TIMEDOUT && x.TotalTimeoutMs > 0 &&
                    GetTickMs() - x.StartTick >= x.TotalTimeoutMs - KTimerSlackMs)) {
            AResponse.ErrorText =
                QStringLiteral("The station is not answering (no reply within %1).")
                    .arg(DurationText(x.TotalTimeoutMs));
        } else if (rc == CURLE_OPERATION_TIMEDOUT) {
            AResponse.ErrorText =
                QStringLiteral("The station is not answering (no connection within %1).")
                    .arg(DurationText(options.IdleTimeoutMs));
        } else if (x.Aborted) {
            AResponse.ErrorText = QStringLiteral("The request was cancelled.");
        } else if (errorBuffer[0] != '\0') {
            AResponse.ErrorText = QString::fromUtf8(errorBuffer);
        } else {
            AResponse.ErrorText = QString::fromUtf8(curl_easy_strerror(rc));
        }
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
}

} // namespace

std::unique_ptr<THttpTransport> CreateHttpTransport() {
    if (RemoteOptions().TransportFactory)
        return RemoteOptions().TransportFactory();
    return std::make_unique<TCurlTransport>();
}
