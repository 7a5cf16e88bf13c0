#pragma once
// A look-ahead limiter that keeps the true peak (the peak of the signal
// between its samples, as a meter after ITU-R BS.1770 reads it) under a
// ceiling, for the loudness normalisation when its gain alone would push the
// peaks over.
//
//   detector   per frame, the highest of every channel's sample and of three
//              points between it and the next sample (4x oversampling by a
//              windowed-sinc interpolator), so peaks between samples count.
//   gain       the gain each frame needs to stay under the ceiling; its
//              minimum over the look-ahead window (so the gain is down before
//              the peak arrives), released smoothly (one-pole, ReleaseMs)
//              and then averaged over the look-ahead window, which turns the
//              steps into ramps without ever rising above what a peak needs
//              at the frame it reaches the output.
//   output     the audio delayed by Latency() frames times that gain, the
//              same for every channel so the stereo image stays put.
//
// It aims DetectorMarginDb under the ceiling: a meter's oversampling filter
// differs from ours, and between samples the gain's slope moves the peaks a
// little too.
//
// One thread; Process allocates nothing.

#include <QtGlobal>
#include <vector>

class TTruePeakLimiter {
public:
    static constexpr double LookAheadMs = 1.5;
    static constexpr double ReleaseMs = 50;
    static constexpr double DetectorMarginDb = 0.3;

    TTruePeakLimiter(double ARate, quint32 AChannels, double ACeilingDb);

    // Frames of delay between input and output.
    qint64 Latency() const { return FLatency; }

    // AFrames interleaved frames in, as many out, Latency() frames late (the
    // first ones are silence). AIn may be AOut. Push Latency() frames of
    // silence through at the end to get the last of the audio out.
    void Process(const float *AIn, float *AOut, qint64 AFrames);

    // The gain the last frame out got (1 when it was not limited).
    double Gain() const { return FLastGain; }

private:
    static constexpr int HalfTaps = 6; // of the interpolator, each side of a point
    static constexpr int Phases = 4;

    double Detect(const float *AFrame);

    quint32 FChannels;
    double FCeiling; // linear, the margin taken off
    double FRelease; // one-pole coefficient per frame
    qint64 FWindow;  // look-ahead frames
    qint64 FLatency; // FWindow - 1 + HalfTaps

    // Interpolator: [phase - 1][tap] for the points 1/4, 2/4, 3/4 past a sample.
    double FTaps[Phases - 1][2 * HalfTaps] = {};
    // Per channel the last 2 * HalfTaps samples, stored twice in a row so that
    // they read as one run from FHistoryPos.
    std::vector<float> FHistory;
    int FHistoryPos = 0;

    // The required gains of the last FWindow frames, as a monotonic queue for
    // their running minimum: FMinIndex/FMinValue in a ring of FWindow + 1.
    std::vector<qint64> FMinIndex;
    std::vector<double> FMinValue;
    qint64 FMinHead = 0, FMinTail = 0;

    // The released gains of the last FWindow frames and their sum.
    std::vector<double> FReleased;
    qint64 FReleasedPos = 0;
    double FReleasedSum = 0;
    double FLastReleased = 1;

    // The audio on its way through, interleaved, FLatency frames: a slot is
    // read and then refilled.
    std::vector<float> FDelay;
    qint64 FDelayPos = 0;

    qint64 FFrame = 0;
    double FLastGain = 1;
};
