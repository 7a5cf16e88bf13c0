#include "devices/SoundDevice.h"

#include "config/PropBuilders.h"
#include "devices/DeviceWalk.h"

using namespace Qt::StringLiterals;

namespace {

const TEnumInfo OutputDevTypeInfo{{u"odMixer"_s, u"odRegular"_s, u"odNotUsed"_s}};

// Not-found values of the walks that tell a missing capture device apart.
constexpr int StandardCaptureNotFound = -2;
constexpr int WasapiCaptureNotFound = -3;
constexpr int NotFound = -1;

} // namespace

bool TSoundDevice::IsDefault() const {
    return FDeviceID == DefaultDeviceID;
}

void TSoundDevice::SetIsDefault(bool AValue) {
    if (AValue)
        FDeviceID = DefaultDeviceID.toString();
    else if (IsDefault())
        FDeviceID.clear();
}

bool TSoundDevice::IsNoSound() const {
    return FMethod == lyNone || (FMethod == lyStandard && FDeviceID == DecodeDeviceID);
}

int TSoundDevice::DeviceIdx() const {
    return DeviceIdx(*AudioLibrary());
}

int TSoundDevice::DeviceIdx(const TAudioLibrary &ALibrary) const {
    switch (FMethod) {
    case lyAsio:
        return ChooseDevice(AsioDevices(ALibrary), FDeviceID, FDeviceName2, NotFound);
    case lyStandard:
        return StandardDeviceIdx(ALibrary);
    case lyWasapi:
        // Only a mixer entry opens its own device through WASAPI; regular and
        // unused outputs, and the default device, are found in the standard
        // layer's lists.
        if (FDevType == odRegular || FDevType == odNotUsed || IsDefault())
            return StandardDeviceIdx(ALibrary);
        return ChooseDevice(WasapiDevices(ALibrary, IsCapture()), FDeviceID, FDeviceName2,
                            IsCapture() ? WasapiCaptureNotFound : NotFound);
    default:
        return NotFound;
    }
}

int TSoundDevice::StandardDeviceIdx(const TAudioLibrary &ALibrary) const {
    if (IsCapture()) {
        if (IsDefault())
            return 0;
        return ChooseDevice(StandardCaptureDevices(ALibrary), FDeviceID, FDeviceName2,
                            StandardCaptureNotFound);
    }
    // The output list starts with the no-sound device, then the system's
    // default device.
    if (IsDefault())
        return 1;
    if (FDeviceID == DecodeDeviceID)
        return 0;
    return ChooseDevice(StandardOutputDevices(ALibrary), FDeviceID, FDeviceName2, NotFound);
}

const TPropTable &TSoundDevice::Properties() const {
    static const TPropTable Table{
        Prop::Enumeration(u"DevType"_s, &TSoundDevice::FDevType, OutputDevTypeInfo),
        Prop::Integer(u"Method"_s, &TSoundDevice::FMethod),
        Prop::String(u"DeviceID"_s, &TSoundDevice::FDeviceID),
        Prop::String(u"DeviceName2"_s, &TSoundDevice::FDeviceName2),
        Prop::Integer(u"Chan1"_s, &TSoundDevice::FChan1, 0),
        Prop::Integer(u"Chan2"_s, &TSoundDevice::FChan2, 0),
        Prop::String(u"Chan1Name"_s, &TSoundDevice::FChan1Name),
        Prop::String(u"Chan2Name"_s, &TSoundDevice::FChan2Name),
        Prop::Boolean(u"EventDriven"_s, &TSoundDevice::FEventDriven, false),
    };
    return Table;
}

QString TSoundDevice::ClassName() const {
    return u"TSoundDevice"_s;
}

const TPropTable &TInputDevice::Properties() const {
    static const TPropTable Table{TSoundDevice::Properties(),
                                  {
                                      Prop::Integer(u"MixerSrc"_s, &TInputDevice::FMixerSrc),
                                      Prop::Boolean(u"Stereo"_s, &TInputDevice::FStereo),
                                      Prop::Boolean(u"KeepAlive"_s, &TInputDevice::FKeepAlive),
                                  }};
    return Table;
}

QString TInputDevice::ClassName() const {
    return u"TInputDevice"_s;
}

const TPropTable &TOutputDevice::Properties() const {
    static const TPropTable Table{
        TSoundDevice::Properties(),
        {
            Prop::Integer(u"SampleFreq"_s, &TOutputDevice::FSampleFreq),
            Prop::Cardinal(u"Speakers"_s, &TOutputDevice::FSpeakers, 0),
            Prop::Integer(u"BufSize"_s, &TOutputDevice::FBufSize),
            Prop::Boolean(u"Exclusive"_s, &TOutputDevice::FExclusive, false),
        }};
    return Table;
}

QString TOutputDevice::ClassName() const {
    return u"TOutputDevice"_s;
}
