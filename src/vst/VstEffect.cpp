#include "vst/VstEffect.h"

#include "core/NativeNames.h"

#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <vector>

using namespace Qt::StringLiterals;

// Present only in builds with the leak checker; the names are its own.
extern "C" void __lsan_disable() __attribute__((weak)); // NOLINT(bugprone-reserved-identifier)
extern "C" void __lsan_enable() __attribute__((weak));  // NOLINT(bugprone-reserved-identifier)

namespace {

// What a plug-in's library constructors allocate is the plug-in's and lives
// as long as the process; under the leak checker it is not counted (the
// library's frames are gone from the stacks by the time it would report).
class TForeignAllocations {
public:
    TForeignAllocations() {
        if (__lsan_disable != nullptr)
            __lsan_disable();
    }
    ~TForeignAllocations() {
        if (__lsan_enable != nullptr)
            __lsan_enable();
    }
    TForeignAllocations(const TForeignAllocations &) = delete;
    TForeignAllocations &operator=(const TForeignAllocations &) = delete;
};

vst::AEffect *CallEntry(vst::EntryFunction AEntry) {
    // Many entries load the plug-in's real library only now.
    const TForeignAllocations foreign;
    return AEntry(&TVstEffect::HostCallback);
}

void *OpenLibrary(const QString &APath) {
    const TForeignAllocations foreign;
    return ::dlopen(NativeName(APath).constData(), RTLD_NOW | RTLD_LOCAL);
}

// The effect being created: its entry function may ask the host questions
// before the effect record exists.
thread_local double LoadingSampleRate = 48000;

TVstEffect *EffectOf(vst::AEffect *AEffect) {
    if (AEffect == nullptr)
        return nullptr;
    // resvd1 is the host's field of the record; we keep our object there.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<TVstEffect *>(AEffect->resvd1);
}

void CopyText(void *ADest, const char *AText, size_t ACapacity) {
    if (ADest == nullptr)
        return;
    std::snprintf(static_cast<char *>(ADest), ACapacity, "%s", AText);
}

bool Plausible(int32_t ACount, int32_t ALimit) {
    return ACount >= 0 && ACount <= ALimit;
}

float Bounded(float AValue) {
    if (std::isnan(AValue))
        return 0;
    return std::clamp(AValue, 0.0f, 1.0f);
}

} // namespace

QString VstText(const QByteArray &AText) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(AText);
    if (utf8.hasError())
        text = QString::fromLatin1(AText);
    return text;
}

std::unique_ptr<TVstEffect> TVstEffect::Load(const QString &APath, double ASampleRate,
                                             TVstLoadResult &AResult, QString &AError) {
    AError.clear();
    // A library once opened stays loaded for the rest of the process: plug-ins
    // leave threads, exit handlers and caches behind that point into their
    // code, and unloading under them crashes later, far from the cause.
    // Opening the same file again costs nothing.
    void *library = OpenLibrary(APath);
    if (library == nullptr) {
        AResult = vlCannotOpen;
        // The loader's error text is kept per thread.
        const char *error = ::dlerror(); // NOLINT(concurrency-mt-unsafe)
        AError = error != nullptr ? QString::fromLocal8Bit(error) : u"cannot load the library"_s;
        return nullptr;
    }
    auto entry = reinterpret_cast<vst::EntryFunction>(::dlsym(library, "VSTPluginMain"));
    if (entry == nullptr)
        entry = reinterpret_cast<vst::EntryFunction>(::dlsym(library, "main"));
    if (entry == nullptr) {
        AResult = vlNoEntry;
        return nullptr;
    }
    LoadingSampleRate = ASampleRate;
    vst::AEffect *effect = CallEntry(entry);
    if (effect == nullptr) {
        AResult = vlNullEffect;
        return nullptr;
    }
    if (effect->magic != vst::EffectMagic || effect->dispatcher == nullptr) {
        AResult = vlBadEffect;
        AError = u"the plug-in returned no valid effect"_s;
        return nullptr;
    }
    if (!Plausible(effect->numParams, 1 << 24) || !Plausible(effect->numInputs, VstMaxChannels) ||
        !Plausible(effect->numOutputs, VstMaxChannels)) {
        AResult = vlBadEffect;
        AError = u"the plug-in reports %1 parameters, %2 inputs and %3 outputs"_s.arg(
            QString::number(effect->numParams), QString::number(effect->numInputs),
            QString::number(effect->numOutputs));
        return nullptr;
    }
    std::unique_ptr<TVstEffect> result(new TVstEffect);
    result->FPath = APath;
    result->FEffect = effect;
    result->FSampleRate = ASampleRate;
    effect->resvd1 = reinterpret_cast<intptr_t>(result.get());
    result->Dispatch(vst::effOpen);
    // Read after opening: some effects only know their layout then.
    result->FNumParams = std::clamp(effect->numParams, 0, VstMaxParams);
    result->FNumInputs = std::clamp(effect->numInputs, 0, VstMaxChannels);
    result->FNumOutputs = std::clamp(effect->numOutputs, 0, VstMaxChannels);
    result->Dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(ASampleRate));
    AResult = vlOk;
    return result;
}

TVstEffect::~TVstEffect() {
    CloseEditor();
    Stop();
    Dispatch(vst::effClose);
    // effClose frees the record; nothing of it may be touched after this.
    FEffect = nullptr;
}

intptr_t TVstEffect::Dispatch(int32_t AOpcode, int32_t AIndex, intptr_t AValue, void *APtr,
                              float AOpt) const {
    if (FEffect == nullptr || FEffect->dispatcher == nullptr)
        return 0;
    return FEffect->dispatcher(FEffect, AOpcode, AIndex, AValue, APtr, AOpt);
}

QByteArray TVstEffect::TextOf(int32_t AOpcode, int32_t AIndex) const {
    // The format promises short texts (8, 24, 64 bytes) but plug-ins write
    // what they like: a roomy buffer, then our own cut.
    std::vector<char> buffer(4096, '\0');
    Dispatch(AOpcode, AIndex, 0, buffer.data());
    buffer.back() = '\0';
    const size_t length = std::min<size_t>(::strnlen(buffer.data(), buffer.size()), VstMaxText);
    return QByteArray(buffer.data(), static_cast<qsizetype>(length));
}

QByteArray TVstEffect::VendorName() const {
    return TextOf(vst::effGetVendorString, 0);
}

QByteArray TVstEffect::EffectName() const {
    QByteArray name = TextOf(vst::effGetEffectName, 0);
    return name.isEmpty() ? TextOf(vst::effGetProductString, 0) : name;
}

int TVstEffect::UniqueID() const {
    return FEffect->uniqueID;
}

int TVstEffect::Version() const {
    return FEffect->version;
}

bool TVstEffect::HasEditor() const {
    return (FEffect->flags & vst::effFlagsHasEditor) != 0;
}

bool TVstEffect::IsSynth() const {
    return (FEffect->flags & vst::effFlagsIsSynth) != 0;
}

float TVstEffect::Param(int AIndex) const {
    if (AIndex < 0 || AIndex >= FNumParams || FEffect->getParameter == nullptr)
        return 0;
    return Bounded(FEffect->getParameter(FEffect, AIndex));
}

void TVstEffect::SetParam(int AIndex, float AValue) {
    if (AIndex < 0 || AIndex >= FNumParams || FEffect->setParameter == nullptr)
        return;
    FEffect->setParameter(FEffect, AIndex, Bounded(AValue));
}

QByteArray TVstEffect::ParamName(int AIndex) const {
    return AIndex >= 0 && AIndex < FNumParams ? TextOf(vst::effGetParamName, AIndex) : QByteArray();
}

QByteArray TVstEffect::ParamDisplay(int AIndex) const {
    return AIndex >= 0 && AIndex < FNumParams ? TextOf(vst::effGetParamDisplay, AIndex)
                                              : QByteArray();
}

QByteArray TVstEffect::ParamLabel(int AIndex) const {
    return AIndex >= 0 && AIndex < FNumParams ? TextOf(vst::effGetParamLabel, AIndex)
                                              : QByteArray();
}

// --- Audio ------------------------------------------------------------------------

void TVstEffect::Start(double ASampleRate, int AMaxBlockFrames) {
    if (FStarted)
        Stop();
    FSampleRate = ASampleRate;
    FMaxBlock = std::max(AMaxBlockFrames, 1);
    Dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(ASampleRate));
    Dispatch(vst::effSetBlockSize, 0, FMaxBlock.load());
    Dispatch(vst::effMainsChanged, 0, 1);
    Dispatch(vst::effStartProcess);
    FStarted = true;
}

void TVstEffect::Stop() {
    if (!FStarted)
        return;
    Dispatch(vst::effStopProcess);
    Dispatch(vst::effMainsChanged, 0, 0);
    FStarted = false;
}

void TVstEffect::Process(float *const *AInputs, float *const *AOutputs, int AFrames) {
    if (AFrames <= 0)
        return;
    auto **inputs = const_cast<float **>(AInputs);
    auto **outputs = const_cast<float **>(AOutputs);
    if (FEffect->processReplacing != nullptr && (FEffect->flags & vst::effFlagsCanReplacing) != 0) {
        FEffect->processReplacing(FEffect, inputs, outputs, AFrames);
        return;
    }
    for (int c = 0; c < FNumOutputs; ++c)
        std::fill_n(outputs[c], AFrames, 0.0f);
    if (FEffect->process != nullptr)
        FEffect->process(FEffect, inputs, outputs, AFrames);
    else if (FEffect->processReplacing != nullptr)
        FEffect->processReplacing(FEffect, inputs, outputs, AFrames);
}

// --- Editor -----------------------------------------------------------------------

bool TVstEffect::EditorSize(int &AWidth, int &AHeight) {
    vst::ERect *rect = nullptr;
    Dispatch(vst::effEditGetRect, 0, 0, &rect);
    if (rect == nullptr)
        return false;
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0)
        return false;
    AWidth = std::min(width, VstMaxEditorSide);
    AHeight = std::min(height, VstMaxEditorSide);
    return true;
}

bool TVstEffect::OpenEditor(quintptr AParent) {
    if (!HasEditor() || AParent == 0)
        return false;
    if (FEditorOpen)
        CloseEditor();
    // Some editors only know their size once asked before opening.
    int width = 0;
    int height = 0;
    EditorSize(width, height);
    // The format passes the native window (an X11 id) as a pointer.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    Dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void *>(AParent));
    FEditorOpen = true;
    return true;
}

void TVstEffect::CloseEditor() {
    if (!FEditorOpen)
        return;
    Dispatch(vst::effEditClose);
    FEditorOpen = false;
}

void TVstEffect::EditorIdle() {
    if (FEditorOpen)
        Dispatch(vst::effEditIdle);
}

// --- Host callback ----------------------------------------------------------------

intptr_t TVstEffect::HostCallback(vst::AEffect *AEffect, int32_t AOpcode, int32_t AIndex,
                                  intptr_t AValue, void *APtr, float /*AOpt*/) {
    TVstEffect *self = EffectOf(AEffect);
    switch (AOpcode) {
    case vst::audioMasterVersion:
        return vst::HostVersion;
    case vst::audioMasterCurrentId:
        return AEffect != nullptr ? AEffect->uniqueID : 0;
    case vst::audioMasterGetSampleRate:
        return static_cast<intptr_t>(self != nullptr ? self->SampleRate() : LoadingSampleRate);
    case vst::audioMasterGetBlockSize:
        return self != nullptr ? self->MaxBlockFrames() : 1024;
    case vst::audioMasterGetVendorString:
    case vst::audioMasterGetProductString:
        CopyText(APtr, "Vocarra", 64);
        return 1;
    case vst::audioMasterGetVendorVersion:
    case vst::audioMasterGetLanguage: // 1: English
        return 1;
    case vst::audioMasterCanDo: {
        const char *what = static_cast<const char *>(APtr);
        if (what == nullptr)
            return 0;
        for (const char *yes : {"sizeWindow", "supplyIdle"})
            if (std::strncmp(what, yes, 64) == 0)
                return 1;
        return 0;
    }
    case vst::audioMasterSizeWindow:
        if (self == nullptr || !self->OnSizeWindow || AIndex <= 0 || AValue <= 0)
            return 0;
        self->OnSizeWindow(std::min<int>(AIndex, VstMaxEditorSide),
                           static_cast<int>(std::min<intptr_t>(AValue, VstMaxEditorSide)));
        return 1;
    case vst::audioMasterAutomate:
    case vst::audioMasterBeginEdit:
    case vst::audioMasterEndEdit:
    case vst::audioMasterUpdateDisplay:
    case vst::audioMasterIdle:
        return 1;
    default:
        // Time info, events, latency and the rest: this host has none.
        return 0;
    }
}
