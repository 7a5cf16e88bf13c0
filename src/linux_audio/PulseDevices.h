#pragma once
// The WASAPI-role device list on Linux: the sources and sinks of the sound
// server that speaks the PulseAudio protocol (PulseAudio itself, or
// PipeWire's server for it).

#include "devices/AudioLibrary.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <optional>
#include <vector>

// One source or sink as the server describes it.
struct TPulseDevice {
    quint32 Index = 0; // the server's number, in the order devices appeared
    QString Name;      // the server's name, which stays the same across restarts
    QString Description;
    bool Source = false;      // a source (capture); else a sink (output)
    bool Monitor = false;     // a source that carries what a sink plays
    bool Unavailable = false; // its active port is known to be unplugged
};

// The list the WASAPI role reports: every source by index, then every sink by
// index, so that numbers stay put while nothing is added or removed. The id
// is the server's name, the display name its description; flags: wdfEnabled
// unless unavailable, wdfLoopback for a monitor, wdfInput for a source.
std::vector<TWasapiDeviceInfo> BuildWasapiList(std::vector<TPulseDevice> ADevices);

// Asks the server for its sources and sinks and returns them in the order it
// sent them. AServer is a server address as libpulse takes it
// ("unix:/run/user/1000/pulse/native"); empty lets libpulse find the user's
// server as it always does (PULSE_SERVER, client.conf, the runtime folder).
// No server is ever started. Returns nothing when no server answered in full
// within ATimeLimit, whatever the reason: connecting, the handshake and both
// lists together never take longer.
std::optional<std::vector<TPulseDevice>> ReadPulseDevices(const QByteArray &AServer,
                                                          std::chrono::milliseconds ATimeLimit);
