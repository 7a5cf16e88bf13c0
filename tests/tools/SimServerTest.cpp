#include "SimServer.h"

#include "DemoPlaylist.h"
#include "FlacInfo.h"
#include "SimTestSupport.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTime>
#include <gtest/gtest.h>
#include <httplib.h>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const std::string Form = "application/x-www-form-urlencoded";

// The simulator on 127.0.0.1 with a clock the test moves; a client for it.
class SimServerTest : public ::testing::Test {
protected:
    void SetUp() override { Start(MakeDemoPlaylist(12)); }
    void TearDown() override { Shutdown(); }

    void Start(std::vector<TSimEntry> AEntries, const TSimServerOptions &AOptions = {}) {
        FClock.SetMsOfDay((7 * 3600 + 58 * 60) * 1000); // 7:58:00
        FPlaylist = std::make_unique<TSimPlaylist>(std::move(AEntries), FClock.Clock());
        FService = std::make_unique<TSimService>(*FPlaylist, "Jürgen", "s3cret&=");
        FServer = std::make_unique<TSimServer>(*FService, AOptions);
        FServer->SetLogSink([this](const std::string &ALine) {
            std::lock_guard guard(FLogLock);
            FLog.push_back(ALine);
        });
        ASSERT_TRUE(FServer->IsValid());
        FPort = FServer->Bind("127.0.0.1", 0);
        ASSERT_GT(FPort, 0);
        FThread = std::thread([this] { FServer->Run(); });
        // Stop only works once the server runs.
        QDeadlineTimer deadline(20000);
        while (!FServer->IsRunning() && !deadline.hasExpired())
            QThread::msleep(1);
        ASSERT_TRUE(FServer->IsRunning());
        FClient = std::make_unique<httplib::Client>("127.0.0.1", FPort);
        FClient->set_url_encode(false); // send queries exactly as the tests write them
    }

    void Shutdown() {
        FClient.reset();
        if (FThread.joinable()) {
            FServer->Stop();
            FThread.join();
        }
    }

    // A GET with the right credentials and the given items.
    httplib::Result Get(const std::string &AItems) {
        return FClient->Get("/?user=J%C3%BCrgen&pass=s3cret%26%3D&" + AItems);
    }
    std::string Playlist() {
        const httplib::Result result = Get("action=getplaylist2");
        EXPECT_TRUE(result && result->status == 200);
        return result ? result->body : std::string();
    }
    std::map<QString, QString> Playback() {
        const httplib::Result result = Get("action=playbackinfo");
        EXPECT_TRUE(result && result->status == 200);
        const auto elements = Elements(result ? result->body : std::string(), u"Playback"_s);
        return elements.empty() ? std::map<QString, QString>() : elements.front();
    }
    httplib::Result Upload(const QString &AFileName, int APos, const QByteArray &AFile) {
        return FClient->Post("/", UploadForm("J%C3%BCrgen", "s3cret%26%3D", AFileName, APos, AFile),
                             Form.c_str());
    }
    // The log so far; a line is written just after its reply has gone out,
    // so wait for at least AAtLeast lines.
    std::vector<std::string> Log(std::size_t AAtLeast = 0) {
        QDeadlineTimer deadline(20000);
        for (;;) {
            {
                std::lock_guard guard(FLogLock);
                if (FLog.size() >= AAtLeast || deadline.hasExpired())
                    return FLog;
            }
            QThread::msleep(1);
        }
    }

    TManualClock FClock;
    std::unique_ptr<TSimPlaylist> FPlaylist;
    std::unique_ptr<TSimService> FService;
    std::unique_ptr<TSimServer> FServer;
    std::unique_ptr<httplib::Client> FClient;
    std::thread FThread;
    int FPort = 0;
    std::mutex FLogLock;
    std::vector<std::string> FLog;
};

void ExpectReply(const httplib::Result &AResult, int AStatus, const std::string &ABody) {
    ASSERT_TRUE(AResult) << httplib::to_string(AResult.error());
    EXPECT_EQ(AResult->status, AStatus);
    EXPECT_EQ(AResult->body, ABody);
}

TEST_F(SimServerTest, PlaylistDocumentHasOneTrackPerEntry) {
    const httplib::Result result = Get("action=getplaylist2");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_EQ(result->body.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);

    const auto tracks = Elements(result->body, u"TRACK"_s);
    const std::vector<TSimEntry> expected = MakeDemoPlaylist(12);
    ASSERT_EQ(tracks.size(), expected.size());
    QTime start(7, 58, 0);
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        SCOPED_TRACE(i);
        auto track = tracks[i];
        EXPECT_EQ(track[u"CASTTITLE"_s], expected[i].CastTitle());
        EXPECT_EQ(track[u"ITEMTITLE"_s], expected[i].CastTitle());
        EXPECT_EQ(track[u"FILENAME"_s], expected[i].FileName);
        const qint64 seconds = expected[i].DurationMs / 1000;
        EXPECT_EQ(track[u"DURATION"_s],
                  u"%1:%2"_s.arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0')));
        // Each entry starts when the one before it ends; no leading zero on the hour.
        EXPECT_EQ(track[u"STARTTIME"_s], start.toString(u"H:mm:ss"_s));
        start = start.addMSecs(int(expected[i].DurationMs));
    }
}

TEST_F(SimServerTest, TitlesWithMarkupAndNonAsciiSurviveTheDocument) {
    Shutdown();
    TSimEntry tricky = Entry("", 1000);
    tricky.Artist = u"Smith & Jones"_s;
    tricky.Title = u"\"Quotes\" <Live> it's Ärger 東京 🌙\ttab"_s;
    Start({tricky});
    const auto tracks = Elements(Playlist(), u"TRACK"_s);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].at(u"CASTTITLE"_s), tricky.CastTitle());
}

TEST_F(SimServerTest, PlaybackInfoHasTheShapeTheClientReads) {
    FClock.Advance(2500);
    const httplib::Result result = Get("action=playbackinfo");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/xml; charset=utf-8");
    const std::vector<TSimEntry> expected = MakeDemoPlaylist(12);
    const auto playback = Elements(result->body, u"Playback"_s);
    ASSERT_EQ(playback.size(), 1u);
    EXPECT_EQ(playback[0].at(u"playlistpos"_s), u"1"_s);
    EXPECT_EQ(playback[0].at(u"pos"_s), u"2500"_s);
    EXPECT_EQ(playback[0].at(u"len"_s), QString::number(expected[0].DurationMs));
    EXPECT_EQ(playback[0].at(u"state"_s), u"play"_s);
    // CurrentTrack, then NextTrack, each holding one TRACK.
    const auto titles = Elements(result->body, u"TRACK"_s);
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0].at(u"ITEMTITLE"_s), expected[0].CastTitle());
    EXPECT_EQ(titles[1].at(u"ITEMTITLE"_s), expected[1].CastTitle());
    const std::size_t current = result->body.find("<CurrentTrack><TRACK");
    const std::size_t next = result->body.find("<NextTrack><TRACK");
    EXPECT_NE(current, std::string::npos);
    EXPECT_NE(next, std::string::npos);
    EXPECT_LT(current, next);
}

TEST_F(SimServerTest, PlaybackMovesToTheNextEntryAtTheEnd) {
    Shutdown();
    Start({Entry("short", 5000), Entry("long", 60000)});
    FClock.Advance(4999);
    EXPECT_EQ(Playback()[u"playlistpos"_s], u"1"_s);
    FClock.Advance(1);
    auto playback = Playback();
    EXPECT_EQ(playback[u"playlistpos"_s], u"2"_s);
    EXPECT_EQ(playback[u"pos"_s], u"0"_s);
    EXPECT_EQ(playback[u"len"_s], u"60000"_s);
    FClock.Advance(60000 + 1000); // the end of the list leads back to the top
    playback = Playback();
    EXPECT_EQ(playback[u"playlistpos"_s], u"1"_s);
    EXPECT_EQ(playback[u"pos"_s], u"1000"_s);
}

TEST_F(SimServerTest, EmptyPlaylistIsStopped) {
    Shutdown();
    Start({});
    EXPECT_TRUE(Elements(Playlist(), u"TRACK"_s).empty());
    auto playback = Playback();
    EXPECT_EQ(playback[u"playlistpos"_s], u"-1"_s);
    EXPECT_EQ(playback[u"state"_s], u"stop"_s);
}

TEST_F(SimServerTest, WrongOrMissingCredentialsAreRefused) {
    const std::string cases[] = {
        "/?user=J%C3%BCrgen&pass=wrong&action=getplaylist2",
        "/?user=Jurgen&pass=s3cret%26%3D&action=getplaylist2",
        "/?user=J%C3%BCrgen&pass=s3cret%26%3D+&action=getplaylist2",
        "/?user=x&user=J%C3%BCrgen&pass=s3cret%26%3D&action=getplaylist2",
        "/?user=J%C3%BCrgen&action=getplaylist2",
        "/?pass=s3cret%26%3D&action=getplaylist2",
        "/?action=delete&pos=2",
        "/",
    };
    for (const std::string &url : cases) {
        SCOPED_TRACE(url);
        ExpectReply(FClient->Get(url), 403, "Access denied");
    }
    ExpectReply(FClient->Post(
                    "/",
                    UploadForm("J%C3%BCrgen", "nope", u"a.flac"_s, 1, FlacHead(44100, 1, 16, 100)),
                    Form.c_str()),
                403, "Access denied");
    EXPECT_EQ(Elements(Playlist(), u"TRACK"_s).size(), 12u); // nothing was deleted or added
}

TEST_F(SimServerTest, UnknownOrMissingActionIsABadRequest) {
    for (const char *items : {"action=reboot", "action=", "x=1", "action=GETPLAYLIST2"}) {
        SCOPED_TRACE(items);
        ExpectReply(Get(items), 400, "Unknown action");
    }
}

TEST_F(SimServerTest, DeleteRemovesTheEntry) {
    const std::vector<QString> before = CastTitles(Playlist());
    ExpectReply(Get("action=delete&pos=3"), 200, "OK");
    std::vector<QString> expected = before;
    expected.erase(expected.begin() + 2);
    EXPECT_EQ(CastTitles(Playlist()), expected);
    ExpectReply(Get("action=delete&pos=11"), 200, "OK"); // the last one
    expected.pop_back();
    EXPECT_EQ(CastTitles(Playlist()), expected);
}

TEST_F(SimServerTest, DeleteRefusesBadPositionsAndThePlayingEntry) {
    for (const char *items :
         {"pos=0", "pos=13", "pos=-1", "pos=x", "pos=", "pos=2x", "pos=99999999999", ""}) {
        SCOPED_TRACE(items);
        ExpectReply(Get(std::string("action=delete&") + items), 400, "Invalid position");
    }
    ExpectReply(Get("action=delete&pos=1"), 409, "Cannot delete the playing entry");
    EXPECT_EQ(Elements(Playlist(), u"TRACK"_s).size(), 12u);
}

TEST_F(SimServerTest, MoveSwapsTheTwoEntries) {
    const std::vector<QString> before = CastTitles(Playlist());
    // The client drags row 0 onto row 3 and swaps them in its own view.
    ExpectReply(Get("action=move&pos1=1&pos2=4"), 200, "OK");
    std::vector<QString> expected = before;
    std::swap(expected[0], expected[3]);
    EXPECT_EQ(CastTitles(Playlist()), expected);
    // The playing entry moved with its row.
    EXPECT_EQ(Playback()[u"playlistpos"_s], u"4"_s);

    ExpectReply(Get("action=move&pos1=5&pos2=5"), 200, "OK");
    EXPECT_EQ(CastTitles(Playlist()), expected);

    for (const char *items :
         {"pos1=0&pos2=1", "pos1=1&pos2=13", "pos1=1", "pos2=1", "pos1=a&pos2=1"}) {
        SCOPED_TRACE(items);
        ExpectReply(Get(std::string("action=move&") + items), 400, "Invalid position");
    }
    EXPECT_EQ(CastTitles(Playlist()), expected);
}

TEST_F(SimServerTest, UploadInsertsTheVoiceTrackAtThePosition) {
    // Voice track of 12.5 s; the client places it after row 4, so at position 6.
    const QByteArray file = FlacHead(48000, 1, 16, 48000 * 12 + 24000) + QByteArray(1000, '\x33');
    const httplib::Result result = Upload(u"Moderation Ärger 1.flac"_s, 6, file);
    ExpectReply(result, 200, "OK");
    const auto tracks = Elements(Playlist(), u"TRACK"_s);
    ASSERT_EQ(tracks.size(), 13u);
    EXPECT_EQ(tracks[5].at(u"CASTTITLE"_s), u"Moderation Ärger 1"_s);
    EXPECT_EQ(tracks[5].at(u"FILENAME"_s), u"Moderation Ärger 1.flac"_s);
    EXPECT_EQ(tracks[5].at(u"DURATION"_s), u"0:13"_s);
    EXPECT_EQ(tracks[6].at(u"CASTTITLE"_s), MakeDemoPlaylist(12)[5].CastTitle());
}

TEST_F(SimServerTest, UploadAcceptsEveryFileSizeAndPosition) {
    // Sizes around the 57-byte lines of the encoding and one far above
    // what a form in one piece may hold.
    const qsizetype sizes[] = {qsizetype(FlacHeadSize), 56, 57, 58, 114, 3 * 1024 * 1024 + 1};
    int count = 12;
    for (qsizetype size : sizes) {
        SCOPED_TRACE(size);
        QByteArray file = FlacHead(44100, 2, 16, 441000);
        file = file.left(qMin(size, file.size())) +
               QByteArray(qMax<qsizetype>(0, size - file.size()), '\x01');
        ExpectReply(Upload(u"take.flac"_s, count + 1, file), 200, "OK"); // at the end
        ++count;
    }
    ExpectReply(Upload(u"first.flac"_s, 1, FlacHead(44100, 2, 16, 441000)), 200, "OK");
    const std::vector<QString> titles = CastTitles(Playlist());
    ASSERT_EQ(titles.size(), std::size_t(count + 1));
    EXPECT_EQ(titles.front(), u"first"_s);
    EXPECT_EQ(titles.back(), u"take"_s);
    // The big upload is in the log with its size.
    bool logged = false;
    for (const std::string &line : Log(std::size(sizes) + 1))
        logged |= line.find("vt=3145729 bytes") != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST_F(SimServerTest, UploadRefusesWhatItCannotInsert) {
    const QByteArray flac = FlacHead(44100, 2, 16, 44100);
    struct TCase {
        const char *Why;
        std::string Body;
        std::string ContentType;
        int Status;
        std::string Reply;
    } const cases[] = {
        {"not FLAC",
         UploadForm("J%C3%BCrgen", "s3cret%26%3D", u"talk.mp3"_s, 2, QByteArray(500, '\xff')), Form,
         415, "Not a FLAC file"},
        {"empty file", UploadForm("J%C3%BCrgen", "s3cret%26%3D", u"empty.flac"_s, 2, QByteArray()),
         Form, 415, "Not a FLAC file"},
        {"position 0", UploadForm("J%C3%BCrgen", "s3cret%26%3D", u"a.flac"_s, 0, flac), Form, 400,
         "Invalid position"},
        {"position past the end", UploadForm("J%C3%BCrgen", "s3cret%26%3D", u"a.flac"_s, 14, flac),
         Form, 400, "Invalid position"},
        {"no position",
         "user=J%C3%BCrgen&pass=s3cret%26%3D&action=vocarra&fn=a.flac&vt=" +
             EncodeVoiceTrack(flac).toStdString(),
         Form, 400, "Invalid position"},
        {"no voice track", "user=J%C3%BCrgen&pass=s3cret%26%3D&action=vocarra&fn=a.flac&pos=2",
         Form, 400, "Missing voice track"},
        {"damaged Base64",
         "user=J%C3%BCrgen&pass=s3cret%26%3D&action=vocarra&fn=a.flac&pos=2&vt=ZkxhQw%3D%3DAAAA",
         Form, 400, "Malformed voice track encoding"},
        {"not a form", UploadForm("J%C3%BCrgen", "s3cret%26%3D", u"a.flac"_s, 2, flac),
         "text/plain", 415, "Expected an application/x-www-form-urlencoded form"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Why);
        ExpectReply(FClient->Post("/", c.Body, c.ContentType.c_str()), c.Status, c.Reply);
    }
    EXPECT_EQ(Elements(Playlist(), u"TRACK"_s).size(), 12u);
}

TEST_F(SimServerTest, LogsEveryRequestWithoutThePassword) {
    Get("action=delete&pos=3");
    FClient->Get("/?user=J%C3%BCrgen&pass=guess&action=playbackinfo");
    Upload(u"take 1.flac"_s, 2, FlacHead(44100, 1, 16, 4410));
    FClient->Get("/favicon.ico");
    const std::vector<std::string> log = Log(4);
    ASSERT_EQ(log.size(), 4u);
    // Each line is written after its reply, on the thread of its connection,
    // so lines of requests on different connections may swap places.
    auto lineWith = [&log](const std::string &AText) {
        for (const std::string &line : log)
            if (line.find(AText) != std::string::npos)
                return line;
        ADD_FAILURE() << "no log line with: " << AText;
        return std::string();
    };
    EXPECT_NE(lineWith("GET action=delete user=Jürgen pos=3 -> 200").find("127.0.0.1:"),
              std::string::npos);
    lineWith("GET action=playbackinfo user=Jürgen -> 403");
    const std::string upload =
        lineWith("POST action=vocarra user=Jürgen pos=2 fn=take 1.flac vt=47 bytes body=");
    EXPECT_NE(upload.find("-> 200"), std::string::npos) << upload;
    lineWith("GET /favicon.ico -> 404");
    for (const std::string &line : log) {
        EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
        EXPECT_EQ(line.find("guess"), std::string::npos) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    }
}

TEST_F(SimServerTest, ServesHttpsWithTheGivenCertificate) {
    QTemporaryDir dir;
    const QString cert = dir.filePath(u"cert.pem"_s), key = dir.filePath(u"key.pem"_s);
    const QString command =
        u"openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
        u"-subj /CN=127.0.0.1 -keyout %1 -out %2 2>/dev/null"_s.arg(key, cert);
    if (std::system(command.toLocal8Bit().constData()) != 0)
        GTEST_SKIP() << "the openssl program is not available";
    Shutdown();
    TSimServerOptions options;
    options.CertFile = cert.toStdString();
    options.KeyFile = key.toStdString();
    Start(MakeDemoPlaylist(3), options);

    httplib::SSLClient client("127.0.0.1", FPort);
    client.set_url_encode(false);
    client.enable_server_certificate_verification(false);
    const httplib::Result result =
        client.Get("/?user=J%C3%BCrgen&pass=s3cret%26%3D&action=getplaylist2");
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(Elements(result->body, u"TRACK"_s).size(), 3u);
    // Plain HTTP gets no playlist from an HTTPS port.
    const httplib::Result plain =
        FClient->Get("/?user=J%C3%BCrgen&pass=s3cret%26%3D&action=getplaylist2");
    EXPECT_TRUE(!plain || plain->status != 200);
}

TEST(SimServer, RefusesMissingCertificateFiles) {
    TSimPlaylist playlist({});
    TSimService service(playlist, "u", "p");
    TSimServerOptions options;
    options.CertFile = "/nonexistent/cert.pem";
    options.KeyFile = "/nonexistent/key.pem";
    EXPECT_FALSE(TSimServer(service, options).IsValid());
}

} // namespace
