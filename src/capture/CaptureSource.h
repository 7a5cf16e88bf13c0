#pragma once
// Where the recorder's input comes from: a capture device opened on a thread
// of the source's own, whose samples land in a TSampleRing. The sound server
// on Linux is one such source (PulseCapture.h); another platform adds its
// own beside it.
//
// Threads: Start, Stop and the accessors on one controlling thread; the
// source's own thread only pushes into the ring and signals ADataReady.

#include "recorder/SampleRing.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstdint>

struct TCaptureRequest {
    QString FDevice; // the device's name on the sound server; empty: the default input
    quint32 FRate = 48000;
    quint32 FChannels = 1; // 1 or 2
    // The sound server's address; empty: the one the user's programs find.
    QByteArray FServer;
};

// Bumped and notified (std::atomic wait/notify, so the capture side neither
// locks nor allocates) after every block pushed, and once when the capture
// ends, so a consumer waits on events instead of polling.
using TDataReady = std::atomic<std::uint32_t>;

class TCaptureSource {
public:
    virtual ~TCaptureSource() = default;

    // Opens the device and starts pushing interleaved float frames into
    // ARing, bumping ADataReady after each block. Both outlive the capture.
    // A named device that is not there falls back to the default input with
    // a Warning. False with AError set when no input can be opened at all.
    virtual bool Start(const TCaptureRequest &ARequest, TSampleRing &ARing, TDataReady &ADataReady,
                       QString &AError) = 0;
    // Stops the capture and joins its thread; nothing is pushed after it
    // returns. Safe to call twice or without a Start.
    virtual void Stop() = 0;

    // After a successful Start: the device really opened, as the sound
    // server names it, and why it is not the one asked for (empty when it is).
    virtual QString OpenedDevice() const = 0;
    virtual QString Warning() const = 0;
    // The capture ended on its own (the server went away): what happened.
    // Empty while it runs. Any thread.
    virtual QString Failure() const = 0;
    bool Failed() const { return !Failure().isEmpty(); }
};
