#pragma once
// Where a voice track's loudness is brought before it goes on air, and the
// plan that gets it there: a gain, and a true-peak limiter only when the gain
// alone would push the peaks over the ceiling.

#include <QString>
#include <array>

struct TLoudnessTarget {
    double FIntegratedLufs = -16;
    double FTruePeakCeilingDb = -1;
};

// The presets, the first the default: spoken word for streams and podcasts,
// then a quieter one, then EBU R 128 broadcast.
enum class TLoudnessPreset { SpokenWord, Quieter, Broadcast };
TLoudnessTarget LoudnessTarget(TLoudnessPreset APreset);
inline constexpr std::array<TLoudnessPreset, 3> LoudnessPresets{
    TLoudnessPreset::SpokenWord, TLoudnessPreset::Quieter, TLoudnessPreset::Broadcast};
// "-16 LUFS", "-19 LUFS", "-23 LUFS".
QString LoudnessTargetText(const TLoudnessTarget &ATarget);

struct TNormalisePlan {
    // Nothing to measure (silence, or every block below the absolute gate of
    // -70 LUFS): the audio is left as it is.
    bool FSilent = false;
    double FGainDb = 0;
    // The true peak the gain alone would give, dBTP.
    double FPeakAfterGainDb = 0;
    bool FLimiter = false;
    // For the presenter: "Gain +4.2 dB", or "Gain +9.0 dB with a limiter: the
    // peaks would reach +1.3 dBTP".
    QString FText;
};

// The plan for audio measured at AIntegratedLufs with a true peak of
// ATruePeakDb. A measured true peak of -inf (digital silence) needs no
// limiter whatever the gain.
TNormalisePlan NormaliseGain(double AIntegratedLufs, double ATruePeakDb,
                             const TLoudnessTarget &ATarget);
// The plan with a gain of AGainDb for audio with a true peak of ATruePeakDb:
// the limiter takes some loudness away, and NormaliseFile finds the gain that
// makes up for it by measuring, then states the plan again with that gain.
TNormalisePlan NormalisePlanForGain(double AGainDb, double ATruePeakDb,
                                    const TLoudnessTarget &ATarget);
