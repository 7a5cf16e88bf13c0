#pragma once
// The audio library on Linux: the device lists of the driver layers as this
// machine has them, and the settings the library keeps for the whole run.
//
//   standard layer  ALSA's advertised PCM names (AlsaDevices.h)
//   WASAPI role     the sound server's sources and sinks (PulseDevices.h)
//   ASIO role       no devices
//
// Lists are read as a whole and kept for a short while (KeepLists), so that a
// walk over device numbers 0, 1, 2, ... reads one consistent snapshot and
// does not go back to ALSA or the sound server for every number. The two
// layers keep their snapshots apart: walking the standard lists never
// contacts the sound server. A failed read (no server) is kept as an empty
// list just as long, so a walk does not wait for a missing server once per
// number either.

#include "devices/AudioLibrary.h"
#include "linux_audio/AlsaDevices.h"
#include "linux_audio/PulseDevices.h"

#include <QByteArray>
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

struct TLinuxAudioOptions {
    // The sound server to ask, as libpulse takes an address; empty lets
    // libpulse find the user's server.
    QByteArray PulseServer;
    // How long one reading of the server's lists may take in all, connecting
    // included; a server that does not answer in time counts as none.
    std::chrono::milliseconds PulseTimeLimit{1000};
    // How long a snapshot of a layer's lists is used before the next call
    // reads them again.
    std::chrono::milliseconds KeepLists{2000};
};

// Safe to call from any thread. Calls that need a new snapshot read it while
// holding their layer's lock, so a second thread asking meanwhile waits for
// that reading and then uses it, and never longer than one time limit.
class TLinuxAudioLibrary : public TAudioLibrary {
public:
    explicit TLinuxAudioLibrary(TLinuxAudioOptions AOptions = {});

    bool GetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const override;
    bool RecordGetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const override;
    bool WasapiGetDeviceInfo(int ADevice, TWasapiDeviceInfo &AInfo) const override;
    bool AsioGetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const override;

    // Drops the snapshots: the next call of each layer reads its lists anew.
    void Refresh();

private:
    using TClock = std::chrono::steady_clock;

    template <class T> struct TSnapshot {
        T Lists{};
        std::optional<TClock::time_point> Taken;
    };

    bool Fresh(const std::optional<TClock::time_point> &ATaken) const;
    // The lists under their layer's lock, read anew when stale.
    template <class TRead> bool StandardEntry(TRead ARead) const;

    TLinuxAudioOptions FOptions;
    mutable std::mutex FStandardLock;
    mutable TSnapshot<TStandardLists> FStandard;
    mutable std::mutex FWasapiLock;
    mutable TSnapshot<std::vector<TWasapiDeviceInfo>> FWasapi;
};

// Installs a TLinuxAudioLibrary with the default options as the process-wide
// audio library. The programs call it once at start-up.
void InstallLinuxAudioLibrary();
