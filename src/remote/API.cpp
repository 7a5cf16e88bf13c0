#include "remote/API.h"

#include "config/Settings.h"
#include "core/MainThread.h"
#include "core/Utils.h"
#include "core/Wipe.h"
#include "remote/HttpTransport.h"
#include "remote/Protocol.h"
#include "remote/ReplyDecoders.h"
#include "remote/ReplyErrorText.h"
#include "remote/UploadBody.h"
#include "remote/VoiceTrackFile.h"

#include <QCoreApplication>
#include <condition_variable>
#include <mutex>
#include <new>
#include <set>
#include <thread>

// The hand-over of one completion between the worker and the main thread.
struct TAPI::TCompletion {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Finished = false;  // the main thread ran the completion, or dropped it
    bool Cancelled = false; // shut down: the completion must not run any more
};

namespace {

// Workers between Start and the end of their thread, so that shutdown can
// make them give up and wait for them. Never destroyed: a detached worker may
// still be leaving while the process runs its exit handlers.
struct TRegistry {
    std::mutex Lock;
    std::condition_variable Changed;
    std::set<TAPI *> Live;
    int RunningThreads = 0;
};
TRegistry &Registry() {
    static auto *Instance = new TRegistry;
    return *Instance;
}
std::atomic<bool> ShuttingDown{false};

// Progress reaches the main thread at most this often (and always at the end).
constexpr qint64 KProgressIntervalMs = 100;

// Marks the completion finished when the queued call is destroyed, whether it
// ran or was dropped unrun with the event queue: the worker must never wait
// for a call that will not come.
struct TFinishGuard {
    explicit TFinishGuard(std::shared_ptr<TAPI::TCompletion> AC) : C(std::move(AC)) {}
    TFinishGuard(const TFinishGuard &) = delete;
    TFinishGuard &operator=(const TFinishGuard &) = delete;
    std::shared_ptr<TAPI::TCompletion> C;
    ~TFinishGuard() {
        {
            std::lock_guard lock(C->Lock);
            C->Finished = true;
        }
        C->Changed.notify_all();
    }
};

} // namespace

TAPI::TAPI(QObject *AReceiver, TAPICallback AReadyCallback)
    : FReadyCallback(std::move(AReadyCallback)), FReceiver(AReceiver),
      FHasReceiver(AReceiver != nullptr), FCompletion(std::make_shared<TCompletion>()) {}

TAPI::~TAPI() = default;

void TAPI::SetProgressCallback(TProgressCallback ACallback) {
    FProgressCallback = std::move(ACallback);
}

void TAPI::GetPlaylistContents() {
    FRequest = rqPlaylist;
    Start();
}

void TAPI::GetPlaybackInfo() {
    FRequest = rqPlaybackInfo;
    Start();
}

void TAPI::DeletePlaylistTrack(int AIndex) {
    FRequest = rqDelTrack;
    FParam1 = WirePosOfRow(AIndex);
    Start();
}

void TAPI::MovePlaylistTrack(int AFrom, int ATo) {
    FRequest = rqMoveTrack;
    FParam1 = WirePosOfRow(AFrom);
    FParam2 = WirePosOfRow(ATo);
    Start();
}

void TAPI::InsertVoiceTrack(int AIndex, const QString &AFN) {
    QByteArray prefix;
    {
        std::lock_guard lock(Settings().Monitor());
        prefix = UploadFormPrefix(Settings(), AFN, AIndex);
    }
    // The file is opened here so that an unreadable file is reported before
    // anything starts; reading and encoding it is left to the worker, a piece
    // at a time while it is sent.
    QString error;
    std::unique_ptr<TVoiceTrackFile> file = TVoiceTrackFile::Open(AFN, error);
    if (!file)
        throw TFileError(error.toStdString());
    FForm = std::make_unique<TUploadBody>(std::move(prefix), std::move(file));
    FRequest = rqPlaylist;
    Start();
}

void TAPI::Start() {
    {
        std::lock_guard lock(Registry().Lock);
        Registry().Live.insert(this);
        ++Registry().RunningThreads;
    }
    try {
        std::thread([this] {
            Execute();
            {
                std::lock_guard lock(Registry().Lock);
                Registry().Live.erase(this);
            }
            delete this;
            {
                // Notified under the lock, so that whoever sees the count
                // reach zero knows this thread no longer touches the registry.
                std::lock_guard lock(Registry().Lock);
                --Registry().RunningThreads;
                Registry().Changed.notify_all();
            }
        }).detach();
    } catch (...) {
        // No thread: the caller still owns the worker and learns of the failure.
        std::lock_guard lock(Registry().Lock);
        Registry().Live.erase(this);
        --Registry().RunningThreads;
        throw;
    }
}

void TAPI::Execute() {
    // Whatever goes wrong in here, the main window relies on one completion
    // to clear its in-flight mark.
    try {
        switch (FRequest) {
        case rqPlaylist:
            DoGetPlaylist();
            break;
        case rqPlaybackInfo:
            DoGetPlaybackInfo();
            break;
        case rqDelTrack:
            DoDeleteTrack();
            break;
        case rqMoveTrack:
            DoMoveTrack();
            break;
        }
        return;
    } catch (const std::bad_alloc &) {
        Fail(QStringLiteral("Not enough memory to complete the request."));
    } catch (const std::exception &e) {
        Fail(QStringLiteral("The request failed: %1").arg(QString::fromUtf8(e.what())));
    } catch (...) {
        Fail(QStringLiteral("The request failed for an unknown reason."));
    }
}

void TAPI::Fail(const QString &AError) {
    if (FCompleted)
        return;
    try {
        FSuccess = false;
        FPlaylist.reset();
        FError = AError;
        FErrorDetail.clear();
    } catch (...) {
        FError.clear(); // cannot even hold the text: complete without it
    }
    DoCallback();
}

void TAPI::DoGetPlaylist() {
    QString reply;
    if (!SendRequest("action=getplaylist2", reply))
        return;
    FPlaylist = std::make_unique<TPlaylist>();
    DecodePlaylist(reply, *FPlaylist);
    FSuccess = true;
    DoCallback();
}

void TAPI::DoGetPlaybackInfo() {
    QString reply;
    if (!SendRequest("action=playbackinfo", reply))
        return;
    DecodePlaybackInfo(reply, FPlaybackInfo);
    FSuccess = true;
    DoCallback();
}

void TAPI::DoDeleteTrack() {
    QString reply;
    if (!SendRequest("action=delete&pos=" + QByteArray::number(FParam1), reply))
        return;
    CheckOKReply(reply);
    DoCallback();
}

void TAPI::DoMoveTrack() {
    QString reply;
    if (!SendRequest("action=move&pos1=" + QByteArray::number(FParam1) +
                         "&pos2=" + QByteArray::number(FParam2),
                     reply))
        return;
    CheckOKReply(reply);
    DoCallback();
}

bool TAPI::SendRequest(const QByteArray &AQuery, QString &AReplyText) {
    AReplyText.clear();
    THttpRequest request;
    {
        std::lock_guard lock(Settings().Monitor());
        const TSettings &settings = Settings();
        if (settings.Server.isEmpty()) {
            FError = QString::fromLatin1(KNotConfigured);
            DoCallback();
            return false;
        }
        QString base = BaseURL(settings, !FForm);
        QByteArray utf8 = base.toUtf8();
        request.Url.reserve(utf8.size() + 1 + AQuery.size());
        request.Url += utf8;
        if (!FForm) {
            request.Url += '&';
            request.Url += AQuery;
        }
        // The credential copies are scratch; the request keeps the one it needs.
        WipeBytes(utf8);
        WipeText(base);
    }
    request.Abort = &FAbort;
    // A refresh or an action is small: past the cap the station is not
    // answering, whatever trickles in.
    if (!FForm)
        request.TotalTimeoutMs = RemoteOptions().TotalTimeoutMs;
    if (FForm) {
        request.Body = FForm.get();
        request.ContentType = "application/x-www-form-urlencoded";
        if (FProgressCallback)
            request.Progress = [this](qint64 ASent, qint64 ATotal) {
                ReportProgress(ASent, ATotal);
            };
    }

    // The body's length is counted from the file before connecting, so that
    // a file that cannot be read through costs no connection.
    if (FForm)
        FForm->Size();
    THttpResponse response;
    if (!FForm || !FForm->Failed())
        CreateHttpTransport()->Perform(request, response);
    WipeBytes(request.Url);
    if (FForm && FForm->Failed()) {
        // The voice track could not be read to its end: the transfer was
        // given up, and the reason is the file's, not the network's.
        FError = FForm->ErrorText();
        DoCallback();
        return false;
    }
    if (response.NetworkError) {
        FError = response.ErrorText;
        DoCallback();
        return false;
    }
    if (response.Status < 200 || response.Status > 299) {
        TReplyErrorText error =
            StatusErrorText(response.Status, response.Body, response.ContentType);
        FError = std::move(error.Shown);
        FErrorDetail = std::move(error.Full);
        DoCallback();
        return false;
    }
    AReplyText = ReplyText(response.Body, response.ContentType);
    return true;
}

void TAPI::CheckOKReply(const QString &AText) {
    FSuccess = AText == QLatin1String("OK");
    if (!FSuccess)
        FError = AText;
}

void TAPI::DoCallback() {
    if (FCompleted)
        return;
    FCompleted = true;
    if (QCoreApplication::instance() == nullptr || ShuttingDown.load())
        return;

    std::shared_ptr<TCompletion> c = FCompletion;
    auto guard = std::make_shared<TFinishGuard>(c);
    PostToMainThread([this, guard] {
        TCompletion &completion = *guard->C;
        {
            std::lock_guard l(completion.Lock);
            if (completion.Cancelled)
                return; // the worker may be gone already
        }
        if (FHasReceiver && FReceiver.isNull())
            return;
        if (FReadyCallback)
            FReadyCallback(this);
    });
    guard.reset();
    std::unique_lock lock(c->Lock);
    c->Changed.wait(lock, [&] { return c->Finished || c->Cancelled; });
}

void TAPI::ReportProgress(qint64 ASent, qint64 ATotal) {
    const qint64 now = GetTickMs();
    if (ASent < ATotal && now - FLastProgressTick < KProgressIntervalMs)
        return;
    FLastProgressTick = now;
    if (ShuttingDown.load())
        return;
    // Only values travel: the worker may be gone when this runs.
    PostToMainThread([callback = FProgressCallback, receiver = FReceiver,
                      hasReceiver = FHasReceiver, ASent, ATotal] {
        if (hasReceiver && receiver.isNull())
            return;
        callback(ASent, ATotal);
    });
}

int TAPI::Running() {
    std::lock_guard lock(Registry().Lock);
    return Registry().RunningThreads;
}

bool TAPI::Shutdown(int ATimeoutMs) {
    std::unique_lock lock(Registry().Lock);
    ShuttingDown = true;
    for (TAPI *worker : Registry().Live) {
        worker->FAbort = true;
        const std::shared_ptr<TCompletion> &c = worker->FCompletion;
        {
            std::lock_guard l(c->Lock);
            c->Cancelled = true;
        }
        c->Changed.notify_all();
    }
    return Registry().Changed.wait_for(lock, std::chrono::milliseconds(ATimeoutMs),
                                       [] { return Registry().RunningThreads == 0; });
}
