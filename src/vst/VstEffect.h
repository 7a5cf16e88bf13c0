#pragma once
// One VST 2 effect loaded into this process: the library opened, its entry
// function called with our host callback, the effect opened. Every answer
// the plug-in gives is foreign and bounded here before anyone else sees it:
// texts are cut and terminated whatever the plug-in wrote, parameter values
// are numbers in 0.0 to 1.0, counts and editor sizes stay within limits.
//
// Threads: load, parameters, editor and the rest on one control thread;
// Process on the audio thread. The plug-in's requests to the host may come
// from either.

#include "vst/VstAbi.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

// Limits on what a plug-in may claim.
inline constexpr int VstMaxParams = 4096;
inline constexpr int VstMaxChannels = 128;
inline constexpr int VstMaxEditorSide = 4096;
// Longest text taken from a plug-in, in bytes; the rest is cut.
inline constexpr int VstMaxText = 255;

// Why a library gave no effect.
enum TVstLoadResult {
    vlOk,
    vlCannotOpen, // the library does not load (AError: the loader's text)
    vlNoEntry,    // neither "VSTPluginMain" nor "main"
    vlNullEffect, // the entry returned no effect
    vlBadEffect,  // the entry returned something that is not an effect (AError says what)
};

class TVstEffect {
public:
    // Loads APath and opens its effect at ASampleRate. On failure returns
    // nullptr with AResult and, for vlCannotOpen and vlBadEffect, AError.
    static std::unique_ptr<TVstEffect> Load(const QString &APath, double ASampleRate,
                                            TVstLoadResult &AResult, QString &AError);
    // Closes the editor, stops and closes the effect; the library stays loaded.
    ~TVstEffect();
    TVstEffect(const TVstEffect &) = delete;
    TVstEffect &operator=(const TVstEffect &) = delete;

    const QString &Path() const { return FPath; }

    // Single-byte texts as the plug-in gave them, cut to VstMaxText bytes.
    QByteArray VendorName() const;
    QByteArray EffectName() const; // the product name when the effect has none
    int UniqueID() const;
    int Version() const;

    int NumParams() const { return FNumParams; }
    int NumInputs() const { return FNumInputs; }
    int NumOutputs() const { return FNumOutputs; }
    bool HasEditor() const;
    bool IsSynth() const;

    // 0.0 to 1.0; NaN reads as 0, an index outside the parameters as 0.
    float Param(int AIndex) const;
    // AValue is clamped to 0.0 to 1.0 (NaN: 0); indexes outside are ignored.
    void SetParam(int AIndex, float AValue);
    QByteArray ParamName(int AIndex) const;
    QByteArray ParamDisplay(int AIndex) const;
    QByteArray ParamLabel(int AIndex) const;

    // --- Audio ---------------------------------------------------------------
    // Tells the effect the rate and the largest block, and switches it on.
    void Start(double ASampleRate, int AMaxBlockFrames);
    // Switches it off; Start may follow again.
    void Stop();
    bool Started() const { return FStarted; }
    double SampleRate() const { return FSampleRate.load(std::memory_order_relaxed); }
    int MaxBlockFrames() const { return FMaxBlock.load(std::memory_order_relaxed); }
    // Runs the effect over AFrames (at most the largest block) of planar
    // audio: NumInputs input and NumOutputs output buffers. Effects without
    // processReplacing get zeroed outputs and the accumulating call.
    void Process(float *const *AInputs, float *const *AOutputs, int AFrames);

    // --- Editor --------------------------------------------------------------
    // The editor's size in pixels, each side within 1..VstMaxEditorSide;
    // false when the plug-in does not say (or says 0).
    bool EditorSize(int &AWidth, int &AHeight);
    // Opens the editor inside the native window AParent (an X11 window id).
    bool OpenEditor(quintptr AParent);
    void CloseEditor();
    bool EditorOpen() const { return FEditorOpen; }
    void EditorIdle();
    // Called, on whatever thread the plug-in asks from, when the editor
    // wants another size (already bounded).
    std::function<void(int AWidth, int AHeight)> OnSizeWindow;

    // The host callback every effect of this process gets.
    static intptr_t HostCallback(vst::AEffect *AEffect, int32_t AOpcode, int32_t AIndex,
                                 intptr_t AValue, void *APtr, float AOpt);

private:
    TVstEffect() = default;
    intptr_t Dispatch(int32_t AOpcode, int32_t AIndex = 0, intptr_t AValue = 0,
                      void *APtr = nullptr, float AOpt = 0) const;
    QByteArray TextOf(int32_t AOpcode, int32_t AIndex) const;

    QString FPath;
    vst::AEffect *FEffect = nullptr;
    int FNumParams = 0;
    int FNumInputs = 0;
    int FNumOutputs = 0;
    bool FStarted = false;
    bool FEditorOpen = false;
    std::atomic<double> FSampleRate{48000};
    std::atomic<int> FMaxBlock{1024};
};

// Plug-in text for people: UTF-8 when it is valid UTF-8, else Latin-1.
QString VstText(const QByteArray &AText);
