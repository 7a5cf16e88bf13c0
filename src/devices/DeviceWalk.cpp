#include "devices/DeviceWalk.h"

TDeviceMatcher::TDeviceMatcher(const QString &AId, const QString &AName) : FId(AId), FName(AName) {
    // The collator of the user's locale; in the C locale it falls back to
    // comparing Unicode case foldings.
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
}

bool TDeviceMatcher::Same(const QString &AStored, QStringView AReported) const {
    return !AStored.isEmpty() && FCollator.compare(AStored, AReported) == 0;
}

TDeviceMatch TDeviceMatcher::Match(QStringView AId, QStringView AName) const {
    const bool id = Same(FId, AId);
    const bool name = Same(FName, AName);
    if (id && name)
        return dmBoth;
    if (name)
        return dmName;
    return id ? dmIdentifier : dmNeither;
}

int ChooseDevice(const TDeviceSource &ASource, const QString &AId, const QString &AName,
                 int ANotFound) {
    const TDeviceMatcher matcher(AId, AName);
    int candidate = ANotFound;
    TListedDevice device;
    for (int i = 0; ASource(i, device); ++i) {
        if (!device.Eligible)
            continue;
        switch (matcher.Match(device.Id, device.Name)) {
        case dmBoth:
            return i;
        case dmName:
            // The name is what the user saw, so it outweighs an identifier
            // alone, and the last device of that name wins.
            candidate = i;
            break;
        case dmIdentifier:
            // Every not-found value is negative: only the first identifier
            // match becomes the candidate, and never over a name match.
            if (candidate < 0)
                candidate = i;
            break;
        case dmNeither:
            break;
        }
    }
    return candidate;
}

namespace {

// A standard-layer or ASIO list read through one of the library's calls.
template <class Call> TDeviceSource PlainList(const TAudioLibrary &ALibrary, Call ACall) {
    return [&ALibrary, ACall](int ADevice, TListedDevice &AInto) {
        TDeviceInfo info;
        if (!(ALibrary.*ACall)(ADevice, info))
            return false;
        AInto = TListedDevice{info.Driver, info.Name, true};
        return true;
    };
}

} // namespace

TDeviceSource StandardOutputDevices(const TAudioLibrary &ALibrary) {
    return PlainList(ALibrary, &TAudioLibrary::GetDeviceInfo);
}

TDeviceSource StandardCaptureDevices(const TAudioLibrary &ALibrary) {
    return PlainList(ALibrary, &TAudioLibrary::RecordGetDeviceInfo);
}

TDeviceSource AsioDevices(const TAudioLibrary &ALibrary) {
    return PlainList(ALibrary, &TAudioLibrary::AsioGetDeviceInfo);
}

TDeviceSource WasapiDevices(const TAudioLibrary &ALibrary, bool ACapture) {
    return [&ALibrary, ACapture](int ADevice, TListedDevice &AInto) {
        TWasapiDeviceInfo info;
        if (!ALibrary.WasapiGetDeviceInfo(ADevice, info))
            return false;
        const bool input = (info.Flags & wdfInput) != 0;
        AInto = TListedDevice{info.Id, info.Name,
                              (info.Flags & wdfEnabled) != 0 && (info.Flags & wdfLoopback) == 0 &&
                                  input == ACapture};
        return true;
    };
}
