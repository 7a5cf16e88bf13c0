#pragma once
// The plug-in list dialog ("DSP"): the catalogue of processors a chain may
// add, the switches for Winamp DSP and VST plug-ins, the plug-in folders
// dialog, and the processor chosen with OK. The chain editor creates it
// without owner, shows it modally, reads SelectedDSP after OK and frees it.
//
// Switching a kind off asks first (it stops that kind's plug-ins in every
// chain); switching it on never asks. Cancel does not undo a switch: the
// settings change in memory at once.
//
// Threads: main thread only.

#include "dsp/DSPItems.h"

#include <QDialog>
#include <memory>

class QPushButton;
class QTreeView;
class TDSPListModel;
class TLxConfirmCheckBox;

class TDSPListFrm : public QDialog {
    Q_OBJECT

public:
    // AMainWindow: the window the dialog is centred on (may be nullptr).
    explicit TDSPListFrm(QWidget *AMainWindow = nullptr);
    ~TDSPListFrm() override;

    // The catalogue entry chosen with OK, or nullptr; it belongs to the
    // dialog's catalogue and is valid until the dialog is freed.
    const TDSPItemC *SelectedDSP() const { return FSelectedDSP; }

    // The catalogue the list shows; nullptr before the dialog was shown.
    const TDSPItemsC *Catalogue() const { return L.get(); }

    QTreeView *ListView1 = nullptr;
    TLxConfirmCheckBox *Label45 = nullptr;
    TLxConfirmCheckBox *chVstplugins = nullptr;
    QPushButton *Button4 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

    // False until the dialog has been filled on show; the check boxes act
    // only once it is set.
    bool Init = false;

    // Builds the catalogue anew from the plug-in lists (brought in line with
    // the settings first; nothing is rescanned) and shows it.
    void Refresh();

    void Button1Click();
    void Button3Click();
    void Button4Click();
    void Label45Click();
    void chVstpluginsClick();

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    // Fits the minimum size to what the (translated) captions need.
    void FitMinimumSize();

    std::unique_ptr<TDSPItemsC> L;
    TDSPListModel *FModel = nullptr;
    const TDSPItemC *FSelectedDSP = nullptr;
    QWidget *FMainWindow = nullptr;
};
