// Sound files: file streams of the engine and the writer that keeps the
// format of its model.

#include "AudioSignals.h"
#include "audio/SoundFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

class AudioSoundFile : public testing::Test {
protected:
    QString Path(const char *AName) const { return FDir.filePath(QString::fromUtf8(AName)); }

    // Writes AFrames frames of a known pattern with libsndfile itself and
    // returns the floats a reader must get back. Integer formats get integer
    // samples, so the expected floats are exact (sample / full scale).
    std::vector<float> WriteWithLibrary(const QString &AFile, int AFormat, int ARate, int AChannels,
                                        int AFrames) {
        std::vector<float> Samples(std::size_t(AFrames) * AChannels);
        std::vector<int> Integers(Samples.size());
        for (std::size_t I = 0; I < Samples.size(); ++I) {
            const int Step = int(I * 7919 % 2001) - 1000; // in 1/1024 of full scale
            Integers[I] = Step * (1 << 21);
            Samples[I] = float(Step) / 1024;
        }
        SF_INFO Info{};
        Info.samplerate = ARate;
        Info.channels = AChannels;
        Info.format = AFormat;
        SNDFILE *File = sf_open(QFile::encodeName(AFile).constData(), SFM_WRITE, &Info);
        EXPECT_NE(File, nullptr) << sf_strerror(nullptr);
        if (!File)
            return {};
        if ((AFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT)
            EXPECT_EQ(sf_writef_float(File, Samples.data(), AFrames), AFrames);
        else
            EXPECT_EQ(sf_writef_int(File, Integers.data(), AFrames), AFrames);
        sf_close(File);
        return Samples;
    }

    QTemporaryDir FDir;
};

TEST_F(AudioSoundFile, FileStreamGivesTheFilesSamples) {
    struct TCase {
        const char *FName;
        int FFormat, FRate, FChannels, FFrames;
    };
    const TCase Cases[] = {
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 10000},
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 5000},
        {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 2, 7001},
        {"pcm24-6ch.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 96000, 6, 3000},
    };
    for (const TCase &Case : Cases) {
        SCOPED_TRACE(Case.FName);
        const QString File = Path(Case.FName);
        const auto Written =
            WriteWithLibrary(File, Case.FFormat, Case.FRate, Case.FChannels, Case.FFrames);
        QString Error;
        const HSTREAM H = BASS_StreamCreateFile(File, &Error);
        ASSERT_NE(H, 0u) << Error.toStdString();
        BASS_CHANNELINFO Info;
        ASSERT_TRUE(BASS_ChannelGetInfo(H, Info));
        EXPECT_EQ(Info.freq, quint32(Case.FRate));
        EXPECT_EQ(Info.chans, quint32(Case.FChannels));
        // Odd buffer size so the end falls inside a buffer.
        const auto Read = PullFrames(H, Info.chans, Case.FFrames + 1000, 999);
        EXPECT_EQ(Read, Written);
        float Buffer[64];
        EXPECT_EQ(BASS_ChannelGetData(H, Buffer, sizeof Buffer), 0) << "ended";
        EXPECT_TRUE(BASS_StreamFree(H));
    }
}

TEST_F(AudioSoundFile, EffectsRunOnFileStreams) {
    WriteWithLibrary(Path("a.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 4800);
    const HSTREAM Plain = BASS_StreamCreateFile(Path("a.wav"));
    const HSTREAM Louder = BASS_StreamCreateFile(Path("a.wav"));
    const HFX Fx = BASS_ChannelSetFX(Louder, BASS_FX_BFX_COMPRESSOR2, 0);
    BASS_BFX_COMPRESSOR2 P;
    P.fGain = float(20 * std::log10(2.0)); // ratio 1: output gain only, x2
    ASSERT_TRUE(BASS_FXSetParameters(Fx, &P));
    const auto A = PullFrames(Plain, 2, 4800), B = PullFrames(Louder, 2, 4800);
    ASSERT_EQ(A.size(), B.size());
    for (std::size_t I = 0; I < A.size(); ++I)
        ASSERT_NEAR(B[I], 2 * A[I], 1e-6) << I;
    BASS_StreamFree(Plain);
    BASS_StreamFree(Louder);
}

TEST_F(AudioSoundFile, MissingOrBrokenFilesAreRefusedWithAReason) {
    QFile Junk(Path("junk.wav"));
    ASSERT_TRUE(Junk.open(QIODevice::WriteOnly));
    Junk.write("RIFF not really a wave file at all");
    Junk.close();
    for (const QString &File : {Path("missing.wav"), Path("junk.wav"), FDir.path()}) {
        SCOPED_TRACE(File.toStdString());
        QString Error;
        EXPECT_EQ(BASS_StreamCreateFile(File, &Error), 0u);
        EXPECT_FALSE(Error.isEmpty());
        EXPECT_EQ(BASS_StreamCreateFile(File), 0u) << "no error text wanted";
    }
}

TEST_F(AudioSoundFile, NonAsciiFileNames) {
    const QString File = FDir.filePath(QStringLiteral(u"Stimme \u00e4\u00f6 \u65e5\u672c.wav"));
    const auto Written = WriteWithLibrary(File, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 100);
    const HSTREAM H = BASS_StreamCreateFile(File);
    ASSERT_NE(H, 0u);
    EXPECT_EQ(PullFrames(H, 1, 200), Written);
    BASS_StreamFree(H);
}

TEST_F(AudioSoundFile, WriterKeepsTheFormatOfItsModel) {
    struct TCase {
        const char *FName;
        int FFormat, FRate, FChannels;
    };
    const TCase Cases[] = {
        {"m.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2},
        {"m24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 48000, 1},
        {"m.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 32000, 2},
    };
    for (const TCase &Case : Cases) {
        SCOPED_TRACE(Case.FName);
        const QString In = Path(Case.FName);
        const QString Out = Path("out") + QString::fromUtf8(Case.FName);
        const auto Samples = WriteWithLibrary(In, Case.FFormat, Case.FRate, Case.FChannels, 3000);
        TSoundFileReader Reader;
        ASSERT_TRUE(Reader.Open(In));
        TSoundFileWriter Writer;
        QString Error;
        ASSERT_TRUE(Writer.Open(Out, Reader.Info(), &Error)) << Error.toStdString();
        std::vector<float> Buffer(1000 * std::size_t(Case.FChannels));
        for (qint64 N; (N = Reader.ReadFrames(Buffer.data(), 1000)) > 0;)
            ASSERT_TRUE(Writer.WriteFrames(Buffer.data(), N, &Error)) << Error.toStdString();
        ASSERT_TRUE(Writer.Close(&Error)) << Error.toStdString();

        TSoundFileReader Back;
        ASSERT_TRUE(Back.Open(Out));
        EXPECT_EQ(Back.Info().FFormat, Case.FFormat);
        EXPECT_EQ(Back.Info().FRate, quint32(Case.FRate));
        EXPECT_EQ(Back.Info().FChannels, quint32(Case.FChannels));
        EXPECT_EQ(Back.Info().FFrames, 3000);
        std::vector<float> Copy(Samples.size() + 8);
        EXPECT_EQ(Back.ReadFrames(Copy.data(), 3001), 3000);
        Copy.resize(Samples.size());
        EXPECT_EQ(Copy, Samples);
    }
}

TEST_F(AudioSoundFile, WriterClipsInsteadOfWrappingAround) {
    TSoundFileWriter Writer;
    ASSERT_TRUE(Writer.Open(Path("loud.wav"), {8000, 1, 0, SF_FORMAT_WAV | SF_FORMAT_PCM_16}));
    const float Loud[] = {1.5f, -2.0f, 0.5f};
    ASSERT_TRUE(Writer.WriteFrames(Loud, 3));
    ASSERT_TRUE(Writer.Close());
    TSoundFileReader Reader;
    ASSERT_TRUE(Reader.Open(Path("loud.wav")));
    float Back[3];
    ASSERT_EQ(Reader.ReadFrames(Back, 3), 3);
    EXPECT_GT(Back[0], 0.99f);
    EXPECT_LE(Back[1], -0.99f);
    EXPECT_FLOAT_EQ(Back[2], 0.5f);
}

TEST_F(AudioSoundFile, WriterRefusesWhatItCannotWrite) {
    TSoundFileWriter Writer;
    QString Error;
    EXPECT_FALSE(Writer.Open(Path("x.wav"), {0, 2, 0, SF_FORMAT_WAV | SF_FORMAT_PCM_16}, &Error));
    EXPECT_FALSE(Error.isEmpty());
    EXPECT_FALSE(Writer.Open(Path("x.flac"), {44100, 2, 0, SF_FORMAT_FLAC | SF_FORMAT_FLOAT}));
    EXPECT_FALSE(Writer.Open(Path("no/such/folder/x.wav"),
                             {44100, 2, 0, SF_FORMAT_WAV | SF_FORMAT_PCM_16}, &Error));
    const float One = 0;
    EXPECT_FALSE(Writer.WriteFrames(&One, 1, &Error)) << "not open";
}

} // namespace
