#pragma once
// Finding a stored device among the devices a driver layer reports now.
// Device numbers change when devices come and go, so an entry keeps the
// identifier and the name the layer reported and looks for them again.

#include "devices/AudioLibrary.h"

#include <QCollator>
#include <QString>
#include <QStringView>
#include <functional>

// How one reported device compares with what an entry stored.
enum TDeviceMatch {
    dmNeither,
    dmIdentifier, // the identifier matches, the name does not
    dmName,       // the name matches, the identifier does not
    dmBoth,
};

// One device of a layer's list, as the walk compares it.
struct TListedDevice {
    QString Id; // the driver text, or the WASAPI identifier
    QString Name;
    bool Eligible = true; // false: the layer's filter rejects it
};

// Compares identifiers and names the way the walk does: ignoring letter case,
// with the user's locale. An empty stored text says nothing about a device and
// matches nothing, not even an empty reported text.
class TDeviceMatcher {
public:
    TDeviceMatcher(const QString &AId, const QString &AName);

    TDeviceMatch Match(QStringView AId, QStringView AName) const;

private:
    bool Same(const QString &AStored, QStringView AReported) const;

    QString FId;
    QString FName;
    QCollator FCollator;
};

// Reads device ADevice of a list into AInto; false past the last device.
using TDeviceSource = std::function<bool(int ADevice, TListedDevice &AInto)>;

// Walks device numbers 0, 1, 2, ... while ASource gives a device, skipping
// devices that are not eligible. A device matching both identifier and name
// is the result at once. Otherwise the result is the last name-only match,
// or failing that the first identifier-only match, or failing that ANotFound.
int ChooseDevice(const TDeviceSource &ASource, const QString &AId, const QString &AName,
                 int ANotFound);

// The lists of the layers, as sources for ChooseDevice.
TDeviceSource StandardOutputDevices(const TAudioLibrary &ALibrary);
TDeviceSource StandardCaptureDevices(const TAudioLibrary &ALibrary);
// Only enabled devices that are no loopback and go in the wanted direction
// are eligible.
TDeviceSource WasapiDevices(const TAudioLibrary &ALibrary, bool ACapture);
TDeviceSource AsioDevices(const TAudioLibrary &ALibrary);
