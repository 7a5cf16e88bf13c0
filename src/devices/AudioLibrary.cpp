#include "devices/AudioLibrary.h"

#include <mutex>
#include <utility>

namespace {

class TNoDevices : public TAudioLibrary {
public:
    bool GetDeviceInfo(int, TDeviceInfo &) const override { return false; }
    bool RecordGetDeviceInfo(int, TDeviceInfo &) const override { return false; }
    bool WasapiGetDeviceInfo(int, TWasapiDeviceInfo &) const override { return false; }
    bool AsioGetDeviceInfo(int, TDeviceInfo &) const override { return false; }
};

std::mutex LibraryLock;

std::shared_ptr<const TAudioLibrary> &Installed() {
    static std::shared_ptr<const TAudioLibrary> Library;
    return Library;
}

std::shared_ptr<const TAudioLibrary> NoDevices() {
    static const std::shared_ptr<const TAudioLibrary> Library = std::make_shared<TNoDevices>();
    return Library;
}

} // namespace

std::shared_ptr<const TAudioLibrary> AudioLibrary() {
    std::lock_guard guard(LibraryLock);
    if (Installed())
        return Installed();
    return NoDevices();
}

void SetAudioLibrary(std::shared_ptr<const TAudioLibrary> ALibrary) {
    std::shared_ptr<const TAudioLibrary> previous;
    {
        std::lock_guard guard(LibraryLock);
        previous = std::exchange(Installed(), std::move(ALibrary));
    }
    // The previous library, when this was its last holder, goes away here,
    // outside the lock.
}

namespace {

std::mutex AgentLock;

QByteArray &Agent() {
    static QByteArray Text;
    return Text;
}

} // namespace

void SetNetworkUserAgent(const QByteArray &AAgent) {
    std::lock_guard guard(AgentLock);
    Agent() = AAgent;
}

QByteArray NetworkUserAgent() {
    std::lock_guard guard(AgentLock);
    return Agent();
}
