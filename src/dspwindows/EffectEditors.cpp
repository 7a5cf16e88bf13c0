#include "dspwindows/EffectEditors.h"

#include "dspwindows/CompressorDSPForm.h"
#include "dspwindows/EqDSPForm.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <array>

namespace {

// The open window of each kind. QPointer: a window the user closed has freed
// itself and clears its place.
std::array<QPointer<TIntDSPEditorFrm>, 3> &Windows() {
    static std::array<QPointer<TIntDSPEditorFrm>, 3> Open;
    return Open;
}

bool KnownKind(TIntDSPKind AKind) {
    return AKind == dspEqualizer || AKind == dspCompressor || AKind == dspGain;
}

template <class TForm> TForm *Open(TIntDSPKind AKind, TDSPItemC &AItem, QWidget *AMainWindow) {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    CloseIntegratedEditor(AKind);
    auto *window = new TForm(AItem, AMainWindow);
    Windows()[size_t(AKind)] = window;
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace

TIntDSPEditorFrm *IntegratedEditor(TIntDSPKind AKind) {
    return KnownKind(AKind) ? Windows()[size_t(AKind)].data() : nullptr;
}

void CloseIntegratedEditor(TIntDSPKind AKind) {
    if (!KnownKind(AKind))
        return;
    QPointer<TIntDSPEditorFrm> &slot = Windows()[size_t(AKind)];
    TIntDSPEditorFrm *window = slot.data();
    slot.clear();
    if (window == nullptr)
        return;
    // Freed now, not later: the caller may be about to delete the entry.
    window->D = nullptr;
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->close();
    delete window;
}

TEqDSPFrm *OpenEqEditor(TDSPItemC &AItem, QWidget *AMainWindow) {
    return Open<TEqDSPFrm>(dspEqualizer, AItem, AMainWindow);
}

TCompressorDSPFrm *OpenCompressorEditor(TDSPItemC &AItem, QWidget *AMainWindow) {
    return Open<TCompressorDSPFrm>(dspCompressor, AItem, AMainWindow);
}

TGainDSPFrm *OpenGainEditor(TDSPItemC &AItem, QWidget *AMainWindow) {
    return Open<TGainDSPFrm>(dspGain, AItem, AMainWindow);
}

void CloseEqEditor() {
    CloseIntegratedEditor(dspEqualizer);
}

void CloseCompressorEditor() {
    CloseIntegratedEditor(dspCompressor);
}

void CloseGainEditor() {
    CloseIntegratedEditor(dspGain);
}

TIntDSPEditorFrm *OpenIntegratedEditor(TDSPItemC &AItem, QWidget *AMainWindow) {
    if (AItem.T != dspIntegrated)
        return nullptr;
    switch (AItem.IntDSPKind) {
    case dspEqualizer:
        return OpenEqEditor(AItem, AMainWindow);
    case dspCompressor:
        return OpenCompressorEditor(AItem, AMainWindow);
    case dspGain:
        return OpenGainEditor(AItem, AMainWindow);
    }
    return nullptr;
}
