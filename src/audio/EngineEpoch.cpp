#include "audio/EngineEpoch.h"

#include <algorithm>
#include <thread>

namespace {

// Read sections the current thread is in. A plain thread-local integer in a
// static library: no allocation, no call, on first use or later.
thread_local int ReadDepth = 0;

} // namespace

bool TEpochReclaimer::InsideReadSection() {
    return ReadDepth > 0;
}

TEpochReclaimer &TEpochReclaimer::Instance() {
    static TEpochReclaimer Reclaimer;
    return Reclaimer;
}

TEpochReclaimer::~TEpochReclaimer() {
    for (const TRetired &R : FRetired)
        R.FDelete(R.FObject);
}

TEpochReclaimer::TReadSection::TReadSection(TEpochReclaimer &AOwner) {
    // Sequentially consistent on both sides: the count must be visible to the
    // control thread before we trust the epoch we re-read (a Dekker pair with
    // AdvanceLocked, which reads the counter after storing the epoch).
    for (;;) {
        const quint64 Epoch = AOwner.FEpoch.load();
        FCounter = &AOwner.FReaders[Epoch & 1];
        FCounter->fetch_add(1);
        if (AOwner.FEpoch.load() == Epoch)
            break;
        FCounter->fetch_sub(1);
    }
    ++ReadDepth;
}

TEpochReclaimer::TReadSection::~TReadSection() {
    --ReadDepth;
    FCounter->fetch_sub(1, std::memory_order_release);
}

void TEpochReclaimer::AdvanceLocked() {
    // At most two steps: that is all an object retired now needs.
    for (int Step = 0; Step < 2; ++Step) {
        const quint64 Epoch = FEpoch.load();
        if (FReaders[(Epoch + 1) & 1].load() != 0)
            return; // readers of epoch - 1 still inside
        FEpoch.store(Epoch + 1);
    }
}

void TEpochReclaimer::Retire(void *AObject, void (*ADelete)(void *)) {
    if (!AObject)
        return;
    {
        std::lock_guard Guard(FRetiredLock);
        FRetired.push_back({AObject, ADelete, FEpoch.load()});
    }
    Collect();
}

qsizetype TEpochReclaimer::Collect() {
    std::vector<TRetired> Free;
    qsizetype Waiting;
    {
        std::lock_guard Guard(FRetiredLock);
        AdvanceLocked();
        const quint64 Epoch = FEpoch.load();
        const auto Safe = [Epoch](const TRetired &R) { return R.FEpoch + 2 <= Epoch; };
        const auto Split = std::stable_partition(FRetired.begin(), FRetired.end(),
                                                 [&](const TRetired &R) { return !Safe(R); });
        Free.assign(Split, FRetired.end());
        FRetired.erase(Split, FRetired.end());
        Waiting = qsizetype(FRetired.size());
    }
    // Outside the lock: a destructor may retire objects of its own.
    for (const TRetired &R : Free)
        R.FDelete(R.FObject);
    return Waiting;
}

void TEpochReclaimer::Synchronize() {
    if (InsideReadSection())
        return;
    // Two steps past the epoch of now: then nobody who entered before this
    // call is left (see AdvanceLocked).
    const quint64 Target = FEpoch.load() + 2;
    for (;;) {
        {
            std::lock_guard Guard(FRetiredLock);
            AdvanceLocked();
            if (FEpoch.load() >= Target)
                break;
        }
        std::this_thread::yield();
    }
    Collect();
}
