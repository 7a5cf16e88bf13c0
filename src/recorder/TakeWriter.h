#pragma once
// Records one take: the capture thread hands frames to Write (wait-free,
// through a TSampleRing), a writer thread of the take's own appends them to
// the take's journal in "Takes in progress" and flushes it to the disk at
// least twice a second, and Stop turns the journal into the FLAC file in the
// voice-track folder. Whatever happens in between (a kill, a power loss)
// leaves a journal that RecoverTakes turns into the take, up to the last
// flush.
//
// A write error (a full disk above all) ends the take on the spot: the
// journal is cut back to its last whole block, what it holds becomes the FLAC
// file as far as the disk allows (else the journal stays for recovery), and
// State and Result say what happened.
//
// Threads: construct, Start, Stop and Result on one controlling thread;
// Write on the capture thread only; State, Frames and Overruns on any.

#include "recorder/SampleRing.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Where the writer thread's bytes go: the journal file, or in tests a stand-in
// that stalls or fails like a bad disk.
class TTakeSink {
public:
    virtual ~TTakeSink() = default;
    // Writes all ASize bytes: 0, or the error number that stopped it (some of
    // the bytes may have been written then).
    virtual int Write(const void *AData, std::size_t ASize) = 0;
    // Flushes what was written to the disk: 0 or an error number.
    virtual int Sync() = 0;
};

// Gets the sink that writes the journal file and returns the one the writer
// uses (which normally passes everything on to it).
using TTakeSinkWrapper = std::function<std::unique_ptr<TTakeSink>(std::unique_ptr<TTakeSink>)>;

enum TTakeState {
    tsIdle,      // not started
    tsRecording, // started, writing
    tsFinishing, // stopped or ended by an error; the FLAC file is being written
    tsFinished,  // stopped; the FLAC file is written
    tsFailed     // ended by an error; Result says what and what was kept
};

struct TTakeOptions {
    QString FTakeName;
    QString FJournalFolder; // TakesInProgressDir of the data directory
    QString FTakesFolder;   // the voice-track folder
    quint32 FRate = 48000;
    quint32 FChannels = 2;
    // Ring size in frames; 0: DefaultRingSeconds of audio.
    std::size_t FRingFrames = 0;
    TTakeSinkWrapper FWrapSink; // empty: the journal file itself
};

// How long the writer may fall behind (a stalled disk) before input is lost.
constexpr int DefaultRingSeconds = 8;

struct TTakeResult {
    TTakeState FState = tsIdle;
    QString FFileName; // the FLAC file; empty when none was written
    QString FJournal;  // the journal, when it had to be kept for recovery
    qint64 FFrames = 0;
    quint32 FRate = 0;
    std::uint64_t FOverruns = 0;   // blocks the ring had no room for
    std::uint64_t FLostFrames = 0; // frames in them
    QString FError; // what ended the take or kept it from its file; empty when nothing
    qint64 LengthMs() const { return FRate ? FFrames * 1000 / FRate : 0; }
};

class TTakeWriter {
public:
    explicit TTakeWriter(TTakeOptions AOptions);
    // Stops a take still running (as Stop does).
    ~TTakeWriter();
    TTakeWriter(const TTakeWriter &) = delete;
    TTakeWriter &operator=(const TTakeWriter &) = delete;

    // Creates the journal (header on the disk before the first sample) and
    // starts the writer thread. False with AError set when the journal
    // cannot be created.
    bool Start(QString *AError = nullptr);

    // Capture thread: hands AFrames interleaved frames over without waiting.
    // False when they were dropped: the ring is full (counted as an overrun)
    // or the take has ended.
    bool Write(const float *ASamples, std::size_t AFrames);

    // Writes what is still in the ring, makes the FLAC file and removes the
    // journal; returns the result. Blocks until that is done.
    TTakeResult Stop();

    TTakeState State() const { return TTakeState(FState.load(std::memory_order_acquire)); }
    // Frames in the journal so far.
    qint64 Frames() const { return FFrames.load(std::memory_order_relaxed); }
    std::uint64_t Overruns() const { return FRing ? FRing->Overruns() : 0; }
    std::uint64_t LostFrames() const {
        return FRing ? FRing->LostSamples() / FOptions.FChannels : 0;
    }
    const QString &JournalPath() const { return FJournalPath; }
    // After Stop, or once State is tsFailed and the writer has settled.
    TTakeResult Result() const;

private:
    void Run();
    bool WriteBlock(float *ABlock, std::size_t AFrames);
    bool SyncJournal();
    void EndWithError(int AError);
    void Finish(const QString &AError);

    TTakeOptions FOptions;
    QString FJournalPath;
    int FFd = -1;
    std::unique_ptr<TSampleRing> FRing;
    std::unique_ptr<TTakeSink> FSink;
    std::thread FThread;

    std::mutex FWakeLock;
    std::condition_variable FWake;
    // Changed under FWakeLock for the wake-up; atomic as well, because the
    // timed wait's re-lock is invisible to the thread checker of this
    // compiler (it waits on the steady clock), which then reports the
    // predicate's read as a race.
    std::atomic<bool> FStopRequested{false};

    std::atomic<int> FState{tsIdle};
    std::atomic<bool> FEnded{false}; // Write stops handing frames over
    std::atomic<qint64> FFrames{0};

    // Writer thread only until it ends.
    std::uint32_t FSequence = 0;
    std::uint64_t FGoodBytes = 0; // journal bytes up to the last whole block
    mutable std::mutex FResultLock;
    TTakeResult FResult; // under FResultLock
};
