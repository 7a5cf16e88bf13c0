#pragma once
// The recorder's meters: sample peak with a hold, EBU R 128 momentary
// (400 ms), short-term (3 s) and integrated loudness, the true-peak maximum
// and a clip count, measured by libebur128 over interleaved float blocks.
//
// One thread feeds (the recorder's writer or meter thread); any thread reads
// Reading() at any time, cheaply and without a lock (see SeqLock.h). Feeding
// allocates nothing. The reading is brought up to date once per UpdateMs of
// audio however the audio is cut into blocks, so what a meter shows does not
// depend on the device's buffer size, and the loudness windows (whose cost
// grows with their length) are summed twenty times a second, not per block.
//
// Levels that do not exist (silence, nothing fed yet, integrated loudness
// with every block below the gate) read -inf, never NaN.
//
// Clips are counted per run: a channel's samples at or beyond full scale
// (|x| >= 1) that follow one another count once, however long the run, since
// one overload of the input is one event for a presenter whatever its length.
// Runs continue across blocks.
//
// A mono signal is measured as one front channel, as libebur128 does: a
// 997 Hz sine at 0 dBFS in one channel reads -3.01 LUFS, in both channels of
// a stereo signal 0.0 LUFS.

#include "loudness/Ebur128State.h"
#include "loudness/SeqLock.h"

#include <QtGlobal>
#include <array>
#include <vector>

// Channels beyond these are measured for loudness and the overall peak but
// have no peak of their own in the reading.
inline constexpr quint32 MeteredChannels = 8;

struct TLoudnessReading {
    double FPeakDb;     // highest sample of the last UpdateMs over all channels, dBFS
    double FPeakHoldDb; // highest FPeakDb of the last HoldMs, dBFS
    std::array<double, MeteredChannels> FChannelPeakDb;
    std::array<double, MeteredChannels> FChannelPeakHoldDb;
    double FMomentaryLufs;  // the last 400 ms
    double FShortTermLufs;  // the last 3 s
    double FIntegratedLufs; // everything fed since construction or Reset
    double FTruePeakDb;     // the highest true peak of everything fed, dBTP
    qint64 FClips;          // runs of clipped samples, see above
    qint64 FFrames;         // frames the reading covers

    // What a meter shows before any audio: every level -inf, no clips.
    static TLoudnessReading Empty();
};

class TLoudnessMeter {
public:
    static constexpr int UpdateMs = 50;
    static constexpr int HoldMs = 1000;

    // Throws std::invalid_argument for no channels or a rate libebur128
    // cannot measure.
    TLoudnessMeter(quint32 ARate, quint32 AChannels);

    quint32 Rate() const { return FRate; }
    quint32 Channels() const { return FChannels; }

    // The feeding thread: AFrames interleaved frames.
    void Feed(const float *ASamples, qint64 AFrames);
    // The feeding thread: ends the current update period early and brings
    // the reading up to date (at the end of a take, say).
    void Flush();
    // The feeding thread (or any thread while nobody feeds): starts over, as
    // for a new take. Allocates.
    void Reset();

    // Any thread.
    TLoudnessReading Reading() const { return FReading.Load(); }

private:
    void Publish();

    quint32 FRate;
    quint32 FChannels;
    qint64 FUpdateFrames;
    qint64 FHoldFrames;
    TEbur128Ptr FState;

    // The feeding thread's working state.
    qint64 FFramesInUpdate = 0;
    qint64 FFrames = 0;
    qint64 FPublishedFrames = 0;
    qint64 FClips = 0;
    std::vector<float> FUpdatePeak; // per channel, this update period
    std::vector<char> FInClip;      // per channel: the last sample was clipped
    struct THold {
        double FLevel = 0;
        qint64 FAge = 0; // frames since FLevel was reached
    };
    std::array<THold, MeteredChannels + 1> FHolds{}; // the channels', then the overall

    TSeqLock<TLoudnessReading> FReading;
};
