#pragma once
// Capture from the sound server (PulseAudio, or PipeWire's server for it)
// through libpulse's threaded main loop: the loop's thread is the capture
// thread, and its read callback copies each fragment the server hands over
// into the ring as it stands, without allocating and without a lock of ours.
// Fragments are asked for every 10 ms, so the meters follow the voice
// closely and a block never needs more than a sliver of the ring.

#include "capture/CaptureSource.h"

#include <QString>
#include <mutex>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

class TPulseCapture final : public TCaptureSource {
public:
    TPulseCapture() = default;
    ~TPulseCapture() override;
    TPulseCapture(const TPulseCapture &) = delete;
    TPulseCapture &operator=(const TPulseCapture &) = delete;

    bool Start(const TCaptureRequest &ARequest, TSampleRing &ARing, TDataReady &ADataReady,
               QString &AError) override;
    void Stop() override;

    QString OpenedDevice() const override { return FOpened; }
    QString Warning() const override { return FWarning; }
    QString Failure() const override;

private:
    // With the loop's lock held: connects the record stream to ADevice
    // (nullptr: the default input) and waits until it runs or fails; the
    // server's error number when it failed, else 0.
    int ConnectStream(const char *ADevice);
    void Fail(const QString &AText);
    void Signal();

    static void ContextState(pa_context *AContext, void *AUser);
    static void StreamState(pa_stream *AStream, void *AUser);
    static void StreamRead(pa_stream *AStream, size_t ABytes, void *AUser);

    TCaptureRequest FRequest;
    pa_threaded_mainloop *FLoop = nullptr;
    pa_context *FContext = nullptr;
    pa_stream *FStream = nullptr;
    TSampleRing *FRing = nullptr;
    TDataReady *FDataReady = nullptr;
    std::size_t FFrameBytes = 0;
    bool FRunning = false; // the stream is up; a later end is a failure (loop thread)

    QString FOpened;
    QString FWarning;
    mutable std::mutex FFailureLock;
    QString FFailure; // under FFailureLock
};
