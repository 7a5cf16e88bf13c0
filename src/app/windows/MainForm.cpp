#include "app/windows/MainForm.h"

#include "app/windows/SettingsForm.h"
#include "app/windows/ToolbarImages.h"
#include "config/DataDirs.h"
#include "config/Settings.h"
#include "controls/CountdownLabel.h"
#include "controls/ListColumns.h"
#include "controls/LxVirtualTree.h"
#include "controls/NowPlayingBar.h"
#include "controls/PlaylistModel.h"
#include "controls/PosSave.h"
#include "controls/WindowHelpers.h"
#include "core/FileVersion.h"
#include "core/MessageBox.h"
#include "core/PrintableText.h"
#include "core/Process.h"
#include "core/Utils.h"
#include "dspwindows/DSPManagerFrame.h"
#include "dspwindows/MicDSPForm.h"
#include "remote/API.h"
#include "station/PlayerIni.h"
#include "station/SystemIni.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString KNoTime = u"00:00.0"_s;

QToolButton *NewToolButton(QWidget *AParent, const QString &AName, const QString &AHint,
                           const QString &AImage) {
    auto *button = new QToolButton(AParent);
    button->setObjectName(AName);
    button->setToolTip(AHint);
    // The buttons show only an image: the hint is what a screen reader says.
    button->setAccessibleName(AHint);
    button->setIcon(ToolbarImage(AImage));
    button->setIconSize(QSize(ScaleValue(30), ScaleValue(30)));
    button->setFixedSize(ScaleValue(40), ScaleValue(38));
    button->setAutoRaise(true);
    return button;
}

void SetupNowPlayingBar(TNowPlayingBar *ABar, const QString &AHint, quint32 ABackColor,
                        qint32 ATextWhiteAlpha) {
    ABar->setToolTip(AHint);
    ABar->setAccessibleName(AHint);
    ABar->SetLabelMode(true);
    ABar->SetBackColor(ABackColor);
    ABar->SetFrameColor(9868950);
    ABar->SetTextWhiteAlpha(ATextWhiteAlpha);
    ABar->SetTextShadowColor(16448250);
}

QLabel *NewCountdownLabel(QWidget *AParent, const QString &AName, const QString &ACaption) {
    auto *label = new TCountdownLabel(u"- 00:00.0"_s, AParent);
    label->setObjectName(AName);
    label->SetCaption(ACaption);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont font = label->font();
    font.setBold(true);
    font.setPixelSize(ScaleValue(14));
    label->setFont(font);
    return label;
}

} // namespace

TMainFrm::TMainFrm(QWidget *AParent) : QMainWindow(AParent), FTickSource(GetTickMs) {
    // FormCreate
    Settings().Read(DataDir() + u"settings.ini"_s);
    PlayerIni().Read();
    CreateControls();
    FPlaybackInfo.Reset();
    StartHandoffServer();
}

TMainFrm::~TMainFrm() {
    // FormDestroy. The view goes first: its rows point into the playlist.
    FPlaylistModel->SetPlaylist(nullptr);
    FPlaylist.reset();
    Settings().Save(DataDir() + u"settings.ini"_s);
}

void TMainFrm::CreateControls() {
    setObjectName(u"MainFrm"_s);
    setWindowTitle(u"Vocarra"_s);
    auto *client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *flowPanel = new QWidget(client);
    flowPanel->setObjectName(u"FlowPanel1"_s);
    auto *flow = new QHBoxLayout(flowPanel);
    flow->setContentsMargins(ScaleValue(3), ScaleValue(3), ScaleValue(3), ScaleValue(3));
    flow->setSpacing(ScaleValue(3));
    btRecord =
        NewToolButton(flowPanel, u"btRecord"_s, u"Record voice track"_s, u"record broadcast "_s);
    btInsert = NewToolButton(flowPanel, u"btInsert"_s, u"Insert voice track"_s, u"insert"_s);
    btDelete = NewToolButton(flowPanel, u"btDelete"_s, u"Delete track"_s, u"Delete"_s);
    // "Settings" would name two buttons alike for someone who cannot see the images.
    btDSP = NewToolButton(flowPanel, u"btDSP"_s, u"Microphone processing"_s, u"FX"_s);
    btSettings = NewToolButton(flowPanel, u"btSettings"_s, u"Settings"_s, u"settings"_s);
    flow->addWidget(btRecord);
    flow->addWidget(btInsert);
    flow->addSpacing(ScaleValue(3));
    flow->addWidget(btDelete);
    flow->addSpacing(ScaleValue(3));
    flow->addWidget(btDSP);
    flow->addWidget(btSettings);
    flow->addStretch(1);
    connect(btRecord, &QToolButton::clicked, this, &TMainFrm::btRecordClick);
    connect(btInsert, &QToolButton::clicked, this, &TMainFrm::btInsertClick);
    connect(btDelete, &QToolButton::clicked, this, &TMainFrm::btDeleteClick);
    connect(btDSP, &QToolButton::clicked, this, &TMainFrm::btDSPClick);
    connect(btSettings, &QToolButton::clicked, this, &TMainFrm::btSettingsClick);

    auto *panel = new QWidget(client);
    panel->setObjectName(u"Panel1"_s);
    panel->setFixedHeight(ScaleValue(45));
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(ScaleValue(8), ScaleValue(2), ScaleValue(8), ScaleValue(2));
    auto *grid = new QGridLayout;
    grid->setObjectName(u"GridPanel1"_s);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    NPBar = new TNowPlayingBar(panel);
    NPBar->setObjectName(u"NPBar"_s);
    SetupNowPlayingBar(NPBar, u"Current Track"_s, 11796401, 170);
    lNextTrack = new TNowPlayingBar(panel);
    lNextTrack->setObjectName(u"lNextTrack"_s);
    SetupNowPlayingBar(lNextTrack, u"Next Track"_s, 12645871, 140);
    grid->addWidget(NPBar, 0, 0);
    grid->addWidget(lNextTrack, 0, 1);
    panelLayout->addLayout(grid, 1);
    auto *times = new QVBoxLayout;
    times->setSpacing(0);
    // A screen reader hears what the time is and the time itself.
    edToEnd2 = NewCountdownLabel(panel, u"edToEnd2"_s, u"Elapsed time"_s);
    EdToEnd = NewCountdownLabel(panel, u"EdToEnd"_s, u"Remaining time"_s);
    times->addWidget(edToEnd2);
    times->addWidget(EdToEnd);
    panelLayout->addLayout(times);

    lvPlaylist = new TLxVirtualTree(client);
    lvPlaylist->setObjectName(u"lvPlaylist"_s);
    lvPlaylist->setAccessibleName(u"Playlist"_s);
    FPlaylistModel = new TPlaylistModel(lvPlaylist);
    lvPlaylist->setModel(FPlaylistModel);
    const int widths[] = {60, 90, 300, 60};
    for (int column = 0; column < TPlaylistModel::colCount; ++column)
        lvPlaylist->header()->resizeSection(column, ScaleValue(widths[column]));
    lvPlaylist->SetOnDragOver([this](int ARow) { return lvPlaylistDragOver(ARow); });
    lvPlaylist->SetOnDragDrop([this](int ARow) { lvPlaylistDragDrop(ARow); });
    auto *listBox = new QVBoxLayout;
    listBox->setContentsMargins(ScaleValue(8), ScaleValue(8), ScaleValue(8), ScaleValue(8));
    listBox->addWidget(lvPlaylist);

    layout->addWidget(flowPanel);
    layout->addWidget(panel);
    layout->addLayout(listBox, 1);
    setCentralWidget(client);

    StatusPanel = new QLabel(this);
    StatusPanel->setObjectName(u"StatusBar1"_s);
    // It shows the station's words, never its markup.
    StatusPanel->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(StatusPanel, 1);
    lUploadFile = new QLabel(this);
    lUploadFile->setTextFormat(Qt::PlainText);
    pbUpload = new QProgressBar(this);
    pbUpload->setAccessibleName(u"Upload progress"_s);
    pbUpload->setRange(0, 100);
    pbUpload->setMaximumWidth(ScaleValue(160));
    statusBar()->addPermanentWidget(lUploadFile);
    statusBar()->addPermanentWidget(pbUpload);
    lUploadFile->hide();
    pbUpload->hide();

    // Keyboard order puts processing last, after settings.
    setTabOrder(btRecord, btInsert);
    setTabOrder(btInsert, btDelete);
    setTabOrder(btDelete, btSettings);
    setTabOrder(btSettings, btDSP);
    setTabOrder(btDSP, NPBar);
    setTabOrder(NPBar, lNextTrack);
    setTabOrder(lNextTrack, lvPlaylist);

    LxPosSave1 = new TLxPosSave(this);
    setMinimumSize(320, 240);
    resize(ScaleValue(624), ScaleValue(435));

    tmrMain = new QTimer(this);
    tmrMain->setInterval(5000);
    connect(tmrMain, &QTimer::timeout, this, &TMainFrm::tmrMainTimer);
    tmrMain->start();
    tmrPlayback = new QTimer(this);
    tmrPlayback->setInterval(100);
    connect(tmrPlayback, &QTimer::timeout, this, &TMainFrm::tmrPlaybackTimer);
    tmrPlayback->start();

    CreateActions();
}

namespace {

// "Delete track (Del)": the hint with the keys that do the same.
QString HintWithKeys(const QString &AHint, const QAction *AAction) {
    QStringList keys;
    for (const QKeySequence &key : AAction->shortcuts())
        keys << key.toString(QKeySequence::NativeText);
    return keys.isEmpty() ? AHint : u"%1 (%2)"_s.arg(AHint, keys.join(u", "_s));
}

QAction *NewAction(QWidget *AOwner, const QString &AName, const QString &AText,
                   const QList<QKeySequence> &AKeys) {
    auto *action = new QAction(AText, AOwner);
    action->setObjectName(AName);
    action->setShortcuts(AKeys);
    AOwner->addAction(action);
    return action;
}

} // namespace

void TMainFrm::CreateActions() {
    // A presenter who works from the keyboard alone reaches every playlist
    // action with a key; the toolbar hints and the context menu show them.
    actInsert = NewAction(this, u"actInsert"_s, u"&Insert voice track..."_s,
                          {QKeySequence(Qt::Key_Insert), QKeySequence(Qt::CTRL | Qt::Key_I)});
    actDelete = NewAction(this, u"actDelete"_s, u"&Delete track"_s, {QKeySequence(Qt::Key_Delete)});
    actMoveUp =
        NewAction(this, u"actMoveUp"_s, u"Move &up"_s, {QKeySequence(Qt::CTRL | Qt::Key_Up)});
    actMoveDown =
        NewAction(this, u"actMoveDown"_s, u"Move d&own"_s, {QKeySequence(Qt::CTRL | Qt::Key_Down)});
    actRefresh = NewAction(this, u"actRefresh"_s, u"&Refresh"_s, {QKeySequence(Qt::Key_F5)});
    connect(actInsert, &QAction::triggered, this, &TMainFrm::btInsertClick);
    connect(actDelete, &QAction::triggered, this, &TMainFrm::btDeleteClick);
    connect(actMoveUp, &QAction::triggered, this, [this] { actMoveClick(-1); });
    connect(actMoveDown, &QAction::triggered, this, [this] { actMoveClick(+1); });
    connect(actRefresh, &QAction::triggered, this, &TMainFrm::tmrMainTimer);

    btInsert->setToolTip(HintWithKeys(u"Insert voice track"_s, actInsert));
    btDelete->setToolTip(HintWithKeys(u"Delete track"_s, actDelete));

    pmPlaylist = new QMenu(this);
    pmPlaylist->setObjectName(u"pmPlaylist"_s);
    pmPlaylist->addAction(actInsert);
    pmPlaylist->addAction(actDelete);
    pmPlaylist->addSeparator();
    pmPlaylist->addAction(actMoveUp);
    pmPlaylist->addAction(actMoveDown);
    pmPlaylist->addSeparator();
    pmPlaylist->addAction(actRefresh);

    lvPlaylist->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvPlaylist, &QWidget::customContextMenuRequested, this, [this](const QPoint &APos) {
        lvPlaylistContextPopup(lvPlaylist->viewport()->mapToGlobal(APos));
    });
    // The menu keys open the menu at the selected row, not where the mouse
    // happens to rest.
    actPlaylistMenu = new QAction(lvPlaylist);
    actPlaylistMenu->setObjectName(u"actPlaylistMenu"_s);
    actPlaylistMenu->setShortcuts(
        {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    actPlaylistMenu->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    lvPlaylist->addAction(actPlaylistMenu);
    connect(actPlaylistMenu, &QAction::triggered, this,
            [this] { lvPlaylistContextPopup(std::nullopt); });
}

void TMainFrm::lvPlaylistContextPopup(std::optional<QPoint> AGlobalPos) {
    if (!AGlobalPos) {
        const QList<int> rows = lvPlaylist->SelectedRows();
        QRect at;
        if (!rows.isEmpty())
            at = lvPlaylist->visualRect(FPlaylistModel->index(rows.first(), 0));
        const QRect visible = lvPlaylist->viewport()->rect();
        const QPoint corner =
            at.isValid() && visible.intersects(at) ? at.bottomLeft() : visible.topLeft();
        AGlobalPos = lvPlaylist->viewport()->mapToGlobal(corner);
    }
    pmPlaylist->popup(*AGlobalPos);
}

QString TMainFrm::RecorderCommandLine() {
    // Quoted: the program folder may contain blanks.
    return QuoteCommandArgument(ExeDir() + u"micdeck"_s) + u" -vocarra"_s;
}

void TMainFrm::showEvent(QShowEvent *AEvent) {
    QMainWindow::showEvent(AEvent);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TMainFrm::FormShow() {
    setWindowTitle(u"%1 (%2)"_s.arg(u"Vocarra"_s,
                                    GetFileVersionText(QCoreApplication::applicationFilePath())));
    LxPosSave1->IniFileName = DataDir() + u"windowpos.ini"_s;
    LxPosSave1->RestorePos();
    EnsureFormOnScreen(this);
    lvPlaylist->SetDefaultNodeHeight(lvPlaylist->fontMetrics().boundingRect(u"Cy"_s).height() +
                                     ScaleValue(8));
    RestoreListColumns(*lvPlaylist->header(), Settings().PlaylistCols);
    tmrMainTimer();
    // Kept for the whole run; listing the chain at once shows the stored
    // check marks without starting anything.
    CreateMicDSPFrm(this).DSPManagerFr->UpdateDSPListView();
    FPlaybackInfo.Reset();
    for (TNowPlayingBar *bar : {NPBar, lNextTrack}) {
        QFont font = bar->font();
        font.setPointSize(9);
        font.setBold(true);
        bar->setFont(font);
    }
}

void TMainFrm::closeEvent(QCloseEvent *AEvent) {
    if (!ConfirmCloseDuringUpload()) {
        AEvent->ignore();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(AEvent);
}

bool TMainFrm::ConfirmCloseDuringUpload() {
    // A close that nobody watches (a signal) cannot be answered, and the
    // session ending will not wait for the upload anyway.
    if (FUploadsRunning == 0 || MessageBoxesUnattended())
        return true;
    return MyMessageBox(u"A voice track is still being uploaded (%1). Close anyway and stop the "
                        u"upload?"_s.arg(FUploadName),
                        u"Confirm"_s, mbYesNoQuestion) == mrYes;
}

void TMainFrm::FormClose() {
    SystemIni().Save();
    LxPosSave1->SavePos();
    SaveListColumns(*lvPlaylist->header(), Settings().PlaylistCols);
}

QString TMainFrm::StartWorker(TAPI *AWorker, const std::function<void(TAPI *)> &ARequest) {
    try {
        ARequest(AWorker);
        return {};
    } catch (const std::exception &AError) {
        delete AWorker;
        return QString::fromUtf8(AError.what());
    }
}

void TMainFrm::StartAction(const std::function<void(TAPI *)> &ARequest) {
    const QString error =
        StartWorker(new TAPI(this, [this](TAPI *ASender) { ActionDone(ASender); }), ARequest);
    if (!error.isEmpty())
        MyMessageBox(error, u"Error"_s, mbIconError);
}

void TMainFrm::tmrMainTimer() {
    RefreshPlaylist();
    RefreshPlaybackInfo();
}

void TMainFrm::RefreshPlaylist() {
    if (FUpdatingPlaylist)
        return;
    FUpdatingPlaylist = true;
    const QString error =
        StartWorker(new TAPI(this, [this](TAPI *ASender) { PlaylistDone(ASender); }),
                    [](TAPI *AWorker) { AWorker->GetPlaylistContents(); });
    if (!error.isEmpty()) {
        FUpdatingPlaylist = false;
        ShowPlaylistError(error);
    }
}

void TMainFrm::RefreshPlaybackInfo() {
    if (FUpdatingPlaybackInfo)
        return;
    FUpdatingPlaybackInfo = true;
    const QString error =
        StartWorker(new TAPI(this, [this](TAPI *ASender) { PlaybackInfoDone(ASender); }),
                    [](TAPI *AWorker) { AWorker->GetPlaybackInfo(); });
    if (!error.isEmpty()) {
        FUpdatingPlaybackInfo = false;
        FPlaybackInfo.Reset();
        FPlaylistModel->SetPlaylistPos(FPlaybackInfo.PlaylistPos);
    }
}

void TMainFrm::PlaylistDone(TAPI *ASender) {
    FUpdatingPlaylist = false;
    if (!ASender->Success()) {
        ShowPlaylistError(ASender->Error());
        return;
    }
    std::unique_ptr<TPlaylist> old = std::move(FPlaylist);
    FPlaylist = ASender->TakePlaylist();
    if (!FPlaylist) // a successful reply always carries one; never leave the view dangling
        FPlaylist = std::make_unique<TPlaylist>();
    FPlaylistTime = QTime::currentTime();
    UpdatePlaylistView();
    StatusPanel->clear();
}

void TMainFrm::ShowPlaylistError(const QString &AError) {
    // One line in the status bar; and a list that no longer refreshes says
    // how old it is, so that nobody takes it for the station's present.
    QString text = PrintableText(AError, pmOneLine);
    if (text.isEmpty()) // a failure that could not even keep its text
        text = u"The playlist could not be refreshed."_s;
    if (FPlaylist)
        text += u" \u2014 the playlist shown is from %1."_s.arg(
            QLocale().toString(FPlaylistTime, QLocale::LongFormat));
    StatusPanel->setText(text);
}

void TMainFrm::UpdatePlaylistView() {
    // The same number of entries keeps rows, selection and scroll position;
    // another number rebuilds the rows, and the view keeps its scroll offset
    // across the rebuild by itself.
    FPlaylistModel->SetPlaylist(FPlaylist.get());
    lvPlaylist->viewport()->update();
}

void TMainFrm::PlaybackInfoDone(TAPI *ASender) {
    FUpdatingPlaybackInfo = false;
    if (ASender->Success())
        FPlaybackInfo = ASender->PlaybackInfo();
    else
        FPlaybackInfo.Reset();
    FPlaylistModel->SetPlaylistPos(FPlaybackInfo.PlaylistPos);
}

void TMainFrm::ActionDone(TAPI *ASender) {
    if (ASender->Success())
        RefreshPlaylist();
    else
        MyMessageBox(ASender->Error(), u"Error"_s, mbIconError);
}

void TMainFrm::tmrPlaybackTimer() {
    const TPlaybackInfo &info = FPlaybackInfo;
    const QString state = info.State.toLower();
    if (info.TS != 0 && (state == u"play"_s || state == u"pause"_s)) {
        // On the low 32 bits, as the server's millisecond counters wrap.
        const auto since = static_cast<qint32>(static_cast<quint32>(FTickSource()) -
                                               static_cast<quint32>(info.TS));
        const qint32 elapsed = info.Pos + since;
        const qint32 remaining = std::max<qint32>(info.Len - elapsed, 0);
        EdToEnd->setText(u"\u2013 "_s + FormatTimeMs(remaining));
        edToEnd2->setText(FormatTimeMs(elapsed));
    } else {
        EdToEnd->setText(KNoTime);
        edToEnd2->setText(KNoTime);
    }
    NPBar->SetTitle(info.CurrentTrack);
    lNextTrack->SetTitle(info.NextTrack);
}

void TMainFrm::btRecordClick() {
    const QString error = RunProcess(RecorderCommandLine());
    if (!error.isEmpty())
        MyMessageBox(u"Cannot start the recorder \"%1\". %2"_s.arg(ExeDir() + u"micdeck"_s, error),
                     u"Error"_s, mbIconError);
}

void TMainFrm::btInsertClick() {
    const QList<int> rows = lvPlaylist->SelectedRows();
    if (rows.isEmpty()) {
        MyMessageBox(u"Please select a track in the playlist"_s, u"Error"_s, mbIconWarning);
        return;
    }
    const int index = rows.first();
    const QString folder = VoiceTracksDir(PlayerIni().VoiceTracksFolder);
    const QString fileName =
        FOnChooseFile ? FOnChooseFile(folder)
                      : QFileDialog::getOpenFileName(this, QString(), folder, u"FLAC (*.flac)"_s);
    if (fileName.isEmpty())
        return;
    const QString error = StartVoiceTrackUpload(index, fileName);
    if (!error.isEmpty())
        MyMessageBox(error, u"Error"_s, mbIconError);
}

QString TMainFrm::StartVoiceTrackUpload(int ARow, const QString &AFileName) {
    auto *worker = new TAPI(this, [this](TAPI *ASender) { UploadDone(ASender); });
    worker->SetProgressCallback(
        [this](qint64 ASent, qint64 ATotal) { UploadProgress(ASent, ATotal); });
    QString error = StartWorker(worker, [&](TAPI *AWorker) {
        AWorker->InsertVoiceTrack(InsertPosAfterRow(ARow), AFileName);
    });
    if (!error.isEmpty())
        return error;
    ++FUploadsRunning;
    FUploadName = QFileInfo(AFileName).fileName();
    lUploadFile->setText(u"Uploading %1"_s.arg(FUploadName));
    pbUpload->setValue(0);
    lUploadFile->show();
    pbUpload->show();
    return {};
}

void TMainFrm::StartHandoffServer() {
    const QString name = HandoffServerName(DataDir());
    {
        // A listen would replace the name even while another window of this
        // data directory still answers on it; that window keeps the takes.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(1000))
            return;
    }
    // What is left of a window that died.
    QLocalServer::removeServer(name);
    auto *server = new QLocalServer(this);
    // Only this user may hand takes over.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name)) {
        qWarning("The hand-off from the recorder is not available: %s",
                 qUtf8Printable(server->errorString()));
        delete server;
        return;
    }
    FHandoffServer = server;
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = FHandoffServer->nextPendingConnection())
            HandoffConnection(socket);
    });
}

void TMainFrm::HandoffConnection(QLocalSocket *ASocket) {
    connect(ASocket, &QLocalSocket::disconnected, ASocket, &QObject::deleteLater);
    const auto readRequest = [this, ASocket] {
        // One request per connection; a line that never ends is dropped.
        if (!ASocket->canReadLine()) {
            if (ASocket->bytesAvailable() > KHandoffMaxLine)
                ASocket->abort();
            return;
        }
        const QByteArray line = ASocket->readLine(KHandoffMaxLine);
        disconnect(ASocket, &QLocalSocket::readyRead, this, nullptr);
        ASocket->write(ReplyLine(HandoffRequest(line)));
        ASocket->disconnectFromServer();
    };
    connect(ASocket, &QLocalSocket::readyRead, this, readRequest);
    // The request may have come with the connection.
    if (ASocket->bytesAvailable() > 0)
        readRequest();
}

THandoffReply TMainFrm::HandoffRequest(const QByteArray &ALine) {
    const std::optional<QString> fileName = ParseInsertRequest(ALine);
    if (!fileName)
        return {haError, u"Vocarra did not understand the request"_s};
    const QList<int> rows = lvPlaylist->SelectedRows();
    if (rows.isEmpty())
        return {haError, u"Please select a track in the playlist"_s};
    // One take at a time: a second one would land before or after the
    // first one by chance.
    if (FUploadsRunning > 0)
        return {haBusy, {}};
    const QString error = StartVoiceTrackUpload(rows.first(), *fileName);
    if (!error.isEmpty())
        return {haError, error};
    return {haOk, {}};
}

void TMainFrm::UploadProgress(qint64 ASent, qint64 ATotal) {
    pbUpload->setValue(ATotal > 0 ? static_cast<int>(ASent * 100 / ATotal) : 0);
}

void TMainFrm::UploadDone(TAPI *ASender) {
    if (--FUploadsRunning == 0) {
        lUploadFile->hide();
        pbUpload->hide();
    }
    ActionDone(ASender);
}

void TMainFrm::btDeleteClick() {
    const QList<int> rows = lvPlaylist->SelectedRows();
    if (rows.isEmpty() || !FPlaylist || rows.first() >= static_cast<int>(FPlaylist->size())) {
        // Asking to delete when nothing would be deleted only misleads.
        MyMessageBox(u"Please select a track in the playlist"_s, u"Error"_s, mbIconWarning);
        return;
    }
    const int index = rows.first();
    // The question names the entry: with the keyboard, the selection may not
    // be where the presenter thinks it is.
    const QString question = u"Delete \"%1\" (position %2) from the playlist?"_s.arg(
        (*FPlaylist)[static_cast<size_t>(index)].Title, QString::number(index + 1));
    if (MyMessageBox(question, u"Confirm"_s, mbYesNoQuestion) != mrYes)
        return;
    StartAction([index](TAPI *AWorker) { AWorker->DeletePlaylistTrack(index); });
}

void TMainFrm::btDSPClick() {
    if (TMicDSPFrm *window = MicDSPFrm())
        window->exec();
}

void TMainFrm::btSettingsClick() {
    TSettingsFrm dialog(this);
    dialog.exec();
}

bool TMainFrm::lvPlaylistDragOver(int /*ATargetRow*/) {
    return lvPlaylist->SelectedRows().size() == 1;
}

void TMainFrm::lvPlaylistDragDrop(int ATargetRow) {
    const QList<int> rows = lvPlaylist->SelectedRows();
    if (rows.isEmpty() || ATargetRow < 0 || !FPlaylist ||
        ATargetRow >= static_cast<int>(FPlaylist->size()))
        return;
    MovePlaylistEntry(rows.first(), ATargetRow);
}

void TMainFrm::MovePlaylistEntry(int ASource, int ATarget) {
    std::swap((*FPlaylist)[static_cast<size_t>(ASource)],
              (*FPlaylist)[static_cast<size_t>(ATarget)]);
    FPlaylistModel->SetPlaylist(FPlaylist.get());
    StartAction(
        [ASource, ATarget](TAPI *AWorker) { AWorker->MovePlaylistTrack(ASource, ATarget); });
}

void TMainFrm::actMoveClick(int AStep) {
    // One entry at a time, as a drag allows.
    const QList<int> rows = lvPlaylist->SelectedRows();
    if (rows.size() != 1 || !FPlaylist)
        return;
    const int source = rows.first();
    const int target = source + AStep;
    if (target < 0 || target >= static_cast<int>(FPlaylist->size()))
        return;
    MovePlaylistEntry(source, target);
    // The entry moved, so the selection goes with it: a second key press
    // moves it on.
    lvPlaylist->selectionModel()->setCurrentIndex(FPlaylistModel->index(target, 0),
                                                  QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
}
