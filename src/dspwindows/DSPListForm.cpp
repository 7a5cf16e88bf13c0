#include "dspwindows/DSPListForm.h"

#include "vst/PluginCatalogue.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

TDSPListFrm::TDSPListFrm(QWidget *AMainWindow) {
    Q_UNUSED(AMainWindow);
    setWindowTitle(QStringLiteral("DSP"));
    L = PluginCatalogue().BuildAvailableDSPList();
    auto *list = new QListWidget(this);
    list->setObjectName(QStringLiteral("ListView1"));
    for (int i = 0; i < L->Count(); ++i)
        list->addItem(L->Items(i).DispName);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this, list] {
        const int row = list->currentRow();
        FSelectedDSP = row >= 0 && row < L->Count() ? &L->Items(row) : nullptr;
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TDSPListFrm::~TDSPListFrm() = default;
