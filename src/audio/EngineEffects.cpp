#include "audio/EngineEffects.h"

#include "audio/AudioEngine.h"
#include "audio/Compressor.h"
#include "audio/EngineEpoch.h"
#include "audio/EngineSelection.h"
#include "audio/PeakEq.h"

#include <atomic>
#include <cmath>
#include <vector>

namespace {

// The published setup of one effect: the audio thread reads it inside its
// read section; the control thread swaps it and retires the old one.
template <typename TSetup> class TPublished {
public:
    TPublished() : FCurrent(new TSetup) {}
    ~TPublished() { delete FCurrent.load(std::memory_order_relaxed); }
    TPublished(const TPublished &) = delete;
    TPublished &operator=(const TPublished &) = delete;

    const TSetup &Read() const { return *FCurrent.load(std::memory_order_acquire); }
    void Publish(std::unique_ptr<TSetup> ASetup) {
        const TSetup *Old = FCurrent.exchange(ASetup.release(), std::memory_order_acq_rel);
        TEpochReclaimer::Instance().Retire(Old);
    }

private:
    std::atomic<const TSetup *> FCurrent;
};

bool IsFinite(std::initializer_list<float> AValues) {
    for (float V : AValues)
        if (!std::isfinite(V))
            return false;
    return true;
}

class TPeakEqEffect final : public TEngineEffect {
public:
    TPeakEqEffect(quint32 ARate, quint32 AChannels)
        : FRate(ARate), FFilter(std::make_unique<TPeakEqFilter>(AChannels, MaxBands)) {}

    void Process(float *AData, quint32 AFrames) override {
        FFilter->Process(FSetup.Read(), AData, AFrames);
    }

    bool SetParameters(const void *AParams) override {
        if (!AParams)
            return false;
        const BASS_BFX_PEAKEQ &P = *static_cast<const BASS_BFX_PEAKEQ *>(AParams);
        if (P.lBand < 0 || !IsFinite({P.fBandwidth, P.fQ, P.fCenter, P.fGain}))
            return false;
        if (P.fCenter <= 0 || P.fQ < 0 || (P.fQ == 0 && P.fBandwidth <= 0))
            return false;
        std::size_t Index = 0;
        while (Index < FBands.size() && FBands[Index].lBand != P.lBand)
            ++Index;
        if (Index == FBands.size()) {
            // The filter memory is sized once, when the effect is made, so
            // the audio thread never sees it move.
            if (FBands.size() >= MaxBands)
                return false;
            FBands.push_back(P);
        } else {
            FBands[Index] = P;
        }
        PublishBands();
        return true;
    }

    bool GetParameters(void *AParams) const override {
        if (!AParams)
            return false;
        BASS_BFX_PEAKEQ &P = *static_cast<BASS_BFX_PEAKEQ *>(AParams);
        for (const BASS_BFX_PEAKEQ &Band : FBands)
            if (Band.lBand == P.lBand) {
                P = Band;
                return true;
            }
        return false;
    }

private:
    // Far more than any layout of bands uses; 32 bytes per band and channel.
    static constexpr quint32 MaxBands = 64;

    void PublishBands() {
        auto Setup = std::make_unique<TPeakEqSetup>();
        // A band's filter memory stays at its position in FBands (bands are
        // never removed), so a change of one band leaves the others' running
        // filters untouched.
        for (std::size_t Slot = 0; Slot < FBands.size(); ++Slot) {
            const BASS_BFX_PEAKEQ &B = FBands[Slot];
            TPeakEqStage Stage;
            Stage.FCoeffs = PeakEqBandCoeffs(FRate, B);
            Stage.FSlot = quint32(Slot);
            Stage.FChannelMask = ChannelSelectionMask(B.lChannel);
            if (Stage.FCoeffs.IsIdentity() || Stage.FChannelMask == 0)
                Setup->FIdleSlots.push_back(quint32(Slot));
            else
                Setup->FStages.push_back(Stage);
        }
        FSetup.Publish(std::move(Setup));
    }

    double FRate;
    std::vector<BASS_BFX_PEAKEQ> FBands; // control side, in creation order
    TPublished<TPeakEqSetup> FSetup;
    std::unique_ptr<TPeakEqFilter> FFilter; // audio side
};

class TCompressorEffect final : public TEngineEffect {
public:
    TCompressorEffect(quint32 ARate, quint32 AChannels) : FRate(ARate), FFilter(ARate, AChannels) {
        PublishRecord();
    }

    void Process(float *AData, quint32 AFrames) override {
        FFilter.Process(FSetup.Read(), AData, AFrames);
    }

    bool SetParameters(const void *AParams) override {
        if (!AParams)
            return false;
        const BASS_BFX_COMPRESSOR2 &P = *static_cast<const BASS_BFX_COMPRESSOR2 *>(AParams);
        if (!IsFinite({P.fGain, P.fThreshold, P.fRatio, P.fAttack, P.fRelease}))
            return false;
        FRecord = P;
        PublishRecord();
        return true;
    }

    bool GetParameters(void *AParams) const override {
        if (!AParams)
            return false;
        *static_cast<BASS_BFX_COMPRESSOR2 *>(AParams) = FRecord;
        return true;
    }

private:
    void PublishRecord() {
        FSetup.Publish(std::make_unique<TCompressorSetup>(TCompressorSetup::Make(
            FRate, FRecord.fGain, FRecord.fThreshold, FRecord.fRatio, FRecord.fAttack,
            FRecord.fRelease, ChannelSelectionMask(FRecord.lChannel))));
    }

    double FRate;
    BASS_BFX_COMPRESSOR2 FRecord; // control side
    TPublished<TCompressorSetup> FSetup;
    TCompressorFilter FFilter; // audio side
};

} // namespace

std::unique_ptr<TEngineEffect> CreateEngineEffect(quint32 AType, quint32 ARate, quint32 AChannels) {
    if (ARate == 0 || AChannels == 0 || AChannels > MaxStreamChannels)
        return nullptr;
    switch (AType) {
    case BASS_FX_BFX_PEAKEQ:
        return std::make_unique<TPeakEqEffect>(ARate, AChannels);
    case BASS_FX_BFX_COMPRESSOR2:
        return std::make_unique<TCompressorEffect>(ARate, AChannels);
    default:
        return nullptr;
    }
}
