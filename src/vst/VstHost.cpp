#include "vst/VstHost.h"

#include "audio/AudioEngine.h"
#include "audio/EngineEpoch.h"
#include "core/MainThread.h"
#include "core/NativeNames.h"
#include "vst/PluginCatalogue.h"
#include "vst/VstEffect.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Process-wide, so that no two hosts (tests make several) hand out one handle.
std::atomic<quint32> NextHandle{1};

// Copies AText into a record's text field of ACapacity bytes: cut to fit,
// always terminated, the rest zeroed.
void PutText(char *AField, const QByteArray &AText, size_t ACapacity) {
    std::memset(AField, 0, ACapacity);
    const size_t length = std::min(static_cast<size_t>(AText.size()), ACapacity - 1);
    std::memcpy(AField, AText.constData(), length);
}

bool FileExists(const QString &APath) {
    struct stat info {};
    return ::stat(NativeName(APath).constData(), &info) == 0;
}

// Loads one instance; nullptr for a library without an entry or effect.
std::unique_ptr<TVstEffect> LoadEffect(const QString &APath, double ARate) {
    TVstLoadResult result = vlOk;
    QString error;
    std::unique_ptr<TVstEffect> effect = TVstEffect::Load(APath, ARate, result, error);
    if (effect)
        return effect;
    switch (result) {
    case vlCannotOpen:
        throw std::runtime_error(
            u"the library does not load (%1)"_s.arg(error).toLocal8Bit().toStdString());
    case vlBadEffect:
        throw std::runtime_error(error.toLocal8Bit().toStdString());
    default:
        return nullptr;
    }
}

} // namespace

// One attached plug-in: its instances (one per group of channels), their
// planar buffers and the channel it runs on.
struct TVstHost::TInstance {
    quint32 Handle = 0;
    HSTREAM Channel = 0;
    HDSP Dsp = 0;
    int StreamChannels = 0;
    // Stream channels handed to each instance.
    int Group = 1;
    int Inputs = 0;
    int Outputs = 0;
    std::vector<std::unique_ptr<TVstEffect>> Effects;
    std::vector<float> Defaults;
    // Per instance: Inputs then Outputs blocks of MaxBlockFrames.
    std::vector<float> Planar;
    // Per instance: Inputs then Outputs pointers into Planar.
    std::vector<float *> Buffers;

    void Prepare() {
        const size_t perEffect = static_cast<size_t>(Inputs) + static_cast<size_t>(Outputs);
        const auto block = static_cast<size_t>(MaxBlockFrames);
        Planar.assign(Effects.size() * perEffect * block, 0.0f);
        Buffers.resize(Effects.size() * perEffect);
        for (size_t i = 0; i < Buffers.size(); ++i)
            Buffers[i] = Planar.data() + i * block;
    }

    // Audio thread: AFrames interleaved frames of StreamChannels, in place.
    void Process(float *AInterleaved, int AFrames) {
        const int chans = StreamChannels;
        const size_t perEffect = static_cast<size_t>(Inputs) + static_cast<size_t>(Outputs);
        for (int done = 0; done < AFrames;) {
            const int frames = std::min(MaxBlockFrames, AFrames - done);
            float *block = AInterleaved + static_cast<size_t>(done) * chans;
            for (size_t k = 0; k < Effects.size(); ++k) {
                float *const *inputs = Buffers.data() + k * perEffect;
                float *const *outputs = inputs + Inputs;
                const int first = static_cast<int>(k) * Group;
                for (int i = 0; i < Inputs; ++i) {
                    float *planar = inputs[i];
                    const int c = first + i;
                    if (i < Group && c < chans) {
                        const float *from = block + c;
                        for (int f = 0; f < frames; ++f, from += chans)
                            planar[f] = *from;
                    } else {
                        std::fill_n(planar, frames, 0.0f);
                    }
                }
                Effects[k]->Process(inputs, outputs, frames);
                const int written = std::min(Outputs, Group);
                for (int i = 0; i < written; ++i) {
                    const int c = first + i;
                    if (c >= chans)
                        break;
                    const float *planar = outputs[i];
                    float *to = block + c;
                    // A plug-in's NaN or infinity would poison every effect
                    // after it and the file: it becomes silence here.
                    for (int f = 0; f < frames; ++f, to += chans)
                        *to = std::isfinite(planar[f]) ? planar[f] : 0.0f;
                }
            }
            done += frames;
        }
    }

    static void Callback(HDSP, HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
        auto *self = static_cast<TInstance *>(AUser);
        if (self->StreamChannels <= 0)
            return;
        const auto frameBytes = static_cast<quint32>(self->StreamChannels * sizeof(float));
        self->Process(static_cast<float *>(ABuffer), static_cast<int>(ALength / frameBytes));
    }
};

TVstHost::TVstHost(QString AScannerPath) : FScannerPath(std::move(AScannerPath)) {}

TVstHost::~TVstHost() {
    while (!FInstances.empty()) {
        auto first = FInstances.begin();
        std::unique_ptr<TInstance> instance = std::move(first->second);
        FInstances.erase(first);
        if (instance->Dsp != 0)
            BASS_ChannelRemoveDSP(instance->Channel, instance->Dsp);
        Free(std::move(instance));
    }
}

bool TVstHost::LoadVSTBridge() {
    FBridgeLoaded = ScannerUsable(FScannerPath);
    return FBridgeLoaded;
}

TVstHost::TInstance *TVstHost::Find(quint32 AVstHandle) const {
    const auto found = FInstances.find(AVstHandle);
    return found != FInstances.end() ? found->second.get() : nullptr;
}

void TVstHost::Free(std::unique_ptr<TInstance> AInstance) {
    if (!AInstance)
        return;
    if (!AInstance->Effects.empty())
        AInstance->Effects.front()->OnSizeWindow = nullptr;
    // Removed from inside a callback (a read section), the engine cannot
    // wait for the audio thread: the effects go once no buffer can hold them.
    if (TEpochReclaimer::InsideReadSection())
        TEpochReclaimer::Instance().Retire(AInstance.release());
}

quint32 TVstHost::BASS_VST_ChannelSetDSP(quint32 AChannel, const QString &AFile, quint32 /*AFlags*/,
                                         qint32 APriority) {
    auto instance = std::make_unique<TInstance>();
    double rate = NoChannelRate;
    if (AChannel != 0) {
        BASS_CHANNELINFO info;
        if (!BASS_ChannelGetInfo(AChannel, info) || info.freq == 0 || info.chans == 0)
            return 0;
        rate = info.freq;
        instance->StreamChannels = static_cast<int>(info.chans);
    }
    // A chain entry whose plug-in was deleted starts as nothing.
    if (AFile.isEmpty() || !FileExists(AFile))
        return 0;
    std::unique_ptr<TVstEffect> first = LoadEffect(AFile, rate);
    if (!first)
        return 0;
    instance->Inputs = first->NumInputs();
    instance->Outputs = first->NumOutputs();
    const int narrow = std::min(instance->Inputs, instance->Outputs);
    instance->Group = narrow > 0 ? narrow : std::max({1, instance->Inputs, instance->Outputs});
    instance->Defaults.reserve(static_cast<size_t>(first->NumParams()));
    for (int i = 0; i < first->NumParams(); ++i)
        instance->Defaults.push_back(first->Param(i));
    instance->Effects.push_back(std::move(first));

    if (AChannel != 0) {
        // A plug-in narrower than the stream gets an instance per group of
        // channels, so that no channel passes unprocessed.
        const int groups = std::min(
            (instance->StreamChannels + instance->Group - 1) / instance->Group, VstMaxChannels);
        for (int k = 1; k < groups; ++k) {
            std::unique_ptr<TVstEffect> more = LoadEffect(AFile, rate);
            if (!more || more->NumInputs() != instance->Inputs ||
                more->NumOutputs() != instance->Outputs)
                return 0;
            for (int i = 0; i < more->NumParams(); ++i)
                more->SetParam(i, instance->Defaults[static_cast<size_t>(i)]);
            instance->Effects.push_back(std::move(more));
        }
        for (const auto &effect : instance->Effects)
            effect->Start(rate, MaxBlockFrames);
        instance->Prepare();
        instance->Channel = AChannel;
        instance->Dsp =
            BASS_ChannelSetDSP(AChannel, &TInstance::Callback, instance.get(), APriority);
        if (instance->Dsp == 0)
            return 0;
    }

    const quint32 handle = NextHandle.fetch_add(1);
    instance->Handle = handle;
    const std::weak_ptr<TVSTEditorResize> resize = FResize;
    instance->Effects.front()->OnSizeWindow = [resize, handle](int AWidth, int AHeight) {
        PostToMainThread([resize, handle, AWidth, AHeight] {
            const std::shared_ptr<TVSTEditorResize> handler = resize.lock();
            if (handler && *handler)
                (*handler)(handle, AWidth, AHeight);
        });
    };
    FInstances.emplace(handle, std::move(instance));
    return handle;
}

bool TVstHost::BASS_VST_ChannelRemoveDSP(quint32 AChannel, quint32 AVstHandle) {
    const auto found = FInstances.find(AVstHandle);
    if (found == FInstances.end() || found->second->Channel != AChannel)
        return false;
    std::unique_ptr<TInstance> instance = std::move(found->second);
    FInstances.erase(found);
    // The engine waits for a buffer in progress before it returns; a stream
    // already freed waited when it was freed.
    if (instance->Dsp != 0)
        BASS_ChannelRemoveDSP(instance->Channel, instance->Dsp);
    Free(std::move(instance));
    return true;
}

bool TVstHost::BASS_VST_GetInfo(quint32 AVstHandle, BASS_VST_INFO *AInfo) {
    const TInstance *instance = Find(AVstHandle);
    if (instance == nullptr || AInfo == nullptr)
        return false;
    TVstEffect &effect = *instance->Effects.front();
    *AInfo = BASS_VST_INFO();
    PutText(AInfo->vendorName, effect.VendorName(), sizeof AInfo->vendorName);
    PutText(AInfo->effectName, effect.EffectName(), sizeof AInfo->effectName);
    AInfo->hasEditor = effect.HasEditor() ? 1 : 0;
    int width = 0;
    int height = 0;
    if (effect.HasEditor() && effect.EditorSize(width, height)) {
        AInfo->editorWidth = static_cast<quint32>(width);
        AInfo->editorHeight = static_cast<quint32>(height);
    }
    return true;
}

qint32 TVstHost::BASS_VST_GetParamCount(quint32 AVstHandle) {
    const TInstance *instance = Find(AVstHandle);
    return instance != nullptr ? instance->Effects.front()->NumParams() : 0;
}

float TVstHost::BASS_VST_GetParam(quint32 AVstHandle, qint32 AIndex) {
    const TInstance *instance = Find(AVstHandle);
    return instance != nullptr ? instance->Effects.front()->Param(AIndex) : 0;
}

bool TVstHost::BASS_VST_SetParam(quint32 AVstHandle, qint32 AIndex, float AValue) {
    const TInstance *instance = Find(AVstHandle);
    if (instance == nullptr || AIndex < 0 || AIndex >= instance->Effects.front()->NumParams())
        return false;
    for (const auto &effect : instance->Effects)
        effect->SetParam(AIndex, AValue);
    return true;
}

bool TVstHost::BASS_VST_GetParamInfo(quint32 AVstHandle, qint32 AIndex,
                                     BASS_VST_PARAM_INFO *AInfo) {
    const TInstance *instance = Find(AVstHandle);
    if (instance == nullptr || AInfo == nullptr || AIndex < 0 ||
        AIndex >= instance->Effects.front()->NumParams())
        return false;
    const TVstEffect &effect = *instance->Effects.front();
    *AInfo = BASS_VST_PARAM_INFO();
    PutText(AInfo->name, effect.ParamName(AIndex), sizeof AInfo->name);
    PutText(AInfo->unit, effect.ParamLabel(AIndex), sizeof AInfo->unit);
    PutText(AInfo->display, effect.ParamDisplay(AIndex), sizeof AInfo->display);
    AInfo->defaultValue = instance->Defaults[static_cast<size_t>(AIndex)];
    return true;
}

bool TVstHost::BASS_VST_EmbedEditor(quint32 AVstHandle, quintptr AParentWindow) {
    const TInstance *instance = Find(AVstHandle);
    if (instance == nullptr)
        return false;
    TVstEffect &effect = *instance->Effects.front();
    if (AParentWindow == 0) {
        effect.CloseEditor();
        return true;
    }
    return effect.OpenEditor(AParentWindow);
}

void TVstHost::VSTEditorIdle(quint32 AVstHandle) {
    if (const TInstance *instance = Find(AVstHandle))
        instance->Effects.front()->EditorIdle();
}

void TVstHost::SetVSTEditorResize(TVSTEditorResize AHandler) {
    *FResize = std::move(AHandler);
}

void TVstHost::FreeVSTWindow(TDSPItemC &AItem) {
    if (FWindowFreer)
        FWindowFreer(AItem);
}

void TVstHost::SetVSTWindowFreer(std::function<void(TDSPItemC &AItem)> AFreer) {
    FWindowFreer = std::move(AFreer);
}

int TVstHost::InstanceCount(quint32 AVstHandle) const {
    const TInstance *instance = Find(AVstHandle);
    return instance != nullptr ? static_cast<int>(instance->Effects.size()) : 0;
}

quint32 TVstHost::ChannelOf(quint32 AVstHandle) const {
    const TInstance *instance = Find(AVstHandle);
    return instance != nullptr ? instance->Channel : 0;
}
