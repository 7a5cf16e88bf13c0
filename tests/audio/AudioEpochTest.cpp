// Reclamation of replaced engine objects: nothing is freed while a reader
// that could hold it is inside its read section.

#include "audio/EngineEpoch.h"

#include <gtest/gtest.h>

namespace {

struct TTracked {
    int *FFreed;
    ~TTracked() { ++*FFreed; }
};

TEST(AudioEpoch, RetiredObjectWaitsForTheReaderInside) {
    TEpochReclaimer Reclaimer;
    int Freed = 0;
    {
        const TEpochReclaimer::TReadSection Reader(Reclaimer);
        Reclaimer.Retire(new TTracked{&Freed});
        for (int I = 0; I < 5; ++I)
            Reclaimer.Collect();
        EXPECT_EQ(Freed, 0);
    }
    EXPECT_EQ(Reclaimer.Collect(), 0);
    EXPECT_EQ(Freed, 1);
}

TEST(AudioEpoch, ReaderArrivingLaterDoesNotHoldOlderObjects) {
    // An object retired before a reader entered cannot be in that reader's
    // hands: it goes even while the later reader stays inside.
    TEpochReclaimer Reclaimer;
    int Freed = 0;
    Reclaimer.Retire(new TTracked{&Freed});
    EXPECT_EQ(Freed, 1) << "no reader at all: freed at once";

    auto *Early = new TEpochReclaimer::TReadSection(Reclaimer);
    Reclaimer.Retire(new TTracked{&Freed});
    Reclaimer.Collect();
    EXPECT_EQ(Freed, 1);
    delete Early;
    {
        const TEpochReclaimer::TReadSection Late(Reclaimer);
        Reclaimer.Collect();
        EXPECT_EQ(Freed, 2);
        Reclaimer.Retire(new TTracked{&Freed});
        EXPECT_EQ(Freed, 2) << "retired while Late is inside";
    }
    Reclaimer.Collect();
    EXPECT_EQ(Freed, 3);
}

TEST(AudioEpoch, LeftoversAreFreedWithTheReclaimer) {
    int Freed = 0;
    {
        TEpochReclaimer Reclaimer;
        const TEpochReclaimer::TReadSection *Reader = new TEpochReclaimer::TReadSection(Reclaimer);
        Reclaimer.Retire(new TTracked{&Freed});
        Reclaimer.Retire(new TTracked{&Freed});
        EXPECT_EQ(Reclaimer.Collect(), 2);
        delete Reader;
    }
    EXPECT_EQ(Freed, 2);
}

} // namespace
