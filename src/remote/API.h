#pragma once
// TAPI: one remote-control operation on a thread of its own.
//
// Life of a worker: the main thread creates it with new, calls exactly one
// request method (which starts the thread) and forgets it. The worker thread
// performs one HTTP exchange, decodes the reply, runs the completion on the
// main thread and waits for it, then deletes the worker. Every started worker
// completes exactly once, whatever goes wrong during its run, unless its
// receiver is gone or TAPI::Shutdown has been called. A request method that
// throws leaves an unstarted worker that the caller deletes.

#include "remote/PlaylistTypes.h"

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>

class QObject;
class TUploadBody;

class TAPI {
public:
    enum TRequest { rqPlaylist, rqDelTrack, rqMoveTrack, rqPlaybackInfo };

    // Runs on the main thread with the finished worker; may take its playlist.
    using TAPICallback = std::function<void(TAPI *ASender)>;
    // Upload progress on the main thread: bytes sent of the body's total.
    using TProgressCallback = std::function<void(qint64 ASent, qint64 ATotal)>;

    // AReceiver: when it is destroyed before the completion runs, the
    // completion is dropped. May be null.
    TAPI(QObject *AReceiver, TAPICallback AReadyCallback);
    ~TAPI();
    TAPI(const TAPI &) = delete;
    TAPI &operator=(const TAPI &) = delete;

    // Before the request method: where upload progress goes.
    void SetProgressCallback(TProgressCallback ACallback);

    void GetPlaylistContents();
    void GetPlaybackInfo();
    void DeletePlaylistTrack(int AIndex);
    void MovePlaylistTrack(int AFrom, int ATo);
    // AIndex is the wire position itself (the selected row + 2). Reads the
    // file here, on the caller's thread; throws TFileError when it cannot.
    void InsertVoiceTrack(int AIndex, const QString &AFN);

    bool Success() const { return FSuccess; }
    const QString &Error() const { return FError; }
    // The failure in full: for a refused request its status line and the
    // whole reply, which Error() may shorten; otherwise Error() itself.
    const QString &ErrorDetail() const { return FErrorDetail.isEmpty() ? FError : FErrorDetail; }
    TRequest Request() const { return FRequest; }
    int Param1() const { return FParam1; }
    int Param2() const { return FParam2; }
    const TPlaybackInfo &PlaybackInfo() const { return FPlaybackInfo; }
    // Null until a playlist reply has been decoded.
    const TPlaylist *Playlist() const { return FPlaylist.get(); }
    std::unique_ptr<TPlaylist> TakePlaylist() { return std::move(FPlaylist); }

    // Workers started and not yet ended.
    static int Running();
    // At exit: makes running workers give up, drops their completions and
    // waits up to ATimeoutMs for their threads to end. Returns whether all ended.
    static bool Shutdown(int ATimeoutMs = 5000);

    struct TCompletion;

private:
    void Start();
    void Execute();
    void DoGetPlaylist();
    void DoGetPlaybackInfo();
    void DoDeleteTrack();
    void DoMoveTrack();
    bool SendRequest(const QByteArray &AQuery, QString &AReplyText);
    void CheckOKReply(const QString &AText);
    void DoCallback();
    void Fail(const QString &AError);
    void ReportProgress(qint64 ASent, qint64 ATotal);

    TAPICallback FReadyCallback;
    std::unique_ptr<TPlaylist> FPlaylist;
    QString FError;
    TRequest FRequest = rqPlaylist;
    bool FSuccess = false;
    int FParam1 = 0;
    int FParam2 = 0;
    std::unique_ptr<TUploadBody> FForm;
    TPlaybackInfo FPlaybackInfo;
    QString FErrorDetail;

    QPointer<QObject> FReceiver;
    bool FHasReceiver = false;
    std::atomic<bool> FAbort{false};
    TProgressCallback FProgressCallback;
    qint64 FLastProgressTick = 0;
    bool FCompleted = false;
    std::shared_ptr<TCompletion> FCompletion;
};

// The voice-track file could not be opened or read; what() is the message.
class TFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
