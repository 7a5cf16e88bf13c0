#include "loudness/LoudnessTarget.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// One decimal with its sign, as level changes are written: "+4.2", "-0.5".
QString SignedDb(double AValue) {
    const double Rounded = std::round(AValue * 10) / 10;
    const QString Digits = QString::number(std::fabs(Rounded), 'f', 1);
    return (Rounded < 0 ? u"-"_s : u"+"_s) + Digits;
}

} // namespace

TLoudnessTarget LoudnessTarget(TLoudnessPreset APreset) {
    switch (APreset) {
    case TLoudnessPreset::Quieter:
        return {-19, -1};
    case TLoudnessPreset::Broadcast:
        return {-23, -1};
    case TLoudnessPreset::SpokenWord:
        break;
    }
    return {-16, -1};
}

QString LoudnessTargetText(const TLoudnessTarget &ATarget) {
    return QString::number(ATarget.FIntegratedLufs, 'g', 4) + u" LUFS"_s;
}

TNormalisePlan NormaliseGain(double AIntegratedLufs, double ATruePeakDb,
                             const TLoudnessTarget &ATarget) {
    TNormalisePlan Plan;
    if (!std::isfinite(AIntegratedLufs)) {
        Plan.FSilent = true;
        Plan.FPeakAfterGainDb = ATruePeakDb;
        Plan.FText = u"Too quiet to measure: left as it is"_s;
        return Plan;
    }
    return NormalisePlanForGain(ATarget.FIntegratedLufs - AIntegratedLufs, ATruePeakDb, ATarget);
}

TNormalisePlan NormalisePlanForGain(double AGainDb, double ATruePeakDb,
                                    const TLoudnessTarget &ATarget) {
    TNormalisePlan Plan;
    Plan.FGainDb = AGainDb;
    Plan.FPeakAfterGainDb = ATruePeakDb + Plan.FGainDb;
    Plan.FLimiter = Plan.FPeakAfterGainDb > ATarget.FTruePeakCeilingDb;
    Plan.FText = u"Gain %1 dB"_s.arg(SignedDb(Plan.FGainDb));
    if (Plan.FLimiter)
        Plan.FText += u" with a limiter: the peaks would reach %1 dBTP"_s.arg(
            SignedDb(Plan.FPeakAfterGainDb));
    return Plan;
}
