// The host with our test plug-ins on real channels of our audio engine: audio
// through one or more instances, the records it fills, handles, removal while
// the audio runs, and the editor's requests handed to the main thread.

#include "vst/VstHost.h"

#include "audio/AudioEngine.h"
#include "vst/VstEffect.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <vector>

#ifdef VOCARRA_HAVE_X11
#include <X11/Xlib.h>
#endif

using namespace Qt::StringLiterals;

namespace {

QString TestPlugin(const char *AName) {
    return QStringLiteral(VOCARRA_TEST_PLUGINS "/test-%1.so").arg(QLatin1StringView(AName));
}

// The gain plug-in's parameter for -6 dB: 0..1 spans -24..+24 dB.
constexpr float MinusSixDb = 0.375f;
const double HalfGain = std::pow(10.0, -6.0 / 20);

// What the stream plays: channel c of frame f, different for every channel
// and along the frames, so that a sample put into the wrong place shows.
float SourceSample(quint64 AFrame, quint32 AChannel) {
    return static_cast<float>((static_cast<int>(AFrame % 97) - 48) / 64.0 *
                              (AChannel % 2 == 0 ? 1.0 : -0.5) / (1 + AChannel / 2));
}

struct TSource {
    quint32 Channels = 2;
    quint64 Frame = 0;
};

quint32 FeedSource(HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
    auto *source = static_cast<TSource *>(AUser);
    auto *samples = static_cast<float *>(ABuffer);
    const quint32 frames = ALength / (source->Channels * sizeof(float));
    for (quint32 f = 0; f < frames; ++f, ++source->Frame)
        for (quint32 c = 0; c < source->Channels; ++c)
            samples[f * source->Channels + c] = SourceSample(source->Frame, c);
    return frames * source->Channels * sizeof(float);
}

// A stream of our engine fed by FeedSource, freed at the end of the test.
class TTestStream {
public:
    explicit TTestStream(quint32 AChannels, quint32 ARate = 48000) {
        FSource.Channels = AChannels;
        FHandle = BASS_StreamCreate(ARate, AChannels, FeedSource, &FSource);
    }
    ~TTestStream() { Free(); }
    TTestStream(const TTestStream &) = delete;
    TTestStream &operator=(const TTestStream &) = delete;
    HSTREAM Handle() const { return FHandle; }
    quint32 Channels() const { return FSource.Channels; }
    quint64 NextFrame() const { return FSource.Frame; }
    void Free() {
        if (FHandle != 0)
            BASS_StreamFree(FHandle);
        FHandle = 0;
    }
    // AFrames frames pulled in one call.
    std::vector<float> Pull(quint32 AFrames) {
        std::vector<float> samples(static_cast<size_t>(AFrames) * FSource.Channels);
        const qint32 got = BASS_ChannelGetData(
            FHandle, samples.data(), static_cast<quint32>(samples.size() * sizeof(float)));
        EXPECT_EQ(got, static_cast<qint32>(samples.size() * sizeof(float)));
        return samples;
    }

private:
    TSource FSource;
    HSTREAM FHandle = 0;
};

// Every sample of ASamples (starting at AFirstFrame of the source) is the
// source's times AFactor.
void ExpectScaled(const std::vector<float> &ASamples, quint32 AChannels, quint64 AFirstFrame,
                  double AFactor) {
    int wrong = 0;
    for (size_t i = 0; i < ASamples.size() && wrong < 5; ++i) {
        const quint64 frame = AFirstFrame + i / AChannels;
        const auto channel = static_cast<quint32>(i % AChannels);
        const double expected = SourceSample(frame, channel) * AFactor;
        if (std::abs(ASamples[i] - expected) > 1e-5) {
            ADD_FAILURE() << "frame " << frame << " channel " << channel << ": " << ASamples[i]
                          << " instead of " << expected;
            ++wrong;
        }
    }
}

class VstHost : public testing::Test {
protected:
    TVstHost FHost{u"/bin/true"_s};
};

// --- Audio ---------------------------------------------------------------------------

struct TAudioCase {
    const char *Plugin;
    quint32 StreamChannels;
    int Instances;
};

void PrintTo(const TAudioCase &ACase, std::ostream *AOut) {
    *AOut << ACase.Plugin << " on " << ACase.StreamChannels << " channels";
}

class VstHostAudio : public testing::TestWithParam<TAudioCase> {};

TEST_P(VstHostAudio, TheGainAtMinusSixDecibelsHalvesEveryChannel) {
    const TAudioCase &c = GetParam();
    TVstHost host(u"/bin/true"_s);
    TTestStream stream(c.StreamChannels);
    ASSERT_NE(stream.Handle(), 0u);
    const quint32 h = host.BASS_VST_ChannelSetDSP(stream.Handle(), TestPlugin(c.Plugin), 0, 49);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(host.InstanceCount(h), c.Instances);
    EXPECT_EQ(host.ChannelOf(h), stream.Handle());

    // 0 dB first: nothing changes.
    ExpectScaled(stream.Pull(300), c.StreamChannels, 0, 1.0);
    ASSERT_TRUE(host.BASS_VST_SetParam(h, 0, MinusSixDb));
    EXPECT_FLOAT_EQ(host.BASS_VST_GetParam(h, 0), MinusSixDb);
    const quint64 from = stream.NextFrame();
    ExpectScaled(stream.Pull(700), c.StreamChannels, from, HalfGain);
    EXPECT_TRUE(host.BASS_VST_ChannelRemoveDSP(stream.Handle(), h));
}

INSTANTIATE_TEST_SUITE_P(
    ChannelMapping, VstHostAudio,
    testing::Values(TAudioCase{"gain", 2, 1},  // stereo plug-in, stereo stream
                    TAudioCase{"mono", 2, 2},  // one instance per channel
                    TAudioCase{"gain", 1, 1},  // its second input gets silence
                    TAudioCase{"gain", 3, 2},  // the second instance takes the third channel
                    TAudioCase{"mono", 6, 6}), // 5.1
    [](const testing::TestParamInfo<TAudioCase> &AInfo) {
        return std::string(AInfo.param.Plugin) == "mono"
                   ? "Mono" + std::to_string(AInfo.param.StreamChannels)
                   : "Stereo" + std::to_string(AInfo.param.StreamChannels);
    });

TEST_F(VstHost, ABufferLongerThanTheLargestBlockIsProcessedWhole) {
    TTestStream stream(2);
    const quint32 h = FHost.BASS_VST_ChannelSetDSP(stream.Handle(), TestPlugin("gain"), 0, 49);
    ASSERT_NE(h, 0u);
    FHost.BASS_VST_SetParam(h, 0, MinusSixDb);
    const quint32 frames = TVstHost::MaxBlockFrames * 4 + 37;
    ExpectScaled(stream.Pull(frames), 2, 0, HalfGain);
}

TEST_F(VstHost, NotANumberAndInfinitiesFromAPluginBecomeSilence) {
    TTestStream stream(2);
    ASSERT_NE(FHost.BASS_VST_ChannelSetDSP(stream.Handle(), TestPlugin("garbage"), 0, 49), 0u);
    const std::vector<float> samples = stream.Pull(64);
    for (size_t i = 0; i < samples.size(); ++i) {
        const size_t frame = i / 2;
        if (frame % 4 == 3)
            EXPECT_FLOAT_EQ(samples[i], SourceSample(frame, i % 2)) << i;
        else
            EXPECT_EQ(samples[i], 0.0f) << i;
    }
}

TEST_F(VstHost, TheParametersAreSetOnEveryInstanceAndReadFromTheFirst) {
    TTestStream stream(2);
    const quint32 h = FHost.BASS_VST_ChannelSetDSP(stream.Handle(), TestPlugin("mono"), 0, 49);
    ASSERT_EQ(FHost.InstanceCount(h), 2);
    EXPECT_EQ(FHost.BASS_VST_GetParamCount(h), 2);
    FHost.BASS_VST_SetParam(h, 1, 0.25f);
    EXPECT_FLOAT_EQ(FHost.BASS_VST_GetParam(h, 1), 0.25f);
    // +6 dB on both channels proves the second instance got the value too.
    FHost.BASS_VST_SetParam(h, 0, 0.625f);
    ExpectScaled(stream.Pull(256), 2, 0, 1 / HalfGain);
}

TEST_F(VstHost, AChannelZeroEffectHasParametersButNoAudio) {
    const quint32 h = FHost.BASS_VST_ChannelSetDSP(0, TestPlugin("mono"), BASS_VST_UNICODE, 49);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(FHost.ChannelOf(h), 0u);
    EXPECT_EQ(FHost.InstanceCount(h), 1);
    EXPECT_EQ(FHost.BASS_VST_GetParamCount(h), 2);
    EXPECT_TRUE(FHost.BASS_VST_SetParam(h, 0, 0.75f));
    EXPECT_FLOAT_EQ(FHost.BASS_VST_GetParam(h, 0), 0.75f);
    // Removed only with the channel it was attached to.
    EXPECT_FALSE(FHost.BASS_VST_ChannelRemoveDSP(12345, h));
    EXPECT_TRUE(FHost.BASS_VST_ChannelRemoveDSP(0, h));
    EXPECT_EQ(FHost.BASS_VST_GetParamCount(h), 0);
}

// --- Loading ---------------------------------------------------------------------------

TEST_F(VstHost, LibrariesWithoutAnEffectGiveNoHandle) {
    for (const QString &path : {TestPlugin("no-entry"), TestPlugin("null-effect"),
                                u"/nonexistent/folder/plugin.so"_s, QString()}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(FHost.BASS_VST_ChannelSetDSP(0, path, 0, 49), 0u);
    }
}

TEST_F(VstHost, LoadsThatFailWithAReasonThrowIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile text(dir.filePath(u"notes.so"_s));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is no library\n");
    text.close();
    struct TCase {
        QString Path;
        const char *Reason;
    };
    const TCase cases[] = {{text.fileName(), "does not load"},
                           {TestPlugin("bad-magic"), "no valid effect"}};
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        try {
            FHost.BASS_VST_ChannelSetDSP(0, c.Path, 0, 49);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error &e) {
            EXPECT_NE(std::strstr(e.what(), c.Reason), nullptr) << e.what();
        }
    }
}

TEST_F(VstHost, HandlesAreNeverGivenTwice) {
    TVstHost other(u"/bin/true"_s);
    std::vector<quint32> seen;
    for (int i = 0; i < 4; ++i) {
        TVstHost &host = i % 2 == 0 ? FHost : other;
        const quint32 h = host.BASS_VST_ChannelSetDSP(0, TestPlugin("gain"), 0, 49);
        ASSERT_NE(h, 0u);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), h), 0) << h;
        seen.push_back(h);
        host.BASS_VST_ChannelRemoveDSP(0, h);
    }
}

// --- Records -----------------------------------------------------------------------------

TEST_F(VstHost, InformationAndParameterRecordsOfAWellBehavedPlugin) {
    const quint32 h = FHost.BASS_VST_ChannelSetDSP(0, TestPlugin("gain"), 0, 49);
    BASS_VST_INFO info;
    ASSERT_TRUE(FHost.BASS_VST_GetInfo(h, &info));
    EXPECT_STREQ(info.vendorName, "Vocarra Tests");
    EXPECT_STREQ(info.effectName, "Test Gain");
    EXPECT_EQ(info.hasEditor, 0u);
    EXPECT_EQ(info.editorWidth, 0u);
    EXPECT_EQ(info.editorHeight, 0u);

    BASS_VST_PARAM_INFO param;
    ASSERT_TRUE(FHost.BASS_VST_GetParamInfo(h, 0, &param));
    EXPECT_STREQ(param.name, "Gain");
    EXPECT_STREQ(param.unit, "dB");
    EXPECT_STREQ(param.display, "0.0");
    EXPECT_FLOAT_EQ(param.defaultValue, 0.5f);
    // A value set reads back as the plug-in shows it; the default stays the
    // value at load.
    FHost.BASS_VST_SetParam(h, 0, MinusSixDb);
    ASSERT_TRUE(FHost.BASS_VST_GetParamInfo(h, 0, &param));
    EXPECT_STREQ(param.display, "-6.0");
    EXPECT_FLOAT_EQ(param.defaultValue, 0.5f);
    ASSERT_TRUE(FHost.BASS_VST_GetParamInfo(h, 1, &param));
    EXPECT_STREQ(param.name, "Mix");
    EXPECT_STREQ(param.unit, "%");
    EXPECT_STREQ(param.display, "100");
    EXPECT_FALSE(FHost.BASS_VST_GetParamInfo(h, 2, &param));
    EXPECT_FALSE(FHost.BASS_VST_GetParamInfo(h, -1, &param));
    EXPECT_FALSE(FHost.BASS_VST_SetParam(h, 2, 0.5f));
}

TEST_F(VstHost, TextsOfAGarbagePluginAreCutAndTerminated) {
    const quint32 h = FHost.BASS_VST_ChannelSetDSP(0, TestPlugin("garbage"), 0, 49);
    ASSERT_NE(h, 0u);
    BASS_VST_INFO info;
    std::memset(static_cast<void *>(&info), 'x', sizeof info);
    ASSERT_TRUE(FHost.BASS_VST_GetInfo(h, &info));
    EXPECT_EQ(std::string(info.effectName), std::string(79, 'E'));
    EXPECT_STREQ(info.vendorName, "Vocarra Tests");
    EXPECT_EQ(info.hasEditor, 1u);
    // It claims an editor of size 0 x 0: unknown.
    EXPECT_EQ(info.editorWidth, 0u);
    EXPECT_EQ(info.editorHeight, 0u);

    EXPECT_EQ(FHost.BASS_VST_GetParamCount(h), VstMaxParams);
    BASS_VST_PARAM_INFO param;
    std::memset(static_cast<void *>(&param), 'x', sizeof param);
    ASSERT_TRUE(FHost.BASS_VST_GetParamInfo(h, 3, &param));
    EXPECT_EQ(std::string(param.name), std::string(15, 'N'));
    EXPECT_EQ(param.unit[15], '\0');
    EXPECT_EQ(param.display[15], '\0');
    // NaN reads 0, a value above the range reads its end.
    EXPECT_EQ(FHost.BASS_VST_GetParam(h, 0), 0.0f);
    EXPECT_EQ(FHost.BASS_VST_GetParam(h, 1), 1.0f);
    EXPECT_EQ(param.defaultValue, 1.0f);
}

TEST_F(VstHost, UnknownHandlesAnswerNothing) {
    const quint32 unknown = 0x7fff0000;
    BASS_VST_INFO info;
    BASS_VST_PARAM_INFO param;
    EXPECT_FALSE(FHost.BASS_VST_GetInfo(unknown, &info));
    EXPECT_FALSE(FHost.BASS_VST_GetParamInfo(unknown, 0, &param));
    EXPECT_EQ(FHost.BASS_VST_GetParamCount(unknown), 0);
    EXPECT_EQ(FHost.BASS_VST_GetParam(unknown, 0), 0.0f);
    EXPECT_FALSE(FHost.BASS_VST_SetParam(unknown, 0, 0.5f));
    EXPECT_FALSE(FHost.BASS_VST_EmbedEditor(unknown, 1));
    EXPECT_FALSE(FHost.BASS_VST_ChannelRemoveDSP(0, unknown));
    FHost.VSTEditorIdle(unknown);
}

// --- Removal -----------------------------------------------------------------------------

TEST_F(VstHost, RemovingWhileTheAudioRunsThenFreeingIsSafe) {
    TTestStream stream(2);
    std::atomic<bool> stop{false};
    std::atomic<int> buffers{0};
    std::thread audio([&] {
        std::vector<float> samples(512 * 2);
        while (!stop.load()) {
            BASS_ChannelGetData(stream.Handle(), samples.data(),
                                static_cast<quint32>(samples.size() * sizeof(float)));
            buffers.fetch_add(1);
        }
    });
    for (int round = 0; round < 40; ++round) {
        const quint32 h = FHost.BASS_VST_ChannelSetDSP(
            stream.Handle(), TestPlugin(round % 2 ? "mono" : "gain"), 0, 49);
        ASSERT_NE(h, 0u);
        // Let the audio thread run through the effect at least once.
        const int seen = buffers.load();
        while (buffers.load() < seen + 2)
            std::this_thread::yield();
        EXPECT_TRUE(FHost.BASS_VST_ChannelRemoveDSP(stream.Handle(), h));
    }
    stop = true;
    audio.join();
}

TEST_F(VstHost, AnEffectOfAFreedStreamIsStillRemovedAndFreed) {
    std::optional<TTestStream> stream(std::in_place, 2);
    const HSTREAM channel = stream->Handle();
    const quint32 h = FHost.BASS_VST_ChannelSetDSP(channel, TestPlugin("gain"), 0, 49);
    ASSERT_NE(h, 0u);
    stream->Pull(100);
    stream.reset();
    EXPECT_TRUE(FHost.BASS_VST_ChannelRemoveDSP(channel, h));
    EXPECT_EQ(FHost.InstanceCount(h), 0);
}

TEST_F(VstHost, TheHostFreesWhatIsStillAttachedWhenItGoes) {
    TTestStream stream(2);
    {
        TVstHost host(u"/bin/true"_s);
        ASSERT_NE(host.BASS_VST_ChannelSetDSP(stream.Handle(), TestPlugin("gain"), 0, 49), 0u);
        host.BASS_VST_ChannelSetDSP(0, TestPlugin("gain"), 0, 49);
    }
    // The callback is gone with the host: the audio passes unchanged.
    ExpectScaled(stream.Pull(200), 2, 0, 1.0);
}

// --- Bridge and windows -------------------------------------------------------------------

TEST(VstHostBridge, TheBridgeIsTheScanningHelperThatCanBeRun) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile plain(dir.filePath(u"vocarra-vstscan"_s));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("#!/bin/sh\n");
    plain.close();
    struct TCase {
        QString Path;
        bool Loads;
    };
    const TCase cases[] = {{dir.filePath(u"missing"_s), false},
                           {plain.fileName(), false}, // not executable
                           {dir.path(), false},       // a folder
                           {QString(), false},
                           {u"/bin/true"_s, true}};
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        TVstHost host(c.Path);
        EXPECT_FALSE(host.VSTBridgeLoaded());
        EXPECT_EQ(host.LoadVSTBridge(), c.Loads);
        EXPECT_EQ(host.VSTBridgeLoaded(), c.Loads);
    }
    ASSERT_TRUE(plain.setPermissions(plain.permissions() | QFileDevice::ExeOwner));
    TVstHost host(plain.fileName());
    EXPECT_TRUE(host.LoadVSTBridge());
}

TEST_F(VstHost, TheWindowFreerIsCalledWhenInstalled) {
    TDSPItemC item;
    FHost.FreeVSTWindow(item); // none installed: nothing
    int freed = 0;
    FHost.SetVSTWindowFreer([&](TDSPItemC &AItem) {
        EXPECT_EQ(&AItem, &item);
        ++freed;
    });
    FHost.FreeVSTWindow(item);
    EXPECT_EQ(freed, 1);
}

// Processes events until ADone or a generous deadline.
void ProcessEventsUntil(const std::function<bool()> &ADone) {
    QDeadlineTimer deadline(30000);
    while (!ADone() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

TEST(VstHostEditor, AResizeRequestReachesTheHandlerOnTheMainThreadBounded) {
    int argc = 1;
    char name[] = "test";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    TVstHost host(u"/bin/true"_s);
    // The garbage plug-in needs no real window: it only asks for a huge size.
    const quint32 h = host.BASS_VST_ChannelSetDSP(0, TestPlugin("garbage"), 0, 49);
    struct TRequest {
        quint32 Handle;
        int Width;
        int Height;
        bool MainThread;
    };
    std::vector<TRequest> requests;
    host.SetVSTEditorResize([&](quint32 AHandle, int AWidth, int AHeight) {
        requests.push_back({AHandle, AWidth, AHeight, QThread::currentThread() == app.thread()});
    });
    std::thread other([&] { EXPECT_TRUE(host.BASS_VST_EmbedEditor(h, 1)); });
    other.join();
    ProcessEventsUntil([&] { return !requests.empty(); });
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Handle, h);
    EXPECT_EQ(requests[0].Width, VstMaxEditorSide);
    EXPECT_EQ(requests[0].Height, VstMaxEditorSide);
    EXPECT_TRUE(requests[0].MainThread);
    EXPECT_TRUE(host.BASS_VST_EmbedEditor(h, 0));
    host.VSTEditorIdle(h);
}

TEST(VstHostEditor, TheEditorPluginOpensInARealWindowAndCloses) {
#ifdef VOCARRA_HAVE_X11
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "no X server ($DISPLAY is not set)";
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr)
        GTEST_SKIP() << "the X server of $DISPLAY does not answer";
    const Window parent =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 320, 200, 0, 0, 0);
    XFlush(display);
    int argc = 1;
    char name[] = "test";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    {
        TVstHost host(u"/bin/true"_s);
        const quint32 h = host.BASS_VST_ChannelSetDSP(0, TestPlugin("editor"), 0, 49);
        ASSERT_NE(h, 0u);
        BASS_VST_INFO info;
        ASSERT_TRUE(host.BASS_VST_GetInfo(h, &info));
        EXPECT_EQ(info.hasEditor, 1u);
        EXPECT_EQ(info.editorWidth, 320u);
        EXPECT_EQ(info.editorHeight, 200u);
        std::vector<std::pair<int, int>> sizes;
        host.SetVSTEditorResize(
            [&](quint32, int AWidth, int AHeight) { sizes.emplace_back(AWidth, AHeight); });
        EXPECT_TRUE(host.BASS_VST_EmbedEditor(h, parent));
        ProcessEventsUntil([&] { return !sizes.empty(); });
        ASSERT_EQ(sizes.size(), 1u);
        EXPECT_EQ(sizes[0], std::make_pair(400, 300));
        host.VSTEditorIdle(h);
        EXPECT_TRUE(host.BASS_VST_EmbedEditor(h, 0));
        // Removing with the editor open closes it first.
        EXPECT_TRUE(host.BASS_VST_EmbedEditor(h, parent));
        EXPECT_TRUE(host.BASS_VST_ChannelRemoveDSP(0, h));
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
#else
    GTEST_SKIP() << "built without X11";
#endif
}

} // namespace
