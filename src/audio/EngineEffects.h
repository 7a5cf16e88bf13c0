#pragma once
// The effects the engine can attach to a channel. Each keeps its settings on
// the control thread and publishes them to the audio thread as an immutable
// setup behind an atomic pointer; old setups go to the epoch reclaimer, so a
// buffer always runs with one whole setup, never half of two.

#include <QtGlobal>
#include <memory>

class TEngineEffect {
public:
    virtual ~TEngineEffect() = default;

    // Audio thread: processes AFrames frames of interleaved float samples in
    // place. Called inside an epoch read section.
    virtual void Process(float *AData, quint32 AFrames) = 0;

    // Control thread: AParams points at the record of the effect's type.
    virtual bool SetParameters(const void *AParams) = 0;
    virtual bool GetParameters(void *AParams) const = 0;
};

// An effect of AType for a channel of ARate samples per second and AChannels
// interleaved channels; nullptr for a type the engine does not know.
std::unique_ptr<TEngineEffect> CreateEngineEffect(quint32 AType, quint32 ARate, quint32 AChannels);
