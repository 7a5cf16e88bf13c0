// Normalised copies of sound files: they land on the target within half a
// LU with the true peak under the ceiling, the plan says when a limiter was
// needed, the original stays as it was, and failures are told clearly.

#include "LoudnessSignals.h"
#include "audio/SoundFile.h"
#include "loudness/Normalise.h"
#include "support/QStringPrinter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

using namespace Qt::StringLiterals;

namespace {

constexpr double Rate = 48000;

QByteArray Hash(const QString &AFile) {
    QFile File(AFile);
    if (!File.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(File.readAll(), QCryptographicHash::Sha256);
}

std::vector<float> ReadAll(const QString &AFile, TSoundFileInfo *AInfo = nullptr) {
    TSoundFileReader Reader;
    EXPECT_TRUE(Reader.Open(AFile));
    if (AInfo)
        *AInfo = Reader.Info();
    std::vector<float> Out(std::size_t(Reader.Info().FFrames) * Reader.Info().FChannels);
    EXPECT_EQ(Reader.ReadFrames(Out.data(), Reader.Info().FFrames), Reader.Info().FFrames);
    return Out;
}

class NormaliseFileTest : public testing::Test {
protected:
    QString Path(const char *AName) const { return FDir.filePath(QString::fromUtf8(AName)); }

    QString Write(const char *AName, const std::vector<float> &ASamples, quint32 AChannels,
                  int AFormat = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
        const QString File = Path(AName);
        TSoundFileWriter Writer;
        TSoundFileInfo Info;
        Info.FRate = quint32(Rate);
        Info.FChannels = AChannels;
        Info.FFormat = AFormat;
        QString Error;
        EXPECT_TRUE(Writer.Open(File, Info, &Error)) << Error.toStdString();
        EXPECT_TRUE(Writer.WriteFrames(ASamples.data(), qint64(ASamples.size() / AChannels)));
        EXPECT_TRUE(Writer.Close(&Error)) << Error.toStdString();
        return File;
    }

    QTemporaryDir FDir;
};

enum TSignal { sgSpeech, sgSpikySpeech, sgTone };

struct TNormaliseCase {
    const char *FName;
    quint32 FChannels;
    TSignal FSignal;
    double FLevel;
    int FFormat;
    TLoudnessPreset FPreset;
    bool FLimiter;
};

class NormaliseFileTarget : public NormaliseFileTest,
                            public testing::WithParamInterface<TNormaliseCase> {};

TEST_P(NormaliseFileTarget, LandsOnTheTargetUnderTheCeiling) {
    const TNormaliseCase &Case = GetParam();
    const std::vector<float> Signal =
        Case.FSignal == sgTone
            ? Sine(Rate, std::vector<bool>(Case.FChannels, true), 997, Case.FLevel, 10)
            : SpeechLike(Rate, Case.FChannels, 20, Case.FLevel, Case.FSignal == sgSpikySpeech);
    const QString In = Write("in.sound", Signal, Case.FChannels, Case.FFormat);
    const QByteArray Original = Hash(In);
    const TLoudnessTarget Target = LoudnessTarget(Case.FPreset);
    const QString Out = Path("out.sound");

    std::vector<double> Progress;
    const TNormaliseResult Result =
        NormaliseFile(In, Out, Target, [&](double AFraction) { Progress.push_back(AFraction); });
    ASSERT_TRUE(Result.FOk) << Result.FError.toStdString();
    SCOPED_TRACE(Result.FPlan.FText.toStdString() + ", measured " +
                 std::to_string(Result.FBefore.FIntegratedLufs) + " LUFS, " +
                 std::to_string(Result.FBefore.FTruePeakDb) + " dBTP");
    EXPECT_EQ(Result.FPlan.FLimiter, Case.FLimiter) << Result.FPlan.FText.toStdString();
    EXPECT_EQ(Result.FPlan.FText.contains(u"with a limiter"), Case.FLimiter);
    // With the limiter the gain makes up for the loudness it takes away.
    const double Needed = Target.FIntegratedLufs - Result.FBefore.FIntegratedLufs;
    if (Case.FLimiter)
        EXPECT_GE(Result.FPlan.FGainDb, Needed);
    else
        EXPECT_NEAR(Result.FPlan.FGainDb, Needed, 1e-9);

    // Measured again from the file, by the library directly.
    TSoundFileInfo Info;
    const std::vector<float> Written = ReadAll(Out, &Info);
    EXPECT_EQ(Info.FFormat, Case.FFormat);
    EXPECT_EQ(Info.FChannels, Case.FChannels);
    EXPECT_EQ(Info.FFrames, Result.FBefore.FFrames);
    const TReference After = Reference(Written, Case.FChannels, 48000);
    EXPECT_NEAR(After.FIntegrated, Target.FIntegratedLufs, 0.5);
    EXPECT_LE(After.FTruePeakDb, Target.FTruePeakCeilingDb);
    EXPECT_NEAR(Result.FAfter.FIntegratedLufs, After.FIntegrated, 0.05);
    EXPECT_NEAR(Result.FAfter.FTruePeakDb, After.FTruePeakDb, 0.05);

    EXPECT_EQ(Hash(In), Original);
    ASSERT_FALSE(Progress.empty());
    EXPECT_TRUE(std::is_sorted(Progress.begin(), Progress.end()));
    EXPECT_EQ(Progress.back(), 1.0);
}

constexpr int WavFloat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
constexpr int Flac16 = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;

INSTANTIATE_TEST_SUITE_P(Targets, NormaliseFileTarget,
                         testing::Values(
                             // Speech of this crest needs the limiter at -16 LUFS only.
                             TNormaliseCase{"SpeechMonoTo16", 1, sgSpeech, 0.2, WavFloat,
                                            TLoudnessPreset::SpokenWord, true},
                             TNormaliseCase{"SpeechStereoTo19", 2, sgSpeech, 0.2, Flac16,
                                            TLoudnessPreset::Quieter, false},
                             TNormaliseCase{"SpeechMonoTo23", 1, sgSpeech, 0.2, Flac16,
                                            TLoudnessPreset::Broadcast, false},
                             TNormaliseCase{"LoudSpeechStereoTo23", 2, sgSpeech, 0.8, WavFloat,
                                            TLoudnessPreset::Broadcast, false},
                             TNormaliseCase{"ToneStereoTo16", 2, sgTone, 0.05, Flac16,
                                            TLoudnessPreset::SpokenWord, false},
                             TNormaliseCase{"SpikySpeechMonoTo16", 1, sgSpikySpeech, 0.08, Flac16,
                                            TLoudnessPreset::SpokenWord, true},
                             TNormaliseCase{"SpikySpeechStereoTo19", 2, sgSpikySpeech, 0.08,
                                            WavFloat, TLoudnessPreset::Quieter, true},
                             TNormaliseCase{"SpikySpeechMonoTo23", 1, sgSpikySpeech, 0.08, Flac16,
                                            TLoudnessPreset::Broadcast, true}),
                         [](const auto &AInfo) { return std::string(AInfo.param.FName); });

TEST_F(NormaliseFileTest, MeasuresAFile) {
    const std::vector<float> Signal = Sine(Rate, {true, true}, 997, 0.1, 4);
    const QString File = Write("sine.wav", Signal, 2);
    QString Error;
    const std::optional<TLoudnessMeasurement> Measured = MeasureFile(File, &Error);
    ASSERT_TRUE(Measured) << Error.toStdString();
    EXPECT_NEAR(Measured->FIntegratedLufs, -20.0, 0.05);
    EXPECT_NEAR(Measured->FTruePeakDb, -20.0, 0.1);
    EXPECT_EQ(Measured->FFrames, 4 * 48000);
    EXPECT_EQ(Measured->FRate, 48000u);
    EXPECT_EQ(Measured->FChannels, 2u);
}

TEST_F(NormaliseFileTest, CopiesSilenceAsItIsWithoutNaN) {
    const QString In = Write("silence.wav", Silence(Rate, 1, 2), 1);
    const TNormaliseResult Result = NormaliseFile(In, Path("out.wav"), TLoudnessTarget());
    ASSERT_TRUE(Result.FOk) << Result.FError.toStdString();
    EXPECT_TRUE(Result.FPlan.FSilent);
    EXPECT_EQ(Result.FPlan.FGainDb, 0);
    EXPECT_FALSE(std::isnan(Result.FBefore.FIntegratedLufs));
    EXPECT_FALSE(std::isnan(Result.FAfter.FTruePeakDb));
    const std::vector<float> Written = ReadAll(Path("out.wav"));
    EXPECT_EQ(Written.size(), std::size_t(2 * Rate));
    EXPECT_TRUE(std::all_of(Written.begin(), Written.end(), [](float AX) { return AX == 0; }));
}

TEST_F(NormaliseFileTest, TellsWhenTheInputCannotBeRead) {
    QFile Text(Path("notes.wav"));
    ASSERT_TRUE(Text.open(QIODevice::WriteOnly));
    Text.write("not a sound file");
    Text.close();
    for (const QString &In : {Path("missing.wav"), Path("notes.wav")}) {
        const TNormaliseResult Result = NormaliseFile(In, Path("out.wav"), TLoudnessTarget());
        EXPECT_FALSE(Result.FOk);
        EXPECT_FALSE(Result.FCancelled);
        EXPECT_TRUE(Result.FError.startsWith(u"Cannot open "_s + In + u": "_s))
            << Result.FError.toStdString();
        EXPECT_FALSE(QFile::exists(Path("out.wav")));
        QString Error;
        EXPECT_FALSE(MeasureFile(In, &Error));
        EXPECT_TRUE(Error.startsWith(u"Cannot open "_s + In)) << Error.toStdString();
    }
}

TEST_F(NormaliseFileTest, TellsWhenTheOutputCannotBeWritten) {
    const QString In = Write("voice.wav", SpeechLike(Rate, 1, 2, 0.05, false), 1);
    const QString Out = Path("no-such-folder/out.wav");
    const TNormaliseResult Result = NormaliseFile(In, Out, TLoudnessTarget());
    EXPECT_FALSE(Result.FOk);
    EXPECT_TRUE(Result.FError.contains(Out)) << Result.FError.toStdString();
}

TEST_F(NormaliseFileTest, NeverReplacesTheOriginal) {
    const QString In = Write("voice.wav", SpeechLike(Rate, 1, 2, 0.05, false), 1);
    const QByteArray Original = Hash(In);
    const TNormaliseResult Result = NormaliseFile(In, In, TLoudnessTarget());
    EXPECT_FALSE(Result.FOk);
    EXPECT_EQ(Result.FError, u"The normalised copy cannot replace the original "_s + In);
    EXPECT_EQ(Hash(In), Original);
}

TEST_F(NormaliseFileTest, StopsWhenCancelledAndLeavesNoCopy) {
    const QString In = Write("voice.wav", SpeechLike(Rate, 1, 10, 0.05, false), 1);
    const QString Out = Path("out.wav");
    // Cancelled while measuring, and while writing.
    for (const double CancelAt : {0.2, 0.7}) {
        std::atomic<bool> Cancel{false};
        const TNormaliseResult Result = NormaliseFile(
            In, Out, TLoudnessTarget(),
            [&](double AFraction) {
                if (AFraction >= CancelAt)
                    Cancel = true;
            },
            &Cancel);
        EXPECT_FALSE(Result.FOk);
        EXPECT_TRUE(Result.FCancelled);
        EXPECT_EQ(Result.FError, u"Cancelled"_s);
        EXPECT_FALSE(QFile::exists(Out));
        EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files).size(), 1)
            << "a temporary file was left";
    }
}

} // namespace
