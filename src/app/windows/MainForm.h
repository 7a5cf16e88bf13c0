#pragma once
// The main window: the station's playlist, the playing and next titles with a
// running countdown, and the toolbar actions (record, insert, delete,
// microphone processing, settings). It owns the last received playlist and
// playback information and turns request completions into view updates.
// Main thread only.

#include "handoff/Handoff.h"
#include "remote/PlaylistTypes.h"

#include <QMainWindow>
#include <QTime>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QLocalServer;
class QLocalSocket;
class QMenu;
class QProgressBar;
class QTimer;
class QToolButton;
class TAPI;
class TLxPosSave;
class TLxVirtualTree;
class TNowPlayingBar;
class TPlaylistModel;

class TMainFrm : public QMainWindow {
    Q_OBJECT
public:
    // Reads the connection settings and the player configuration again.
    explicit TMainFrm(QWidget *AParent = nullptr);
    // Saves the connection settings.
    ~TMainFrm() override;

    // Asks for the voice track to insert, starting in AFolder; empty when the
    // user cancels. Tests replace the file dialog.
    using TChooseFileEvent = std::function<QString(const QString &AFolder)>;
    void SetOnChooseFile(TChooseFileEvent AEvent) { FOnChooseFile = std::move(AEvent); }

    // The clock the countdown runs on; GetTickMs unless a test sets another.
    using TTickSource = std::function<qint64()>;
    void SetTickSource(TTickSource ASource) { FTickSource = std::move(ASource); }

    // The recorder's command line.
    static QString RecorderCommandLine();

    // --- Handlers ----------------------------------------------------------
    void tmrMainTimer();
    void tmrPlaybackTimer();
    void btRecordClick();
    void btInsertClick();
    void btDeleteClick();
    void btDSPClick();
    void btSettingsClick();
    bool lvPlaylistDragOver(int ATargetRow);
    void lvPlaylistDragDrop(int ATargetRow);
    // Moves the one selected entry AStep rows up (-1) or down (+1), as a drag
    // onto that row would; the moved entry stays selected.
    void actMoveClick(int AStep);
    // Opens pmPlaylist at AGlobalPos, or at the selected row when the
    // keyboard asked for it (no position).
    void lvPlaylistContextPopup(std::optional<QPoint> AGlobalPos);

    // --- State, for the view and for tests ----------------------------------
    const TPlaylist *Playlist() const { return FPlaylist.get(); }
    const TPlaybackInfo &PlaybackInfo() const { return FPlaybackInfo; }
    bool UpdatingPlaylist() const { return FUpdatingPlaylist; }
    bool UpdatingPlaybackInfo() const { return FUpdatingPlaybackInfo; }
    int UploadsRunning() const { return FUploadsRunning; }
    // The local server micdeck hands its takes to; null when another window
    // of this user and data directory already listens.
    const QLocalServer *HandoffServer() const { return FHandoffServer; }

    // --- Controls ------------------------------------------------------------
    QToolButton *btRecord = nullptr;
    QToolButton *btInsert = nullptr;
    QToolButton *btDelete = nullptr;
    QToolButton *btDSP = nullptr;
    QToolButton *btSettings = nullptr;
    TNowPlayingBar *NPBar = nullptr;
    TNowPlayingBar *lNextTrack = nullptr;
    QLabel *edToEnd2 = nullptr;
    QLabel *EdToEnd = nullptr;
    TLxVirtualTree *lvPlaylist = nullptr;
    TPlaylistModel *FPlaylistModel = nullptr;
    QLabel *StatusPanel = nullptr;    // the status bar's one panel
    QLabel *lUploadFile = nullptr;    // file name of the running upload
    QProgressBar *pbUpload = nullptr; // its progress
    QTimer *tmrMain = nullptr;
    QTimer *tmrPlayback = nullptr;
    TLxPosSave *LxPosSave1 = nullptr;
    // The keyboard's way to the playlist, also offered by pmPlaylist.
    QAction *actInsert = nullptr;
    QAction *actDelete = nullptr;
    QAction *actMoveUp = nullptr;
    QAction *actMoveDown = nullptr;
    QAction *actRefresh = nullptr;
    QAction *actPlaylistMenu = nullptr; // Menu key, Shift+F10
    QMenu *pmPlaylist = nullptr;        // the playlist's context menu

protected:
    void showEvent(QShowEvent *AEvent) override;
    void closeEvent(QCloseEvent *AEvent) override;

private:
    void CreateControls();
    void CreateActions();
    void FormShow();
    void FormClose();
    // True when nothing uploads, when nobody can be asked, or when the user
    // agrees to stop the running upload.
    bool ConfirmCloseDuringUpload();
    void RefreshPlaylist();
    void RefreshPlaybackInfo();
    void PlaylistDone(TAPI *ASender);
    void PlaybackInfoDone(TAPI *ASender);
    void ActionDone(TAPI *ASender);
    void UploadDone(TAPI *ASender);
    void UploadProgress(qint64 ASent, qint64 ATotal);
    // Starts uploading AFileName as a voice track after row ARow, with the
    // progress in the status bar; the reason when it cannot start.
    QString StartVoiceTrackUpload(int ARow, const QString &AFileName);
    // Listens for micdeck's hand-offs, taking over a name left by a window
    // that died, never one that still answers.
    void StartHandoffServer();
    void HandoffConnection(QLocalSocket *ASocket);
    // An insert request inserts after the selected entry as the insert
    // button does; anything else is refused.
    THandoffReply HandoffRequest(const QByteArray &ALine);
    void UpdatePlaylistView();
    // A failed refresh in the status bar, with the age of the list still shown.
    void ShowPlaylistError(const QString &AError);
    // Starts AWorker with ARequest; when it cannot start, deletes it and
    // returns the reason.
    static QString StartWorker(TAPI *AWorker, const std::function<void(TAPI *)> &ARequest);
    // Starts a delete or move worker that completes in ActionDone; a worker
    // that cannot start is reported like a failed action.
    void StartAction(const std::function<void(TAPI *)> &ARequest);
    // Swaps entries ASource and ATarget at once and asks the server to move
    // the one to the other, as a drag does.
    void MovePlaylistEntry(int ASource, int ATarget);

    std::unique_ptr<TPlaylist> FPlaylist;
    QTime FPlaylistTime; // when FPlaylist arrived
    bool FUpdatingPlaylist = false;
    TPlaybackInfo FPlaybackInfo;
    bool FUpdatingPlaybackInfo = false;
    bool FShown = false;
    int FUploadsRunning = 0;
    QString FUploadName; // file name of the upload started last
    TChooseFileEvent FOnChooseFile;
    QLocalServer *FHandoffServer = nullptr;
    TTickSource FTickSource;
};
