#pragma once
// The audio library as the device catalogue sees it: per driver layer, the
// information about device number 0, 1, 2, ... The real backend (a later
// piece) lists the platform's devices; tests install a scripted one. Only the
// device-information calls live here; effects and streams come with the DSP
// engine.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>

// Flags of a WASAPI-layer device.
enum : quint32 {
    wdfEnabled = 1,
    wdfLoopback = 8,
    wdfInput = 16,
};

// A device of the standard layer (capture or output list) or of the ASIO layer.
struct TDeviceInfo {
    QString Name;
    QString Driver;
};

struct TWasapiDeviceInfo {
    QString Name;
    QString Id;
    quint32 Flags = 0; // wdf... bits
};

// Every call takes a device number and fills AInfo; it returns false, leaving
// AInfo alone, when the number is past the last device of that list. Texts are
// handed over already converted from whatever encoding the platform reports
// them in. The calls may be made from any thread.
class TAudioLibrary {
public:
    virtual ~TAudioLibrary() = default;

    // The standard layer's output list. Number 1 is the system default device.
    virtual bool GetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const = 0;
    // The standard layer's capture list.
    virtual bool RecordGetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const = 0;
    // One list of capture and output devices, told apart by wdfInput.
    virtual bool WasapiGetDeviceInfo(int ADevice, TWasapiDeviceInfo &AInfo) const = 0;
    virtual bool AsioGetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const = 0;
};

// The process-wide library. Until one is installed this is a library without
// any device, so that a lookup simply finds nothing. A caller holds the
// returned pointer only while it uses it, which keeps a library that is being
// replaced alive until then.
std::shared_ptr<const TAudioLibrary> AudioLibrary();

// Installs ALibrary as the process-wide library; nullptr goes back to the
// library without devices. Start-up installs the real backend once.
void SetAudioLibrary(std::shared_ptr<const TAudioLibrary> ALibrary);

// The network user agent the library sends when it fetches streams: 8-bit
// text kept for the whole run. Start-up sets it from the station
// configuration; the library keeps its own copy, so the caller's buffer may
// go. Safe from any thread.
void SetNetworkUserAgent(const QByteArray &AAgent);
QByteArray NetworkUserAgent();
