#pragma once
// Test support for the chain engine: a scripted plug-in host that records
// every call, a constant-signal channel of the audio engine, and a fixture
// that gives each test fresh system settings and restores the process-wide
// host and message box afterwards.

#include "audio/AudioEngine.h"
#include "chain/DSPManager.h"
#include "chain/PluginHost.h"
#include "core/MessageBox.h"
#include "station/SystemIni.h"
#include "support/QStringPrinter.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <ostream>
#include <stdexcept>
#include <vector>

// A plug-in host whose answers the test sets up and whose calls it reads
// back from Log, one line per call.
class TScriptedHost : public TPluginHost {
public:
    QStringList Log;

    bool BridgeLoaded = false;
    bool BridgeLoads = true;                         // what LoadVSTBridge achieves
    quint32 NextVSTHandle = 100;                     // handed out by ChannelSetDSP, then counted up
    QString AttachFault;                             // non-empty: ChannelSetDSP throws this text
    std::map<quint32, std::vector<float>> VSTParams; // per attached effect
    std::vector<float> NewEffectParams;              // what a freshly attached effect holds
    std::vector<TPluginItem> Winamp;

    bool LoadVSTBridge() override {
        Log << QStringLiteral("LoadVSTBridge");
        BridgeLoaded = BridgeLoads;
        return BridgeLoaded;
    }
    bool VSTBridgeLoaded() const override { return BridgeLoaded; }

    quint32 BASS_VST_ChannelSetDSP(quint32 AChannel, const QString &AFile, quint32 AFlags,
                                   qint32 APriority) override {
        Log << QStringLiteral("VST_ChannelSetDSP %1 %2 %3 %4")
                   .arg(AChannel)
                   .arg(AFile)
                   .arg(AFlags, 0, 16)
                   .arg(APriority);
        if (!AttachFault.isEmpty())
            throw std::runtime_error(AttachFault.toStdString());
        const quint32 handle = NextVSTHandle;
        if (handle != 0) {
            ++NextVSTHandle;
            VSTParams[handle] = NewEffectParams;
        }
        return handle;
    }
    bool BASS_VST_ChannelRemoveDSP(quint32 AChannel, quint32 AVstHandle) override {
        Log << QStringLiteral("VST_ChannelRemoveDSP %1 %2").arg(AChannel).arg(AVstHandle);
        // A removed effect is gone: its handle answers nothing any more.
        return VSTParams.erase(AVstHandle) > 0;
    }
    bool BASS_VST_GetInfo(quint32 AVstHandle, BASS_VST_INFO *) override {
        Log << QStringLiteral("VST_GetInfo %1").arg(AVstHandle);
        return VSTParams.count(AVstHandle) > 0;
    }
    qint32 BASS_VST_GetParamCount(quint32 AVstHandle) override {
        const auto found = VSTParams.find(AVstHandle);
        return found == VSTParams.end() ? 0 : qint32(found->second.size());
    }
    float BASS_VST_GetParam(quint32 AVstHandle, qint32 AIndex) override {
        return VSTParams.at(AVstHandle).at(size_t(AIndex));
    }
    bool BASS_VST_SetParam(quint32 AVstHandle, qint32 AIndex, float AValue) override {
        Log << QStringLiteral("VST_SetParam %1 %2 %3").arg(AVstHandle).arg(AIndex).arg(AValue);
        VSTParams.at(AVstHandle).at(size_t(AIndex)) = AValue;
        return true;
    }
    void FreeVSTWindow(TDSPItemC &AItem) override {
        Log << QStringLiteral("FreeVSTWindow %1").arg(AItem.DispName);
    }

    void LoadWinampPlugins() override { Log << QStringLiteral("LoadWinampPlugins"); }
    std::vector<TPluginItem> WinampPlugins() const override { return Winamp; }
    bool BASS_WADSP_Start(quint32 APlugin, quint32 AModule, quint32 AHwnd) override {
        Log << QStringLiteral("WADSP_Start %1 %2 %3").arg(APlugin).arg(AModule).arg(AHwnd);
        return APlugin != 0;
    }
    bool BASS_WADSP_Stop(quint32 APlugin) override {
        Log << QStringLiteral("WADSP_Stop %1").arg(APlugin);
        return APlugin != 0;
    }
    bool BASS_WADSP_ChannelSetDSP(quint32 APlugin, quint32 AChannel, qint32 APriority) override {
        Log << QStringLiteral("WADSP_ChannelSetDSP %1 %2 %3")
                   .arg(APlugin)
                   .arg(AChannel)
                   .arg(APriority);
        return APlugin != 0;
    }
    bool BASS_WADSP_ChannelRemoveDSP(quint32 APlugin) override {
        Log << QStringLiteral("WADSP_ChannelRemoveDSP %1").arg(APlugin);
        return APlugin != 0;
    }
};

// A message box as the presenter received it.
struct TShownBox {
    QString Text;
    QString Caption;
    int Flags = 0;
};

class TChainFixture : public ::testing::Test {
protected:
    void SetUp() override {
        FPreviousHost = SetPluginHost(&Host);
        SetMessageBoxPresenter([this](const QString &AText, const QString &ACaption, int AFlags) {
            Boxes.push_back({AText, ACaption, AFlags});
            return 0;
        });
    }
    void TearDown() override {
        SetMessageBoxPresenter(nullptr);
        SetPluginHost(FPreviousHost);
    }

    // Appends an entry to Chain.
    TDSPItemC &AddWinamp(const QString &AFile, quint32 AHandle, TPluginState AState) {
        TDSPItemC &item = Chain.Add();
        item.T = dspPlugin;
        item.PluginType = ptDSP;
        item.PluginPath = AFile;
        item.DispName = AFile;
        item.H = AHandle;
        item.State = AState;
        return item;
    }
    TDSPItemC &AddVST(const QString &APath, TPluginState AState, const QStringList &AParams = {}) {
        TDSPItemC &item = Chain.Add();
        item.T = dspPlugin;
        item.PluginType = ptVST;
        item.PluginPath = APath;
        item.DispName = APath;
        item.State = AState;
        item.Params = AParams;
        return item;
    }
    TDSPItemC &AddBuiltIn(TIntDSPKind AKind, TPluginState AState, const QStringList &AParams = {}) {
        TDSPItemC &item = Chain.Add();
        item.T = dspIntegrated;
        item.IntDSPKind = AKind;
        item.State = AState;
        item.Params = AParams;
        return item;
    }

    TScriptedHost Host;
    // The settings the chain reads, at their creation values in every test.
    TSystemIniBase Settings;
    TDSPItemsC Chain;
    std::vector<TShownBox> Boxes;

private:
    TPluginHost *FPreviousHost = nullptr;
};

// A channel of the audio engine whose every sample is FValue, for ever.
class TConstantChannel {
public:
    explicit TConstantChannel(float AValue, quint32 AChannels = 2)
        : FValue(AValue), FChannels(AChannels),
          FHandle(BASS_StreamCreate(48000, AChannels, &Proc, this)) {}
    ~TConstantChannel() { BASS_StreamFree(FHandle); }
    TConstantChannel(const TConstantChannel &) = delete;
    TConstantChannel &operator=(const TConstantChannel &) = delete;

    HSTREAM Handle() const { return FHandle; }

    // The last sample of a freshly pulled buffer of AFrames frames.
    float Pull(quint32 AFrames = 256) {
        std::vector<float> buffer(size_t(AFrames) * FChannels);
        BASS_ChannelGetData(FHandle, buffer.data(), quint32(buffer.size() * sizeof(float)));
        return buffer.back();
    }

private:
    static quint32 Proc(HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
        auto *samples = static_cast<float *>(ABuffer);
        for (quint32 i = 0; i < ALength / sizeof(float); ++i)
            samples[i] = static_cast<const TConstantChannel *>(AUser)->FValue;
        return ALength;
    }

    float FValue;
    quint32 FChannels;
    HSTREAM FHandle;
};
