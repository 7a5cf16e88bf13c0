#include "loudness/LoudnessMeter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

constexpr int MeterMode = EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK |
                          // A histogram keeps the integrated loudness in fixed
                          // memory; without it libebur128 allocates a block
                          // every 100 ms of audio.
                          EBUR128_MODE_HISTOGRAM;

// A loudness reading of libebur128's; -inf where it has none.
double Lufs(int (*AReading)(ebur128_state *, double *), ebur128_state *AState) {
    double Value = 0;
    if (AReading(AState, &Value) != EBUR128_SUCCESS || std::isnan(Value))
        return -std::numeric_limits<double>::infinity();
    return Value;
}

} // namespace

TLoudnessReading TLoudnessReading::Empty() {
    constexpr double None = -std::numeric_limits<double>::infinity();
    TLoudnessReading Reading{};
    Reading.FPeakDb = Reading.FPeakHoldDb = None;
    Reading.FChannelPeakDb.fill(None);
    Reading.FChannelPeakHoldDb.fill(None);
    Reading.FMomentaryLufs = Reading.FShortTermLufs = Reading.FIntegratedLufs = None;
    Reading.FTruePeakDb = None;
    return Reading;
}

TLoudnessMeter::TLoudnessMeter(quint32 ARate, quint32 AChannels)
    : FRate(ARate), FChannels(AChannels),
      FUpdateFrames(std::max<qint64>(1, qint64(ARate) * UpdateMs / 1000)),
      FHoldFrames(qint64(ARate) * HoldMs / 1000), FUpdatePeak(AChannels), FInClip(AChannels),
      FReading(TLoudnessReading::Empty()) {
    if (AChannels == 0 || AChannels > 64)
        throw std::invalid_argument("a loudness meter needs 1 to 64 channels");
    if (ARate < 16 || ARate > 2822400)
        throw std::invalid_argument("libebur128 cannot measure at this sample rate");
    FState = MakeEbur128State(AChannels, ARate, MeterMode);
}

void TLoudnessMeter::Feed(const float *ASamples, qint64 AFrames) {
    while (AFrames > 0) {
        const qint64 Frames = std::min(AFrames, FUpdateFrames - FFramesInUpdate);
        const float *End = ASamples + Frames * FChannels;
        for (const float *Frame = ASamples; Frame < End; Frame += FChannels)
            for (quint32 C = 0; C < FChannels; ++C) {
                const float Level = std::fabs(Frame[C]);
                FUpdatePeak[C] = std::max(FUpdatePeak[C], Level);
                if (Level >= 1.0f) {
                    FClips += !FInClip[C];
                    FInClip[C] = 1;
                } else {
                    FInClip[C] = 0;
                }
            }
        ebur128_add_frames_float(FState.get(), ASamples, std::size_t(Frames));
        ASamples = End;
        AFrames -= Frames;
        FFrames += Frames;
        FFramesInUpdate += Frames;
        if (FFramesInUpdate == FUpdateFrames)
            Publish();
    }
}

void TLoudnessMeter::Flush() {
    if (FFrames != FPublishedFrames)
        Publish();
}

void TLoudnessMeter::Reset() {
    FState = MakeEbur128State(FChannels, FRate, MeterMode);
    FFramesInUpdate = FFrames = FPublishedFrames = FClips = 0;
    std::fill(FUpdatePeak.begin(), FUpdatePeak.end(), 0.0f);
    std::fill(FInClip.begin(), FInClip.end(), 0);
    FHolds.fill(THold());
    FReading.Store(TLoudnessReading::Empty());
}

void TLoudnessMeter::Publish() {
    const qint64 Elapsed = FFrames - FPublishedFrames;
    // Holds the highest level for HoldFrames of audio after it was reached,
    // then falls to what the signal has now.
    auto Step = [&](THold &AHold, double ALevel) {
        AHold.FAge += Elapsed;
        if (ALevel >= AHold.FLevel || AHold.FAge >= FHoldFrames) {
            AHold.FLevel = ALevel;
            AHold.FAge = 0;
        }
        return AmplitudeToDb(AHold.FLevel);
    };

    TLoudnessReading Reading = TLoudnessReading::Empty();
    double Highest = 0;
    for (quint32 C = 0; C < FChannels; ++C) {
        const double Peak = FUpdatePeak[C];
        Highest = std::max(Highest, Peak);
        if (C < MeteredChannels) {
            Reading.FChannelPeakDb[C] = AmplitudeToDb(Peak);
            Reading.FChannelPeakHoldDb[C] = Step(FHolds[C], Peak);
        }
        FUpdatePeak[C] = 0;
    }
    Reading.FPeakDb = AmplitudeToDb(Highest);
    Reading.FPeakHoldDb = Step(FHolds[MeteredChannels], Highest);

    Reading.FMomentaryLufs = Lufs(&ebur128_loudness_momentary, FState.get());
    Reading.FShortTermLufs = Lufs(&ebur128_loudness_shortterm, FState.get());
    Reading.FIntegratedLufs = Ebur128IntegratedLufs(FState.get());
    Reading.FTruePeakDb = Ebur128TruePeakDb(FState.get());
    Reading.FClips = FClips;
    Reading.FFrames = FFrames;
    FReading.Store(Reading);

    FPublishedFrames = FFrames;
    FFramesInUpdate = 0;
}
