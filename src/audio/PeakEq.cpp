#include "audio/PeakEq.h"

#include "audio/EngineDenormals.h"
#include "audio/EngineSelection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

// Coefficients of the peaking filter from Robert Bristow-Johnson, "Cookbook
// formulae for audio EQ biquad filter coefficients" (the Audio EQ Cookbook):
//
//   A     = 10^(dBgain / 40)
//   w0    = 2 pi f0 / Fs
//   alpha = sin(w0) / (2 Q)                                    (Q given)
//   alpha = sin(w0) sinh( ln(2)/2 * BW * w0 / sin(w0) )        (BW in octaves)
//
//   b0 = 1 + alpha A     b1 = -2 cos(w0)     b2 = 1 - alpha A
//   a0 = 1 + alpha / A   a1 = -2 cos(w0)     a2 = 1 - alpha / A
//
// The w0 / sin(w0) factor of the bandwidth form corrects for the bilinear
// transform's frequency warping, so BW is the digital filter's width between
// the half-gain (in dB) frequencies. All five are divided by a0.
TBiquadCoeffs PeakingCoeffs(double ARate, double ACenter, double AGainDb, double ABandwidth,
                            double AQ) {
    TBiquadCoeffs C;
    if (!(ARate > 0) || !(ACenter > 0) || ACenter >= ARate / 2)
        return C;
    const double A = std::pow(10.0, AGainDb / 40.0);
    const double W0 = 2 * std::numbers::pi * ACenter / ARate;
    const double SinW0 = std::sin(W0);
    const double CosW0 = std::cos(W0);
    double Alpha;
    if (AQ > 0)
        Alpha = SinW0 / (2 * AQ);
    else if (ABandwidth > 0)
        Alpha = SinW0 * std::sinh(std::numbers::ln2 / 2 * ABandwidth * W0 / SinW0);
    else
        return C;
    if (!std::isfinite(A) || !(Alpha > 0))
        return C;
    // Close to the Nyquist frequency the bandwidth form grows without bound
    // (sin(w0) -> 0), and a2 would round to -1: poles on the unit circle. A
    // cap keeps the poles inside (radius <= 0.9995) while the response is
    // flat at A^2 over nearly the whole band anyway.
    Alpha = std::min(Alpha, 1000 * std::min(A, 1 / A));
    const double A0 = 1 + Alpha / A;
    C.b0 = (1 + Alpha * A) / A0;
    C.b1 = -2 * CosW0 / A0;
    C.b2 = (1 - Alpha * A) / A0;
    C.a1 = C.b1;
    C.a2 = (1 - Alpha / A) / A0;
    // At 0 dB the filter is the identity, but rounding in the division could
    // leave b and a a hair apart; make it exact so such a band is skipped.
    if (A == 1)
        C = TBiquadCoeffs{};
    return C;
}

TBiquadCoeffs PeakEqBandCoeffs(double ARate, const BASS_BFX_PEAKEQ &ABand) {
    return PeakingCoeffs(ARate, ABand.fCenter, ABand.fGain, ABand.fBandwidth, ABand.fQ);
}

double BiquadResponseDb(const TBiquadCoeffs &ACoeffs, double ARate, double AFreq) {
    if (ACoeffs.IsIdentity())
        return 0;
    // H(z) at z = e^jw; with z^-1 = cos w - j sin w and z^-2 = cos 2w - j sin 2w.
    const double W = 2 * std::numbers::pi * AFreq / ARate;
    const double C1 = std::cos(W), S1 = std::sin(W);
    const double C2 = std::cos(2 * W), S2 = std::sin(2 * W);
    const double NumRe = ACoeffs.b0 + ACoeffs.b1 * C1 + ACoeffs.b2 * C2;
    const double NumIm = -(ACoeffs.b1 * S1 + ACoeffs.b2 * S2);
    const double DenRe = 1 + ACoeffs.a1 * C1 + ACoeffs.a2 * C2;
    const double DenIm = -(ACoeffs.a1 * S1 + ACoeffs.a2 * S2);
    const double Num = NumRe * NumRe + NumIm * NumIm;
    const double Den = DenRe * DenRe + DenIm * DenIm;
    if (!(Num > 0) || !(Den > 0))
        return Num > 0 ? 0 : -std::numeric_limits<double>::infinity();
    return 10 * std::log10(Num / Den);
}

double PeakEqResponseDb(double ARate, const std::vector<BASS_BFX_PEAKEQ> &ABands, double AFreq) {
    double Db = 0;
    for (const BASS_BFX_PEAKEQ &Band : ABands)
        Db += BiquadResponseDb(PeakEqBandCoeffs(ARate, Band), ARate, AFreq);
    return Db;
}

TPeakEqFilter::TPeakEqFilter(quint32 AChannels, quint32 AMaxSlots, TBiquadCascadeProc AKernel)
    : FChannels(AChannels), FMaxSlots(AMaxSlots),
      FState(new TState[std::size_t(AChannels) * AMaxSlots]),
      FKernel(AKernel ? AKernel : BestBiquadCascade()) {}

namespace {

// A state value this small has no audible effect; clearing it keeps the
// filters out of denormal numbers where the processor cannot flush them.
double Flushed(double AValue) {
    return std::fabs(AValue) < 1e-30 ? 0.0 : AValue;
}

} // namespace

void TPeakEqFilter::Process(const TPeakEqSetup &ASetup, float *AData, quint32 AFrames) {
    // A band at 0 dB is the identity, and the memory of an identity filter in
    // this form is always zero: keep it so, as if the band had run.
    for (quint32 Slot : ASetup.FIdleSlots)
        if (Slot < FMaxSlots)
            for (quint32 C = 0; C < FChannels; ++C)
                State(Slot, C) = TState{};
    if (AFrames == 0 || ASetup.FStages.empty())
        return;

    const TDenormalGuard Guard;
    // Stages are handed to the kernel in batches of this many; the kernel
    // splits them further into passes of its own.
    constexpr int Batch = 16;
    TBiquadLanes Lanes[Batch];
    TState *Memory[Batch][2];
    for (quint32 First = 0; First < FChannels; First += 2) {
        const bool TwoLanes = First + 1 < FChannels;
        const quint32 LaneCount = TwoLanes ? 2 : 1;
        int Count = 0;
        const auto Run = [&] {
            FKernel(Lanes, Count, AData + First, AFrames, FChannels, TwoLanes);
            for (int S = 0; S < Count; ++S)
                for (quint32 L = 0; L < LaneCount; ++L)
                    if (Memory[S][L])
                        *Memory[S][L] = {Flushed(Lanes[S].z1[L]), Flushed(Lanes[S].z2[L])};
            Count = 0;
        };
        for (const TPeakEqStage &Stage : ASetup.FStages) {
            if (Stage.FSlot >= FMaxSlots)
                continue;
            TBiquadLanes &L = Lanes[Count];
            // A lane the band does not cover runs the identity, which passes
            // the sample through exactly.
            L = TBiquadLanes{{1, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}};
            bool Any = false;
            for (quint32 Lane = 0; Lane < 2; ++Lane) {
                const quint32 Channel = First + Lane;
                Memory[Count][Lane] = nullptr;
                if (Lane >= LaneCount || !IsChannelSelected(Stage.FChannelMask, Channel))
                    continue;
                const TBiquadCoeffs &K = Stage.FCoeffs;
                const TState &Z = State(Stage.FSlot, Channel);
                L.b0[Lane] = K.b0;
                L.b1[Lane] = K.b1;
                L.b2[Lane] = K.b2;
                L.a1[Lane] = K.a1;
                L.a2[Lane] = K.a2;
                L.z1[Lane] = Z.z1;
                L.z2[Lane] = Z.z2;
                Memory[Count][Lane] = &State(Stage.FSlot, Channel);
                Any = true;
            }
            if (!Any)
                continue;
            if (++Count == Batch)
                Run();
        }
        if (Count > 0)
            Run();
    }
}
