// The request worker against real HTTP servers on 127.0.0.1.

#include "remote/API.h"

#include "config/Settings.h"
#include "core/NativeNames.h"
#include "remote/HttpTransport.h"
#include "remote/Protocol.h"
#include "remote/UrlEncoding.h"
#include "support/Hold.h"
#include "support/QtTestEnvironment.h"
#include "support/TestServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

const auto *const QtEnv = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

void Reply(httplib::Response &AResponse, int AStatus, const std::string &ABody,
           const char *AType = "text/plain") {
    AResponse.status = AStatus;
    AResponse.set_content(ABody, AType);
}

// What one finished worker left behind, copied in its completion.
struct TOutcome {
    int Completions = 0;
    bool Success = false;
    QString Error;
    QString ErrorDetail;
    std::unique_ptr<TPlaylist> Playlist;
    bool HadPlaylist = false;
    TPlaybackInfo Info;
};

class ApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoteOptions() = TRemoteOptions();
        RemoteOptions().IdleTimeoutMs = 10000;
        Configure(QStringLiteral("127.0.0.1"), 0);
    }
    void TearDown() override {
        EXPECT_TRUE(ProcessEventsUntil([] { return TAPI::Running() == 0; }));
        RemoteOptions() = TRemoteOptions();
    }

    static void Configure(const QString &AServer, int APort, bool ATLS = false) {
        std::lock_guard lock(Settings().Monitor());
        Settings().Server = AServer;
        Settings().Port = APort;
        Settings().TLS = ATLS;
        Settings().User = QStringLiteral("U");
        Settings().Pass = QStringLiteral("W");
    }

    // A worker whose completion fills AOutcome.
    static TAPI *NewWorker(TOutcome &AOutcome, QObject *AReceiver = nullptr) {
        return new TAPI(AReceiver, [&AOutcome](TAPI *ASender) {
            ++AOutcome.Completions;
            AOutcome.Success = ASender->Success();
            AOutcome.Error = ASender->Error();
            AOutcome.ErrorDetail = ASender->ErrorDetail();
            AOutcome.HadPlaylist = ASender->Playlist() != nullptr;
            AOutcome.Playlist = ASender->TakePlaylist();
            AOutcome.Info = ASender->PlaybackInfo();
        });
    }

    static void WaitForCompletion(const TOutcome &AOutcome) {
        ASSERT_TRUE(ProcessEventsUntil([&] { return AOutcome.Completions > 0; }));
        // A second completion, if there were one, would have run before
        // its worker ended.
        ASSERT_TRUE(ProcessEventsUntil([] { return TAPI::Running() == 0; }));
        RunQueuedEvents();
    }
};

// --- What goes on the wire --------------------------------------------------

TEST_F(ApiTest, EachOperationSendsItsRequest) {
    TTestServer server([](const httplib::Request &, httplib::Response &r) { Reply(r, 200, "OK"); });
    Configure(QStringLiteral("127.0.0.1"), server.Port());

    struct TCase {
        const char *Name;
        std::function<void(TAPI *)> Start;
        std::string Target;
    };
    const TCase cases[] = {
        {"playlist", [](TAPI *w) { w->GetPlaylistContents(); },
         "/?user=U&pass=W&action=getplaylist2"},
        {"playback", [](TAPI *w) { w->GetPlaybackInfo(); }, "/?user=U&pass=W&action=playbackinfo"},
        {"delete first row", [](TAPI *w) { w->DeletePlaylistTrack(0); },
         "/?user=U&pass=W&action=delete&pos=1"},
        {"delete third row", [](TAPI *w) { w->DeletePlaylistTrack(2); },
         "/?user=U&pass=W&action=delete&pos=3"},
        {"move row 0 onto 3", [](TAPI *w) { w->MovePlaylistTrack(0, 3); },
         "/?user=U&pass=W&action=move&pos1=1&pos2=4"},
        {"move onto itself", [](TAPI *w) { w->MovePlaylistTrack(2, 2); },
         "/?user=U&pass=W&action=move&pos1=3&pos2=3"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TOutcome outcome;
        c.Start(NewWorker(outcome));
        WaitForCompletion(outcome);
        EXPECT_EQ(outcome.Completions, 1);
        const auto requests = server.Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().Method, "GET");
        EXPECT_EQ(requests.back().Target, c.Target);
        EXPECT_TRUE(requests.back().Body.empty());
    }
}

TEST_F(ApiTest, CredentialsAreUrlEncodedInTheQuery) {
    TTestServer server([](const httplib::Request &, httplib::Response &r) { Reply(r, 200, ""); });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    {
        std::lock_guard lock(Settings().Monitor());
        Settings().User = QStringLiteral("a b&c~");
        Settings().Pass = QStringLiteral("p\u00e9");
    }
    TOutcome outcome;
    NewWorker(outcome)->GetPlaylistContents();
    WaitForCompletion(outcome);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].Target, "/?user=a+b%26c%7E&pass=p%C3%A9&action=getplaylist2");
}

TEST_F(ApiTest, UploadPostsTheFormToTheBareBaseUrl) {
    TTestServer server(
        [](const httplib::Request &, httplib::Response &r) { Reply(r, 200, "anything"); });
    Configure(QStringLiteral("127.0.0.1"), server.Port());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("take 1.flac"));
    QByteArray bytes;
    for (int i = 0; i < 1000; ++i)
        bytes.append(static_cast<char>((i * 37) & 0xFF));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    TOutcome outcome;
    NewWorker(outcome)->InsertVoiceTrack(6, path);
    WaitForCompletion(outcome);
    EXPECT_TRUE(outcome.Success);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const TRecordedRequest &r = requests[0];
    EXPECT_EQ(r.Method, "POST");
    EXPECT_EQ(r.Target, "/");
    EXPECT_EQ(r.ContentType, "application/x-www-form-urlencoded");
    const QByteArray expected =
        "user=U&pass=W&action=vocarra&fn=take+1.flac&pos=6&vt=" + EncodeVoiceTrack(bytes);
    EXPECT_EQ(QByteArray::fromStdString(r.Body), expected);
}

TEST_F(ApiTest, UploadOfAnUnreadableFileThrowsBeforeAnythingIsSent) {
    TTestServer server([](const httplib::Request &, httplib::Response &r) { Reply(r, 200, ""); });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    TOutcome outcome;
    auto *worker = NewWorker(outcome);
    EXPECT_THROW(worker->InsertVoiceTrack(2, QStringLiteral("/nonexistent/take.flac")), TFileError);
    delete worker;
    RunQueuedEvents();
    EXPECT_EQ(outcome.Completions, 0);
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(TAPI::Running(), 0);
}

TEST_F(ApiTest, UploadReportsProgressUpToTheWholeBody) {
    TTestServer server([](const httplib::Request &, httplib::Response &r) { Reply(r, 200, ""); });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.flac"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(3 << 20, 'x'));
    file.close();

    TOutcome outcome;
    qint64 lastSent = -1;
    qint64 lastTotal = -1;
    bool monotonic = true;
    auto *worker = NewWorker(outcome);
    worker->SetProgressCallback([&](qint64 ASent, qint64 ATotal) {
        monotonic = monotonic && ASent >= lastSent;
        lastSent = ASent;
        lastTotal = ATotal;
    });
    worker->InsertVoiceTrack(2, path);
    WaitForCompletion(outcome);
    EXPECT_TRUE(outcome.Success);
    EXPECT_TRUE(monotonic);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(lastTotal, static_cast<qint64>(server.Requests()[0].Body.size()));
    EXPECT_EQ(lastSent, lastTotal);
}

// A file cut while it is sent fails the upload; the server, held after the
// first bytes until the file is cut, never receives a whole request.
TEST_F(ApiTest, AFileCutWhileItIsSentFailsAndTheServerGetsNoWholeRequest) {
    std::mutex lock;
    std::condition_variable changed;
    bool started = false;
    bool cut = false;
    bool complete = false;
    httplib::Server server;
    server.Post("/", [&](const httplib::Request &, httplib::Response &AResponse,
                         const httplib::ContentReader &AReader) {
        const bool whole = AReader([&](const char *, size_t) {
            std::unique_lock l(lock);
            if (!started) {
                started = true;
                changed.notify_all();
                changed.wait(l, [&] { return cut; });
            }
            return true;
        });
        {
            std::lock_guard l(lock);
            complete = whole;
        }
        Reply(AResponse, 200, "accepted");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::yield();
    Configure(QStringLiteral("127.0.0.1"), port);

    // Far more than the sockets between the two can hold, and sparse, so
    // that it costs no disk.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.flac"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(64) << 20));
    }
    TOutcome outcome;
    NewWorker(outcome)->InsertVoiceTrack(2, path);
    {
        std::unique_lock l(lock);
        ASSERT_TRUE(changed.wait_for(l, std::chrono::seconds(30), [&] { return started; }));
    }
    QFile(path).resize(1 << 20);
    {
        std::lock_guard l(lock);
        cut = true;
    }
    changed.notify_all();
    WaitForCompletion(outcome);
    server.stop();
    listener.join();

    EXPECT_EQ(outcome.Completions, 1);
    EXPECT_FALSE(outcome.Success);
    EXPECT_EQ(outcome.Error,
              QStringLiteral("The file changed while it was being sent: %1").arg(path));
    EXPECT_FALSE(complete);
}

// A file whose name is not UTF-8 is still found and sent.
TEST_F(ApiTest, UploadOfAFileNamedInLatin1) {
    TTestServer server([](const httplib::Request &, httplib::Response &r) { Reply(r, 200, ""); });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    QTemporaryDir dir;
    const QByteArray native = QFile::encodeName(dir.path()) + "/caf\xe9.flac";
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "abc", 3), 3);
    ::close(fd);

    TOutcome outcome;
    NewWorker(outcome)->InsertVoiceTrack(2, NameFromNative(native));
    WaitForCompletion(outcome);
    EXPECT_TRUE(outcome.Success) << outcome.Error.toStdString();
    ASSERT_EQ(server.Requests().size(), 1u);
    // The name travels as text: the byte that is not UTF-8 as U+FFFD.
    EXPECT_EQ(server.Requests()[0].Body,
              "user=U&pass=W&action=vocarra&fn=caf%EF%BF%BD.flac&pos=2&vt=YWJj");
}

// --- How replies are judged -------------------------------------------------

enum TOp { opPlaylist, opPlayback, opDelete, opMove, opUpload };

struct TJudgeCase {
    const char *Name;
    TOp Op;
    int Status;
    std::string Body;
    std::string ContentType;
    bool Success;
    QString Error;
};

class ReplyJudging : public ApiTest, public ::testing::WithParamInterface<TJudgeCase> {};

TEST_P(ReplyJudging, Completes) {
    const TJudgeCase &c = GetParam();
    TTestServer server([&c](const httplib::Request &, httplib::Response &r) {
        r.status = c.Status;
        r.set_content(c.Body, c.ContentType.c_str());
    });
    Configure(QStringLiteral("127.0.0.1"), server.Port());

    QTemporaryDir dir;
    const QString upload = dir.filePath(QStringLiteral("vt.flac"));
    QFile file(upload);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("fLaC");
    file.close();

    TOutcome outcome;
    TAPI *worker = NewWorker(outcome);
    switch (c.Op) {
    case opPlaylist:
        worker->GetPlaylistContents();
        break;
    case opPlayback:
        worker->GetPlaybackInfo();
        break;
    case opDelete:
        worker->DeletePlaylistTrack(0);
        break;
    case opMove:
        worker->MovePlaylistTrack(0, 1);
        break;
    case opUpload:
        worker->InsertVoiceTrack(2, upload);
        break;
    }
    WaitForCompletion(outcome);
    EXPECT_EQ(outcome.Completions, 1);
    EXPECT_EQ(outcome.Success, c.Success);
    EXPECT_EQ(outcome.Error, c.Error);
    EXPECT_EQ(server.Requests().size(), 1u);
    if ((c.Op == opPlaylist || c.Op == opUpload) && !c.Success) {
        EXPECT_FALSE(outcome.HadPlaylist);
    }
}

const std::string KPlaylist =
    R"(<?xml version="1.0"?><PLAYLIST><TRACK CASTTITLE="A" DURATION="3:00" STARTTIME=""/>)"
    R"(<TRACK CASTTITLE="B" DURATION="0:05" STARTTIME=""/></PLAYLIST>)";

INSTANTIATE_TEST_SUITE_P(
    Api, ReplyJudging,
    ::testing::Values(
        TJudgeCase{"delete_ok", opDelete, 200, "OK", "text/plain", true, {}},
        TJudgeCase{"delete_ok_with_line_break", opDelete, 200, "OK\r\n", "text/plain", false,
                   QStringLiteral("OK\r\n")},
        TJudgeCase{"delete_lower_case", opDelete, 200, "ok", "text/plain", false,
                   QStringLiteral("ok")},
        TJudgeCase{"delete_status_500", opDelete, 500, "boom", "text/plain", false,
                   QStringLiteral("boom")},
        TJudgeCase{"delete_status_500_saying_ok", opDelete, 500, "OK", "text/plain", false,
                   QStringLiteral("OK")},
        TJudgeCase{"move_ok", opMove, 204, "", "text/plain", false, QString()},
        TJudgeCase{"move_refused", opMove, 200, "Bad position", "text/plain", false,
                   QStringLiteral("Bad position")},
        TJudgeCase{"playlist_not_xml", opPlaylist, 200, "hello", "text/plain", true, {}},
        TJudgeCase{"playlist_ok", opPlaylist, 200, KPlaylist, "text/xml", true, {}},
        TJudgeCase{"playlist_403_empty_body", opPlaylist, 403, "", "text/plain", false,
                   QStringLiteral("HTTP 403 Forbidden")},
        TJudgeCase{"redirect_not_followed", opPlaylist, 302, "moved", "text/plain", false,
                   QStringLiteral("moved")},
        TJudgeCase{"empty_redirect", opPlaylist, 302, "", "text/plain", false,
                   QStringLiteral("HTTP 302 Found")},
        TJudgeCase{"playlist_502_empty", opPlaylist, 502, "", "text/plain", false,
                   QStringLiteral("HTTP 502 Bad Gateway")},
        TJudgeCase{"delete_401_empty", opDelete, 401, "", "text/plain", false,
                   QStringLiteral("HTTP 401 Unauthorized")},
        TJudgeCase{"delete_500_only_a_line_break", opDelete, 500, "\r\n", "text/plain", false,
                   QStringLiteral("HTTP 500 Internal Server Error")},
        TJudgeCase{"unknown_status_empty", opMove, 599, "", "text/plain", false,
                   QStringLiteral("HTTP 599")},
        TJudgeCase{"access_denied_verbatim", opPlaylist, 403, "Access denied", "text/plain", false,
                   QStringLiteral("Access denied")},
        TJudgeCase{"proxy_error_page", opPlaylist, 502,
                   "<html>\r\n<head><title>502 Bad Gateway</title></head>\r\n<body>\r\n"
                   "<center><h1>502 Bad Gateway</h1></center>\r\n<hr><center>nginx</center>\r\n"
                   "</body>\r\n</html>\r\n",
                   "text/html", false,
                   QStringLiteral("HTTP 502 Bad Gateway: 502 Bad Gateway\nnginx")},
        TJudgeCase{"html_page_labelled_as_plain_text", opDelete, 500,
                   "<!DOCTYPE html><html><body><p>Server   error</p>"
                   "<script>var x = 1;</script></body></html>",
                   "text/plain", false,
                   QStringLiteral("HTTP 500 Internal Server Error: Server error")},
        TJudgeCase{"html_entities_and_markup_become_text", opDelete, 500,
                   "<p>Fish &amp; chips &lt;b&gt;x&lt;/b&gt; caf&#233; &#x263A; &bogus;</p>",
                   "text/html; charset=utf-8", false,
                   QStringLiteral("HTTP 500 Internal Server Error: Fish & chips <b>x</b> "
                                  "caf\u00e9 \u263a &bogus;")},
        TJudgeCase{"html_page_without_words", opPlaylist, 503, "<html><body></body></html>",
                   "text/html", false, QStringLiteral("HTTP 503 Service Unavailable")},
        TJudgeCase{"move_ok_as_html_with_2xx_stays_the_text", opMove, 200, "<b>OK</b>", "text/html",
                   false, QStringLiteral("<b>OK</b>")},
        TJudgeCase{"upload_any_text", opUpload, 200, "whatever", "text/plain", true, {}},
        TJudgeCase{"upload_status_299", opUpload, 299, "", "text/plain", true, {}},
        TJudgeCase{"upload_status_413", opUpload, 413, "Too large", "text/plain", false,
                   QStringLiteral("Too large")},
        TJudgeCase{"playback_not_xml", opPlayback, 200, "x", "text/plain", true, {}},
        TJudgeCase{"error_in_latin1", opDelete, 400, "Fehler: ung\xfcltig",
                   "text/plain; charset=ISO-8859-1", false,
                   QStringLiteral("Fehler: ung\u00fcltig")},
        TJudgeCase{"error_in_utf8_by_default", opDelete, 400, "B\xc3\xa9", "text/plain", false,
                   QStringLiteral("B\u00e9")}),
    [](const auto &AInfo) { return std::string(AInfo.param.Name); });

TEST_F(ApiTest, PlaylistReplyIsDecodedAndCanBeTaken) {
    TTestServer server([](const httplib::Request &, httplib::Response &r) {
        Reply(r, 200, KPlaylist, "text/xml");
    });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    TOutcome outcome;
    NewWorker(outcome)->GetPlaylistContents();
    WaitForCompletion(outcome);
    ASSERT_TRUE(outcome.Playlist);
    ASSERT_EQ(outcome.Playlist->size(), 2u);
    EXPECT_EQ((*outcome.Playlist)[0].Title, QStringLiteral("A"));
    EXPECT_EQ((*outcome.Playlist)[1].Duration, QStringLiteral("0:05"));
}

TEST_F(ApiTest, PlaybackReplyIsDecodedWithATick) {
    TTestServer server([](const httplib::Request &, httplib::Response &r) {
        Reply(r, 200,
              R"(<R><Playback playlistpos="3" pos="10000" len="30000" state="play"/>)"
              R"(<CurrentTrack><TRACK ITEMTITLE="Now"/></CurrentTrack>)"
              R"(<NextTrack><TRACK ITEMTITLE="Next"/></NextTrack></R>)",
              "text/xml");
    });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    TOutcome outcome;
    NewWorker(outcome)->GetPlaybackInfo();
    WaitForCompletion(outcome);
    EXPECT_TRUE(outcome.Success);
    EXPECT_EQ(outcome.Info.PlaylistPos, 3);
    EXPECT_EQ(outcome.Info.Pos, 10000);
    EXPECT_EQ(outcome.Info.Len, 30000);
    EXPECT_EQ(outcome.Info.State, QStringLiteral("play"));
    EXPECT_EQ(outcome.Info.CurrentTrack, QStringLiteral("Now"));
    EXPECT_EQ(outcome.Info.NextTrack, QStringLiteral("Next"));
    EXPECT_NE(outcome.Info.TS, 0);
}

TEST_F(ApiTest, EmptyServerFailsWithoutConnecting) {
    Configure(QString(), 1);
    for (int kind = 0; kind < 2; ++kind) {
        TOutcome outcome;
        TAPI *worker = NewWorker(outcome);
        kind == 0 ? worker->GetPlaylistContents() : worker->DeletePlaylistTrack(0);
        WaitForCompletion(outcome);
        EXPECT_EQ(outcome.Completions, 1);
        EXPECT_FALSE(outcome.Success);
        EXPECT_EQ(outcome.Error,
                  QStringLiteral("Connection not configured. Please open Settings."));
        EXPECT_FALSE(outcome.HadPlaylist);
    }
}

TEST_F(ApiTest, RefusedConnectionFailsWithTheClientsMessage) {
    int port = 0;
    {
        // A port that was just free: nothing listens there now.
        TTestServer probe([](const httplib::Request &, httplib::Response &) {});
        port = probe.Port();
    }
    Configure(QStringLiteral("127.0.0.1"), port);
    TOutcome outcome;
    NewWorker(outcome)->GetPlaybackInfo();
    WaitForCompletion(outcome);
    EXPECT_EQ(outcome.Completions, 1);
    EXPECT_FALSE(outcome.Success);
    EXPECT_FALSE(outcome.Error.isEmpty());
    EXPECT_EQ(outcome.Info.TS, 0);
}

TEST_F(ApiTest, OversizedReplyFailsWithAClearError) {
    RemoteOptions().MaxReplyBytes = 4096;
    TTestServer server([](const httplib::Request &, httplib::Response &r) {
        Reply(r, 200, std::string(100000, 'x'));
    });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    TOutcome outcome;
    NewWorker(outcome)->GetPlaylistContents();
    WaitForCompletion(outcome);
    EXPECT_FALSE(outcome.Success);
    EXPECT_TRUE(outcome.Error.contains(QStringLiteral("larger than")));
}

// --- Time-outs ---------------------------------------------------------------

TEST_F(ApiTest, SilentServerTimesOutAfterTheIdleLimit) {
    RemoteOptions().IdleTimeoutMs = 300;
    THold held(true);
    TTestServer server([&](const httplib::Request &, httplib::Response &r) {
        held.WaitReleased(5000);
        Reply(r, 200, "OK");
    });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    TOutcome outcome;
    NewWorker(outcome)->DeletePlaylistTrack(0);
    WaitForCompletion(outcome);
    held = false;
    EXPECT_FALSE(outcome.Success);
    EXPECT_TRUE(outcome.Error.contains(QStringLiteral("300 ms")));
    EXPECT_TRUE(outcome.Error.startsWith(QStringLiteral("The station is not answering")));
}

TEST_F(ApiTest, SlowButSteadyReplyIsNotCutOff) {
    // The whole reply takes several idle limits, but a byte arrives often.
    RemoteOptions().IdleTimeoutMs = 1500;
    TTestServer server([](const httplib::Request &, httplib::Response &r) {
        r.set_chunked_content_provider("text/plain", [](size_t AOffset, httplib::DataSink &ASink) {
            if (AOffset >= 12) {
                ASink.done();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            ASink.write("x", 1);
            return true;
        });
    });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    TOutcome outcome;
    NewWorker(outcome)->GetPlaylistContents();
    WaitForCompletion(outcome);
    EXPECT_TRUE(outcome.Success) << outcome.Error.toStdString();
}

// A reply that sends AChunk bytes every AEveryMs and never ends, until the
// client goes away (a write fails) or the server stops.
void Trickle(httplib::Response &AResponse, size_t AChunk, int AEveryMs) {
    AResponse.set_chunked_content_provider(
        "text/xml", [AChunk, AEveryMs](size_t AOffset, httplib::DataSink &ASink) {
            if (AOffset > (64u << 20))
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(AEveryMs));
            const std::string chunk(AChunk, ' ');
            return ASink.write(chunk.data(), chunk.size());
        });
}

TEST_F(ApiTest, ATrickleIsNotProgress) {
    // A byte every 100 ms keeps the idle limit happy for ever.
    RemoteOptions().LowSpeedBytes = 1024;
    RemoteOptions().LowSpeedTimeMs = 1000;
    TTestServer server([](const httplib::Request &, httplib::Response &r) { Trickle(r, 1, 100); });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    TOutcome outcome;
    NewWorker(outcome)->GetPlaylistContents();
    WaitForCompletion(outcome);
    EXPECT_EQ(outcome.Completions, 1);
    EXPECT_FALSE(outcome.Success);
    EXPECT_EQ(outcome.Error,
              QStringLiteral("The station is not answering (less than 1 KB moved in 1 s)."));
    EXPECT_FALSE(outcome.HadPlaylist);
}

TEST_F(ApiTest, ASteadyReplyThatNeverEndsIsCappedInAll) {
    RemoteOptions().LowSpeedBytes = 1024;
    RemoteOptions().LowSpeedTimeMs = 1000;
    RemoteOptions().TotalTimeoutMs = 2000;
    TTestServer server(
        [](const httplib::Request &, httplib::Response &r) { Trickle(r, 4096, 50); });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    TOutcome outcome;
    NewWorker(outcome)->GetPlaybackInfo();
    WaitForCompletion(outcome);
    EXPECT_FALSE(outcome.Success);
    EXPECT_EQ(outcome.Error, QStringLiteral("The station is not answering (no reply within 2 s)."));
}

TEST_F(ApiTest, EveryRequestButTheUploadIsCappedInAll) {
    // The station thinks for longer than the cap, then answers.
    RemoteOptions().TotalTimeoutMs = 300;
    TTestServer server([](const httplib::Request &, httplib::Response &r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        Reply(r, 200, "OK");
    });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    QTemporaryDir dir;
    const QString upload = dir.filePath(QStringLiteral("vt.flac"));
    QFile file(upload);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("fLaC");
    file.close();

    const struct {
        const char *Name;
        std::function<void(TAPI *)> Start;
        bool Capped;
    } cases[] = {
        {"playlist", [](TAPI *w) { w->GetPlaylistContents(); }, true},
        {"playback", [](TAPI *w) { w->GetPlaybackInfo(); }, true},
        {"delete", [](TAPI *w) { w->DeletePlaylistTrack(0); }, true},
        {"move", [](TAPI *w) { w->MovePlaylistTrack(0, 1); }, true},
        {"upload", [&](TAPI *w) { w->InsertVoiceTrack(2, upload); }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TOutcome outcome;
        c.Start(NewWorker(outcome));
        WaitForCompletion(outcome);
        EXPECT_EQ(outcome.Success, !c.Capped) << outcome.Error.toStdString();
        if (c.Capped) {
            EXPECT_EQ(outcome.Error,
                      QStringLiteral("The station is not answering (no reply within 300 ms)."));
        }
    }
}

TEST_F(ApiTest, AHugeErrorPageIsCutForTheUserAndKeptWhole) {
    std::string page = "<html><head><title>Oops</title><style>p{}</style></head><body>";
    for (int i = 0; page.size() < (1u << 20); ++i)
        page += "<p>Line " + std::to_string(i) + " of a long story about what went wrong.</p>\n";
    page += "</body></html>";
    TTestServer server(
        [&](const httplib::Request &, httplib::Response &r) { Reply(r, 500, page, "text/html"); });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    TOutcome outcome;
    NewWorker(outcome)->DeletePlaylistTrack(0);
    WaitForCompletion(outcome);
    EXPECT_FALSE(outcome.Success);
    EXPECT_TRUE(outcome.Error.startsWith(
        QStringLiteral("HTTP 500 Internal Server Error: Line 0 of a long story")));
    EXPECT_TRUE(outcome.Error.endsWith(QStringLiteral("\u2026")));
    EXPECT_LE(outcome.Error.count(u'\n'), 2);
    EXPECT_LE(outcome.Error.size(), 340);
    EXPECT_EQ(outcome.ErrorDetail,
              QStringLiteral("HTTP 500 Internal Server Error\n") + QString::fromStdString(page));
}

TEST_F(ApiTest, ErrorDetailCarriesTheStatusLineAndTheWholeReply) {
    TTestServer server(
        [](const httplib::Request &, httplib::Response &r) { Reply(r, 403, "Access denied"); });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    TOutcome outcome;
    NewWorker(outcome)->GetPlaylistContents();
    WaitForCompletion(outcome);
    EXPECT_EQ(outcome.Error, QStringLiteral("Access denied"));
    EXPECT_EQ(outcome.ErrorDetail, QStringLiteral("HTTP 403 Forbidden\nAccess denied"));

    Configure(QString(), 1);
    TOutcome unconfigured;
    NewWorker(unconfigured)->GetPlaylistContents();
    WaitForCompletion(unconfigured);
    EXPECT_EQ(unconfigured.ErrorDetail, unconfigured.Error);
}

// --- TLS ---------------------------------------------------------------------

class TlsTest : public ApiTest {
protected:
    const QString FCert = QStringLiteral(VOCARRA_TEST_CERT);
    const QString FKey = QStringLiteral(VOCARRA_TEST_KEY);
};

TEST_F(TlsTest, SelfSignedCertificateIsRefused) {
    TTestServer server([](const httplib::Request &, httplib::Response &r) { Reply(r, 200, "OK"); },
                       FCert.toStdString(), FKey.toStdString());
    Configure(QStringLiteral("localhost"), server.Port(), true);
    TOutcome outcome;
    NewWorker(outcome)->DeletePlaylistTrack(0);
    WaitForCompletion(outcome);
    EXPECT_FALSE(outcome.Success);
    EXPECT_FALSE(outcome.Error.isEmpty());
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(TlsTest, TrustedCertificateIsAccepted) {
    RemoteOptions().CAFile = FCert;
    TTestServer server([](const httplib::Request &, httplib::Response &r) { Reply(r, 200, "OK"); },
                       FCert.toStdString(), FKey.toStdString());
    for (const char *host : {"localhost", "127.0.0.1"}) {
        SCOPED_TRACE(host);
        Configure(QString::fromLatin1(host), server.Port(), true);
        TOutcome outcome;
        NewWorker(outcome)->DeletePlaylistTrack(0);
        WaitForCompletion(outcome);
        EXPECT_TRUE(outcome.Success) << outcome.Error.toStdString();
    }
}

TEST_F(TlsTest, CertificateForAnotherNameIsRefused) {
    RemoteOptions().CAFile = FCert;
    TTestServer server([](const httplib::Request &, httplib::Response &r) { Reply(r, 200, "OK"); },
                       FCert.toStdString(), FKey.toStdString());
    // Same trusted certificate, but reached under a name it does not carry.
    Configure(QStringLiteral("127.0.0.2"), server.Port(), true);
    TOutcome outcome;
    NewWorker(outcome)->DeletePlaylistTrack(0);
    WaitForCompletion(outcome);
    EXPECT_FALSE(outcome.Success);
}

// --- Exactly one completion ----------------------------------------------------

// A transport that fails in a way no network error does.
class TThrowingTransport : public THttpTransport {
public:
    explicit TThrowingTransport(int AKind) : FKind(AKind) {}
    void Perform(const THttpRequest &, THttpResponse &AResponse) override {
        if (FKind == 0)
            throw std::runtime_error("decoder exploded");
        if (FKind == 1)
            throw std::bad_alloc();
        AResponse.Status = 200;
        AResponse.Body = "<TRACK CASTTITLE=\"x\"/>";
    }

private:
    int FKind;
};

TEST_F(ApiTest, AFailureOfAnyKindStillCompletesOnce) {
    for (int kind = 0; kind < 2; ++kind) {
        SCOPED_TRACE(kind);
        RemoteOptions().TransportFactory = [kind] {
            return std::make_unique<TThrowingTransport>(kind);
        };
        TOutcome outcome;
        NewWorker(outcome)->GetPlaylistContents();
        WaitForCompletion(outcome);
        EXPECT_EQ(outcome.Completions, 1);
        EXPECT_FALSE(outcome.Success);
        EXPECT_FALSE(outcome.Error.isEmpty());
        EXPECT_FALSE(outcome.HadPlaylist);
    }
}

TEST_F(ApiTest, ManyWorkersInFlightEachCompleteExactlyOnce) {
    TTestServer server([](const httplib::Request &q, httplib::Response &r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(q.target.size() % 7 * 5));
        Reply(r, q.target.find("delete") != std::string::npos ? 200 : 500, "OK");
    });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    constexpr int KWorkers = 24;
    std::vector<TOutcome> outcomes(KWorkers);
    for (int i = 0; i < KWorkers; ++i) {
        TAPI *worker = NewWorker(outcomes[i]);
        switch (i % 4) {
        case 0:
            worker->GetPlaylistContents();
            break;
        case 1:
            worker->GetPlaybackInfo();
            break;
        case 2:
            worker->DeletePlaylistTrack(i);
            break;
        default:
            worker->MovePlaylistTrack(i, 0);
            break;
        }
    }
    ASSERT_TRUE(ProcessEventsUntil([] { return TAPI::Running() == 0; }));
    RunQueuedEvents();
    for (int i = 0; i < KWorkers; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(outcomes[i].Completions, 1);
        EXPECT_EQ(outcomes[i].Success, i % 4 == 2);
    }
}

TEST_F(ApiTest, NoCompletionAfterTheReceiverIsGone) {
    THold held(true);
    TTestServer server([&](const httplib::Request &, httplib::Response &r) {
        held.WaitReleased();
        Reply(r, 200, "OK");
    });
    Configure(QStringLiteral("127.0.0.1"), server.Port());
    auto *receiver = new QObject;
    TOutcome outcome;
    NewWorker(outcome, receiver)->DeletePlaylistTrack(0);
    delete receiver;
    held = false;
    ASSERT_TRUE(ProcessEventsUntil([] { return TAPI::Running() == 0; }));
    RunQueuedEvents();
    EXPECT_EQ(outcome.Completions, 0);
}

} // namespace
