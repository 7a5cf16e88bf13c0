#pragma once
// The compressor editor (five labelled sliders, its static transfer curve,
// "Reset", "Preset" and "OK") and the gain editor (one slider and "OK").

#include "dspwindows/DSPEditorBase.h"

#include <vector>

class TCompressorCurveView;

class TCompressorDSPFrm : public TPresetEditorFrm {
    Q_OBJECT
public:
    TCompressorDSPFrm(TDSPItemC &AItem, QWidget *AMainWindow);

    TLBar *cpGain = nullptr;
    TLBar *cpThres = nullptr;
    TLBar *cpRatio = nullptr;
    TLBar *cpAttack = nullptr;
    TLBar *cpRelease = nullptr;
    TCompressorCurveView *pbCurve = nullptr;
    QPushButton *btReset = nullptr;

    // Reset values: gain 4 dB, threshold -16 dB, ratio 5, attack 10 ms,
    // release 200 ms.
    void btResetClick();
    void SliderChange();
    void LoadPreset(const QString &AFileName) override;

protected:
    void FormShow() override;
    void CaptionsChanged() override;
    const TPresetKind &PresetKind() const override;
    std::optional<QByteArray> PresetBlock() const override;
    QString SaveErrorPrefix() const override;

private:
    void UpdateCurve();

    std::vector<TLBarRow *> FRows;
};

class TGainDSPFrm : public TIntDSPEditorFrm {
    Q_OBJECT
public:
    TGainDSPFrm(TDSPItemC &AItem, QWidget *AMainWindow);

    TLBar *cpGain = nullptr;

    void SliderChange();

protected:
    void FormShow() override;
    void CaptionsChanged() override;

private:
    TLBarRow *FRow = nullptr;
};
