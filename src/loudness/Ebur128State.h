#pragma once
// Ownership of libebur128's measuring state and the conversions every user of
// it needs. Readings below the measurable range come back as -inf, never NaN.

#include <QString>
#include <ebur128.h>
#include <memory>

struct TEbur128Free {
    void operator()(ebur128_state *AState) const { ebur128_destroy(&AState); }
};
using TEbur128Ptr = std::unique_ptr<ebur128_state, TEbur128Free>;

// A state for AChannels channels at ARate with AMode; throws std::bad_alloc
// when the library cannot make one (it fails only for want of memory or for
// a rate or channel count it rejects, which callers check beforehand).
TEbur128Ptr MakeEbur128State(quint32 AChannels, quint32 ARate, int AMode);

// The highest true peak over all channels of everything fed, in dBTP.
double Ebur128TruePeakDb(ebur128_state *AState);
// Integrated loudness (gated) of everything fed, in LUFS.
double Ebur128IntegratedLufs(ebur128_state *AState);

// Linear amplitude to dB; 0 gives -inf.
double AmplitudeToDb(double AAmplitude);
