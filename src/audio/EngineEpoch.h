#pragma once
// Safe reclamation for the audio engine: the control thread replaces what the
// audio threads read (channel tables, effect chains, effect settings) by
// publishing a new object through an atomic pointer, and hands the old one to
// the reclaimer, which frees it only after every audio thread that could
// still be reading it has left its read section.
//
// Scheme: a global epoch and two reader counters, one per epoch parity. A
// reader enters by counting itself in the counter of the epoch it saw and
// checking that the epoch did not move meanwhile; it never waits, allocates
// or calls the system. The control side moves the epoch from e to e + 1 only
// when nobody is left in the counter of e - 1, so once the epoch has moved
// twice past the epoch an object was retired in, no reader can hold it.

#include <QtGlobal>
#include <atomic>
#include <mutex>
#include <vector>

class TEpochReclaimer {
public:
    // The reclaimer every engine object uses.
    static TEpochReclaimer &Instance();

    TEpochReclaimer() = default;
    // Frees whatever is still retired; by then no audio thread may run.
    ~TEpochReclaimer();
    TEpochReclaimer(const TEpochReclaimer &) = delete;
    TEpochReclaimer &operator=(const TEpochReclaimer &) = delete;

    // Audio side: hold one while reading published objects.
    class TReadSection {
    public:
        explicit TReadSection(TEpochReclaimer &AOwner = Instance());
        ~TReadSection();
        TReadSection(const TReadSection &) = delete;
        TReadSection &operator=(const TReadSection &) = delete;

    private:
        std::atomic<quint32> *FCounter;
    };

    // Whether the calling thread is inside a read section.
    static bool InsideReadSection();

    // Control side: AObject is no longer reachable for new readers; ADelete
    // frees it once the current readers are gone. Also tries to free older
    // objects.
    void Retire(void *AObject, void (*ADelete)(void *));
    template <typename T> void Retire(const T *AObject) {
        if (AObject)
            Retire(const_cast<T *>(AObject), [](void *P) { delete static_cast<T *>(P); });
    }
    // Frees what no reader can hold any more; returns how many objects wait.
    qsizetype Collect();
    // Waits (yielding) until every reader that is inside now has left, so
    // that whatever was unpublished before the call is out of every audio
    // thread's hands: after it, a removed callback no longer runs and a
    // freed stream's source is no longer read. Called from inside a read
    // section (a callback removing itself) it cannot wait for its own
    // thread and returns at once.
    void Synchronize();

private:
    struct TRetired {
        void *FObject;
        void (*FDelete)(void *);
        quint64 FEpoch;
    };

    void AdvanceLocked();

    std::atomic<quint64> FEpoch{2};
    std::atomic<quint32> FReaders[2]{};
    std::mutex FRetiredLock; // control side only
    std::vector<TRetired> FRetired;
};
