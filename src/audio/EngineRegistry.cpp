#include "audio/EngineRegistry.h"

#include "audio/EngineEpoch.h"

TEngineRegistry &TEngineRegistry::Instance() {
    static TEngineRegistry Registry;
    return Registry;
}

TEngineRegistry::TEngineRegistry() {
    // Made first, so it is destroyed last: channels freed at exit may still
    // retire their effect settings into it.
    TEpochReclaimer::Instance();
}

TEngineRegistry::~TEngineRegistry() {
    for (auto &S : FSlots)
        delete S.exchange(nullptr);
}

TEngineChannel *TEngineRegistry::FindLocked(HSTREAM AHandle) {
    if (AHandle == 0)
        return nullptr;
    TEngineChannel *Channel = Slot(AHandle).load(std::memory_order_acquire);
    return Channel && Channel->Handle() == AHandle ? Channel : nullptr;
}

HSTREAM TEngineRegistry::AddChannel(std::unique_ptr<TEngineChannel> AChannel) {
    std::lock_guard Guard(FLock);
    for (quint32 Tries = 0; Tries < Capacity; ++Tries) {
        const HSTREAM Handle = FNextChannel++;
        if (Handle == 0 || Slot(Handle).load(std::memory_order_relaxed))
            continue;
        AChannel->SetHandle(Handle);
        Slot(Handle).store(AChannel.release(), std::memory_order_release);
        return Handle;
    }
    return 0;
}

bool TEngineRegistry::FreeChannel(HSTREAM AHandle) {
    TEngineChannel *Channel;
    {
        std::lock_guard Guard(FLock);
        Channel = FindLocked(AHandle);
        if (!Channel)
            return false;
        for (quint32 Link : Channel->LinkHandles())
            FLinks.erase(Link);
        Slot(AHandle).store(nullptr, std::memory_order_release);
    }
    // The caller may free the source's user data as soon as we return, so
    // wait for any buffer in progress to finish; the channel takes its
    // source, chain and effects with it.
    TEpochReclaimer::Instance().Synchronize();
    TEpochReclaimer::Instance().Retire(Channel);
    return true;
}

bool TEngineRegistry::ChannelInfo(HSTREAM AHandle, BASS_CHANNELINFO &AInfo) {
    std::lock_guard Guard(FLock);
    const TEngineChannel *Channel = FindLocked(AHandle);
    if (!Channel)
        return false;
    AInfo = Channel->Info();
    return true;
}

qint32 TEngineRegistry::GetData(HSTREAM AHandle, void *ABuffer, quint32 ALength) {
    if (AHandle == 0)
        return -1;
    const TEpochReclaimer::TReadSection Section;
    TEngineChannel *Channel = Slot(AHandle).load(std::memory_order_acquire);
    if (!Channel || Channel->Handle() != AHandle)
        return -1;
    return Channel->GetData(ABuffer, ALength);
}

quint32 TEngineRegistry::NextLinkHandle() {
    quint32 Handle = FNextLink++;
    if (Handle == 0)
        Handle = FNextLink++;
    return Handle;
}

HFX TEngineRegistry::AddEffect(HSTREAM AChannel, quint32 AType, qint32 APriority) {
    std::lock_guard Guard(FLock);
    TEngineChannel *Channel = FindLocked(AChannel);
    if (!Channel)
        return 0;
    auto Effect = CreateEngineEffect(AType, Channel->Info().freq, Channel->Info().chans);
    if (!Effect)
        return 0;
    const HFX Handle = NextLinkHandle();
    Channel->AttachEffect(Handle, std::move(Effect), APriority);
    FLinks[Handle] = {AChannel, true};
    return Handle;
}

HDSP TEngineRegistry::AddCallback(HSTREAM AChannel, DSPPROC AProc, void *AUser, qint32 APriority) {
    std::lock_guard Guard(FLock);
    TEngineChannel *Channel = FindLocked(AChannel);
    if (!Channel || !AProc)
        return 0;
    const HDSP Handle = NextLinkHandle();
    Channel->AttachCallback(Handle, AProc, AUser, APriority);
    FLinks[Handle] = {AChannel, false};
    return Handle;
}

bool TEngineRegistry::RemoveLink(HSTREAM AChannel, quint32 ALink, bool AEffect) {
    {
        std::lock_guard Guard(FLock);
        const auto It = FLinks.find(ALink);
        if (It == FLinks.end() || It->second.FChannel != AChannel || It->second.FEffect != AEffect)
            return false;
        TEngineChannel *Channel = FindLocked(AChannel);
        if (!Channel || !Channel->Detach(ALink))
            return false;
        FLinks.erase(It);
    }
    // A callback's owner frees its user data right after removing it (the
    // gain stage does), so the callback must not be running any more when
    // we return.
    TEpochReclaimer::Instance().Synchronize();
    return true;
}

bool TEngineRegistry::RemoveEffect(HSTREAM AChannel, HFX AEffect) {
    return RemoveLink(AChannel, AEffect, true);
}

bool TEngineRegistry::RemoveCallback(HSTREAM AChannel, HDSP ACallback) {
    return RemoveLink(AChannel, ACallback, false);
}

bool TEngineRegistry::SetEffectParameters(HFX AEffect, const void *AParams) {
    std::lock_guard Guard(FLock);
    const auto It = FLinks.find(AEffect);
    if (It == FLinks.end() || !It->second.FEffect)
        return false;
    TEngineChannel *Channel = FindLocked(It->second.FChannel);
    TEngineEffect *Effect = Channel ? Channel->Effect(AEffect) : nullptr;
    return Effect && Effect->SetParameters(AParams);
}

bool TEngineRegistry::GetEffectParameters(HFX AEffect, void *AParams) {
    std::lock_guard Guard(FLock);
    const auto It = FLinks.find(AEffect);
    if (It == FLinks.end() || !It->second.FEffect)
        return false;
    TEngineChannel *Channel = FindLocked(It->second.FChannel);
    const TEngineEffect *Effect = Channel ? Channel->Effect(AEffect) : nullptr;
    return Effect && Effect->GetParameters(AParams);
}
