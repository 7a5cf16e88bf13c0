#pragma once
// The plug-in list dialog ("DSP"): the catalogue of processors a chain may
// add, the switches for Winamp DSP and VST plug-ins, the plug-in folders
// dialog, and the processor chosen with OK. The chain editor creates it
// without owner, shows it modally, reads SelectedDSP after OK and frees it.
//
// Threads: main thread only.

#include "dsp/DSPItems.h"

#include <QDialog>
#include <memory>

class TDSPListFrm : public QDialog {
    Q_OBJECT

public:
    // AMainWindow: the window the dialog is centred on (may be nullptr).
    explicit TDSPListFrm(QWidget *AMainWindow = nullptr);
    ~TDSPListFrm() override;

    // The catalogue entry chosen with OK, or nullptr; it belongs to the
    // dialog's catalogue and is valid until the dialog is freed.
    const TDSPItemC *SelectedDSP() const { return FSelectedDSP; }

private:
    std::unique_ptr<TDSPItemsC> L;
    const TDSPItemC *FSelectedDSP = nullptr;
};
