#include "linux_audio/PulseDevices.h"

#include <algorithm>
#include <climits>
#include <pulse/pulseaudio.h>
#include <tuple>

namespace {

// What the two list requests gather while the loop runs.
struct TQuery {
    std::vector<TPulseDevice> Devices;
    int Pending = 0;
    bool Failed = false;
};

// A list callback is called once per entry and finally with AEol set: 1 when
// the list is complete, negative when the request failed.
bool ListEnded(TQuery &AQuery, int AEol) {
    if (AEol == 0)
        return false;
    if (AEol < 0)
        AQuery.Failed = true;
    --AQuery.Pending;
    return true;
}

template <class TPortInfo> bool PortUnavailable(const TPortInfo *APort) {
    return APort != nullptr && APort->available == PA_PORT_AVAILABLE_NO;
}

// What sources and sinks report alike.
template <class TInfo> TPulseDevice DeviceOf(const TInfo &AInfo) {
    TPulseDevice device;
    device.Index = AInfo.index;
    device.Name = QString::fromUtf8(AInfo.name);
    device.Description = QString::fromUtf8(AInfo.description);
    device.Unavailable = PortUnavailable(AInfo.active_port);
    return device;
}

void OnSource(pa_context *, const pa_source_info *AInfo, int AEol, void *AUser) {
    auto &query = *static_cast<TQuery *>(AUser);
    if (ListEnded(query, AEol) || AInfo == nullptr)
        return;
    TPulseDevice device = DeviceOf(*AInfo);
    device.Source = true;
    device.Monitor = AInfo->monitor_of_sink != PA_INVALID_INDEX;
    query.Devices.push_back(device);
}

void OnSink(pa_context *, const pa_sink_info *AInfo, int AEol, void *AUser) {
    auto &query = *static_cast<TQuery *>(AUser);
    if (ListEnded(query, AEol) || AInfo == nullptr)
        return;
    query.Devices.push_back(DeviceOf(*AInfo));
}

// One connection with its own loop, run on the calling thread only. Whatever
// state it is left in, the destructor takes it down without running the loop
// again, so no callback can reach the caller's query afterwards.
class TPulseSession {
public:
    TPulseSession() : FLoop(pa_mainloop_new()) {
        if (FLoop != nullptr)
            FContext = pa_context_new(pa_mainloop_get_api(FLoop), "Vocarra");
    }
    ~TPulseSession() {
        for (pa_operation *op : FOperations) {
            pa_operation_cancel(op);
            pa_operation_unref(op);
        }
        if (FContext != nullptr) {
            pa_context_disconnect(FContext);
            pa_context_unref(FContext);
        }
        if (FLoop != nullptr)
            pa_mainloop_free(FLoop);
    }
    TPulseSession(const TPulseSession &) = delete;
    TPulseSession &operator=(const TPulseSession &) = delete;

    bool Connect(const QByteArray &AServer) {
        // Without NOAUTOSPAWN libpulse would start a server of its own.
        return FContext != nullptr &&
               pa_context_connect(FContext, AServer.isEmpty() ? nullptr : AServer.constData(),
                                  PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    }

    pa_context_state_t State() const { return pa_context_get_state(FContext); }

    void AskForLists(TQuery &AQuery) {
        Track(AQuery, pa_context_get_source_info_list(FContext, OnSource, &AQuery));
        Track(AQuery, pa_context_get_sink_info_list(FContext, OnSink, &AQuery));
    }

    // One round of the loop that waits at most AWait.
    bool Iterate(std::chrono::microseconds AWait) {
        const int wait = static_cast<int>(std::min<std::chrono::microseconds::rep>(
            std::max<std::chrono::microseconds::rep>(AWait.count(), 0), INT_MAX));
        return pa_mainloop_prepare(FLoop, wait) >= 0 && pa_mainloop_poll(FLoop) >= 0 &&
               pa_mainloop_dispatch(FLoop) >= 0;
    }

private:
    void Track(TQuery &AQuery, pa_operation *AOperation) {
        if (AOperation == nullptr) {
            AQuery.Failed = true;
            return;
        }
        ++AQuery.Pending;
        FOperations.push_back(AOperation);
    }

    pa_mainloop *FLoop = nullptr;
    pa_context *FContext = nullptr;
    std::vector<pa_operation *> FOperations;
};

} // namespace

std::vector<TWasapiDeviceInfo> BuildWasapiList(std::vector<TPulseDevice> ADevices) {
    std::stable_sort(
        ADevices.begin(), ADevices.end(), [](const TPulseDevice &A, const TPulseDevice &B) {
            return std::make_tuple(!A.Source, A.Index) < std::make_tuple(!B.Source, B.Index);
        });
    std::vector<TWasapiDeviceInfo> list;
    list.reserve(ADevices.size());
    for (const TPulseDevice &device : ADevices) {
        quint32 flags = 0;
        if (!device.Unavailable)
            flags |= wdfEnabled;
        if (device.Monitor)
            flags |= wdfLoopback;
        if (device.Source)
            flags |= wdfInput;
        list.push_back({device.Description, device.Name, flags});
    }
    return list;
}

std::optional<std::vector<TPulseDevice>> ReadPulseDevices(const QByteArray &AServer,
                                                          std::chrono::milliseconds ATimeLimit) {
    using TClock = std::chrono::steady_clock;
    const TClock::time_point deadline = TClock::now() + ATimeLimit;

    TPulseSession session;
    if (!session.Connect(AServer))
        return std::nullopt;
    TQuery query;
    bool asked = false;
    for (;;) {
        const pa_context_state_t state = session.State();
        if (!PA_CONTEXT_IS_GOOD(state))
            return std::nullopt;
        if (state == PA_CONTEXT_READY && !asked) {
            session.AskForLists(query);
            asked = true;
        }
        if (query.Failed)
            return std::nullopt;
        if (asked && query.Pending == 0)
            return std::move(query.Devices);
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - TClock::now());
        if (left.count() <= 0 || !session.Iterate(left))
            return std::nullopt;
    }
}
