#include "dspwindows/DSPEditorBase.h"

#include "chain/DSPManager.h"
#include "config/ConfigErrors.h"
#include "controls/LBar.h"
#include "controls/WindowHelpers.h"
#include "core/MessageBox.h"
#include "core/Utils.h"
#include "dsp/EffectPresets.h"
#include "dspwindows/DialogPlacement.h"
#include "dspwindows/PresetManager.h"
#include "dspwindows/WindowAccessible.h"
#include "dspwindows/WindowTranslation.h"
#include "station/SystemIni.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::StringLiterals;

TIntDSPEditorFrm::TIntDSPEditorFrm(TDSPItemC &AItem, const QString &ACaption,
                                   const QString &ASection, QWidget *AMainWindow)
    : QWidget(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      D(&AItem), FSection(ASection), FMainWindow(AMainWindow) {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    InstallChainWindowAccessible();
    setWindowTitle(ACaption);
    setAttribute(Qt::WA_DeleteOnClose);
    // An editor left open must not keep the program running.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto *layout = new QVBoxLayout(this);
    // The window takes the size its content needs, in any font and language.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Content = new QVBoxLayout;
    layout->addLayout(Content);
    Buttons = new QHBoxLayout;
    layout->addLayout(Buttons);
    btOk = new QPushButton(u"OK"_s, this);
    btOk->setObjectName(u"btOk"_s);
    connect(btOk, &QPushButton::clicked, this, &QWidget::close);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, btOk, &QPushButton::click);
}

void TIntDSPEditorFrm::FinishButtons() {
    Buttons->addStretch(1);
    Buttons->addWidget(btOk);
}

TSystemIniBase &TIntDSPEditorFrm::Settings() {
    return SystemIni();
}

void TIntDSPEditorFrm::UpdateDSP() {
    if (TIntegratedDSP *effect = FindIntDsp(*D))
        effect->UpdateDSP();
}

void TIntDSPEditorFrm::showEvent(QShowEvent *AEvent) {
    TranslateWindowCaptions(this, FSection);
    CaptionsChanged();
    if (!FShown) {
        FShown = true;
        FormShow();
        adjustSize();
        CentreOnMainWindow(this, FMainWindow);
    }
    QWidget::showEvent(AEvent);
}

// --- Presets -------------------------------------------------------------------

TPresetEditorFrm::TPresetEditorFrm(TDSPItemC &AItem, const QString &ACaption,
                                   const QString &ASection, QWidget *AMainWindow)
    : TIntDSPEditorFrm(AItem, ACaption, ASection, AMainWindow) {
    btPreset = new QPushButton(u"Preset"_s, this);
    btPreset->setObjectName(u"btPreset"_s);
    btPreset->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    pmPreset = new QMenu(this);
    pmPreset->setObjectName(u"pmPreset"_s);
    miLoad = new QMenu(u"Load"_s, pmPreset);
    miLoad->setObjectName(u"miLoad"_s);
    pmPreset->addMenu(miLoad);
    miSave = new QAction(u"Save..."_s, this);
    miSave->setObjectName(u"miSave"_s);
    pmPreset->addAction(miSave);
    miDelete = new QMenu(u"Delete"_s, pmPreset);
    miDelete->setObjectName(u"miDelete"_s);
    pmPreset->addMenu(miDelete);
    connect(btPreset, &QPushButton::clicked, this, &TPresetEditorFrm::btPresetClick);
    connect(miSave, &QAction::triggered, this, &TPresetEditorFrm::miSaveClick);
}

TPresetEditorFrm::~TPresetEditorFrm() = default;

QString TPresetEditorFrm::PresetFolder() const {
    return ::PresetFolder(PresetKind());
}

void TPresetEditorFrm::CreatePresetManager() {
    FPresetManager = std::make_unique<TPresetManager>(
        PresetFolder(), miLoad, miDelete, this,
        [this](QObject *, const QString &AFileName) { LoadPreset(AFileName); },
        PresetKind().Extension);
    FPresetManager->UpdateMenus();
}

void TPresetEditorFrm::closeEvent(QCloseEvent *AEvent) {
    FPresetManager.reset();
    TIntDSPEditorFrm::closeEvent(AEvent);
}

void TPresetEditorFrm::btPresetClick() {
    PopupMenuUnderButton(btPreset, pmPreset);
}

void TPresetEditorFrm::miSaveClick() {
    bool ok = false;
    QString name = QInputDialog::getText(this, u"Save"_s, u"Preset name"_s, QLineEdit::Normal,
                                         D->PresetName, &ok);
    // The dialog's own loop may have outlived the window's entry.
    if (!ok || D == nullptr)
        return;
    name = SanitizeFileName(name);
    // A name of nothing but forbidden characters names no file.
    if (name.isEmpty())
        return;
    try {
        MakePresetFolder(PresetFolder());
        const std::optional<QByteArray> block = PresetBlock();
        if (!block)
            return;
        WritePresetBlock(PresetKind(), PresetFolder() + name + u'.' + PresetKind().Extension,
                         *block);
        D->PresetName = name;
    } catch (const EConfigError &error) {
        MyMessageBox(SaveErrorPrefix() + error.Message(), u"Error"_s, mbIconError);
    }
    if (FPresetManager)
        FPresetManager->UpdateMenus();
}

// --- Labelled slider rows -------------------------------------------------------

TLBarRow::TLBarRow(QWidget *AParent) : QWidget(AParent) {
    FLayout = new QHBoxLayout(this);
    FLayout->setContentsMargins(0, 0, 0, 0);
    FBar = new TLBar(this);
    FBar->setOrientation(Qt::Horizontal);
    FBar->setMinimumWidth(ScaleValue(200));
    FLayout->addWidget(FBar);
}

int TLBarRow::CaptionWidth() const {
    return FBar->CaptionLabel()->sizeHint().width() + FBar->LabelSpacing();
}

int TLBarRow::ValueWidth() const {
    // The widest value the bar can show: its ends, with and without a sign.
    const QFontMetrics metrics(FBar->ValueLabel()->font());
    QLocale locale;
    int widest = 0;
    for (double value : {FBar->MinValue(), FBar->MaxValue()}) {
        QString text = locale.toString(value, 'f', FBar->Prec());
        text = u"+"_s + text;
        if (!FBar->Unit().isEmpty())
            text += u' ' + FBar->Unit();
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    return widest + FBar->ValueLabel()->margin() * 2 + ScaleValue(4) + FBar->LabelSpacing();
}

void TLBarRow::SetReserve(int ACaptionWidth, int AValueWidth) {
    FLayout->setContentsMargins(ACaptionWidth, 0, AValueWidth, 0);
    const int labelHeight = std::max(FBar->CaptionLabel()->sizeHint().height(),
                                     FBar->ValueLabel()->sizeHint().height());
    setMinimumHeight(std::max(FBar->sizeHint().height(), labelHeight + ScaleValue(6)));
}

void AlignLBarRows(const std::vector<TLBarRow *> &ARows) {
    int caption = 0, value = 0;
    for (const TLBarRow *row : ARows) {
        caption = std::max(caption, row->CaptionWidth());
        value = std::max(value, row->ValueWidth());
    }
    for (TLBarRow *row : ARows)
        row->SetReserve(caption, value);
}
