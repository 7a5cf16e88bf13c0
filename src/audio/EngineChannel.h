#pragma once
// One channel of the audio engine: where its samples come from, and the
// chain of effects and sample callbacks that runs over every buffer.
//
// The chain is kept twice: the control thread's working list, and an
// immutable sorted copy published to the audio thread through an atomic
// pointer (old copies go to the epoch reclaimer).

#include "audio/AudioEngine.h"
#include "audio/EngineEffects.h"
#include "audio/SoundFile.h"

#include <atomic>
#include <map>
#include <memory>
#include <vector>

// Where a channel's samples come from. Audio thread only.
class TStreamSource {
public:
    virtual ~TStreamSource() = default;
    // Fills up to AFrames frames; returns the frames produced and sets
    // AEnded when the source has nothing more after them.
    virtual quint32 Read(HSTREAM AHandle, float *ABuffer, quint32 AFrames, bool &AEnded) = 0;
};

// Samples handed over by the caller's STREAMPROC.
std::unique_ptr<TStreamSource> MakeProcSource(quint32 AChannels, STREAMPROC AProc, void *AUser);
// Samples read from an opened sound file.
std::unique_ptr<TStreamSource> MakeFileSource(std::unique_ptr<TSoundFileReader> AReader);

// One effect or sample callback in a chain.
struct TChainLink {
    quint32 FHandle = 0;
    qint32 FPriority = 0;
    quint64 FOrder = 0;               // attach order, for equal priorities
    TEngineEffect *FEffect = nullptr; // an effect, or else the callback below
    DSPPROC FProc = nullptr;
    void *FUser = nullptr;
};

// The chain as the audio thread runs it: sorted, never changed once published.
struct TChainSnapshot {
    std::vector<TChainLink> FLinks;
};

class TEngineChannel {
public:
    TEngineChannel(quint32 ARate, quint32 AChannels, std::unique_ptr<TStreamSource> ASource);
    ~TEngineChannel();
    TEngineChannel(const TEngineChannel &) = delete;
    TEngineChannel &operator=(const TEngineChannel &) = delete;

    // Set once, before the channel is published.
    void SetHandle(HSTREAM AHandle) { FHandle = AHandle; }
    HSTREAM Handle() const { return FHandle; }
    const BASS_CHANNELINFO &Info() const { return FInfo; }

    // Audio thread, inside an epoch read section. -1 when another thread is
    // pulling this channel at the same moment (one puller at a time).
    qint32 GetData(void *ABuffer, quint32 ALength);

    // Control thread. The effect is owned by the channel from now on.
    void AttachEffect(quint32 AHandle, std::unique_ptr<TEngineEffect> AEffect, qint32 APriority);
    void AttachCallback(quint32 AHandle, DSPPROC AProc, void *AUser, qint32 APriority);
    // Takes the link out of the chain; its effect goes to the reclaimer.
    // false when the handle is not attached here.
    bool Detach(quint32 AHandle);
    TEngineEffect *Effect(quint32 AHandle) const;
    // Handles of every attached effect and callback.
    std::vector<quint32> LinkHandles() const;

private:
    void PublishChain();

    HSTREAM FHandle = 0;
    BASS_CHANNELINFO FInfo;
    std::unique_ptr<TStreamSource> FSource; // audio side
    bool FEnded = false;                    // audio side
    std::atomic<bool> FPulling{false};
    std::atomic<const TChainSnapshot *> FChain;

    // Control side.
    std::vector<TChainLink> FLinks;
    std::map<quint32, std::unique_ptr<TEngineEffect>> FEffects;
    quint64 FNextOrder = 0;
};
