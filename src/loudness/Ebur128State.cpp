#include "loudness/Ebur128State.h"

#include <cmath>
#include <limits>
#include <new>

TEbur128Ptr MakeEbur128State(quint32 AChannels, quint32 ARate, int AMode) {
    TEbur128Ptr State(ebur128_init(AChannels, ARate, AMode));
    if (!State)
        throw std::bad_alloc();
    return State;
}

double Ebur128TruePeakDb(ebur128_state *AState) {
    double Highest = 0;
    for (unsigned C = 0; C < AState->channels; ++C) {
        double Peak = 0;
        if (ebur128_true_peak(AState, C, &Peak) == EBUR128_SUCCESS && Peak > Highest)
            Highest = Peak;
    }
    return AmplitudeToDb(Highest);
}

double Ebur128IntegratedLufs(ebur128_state *AState) {
    double Lufs = -HUGE_VAL;
    if (ebur128_loudness_global(AState, &Lufs) != EBUR128_SUCCESS || std::isnan(Lufs))
        return -std::numeric_limits<double>::infinity();
    return Lufs;
}

double AmplitudeToDb(double AAmplitude) {
    if (!(AAmplitude > 0))
        return -std::numeric_limits<double>::infinity();
    return 20 * std::log10(AAmplitude);
}
