#pragma once
// The engine's table of channels and of the effect and callback handles on
// them. Control calls are serialised by one lock; the audio path finds its
// channel through a fixed table of atomic pointers and takes no lock.
//
// Handles are never reused within a run: a channel handle picks its table
// slot (handle modulo the table size), and a lookup checks that the channel
// in the slot carries exactly that handle, so a freed handle stays unknown
// even after its slot is taken again.

#include "audio/EngineChannel.h"

#include <array>
#include <atomic>
#include <mutex>
#include <unordered_map>

class TEngineRegistry {
public:
    static TEngineRegistry &Instance();

    TEngineRegistry();
    ~TEngineRegistry();
    TEngineRegistry(const TEngineRegistry &) = delete;
    TEngineRegistry &operator=(const TEngineRegistry &) = delete;

    // 0 when every slot is taken.
    HSTREAM AddChannel(std::unique_ptr<TEngineChannel> AChannel);
    bool FreeChannel(HSTREAM AHandle);
    bool ChannelInfo(HSTREAM AHandle, BASS_CHANNELINFO &AInfo);

    // Audio path.
    qint32 GetData(HSTREAM AHandle, void *ABuffer, quint32 ALength);

    HFX AddEffect(HSTREAM AChannel, quint32 AType, qint32 APriority);
    bool RemoveEffect(HSTREAM AChannel, HFX AEffect);
    bool SetEffectParameters(HFX AEffect, const void *AParams);
    bool GetEffectParameters(HFX AEffect, void *AParams);

    HDSP AddCallback(HSTREAM AChannel, DSPPROC AProc, void *AUser, qint32 APriority);
    bool RemoveCallback(HSTREAM AChannel, HDSP ACallback);

    // Most channels that can exist at once.
    static constexpr quint32 Capacity = 1024;

private:
    std::atomic<TEngineChannel *> &Slot(HSTREAM AHandle) { return FSlots[AHandle % Capacity]; }
    TEngineChannel *FindLocked(HSTREAM AHandle);
    quint32 NextLinkHandle();
    bool RemoveLink(HSTREAM AChannel, quint32 ALink, bool AEffect);

    std::mutex FLock; // control side
    std::array<std::atomic<TEngineChannel *>, Capacity> FSlots{};
    HSTREAM FNextChannel = 1;
    quint32 FNextLink = 1;
    // Effect and callback handles to their channel and kind (true = effect).
    struct TLinkOwner {
        HSTREAM FChannel;
        bool FEffect;
    };
    std::unordered_map<quint32, TLinkOwner> FLinks;
};
