#include "dspwindows/EqDSPForm.h"

#include "chain/DSPManager.h"
#include "controls/LxTrackBar.h"
#include "controls/WindowHelpers.h"
#include "dsp/EffectPresets.h"
#include "dspwindows/DSPEqBandsForm.h"
#include "dspwindows/EffectCurves.h"
#include "station/SystemIni.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// What the curve is drawn for when the entry runs on no channel.
constexpr double KDefaultRate = 48000;

QString GainCaption(int AGain) {
    if (AGain > 0)
        return u"+"_s + QString::number(AGain);
    return QString::number(AGain); // "-3", and "0" without sign
}

// A gain far beyond any slider's range, so that negating it cannot overflow;
// the slider then moves it to its end.
int Bounded(qint32 AGain) {
    return std::clamp<qint32>(AGain, -1000, 1000);
}

} // namespace

TEqDSPFrm::TEqDSPFrm(TDSPItemC &AItem, QWidget *AMainWindow)
    : TPresetEditorFrm(AItem, u"Equalizer"_s, u"EqDSP.Captions"_s, AMainWindow) {
    setObjectName(u"EqDSPFrm"_s);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(0);
    for (int i = 0; i < KBands; ++i) {
        leq[i] = new QLabel(u"0"_s, this);
        leq[i]->setObjectName(u"leq%1"_s.arg(i));
        leq[i]->setAlignment(Qt::AlignCenter);
        TrackBar[i] = new TLxTrackBar(Qt::Vertical, this);
        TrackBar[i]->setObjectName(u"TrackBar%1"_s.arg(i));
        TrackBar[i]->setPageStep(1);
        TrackBar[i]->setTickPosition(QSlider::NoTicks);
        TrackBar[i]->setMinimumHeight(ScaleValue(120));
        TLxTrackBar *bar = TrackBar[i];
        TrackBar[i]->SetOnGetAccessibleValue(
            [bar](TLxTrackBar *, QString &AValue) { AValue = QString::number(-bar->value()); });
        l_eq[i] = new QLabel(u"---"_s, this);
        l_eq[i]->setObjectName(u"l_eq%1"_s.arg(i));
        l_eq[i]->setAlignment(Qt::AlignCenter);
        grid->addWidget(leq[i], 0, i);
        grid->addWidget(TrackBar[i], 1, i, Qt::AlignHCenter);
        grid->addWidget(l_eq[i], 2, i);
        grid->setColumnMinimumWidth(i, ScaleValue(26));
        connect(TrackBar[i], &QSlider::valueChanged, this, [this, i] { TrackBarChange(i); });
    }
    Content->addLayout(grid);
    pbCurve = new TEqCurveView(this);
    pbCurve->setObjectName(u"pbCurve"_s);
    Content->addWidget(pbCurve);

    btReset = new QPushButton(u"Reset"_s, this);
    btReset->setObjectName(u"btReset"_s);
    btBands = new QPushButton(u"Bands"_s, this);
    btBands->setObjectName(u"btBands"_s);
    Buttons->addWidget(btReset);
    Buttons->addWidget(btPreset);
    Buttons->addWidget(btBands);
    FinishButtons();
    connect(btReset, &QPushButton::clicked, this, &TEqDSPFrm::btResetClick);
    connect(btBands, &QPushButton::clicked, this, &TEqDSPFrm::btBandsClick);
}

QString TEqDSPFrm::BandCaption(int AFrequency) {
    if (AFrequency < 1000)
        return QString::number(AFrequency);
    return QString::number(AFrequency / 1000) + u'K';
}

int TEqDSPFrm::BandsInUse() const {
    return std::clamp(Settings().BandsNum, 0, KBands);
}

int TEqDSPFrm::Gain(int AIndex) const {
    // -0 is 0.
    return 0 - TrackBar[size_t(AIndex)]->value();
}

void TEqDSPFrm::LayoutBands() {
    const TSystemIniBase &settings = Settings();
    const int bands = BandsInUse();
    const int known = EqBandCount(settings);
    for (int i = 0; i < std::min(bands, known); ++i)
        l_eq[i]->setText(BandCaption(settings.EQBands.Items(i).CenterFreq));
    const int range = std::max(settings.EQRange, 0);
    for (int i = 0; i < KBands; ++i) {
        const bool shown = i < bands;
        leq[i]->setVisible(shown);
        l_eq[i]->setVisible(shown);
        TrackBar[i]->setVisible(shown);
        // A position outside the new range moves to its end: a change.
        TrackBar[i]->setRange(-range, range);
        TrackBar[i]->SetAccessibleName(l_eq[i]->text() + u" hertz"_s);
    }
    UpdateCurve();
}

void TEqDSPFrm::FormShow() {
    LayoutBands();
    const int bands = BandsInUse();
    for (int i = 0; i < bands && i < D->Params.size(); ++i)
        TrackBar[i]->setValue(-Bounded(ParamWholeNumber(D->Params.at(i))));
    leq[0]->setText(GainCaption(Gain(0)));
    InitFinished = true;
    CreatePresetManager();
    UpdateCurve();
}

void TEqDSPFrm::TrackBarChange(int AIndex) {
    leq[AIndex]->setText(GainCaption(Gain(AIndex)));
    if (InitFinished) {
        D->Params.clear();
        for (int i = 0; i < BandsInUse(); ++i)
            D->Params << QString::number(Gain(i));
        UpdateDSP();
    }
    UpdateCurve();
}

void TEqDSPFrm::UpdateCurve() {
    const TSystemIniBase &settings = Settings();
    double rate = KDefaultRate;
    if (const TIntegratedDSP *effect = FindIntDsp(*D)) {
        BASS_CHANNELINFO info;
        if (BASS_ChannelGetInfo(effect->Chan, info) && info.freq > 0)
            rate = info.freq;
    }
    std::vector<BASS_BFX_PEAKEQ> bands;
    const int count = std::min(BandsInUse(), EqBandCount(settings));
    bands.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        bands.push_back(EqBandRecord(settings, i, float(Gain(i))));
    pbCurve->SetBands(rate, std::move(bands), settings.EQRange);
}

void TEqDSPFrm::btResetClick() {
    for (int i = 0; i < BandsInUse(); ++i)
        TrackBar[i]->setValue(0);
    UpdateDSP();
}

void TEqDSPFrm::btBandsClick() {
    TDSPEqBandsFrm dialog(Settings(), this);
    if (dialog.exec() == QDialog::Accepted)
        LayoutBands();
}

void TEqDSPFrm::LoadPreset(const QString &AFileName) {
    const QString name = PresetNameOfFile(AFileName);
    const std::optional<QByteArray> block =
        ReadPresetBlock(PresetKind(), PresetFolder() + name + u'.' + PresetKind().Extension);
    // A file gone since the menu was filled holds no values to show.
    if (!block)
        return;
    const TEqPreset gains = EqPresetFromBlock(*block);
    for (int i = 0; i < BandsInUse(); ++i)
        TrackBar[i]->setValue(-Bounded(gains[size_t(i)]));
    D->PresetName = name;
}

const TPresetKind &TEqDSPFrm::PresetKind() const {
    return EqPresetKind();
}

std::optional<QByteArray> TEqDSPFrm::PresetBlock() const {
    const std::optional<TEqPreset> gains = EqPresetFromParams(D->Params);
    if (!gains)
        return std::nullopt;
    return EqPresetToBlock(*gains);
}

QString TEqDSPFrm::SaveErrorPrefix() const {
    return u"An error occurred: "_s;
}
