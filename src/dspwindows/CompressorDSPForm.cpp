#include "dspwindows/CompressorDSPForm.h"

#include "chain/DSPManager.h"
#include "config/FloatText.h"
#include "controls/LBar.h"
#include "dsp/EffectPresets.h"
#include "dspwindows/EffectCurves.h"

#include <QFileInfo>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The rate the curve is worked out for; the static curve does not depend on
// it, only the ballistics do.
constexpr double KCurveRate = 48000;

struct TSliderSpec {
    const char16_t *Name;
    const char16_t *Caption;
    double Min;
    double Max;
    int Prec;
    const char16_t *Unit;
};

TLBar *AddSlider(QWidget *AOwner, QVBoxLayout *ALayout, std::vector<TLBarRow *> &ARows,
                 const TSliderSpec &ASpec) {
    auto *row = new TLBarRow(AOwner);
    TLBar *bar = row->Bar();
    bar->setObjectName(QString::fromUtf16(ASpec.Name));
    bar->SetPrec(ASpec.Prec);
    bar->SetMinValue(ASpec.Min);
    bar->SetMaxValue(ASpec.Max);
    bar->SetUnit(QString::fromUtf16(ASpec.Unit));
    bar->SetCaption(QString::fromUtf16(ASpec.Caption));
    bar->setTickPosition(QSlider::NoTicks);
    ALayout->addWidget(row);
    ARows.push_back(row);
    return bar;
}

QString ParamText(double AValue) {
    return FormatFloatGeneral(AValue, 15);
}

} // namespace

TCompressorDSPFrm::TCompressorDSPFrm(TDSPItemC &AItem, QWidget *AMainWindow)
    : TPresetEditorFrm(AItem, u"Compressor"_s, u"CompressorDSP.Captions"_s, AMainWindow) {
    setObjectName(u"CompressorDSPFrm"_s);
    cpGain = AddSlider(this, Content, FRows, {u"cpGain", u"Gain", -30, 30, 0, u"dB"});
    cpThres = AddSlider(this, Content, FRows, {u"cpThres", u"Threshold", -30, 0, 0, u"dB"});
    cpRatio = AddSlider(this, Content, FRows, {u"cpRatio", u"Ratio", 1, 20, 1, u""});
    cpAttack = AddSlider(this, Content, FRows, {u"cpAttack", u"Attack", 1, 1000, 0, u"ms"});
    cpRelease = AddSlider(this, Content, FRows, {u"cpRelease", u"Release", 1, 2000, 0, u"ms"});
    AlignLBarRows(FRows);
    for (TLBar *bar : {cpGain, cpThres, cpRatio, cpAttack, cpRelease})
        bar->OnValueChange = [this](TLBar *) { SliderChange(); };
    pbCurve = new TCompressorCurveView(this);
    pbCurve->setObjectName(u"pbCurve"_s);
    Content->addWidget(pbCurve);

    btReset = new QPushButton(u"Reset"_s, this);
    btReset->setObjectName(u"btReset"_s);
    Buttons->addWidget(btReset);
    Buttons->addWidget(btPreset);
    FinishButtons();
    connect(btReset, &QPushButton::clicked, this, &TCompressorDSPFrm::btResetClick);
    UpdateCurve();
}

void TCompressorDSPFrm::CaptionsChanged() {
    AlignLBarRows(FRows);
}

void TCompressorDSPFrm::FormShow() {
    if (D->Params.size() == 5) {
        cpGain->SetValue(ParamNumber(D->Params.at(0)));
        cpThres->SetValue(ParamNumber(D->Params.at(1)));
        cpRatio->SetValue(ParamNumber(D->Params.at(2)));
        cpAttack->SetValue(ParamNumber(D->Params.at(3)));
        cpRelease->SetValue(ParamNumber(D->Params.at(4)));
    } else {
        // InitFinished is still false: the entry keeps its Params.
        btResetClick();
    }
    InitFinished = true;
    CreatePresetManager();
    UpdateCurve();
}

void TCompressorDSPFrm::btResetClick() {
    cpGain->SetValue(4);
    cpThres->SetValue(-16);
    cpRatio->SetValue(5);
    cpAttack->SetValue(10);
    cpRelease->SetValue(200);
    UpdateDSP();
}

void TCompressorDSPFrm::SliderChange() {
    if (InitFinished) {
        D->Params.clear();
        for (const TLBar *bar : {cpGain, cpThres, cpRatio, cpAttack, cpRelease})
            D->Params << ParamText(bar->Value());
        UpdateDSP();
    }
    UpdateCurve();
}

void TCompressorDSPFrm::UpdateCurve() {
    if (pbCurve == nullptr)
        return;
    pbCurve->SetSetup(TCompressorSetup::Make(KCurveRate, cpGain->Value(), cpThres->Value(),
                                             cpRatio->Value(), cpAttack->Value(),
                                             cpRelease->Value(), ~quint64(0)));
}

void TCompressorDSPFrm::LoadPreset(const QString &AFileName) {
    // A file gone since the menu was filled is passed over.
    if (!QFileInfo(AFileName).isFile())
        return;
    const std::optional<QByteArray> block = ReadPresetBlock(PresetKind(), AFileName);
    if (!block)
        return;
    const TCompressorPreset values = CompressorPresetFromBlock(*block);
    cpGain->SetValue(values[0]);
    cpThres->SetValue(values[1]);
    cpRatio->SetValue(values[2]);
    cpAttack->SetValue(values[3]);
    cpRelease->SetValue(values[4]);
    D->PresetName = PresetNameOfFile(AFileName);
}

const TPresetKind &TCompressorDSPFrm::PresetKind() const {
    return CompressorPresetKind();
}

std::optional<QByteArray> TCompressorDSPFrm::PresetBlock() const {
    const std::optional<TCompressorPreset> values = CompressorPresetFromParams(D->Params);
    if (!values)
        return std::nullopt;
    return CompressorPresetToBlock(*values);
}

QString TCompressorDSPFrm::SaveErrorPrefix() const {
    return u"Unable to save preset: "_s;
}

// --- Gain --------------------------------------------------------------------------

TGainDSPFrm::TGainDSPFrm(TDSPItemC &AItem, QWidget *AMainWindow)
    : TIntDSPEditorFrm(AItem, u"Gain"_s, u"GainDSP.Captions"_s, AMainWindow) {
    setObjectName(u"GainDSPFrm"_s);
    std::vector<TLBarRow *> rows;
    cpGain = AddSlider(this, Content, rows, {u"cpGain", u"Gain", -30, 30, 0, u"dB"});
    FRow = rows.front();
    AlignLBarRows(rows);
    cpGain->OnValueChange = [this](TLBar *) { SliderChange(); };
    FinishButtons();
}

void TGainDSPFrm::CaptionsChanged() {
    AlignLBarRows({FRow});
}

void TGainDSPFrm::FormShow() {
    cpGain->SetValue(D->Params.size() == 1 ? ParamNumber(D->Params.at(0)) : 0.0);
    InitFinished = true;
}

void TGainDSPFrm::SliderChange() {
    if (!InitFinished)
        return;
    D->Params = QStringList{ParamText(cpGain->Value())};
    UpdateDSP();
}
