#include "dspwindows/DSPEqBandsForm.h"

#include "controls/FloatEdit.h"
#include "dspwindows/WindowTranslation.h"
#include "station/SystemIni.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QSpinBox *NumberEdit(QWidget *AParent, const QString &AName, int AMin, int AMax) {
    auto *edit = new QSpinBox(AParent);
    edit->setObjectName(AName);
    edit->setRange(AMin, AMax);
    return edit;
}

// A label that names its edit for screen readers too.
QLabel *Caption(QWidget *AParent, const QString &AName, const QString &AText, QWidget *AEdit) {
    auto *label = new QLabel(AText, AParent);
    label->setObjectName(AName);
    label->setBuddy(AEdit);
    AEdit->setAccessibleName(AText);
    return label;
}

} // namespace

TDSPEqBandsFrm::TDSPEqBandsFrm(TSystemIniBase &ASettings, QWidget *AParent)
    : QDialog(AParent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FSettings(ASettings) {
    setObjectName(u"DSPEqBandsFrm"_s);
    setWindowTitle(u"EQ Bands"_s);
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto *top = new QGridLayout;
    uBandsNum = NumberEdit(this, u"uBandsNum"_s, 0, KBands);
    uRange = NumberEdit(this, u"uRange"_s, 0, 20);
    uBandwidth = new TSpinFloatEdit(this);
    uBandwidth->setObjectName(u"uBandwidth"_s);
    uBandwidth->SetDigits(1);
    uBandwidth->SetMax(6.0);
    uBandwidth->SetMin(0.1);
    uBandwidth->SetIncrement(0.1);
    top->addWidget(Caption(this, u"lBandsNum"_s, u"Bands (0-12):"_s, uBandsNum), 0, 0);
    top->addWidget(uBandsNum, 0, 1);
    top->addWidget(Caption(this, u"lRange"_s, u"Range (dB)"_s, uRange), 1, 0);
    top->addWidget(uRange, 1, 1);
    top->addWidget(Caption(this, u"lBandwidth"_s, u"Bandwidth (0.1-6):"_s, uBandwidth), 2, 0);
    top->addWidget(uBandwidth, 2, 1);
    auto *octaves = new QLabel(u"octaves"_s, this);
    octaves->setObjectName(u"lOctaves"_s);
    top->addWidget(octaves, 2, 2);
    uBandwidth->setAccessibleName(u"Bandwidth (0.1-6): octaves"_s);
    layout->addLayout(top);

    auto *bands = new QGroupBox(u"Center frequency (1-25000Hz)"_s, this);
    bands->setObjectName(u"gbBands"_s);
    auto *grid = new QGridLayout(bands);
    for (int i = 0; i < KBands; ++i) {
        uBand[i] = NumberEdit(bands, u"uBand%1"_s.arg(i), 1, 25000);
        QLabel *label = Caption(bands, u"lBand%1"_s.arg(i), u"Band %1:"_s.arg(i + 1), uBand[i]);
        // Two columns of six.
        const int row = i % 6, column = (i / 6) * 2;
        grid->addWidget(label, row, column);
        grid->addWidget(uBand[i], row, column + 1);
    }
    layout->addWidget(bands);

    auto *box = new QDialogButtonBox(this);
    btOk = box->addButton(u"OK"_s, QDialogButtonBox::AcceptRole);
    btOk->setObjectName(u"btOk"_s);
    btOk->setDefault(true);
    btCancel = box->addButton(u"Cancel"_s, QDialogButtonBox::RejectRole);
    btCancel->setObjectName(u"btCancel"_s);
    layout->addWidget(box);
    connect(btOk, &QPushButton::clicked, this, &TDSPEqBandsFrm::btOkClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(uBandsNum, &QSpinBox::valueChanged, this, &TDSPEqBandsFrm::EnableBands);
    connect(uRange, &QSpinBox::valueChanged, this, &TDSPEqBandsFrm::EnableBands);

    uBandsNum->setValue(std::clamp(FSettings.BandsNum, 0, KBands));
    uRange->setValue(std::clamp(FSettings.EQRange, 0, 20));
    uBandwidth->SetValue(FSettings.Bandwidth);
    for (int i = 0; i < KBands; ++i)
        uBand[i]->setValue(i < FSettings.EQBands.Count() ? FSettings.EQBands.Items(i).CenterFreq
                                                         : 1);
    EnableBands();
}

void TDSPEqBandsFrm::showEvent(QShowEvent *AEvent) {
    TranslateWindowCaptions(this, u"DSPEqBands.Captions"_s);
    QDialog::showEvent(AEvent);
}

void TDSPEqBandsFrm::EnableBands() {
    for (int i = 0; i < KBands; ++i)
        uBand[i]->setEnabled(i < uBandsNum->value());
}

void TDSPEqBandsFrm::btOkClick() {
    FSettings.BandsNum = uBandsNum->value();
    FSettings.Bandwidth = float(uBandwidth->Value());
    while (FSettings.EQBands.Count() < KBands)
        FSettings.EQBands.Add();
    for (int i = 0; i < KBands; ++i)
        FSettings.EQBands.Items(i).CenterFreq = uBand[i]->value();
    FSettings.EQRange = uRange->value();
    accept();
}
