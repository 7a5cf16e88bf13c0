#pragma once
// Test support for the plug-in parameters window: a scripted plug-in host
// that holds a few effects, records what the window asks of it, keeps the
// window layer's freer and resize receiver the way a real host does, and
// lets a test hook into the opening of an editor.

#include "chain/PluginHost.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// One parameter of a scripted effect. Its display text is the value mapped
// onto -12 .. +12 with one decimal when the unit is "dB", else the value as
// it stands.
struct TScriptedParam {
    QByteArray Name; // bytes as the plug-in sends them
    QByteArray Unit;
    float Value = 0;
    bool Readable = true;
};

struct TScriptedEffect {
    quint32 HasEditor = 1;
    quint32 EditorWidth = 0;
    quint32 EditorHeight = 0;
    std::vector<TScriptedParam> Params;
    std::optional<qint32> ReportedCount; // what GetParamCount says, if not the truth
};

class TVSTScriptedHost : public TPluginHost {
public:
    QStringList Log; // SetParam and EmbedEditor calls, one line each
    std::map<quint32, TScriptedEffect> Effects;
    int IdleCalls = 0;
    quint32 NextHandle = 7; // handed out by ChannelSetDSP
    TScriptedEffect NewEffect;
    // Runs inside EmbedEditor when a window is given; its answer is
    // EmbedEditor's.
    std::function<bool(quint32 AVstHandle, quintptr AParent)> OnOpenEditor;
    // Runs inside EmbedEditor(H, 0).
    std::function<void(quint32 AVstHandle)> OnCloseEditor;

    TVSTEditorResize Resize;
    std::function<void(TDSPItemC &AItem)> Freer;

    static QString Display(const TScriptedParam &AParam) {
        if (AParam.Unit == "dB")
            return QString::number(double(AParam.Value) * 24 - 12, 'f', 1);
        return QString::number(double(AParam.Value));
    }

    // The chain engine attaches and removes effects through these.
    bool VSTBridgeLoaded() const override { return true; }
    bool LoadVSTBridge() override { return true; }
    quint32 BASS_VST_ChannelSetDSP(quint32, const QString &, quint32, qint32) override {
        Effects[NextHandle] = NewEffect;
        return NextHandle++;
    }
    bool BASS_VST_ChannelRemoveDSP(quint32, quint32 AVstHandle) override {
        Log << QStringLiteral("ChannelRemoveDSP %1").arg(AVstHandle);
        return true;
    }

    bool BASS_VST_GetInfo(quint32 AVstHandle, BASS_VST_INFO *AInfo) override {
        const auto found = Effects.find(AVstHandle);
        if (found == Effects.end())
            return false;
        AInfo->hasEditor = found->second.HasEditor;
        AInfo->editorWidth = found->second.EditorWidth;
        AInfo->editorHeight = found->second.EditorHeight;
        return true;
    }
    qint32 BASS_VST_GetParamCount(quint32 AVstHandle) override {
        const TScriptedEffect *effect = Effect(AVstHandle);
        if (effect == nullptr)
            return 0;
        return effect->ReportedCount.value_or(qint32(effect->Params.size()));
    }
    float BASS_VST_GetParam(quint32 AVstHandle, qint32 AIndex) override {
        const TScriptedParam *param = Param(AVstHandle, AIndex);
        return param == nullptr ? 0 : param->Value;
    }
    bool BASS_VST_SetParam(quint32 AVstHandle, qint32 AIndex, float AValue) override {
        Log << QStringLiteral("SetParam %1 %2 %3")
                   .arg(AVstHandle)
                   .arg(AIndex)
                   .arg(double(AValue), 0, 'g', 6);
        TScriptedParam *param = Param(AVstHandle, AIndex);
        if (param == nullptr)
            return false;
        param->Value = AValue;
        return true;
    }
    bool BASS_VST_GetParamInfo(quint32 AVstHandle, qint32 AIndex,
                               BASS_VST_PARAM_INFO *AInfo) override {
        const TScriptedParam *param = Param(AVstHandle, AIndex);
        if (param == nullptr || !param->Readable)
            return false;
        // As the plug-in writes them: cut to the field, terminated only when
        // there is room.
        Copy(AInfo->name, param->Name);
        Copy(AInfo->unit, param->Unit);
        Copy(AInfo->display, Display(*param).toUtf8());
        return true;
    }
    bool BASS_VST_EmbedEditor(quint32 AVstHandle, quintptr AParentWindow) override {
        Log << QStringLiteral("EmbedEditor %1 %2")
                   .arg(AVstHandle)
                   .arg(AParentWindow == 0 ? QStringLiteral("0") : QStringLiteral("window"));
        if (AParentWindow == 0) {
            if (OnCloseEditor)
                OnCloseEditor(AVstHandle);
            return true;
        }
        return OnOpenEditor ? OnOpenEditor(AVstHandle, AParentWindow) : true;
    }
    void VSTEditorIdle(quint32) override { ++IdleCalls; }
    void SetVSTEditorResize(TVSTEditorResize AHandler) override { Resize = std::move(AHandler); }
    void FreeVSTWindow(TDSPItemC &AItem) override {
        if (Freer)
            Freer(AItem);
    }
    void SetVSTWindowFreer(std::function<void(TDSPItemC &AItem)> AFreer) override {
        Freer = std::move(AFreer);
    }

    // An effect with AParams parameters, named "P<index>" in dB, all at 0.5.
    TScriptedEffect &AddEffect(quint32 AVstHandle, int AParams = 0) {
        TScriptedEffect &effect = Effects[AVstHandle];
        for (int i = 0; i < AParams; ++i)
            effect.Params.push_back({QByteArray("P") + QByteArray::number(i), "dB", 0.5f});
        return effect;
    }

private:
    template <size_t N> static void Copy(char (&AField)[N], const QByteArray &AText) {
        std::memset(AField, 0, N);
        std::memcpy(AField, AText.constData(), std::min(N, size_t(AText.size())));
    }
    TScriptedEffect *Effect(quint32 AVstHandle) {
        const auto found = Effects.find(AVstHandle);
        return found == Effects.end() ? nullptr : &found->second;
    }
    TScriptedParam *Param(quint32 AVstHandle, qint32 AIndex) {
        TScriptedEffect *effect = Effect(AVstHandle);
        if (effect == nullptr || AIndex < 0 || size_t(AIndex) >= effect->Params.size())
            return nullptr;
        return &effect->Params[size_t(AIndex)];
    }
};
