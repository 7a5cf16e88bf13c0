#pragma once
// The inner loop of the equaliser: a cascade of biquad stages over one or
// two interleaved channels, in double precision.
//
// Stages in a cascade depend on each other within a frame, and each stage on
// its own previous frame, so the work cannot be split along time. Instead
// the stages are skewed: in step n, stage j works on frame n - j. Then every
// stage only needs what the previous step produced, all stages of a step are
// independent, and several of them share one vector register (two lanes per
// stage: the channel pair). With AVX-512 four stages share a register, with
// AVX2 two, with SSE2 one. The first and last few steps of a buffer, where
// some stages have no frame yet or any more, keep those stages' memory as it
// was. The result is that of running the stages one after another; samples
// are rounded to float between passes of up to four registers, so versions
// of different width can differ in the last float bit.

#include <QtGlobal>
#include <vector>

// One stage for up to two channels: lane c belongs to the pair's channel c.
// A lane that the stage must not change holds the identity (b0 = 1, others 0).
struct TBiquadLanes {
    double b0[2], b1[2], b2[2], a1[2], a2[2];
    double z1[2], z2[2]; // transposed direct form II memory, updated in place
};

// Runs ACount stages in order over AFrames frames. AData points at the
// pair's first channel, AStride floats apart from frame to frame; with
// ATwoLanes false only the first channel is read and written.
using TBiquadCascadeProc = void (*)(TBiquadLanes *AStages, int ACount, float *AData,
                                    quint32 AFrames, quint32 AStride, bool ATwoLanes);

// The fastest version this processor runs.
TBiquadCascadeProc BestBiquadCascade();

struct TBiquadCascadeVersion {
    const char *FName;
    TBiquadCascadeProc FProc;
};
// Every version this processor runs, narrowest first (for tests and
// benchmarks).
std::vector<TBiquadCascadeVersion> BiquadCascadeVersions();
