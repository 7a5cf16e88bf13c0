#pragma once
// The equaliser band dialog: how many bands are in use, the sliders' range,
// the common bandwidth and each band's centre frequency. OK writes them into
// the system settings in memory (they reach system.ini when those are
// saved); running equalisers keep their bands until their entry starts again.

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;
class QSpinBox;
class TSpinFloatEdit;
class TSystemIniBase;

class TDSPEqBandsFrm : public QDialog {
    Q_OBJECT
public:
    static constexpr int KBands = 12;

    // ASettings: not owned, outlives the dialog.
    TDSPEqBandsFrm(TSystemIniBase &ASettings, QWidget *AParent = nullptr);

    QSpinBox *uBandsNum = nullptr;
    QSpinBox *uRange = nullptr;
    TSpinFloatEdit *uBandwidth = nullptr;
    std::array<QSpinBox *, KBands> uBand{};
    QPushButton *btOk = nullptr;
    QPushButton *btCancel = nullptr;

    // Enables the frequency of the bands below the band count.
    void EnableBands();
    void btOkClick();

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    TSystemIniBase &FSettings;
};
