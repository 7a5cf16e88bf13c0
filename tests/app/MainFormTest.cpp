// The main window driven under the offscreen platform against a real HTTP
// server on 127.0.0.1 that plays a small station.

#include "app/windows/MainForm.h"

#include "chain/DSPManager.h"
#include "config/DataDirs.h"
#include "config/Settings.h"
#include "controls/LBar.h"
#include "controls/LxVirtualTree.h"
#include "controls/NowPlayingBar.h"
#include "controls/PlaylistModel.h"
#include "core/MessageBox.h"
#include "dspwindows/CompressorDSPForm.h"
#include "dspwindows/DSPListForm.h"
#include "dspwindows/DSPManagerFrame.h"
#include "dspwindows/EffectEditors.h"
#include "dspwindows/MicDSPForm.h"
#include "handoff/Handoff.h"
#include "remote/API.h"
#include "remote/HttpTransport.h"
#include "station/PlayerIni.h"
#include "support/Hold.h"
#include "support/ModalWindows.h"
#include "support/TestServer.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// What the station answers; the test changes it between refreshes.
struct TStation {
    std::mutex Lock;
    int Tracks = 5;
    std::string Playback =
        "<R><Playback playlistpos=\"3\" pos=\"10000\" len=\"30000\" state=\"PLAY\"/>"
        "<CurrentTrack><TRACK ITEMTITLE=\"Now\"/></CurrentTrack>"
        "<NextTrack><TRACK ITEMTITLE=\"Next\"/></NextTrack></R>";
    int PlaybackStatus = 200;
    std::string ActionReply = "OK";
    int ActionStatus = 200;
    THold HoldPlaylist;
    THold HoldUpload;
    // How the playlist is answered when not as a list.
    enum TPlaylistFailure { pfNone, pfTrickle, pfEndless, pfStatus };
    std::atomic<int> PlaylistFailure{pfNone};
    int PlaylistStatus = 502;
    std::string PlaylistFailureBody;
    std::string PlaylistFailureType = "text/plain";
    std::string TitlePrefix = "Track ";

    void Answer(const httplib::Request &ARequest, httplib::Response &AResponse) {
        if (ARequest.method == "POST") {
            HoldUpload.WaitReleased();
            std::lock_guard lock(Lock);
            AResponse.set_content(ActionReply, "text/plain");
            return;
        }
        const std::string action = ARequest.get_param_value("action");
        if (action == "getplaylist2" && PlaylistFailure != pfNone) {
            AnswerPlaylistFailure(AResponse);
        } else if (action == "getplaylist2") {
            HoldPlaylist.WaitReleased();
            std::lock_guard lock(Lock);
            std::string xml = "<?xml version=\"1.0\"?><PLAYLIST>";
            for (int i = 0; i < Tracks; ++i)
                xml += "<TRACK CASTTITLE=\"" + TitlePrefix + std::to_string(i) +
                       "\" DURATION=\"3:00\" STARTTIME=\"12:00:00\"/>";
            AResponse.set_content(xml + "</PLAYLIST>", "text/xml");
        } else if (action == "playbackinfo") {
            std::lock_guard lock(Lock);
            AResponse.status = PlaybackStatus;
            AResponse.set_content(Playback, "text/xml");
        } else {
            std::lock_guard lock(Lock);
            AResponse.status = ActionStatus;
            AResponse.set_content(ActionReply, "text/plain");
        }
    }

    void AnswerPlaylistFailure(httplib::Response &AResponse) {
        std::lock_guard lock(Lock);
        if (PlaylistFailure == pfStatus) {
            AResponse.status = PlaylistStatus;
            AResponse.set_content(PlaylistFailureBody, PlaylistFailureType);
            return;
        }
        // A byte now and then, or plenty for ever: until the client gives up.
        const bool trickle = PlaylistFailure == pfTrickle;
        AResponse.set_chunked_content_provider(
            "text/xml", [trickle](size_t AOffset, httplib::DataSink &ASink) {
                if (AOffset > (64u << 20))
                    return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(trickle ? 100 : 50));
                const std::string chunk(trickle ? 1 : 4096, ' ');
                return ASink.write(chunk.data(), chunk.size());
            });
    }
};

QString AccessibleName(QObject *AObject) {
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(AObject);
    return iface ? iface->text(QAccessible::Name) : u"(no interface)"_s;
}

int Count(const std::vector<TRecordedRequest> &ARequests, const std::string &APart) {
    int count = 0;
    for (const TRecordedRequest &request : ARequests)
        count += (request.Target + request.Body).find(APart) != std::string::npos;
    return count;
}

} // namespace

class TMainFormTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TStation> FStation;
    std::unique_ptr<TTestServer> FServer;
    std::unique_ptr<TMainFrm> FForm;
    std::vector<TShownBox> FBoxes;
    int FAnswer = mrYes;

    // A shown window whose first refresh has arrived.
    TMainFrm &ShowForm() {
        FForm = std::make_unique<TMainFrm>();
        FForm->tmrMain->stop(); // refreshes happen when a test asks for them
        FForm->show();
        WaitForRefresh();
        // A worker ends just after its completion arrives; tests that count
        // workers start from none.
        WaitForWorkersToEnd();
        return *FForm;
    }

    void WaitForRefresh() {
        QTRY_VERIFY_WITH_TIMEOUT(!FForm->UpdatingPlaylist() && !FForm->UpdatingPlaybackInfo(),
                                 20000);
    }

    void Refresh() {
        FForm->tmrMainTimer();
        WaitForRefresh();
    }

    void WaitForRequests(const std::string &APart, int ACount) {
        QTRY_VERIFY_WITH_TIMEOUT(Count(FServer->Requests(), APart) >= ACount, 20000);
    }

    // A shown, active window with the keyboard focus in the playlist, as a
    // presenter has it before pressing a key; no worker is left running.
    TMainFrm &ShowFormForKeys() {
        TMainFrm &form = ShowForm();
        form.activateWindow();
        if (!QTest::qWaitForWindowActive(&form))
            qWarning("the window did not become active");
        form.lvPlaylist->setFocus();
        WaitForWorkersToEnd();
        return form;
    }

    void WaitForWorkersToEnd() { QTRY_COMPARE_WITH_TIMEOUT(TAPI::Running(), 0, 20000); }

    // A voice track the insert keys can send.
    QString VoiceTrack() {
        const QString file = FDir->path() + u"/take.flac"_s;
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write(QByteArray(1000, 'f'));
        return file;
    }

    // Sends ALine as micdeck does and reads the window's reply line; the
    // window answers on this thread, so the wait runs its events.
    void Handoff(const QByteArray &ALine, QByteArray &AReply) {
        QLocalSocket socket;
        socket.connectToServer(HandoffServerName(DataDir()));
        QTRY_VERIFY_WITH_TIMEOUT(socket.state() == QLocalSocket::ConnectedState, 20000);
        socket.write(ALine);
        socket.flush();
        QTRY_VERIFY_WITH_TIMEOUT(socket.canReadLine(), 20000);
        AReply = socket.readLine();
    }

    QString CellDescription(int ARow, int AColumn) const {
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(FForm->lvPlaylist);
        QAccessibleInterface *cell = view && view->tableInterface()
                                         ? view->tableInterface()->cellAt(ARow, AColumn)
                                         : nullptr;
        return cell ? cell->text(QAccessible::Description) : u"(no cell)"_s;
    }

    bool RowIsBold(int ARow) const {
        return FForm->FPlaylistModel->index(ARow, 0).data(Qt::FontRole).value<QFont>().bold();
    }

    void SelectRows(std::initializer_list<int> ARows) {
        FForm->lvPlaylist->clearSelection();
        for (int row : ARows)
            FForm->lvPlaylist->selectionModel()->select(FForm->FPlaylistModel->index(row, 0),
                                                        QItemSelectionModel::Select |
                                                            QItemSelectionModel::Rows);
    }

private Q_SLOTS:
    void init() {
        FDir = std::make_unique<QTemporaryDir>();
        const QString dir = FDir->path() + u"/"_s;
        SetProcessDirs({dir, QString(), dir});
        FStation = std::make_unique<TStation>();
        FServer = std::make_unique<TTestServer>(
            [station = FStation.get()](const httplib::Request &ARequest,
                                       httplib::Response &AResponse) {
                station->Answer(ARequest, AResponse);
            });
        {
            std::lock_guard lock(Settings().Monitor());
            Settings().Server = u"127.0.0.1"_s;
            Settings().Port = FServer->Port();
            Settings().User = u"demo"_s;
            Settings().Pass = u"demo"_s;
        }
        FBoxes.clear();
        FAnswer = mrYes;
        SetMessageBoxPresenter([this](const QString &AText, const QString &ACaption, int AFlags) {
            FBoxes.push_back({AText, ACaption, AFlags});
            return FAnswer;
        });
    }

    void cleanup() {
        RemoteOptions() = TRemoteOptions();
        if (FStation) {
            FStation->HoldPlaylist = false;
            FStation->HoldUpload = false;
        }
        SetMessageBoxesUnattended(false);
        FForm.reset();
        FServer.reset();
        SetMessageBoxPresenter(nullptr);
    }

    void cleanupTestCase() {
        FreeMicDSPFrm();
        TAPI::Shutdown();
    }

    void firstShowFillsTheWindow() {
        TMainFrm &form = ShowForm();
        QCOMPARE(form.FPlaylistModel->rowCount(), 5);
        QCOMPARE(form.FPlaylistModel->index(4, 2).data().toString(), u"Track 4"_s);
        QCOMPARE(form.StatusPanel->text(), QString());
        // This test program carries no version stamp.
        QCOMPARE(form.windowTitle(), u"Vocarra ()"_s);
        form.tmrPlaybackTimer();
        QCOMPARE(form.NPBar->Title(), u"Now"_s);
        QCOMPARE(form.lNextTrack->Title(), u"Next"_s);
        // What a screen reader announces on each bar: which bar, then its title.
        QCOMPARE(AccessibleName(form.NPBar), u"Current Track Now. "_s);
        QCOMPARE(AccessibleName(form.lNextTrack), u"Next Track Next. "_s);
    }

    void countdown_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("since");
        QTest::addColumn<QString>("elapsed");
        QTest::addColumn<QString>("remaining");
        QTest::newRow("play after 5 s") << u"PLAY"_s << 5000 << u"00:15.0"_s << u"\u2013 00:15.0"_s;
        QTest::newRow("past the end") << u"PLAY"_s << 30000 << u"00:40.0"_s << u"\u2013 00:00.0"_s;
        QTest::newRow("pause runs on") << u"pause"_s << 5000 << u"00:15.0"_s << u"\u2013 00:15.0"_s;
        QTest::newRow("stop") << u"stop"_s << 5000 << u"00:00.0"_s << u"00:00.0"_s;
    }
    void countdown() {
        QFETCH(QString, state);
        QFETCH(int, since);
        QFETCH(QString, elapsed);
        QFETCH(QString, remaining);
        FStation->Playback = "<R><Playback playlistpos=\"3\" pos=\"10000\" len=\"30000\" state=\"" +
                             state.toStdString() +
                             "\"/><CurrentTrack><TRACK ITEMTITLE=\"Now\"/>"
                             "</CurrentTrack></R>";
        TMainFrm &form = ShowForm();
        QVERIFY(form.PlaybackInfo().TS != 0);
        form.SetTickSource([&form, since] { return form.PlaybackInfo().TS + since; });
        form.tmrPlaybackTimer();
        QCOMPARE(form.edToEnd2->text(), elapsed);
        QCOMPARE(form.EdToEnd->text(), remaining);
        QCOMPARE(form.NPBar->Title(), u"Now"_s); // titles stay whatever the state
        QCOMPARE(AccessibleName(form.edToEnd2), u"Elapsed time "_s + elapsed);
        QCOMPARE(AccessibleName(form.EdToEnd), u"Remaining time "_s + remaining);
    }

    void noPlaybackInformation() {
        FStation->PlaybackStatus = 500;
        TMainFrm &form = ShowForm();
        form.tmrPlaybackTimer();
        QCOMPARE(form.edToEnd2->text(), u"00:00.0"_s);
        QCOMPARE(form.EdToEnd->text(), u"00:00.0"_s);
        QCOMPARE(form.NPBar->Title(), QString());
        for (int row = 0; row < 5; ++row)
            QVERIFY(!RowIsBold(row));
        QCOMPARE(form.StatusPanel->text(), QString()); // a playback failure shows nothing
    }

    void boldRow_data() {
        QTest::addColumn<int>("playlistPos");
        QTest::addColumn<int>("boldRow");
        QTest::newRow("third") << 3 << 2;
        QTest::newRow("zero") << 0 << -1;
        QTest::newRow("unknown") << -1 << -1;
    }
    void boldRow() {
        QFETCH(int, playlistPos);
        QFETCH(int, boldRow);
        FStation->Playback = "<R><Playback playlistpos=\"" + std::to_string(playlistPos) +
                             "\" pos=\"0\" len=\"1000\" state=\"play\"/></R>";
        ShowForm();
        for (int row = 0; row < 5; ++row) {
            QCOMPARE(RowIsBold(row), row == boldRow);
            // Bold is lost on a screen reader: the row on air says so.
            for (int column = 0; column < TPlaylistModel::colCount; ++column)
                QCOMPARE(CellDescription(row, column), row == boldRow ? u"playing"_s : QString());
        }
    }

    void sameCountKeepsSelectionAndScroll() {
        FStation->Tracks = 300;
        TMainFrm &form = ShowForm();
        form.lvPlaylist->verticalScrollBar()->setValue(120);
        SelectRows({130, 140});
        Refresh();
        QCOMPARE(form.lvPlaylist->SelectedRows(), (QList<int>{130, 140}));
        QCOMPARE(form.lvPlaylist->verticalScrollBar()->value(), 120);
    }

    void differentCountRebuildsAndKeepsOnlyTheScrollOffset() {
        FStation->Tracks = 300;
        TMainFrm &form = ShowForm();
        form.lvPlaylist->verticalScrollBar()->setValue(120);
        SelectRows({130});
        FStation->Tracks = 301;
        Refresh();
        QCOMPARE(form.FPlaylistModel->rowCount(), 301);
        QVERIFY(form.lvPlaylist->SelectedRows().isEmpty());
        form.lvPlaylist->doItemsLayout(); // the rows are laid out again
        QCoreApplication::processEvents();
        QCOMPARE(form.lvPlaylist->verticalScrollBar()->value(), 120);
    }

    void aFailedRefreshKeepsThePlaylistAndShowsTheError() {
        TMainFrm &form = ShowForm();
        FServer.reset(); // the station goes away
        Refresh();
        QVERIFY(!form.StatusPanel->text().isEmpty());
        QCOMPARE(form.FPlaylistModel->rowCount(), 5);
    }

    void aStationThatStopsAnsweringIsShownAsSuch_data() {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("text");
        QTest::newRow("a byte now and then")
            << int(TStation::pfTrickle)
            << u"The station is not answering (less than 1 KB moved in 1 s)."_s;
        QTest::newRow("a reply without end")
            << int(TStation::pfEndless) << u"The station is not answering (no reply within 2 s)."_s;
        QTest::newRow("an empty 502") << int(TStation::pfStatus) << u"HTTP 502 Bad Gateway"_s;
    }
    void aStationThatStopsAnsweringIsShownAsSuch() {
        QFETCH(int, failure);
        QFETCH(QString, text);
        RemoteOptions().LowSpeedBytes = 1024;
        RemoteOptions().LowSpeedTimeMs = 1000;
        RemoteOptions().TotalTimeoutMs = 2000;
        TMainFrm &form = ShowForm();
        QCOMPARE(form.StatusPanel->text(), QString());
        FStation->PlaylistFailure = failure;
        // Again and again: the failure stays in sight and the list is kept.
        for (int attempt = 0; attempt < 2; ++attempt) {
            form.StatusPanel->clear();
            Refresh();
            const QString shown = form.StatusPanel->text();
            QVERIFY2(shown.startsWith(text + u" \u2014 the playlist shown is from "_s),
                     qPrintable(shown));
            QCOMPARE(form.FPlaylistModel->rowCount(), 5);
        }
        FStation->PlaylistFailure = TStation::pfNone;
        Refresh();
        QCOMPARE(form.StatusPanel->text(), QString());
    }

    void serverTextIsShownAsPlainText() {
        FStation->TitlePrefix = "&lt;b&gt;x&lt;/b&gt; ";
        FStation->Playback = "<R><Playback playlistpos=\"1\" pos=\"0\" len=\"1000\" "
                             "state=\"play\"/><CurrentTrack><TRACK ITEMTITLE=\"&lt;i&gt;Now"
                             "&lt;/i&gt;\"/></CurrentTrack></R>";
        TMainFrm &form = ShowForm();
        QCOMPARE(form.FPlaylistModel->index(0, 2).data().toString(), u"<b>x</b> 0"_s);
        form.tmrPlaybackTimer();
        QCOMPARE(form.NPBar->Title(), u"<i>Now</i>"_s);
        QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(form.NPBar);
        QVERIFY(bar != nullptr);
        QVERIFY(bar->text(QAccessible::Value).contains(u"<i>Now</i>"_s));

        FStation->PlaylistFailure = TStation::pfStatus;
        FStation->PlaylistStatus = 503;
        FStation->PlaylistFailureBody = "<b>down</b>\x1b[2J";
        Refresh();
        QCOMPARE(form.StatusPanel->textFormat(), Qt::PlainText);
        QVERIFY2(form.StatusPanel->text().startsWith(u"<b>down</b> \u2014 "_s),
                 qPrintable(form.StatusPanel->text()));
        QCOMPARE(form.lUploadFile->textFormat(), Qt::PlainText);
    }

    void noSecondPlaylistRequestWhileOneIsInFlight() {
        TMainFrm &form = ShowForm();
        FStation->HoldPlaylist = true;
        form.tmrMainTimer();
        WaitForRequests("action=getplaylist2", 2);
        form.tmrMainTimer();
        form.tmrMainTimer();
        // Only the held playlist worker is left once the playback ones end; a
        // second playlist worker would be running beside it.
        QTRY_COMPARE_WITH_TIMEOUT(TAPI::Running(), 1, 20000);
        QCOMPARE(Count(FServer->Requests(), "action=getplaylist2"), 2);
        QVERIFY(form.UpdatingPlaylist());
        FStation->HoldPlaylist = false;
        WaitForRefresh();
        form.tmrMainTimer();
        WaitForRequests("action=getplaylist2", 3);
    }

    void notConfigured() {
        {
            std::lock_guard lock(Settings().Monitor());
            Settings().Server.clear();
        }
        TMainFrm &form = ShowForm();
        QCOMPARE(form.StatusPanel->text(), u"Connection not configured. Please open Settings."_s);
        form.tmrPlaybackTimer();
        QCOMPARE(form.edToEnd2->text(), u"00:00.0"_s);
        QCOMPARE(form.EdToEnd->text(), u"00:00.0"_s);
        QCOMPARE(form.FPlaylistModel->rowCount(), 0);
    }

    void deleteSendsOnlyTheFirstSelectedRow() {
        TMainFrm &form = ShowForm();
        SelectRows({3, 1, 4});
        form.btDeleteClick();
        QCOMPARE(FBoxes.size(), size_t(1));
        // The question names the entry it will delete.
        QCOMPARE(FBoxes[0].Text, u"Delete \"Track 1\" (position 2) from the playlist?"_s);
        QCOMPARE(FBoxes[0].Caption, u"Confirm"_s);
        QCOMPARE(FBoxes[0].Flags, int(mbYesNoQuestion));
        WaitForRequests("action=delete", 1);
        WaitForRequests("action=getplaylist2", 2); // success refreshes the list
        const auto requests = FServer->Requests();
        QCOMPARE(Count(requests, "action=delete"), 1);
        QCOMPARE(Count(requests, "action=delete&pos=2"), 1);
    }

    void deleteAnsweredNoOrWithoutSelectionSendsNothing() {
        TMainFrm &form = ShowForm();
        FAnswer = 7;
        SelectRows({1});
        form.btDeleteClick();
        FAnswer = mrYes;
        form.lvPlaylist->clearSelection();
        form.btDeleteClick();
        // Asked the first time; without a selection there is nothing to ask about.
        QCOMPARE(FBoxes.size(), size_t(2));
        QCOMPARE(FBoxes[1].Text, u"Please select a track in the playlist"_s);
        QCOMPARE(FBoxes[1].Flags, int(mbIconWarning));
        QCOMPARE(TAPI::Running(), 0); // no worker, so nothing can be sent
        QCOMPARE(Count(FServer->Requests(), "action=delete"), 0);
    }

    void aRefusedActionShowsTheServersText() {
        FStation->ActionReply = "Bad position";
        TMainFrm &form = ShowForm();
        SelectRows({0});
        form.btDeleteClick();
        QTRY_COMPARE_WITH_TIMEOUT(FBoxes.size(), size_t(2), 20000);
        QCOMPARE(FBoxes[1].Text, u"Bad position"_s);
        QCOMPARE(FBoxes[1].Caption, u"Error"_s);
        QCOMPARE(FBoxes[1].Flags, int(mbIconError));
    }

    void aRefusedActionWithoutTextShowsTheStatus() {
        FStation->ActionStatus = 502;
        FStation->ActionReply.clear();
        TMainFrm &form = ShowForm();
        SelectRows({0});
        form.btDeleteClick();
        QTRY_COMPARE_WITH_TIMEOUT(FBoxes.size(), size_t(2), 20000);
        QCOMPARE(FBoxes[1].Text, u"HTTP 502 Bad Gateway"_s);
        QCOMPARE(FBoxes[1].Flags, int(mbIconError));
    }

    void insertAfterTheFirstRowSendsPositionTwoAndShowsProgress() {
        TMainFrm &form = ShowForm();
        const QString file = FDir->path() + u"/take 1.flac"_s;
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(QByteArray(200000, 'f'));
        }
        QString askedFolder;
        form.SetOnChooseFile([&](const QString &AFolder) {
            askedFolder = AFolder;
            return file;
        });
        SelectRows({0});
        FStation->HoldUpload = true;
        form.btInsertClick();
        QCOMPARE(askedFolder, DataDir() + u"VoiceTracks"_s);
        QCOMPARE(form.UploadsRunning(), 1);
        QVERIFY(form.pbUpload->isVisible());
        QVERIFY(form.lUploadFile->text().contains(u"take 1.flac"_s));
        FStation->HoldUpload = false;
        QTRY_COMPARE_WITH_TIMEOUT(form.UploadsRunning(), 0, 20000);
        QVERIFY(!form.pbUpload->isVisible());
        QVERIFY(FBoxes.empty());
        const auto requests = FServer->Requests();
        QCOMPARE(Count(requests, "&pos=2&vt="), 1);
        QCOMPARE(Count(requests, "fn=take+1.flac"), 1);
    }

    void insertRefusals_data() {
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("flags");
        QTest::newRow("no selection")
            << false << u"x.flac"_s << u"Please select a track in the playlist"_s
            << int(mbIconWarning);
        QTest::newRow("unreadable file")
            << true << u"missing.flac"_s << u"missing.flac"_s << int(mbIconError);
    }
    void insertRefusals() {
        QFETCH(bool, select);
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(int, flags);
        TMainFrm &form = ShowForm();
        form.SetOnChooseFile([&](const QString &) { return FDir->path() + u"/"_s + file; });
        if (select)
            SelectRows({2});
        form.btInsertClick();
        QCOMPARE(FBoxes.size(), size_t(1));
        QVERIFY2(FBoxes[0].Text.contains(text), qPrintable(FBoxes[0].Text));
        QCOMPARE(FBoxes[0].Caption, u"Error"_s);
        QCOMPARE(FBoxes[0].Flags, flags);
        QCOMPARE(form.UploadsRunning(), 0);
        QCOMPARE(TAPI::Running(), 0); // no worker, so nothing can be sent
        for (const TRecordedRequest &request : FServer->Requests())
            QVERIFY(request.Method != "POST");
    }

    void handoffInsertsAfterTheSelectedEntryWithProgress() {
        TMainFrm &form = ShowForm();
        QVERIFY(form.HandoffServer());
        const QString file = VoiceTrack();
        SelectRows({2});
        FStation->HoldUpload = true;
        QByteArray reply;
        Handoff(InsertRequestLine(file), reply);
        QCOMPARE(reply, "ok\n"_ba);
        QCOMPARE(form.UploadsRunning(), 1);
        QVERIFY(form.pbUpload->isVisible());
        QVERIFY(form.lUploadFile->text().contains(u"take.flac"_s));
        // A second take while the first one uploads waits its turn.
        Handoff(InsertRequestLine(file), reply);
        QCOMPARE(reply, "busy\n"_ba);
        FStation->HoldUpload = false;
        QTRY_COMPARE_WITH_TIMEOUT(form.UploadsRunning(), 0, 20000);
        QVERIFY(!form.pbUpload->isVisible());
        QVERIFY(FBoxes.empty());
        const auto requests = FServer->Requests();
        QCOMPARE(Count(requests, "&pos=4&vt="), 1);
        QCOMPARE(Count(requests, "fn=take.flac"), 1);
    }

    void handoffRefusals_data() {
        QTest::addColumn<bool>("select");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray missing = InsertRequestLine(QDir::tempPath() + u"/missing-take.flac"_s);
        QTest::newRow("no selection")
            << false << missing << "error\tPlease select a track in the playlist\n"_ba;
        QTest::newRow("unreadable file") << true << missing << "error\t"_ba;
        QTest::newRow("no request") << true << "play\t/x.flac\n"_ba
                                    << "error\tVocarra did not understand the request\n"_ba;
    }
    void handoffRefusals() {
        QFETCH(bool, select);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        TMainFrm &form = ShowForm();
        if (select)
            SelectRows({2});
        QByteArray answer;
        Handoff(request, answer);
        QVERIFY2(answer.startsWith(reply), answer.constData());
        QVERIFY(answer.endsWith('\n'));
        if (QTest::currentDataTag() == QByteArray("unreadable file"))
            QVERIFY2(answer.contains("missing-take.flac"), answer.constData());
        // micdeck shows the reason; the window stays quiet.
        QVERIFY(FBoxes.empty());
        QCOMPARE(form.UploadsRunning(), 0);
        // Refreshes may still be finishing; once every worker ended, none of
        // them has posted anything.
        WaitForWorkersToEnd();
        for (const TRecordedRequest &sent : FServer->Requests())
            QVERIFY(sent.Method != "POST");
    }

    void aSecondWindowLeavesTheHandoffToTheFirst() {
        TMainFrm &form = ShowForm();
        QVERIFY(form.HandoffServer());
        TMainFrm second;
        QVERIFY(!second.HandoffServer());
        QVERIFY(form.HandoffServer()->isListening());
    }

    void dragSwapsAtOnceAndAsksTheServer() {
        TMainFrm &form = ShowForm();
        SelectRows({1});
        QVERIFY(form.lvPlaylistDragOver(4));
        form.lvPlaylistDragDrop(4);
        QCOMPARE(form.FPlaylistModel->index(1, 2).data().toString(), u"Track 4"_s);
        QCOMPARE(form.FPlaylistModel->index(4, 2).data().toString(), u"Track 1"_s);
        WaitForRequests("action=move", 1);
        QCOMPARE(Count(FServer->Requests(), "action=move&pos1=2&pos2=5"), 1);
    }

    void dragRefusedWithTwoRowsSelected() {
        TMainFrm &form = ShowForm();
        SelectRows({1, 2});
        QVERIFY(!form.lvPlaylistDragOver(4));
        SelectRows({});
        QVERIFY(!form.lvPlaylistDragOver(4));
    }

    void keysSendTheirRequests_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("selectedAfter");
        QTest::newRow("Del deletes the entry")
            << int(Qt::Key_Delete) << 0 << 3 << u"action=delete&pos=4"_s << 3;
        QTest::newRow("Ins inserts after it")
            << int(Qt::Key_Insert) << 0 << 3 << u"&pos=5&vt="_s << 3;
        QTest::newRow("Ctrl+I inserts after it")
            << int(Qt::Key_I) << int(Qt::ControlModifier) << 0 << u"&pos=2&vt="_s << 0;
        QTest::newRow("Ctrl+Up moves it up") << int(Qt::Key_Up) << int(Qt::ControlModifier) << 3
                                             << u"action=move&pos1=4&pos2=3"_s << 2;
        QTest::newRow("Ctrl+Down moves it down") << int(Qt::Key_Down) << int(Qt::ControlModifier)
                                                 << 3 << u"action=move&pos1=4&pos2=5"_s << 4;
    }
    void keysSendTheirRequests() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, row);
        QFETCH(QString, request);
        QFETCH(int, selectedAfter);
        TMainFrm &form = ShowFormForKeys();
        const QString track = VoiceTrack();
        form.SetOnChooseFile([&](const QString &) { return track; });
        SelectRows({row});
        const QString title = form.FPlaylistModel->index(row, 2).data().toString();
        QTest::keyClick(form.lvPlaylist, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        // A moved entry is shown where it went at once, and stays selected there.
        QCOMPARE(form.lvPlaylist->SelectedRows(), QList<int>{selectedAfter});
        QCOMPARE(form.FPlaylistModel->index(selectedAfter, 2).data().toString(), title);
        WaitForRequests(request.toStdString(), 1);
        WaitForWorkersToEnd();
        const auto requests = FServer->Requests();
        QCOMPARE(Count(requests, "action=delete") + Count(requests, "action=move") +
                     Count(requests, "&vt="),
                 1);
        QVERIFY(FBoxes.size() <= 1); // the delete question, nothing else
    }

    void keysWithoutSelectionSendNothing_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Del") << int(Qt::Key_Delete) << 0;
        QTest::newRow("Ins") << int(Qt::Key_Insert) << 0;
        QTest::newRow("Ctrl+I") << int(Qt::Key_I) << int(Qt::ControlModifier);
        QTest::newRow("Ctrl+Up") << int(Qt::Key_Up) << int(Qt::ControlModifier);
        QTest::newRow("Ctrl+Down") << int(Qt::Key_Down) << int(Qt::ControlModifier);
    }
    void keysWithoutSelectionSendNothing() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        TMainFrm &form = ShowFormForKeys();
        const QString track = VoiceTrack();
        form.SetOnChooseFile([&](const QString &) { return track; });
        form.lvPlaylist->clearSelection();
        QTest::keyClick(form.lvPlaylist, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(TAPI::Running(), 0); // no worker was started, so nothing can be sent
        for (const TRecordedRequest &sent : FServer->Requests())
            QVERIFY2(sent.Target.find("action=getplaylist2") != std::string::npos ||
                         sent.Target.find("action=playbackinfo") != std::string::npos,
                     sent.Target.c_str());
    }

    void movesAtTheEndsSendNothing() {
        TMainFrm &form = ShowFormForKeys();
        SelectRows({0});
        QTest::keyClick(form.lvPlaylist, Qt::Key_Up, Qt::ControlModifier);
        SelectRows({4});
        QTest::keyClick(form.lvPlaylist, Qt::Key_Down, Qt::ControlModifier);
        SelectRows({1, 2}); // one entry at a time, as a drag allows
        QTest::keyClick(form.lvPlaylist, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(TAPI::Running(), 0);
        QCOMPARE(form.FPlaylistModel->index(0, 2).data().toString(), u"Track 0"_s);
        QCOMPARE(form.FPlaylistModel->index(4, 2).data().toString(), u"Track 4"_s);
    }

    void deleteKeyAsksAboutTheNamedEntry() {
        TMainFrm &form = ShowFormForKeys();
        FAnswer = 7; // No
        SelectRows({2});
        QTest::keyClick(form.lvPlaylist, Qt::Key_Delete);
        QCOMPARE(FBoxes.size(), size_t(1));
        QCOMPARE(FBoxes[0].Text, u"Delete \"Track 2\" (position 3) from the playlist?"_s);
        QCOMPARE(TAPI::Running(), 0);
    }

    void f5RefreshesAtOnce() {
        TMainFrm &form = ShowFormForKeys();
        QCOMPARE(Count(FServer->Requests(), "action=getplaylist2"), 1);
        QTest::keyClick(form.lvPlaylist, Qt::Key_F5);
        WaitForRequests("action=getplaylist2", 2);
        WaitForRequests("action=playbackinfo", 2);
    }

    void hintsShowTheKeys() {
        TMainFrm &form = ShowForm();
        QCOMPARE(form.btDelete->toolTip(), u"Delete track (Del)"_s);
        QCOMPARE(form.btInsert->toolTip(), u"Insert voice track (Ins, Ctrl+I)"_s);
        // The buttons' names stay short; the hint with the keys is their description.
        QAccessibleInterface *button = QAccessible::queryAccessibleInterface(form.btDelete);
        QCOMPARE(button->text(QAccessible::Name), u"Delete track"_s);
        QCOMPARE(button->text(QAccessible::Description), u"Delete track (Del)"_s);
    }

    void contextMenuOffersTheSame_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Menu key") << int(Qt::Key_Menu) << 0;
        QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier);
        QTest::newRow("right click") << 0 << 0;
    }
    void contextMenuOffersTheSame() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        TMainFrm &form = ShowFormForKeys();
        SelectRows({1});
        const QRect row = form.lvPlaylist->visualRect(form.FPlaylistModel->index(1, 0));
        if (key != 0) {
            QTest::keyClick(form.lvPlaylist, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        } else {
            QContextMenuEvent click(QContextMenuEvent::Mouse, row.center(),
                                    form.lvPlaylist->viewport()->mapToGlobal(row.center()));
            QApplication::sendEvent(form.lvPlaylist->viewport(), &click);
        }
        QTRY_VERIFY(form.pmPlaylist->isVisible());
        // Opened at the row it acts on.
        const QPoint rowBottom = form.lvPlaylist->viewport()->mapToGlobal(row.bottomLeft());
        QVERIFY2(
            qAbs(form.pmPlaylist->pos().y() - rowBottom.y()) <= row.height(),
            qPrintable(
                u"menu at %1, row at %2"_s.arg(form.pmPlaylist->pos().y()).arg(rowBottom.y())));
        QStringList entries;
        for (QAction *action : form.pmPlaylist->actions())
            if (!action->isSeparator())
                entries << action->text().remove(u'&') + u" | "_s +
                               action->shortcut().toString(QKeySequence::NativeText);
        QCOMPARE(entries, (QStringList{u"Insert voice track... | Ins"_s, u"Delete track | Del"_s,
                                       u"Move up | Ctrl+Up"_s, u"Move down | Ctrl+Down"_s,
                                       u"Refresh | F5"_s}));
        // Chosen with the keyboard: down to "Delete track", Enter.
        QTest::keyClick(form.pmPlaylist, Qt::Key_Down);
        QTest::keyClick(form.pmPlaylist, Qt::Key_Down);
        QTest::keyClick(form.pmPlaylist, Qt::Key_Return);
        QTRY_VERIFY(!form.pmPlaylist->isVisible());
        QCOMPARE(FBoxes.size(), size_t(1));
        QCOMPARE(FBoxes[0].Text, u"Delete \"Track 1\" (position 2) from the playlist?"_s);
        WaitForRequests("action=delete&pos=2", 1);
    }

    void recorderStartsWithItsSwitchOrSaysWhyNot() {
        TMainFrm &form = ShowForm();
        form.btRecordClick();
        QCOMPARE(FBoxes.size(), size_t(1));
        QVERIFY2(FBoxes[0].Text.contains(u"micdeck"_s), qPrintable(FBoxes[0].Text));
        QCOMPARE(FBoxes[0].Flags, int(mbIconError));

        const QString marker = FDir->path() + u"/args"_s;
        QFile recorder(ExeDir() + u"micdeck"_s);
        QVERIFY(recorder.open(QIODevice::WriteOnly));
        recorder.write("#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/args\"\n");
        recorder.close();
        recorder.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        form.btRecordClick();
        QCOMPARE(FBoxes.size(), size_t(1));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker) && QFile(marker).size() > 0, 20000);
        QFile args(marker);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(args.readAll().trimmed(), QByteArray("-vocarra"));
    }

    void closeDuringAnUploadAsksFirst_data() {
        QTest::addColumn<bool>("signalled");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("user says no") << false << 7 << false;
        QTest::newRow("user says yes") << false << int(mrYes) << true;
        QTest::newRow("signal asks nobody") << true << 7 << true;
    }
    void closeDuringAnUploadAsksFirst() {
        QFETCH(bool, signalled);
        QFETCH(int, answer);
        QFETCH(bool, closes);
        TMainFrm &form = ShowForm();
        const QString file = FDir->path() + u"/take 2.flac"_s;
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(QByteArray(1000, 'f'));
        }
        form.SetOnChooseFile([&](const QString &) { return file; });
        SelectRows({0});
        FStation->HoldUpload = true; // the station takes its time
        form.btInsertClick();
        QCOMPARE(form.UploadsRunning(), 1);

        FAnswer = answer;
        SetMessageBoxesUnattended(signalled);
        form.close();
        SetMessageBoxesUnattended(false);
        if (signalled) {
            QVERIFY(FBoxes.empty());
        } else {
            QCOMPARE(FBoxes.size(), size_t(1));
            QCOMPARE(FBoxes[0].Text, u"A voice track is still being uploaded (take 2.flac). Close "
                                     u"anyway and stop the upload?"_s);
            QCOMPARE(FBoxes[0].Caption, u"Confirm"_s);
            QCOMPARE(FBoxes[0].Flags, int(mbYesNoQuestion));
        }
        QCOMPARE(form.isVisible(), !closes);
        QCOMPARE(QFile::exists(DataDir() + u"windowpos.ini"_s), closes);
        if (!closes) {
            // The upload goes on and ends as usual.
            FStation->HoldUpload = false;
            QTRY_COMPARE_WITH_TIMEOUT(form.UploadsRunning(), 0, 20000);
            QCOMPARE(Count(FServer->Requests(), "fn=take+2.flac"), 1);
            QCOMPARE(FBoxes.size(), size_t(1));
            // Without an upload the window closes without asking.
            form.close();
            QVERIFY(!form.isVisible());
            QCOMPARE(FBoxes.size(), size_t(1));
        }
    }

    void closeSavesPositionColumnsAndSettings() {
        TMainFrm &form = ShowForm();
        form.lvPlaylist->header()->resizeSection(2, 123);
        form.close();
        QVERIFY(QFile::exists(DataDir() + u"windowpos.ini"_s));
        QVERIFY(QFile::exists(DataDir() + u"system.ini"_s));
        QCOMPARE(Settings().PlaylistCols.Count(), 4);
        QCOMPARE(Settings().PlaylistCols.Items(2).Width, 123);
        FForm.reset();
        QVERIFY(QFile::exists(DataDir() + u"settings.ini"_s));
    }

    void noCompletionAfterTheWindowIsGone() {
        ShowForm();
        FStation->HoldPlaylist = true;
        FForm->tmrMainTimer();
        WaitForRequests("action=getplaylist2", 2);
        FForm.reset();
        FStation->HoldPlaylist = false;
        QTRY_COMPARE_WITH_TIMEOUT(TAPI::Running(), 0, 20000);
        QCoreApplication::processEvents(); // a completion would run here and crash
    }

    // --- Microphone processing ---------------------------------------------------------------

    void firstShowListsTheStoredChainWithoutStartingIt() {
        TDSPItemsC &chain = PlayerIni().MicDSPList;
        chain.Clear();
        TDSPItemC &stored = chain.Add();
        stored.T = dspIntegrated;
        stored.IntDSPKind = dspCompressor;
        stored.DispName = u"Compressor"_s;
        stored.State = psActive;
        PlayerIni().Save();
        chain.Clear();
        ShowForm(); // reads player.ini again
        TMicDSPFrm *dsp = MicDSPFrm();
        QVERIFY(dsp != nullptr);
        QCOMPARE(dsp->DSPManager->DSPList, &chain);
        QTreeWidget *list = dsp->DSPManagerFr->lDSP;
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(1), u"Compressor"_s);
        QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Checked);
        QCOMPARE(FindIntDsp(chain.Items(0)), nullptr);
        chain.Clear();
    }

    void dspButtonEditsTheChainAndClosingSavesIt() {
        // A presenter adds a compressor, sets its threshold and closes, with
        // the keyboard as far as the windows offer it.
        PlayerIni().MicDSPList.Clear();
        TMainFrm &form = ShowForm();
        TMicDSPFrm *dsp = MicDSPFrm();
        QVERIFY(dsp != nullptr);
        QCOMPARE(dsp->DSPManagerFr->lDSP->topLevelItemCount(), 0);
        bool edited = false;
        WhenModalOpen<TMicDSPFrm>([dsp, &edited](TMicDSPFrm *AOpen) {
            // The window closes also when a step fails, so the test ends.
            const std::unique_ptr<QPushButton, void (*)(QPushButton *)> closer(
                AOpen->Button1, [](QPushButton *AButton) { AButton->click(); });
            QCOMPARE(AOpen, dsp);
            TDSPManagerFr *panel = dsp->DSPManagerFr;
            WhenModalOpen<TDSPListFrm>([](TDSPListFrm *AList) {
                for (QAbstractItemView *view : AList->findChildren<QAbstractItemView *>()) {
                    const QModelIndexList found =
                        view->model()->match(view->model()->index(0, 0), Qt::DisplayRole,
                                             u"Compressor"_s, 1, Qt::MatchExactly);
                    if (!found.isEmpty())
                        view->setCurrentIndex(found.first());
                }
                for (QPushButton *button : AList->findChildren<QPushButton *>())
                    if (button->text().remove(u'&') == u"OK"_s)
                        button->click();
            });
            panel->btDSPAdd->click();
            QCOMPARE(panel->lDSP->topLevelItemCount(), 1);
            QCOMPARE(panel->SelectedIndex(), 0);
            QTest::keyClick(panel->lDSP, Qt::Key_Return);
            auto *editor = qobject_cast<TCompressorDSPFrm *>(IntegratedEditor(dspCompressor));
            QVERIFY(editor != nullptr);
            editor->cpThres->SetValue(-24);
            editor->btOk->click();
            QTRY_COMPARE(IntegratedEditor(dspCompressor), nullptr);
            edited = true;
        });
        form.btDSP->click();
        QVERIFY(edited);
        QVERIFY(!dsp->isVisible());
        TPlayerIni stored;
        stored.Read();
        QCOMPARE(stored.MicDSPList.Count(), 1);
        const TDSPItemC &entry = stored.MicDSPList.Items(0);
        QCOMPARE(entry.DispName, u"Compressor"_s);
        QCOMPARE(entry.T, dspIntegrated);
        QCOMPARE(entry.IntDSPKind, dspCompressor);
        QCOMPARE(entry.State, psOff);
        QCOMPARE(entry.Params.size(), 5);
        QCOMPARE(entry.Params.at(1).toDouble(), -24.0);
        QVERIFY(FBoxes.empty());
        PlayerIni().MicDSPList.Clear();
    }
};

QTEST_MAIN(TMainFormTest)
#include "MainFormTest.moc"
