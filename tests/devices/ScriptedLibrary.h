#pragma once
// An audio library whose device lists a test writes, and which counts how
// often a list was looked at.

#include "devices/AudioLibrary.h"
#include "support/QStringPrinter.h"

#include <QString>
#include <ostream>
#include <vector>

class TScriptedLibrary : public TAudioLibrary {
public:
    std::vector<TDeviceInfo> Output;
    std::vector<TDeviceInfo> Capture;
    std::vector<TWasapiDeviceInfo> Wasapi;
    std::vector<TDeviceInfo> Asio;

    // Calls of any of the four, past the end included.
    mutable int Calls = 0;

    bool GetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const override {
        return Give(Output, ADevice, AInfo);
    }
    bool RecordGetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const override {
        return Give(Capture, ADevice, AInfo);
    }
    bool WasapiGetDeviceInfo(int ADevice, TWasapiDeviceInfo &AInfo) const override {
        return Give(Wasapi, ADevice, AInfo);
    }
    bool AsioGetDeviceInfo(int ADevice, TDeviceInfo &AInfo) const override {
        return Give(Asio, ADevice, AInfo);
    }

private:
    template <class T> bool Give(const std::vector<T> &AList, int ADevice, T &AInfo) const {
        ++Calls;
        if (ADevice < 0 || ADevice >= static_cast<int>(AList.size()))
            return false;
        AInfo = AList[static_cast<size_t>(ADevice)];
        return true;
    }
};
