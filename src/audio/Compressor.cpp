#include "audio/Compressor.h"

#include "audio/EngineDenormals.h"
#include "audio/EngineFastMath.h"
#include "audio/EngineSelection.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double DetectorMs = 5;

double OnePole(double ARate, double AMs) {
    if (!(AMs > 0) || !(ARate > 0))
        return 0;
    return std::exp(-1.0 / (AMs / 1000.0 * ARate));
}

// dB of a power (mean square), plus 3.01 dB so that a sine reads at its peak
// level: the mean square of a sine is half its peak squared.
constexpr double PowerToDb = 3.0102999566398120; // 10 log10(2)
constexpr double SineReferenceDb = 3.0102999566398120;
constexpr double DbToLog2 = 1.0 / 6.0205999132796240; // 1 / (20 log10 2)

} // namespace

TCompressorSetup TCompressorSetup::Make(double ARate, double AGainDb, double AThresholdDb,
                                        double ARatio, double AAttackMs, double AReleaseMs,
                                        quint64 AChannelMask) {
    TCompressorSetup S;
    S.FThresholdDb = AThresholdDb;
    S.FThresholdPower = std::pow(10.0, (AThresholdDb - SineReferenceDb) / 10);
    S.FSlope = (ARatio > 1 ? 1.0 / ARatio : 1.0) - 1.0;
    const double StepRate = ARate / ControlFrames;
    S.FAttackCoeff = OnePole(StepRate, AAttackMs);
    S.FReleaseCoeff = OnePole(StepRate, AReleaseMs);
    S.FOutputGainDb = AGainDb;
    S.FChannelMask = AChannelMask;
    return S;
}

TCompressorFilter::TCompressorFilter(double ARate, quint32 AChannels) : FChannels(AChannels) {
    const double MeanCoeff = OnePole(ARate, DetectorMs);
    double Power = 1;
    for (quint32 D = 0; D <= TCompressorSetup::ControlFrames; ++D) {
        FDecay[D] = Power;
        if (D < TCompressorSetup::ControlFrames)
            FWeights[D] = (1 - MeanCoeff) * Power;
        Power *= MeanCoeff;
    }
}

void TCompressorFilter::ControlStep(const TCompressorSetup &ASetup) {
    double Wanted = 0;
    // Below the threshold the wanted gain is 0 dB: no logarithm needed.
    if (FMeanSquare > ASetup.FThresholdPower && FMeanSquare > 1e-30) {
        const double LevelDb = FastLog2(FMeanSquare) * PowerToDb + SineReferenceDb;
        Wanted = ASetup.WantedGainDb(LevelDb);
    }
    const double Coeff = Wanted < FGainDb ? ASetup.FAttackCoeff : ASetup.FReleaseCoeff;
    FGainDb = Coeff * FGainDb + (1 - Coeff) * Wanted;
    // The recovery would approach 0 dB for ever; settle on exactly 0 so that
    // a quiet signal passes untouched.
    if (FGainDb > -1e-7)
        FGainDb = 0;
    const double TotalDb = FGainDb + ASetup.FOutputGainDb;
    // The ramp that just ended lands exactly on its target; the next one
    // runs from there.
    FFactor = FTarget;
    FTarget = TotalDb == 0 ? 1.0 : FastExp2(TotalDb * DbToLog2);
    FFactorStep = (FTarget - FFactor) / TCompressorSetup::ControlFrames;
}

void TCompressorFilter::Process(const TCompressorSetup &ASetup, float *AData, quint32 AFrames) {
    const TDenormalGuard Guard;
    const quint64 Mask = ASetup.FChannelMask;
    const quint32 Channels = FChannels;
    const bool Stereo = Channels == 2 && IsChannelSelected(Mask, 0) && IsChannelSelected(Mask, 1);
    if (!FStarted) {
        // The first frames already get the output gain, instead of a ramp
        // up from unity.
        FStarted = true;
        ControlStep(ASetup);
        FFactor = FTarget;
        FFactorStep = 0;
    }
    constexpr quint32 K = TCompressorSetup::ControlFrames;
    double Squares[K];
    // Segments up to the next control step.
    for (quint32 Done = 0; Done < AFrames;) {
        const quint32 Count = std::min(K - FCount, AFrames - Done);
        float *Data = AData + std::size_t(Done) * FChannels;

        // The detector's average over the segment in one go:
        //   ms' = c^n ms + sum over k of (1 - c) c^(n-1-k) sq[k]
        // which is the per-frame recursion unrolled; the terms do not wait
        // on each other.
        if (Stereo) {
            for (quint32 F = 0; F < Count; ++F) {
                const double L = Data[2 * size_t(F)], R = Data[2 * size_t(F) + 1];
                Squares[F] = std::max(L * L, R * R);
            }
        } else {
            for (quint32 F = 0; F < Count; ++F) {
                const float *Frame = Data + std::size_t(F) * FChannels;
                double Square = 0;
                for (quint32 C = 0; C < Channels; ++C)
                    if (IsChannelSelected(Mask, C))
                        Square = std::max(Square, double(Frame[C]) * Frame[C]);
                Squares[F] = Square;
            }
        }
        double SumA = 0, SumB = 0;
        quint32 F = 0;
        for (; F + 1 < Count; F += 2) {
            SumA += FWeights[Count - 1 - F] * Squares[F];
            SumB += FWeights[Count - 2 - F] * Squares[F + 1];
        }
        if (F < Count)
            SumA += FWeights[0] * Squares[F];
        FMeanSquare = FDecay[Count] * FMeanSquare + (SumA + SumB);

        // The gain ramp; at exactly unity nothing is touched, so a quiet
        // signal comes out bit for bit.
        if (FFactor != 1 || FFactorStep != 0) {
            const double Start = FFactor, Slope = FFactorStep;
            if (Stereo) {
                for (quint32 I = 0; I < Count; ++I) {
                    const double Factor = Start + I * Slope;
                    float *const Frame = Data + 2 * size_t(I);
                    Frame[0] = float(Frame[0] * Factor);
                    Frame[1] = float(Frame[1] * Factor);
                }
            } else {
                for (quint32 I = 0; I < Count; ++I) {
                    const double Factor = Start + I * Slope;
                    float *Frame = Data + std::size_t(I) * FChannels;
                    for (quint32 C = 0; C < Channels; ++C)
                        if (IsChannelSelected(Mask, C))
                            Frame[C] = float(Frame[C] * Factor);
                }
            }
            FFactor = Start + Count * Slope;
        }
        Done += Count;
        FCount += Count;
        if (FCount == K) {
            FCount = 0;
            ControlStep(ASetup);
        }
    }
    if (FMeanSquare < 1e-30)
        FMeanSquare = 0;
}
