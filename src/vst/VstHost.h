#pragma once
// The plug-in host of this program on Linux: VST 2 effects loaded into the
// process (TVstEffect) and attached to channels of our audio engine as
// sample callbacks. The scan of plug-in files runs in a helper program
// instead, so a plug-in that crashes or hangs while being listed takes only
// that helper with it; the "bridge" the chain engine asks for is that helper.
//
// Handles count from 1 and are never given twice in one process, so a stale
// handle kept by a chain entry can never reach another entry's effect.
//
// Threads: everything on the main thread (the chain engine's thread) but the
// sample callback, which runs on the thread that pulls the channel's audio and
// neither allocates, locks nor calls the system. Editors may ask for another
// size from any thread; the request is handed to the main thread.
//
// Winamp DSP plug-ins have no host on Linux: those calls answer as the base
// class does.

#include "chain/PluginHost.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>

class TVstHost final : public TPluginHost {
public:
    // The largest block handed to an effect; longer callback buffers are
    // processed in pieces of this size.
    static constexpr int MaxBlockFrames = 1024;
    // The rate of an effect attached to no channel.
    static constexpr double NoChannelRate = 48000;

    // AScannerPath: the scanning helper program (vocarra-vstscan next to the
    // program).
    explicit TVstHost(QString AScannerPath);
    // Detaches and frees every effect still attached.
    ~TVstHost() override;
    TVstHost(const TVstHost &) = delete;
    TVstHost &operator=(const TVstHost &) = delete;

    const QString &ScannerPath() const { return FScannerPath; }

    // True when the scanning helper exists and may be run.
    bool LoadVSTBridge() override;
    bool VSTBridgeLoaded() const override { return FBridgeLoaded; }

    // Loads AFile (the path as given; AFlags are not needed here, every path
    // is text) and attaches it to AChannel with APriority. AChannel 0 gives
    // an effect that processes no audio. Returns 0 when the file does not
    // exist, has no VST entry or gives no effect; throws std::runtime_error
    // with the reason when the library does not load or gives something that
    // is not an effect.
    quint32 BASS_VST_ChannelSetDSP(quint32 AChannel, const QString &AFile, quint32 AFlags,
                                   qint32 APriority) override;
    // Detaches the effect from AChannel (its own channel, 0 for none), closes
    // its editor and frees it. When this returns the audio thread no longer
    // runs the effect.
    bool BASS_VST_ChannelRemoveDSP(quint32 AChannel, quint32 AVstHandle) override;
    bool BASS_VST_GetInfo(quint32 AVstHandle, BASS_VST_INFO *AInfo) override;
    qint32 BASS_VST_GetParamCount(quint32 AVstHandle) override;
    float BASS_VST_GetParam(quint32 AVstHandle, qint32 AIndex) override;
    bool BASS_VST_SetParam(quint32 AVstHandle, qint32 AIndex, float AValue) override;
    bool BASS_VST_GetParamInfo(quint32 AVstHandle, qint32 AIndex,
                               BASS_VST_PARAM_INFO *AInfo) override;
    bool BASS_VST_EmbedEditor(quint32 AVstHandle, quintptr AParentWindow) override;
    void VSTEditorIdle(quint32 AVstHandle) override;
    void SetVSTEditorResize(TVSTEditorResize AHandler) override;

    void FreeVSTWindow(TDSPItemC &AItem) override;
    void SetVSTWindowFreer(std::function<void(TDSPItemC &AItem)> AFreer) override;

    // How many effect instances run behind AVstHandle: one per group of
    // channels the plug-in can take (0 for an unknown handle).
    int InstanceCount(quint32 AVstHandle) const;
    // The channel AVstHandle is attached to (0: none or unknown).
    quint32 ChannelOf(quint32 AVstHandle) const;

private:
    struct TInstance;

    TInstance *Find(quint32 AVstHandle) const;
    static void Free(std::unique_ptr<TInstance> AInstance);

    QString FScannerPath;
    bool FBridgeLoaded = false;
    std::map<quint32, std::unique_ptr<TInstance>> FInstances;
    // Shared with requests posted to the main thread, which may run after
    // this host is gone.
    std::shared_ptr<TVSTEditorResize> FResize = std::make_shared<TVSTEditorResize>();
    std::function<void(TDSPItemC &AItem)> FWindowFreer;
};

// The host a program runs with: installed as the process's plug-in host for
// as long as this lives. Declared before anything that owns a chain, so that
// the chains stop before the host goes.
class TInstalledVstHost {
public:
    explicit TInstalledVstHost(const QString &AScannerPath)
        : FHost(AScannerPath), FPrevious(SetPluginHost(&FHost)) {}
    ~TInstalledVstHost() { SetPluginHost(FPrevious); }
    TInstalledVstHost(const TInstalledVstHost &) = delete;
    TInstalledVstHost &operator=(const TInstalledVstHost &) = delete;
    TVstHost &Host() { return FHost; }

private:
    TVstHost FHost;
    TPluginHost *FPrevious;
};
