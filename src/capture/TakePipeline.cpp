#include "capture/TakePipeline.h"

#include "chain/DSPManager.h"
#include "station/SystemIni.h"

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// Frames pulled through the chain per engine call at most: 20 ms, a
// fraction of the capture ring, so a busy moment is caught up in few calls.
constexpr std::size_t BlockFrames = 960;
// The capture ring: two seconds of input may wait for the processing thread.
constexpr std::size_t CaptureRingSeconds = 2;

TTakeOptions TakeOptions(const TTakePipelineOptions &AOptions) {
    TTakeOptions options = AOptions.FTake;
    options.FRate = AOptions.FCapture.FRate;
    options.FChannels = AOptions.FCapture.FChannels;
    return options;
}

} // namespace

TTakePipeline::TTakePipeline(std::unique_ptr<TCaptureSource> ASource, TTakePipelineOptions AOptions)
    : FOptions(std::move(AOptions)), FSource(std::move(ASource)),
      FRing(std::size_t(FOptions.FCapture.FRate) * FOptions.FCapture.FChannels *
            CaptureRingSeconds),
      FMeter(FOptions.FCapture.FRate, FOptions.FCapture.FChannels), FWriter(TakeOptions(FOptions)),
      FBlock(BlockFrames * FOptions.FCapture.FChannels) {}

TTakePipeline::~TTakePipeline() {
    if (!FStopped)
        Stop();
}

// The engine asks for exactly what the processing thread saw waiting, so the
// ring holds it; should it not, the rest is silence rather than the end of
// the stream (a short answer ends an engine stream for good).
quint32 TTakePipeline::FeedFromRing(HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
    auto *self = static_cast<TTakePipeline *>(AUser);
    const std::size_t wanted = ALength / sizeof(float);
    auto *target = static_cast<float *>(ABuffer);
    const std::size_t got = self->FRing.Pop(target, wanted);
    if (got < wanted) {
        std::fill(target + got, target + wanted, 0.0F);
        self->FShortfalls += wanted - got;
    }
    return ALength;
}

bool TTakePipeline::Start(QString &AError) {
    if (!FWriter.Start(&AError))
        return false;
    BASS_FX_GetVersion();
    FStream = BASS_StreamCreate(FOptions.FCapture.FRate, FOptions.FCapture.FChannels,
                                &TTakePipeline::FeedFromRing, this);
    if (FStream == 0) {
        AError = u"The audio engine cannot process the input."_s;
        FWriter.Stop();
        FStopped = true;
        return false;
    }
    if (FOptions.FChain != nullptr && FOptions.FSettings != nullptr) {
        FManager = std::make_unique<TDSPManager>(u"Recorder"_s, *FOptions.FSettings);
        FManager->DSPList = FOptions.FChain;
        FManager->WorkChannel = FStream;
        FManager->StartAllDSPs();
    }
    if (!FSource->Start(FOptions.FCapture, FRing, FDataReady, AError)) {
        StopChain();
        FWriter.Stop();
        FStopped = true;
        return false;
    }
    FThread = std::thread([this] { Run(); });
    return true;
}

void TTakePipeline::SetDone() {
    FDone.store(true, std::memory_order_release);
    FDone.notify_all();
}

void TTakePipeline::Run() {
    const quint32 channels = FOptions.FCapture.FChannels;
    for (;;) {
        // Read before looking at the ring: a block pushed after the look
        // changes the count, so the wait below cannot miss it.
        const std::uint32_t seen = FDataReady.load(std::memory_order_acquire);
        std::size_t frames = std::min(FRing.Available() / channels, BlockFrames);
        if (FOptions.FFrames > 0)
            frames = std::min<std::size_t>(
                frames, std::size_t(FOptions.FFrames - FProcessed.load(std::memory_order_relaxed)));
        if (frames == 0) {
            if (FQuit.load(std::memory_order_acquire) || FSource->Failed() ||
                FWriter.State() == tsFailed ||
                (FOptions.FFrames > 0 && FProcessed.load() >= FOptions.FFrames))
                break;
            FDataReady.wait(seen, std::memory_order_acquire);
            continue;
        }
        const auto bytes = quint32(frames * channels * sizeof(float));
        const qint32 got = BASS_ChannelGetData(FStream, FBlock.data(), bytes);
        if (got <= 0)
            break;
        const auto done = qint64(std::size_t(got) / (channels * sizeof(float)));
        FMeter.Feed(FBlock.data(), done);
        FWriter.Write(FBlock.data(), std::size_t(done));
        FProcessed.fetch_add(done, std::memory_order_relaxed);
    }
    FMeter.Flush();
    SetDone();
}

bool TTakePipeline::WaitFinished() {
    FDone.wait(false, std::memory_order_acquire);
    return FOptions.FFrames > 0 && FProcessed.load() >= FOptions.FFrames;
}

QString TTakePipeline::Failure() const {
    if (FSource->Failed())
        return FSource->Failure();
    if (FWriter.State() == tsFailed)
        return FWriter.Result().FError;
    return QString();
}

void TTakePipeline::StopChain() {
    if (FManager) {
        if (FManager->DSPList != nullptr)
            for (int i = 0; i < FManager->DSPList->Count(); ++i)
                FManager->StopDSP(i);
        FManager.reset();
    }
    if (FStream != 0) {
        BASS_StreamFree(FStream);
        FStream = 0;
    }
}

TTakeResult TTakePipeline::Stop() {
    if (FStopped)
        return FWriter.Result();
    FStopped = true;
    // No more input; what the capture delivered is still processed.
    FSource->Stop();
    FQuit.store(true, std::memory_order_release);
    FDataReady.fetch_add(1, std::memory_order_release);
    FDataReady.notify_all();
    if (FThread.joinable())
        FThread.join();
    StopChain();
    return FWriter.Stop();
}
