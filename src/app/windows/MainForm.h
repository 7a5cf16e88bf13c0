#pragma once
// The main window: the station's playlist, the playing and next titles with a
// running countdown, and the toolbar actions (record, insert, delete,
// microphone processing, settings). It owns the last received playlist and
// playback information and turns request completions into view updates.
// Main thread only.

#include "remote/PlaylistTypes.h"

#include <QMainWindow>
#include <QTime>
#include <functional>
#include <memory>

class QLabel;
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

    // --- State, for the view and for tests ----------------------------------
    const TPlaylist *Playlist() const { return FPlaylist.get(); }
    const TPlaybackInfo &PlaybackInfo() const { return FPlaybackInfo; }
    bool UpdatingPlaylist() const { return FUpdatingPlaylist; }
    bool UpdatingPlaybackInfo() const { return FUpdatingPlaybackInfo; }
    int UploadsRunning() const { return FUploadsRunning; }

    // --- Controls ------------------------------------------------------------
    QToolButton *btRecord;
    QToolButton *btInsert;
    QToolButton *btDelete;
    QToolButton *btDSP;
    QToolButton *btSettings;
    TNowPlayingBar *NPBar;
    TNowPlayingBar *lNextTrack;
    QLabel *edToEnd2;
    QLabel *EdToEnd;
    TLxVirtualTree *lvPlaylist;
    TPlaylistModel *FPlaylistModel;
    QLabel *StatusPanel;    // the status bar's one panel
    QLabel *lUploadFile;    // file name of the running upload
    QProgressBar *pbUpload; // its progress
    QTimer *tmrMain;
    QTimer *tmrPlayback;
    TLxPosSave *LxPosSave1;

protected:
    void showEvent(QShowEvent *AEvent) override;
    void closeEvent(QCloseEvent *AEvent) override;

private:
    void CreateControls();
    void FormShow();
    void FormClose();
    void RefreshPlaylist();
    void RefreshPlaybackInfo();
    void PlaylistDone(TAPI *ASender);
    void PlaybackInfoDone(TAPI *ASender);
    void ActionDone(TAPI *ASender);
    void UploadDone(TAPI *ASender);
    void UploadProgress(qint64 ASent, qint64 ATotal);
    void UpdatePlaylistView();
    // A failed refresh in the status bar, with the age of the list still shown.
    void ShowPlaylistError(const QString &AError);
    // Starts AWorker with ARequest; when it cannot start, deletes it and
    // returns the reason.
    static QString StartWorker(TAPI *AWorker, const std::function<void(TAPI *)> &ARequest);
    // Starts a delete or move worker that completes in ActionDone; a worker
    // that cannot start is reported like a failed action.
    void StartAction(const std::function<void(TAPI *)> &ARequest);

    std::unique_ptr<TPlaylist> FPlaylist;
    QTime FPlaylistTime; // when FPlaylist arrived
    bool FUpdatingPlaylist = false;
    TPlaybackInfo FPlaybackInfo;
    bool FUpdatingPlaybackInfo = false;
    bool FShown = false;
    int FUploadsRunning = 0;
    TChooseFileEvent FOnChooseFile;
    TTickSource FTickSource;
};
