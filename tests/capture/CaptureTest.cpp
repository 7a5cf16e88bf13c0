// Capture from a private sound server with a sine source: what the capture
// opens, where it falls back, and the takes the pipeline writes, read back
// from their files.

#include "capture/PulseCapture.h"
#include "capture/SineAnalysis.h"
#include "capture/TakePipeline.h"
#include "dsp/DSPItems.h"
#include "linux_audio/LinuxSoundServer.h"
#include "station/SystemIni.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr double SineHz = 1000;
// module-sine-source plays its sine at half of full scale.
constexpr double SineAmplitude = 0.5;

class Capture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        FServer = new TTestSoundServer(
            {u"module-sine-source source_name=vocarra_test_sine rate=48000 frequency=1000"_s});
    }
    static void TearDownTestSuite() {
        delete FServer;
        FServer = nullptr;
    }
    void SetUp() override {
        if (!FServer->Running())
            GTEST_SKIP() << FServer->Reason().toStdString();
        ASSERT_TRUE(FDir.isValid());
    }

    TCaptureRequest Request(const QString &ADevice, quint32 AChannels = 1) const {
        TCaptureRequest request;
        request.FDevice = ADevice;
        request.FChannels = AChannels;
        request.FServer = FServer->Address();
        return request;
    }

    TTakePipelineOptions Take(const TCaptureRequest &ARequest, qint64 AFrames) const {
        TTakePipelineOptions options;
        options.FCapture = ARequest;
        options.FTake.FTakeName = u"Test take"_s;
        options.FTake.FJournalFolder = FDir.filePath(u"journal"_s);
        options.FTake.FTakesFolder = FDir.filePath(u"takes"_s);
        options.FFrames = AFrames;
        return options;
    }

    // Records AFrames through a pipeline; the take's result.
    static TTakeResult Record(TTakePipelineOptions AOptions) {
        TTakePipeline pipeline(std::make_unique<TPulseCapture>(), std::move(AOptions));
        QString error;
        EXPECT_TRUE(pipeline.Start(error)) << error.toStdString();
        EXPECT_TRUE(pipeline.WaitFinished()) << pipeline.Failure().toStdString();
        return pipeline.Stop();
    }

    static TTestSoundServer *FServer;
    QTemporaryDir FDir;
};

TTestSoundServer *Capture::FServer = nullptr;

TEST_F(Capture, OpensTheNamedSourceAndDeliversItsSamples) {
    TSampleRing ring(48000);
    TDataReady ready{0};
    TPulseCapture capture;
    QString error;
    ASSERT_TRUE(capture.Start(Request(u"vocarra_test_sine"_s), ring, ready, error))
        << error.toStdString();
    EXPECT_EQ(capture.OpenedDevice(), u"vocarra_test_sine"_s);
    EXPECT_TRUE(capture.Warning().isEmpty()) << capture.Warning().toStdString();
    // Waits for the first blocks as a consumer does: on the signal.
    for (std::uint32_t seen = ready.load(); ring.Available() < 4800; seen = ready.load())
        ready.wait(seen);
    EXPECT_FALSE(capture.Failed());
    capture.Stop();
    capture.Stop(); // twice is harmless
    // The samples are the sine's: neither silence nor garbage.
    std::vector<float> samples(4800);
    ASSERT_EQ(ring.Pop(samples.data(), samples.size()), samples.size());
    EXPECT_NEAR(Rms(samples), SineAmplitude / std::sqrt(2.0), 0.01);
}

TEST_F(Capture, AMissingDeviceFallsBackToTheDefaultInputWithAWarning) {
    const std::optional<QString> fallback = FServer->Pactl({u"get-default-source"_s});
    ASSERT_TRUE(fallback);
    TSampleRing ring(48000);
    TDataReady ready{0};
    TPulseCapture capture;
    QString error;
    ASSERT_TRUE(capture.Start(Request(u"no_such_microphone"_s), ring, ready, error))
        << error.toStdString();
    EXPECT_EQ(capture.OpenedDevice(), *fallback);
    EXPECT_TRUE(capture.Warning().contains(u"no_such_microphone"_s))
        << capture.Warning().toStdString();
    EXPECT_TRUE(capture.Warning().contains(u"default input"_s)) << capture.Warning().toStdString();
}

TEST_F(Capture, NoSoundServerIsAClearError) {
    TSampleRing ring(4800);
    TDataReady ready{0};
    TPulseCapture capture;
    TCaptureRequest request = Request(QString());
    request.FServer = "unix:" + QFile::encodeName(FDir.filePath(u"no-server"_s));
    QString error;
    EXPECT_FALSE(capture.Start(request, ring, ready, error));
    EXPECT_TRUE(error.startsWith(u"The sound server cannot be reached"_s)) << error.toStdString();
    capture.Stop();
}

TEST_F(Capture, ATakeOfTheSineHasItsFrequencyLevelAndLength) {
    struct TCase {
        const char *FName;
        quint32 FChannels;
    };
    const TCase cases[] = {{"mono", 1}, {"stereo", 2}};
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.FName);
        const TTakeResult result =
            Record(Take(Request(u"vocarra_test_sine"_s, c.FChannels), 48000));
        ASSERT_EQ(result.FState, tsFinished) << result.FError.toStdString();
        EXPECT_EQ(result.FFrames, 48000);
        const TTakeSamples take = ReadTake(result.FFileName);
        EXPECT_EQ(take.FRate, 48000);
        EXPECT_EQ(take.FChannels, int(c.FChannels));
        EXPECT_EQ(take.Frames(), 48000);
        const std::vector<float> samples = Channel0(take, 4800);
        EXPECT_NEAR(SineFrequency(samples, take.FRate), SineHz, SineHz * 0.005);
        EXPECT_NEAR(Rms(samples), SineAmplitude / std::sqrt(2.0), 0.01);
    }
}

TEST_F(Capture, TheChainProcessesTheTakeAsTheEngineDoes) {
    // 20 * log10(1/2): half the amplitude, as the gain stage computes it.
    TDSPItemsC chain;
    TDSPItemC &gain = chain.Add();
    gain.T = dspIntegrated;
    gain.IntDSPKind = dspGain;
    gain.State = psActive;
    gain.Params = {u"-6.0206"_s};
    const TSystemIni settings;
    TTakePipelineOptions options = Take(Request(u"vocarra_test_sine"_s), 24000);
    options.FChain = &chain;
    options.FSettings = &settings;
    const TTakeResult result = Record(std::move(options));
    ASSERT_EQ(result.FState, tsFinished) << result.FError.toStdString();
    const std::vector<float> samples = Channel0(ReadTake(result.FFileName), 4800);
    EXPECT_NEAR(Rms(samples), SineAmplitude / 2 / std::sqrt(2.0), 0.005);
    EXPECT_NEAR(SineFrequency(samples, 48000), SineHz, SineHz * 0.005);
}

TEST_F(Capture, TheMetersFollowTheTake) {
    TTakePipeline pipeline(std::make_unique<TPulseCapture>(),
                           Take(Request(u"vocarra_test_sine"_s), 48000));
    QString error;
    ASSERT_TRUE(pipeline.Start(error)) << error.toStdString();
    ASSERT_TRUE(pipeline.WaitFinished());
    const TTakeResult result = pipeline.Stop();
    ASSERT_EQ(result.FState, tsFinished);
    const TLoudnessReading reading = pipeline.Reading();
    EXPECT_EQ(reading.FFrames, 48000);
    // A 1 kHz sine at -6 dBFS in one channel: -3.01 for the one channel,
    // -6.02 for the level (the weighting is flat there).
    EXPECT_NEAR(reading.FIntegratedLufs, -3.01 - 6.02, 0.2);
    EXPECT_NEAR(reading.FTruePeakDb, -6.02, 0.2);
    EXPECT_EQ(reading.FClips, 0);
    EXPECT_EQ(pipeline.CaptureOverruns(), 0U);
}

} // namespace
