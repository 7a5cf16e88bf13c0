#include "audio/EngineChannel.h"

#include "audio/EngineEpoch.h"

#include <algorithm>

namespace {

class TProcSource final : public TStreamSource {
public:
    TProcSource(quint32 AChannels, STREAMPROC AProc, void *AUser)
        : FChannels(AChannels), FProc(AProc), FUser(AUser) {}

    quint32 Read(HSTREAM AHandle, float *ABuffer, quint32 AFrames, bool &AEnded) override {
        const auto Asked = quint32(AFrames * FChannels * sizeof(float));
        const quint32 Given = FProc(AHandle, ABuffer, Asked, FUser);
        if (Given > Asked) {
            // More than the buffer holds: the source wrote past our buffer
            // or returned a flag word; either way its samples cannot be
            // trusted, so the stream ends here.
            AEnded = true;
            return 0;
        }
        if (Given < Asked)
            AEnded = true;
        // A trailing part of a frame is dropped: effects work on whole frames.
        return Given / (FChannels * sizeof(float));
    }

private:
    quint32 FChannels;
    STREAMPROC FProc;
    void *FUser;
};

class TFileSource final : public TStreamSource {
public:
    explicit TFileSource(std::unique_ptr<TSoundFileReader> AReader) : FReader(std::move(AReader)) {}

    quint32 Read(HSTREAM, float *ABuffer, quint32 AFrames, bool &AEnded) override {
        const auto Done = quint32(FReader->ReadFrames(ABuffer, AFrames));
        if (Done < AFrames)
            AEnded = true;
        return Done;
    }

private:
    std::unique_ptr<TSoundFileReader> FReader;
};

} // namespace

std::unique_ptr<TStreamSource> MakeProcSource(quint32 AChannels, STREAMPROC AProc, void *AUser) {
    return std::make_unique<TProcSource>(AChannels, AProc, AUser);
}

std::unique_ptr<TStreamSource> MakeFileSource(std::unique_ptr<TSoundFileReader> AReader) {
    return std::make_unique<TFileSource>(std::move(AReader));
}

TEngineChannel::TEngineChannel(quint32 ARate, quint32 AChannels,
                               std::unique_ptr<TStreamSource> ASource)
    : FInfo{ARate, AChannels}, FSource(std::move(ASource)), FChain(new TChainSnapshot) {}

TEngineChannel::~TEngineChannel() {
    // Only reached through the reclaimer (or at exit): no reader is left.
    delete FChain.load(std::memory_order_relaxed);
}

qint32 TEngineChannel::GetData(void *ABuffer, quint32 ALength) {
    if (FPulling.exchange(true, std::memory_order_acquire))
        return -1;
    const quint32 FrameBytes = FInfo.chans * sizeof(float);
    quint32 Frames = std::min<quint32>(ALength / FrameBytes, 0x7FFFFFFF / FrameBytes);
    quint32 Produced = 0;
    if (ABuffer && Frames > 0 && !FEnded)
        Produced = FSource->Read(FHandle, static_cast<float *>(ABuffer), Frames, FEnded);
    if (Produced > 0) {
        float *Samples = static_cast<float *>(ABuffer);
        const quint32 Bytes = Produced * FrameBytes;
        const TChainSnapshot *Chain = FChain.load(std::memory_order_acquire);
        for (const TChainLink &Link : Chain->FLinks) {
            if (Link.FEffect)
                Link.FEffect->Process(Samples, Produced);
            else
                Link.FProc(Link.FHandle, FHandle, Samples, Bytes, Link.FUser);
        }
    }
    FPulling.store(false, std::memory_order_release);
    return qint32(Produced * FrameBytes);
}

void TEngineChannel::AttachEffect(quint32 AHandle, std::unique_ptr<TEngineEffect> AEffect,
                                  qint32 APriority) {
    TChainLink Link;
    Link.FHandle = AHandle;
    Link.FPriority = APriority;
    Link.FOrder = FNextOrder++;
    Link.FEffect = AEffect.get();
    FEffects[AHandle] = std::move(AEffect);
    FLinks.push_back(Link);
    PublishChain();
}

void TEngineChannel::AttachCallback(quint32 AHandle, DSPPROC AProc, void *AUser, qint32 APriority) {
    TChainLink Link;
    Link.FHandle = AHandle;
    Link.FPriority = APriority;
    Link.FOrder = FNextOrder++;
    Link.FProc = AProc;
    Link.FUser = AUser;
    FLinks.push_back(Link);
    PublishChain();
}

bool TEngineChannel::Detach(quint32 AHandle) {
    const auto It = std::find_if(FLinks.begin(), FLinks.end(),
                                 [AHandle](const TChainLink &L) { return L.FHandle == AHandle; });
    if (It == FLinks.end())
        return false;
    FLinks.erase(It);
    PublishChain();
    // The old chain (retired by PublishChain) may still be running the
    // effect; it goes the same way, so it outlives that chain.
    if (const auto E = FEffects.find(AHandle); E != FEffects.end()) {
        TEpochReclaimer::Instance().Retire(E->second.release());
        FEffects.erase(E);
    }
    return true;
}

TEngineEffect *TEngineChannel::Effect(quint32 AHandle) const {
    const auto It = FEffects.find(AHandle);
    return It == FEffects.end() ? nullptr : It->second.get();
}

std::vector<quint32> TEngineChannel::LinkHandles() const {
    std::vector<quint32> Handles;
    for (const TChainLink &L : FLinks)
        Handles.push_back(L.FHandle);
    return Handles;
}

void TEngineChannel::PublishChain() {
    auto Chain = std::make_unique<TChainSnapshot>();
    Chain->FLinks = FLinks;
    std::stable_sort(Chain->FLinks.begin(), Chain->FLinks.end(),
                     [](const TChainLink &A, const TChainLink &B) {
                         if (A.FPriority != B.FPriority)
                             return A.FPriority > B.FPriority;
                         return A.FOrder < B.FOrder;
                     });
    const TChainSnapshot *Old = FChain.exchange(Chain.release(), std::memory_order_acq_rel);
    TEpochReclaimer::Instance().Retire(Old);
}
