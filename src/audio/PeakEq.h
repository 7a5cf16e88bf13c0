#pragma once
// The peaking equaliser: one second-order peaking filter per band, run in
// series. Coefficients are worked out when a band's settings change (on the
// control thread) and frozen into an immutable TPeakEqSetup; the audio
// thread only runs the filters over the buffer with the setup it is given.

#include "audio/AudioEngine.h"
#include "audio/EngineBiquads.h"

#include <QtGlobal>
#include <memory>
#include <vector>

// Normalised biquad coefficients (a0 = 1):
//   y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]
struct TBiquadCoeffs {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

    bool IsIdentity() const { return b0 == 1 && b1 == a1 && b2 == a2; }
};

// A peaking filter centred on ACenter Hz with AGainDb of boost or cut. Its
// width is AQ when AQ > 0, otherwise ABandwidth octaves between the -3 dB
// (half-gain in dB) points. A centre at or above the Nyquist frequency (or
// not above 0 Hz) gives the identity: such a band cannot be represented in
// the sampled signal, and the formulas would turn it into an unstable filter.
TBiquadCoeffs PeakingCoeffs(double ARate, double ACenter, double AGainDb, double ABandwidth,
                            double AQ);

// The filter one band record stands for at ARate. The effect runs exactly
// this, and the equaliser editor draws its curve from it, so what is drawn is
// what is heard.
TBiquadCoeffs PeakEqBandCoeffs(double ARate, const BASS_BFX_PEAKEQ &ABand);

// The gain in dB of the filter at AFreq Hz (|H(e^jw)|, w = 2 pi AFreq / ARate).
double BiquadResponseDb(const TBiquadCoeffs &ACoeffs, double ARate, double AFreq);

// The gain in dB at AFreq of the bands run in series at ARate.
double PeakEqResponseDb(double ARate, const std::vector<BASS_BFX_PEAKEQ> &ABands, double AFreq);

// One band as the audio thread runs it; FChannelMask as in EngineSelection.h.
struct TPeakEqStage {
    TBiquadCoeffs FCoeffs;
    quint32 FSlot = 0; // index of the band's filter memory, fixed for its life
    quint64 FChannelMask = ~quint64(0);
};

// Everything the audio thread needs for one buffer; never changed once
// published.
struct TPeakEqSetup {
    std::vector<TPeakEqStage> FStages; // identity bands left out
    std::vector<quint32> FIdleSlots;   // bands present but passing through
};

// The filters' memory of one equaliser effect and the processing over a
// buffer of interleaved float samples. Audio thread only (besides
// construction).
class TPeakEqFilter {
public:
    // AChannels interleaved channels; memory for AMaxSlots bands. AKernel
    // runs the filters (nullptr: the fastest this processor has).
    TPeakEqFilter(quint32 AChannels, quint32 AMaxSlots, TBiquadCascadeProc AKernel = nullptr);

    quint32 MaxSlots() const { return FMaxSlots; }
    quint32 Channels() const { return FChannels; }

    // Runs every stage of ASetup over AFrames frames of AData, in place.
    // Stages whose FSlot is not below MaxSlots are skipped.
    void Process(const TPeakEqSetup &ASetup, float *AData, quint32 AFrames);

private:
    struct TState {
        double z1 = 0, z2 = 0;
    };
    TState &State(quint32 ASlot, quint32 AChannel) { return FState[ASlot * FChannels + AChannel]; }

    quint32 FChannels;
    quint32 FMaxSlots;
    std::unique_ptr<TState[]> FState;
    TBiquadCascadeProc FKernel;
};
