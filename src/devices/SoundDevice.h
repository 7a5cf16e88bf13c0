#pragma once
// The stored description of a sound device to be opened: capture entries
// (TInputDevice) and output entries (TOutputDevice), items of the system
// configuration's Inputs and OutputDevice collections. An entry keeps no
// device number, which changes as devices come and go, but the driver layer
// and what that layer reported about the device; DeviceIdx finds it again.

#include "config/Persistent.h"
#include "devices/AudioLibrary.h"

#include <QString>
#include <QStringView>

// The role of an output entry.
enum TOutputDevType { odMixer, odRegular, odNotUsed };

// Values of Method: the driver layer an entry opens its device with. Any
// value not listed opens no device either.
enum : qint32 {
    lyNone = -1,
    lyStandard = 0,
    lyWasapi = 1,
    lyAsio = 2,
};

// Special values of DeviceID, compared exactly.
inline constexpr QStringView DefaultDeviceID = u":default"; // the layer's default device
inline constexpr QStringView DecodeDeviceID = u":decode";   // an output that feeds no device

class TSoundDevice : public TCollectionItem {
public:
    TOutputDevType DevType() const { return FDevType; }
    void SetDevType(TOutputDevType AValue) { FDevType = AValue; }
    qint32 Method() const { return FMethod; }
    void SetMethod(qint32 AValue) { FMethod = AValue; }
    // Shown to the user; never stored.
    const QString &DisplayName() const { return FDisplayName; }
    void SetDisplayName(const QString &AValue) { FDisplayName = AValue; }
    // The standard and ASIO layers' driver text, the WASAPI identifier, or a
    // special value.
    const QString &DeviceID() const { return FDeviceID; }
    void SetDeviceID(const QString &AValue) { FDeviceID = AValue; }
    const QString &DeviceName2() const { return FDeviceName2; }
    void SetDeviceName2(const QString &AValue) { FDeviceName2 = AValue; }
    qint32 Chan1() const { return FChan1; }
    void SetChan1(qint32 AValue) { FChan1 = AValue; }
    const QString &Chan1Name() const { return FChan1Name; }
    void SetChan1Name(const QString &AValue) { FChan1Name = AValue; }
    qint32 Chan2() const { return FChan2; }
    void SetChan2(qint32 AValue) { FChan2 = AValue; }
    const QString &Chan2Name() const { return FChan2Name; }
    void SetChan2Name(const QString &AValue) { FChan2Name = AValue; }
    bool EventDriven() const { return FEventDriven; }
    void SetEventDriven(bool AValue) { FEventDriven = AValue; }

    // DeviceID is exactly ":default".
    bool IsDefault() const;
    // True stores ":default"; false clears a stored ":default" and leaves any
    // other identifier as it is.
    void SetIsDefault(bool AValue);
    // The entry opens no real device.
    bool IsNoSound() const;

    // The entry's current device number in its layer, or a negative value
    // when the device is not there (-1; -2 and -3 for capture entries of the
    // standard and WASAPI layers). Asks the process-wide audio library.
    int DeviceIdx() const;
    int DeviceIdx(const TAudioLibrary &ALibrary) const;

    // A capture entry (TInputDevice) rather than an output entry.
    virtual bool IsCapture() const = 0;

    const TPropTable &Properties() const override;
    QString ClassName() const override;
    // Other programs of the station family may store more about a device.
    bool KeepsUnknown() const override { return true; }

protected:
    explicit TSoundDevice(qint32 AMethod) : FMethod(AMethod) {}

private:
    int StandardDeviceIdx(const TAudioLibrary &ALibrary) const;

    TOutputDevType FDevType = odMixer;
    qint32 FMethod;
    QString FDisplayName;
    QString FDeviceID;
    QString FDeviceName2;
    qint32 FChan1 = 0;
    QString FChan1Name;
    qint32 FChan2 = 0;
    QString FChan2Name;
    bool FEventDriven = false;
};

class TInputDevice : public TSoundDevice {
public:
    TInputDevice() : TSoundDevice(lyNone) {}

    qint32 MixerSrc() const { return FMixerSrc; }
    void SetMixerSrc(qint32 AValue) { FMixerSrc = AValue; }
    bool Stereo() const { return FStereo; }
    void SetStereo(bool AValue) { FStereo = AValue; }
    bool KeepAlive() const { return FKeepAlive; }
    void SetKeepAlive(bool AValue) { FKeepAlive = AValue; }

    bool IsCapture() const override { return true; }
    const TPropTable &Properties() const override;
    QString ClassName() const override;

private:
    qint32 FMixerSrc = 0;
    bool FStereo = false;
    bool FKeepAlive = false;
};

class TOutputDevice : public TSoundDevice {
public:
    TOutputDevice() : TSoundDevice(lyStandard) {}

    quint32 Speakers() const { return FSpeakers; }
    void SetSpeakers(quint32 AValue) { FSpeakers = AValue; }
    qint32 BufSize() const { return FBufSize; }
    void SetBufSize(qint32 AValue) { FBufSize = AValue; }
    qint32 SampleFreq() const { return FSampleFreq; }
    void SetSampleFreq(qint32 AValue) { FSampleFreq = AValue; }
    bool Exclusive() const { return FExclusive; }
    void SetExclusive(bool AValue) { FExclusive = AValue; }

    // What the device was last opened with, so that a player can tell
    // whether it must reopen it; never stored. -1: never opened.
    qint32 PrvMethod = -1;
    qint32 PrvDeviceIdx = -1;
    TOutputDevType PrvDevType = odMixer;
    QString PrvDeviceID;
    qint32 PrvChan1 = -1;
    qint32 PrvChan2 = -1;

    bool IsCapture() const override { return false; }
    const TPropTable &Properties() const override;
    QString ClassName() const override;

private:
    quint32 FSpeakers = 0;
    qint32 FBufSize = 500;
    qint32 FSampleFreq = 48000;
    bool FExclusive = false;
};

class TInputDevicesList : public TOwnedCollection<TInputDevice> {};
class TOutputDevicesList : public TOwnedCollection<TOutputDevice> {};
