// Small VST 2 plug-ins of our own, one source built in variants, for what the
// real plug-ins do not show: a gain with a known display text, a pass-through
// for measuring the host, a mono effect, an editor that opens a real X11
// window, and plug-ins that crash, hang, return nothing or answer garbage.
//
// Variant macros: TP_GAIN (default), TP_PASSTHROUGH, TP_MONO, TP_EDITOR,
// TP_PARAMS150, TP_CRASH, TP_HANG, TP_NULL_EFFECT, TP_NO_ENTRY, TP_BAD_MAGIC,
// TP_GARBAGE, TP_OLD_ENTRY (exports only "main"), TP_CHATTY (a gain that prints to
// standard output, as plug-ins left in debug mode do).

#include "vst/VstAbi.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#ifdef TP_EDITOR
#include <X11/Xlib.h>
#endif

using namespace vst;

namespace {

#if defined(TP_PARAMS150)
constexpr int NumParams = 150;
#elif defined(TP_GARBAGE)
constexpr int NumParams = 5000000; // claimed; only a few answer
#else
constexpr int NumParams = 2; // 0: gain, 1: mix
#endif

#ifdef TP_MONO
constexpr int NumChannels = 1;
#else
constexpr int NumChannels = 2;
#endif

struct TPlugin {
    AEffect Effect{};
    HostCallback Host = nullptr;
    float Values[NumParams < 200 ? NumParams : 200] = {};
    float SampleRate = 0;
#ifdef TP_EDITOR
    Display *XDisplay = nullptr;
    Window XWindow = 0;
    ERect Rect{0, 0, 200, 320};
#endif
};

TPlugin *Self(AEffect *AEffect) {
    return static_cast<TPlugin *>(AEffect->object);
}

// Value 0..1 maps onto -24..+24 dB; 0.5 is 0 dB.
float GainDb(float AValue) {
    return AValue * 48.0f - 24.0f;
}

// Cut to the format's short buffers, as a well-behaved plug-in does.
void Put(void *APtr, const char *AText, size_t ALimit) {
    const size_t length = ::strnlen(AText, ALimit - 1);
    std::memcpy(APtr, AText, length);
    static_cast<char *>(APtr)[length] = '\0';
}

intptr_t Dispatcher(AEffect *AEffect, int32_t AOpcode, int32_t AIndex, intptr_t AValue, void *APtr,
                    float AOpt) {
    TPlugin *self = Self(AEffect);
    char text[64];
    switch (AOpcode) {
    case effClose:
#ifdef TP_EDITOR
        if (self->XDisplay != nullptr)
            XCloseDisplay(self->XDisplay);
#endif
        delete self;
        return 0;
    case effSetSampleRate:
        self->SampleRate = AOpt;
        return 0;
    case effGetParamName:
#ifdef TP_GARBAGE
        // Far past the 8 bytes the format allows, and no terminator in reach
        // of a short buffer.
        std::memset(APtr, 'N', 300);
        static_cast<char *>(APtr)[300] = '\0';
#else
        if (AIndex == 0)
            Put(APtr, "Gain", 9);
        else if (AIndex == 1)
            Put(APtr, "Mix", 9);
        else {
            std::snprintf(text, sizeof text, "P%d", AIndex);
            Put(APtr, text, 9);
        }
#endif
        return 0;
    case effGetParamDisplay:
        if (AIndex == 0)
            std::snprintf(text, sizeof text, "%.1f", static_cast<double>(GainDb(self->Values[0])));
        else
            std::snprintf(text, sizeof text, "%d",
                          AIndex < 200 ? static_cast<int>(std::lround(self->Values[AIndex] * 100))
                                       : 0);
        Put(APtr, text, 9);
        return 0;
    case effGetParamLabel:
        Put(APtr, AIndex == 0 ? "dB" : (AIndex == 1 ? "%" : ""), 9);
        return 0;
    case effGetEffectName:
#ifdef TP_GARBAGE
        std::memset(APtr, 'E', 1000);
        static_cast<char *>(APtr)[1000] = '\0';
#else
        Put(APtr, "Test Gain", 32);
#endif
        return 1;
    case effGetVendorString:
        Put(APtr, "Vocarra Tests", 64);
        return 1;
    case effGetProductString:
        Put(APtr, "Test Gain", 64);
        return 1;
    case effGetVstVersion:
        return 2400;
#ifdef TP_EDITOR
    case effEditGetRect:
        *static_cast<ERect **>(APtr) = &self->Rect;
        return 1;
    case effEditOpen: {
        self->XDisplay = XOpenDisplay(nullptr);
        if (self->XDisplay == nullptr)
            return 0;
        self->XWindow = XCreateSimpleWindow(self->XDisplay, reinterpret_cast<Window>(APtr), 0, 0,
                                            320, 200, 0, 0, 0x336699);
        XStoreName(self->XDisplay, self->XWindow, "vocarra-test-editor");
        XMapWindow(self->XDisplay, self->XWindow);
        XFlush(self->XDisplay);
        // Asks for a bigger window, as editors that grow do.
        self->Host(AEffect, audioMasterSizeWindow, 400, 300, nullptr, 0);
        return 1;
    }
    case effEditClose:
        if (self->XDisplay != nullptr && self->XWindow != 0) {
            XDestroyWindow(self->XDisplay, self->XWindow);
            XFlush(self->XDisplay);
            self->XWindow = 0;
        }
        return 0;
    case effEditIdle:
        return 0;
#endif
#ifdef TP_GARBAGE
    case effEditGetRect: {
        static ERect empty{0, 0, 0, 0};
        *static_cast<ERect **>(APtr) = &empty;
        return 1;
    }
    case effEditOpen:
        self->Host(AEffect, audioMasterSizeWindow, 100000, 100000, nullptr, 0);
        return 1;
#endif
    default:
        (void)AValue;
        return 0;
    }
}

void SetParameter(AEffect *AEffect, int32_t AIndex, float AValue) {
    if (AIndex >= 0 && AIndex < NumParams && AIndex < 200)
        Self(AEffect)->Values[AIndex] = AValue;
}

float GetParameter(AEffect *AEffect, int32_t AIndex) {
#ifdef TP_GARBAGE
    (void)AEffect;
    return AIndex == 0 ? NAN : 7.5f;
#else
    return AIndex >= 0 && AIndex < NumParams && AIndex < 200 ? Self(AEffect)->Values[AIndex] : 0;
#endif
}

void ProcessReplacing(AEffect *AEffect, float **AInputs, float **AOutputs, int32_t AFrames) {
#ifdef TP_PASSTHROUGH
    (void)AEffect;
    for (int c = 0; c < NumChannels; ++c)
        if (AInputs[c] != AOutputs[c])
            std::memcpy(AOutputs[c], AInputs[c], sizeof(float) * static_cast<size_t>(AFrames));
#elif defined(TP_GARBAGE)
    // Sound no effect should make: NaN, infinities, then a plain sample.
    (void)AEffect;
    const float junk[] = {NAN, INFINITY, -INFINITY, 0.25f};
    for (int c = 0; c < NumChannels; ++c)
        for (int i = 0; i < AFrames; ++i)
            AOutputs[c][i] = i % 4 == 3 ? AInputs[c][i] : junk[i % 4];
#else
    const float gain = std::pow(10.0f, GainDb(Self(AEffect)->Values[0]) / 20.0f);
    for (int c = 0; c < NumChannels; ++c)
        for (int i = 0; i < AFrames; ++i)
            AOutputs[c][i] = AInputs[c][i] * gain;
#endif
}

AEffect *Create(HostCallback AHost) {
    if (AHost == nullptr || AHost(nullptr, audioMasterVersion, 0, 0, nullptr, 0) < 2400)
        return nullptr;
#if defined(TP_CRASH)
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
#elif defined(TP_HANG)
    for (;;)
        pause();
#elif defined(TP_NULL_EFFECT)
    return nullptr;
#endif
#if defined(TP_CHATTY)
    std::printf("{\"params\": 99} chatter on stdout\n");
    std::fflush(stdout);
    if (::write(1, "more chatter\n", 13) < 0)
        return nullptr;
#endif
#ifdef TP_BAD_MAGIC
    // A host cannot close what is not an effect, so this record is never
    // freed: static, not leaked.
    static TPlugin Record;
    auto *self = &Record;
#else
    auto *self = new TPlugin;
#endif
    self->Host = AHost;
    AEffect &e = self->Effect;
    e.magic = EffectMagic;
#ifdef TP_BAD_MAGIC
    e.magic = 0x12345678;
#endif
    e.dispatcher = &Dispatcher;
    e.setParameter = &SetParameter;
    e.getParameter = &GetParameter;
    e.processReplacing = &ProcessReplacing;
    e.numPrograms = 1;
    e.numParams = NumParams;
    e.numInputs = NumChannels;
    e.numOutputs = NumChannels;
    e.flags = effFlagsCanReplacing;
#if defined(TP_EDITOR) || defined(TP_GARBAGE)
    e.flags |= effFlagsHasEditor;
#endif
    e.object = self;
    e.uniqueID = 0x56435447; // 'VCTG'
    e.version = 1;
    self->Values[0] = 0.5f;
    if (NumParams > 1)
        self->Values[1] = 1.0f;
    return &e;
}

} // namespace

#ifndef TP_NO_ENTRY
extern "C" __attribute__((visibility("default")))
#ifdef TP_OLD_ENTRY
AEffect *
main_plugin(HostCallback AHost) __asm__("main");
extern "C" __attribute__((visibility("default"))) AEffect *main_plugin(HostCallback AHost) {
    return Create(AHost);
}
#else
AEffect *
VSTPluginMain(HostCallback AHost) {
    return Create(AHost);
}
#endif
#else
// A library with an effect inside but no entry the host looks for.
extern "C" __attribute__((visibility("default"))) AEffect *CreateEffect(HostCallback AHost) {
    return Create(AHost);
}
#endif
