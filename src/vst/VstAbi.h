#pragma once
// The binary interface of VST 2 effects, as far as this host uses it: the
// effect record a plug-in's entry function returns, the dispatcher and host
// callback opcodes, and the flags. Declared here from the format's public
// description; layout and values are fixed by the plug-ins that exist.

#include <cstdint>

namespace vst {

struct AEffect;

// The host's callback, handed to the entry function and called by the
// plug-in with requests (opcodes below).
using HostCallback = intptr_t (*)(AEffect *AEffect, int32_t AOpcode, int32_t AIndex,
                                  intptr_t AValue, void *APtr, float AOpt);
// The plug-in's entry function ("VSTPluginMain", in old plug-ins "main").
using EntryFunction = AEffect *(*)(HostCallback AHost);

using DispatcherProc = intptr_t (*)(AEffect *AEffect, int32_t AOpcode, int32_t AIndex,
                                    intptr_t AValue, void *APtr, float AOpt);
using ProcessProc = void (*)(AEffect *AEffect, float **AInputs, float **AOutputs, int32_t AFrames);
using ProcessDoubleProc = void (*)(AEffect *AEffect, double **AInputs, double **AOutputs,
                                   int32_t AFrames);
using SetParameterProc = void (*)(AEffect *AEffect, int32_t AIndex, float AValue);
using GetParameterProc = float (*)(AEffect *AEffect, int32_t AIndex);

// 'VstP' in the first field tells a real effect record from garbage.
inline constexpr int32_t EffectMagic = 0x56737450;

struct AEffect {
    int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process; // accumulating; obsolete
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void *object;
    void *user;
    int32_t uniqueID;
    int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

// The editor's rectangle as the plug-in reports it.
struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

// Effect flags.
inline constexpr int32_t effFlagsHasEditor = 1 << 0;
inline constexpr int32_t effFlagsCanReplacing = 1 << 4;
inline constexpr int32_t effFlagsProgramChunks = 1 << 5;
inline constexpr int32_t effFlagsIsSynth = 1 << 8;

// Dispatcher opcodes (host to plug-in).
enum : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effCanBeAutomated = 26,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effCanDo = 51,
    effGetVstVersion = 58,
    effStartProcess = 71,
    effStopProcess = 72,
};

// Host callback opcodes (plug-in to host).
enum : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

// The format version this host speaks, the answer to audioMasterVersion.
inline constexpr intptr_t HostVersion = 2400;

} // namespace vst
