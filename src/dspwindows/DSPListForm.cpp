#include "dspwindows/DSPListForm.h"

#include "controls/LxConfirmCheckBox.h"
#include "controls/WindowHelpers.h"
#include "core/MessageBox.h"
#include "dspwindows/DialogPlacement.h"
#include "dspwindows/PluginFoldersForm.h"
#include "dspwindows/WindowTranslation.h"
#include "station/SystemIni.h"
#include "vst/PluginCatalogue.h"

#include <QAbstractListModel>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

// The list reads the rows from the catalogue as they are drawn: row i is the
// display name of catalogue entry i.
class TDSPListModel final : public QAbstractListModel {
public:
    TDSPListModel(const std::unique_ptr<TDSPItemsC> &AList, QObject *AParent)
        : QAbstractListModel(AParent), FList(AList) {}

    int rowCount(const QModelIndex &AParent) const override {
        return AParent.isValid() || !FList ? 0 : FList->Count();
    }

    QVariant data(const QModelIndex &AIndex, int ARole) const override {
        if (!AIndex.isValid() || !FList || AIndex.row() >= FList->Count())
            return {};
        if (ARole == Qt::DisplayRole || ARole == Qt::AccessibleTextRole)
            return FList->Items(AIndex.row()).DispName;
        return {};
    }

    // The catalogue is about to be replaced, and has been.
    void BeginChange() { beginResetModel(); }
    void EndChange() { endResetModel(); }

private:
    const std::unique_ptr<TDSPItemsC> &FList;
};

namespace {

TLxConfirmCheckBox *ConfirmBox(QWidget *AParent, const QString &AName, const QString &AText,
                               const QString &AQuestion, const QString &ATitle) {
    auto *box = new TLxConfirmCheckBox(AText, AParent);
    box->setObjectName(AName);
    // Only switching a kind off stops something, so only that asks.
    box->OnBeforeChange = [AQuestion, ATitle](TLxConfirmCheckBox *ASender, bool &AllowChange) {
        if (ASender->isChecked())
            AllowChange = MyMessageBox(AQuestion, ATitle, mbOKCancel | mbIconWarning) == mrOk;
    };
    return box;
}

QPushButton *Button(QWidget *AParent, const QString &AName, const QString &AText) {
    auto *button = new QPushButton(AText, AParent);
    button->setObjectName(AName);
    return button;
}

} // namespace

TDSPListFrm::TDSPListFrm(QWidget *AMainWindow) : FMainWindow(AMainWindow) {
    setObjectName(u"DSPListFrm"_s);
    setWindowTitle(u"DSP"_s);
    setModal(true);
    setSizeGripEnabled(true);

    FModel = new TDSPListModel(L, this);
    ListView1 = new QTreeView(this);
    ListView1->setObjectName(u"ListView1"_s);
    ListView1->setModel(FModel);
    ListView1->setHeaderHidden(true);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->header()->setStretchLastSection(true);
    ListView1->setAccessibleName(u"Processors"_s);

    Label45 = ConfirmBox(this, u"Label45"_s, u"Winamp DSP plug-ins"_s,
                         u"All Winamp DSP plugins will be stopped. Are you sure?"_s,
                         u"Turn off Winamp plugins"_s);
    chVstplugins =
        ConfirmBox(this, u"chVstplugins"_s, u"VST plug-ins"_s,
                   u"All VST plugins will be stopped. Are you sure?"_s, u"Turn off VST plugins"_s);
    Button4 = Button(this, u"Button4"_s, u"Refresh list"_s);
    Button4->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    Button3 = Button(this, u"Button3"_s, u"Plugin folders..."_s);
    for (QPushButton *button : {Button4, Button3})
        button->setAutoDefault(false);

    auto *box = new QDialogButtonBox(this);
    Button1 = box->addButton(u"OK"_s, QDialogButtonBox::AcceptRole);
    Button1->setObjectName(u"Button1"_s);
    Button1->setDefault(true);
    Button2 = box->addButton(u"Cancel"_s, QDialogButtonBox::RejectRole);
    Button2->setObjectName(u"Button2"_s);

    auto *options = new QGridLayout;
    options->addWidget(Label45, 0, 0);
    options->addWidget(Button4, 0, 2);
    options->addWidget(chVstplugins, 1, 0);
    options->addWidget(Button3, 1, 2);
    options->setColumnStretch(1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ListView1, 1);
    layout->addLayout(options);
    layout->addWidget(box);

    connect(Label45, &QCheckBox::toggled, this, &TDSPListFrm::Label45Click);
    connect(chVstplugins, &QCheckBox::toggled, this, &TDSPListFrm::chVstpluginsClick);
    connect(Button4, &QPushButton::clicked, this, &TDSPListFrm::Button4Click);
    connect(Button3, &QPushButton::clicked, this, &TDSPListFrm::Button3Click);
    connect(Button1, &QPushButton::clicked, this, &TDSPListFrm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    // 312 x 352 is the client area at 96 pixels per inch.
    resize(ScaleValue(312), ScaleValue(352));
    FitMinimumSize();
}

TDSPListFrm::~TDSPListFrm() = default;

void TDSPListFrm::showEvent(QShowEvent *AEvent) {
    if (!Init) {
        TranslateWindowCaptions(this, u"DSPAdd.Captions"_s);
        FitMinimumSize();
        // Init is still false: setting the boxes switches nothing.
        Label45->setChecked(SystemIni().AllowWinampPlugins);
        chVstplugins->setChecked(SystemIni().AllowVstPlugins);
        Init = true;
        Refresh();
        CentreOnMainWindow(this, FMainWindow);
    }
    QDialog::showEvent(AEvent);
}

void TDSPListFrm::FitMinimumSize() {
    // The smallest frame is 328 x 200 at 96 pixels per inch: a client area
    // of about 312 x 162 inside the borders and the title bar. Longer
    // captions or larger fonts raise it rather than cut them.
    setMinimumSize(layout()->minimumSize().expandedTo(QSize(ScaleValue(312), ScaleValue(162))));
}

void TDSPListFrm::Refresh() {
    FSelectedDSP = nullptr;
    FModel->BeginChange();
    L.reset();
    L = PluginCatalogue().BuildAvailableDSPList();
    FModel->EndChange();
}

void TDSPListFrm::Label45Click() {
    if (!Init)
        return;
    SystemIni().AllowWinampPlugins = Label45->isChecked();
    Refresh();
}

void TDSPListFrm::chVstpluginsClick() {
    if (!Init)
        return;
    SystemIni().AllowVstPlugins = chVstplugins->isChecked();
    Refresh();
}

void TDSPListFrm::Button4Click() {
    Refresh();
}

void TDSPListFrm::Button3Click() {
    TSystemIni &settings = SystemIni();
    // Compared as the catalogue reads the folder, so that white space or a
    // trailing separator more or less, or "\" for "/", is no change.
    const QString before = NativeVSTFolder(settings);
    TPluginFoldersFrm folders(FMainWindow);
    if (folders.exec() != QDialog::Accepted)
        return;
    if (NativeVSTFolder(settings).compare(before, Qt::CaseInsensitive) == 0)
        return;
    // Switched off for a moment: that stops the VST entries of every chain
    // and forgets the list, so the refresh lists the new folder when VST
    // plug-ins are on.
    const bool allowVst = settings.AllowVstPlugins;
    settings.AllowVstPlugins = false;
    PluginCatalogue().LoadVSTPlugins();
    settings.AllowVstPlugins = allowVst;
    Refresh();
}

void TDSPListFrm::Button1Click() {
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.first().row();
    FSelectedDSP = L && row >= 0 && row < L->Count() ? &L->Items(row) : nullptr;
    accept();
}
