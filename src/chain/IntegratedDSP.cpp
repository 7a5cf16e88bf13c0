#include "chain/IntegratedDSP.h"

#include "config/FloatText.h"
#include "station/SystemIni.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

template <class T>
std::unique_ptr<TIntegratedDSP> Construct(TDSPItemC &AItem, HSTREAM AChan,
                                          const TSystemIniBase &ASettings) {
    return std::make_unique<T>(AItem, AChan, ASettings);
}

} // namespace

int EqBandCount(const TSystemIniBase &ASettings) {
    return std::clamp(ASettings.BandsNum, 0, ASettings.EQBands.Count());
}

BASS_BFX_PEAKEQ EqBandRecord(const TSystemIniBase &ASettings, int AIndex, float AGainDb) {
    BASS_BFX_PEAKEQ band;
    band.lBand = AIndex;
    band.fBandwidth = ASettings.Bandwidth;
    band.fQ = 0;
    band.fCenter = static_cast<float>(ASettings.EQBands.Items(AIndex).CenterFreq);
    band.fGain = AGainDb;
    band.lChannel = BASS_BFX_CHANALL;
    return band;
}

BASS_BFX_COMPRESSOR2 CompressorRecord(const QStringList &AParams) {
    const auto value = [&AParams](qsizetype AIndex) {
        return AIndex < AParams.size() ? ParamFloat(AParams.at(AIndex)) : 0.0f;
    };
    BASS_BFX_COMPRESSOR2 params;
    params.fGain = value(0);
    params.fThreshold = value(1);
    params.fRatio = value(2);
    params.fAttack = value(3);
    params.fRelease = value(4);
    params.lChannel = BASS_BFX_CHANALL;
    return params;
}

qint32 ParamWholeNumber(QStringView AText) {
    qsizetype pos = 0;
    bool negative = false;
    if (!AText.isEmpty() && (AText[0] == u'-' || AText[0] == u'+')) {
        negative = AText[0] == u'-';
        pos = 1;
    }
    if (pos == AText.size())
        return 0;
    qint64 value = 0;
    for (; pos < AText.size(); ++pos) {
        const char16_t c = AText[pos].unicode();
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c - u'0');
        // Beyond 32 bits the text is not a readable whole number either.
        if (value > qint64(std::numeric_limits<qint32>::max()) + (negative ? 1 : 0))
            return 0;
    }
    return static_cast<qint32>(negative ? -value : value);
}

double ParamNumber(QStringView AText) {
    return ParseFloatText(AText).value_or(0.0);
}

float ParamFloat(QStringView AText) {
    // Effect and plug-in parameters are 32-bit floats; a number beyond their
    // range saturates rather than turning into infinity.
    constexpr double Max = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(ParamNumber(AText), -Max, Max));
}

// --- Equaliser ---------------------------------------------------------------

TIntegratedDSPEq::~TIntegratedDSPEq() {
    if (HFX != 0)
        SetDSP(false);
}

void TIntegratedDSPEq::SetDSP(bool AValue) {
    if (HFX != 0) {
        BASS_ChannelRemoveFX(Chan, HFX);
        HFX = 0;
    }
    if (!AValue)
        return;
    HFX = BASS_ChannelSetFX(Chan, BASS_FX_BFX_PEAKEQ, DSPPriority);
    if (HFX == 0)
        return;
    const TSystemIniBase &settings = FSettings;
    const int bands = EqBandCount(settings);
    for (int i = 0; i < bands; ++i) {
        const BASS_BFX_PEAKEQ band = EqBandRecord(settings, i, 0);
        BASS_FXSetParameters(HFX, &band);
    }
}

void TIntegratedDSPEq::UpdateDSP() {
    const TSystemIniBase &settings = FSettings;
    if (HFX == 0 || FD.Params.size() != settings.BandsNum)
        return;
    const int bands = EqBandCount(settings);
    for (int i = 0; i < bands; ++i) {
        BASS_BFX_PEAKEQ band;
        band.lBand = i;
        if (!BASS_FXGetParameters(HFX, &band))
            continue;
        // Width and centre stay as attached; only the gain follows Params.
        band.fGain = static_cast<float>(ParamWholeNumber(FD.Params.at(i)));
        BASS_FXSetParameters(HFX, &band);
    }
}

// --- Compressor --------------------------------------------------------------

TIntegratedDSPCompressor::~TIntegratedDSPCompressor() {
    if (HFX != 0)
        SetDSP(false);
}

void TIntegratedDSPCompressor::SetDSP(bool AValue) {
    if (AValue) {
        if (HFX == 0)
            HFX = BASS_ChannelSetFX(Chan, BASS_FX_BFX_COMPRESSOR2, DSPPriority);
        return;
    }
    BASS_ChannelRemoveFX(Chan, HFX);
    HFX = 0;
}

void TIntegratedDSPCompressor::UpdateDSP() {
    if (HFX == 0 || FD.Params.size() != 5)
        return;
    const BASS_BFX_COMPRESSOR2 params = CompressorRecord(FD.Params);
    BASS_FXSetParameters(HFX, &params);
}

// --- Gain ----------------------------------------------------------------------

TIntegratedDSPGain::TIntegratedDSPGain(TDSPItemC &inD, HSTREAM inChan,
                                       const TSystemIniBase &ASettings)
    : TIntegratedDSP(inD, inChan, ASettings), FGainData(std::make_unique<TGainData>()) {}

TIntegratedDSPGain::~TIntegratedDSPGain() {
    // The record is the callback's user data: it may go only once the
    // callback can no longer run.
    if (HFX != 0)
        SetDSP(false);
}

void TIntegratedDSPGain::SetDSP(bool AValue) {
    if (AValue) {
        if (HFX == 0)
            HFX = BASS_ChannelSetDSP(Chan, &GainDSPProc, FGainData.get(), DSPPriority);
        return;
    }
    BASS_ChannelRemoveDSP(Chan, HFX);
    HFX = 0;
}

void TIntegratedDSPGain::UpdateDSP() {
    if (FD.Params.size() != 1 || !FGainData)
        return;
    FGainData->Level.store(ParamNumber(FD.Params.at(0)), std::memory_order_relaxed);
}

void GainDSPProc(HDSP, HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
    if (AUser == nullptr)
        return;
    const double level =
        static_cast<const TGainData *>(AUser)->Level.load(std::memory_order_relaxed);
    // Level comes only from readable (finite) text, but a stray NaN must not
    // wipe out the audio.
    if (std::isnan(level))
        return;
    const double factor = std::pow(10.0, std::clamp(level, -60.0, 50.0) / 20.0);
    if (factor == 1.0)
        return;
    // The engine's buffers are float-aligned; a byte count that is not a
    // whole number of samples leaves its tail alone.
    auto *samples = static_cast<float *>(ABuffer);
    const quint32 count = ALength / 4;
    for (quint32 i = 0; i < count; ++i)
        samples[i] = static_cast<float>(samples[i] * factor);
}

// --- Kind to class -------------------------------------------------------------

TIntegratedDSPClass IntegratedDSPClass(TIntDSPKind AKind) {
    switch (AKind) {
    case dspEqualizer:
        return &Construct<TIntegratedDSPEq>;
    case dspCompressor:
        return &Construct<TIntegratedDSPCompressor>;
    case dspGain:
        return &Construct<TIntegratedDSPGain>;
    }
    return nullptr;
}
