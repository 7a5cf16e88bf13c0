#include "dspwindows/MicDSPForm.h"

#include "chain/DSPManager.h"
#include "controls/WindowHelpers.h"
#include "dspwindows/DSPManagerFrame.h"
#include "dspwindows/DialogPlacement.h"
#include "dspwindows/WindowTranslation.h"
#include "station/PlayerIni.h"
#include "station/SystemIni.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QPointer<TMicDSPFrm> &ProgramWindow() {
    static QPointer<TMicDSPFrm> Window;
    return Window;
}

} // namespace

TMicDSPFrm::TMicDSPFrm(QWidget *AMainWindow) : QDialog(nullptr), FMainWindow(AMainWindow) {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    setObjectName(u"MicDSPFrm"_s);
    setWindowTitle(u"DSP"_s);
    // Kept for the whole run: hiding it must not end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto *layout = new QVBoxLayout(this);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(u"Panel1"_s);
    auto *panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Button1 = new QPushButton(u"OK"_s, this);
    Button1->setObjectName(u"Button1"_s);
    Button1->setDefault(true);
    buttons->addWidget(Button1);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    DSPManager = std::make_unique<TDSPManager>(u"Mic"_s, SystemIni());
    DSPManager->DSPList = &PlayerIni().MicDSPList;
    DSPManagerFr = new TDSPManagerFr(Panel1);
    DSPManagerFr->setObjectName(u"MicDSPManagerFrame"_s);
    panelLayout->addWidget(DSPManagerFr);
    DSPManagerFr->show();
    DSPManagerFr->VSTUseTextUI = SystemIni().ScreenReaderMode && SystemIni().ScreenReaderVSTTextUI;
    DSPManagerFr->SetDSPManager(DSPManager.get());
    // The default size at 96 ppi; the layouts grow it for larger fonts.
    resize(QSize(ScaleValue(268), ScaleValue(250)).expandedTo(sizeHint()));
}

TMicDSPFrm::~TMicDSPFrm() {
    DSPManagerFr->SetDSPManager(nullptr);
    DSPManager.reset();
    delete DSPManagerFr;
}

void TMicDSPFrm::showEvent(QShowEvent *AEvent) {
    TranslateWindowCaptions(this, u"MicDSP.Captions"_s);
    CentreOnMainWindow(this, FMainWindow);
    QDialog::showEvent(AEvent);
}

void TMicDSPFrm::done(int AResult) {
    PlayerIni().Save();
    QDialog::done(AResult);
}

TMicDSPFrm *MicDSPFrm() {
    return ProgramWindow().data();
}

TMicDSPFrm &CreateMicDSPFrm(QWidget *AMainWindow) {
    if (ProgramWindow().isNull())
        ProgramWindow() = new TMicDSPFrm(AMainWindow);
    else
        ProgramWindow()->SetMainWindow(AMainWindow);
    return *ProgramWindow();
}

void FreeMicDSPFrm() {
    delete ProgramWindow().data();
}
