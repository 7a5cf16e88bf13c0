#pragma once
// The curves the effect editors draw: the equaliser's frequency response and
// the compressor's static transfer curve. Both are computed by the audio
// engine's own functions from the records the effect objects hand to it
// (audio/PeakEq.h, audio/Compressor.h), so the drawing shows what is heard.

#include "audio/AudioEngine.h"
#include "audio/Compressor.h"

#include <QWidget>
#include <vector>

// Gain over frequency, 20 Hz to 20 kHz on a logarithmic axis.
class TEqCurveView : public QWidget {
    Q_OBJECT
public:
    explicit TEqCurveView(QWidget *AParent = nullptr);

    // The bands as the engine runs them at ARate; ARangeDb: the vertical
    // axis spans at least -ARangeDb .. +ARangeDb.
    void SetBands(double ARate, std::vector<BASS_BFX_PEAKEQ> ABands, int ARangeDb);
    // The drawn curve's value at AFreq Hz.
    double ResponseDbAt(double AFreq) const;
    double Rate() const { return FRate; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *AEvent) override;

private:
    double FRate = 48000;
    std::vector<BASS_BFX_PEAKEQ> FBands;
    int FRangeDb = 10;
};

// Output level over input level, -60 to 0 dB, with the threshold marked.
class TCompressorCurveView : public QWidget {
    Q_OBJECT
public:
    explicit TCompressorCurveView(QWidget *AParent = nullptr);

    void SetSetup(const TCompressorSetup &ASetup);
    // The drawn curve's value for a steady input of AInputDb.
    double OutputDbAt(double AInputDb) const;
    double ThresholdDb() const { return FSetup.FThresholdDb; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *AEvent) override;

private:
    TCompressorSetup FSetup;
};
