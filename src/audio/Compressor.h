#pragma once
// The compressor: a feed-forward design after D. Giannoulis, M. Massberg and
// J. D. Reiss, "Digital Dynamic Range Compressor Design - A Tutorial and
// Analysis", J. Audio Eng. Soc. 60(6), 2012:
//
//   detector       RMS level of the selected channels, linked: per frame the
//                  largest square among them feeds one running mean (a
//                  one-pole average with a fixed 5 ms time constant), read in
//                  dB and referred to a sine, so that a sine of peak
//                  amplitude 0.5 reads -6 dB like its peak level in dBFS.
//   gain computer  hard knee: above the threshold T a level L comes out at
//                  T + (L - T) / ratio, so the wanted gain is that minus L
//                  (never above 0 dB).
//   ballistics     the gain in dB follows the wanted gain through a one-pole
//                  filter with the attack time constant while the gain falls
//                  (more reduction) and the release one while it recovers
//                  (the "smooth branching" detector of the paper, placed on
//                  the gain).
//   output         the smoothed gain plus the output gain, applied to every
//                  selected channel alike so the stereo image stays put.
//
// A time constant t ms means a step is followed to 1 - 1/e (63 %) after t ms:
// coefficient = exp(-1 / (t / 1000 * steps per second)); 0 ms follows at once.
//
// The detector runs on every frame; the gain computer and the ballistics run
// at a control rate of one step per ControlFrames frames (two thirds of a
// millisecond at 48 kHz, far shorter than any attack a voice needs), and the
// gain moves linearly from one step's value to the next across the frames in
// between. The logarithm and power that the gain needs then cost a small
// share of what they would per frame, and the ramp keeps the gain free of
// steps.

#include <QtGlobal>
#include <memory>

// The compressor's settings in its working form, computed on the control
// thread from the effect record; never changed once published.
struct TCompressorSetup {
    static constexpr quint32 ControlFrames = 32;

    double FThresholdDb = 0;
    double FThresholdPower = 0; // the detector's mean square at the threshold
    double FSlope = 0;          // 1 / ratio - 1: gain dB per dB above the threshold
    double FAttackCoeff = 0;    // one-pole coefficients of the ballistics,
    double FReleaseCoeff = 0;   // per control step
    double FOutputGainDb = 0;
    quint64 FChannelMask = ~quint64(0); // as in EngineSelection.h

    // Ratios below 1 would expand without bound and are taken as 1; negative
    // times as 0.
    static TCompressorSetup Make(double ARate, double AGainDb, double AThresholdDb, double ARatio,
                                 double AAttackMs, double AReleaseMs, quint64 AChannelMask);

    // The gain computer: the gain in dB (0 or below) that a steady level of
    // ALevelDb (as the detector reads it) asks for, before the ballistics.
    double WantedGainDb(double ALevelDb) const {
        const double Over = ALevelDb - FThresholdDb;
        return Over > 0 ? Over * FSlope : 0.0;
    }
    // The static transfer curve: where a steady input level comes out once
    // the ballistics have settled, output gain included.
    double StaticOutputDb(double AInputDb) const {
        return AInputDb + WantedGainDb(AInputDb) + FOutputGainDb;
    }
};

// The running state of one compressor and its processing of a buffer of
// interleaved float samples. Audio thread only (besides construction).
class TCompressorFilter {
public:
    TCompressorFilter(double ARate, quint32 AChannels);

    void Process(const TCompressorSetup &ASetup, float *AData, quint32 AFrames);

    // The gain the ballistics have reached, in dB (for tests and meters).
    double GainDb() const { return FGainDb; }

private:
    // Works out the gain for the next control period from the detector.
    void ControlStep(const TCompressorSetup &ASetup);

    quint32 FChannels;
    // The detector's 5 ms average with coefficient c per frame, for a
    // segment of n frames: FDecay[n] = c^n, FWeights[d] = (1 - c) c^d for
    // the frame d frames before the segment's end.
    double FDecay[TCompressorSetup::ControlFrames + 1] = {};
    double FWeights[TCompressorSetup::ControlFrames] = {};
    double FMeanSquare = 0;
    double FGainDb = 0;     // the ballistics' gain at the last control step
    double FFactor = 1;     // linear gain applied to the current frame
    double FTarget = 1;     // where FFactor arrives at the next control step
    double FFactorStep = 0; // added to FFactor after each frame
    quint32 FCount = 0;     // frames since the last control step
    bool FStarted = false;
};
