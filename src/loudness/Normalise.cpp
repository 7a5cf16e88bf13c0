#include "loudness/Normalise.h"

#include "audio/SoundFile.h"
#include "config/AtomicFile.h"
#include "config/ConfigErrors.h"
#include "loudness/Ebur128State.h"
#include "loudness/TruePeakLimiter.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 BlockFrames = 4096;
// A file is measured exactly: block by block, not through the histogram the
// meters use to stay within fixed memory.
constexpr int FileMode = EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK;

bool Cancelled(const std::atomic<bool> *ACancel) {
    return ACancel && ACancel->load(std::memory_order_relaxed);
}

// Reports progress through a pass over AFrames frames, mapped to AFrom..ATo.
class TPassProgress {
public:
    TPassProgress(const TLoudnessProgress &AProgress, double AFrom, double ATo)
        : FProgress(AProgress), FFrom(AFrom), FTo(ATo) {}
    // The frames the file's header gives; none (unknown) reports only the end.
    void Start(qint64 AFrames) { FFrames = AFrames; }
    void Done(qint64 AFrames) const {
        if (FProgress && FFrames > 0)
            FProgress(FFrom + (FTo - FFrom) * std::min(1.0, double(AFrames) / double(FFrames)));
    }
    void Finished() const { Finished(FTo); }
    void Finished(double AAt) const {
        if (FProgress)
            FProgress(AAt);
    }
    // The next pass runs from where this one ended over half of what is left
    // up to 1.
    void Narrow() {
        FFrom = FTo;
        FTo += (1 - FTo) / 2;
    }

private:
    const TLoudnessProgress &FProgress;
    qint64 FFrames = 0;
    double FFrom, FTo;
};

QString ReadError(const QString &AFile, const TSoundFileReader &AReader) {
    return u"Error reading %1 at frame %2: %3"_s.arg(AFile, QString::number(AReader.Position()),
                                                     AReader.ErrorText());
}

TLoudnessMeasurement Measured(ebur128_state *AState, const TSoundFileInfo &AInfo, qint64 AFrames) {
    TLoudnessMeasurement Result;
    Result.FIntegratedLufs = Ebur128IntegratedLufs(AState);
    Result.FTruePeakDb = Ebur128TruePeakDb(AState);
    Result.FFrames = AFrames;
    Result.FRate = AInfo.FRate;
    Result.FChannels = AInfo.FChannels;
    return Result;
}

// The measuring pass; an empty text or what went wrong.
QString Measure(const QString &AFile, TPassProgress &AProgress, const std::atomic<bool> *ACancel,
                TLoudnessMeasurement &AResult) {
    TSoundFileReader Reader;
    QString Error;
    if (!Reader.Open(AFile, &Error))
        return u"Cannot open %1: %2"_s.arg(AFile, Error);
    const TSoundFileInfo Info = Reader.Info();
    AProgress.Start(Info.FFrames);
    TEbur128Ptr State = MakeEbur128State(Info.FChannels, Info.FRate, FileMode);
    std::vector<float> Buffer(std::size_t(BlockFrames * Info.FChannels));
    qint64 Frames = 0;
    for (;;) {
        if (Cancelled(ACancel))
            return u"Cancelled"_s;
        const qint64 Got = Reader.ReadFrames(Buffer.data(), BlockFrames);
        if (Got > 0)
            ebur128_add_frames_float(State.get(), Buffer.data(), std::size_t(Got));
        Frames += Got;
        AProgress.Done(Frames);
        if (Got < BlockFrames)
            break;
    }
    if (Reader.Failed())
        return ReadError(AFile, Reader);
    AResult = Measured(State.get(), Info, Frames);
    AProgress.Finished();
    return QString();
}

// Limiting takes loudness away with the peaks, more the more it limits,
// so a pass with the limiter lands under the target by an amount known only
// after it: the gain is raised by what was missing and the pass repeated
// until it lands within LimitedTolerance (a few passes at most, as each
// brings the loudness closer).
constexpr double LimitedTolerance = 0.1;
constexpr int MaxLimitedPasses = 5;

struct TApply {
    const QString &FIn;
    const TLoudnessTarget &FTarget;
    TPassProgress &FProgress;
    const std::atomic<bool> *FCancel = nullptr;
    TNormalisePlan FPlan;
    TLoudnessMeasurement FAfter;
    bool FCancelled = false;

    // Writes the copy to ATempName with FPlan, again with a corrected gain
    // while the limiter misses the target; an empty text or what went wrong.
    QString Write(const QString &ATempName) {
        const double BeforeTruePeak = FPlan.FPeakAfterGainDb - FPlan.FGainDb;
        for (int Pass = 1;; ++Pass) {
            QString Error = WritePass(ATempName);
            if (!Error.isEmpty() || !FPlan.FLimiter || Pass == MaxLimitedPasses)
                return Error;
            const double Missing = FTarget.FIntegratedLufs - FAfter.FIntegratedLufs;
            if (!std::isfinite(Missing) || std::fabs(Missing) <= LimitedTolerance)
                return Error;
            FPlan = NormalisePlanForGain(FPlan.FGainDb + Missing, BeforeTruePeak, FTarget);
            // Each further pass takes half of the progress that is left.
            FProgress.Narrow();
        }
    }

    QString WritePass(const QString &ATempName) {
        TSoundFileReader Reader;
        QString Error;
        if (!Reader.Open(FIn, &Error))
            return u"Cannot open %1: %2"_s.arg(FIn, Error);
        const TSoundFileInfo Info = Reader.Info();
        FProgress.Start(Info.FFrames);
        TSoundFileWriter Writer;
        if (!Writer.Open(ATempName, Info, &Error))
            return Error;
        TEbur128Ptr State = MakeEbur128State(Info.FChannels, Info.FRate, FileMode);
        std::optional<TTruePeakLimiter> Limiter;
        if (FPlan.FLimiter)
            Limiter.emplace(Info.FRate, Info.FChannels, FTarget.FTruePeakCeilingDb);
        const float Gain = float(std::pow(10.0, FPlan.FGainDb / 20));
        const std::size_t Channels = Info.FChannels;
        std::vector<float> Buffer(std::size_t(BlockFrames) * Channels);

        qint64 Read = 0;
        qint64 Written = 0;
        // The limiter's delay: its first output frames are silence that
        // stands for no input, and as many frames of silence after the end
        // bring out the last of the audio.
        qint64 Skip = Limiter ? Limiter->Latency() : 0;
        qint64 Tail = Skip;
        auto Emit = [&](qint64 AFrames) {
            if (Limiter)
                Limiter->Process(Buffer.data(), Buffer.data(), AFrames);
            const qint64 Dropped = std::min(Skip, AFrames);
            Skip -= Dropped;
            const float *Out = Buffer.data() + Dropped * Channels;
            const qint64 Frames = AFrames - Dropped;
            if (Frames == 0)
                return true;
            ebur128_add_frames_float(State.get(), Out, std::size_t(Frames));
            Written += Frames;
            return Writer.WriteFrames(Out, Frames, &Error);
        };
        for (;;) {
            if (Cancelled(FCancel)) {
                FCancelled = true;
                return u"Cancelled"_s;
            }
            const qint64 Got = Reader.ReadFrames(Buffer.data(), BlockFrames);
            for (std::size_t I = 0; I < std::size_t(Got) * Channels; ++I)
                Buffer[I] *= Gain;
            if (Got > 0 && !Emit(Got))
                return Error;
            Read += Got;
            FProgress.Done(Read);
            if (Got < BlockFrames)
                break;
        }
        if (Reader.Failed())
            return ReadError(FIn, Reader);
        while (Tail > 0) {
            const qint64 Frames = std::min(Tail, BlockFrames);
            std::fill(Buffer.begin(), Buffer.end(), 0.0f);
            if (!Emit(Frames))
                return Error;
            Tail -= Frames;
        }
        if (!Writer.Close(&Error))
            return Error.isEmpty() ? u"the sound file could not be written"_s : Error;
        FAfter = Measured(State.get(), Info, Written);
        return QString();
    }
};

} // namespace

std::optional<TLoudnessMeasurement> MeasureFile(const QString &AFile, QString *AError,
                                                const TLoudnessProgress &AProgress,
                                                const std::atomic<bool> *ACancel) {
    TLoudnessMeasurement Result;
    TPassProgress Progress(AProgress, 0, 1);
    const QString Error = Measure(AFile, Progress, ACancel, Result);
    if (!Error.isEmpty()) {
        if (AError)
            *AError = Error;
        return std::nullopt;
    }
    return Result;
}

TNormaliseResult NormaliseFile(const QString &AIn, const QString &AOut,
                               const TLoudnessTarget &ATarget, const TLoudnessProgress &AProgress,
                               const std::atomic<bool> *ACancel) {
    TNormaliseResult Result;
    const QFileInfo In(AIn);
    const QFileInfo Out(AOut);
    if (Out.exists() && In.exists() && In.canonicalFilePath() == Out.canonicalFilePath()) {
        Result.FError = u"The normalised copy cannot replace the original %1"_s.arg(AIn);
        return Result;
    }

    TPassProgress Measuring(AProgress, 0, 0.5);
    Result.FError = Measure(AIn, Measuring, ACancel, Result.FBefore);
    if (!Result.FError.isEmpty()) {
        Result.FCancelled = Cancelled(ACancel);
        return Result;
    }
    Result.FPlan =
        NormaliseGain(Result.FBefore.FIntegratedLufs, Result.FBefore.FTruePeakDb, ATarget);

    // The first pass to 0.9: a limited one may need another.
    TPassProgress Progress(AProgress, 0.5, 0.9);
    TApply Apply{AIn, ATarget, Progress, ACancel, Result.FPlan, {}};
    try {
        WriteFileAtomically(AOut, [&](const QString &ATempName) { return Apply.Write(ATempName); });
    } catch (const EFileError &AError) {
        Result.FCancelled = Apply.FCancelled;
        Result.FError = Apply.FCancelled ? u"Cancelled"_s : AError.Message();
        return Result;
    }
    Progress.Finished(1);
    Result.FPlan = Apply.FPlan;
    Result.FAfter = Apply.FAfter;
    Result.FOk = true;
    return Result;
}
