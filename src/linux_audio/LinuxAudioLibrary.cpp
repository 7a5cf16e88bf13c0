#include "linux_audio/LinuxAudioLibrary.h"

#include <memory>
#include <utility>

namespace {

template <class T> bool Give(const std::vector<T> &AList, int ADevice, T &AInfo) {
    if (ADevice < 0 || static_cast<size_t>(ADevice) >= AList.size())
        return false;
    AInfo = AList[static_cast<size_t>(ADevice)];
    return true;
}

} // namespace

TLinuxAudioLibrary::TLinuxAudioLibrary(TLinuxAudioOptions AOptions)
    : FOptions(std::move(AOptions)) {}

bool TLinuxAudioLibrary::Fresh(const std::optional<TClock::time_point> &ATaken) const {
    return ATaken && TClock::now() - *ATaken < FOptions.KeepLists;
}

template <class TRead> bool TLinuxAudioLibrary::StandardEntry(TRead ARead) const {
    std::lock_guard guard(FStandardLock);
    if (!Fresh(FStandard.Taken)) {
        FStandard.Lists = BuildStandardLists(ReadPcmHints());
        FStandard.Taken = TClock::now();
    }
    return ARead(FStandard.Lists);
}

bool TLinuxAudioLibrary::GetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const {
    return StandardEntry(
        [&](const TStandardLists &ALists) { return Give(ALists.Output, ADevice, AInfo); });
}

bool TLinuxAudioLibrary::RecordGetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const {
    return StandardEntry(
        [&](const TStandardLists &ALists) { return Give(ALists.Capture, ADevice, AInfo); });
}

bool TLinuxAudioLibrary::WasapiGetDeviceInfo(int ADevice, TWasapiDeviceInfo &AInfo) const {
    std::lock_guard guard(FWasapiLock);
    if (!Fresh(FWasapi.Taken)) {
        std::optional<std::vector<TPulseDevice>> devices =
            ReadPulseDevices(FOptions.PulseServer, FOptions.PulseTimeLimit);
        FWasapi.Lists =
            devices ? BuildWasapiList(std::move(*devices)) : std::vector<TWasapiDeviceInfo>();
        // Taken once the reading is over, so that a slow or missing server
        // does not eat into the time the snapshot is kept.
        FWasapi.Taken = TClock::now();
    }
    return Give(FWasapi.Lists, ADevice, AInfo);
}

bool TLinuxAudioLibrary::AsioGetDeviceInfo(int, TDeviceInfo &) const {
    return false;
}

void TLinuxAudioLibrary::Refresh() {
    {
        std::lock_guard guard(FStandardLock);
        FStandard.Taken.reset();
    }
    std::lock_guard guard(FWasapiLock);
    FWasapi.Taken.reset();
}

void InstallLinuxAudioLibrary() {
    SetAudioLibrary(std::make_shared<TLinuxAudioLibrary>());
}
