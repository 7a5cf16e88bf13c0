#pragma once
// The plug-in host as the chain engine sees it: the VST host library (loaded
// at run time, with the functions bound from it), the Winamp DSP add-on and
// the list of loaded Winamp DSP plug-ins.
//
// One host is installed process-wide. Until a real one is installed, the host
// has nothing loaded: the VST host library reports itself unloaded, the
// Winamp list is empty, and every call fails or returns 0, so chain entries of
// plug-ins start and stop as nothing.
//
// Threads: main thread only, like the chain engine that calls it.

#include "dsp/DSPItems.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

// The VST host library's flag for a plug-in path given as UTF-16 text.
inline constexpr quint32 BASS_VST_UNICODE = 0x80000000;

// The effect information the VST host library reports: names are
// single-byte text in the system code page.
struct BASS_VST_INFO {
    char vendorName[80] = {};
    char effectName[80] = {};
    quint32 hasEditor = 0;
    quint32 editorWidth = 0;
    quint32 editorHeight = 0;
};

// One parameter as the VST host library reports it: texts are single-byte
// text in the system code page, cut to fit and always terminated.
struct BASS_VST_PARAM_INFO {
    char name[16] = {};    // the parameter's name
    char unit[16] = {};    // the unit of the display text ("dB")
    char display[16] = {}; // the current value as the plug-in shows it
    float defaultValue = 0;
};

// What the plug-in's editor asks of the window holding it: a new size in
// pixels.
using TVSTEditorResize = std::function<void(quint32 AVstHandle, int AWidth, int AHeight)>;

// One found plug-in.
struct TPluginItem {
    QString DisplayName;
    QString Path; // Winamp DSP: the file name only; VST: folder + file name
    TPluginType T = ptDSP;
    quint32 H = 0; // Winamp DSP: the loaded plug-in's handle; VST: 0
};

class TPluginHost {
public:
    virtual ~TPluginHost() = default;

    // --- VST host library ---------------------------------------------------
    // Loads and binds the library (again, when it is already loaded).
    virtual bool LoadVSTBridge() { return false; }
    virtual bool VSTBridgeLoaded() const { return false; }

    // Attaches the plug-in library AFile to AChannel; returns the effect
    // handle, 0 on failure. A fault inside the plug-in is raised as an
    // exception whose text describes it.
    virtual quint32 BASS_VST_ChannelSetDSP(quint32 /*AChannel*/, const QString & /*AFile*/,
                                           quint32 /*AFlags*/, qint32 /*APriority*/) {
        return 0;
    }
    virtual bool BASS_VST_ChannelRemoveDSP(quint32 /*AChannel*/, quint32 /*AVstHandle*/) {
        return false;
    }
    virtual bool BASS_VST_GetInfo(quint32 /*AVstHandle*/, BASS_VST_INFO * /*AInfo*/) {
        return false;
    }
    virtual qint32 BASS_VST_GetParamCount(quint32 /*AVstHandle*/) { return 0; }
    virtual float BASS_VST_GetParam(quint32 /*AVstHandle*/, qint32 /*AIndex*/) { return 0; }
    virtual bool BASS_VST_SetParam(quint32 /*AVstHandle*/, qint32 /*AIndex*/, float /*AValue*/) {
        return false;
    }
    // False for an index outside the plug-in's parameters.
    virtual bool BASS_VST_GetParamInfo(quint32 /*AVstHandle*/, qint32 /*AIndex*/,
                                       BASS_VST_PARAM_INFO * /*AInfo*/) {
        return false;
    }
    // Opens the plug-in's editor inside the native window AParentWindow (an
    // X11 window id on Linux); 0 closes the editor.
    virtual bool BASS_VST_EmbedEditor(quint32 /*AVstHandle*/, quintptr /*AParentWindow*/) {
        return false;
    }
    // Gives an open editor its time slice; the window holding it calls this
    // about every 40 ms.
    virtual void VSTEditorIdle(quint32 /*AVstHandle*/) {}
    // Where editors' resize requests go; one receiver, the window layer.
    // Both setters take their routine by value: a host keeps it (moved).
    // NOLINTNEXTLINE(performance-unnecessary-value-param)
    virtual void SetVSTEditorResize(TVSTEditorResize /*AHandler*/) {}

    // Frees the VST parameters window of AItem, if it has one. The windows
    // belong to the window layer, which installs the routine that frees
    // them; a host without one frees nothing.
    virtual void FreeVSTWindow(TDSPItemC & /*AItem*/) {}
    // NOLINTNEXTLINE(performance-unnecessary-value-param)
    virtual void SetVSTWindowFreer(std::function<void(TDSPItemC &AItem)> /*AFreer*/) {}

    // --- Winamp DSP plug-ins ------------------------------------------------
    // Builds the list of Winamp DSP plug-ins when it is allowed and absent.
    virtual void LoadWinampPlugins() {}
    // The list, empty while it is absent.
    virtual std::vector<TPluginItem> WinampPlugins() const { return {}; }

    virtual bool BASS_WADSP_Start(quint32 /*APlugin*/, quint32 /*AModule*/, quint32 /*AHwnd*/) {
        return false;
    }
    virtual bool BASS_WADSP_Stop(quint32 /*APlugin*/) { return false; }
    virtual bool BASS_WADSP_ChannelSetDSP(quint32 /*APlugin*/, quint32 /*AChannel*/,
                                          qint32 /*APriority*/) {
        return false;
    }
    virtual bool BASS_WADSP_ChannelRemoveDSP(quint32 /*APlugin*/) { return false; }
};

// The installed host; a host with nothing loaded until one is installed.
TPluginHost &PluginHost();

// Installs AHost (not owned; it must outlive its use) and returns the one it
// replaces. nullptr brings back the host with nothing loaded.
TPluginHost *SetPluginHost(TPluginHost *AHost);
