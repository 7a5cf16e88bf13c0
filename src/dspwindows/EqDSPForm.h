#pragma once
// The equaliser editor: one vertical gain slider per band in use, the gain
// above it and the centre frequency below, the response curve of the bands
// as they are set, and the buttons "Reset", "Preset", "Bands" and "OK".
//
// A vertical slider has its minimum at the top, so a slider's position is
// the band's gain negated; every slider spans -EQRange .. +EQRange dB.

#include "dspwindows/DSPEditorBase.h"

#include <QString>
#include <array>

class QLabel;
class TEqCurveView;
class TLxTrackBar;

class TEqDSPFrm : public TPresetEditorFrm {
    Q_OBJECT
public:
    static constexpr int KBands = 12;

    TEqDSPFrm(TDSPItemC &AItem, QWidget *AMainWindow);

    std::array<TLxTrackBar *, KBands> TrackBar{};
    std::array<QLabel *, KBands> leq{};  // gain
    std::array<QLabel *, KBands> l_eq{}; // centre frequency
    TEqCurveView *pbCurve = nullptr;
    QPushButton *btReset = nullptr;
    QPushButton *btBands = nullptr;

    // The gain band AIndex's slider shows, in dB.
    int Gain(int AIndex) const;

    // Shows the bands in use with their frequencies and the sliders' range.
    void LayoutBands();
    void TrackBarChange(int AIndex);
    void btResetClick();
    void btBandsClick();
    void LoadPreset(const QString &AFileName) override;

    // "1K" for 1000 to 1999 Hz, "440" below 1000.
    static QString BandCaption(int AFrequency);

protected:
    void FormShow() override;
    const TPresetKind &PresetKind() const override;
    std::optional<QByteArray> PresetBlock() const override;
    QString SaveErrorPrefix() const override;

private:
    // The bands the sliders cover: BandsNum, at most twelve.
    int BandsInUse() const;
    void UpdateCurve();
};
