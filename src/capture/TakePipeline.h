#pragma once
// One take from the input to the disk: the capture source fills a ring on
// its own thread; a processing thread of the pipeline pulls the ring through
// our audio engine (a stream fed from the ring, the microphone chain attached
// to it by a TDSPManager) and hands every processed block to the meters and
// the take writer.
//
//   capture thread -> TSampleRing -> processing thread: engine + chain
//                                      -> TLoudnessMeter, TTakeWriter (-> writer thread)
//
// Threads: construct, Start, WaitFinished, Stop on one controlling thread
// (the main thread: the chain's entries are started and stopped there);
// Reading, Frames and the counts on any.

#include "audio/AudioEngine.h"
#include "capture/CaptureSource.h"
#include "loudness/LoudnessMeter.h"
#include "recorder/SampleRing.h"
#include "recorder/TakeWriter.h"

#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class TDSPItemsC;
class TDSPManager;
class TSystemIniBase;

struct TTakePipelineOptions {
    TCaptureRequest FCapture;
    // The take's name and folders; rate and channels follow FCapture.
    TTakeOptions FTake;
    // The microphone chain and the settings it runs with (not owned; both
    // outlive the pipeline); no chain: the input goes to the take as it is.
    TDSPItemsC *FChain = nullptr;
    const TSystemIniBase *FSettings = nullptr;
    // Ends the take by itself after this many frames; 0: only Stop ends it.
    qint64 FFrames = 0;
};

// The padding is the ring's own (its counts on cache lines of their own).
class TTakePipeline { // NOLINT(clang-analyzer-optin.performance.Padding)
public:
    TTakePipeline(std::unique_ptr<TCaptureSource> ASource, TTakePipelineOptions AOptions);
    // Stops a take still running.
    ~TTakePipeline();
    TTakePipeline(const TTakePipeline &) = delete;
    TTakePipeline &operator=(const TTakePipeline &) = delete;

    // Starts the take: the journal, the engine's stream with the chain, the
    // capture, the processing thread. False with AError set when any of
    // them cannot start (nothing is left running then).
    bool Start(QString &AError);

    // Blocks until the take has its frames (FFrames), the capture failed or
    // the take writer gave up; true for the first.
    bool WaitFinished();

    // Stops the capture, processes what it already delivered, stops the
    // chain and finishes the take file.
    TTakeResult Stop();

    // The device really recorded from, and the warning when it is not the
    // one asked for.
    QString OpenedDevice() const { return FSource->OpenedDevice(); }
    QString Warning() const { return FSource->Warning(); }
    // Why the take ended early, empty when it did not.
    QString Failure() const;

    TLoudnessReading Reading() const { return FMeter.Reading(); }
    qint64 Frames() const { return FProcessed.load(std::memory_order_relaxed); }
    // Input the processing thread did not keep up with.
    std::uint64_t CaptureOverruns() const { return FRing.Overruns(); }
    std::uint64_t CaptureLostFrames() const {
        return FRing.LostSamples() / FOptions.FCapture.FChannels;
    }

private:
    void Run();
    void StopChain();
    void SetDone();
    static quint32 FeedFromRing(HSTREAM, void *ABuffer, quint32 ALength, void *AUser);

    TTakePipelineOptions FOptions;
    std::unique_ptr<TCaptureSource> FSource;
    TSampleRing FRing;
    TDataReady FDataReady{0};
    TLoudnessMeter FMeter;
    TTakeWriter FWriter;
    std::unique_ptr<TDSPManager> FManager;
    HSTREAM FStream = 0;
    std::thread FThread;
    std::vector<float> FBlock; // the processing thread's

    std::atomic<bool> FQuit{false};
    std::atomic<qint64> FProcessed{0};
    std::uint64_t FShortfalls =
        0; // samples the engine asked for beyond the ring's (processing thread)

    // Set once by the processing thread when it ends; waited on with the
    // atomic's own wait.
    std::atomic<bool> FDone{false};
    bool FStopped = false;
};
