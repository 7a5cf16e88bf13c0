#include "loudness/TruePeakLimiter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

TTruePeakLimiter::TTruePeakLimiter(double ARate, quint32 AChannels, double ACeilingDb)
    : FChannels(AChannels), FCeiling(std::pow(10.0, (ACeilingDb - DetectorMarginDb) / 20)),
      FRelease(1 - std::exp(-1 / (ReleaseMs / 1000 * ARate))),
      FWindow(std::max<qint64>(1, std::llround(LookAheadMs / 1000 * ARate))),
      FLatency(FWindow - 1 + HalfTaps), FHistory(std::size_t(AChannels) * 4 * HalfTaps),
      FMinIndex(std::size_t(FWindow) + 1), FMinValue(std::size_t(FWindow) + 1),
      FReleased(std::size_t(FWindow), 1.0), FReleasedSum(double(FWindow)),
      FDelay(std::size_t(FLatency) * AChannels) {
    // A Blackman-windowed sinc: sample i of the history (the oldest first)
    // sits at i - (HalfTaps - 1) relative to the sample the points follow.
    for (int P = 1; P < Phases; ++P) {
        const double Fraction = double(P) / Phases;
        double Sum = 0;
        for (int I = 0; I < 2 * HalfTaps; ++I) {
            const double T = Fraction - (I - (HalfTaps - 1));
            const double Sinc = std::sin(std::numbers::pi * T) / (std::numbers::pi * T);
            const double X = T / HalfTaps; // -1..1 over the window
            const double Window = 0.42 + 0.5 * std::cos(std::numbers::pi * X) +
                                  0.08 * std::cos(2 * std::numbers::pi * X);
            FTaps[P - 1][I] = Sinc * Window;
            Sum += FTaps[P - 1][I];
        }
        // Unity gain at low frequencies, where voices have their energy.
        for (double &Tap : FTaps[P - 1])
            Tap /= Sum;
    }
}

double TTruePeakLimiter::Detect(const float *AFrame) {
    constexpr int Length = 2 * HalfTaps;
    double Peak = 0;
    for (quint32 C = 0; C < FChannels; ++C) {
        float *History = FHistory.data() + std::size_t(C) * 2 * Length;
        History[FHistoryPos] = History[FHistoryPos + Length] = AFrame[C];
        // The run ending with the newest sample; the points lie between its
        // samples HalfTaps - 1 and HalfTaps.
        const float *Run = History + FHistoryPos + 1;
        Peak = std::max(Peak, double(std::fabs(Run[HalfTaps - 1])));
        for (const auto &Taps : FTaps) {
            double Point = 0;
            for (int I = 0; I < Length; ++I)
                Point += Taps[I] * Run[I];
            Peak = std::max(Peak, std::fabs(Point));
        }
    }
    FHistoryPos = (FHistoryPos + 1) % Length;
    return Peak;
}

void TTruePeakLimiter::Process(const float *AIn, float *AOut, qint64 AFrames) {
    const qint64 Ring = FWindow + 1;
    for (qint64 N = 0; N < AFrames; ++N, ++FFrame) {
        const float *In = AIn + N * FChannels;
        const double Peak = Detect(In);
        const double Needed = Peak > FCeiling ? FCeiling / Peak : 1.0;

        // Running minimum of the needed gains over the window.
        while (FMinTail != FMinHead && FMinValue[std::size_t((FMinTail - 1) % Ring)] >= Needed)
            --FMinTail;
        FMinIndex[std::size_t(FMinTail % Ring)] = FFrame;
        FMinValue[std::size_t(FMinTail % Ring)] = Needed;
        ++FMinTail;
        while (FMinIndex[std::size_t(FMinHead % Ring)] <= FFrame - FWindow)
            ++FMinHead;
        const double Held = FMinValue[std::size_t(FMinHead % Ring)];

        const double Released = std::min(Held, FLastReleased + (1 - FLastReleased) * FRelease);
        FLastReleased = Released;
        double &Oldest = FReleased[std::size_t(FReleasedPos)];
        FReleasedSum += Released - Oldest;
        Oldest = Released;
        FReleasedPos = (FReleasedPos + 1) % FWindow;
        // The running sum drifts by rounding; never let that lift the gain.
        FLastGain = std::min(1.0, FReleasedSum / double(FWindow));

        float *Delayed = FDelay.data() + FDelayPos * FChannels;
        float *Out = AOut + N * FChannels;
        for (quint32 C = 0; C < FChannels; ++C) {
            const float Sample = In[C];
            Out[C] = float(Delayed[C] * FLastGain);
            Delayed[C] = Sample;
        }
        FDelayPos = (FDelayPos + 1) % FLatency;
    }
}
