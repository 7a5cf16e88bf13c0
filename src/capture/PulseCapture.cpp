#include "capture/PulseCapture.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int FragmentsPerSecond = 100;

QString PulseError(int AError) {
    return QString::fromUtf8(pa_strerror(AError));
}

} // namespace

TPulseCapture::~TPulseCapture() {
    Stop();
}

QString TPulseCapture::Failure() const {
    const std::lock_guard lock(FFailureLock);
    return FFailure;
}

void TPulseCapture::Fail(const QString &AText) {
    {
        const std::lock_guard lock(FFailureLock);
        if (FFailure.isEmpty())
            FFailure = AText;
    }
    Signal();
}

// Wakes whoever waits for samples; the loop's thread calls it with the
// loop's lock held, and it neither locks nor allocates.
void TPulseCapture::Signal() {
    if (FDataReady != nullptr) {
        FDataReady->fetch_add(1, std::memory_order_release);
        FDataReady->notify_all();
    }
}

void TPulseCapture::ContextState(pa_context *AContext, void *AUser) {
    auto *self = static_cast<TPulseCapture *>(AUser);
    const pa_context_state_t state = pa_context_get_state(AContext);
    if (self->FRunning && (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED))
        self->Fail(u"The connection to the sound server was lost: %1."_s.arg(
            PulseError(pa_context_errno(AContext))));
    pa_threaded_mainloop_signal(self->FLoop, 0);
}

void TPulseCapture::StreamState(pa_stream *AStream, void *AUser) {
    auto *self = static_cast<TPulseCapture *>(AUser);
    const pa_stream_state_t state = pa_stream_get_state(AStream);
    if (self->FRunning && (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED))
        self->Fail(u"The input device stopped: %1."_s.arg(
            PulseError(pa_context_errno(pa_stream_get_context(AStream)))));
    pa_threaded_mainloop_signal(self->FLoop, 0);
}

void TPulseCapture::StreamRead(pa_stream *AStream, size_t, void *AUser) {
    auto *self = static_cast<TPulseCapture *>(AUser);
    for (;;) {
        const void *data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(AStream, &data, &bytes) < 0 || bytes == 0)
            break;
        // A hole (data lost before it reached us) carries no samples; the
        // ring's overrun count is only about our own side.
        if (data != nullptr) {
            const std::size_t frames = bytes / self->FFrameBytes;
            self->FRing->Push(static_cast<const float *>(data), frames * self->FRequest.FChannels);
        }
        pa_stream_drop(AStream);
    }
    self->Signal();
}

int TPulseCapture::ConnectStream(const char *ADevice) {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, FRequest.FRate,
                              static_cast<uint8_t>(FRequest.FChannels)};
    FStream = pa_stream_new(FContext, "Microphone", &spec, nullptr);
    if (FStream == nullptr)
        return pa_context_errno(FContext);
    pa_stream_set_state_callback(FStream, &TPulseCapture::StreamState, this);
    pa_stream_set_read_callback(FStream, &TPulseCapture::StreamRead, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(-1);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(FRequest.FRate / FragmentsPerSecond * FFrameBytes);
    int error = 0;
    if (pa_stream_connect_record(FStream, ADevice, &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
        error = pa_context_errno(FContext);
    } else {
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(FStream);
            if (state == PA_STREAM_READY)
                return 0;
            if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
                error = pa_context_errno(FContext);
                break;
            }
            pa_threaded_mainloop_wait(FLoop);
        }
    }
    pa_stream_set_state_callback(FStream, nullptr, nullptr);
    pa_stream_set_read_callback(FStream, nullptr, nullptr);
    pa_stream_unref(FStream);
    FStream = nullptr;
    return error != 0 ? error : PA_ERR_UNKNOWN;
}

bool TPulseCapture::Start(const TCaptureRequest &ARequest, TSampleRing &ARing,
                          TDataReady &ADataReady, QString &AError) {
    Stop();
    if (ARequest.FChannels < 1 || ARequest.FChannels > 2 || ARequest.FRate == 0) {
        AError = u"The input can only be recorded in mono or stereo."_s;
        return false;
    }
    FRequest = ARequest;
    FRing = &ARing;
    FDataReady = &ADataReady;
    FFrameBytes = sizeof(float) * ARequest.FChannels;
    FOpened.clear();
    FWarning.clear();
    {
        const std::lock_guard lock(FFailureLock);
        FFailure.clear();
    }

    FLoop = pa_threaded_mainloop_new();
    if (FLoop == nullptr) {
        AError = u"The sound server cannot be reached: out of memory."_s;
        return false;
    }
    FContext = pa_context_new(pa_threaded_mainloop_get_api(FLoop), "Vocarra micdeck");
    if (FContext == nullptr) {
        AError = u"The sound server cannot be reached: out of memory."_s;
        Stop();
        return false;
    }
    pa_context_set_state_callback(FContext, &TPulseCapture::ContextState, this);
    const QByteArray server = ARequest.FServer;
    if (pa_context_connect(FContext, server.isEmpty() ? nullptr : server.constData(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        AError = u"The sound server cannot be reached: %1."_s.arg(
            PulseError(pa_context_errno(FContext)));
        Stop();
        return false;
    }
    pa_threaded_mainloop_lock(FLoop);
    if (pa_threaded_mainloop_start(FLoop) < 0) {
        pa_threaded_mainloop_unlock(FLoop);
        AError = u"The sound server cannot be reached: no thread for it."_s;
        Stop();
        return false;
    }
    int error = 0;
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(FContext);
        if (state == PA_CONTEXT_READY)
            break;
        if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
            error = pa_context_errno(FContext);
            break;
        }
        pa_threaded_mainloop_wait(FLoop);
    }
    if (error != 0) {
        pa_threaded_mainloop_unlock(FLoop);
        AError = u"The sound server cannot be reached: %1."_s.arg(PulseError(error));
        Stop();
        return false;
    }

    const QByteArray device = ARequest.FDevice.toUtf8();
    if (!device.isEmpty()) {
        error = ConnectStream(device.constData());
        if (error != 0)
            FWarning = u"The input device %1 is not available (%2); recording from the default "
                       u"input instead."_s.arg(ARequest.FDevice, PulseError(error));
    }
    if (device.isEmpty() || error != 0)
        error = ConnectStream(nullptr);
    if (error != 0) {
        pa_threaded_mainloop_unlock(FLoop);
        AError = u"There is no input device to record from: %1."_s.arg(PulseError(error));
        Stop();
        return false;
    }
    FOpened = QString::fromUtf8(pa_stream_get_device_name(FStream));
    FRunning = true;
    pa_threaded_mainloop_unlock(FLoop);
    return true;
}

void TPulseCapture::Stop() {
    if (FLoop == nullptr)
        return;
    pa_threaded_mainloop_lock(FLoop);
    // What follows ends the stream on purpose: not a failure.
    FRunning = false;
    if (FStream != nullptr) {
        pa_stream_set_state_callback(FStream, nullptr, nullptr);
        pa_stream_set_read_callback(FStream, nullptr, nullptr);
        pa_stream_disconnect(FStream);
        pa_stream_unref(FStream);
        FStream = nullptr;
    }
    if (FContext != nullptr) {
        pa_context_set_state_callback(FContext, nullptr, nullptr);
        pa_context_disconnect(FContext);
        pa_context_unref(FContext);
        FContext = nullptr;
    }
    pa_threaded_mainloop_unlock(FLoop);
    // Joins the loop's thread: nothing is pushed after this.
    pa_threaded_mainloop_stop(FLoop);
    pa_threaded_mainloop_free(FLoop);
    FLoop = nullptr;
    Signal();
}
