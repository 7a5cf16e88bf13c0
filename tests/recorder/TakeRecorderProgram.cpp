// Records the test signal in real time into a take until it is killed:
//   vocarra-test-take-recorder JOURNAL-FOLDER TAKES-FOLDER NAME
// After every tenth of a second it prints "frames N": N frames handed to the
// writer so far.

#include "TakeSignals.h"
#include "recorder/TakeWriter.h"

#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s JOURNAL-FOLDER TAKES-FOLDER NAME\n", argv[0]);
        return 2;
    }
    TTakeOptions Options;
    Options.FJournalFolder = QString::fromLocal8Bit(argv[1]);
    Options.FTakesFolder = QString::fromLocal8Bit(argv[2]);
    Options.FTakeName = QString::fromLocal8Bit(argv[3]);
    TTakeWriter Writer(Options);
    QString Error;
    if (!Writer.Start(&Error)) {
        std::fprintf(stderr, "%s\n", qPrintable(Error));
        return 1;
    }
    // Capture comes in 10 ms periods, as from a sound server.
    constexpr std::size_t Period = SignalRate / 100;
    long long Frames = 0;
    auto Next = std::chrono::steady_clock::now();
    for (int Periods = 1;; ++Periods) {
        const std::vector<float> Block = SignalBlock(Frames, Period, 2);
        if (!Writer.Write(Block.data(), Period)) {
            std::fprintf(stderr, "dropped at frame %lld\n", Frames);
            return 1;
        }
        Frames += Period;
        if (Periods % 10 == 0) {
            std::printf("frames %lld\n", Frames);
            std::fflush(stdout);
        }
        Next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(Next);
    }
}
