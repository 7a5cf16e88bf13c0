#include "dspwindows/DSPManagerFrame.h"

#include "chain/DSPManager.h"
#include "controls/WindowHelpers.h"
#include "core/MessageBox.h"
#include "dsp/DSPItems.h"
#include "dspwindows/DSPListForm.h"
#include "dspwindows/EffectEditors.h"
#include "dspwindows/VSTParamForm.h"
#include "station/SystemIni.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>
#include <numbers>

using namespace Qt::StringLiterals;

namespace {

constexpr int KIconSize = 32; // drawn larger than shown, so it stays sharp when scaled

enum class TPanelImage { Settings, Plus, Minus, Up, Down };

// The panel's button images, drawn like the toolbar's so that they follow
// the screen's scale.
QIcon PanelImage(TPanelImage AImage) {
    QPixmap pixmap(KIconSize, KIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(60, 60, 60);
    switch (AImage) {
    case TPanelImage::Settings: {
        // A cog: eight teeth round a ring.
        QPainterPath path;
        const QPointF centre(16, 16);
        for (int i = 0; i < 16; ++i) {
            const double angle = i * std::numbers::pi / 8;
            const double radius = (i / 2) % 2 == 0 ? 14 : 10;
            const QPointF point(centre.x() + radius * std::cos(angle),
                                centre.y() + radius * std::sin(angle));
            if (i == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        path.closeSubpath();
        path.addEllipse(centre, 4.5, 4.5);
        path.setFillRule(Qt::OddEvenFill);
        painter.fillPath(path, ink);
        break;
    }
    case TPanelImage::Plus:
        painter.setPen(QPen(QColor(40, 140, 60), 5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(16, 6, 16, 26);
        painter.drawLine(6, 16, 26, 16);
        break;
    case TPanelImage::Minus:
        painter.setPen(QPen(QColor(200, 40, 40), 5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(6, 16, 26, 16);
        break;
    case TPanelImage::Up:
    case TPanelImage::Down: {
        const bool up = AImage == TPanelImage::Up;
        QPainterPath arrow;
        arrow.moveTo(16, up ? 6 : 26);
        arrow.lineTo(27, up ? 22 : 10);
        arrow.lineTo(5, up ? 22 : 10);
        arrow.closeSubpath();
        painter.fillPath(arrow, QColor(40, 90, 180));
        break;
    }
    }
    return QIcon(pixmap);
}

QToolButton *NewPanelButton(QWidget *AParent, const QString &AName, const QString &AHint,
                            TPanelImage AImage) {
    auto *button = new QToolButton(AParent);
    button->setObjectName(AName);
    button->setToolTip(AHint);
    // The buttons show only an image: the hint is what a screen reader says.
    button->setAccessibleName(AHint);
    button->setIcon(PanelImage(AImage));
    button->setIconSize(QSize(ScaleValue(16), ScaleValue(16)));
    button->setFixedSize(ScaleValue(25), ScaleValue(25));
    return button;
}

} // namespace

bool PluginTypeSwitchedOff(const TDSPItemC &AItem) {
    if (AItem.T != dspPlugin)
        return false;
    const TSystemIni &settings = SystemIni();
    return (AItem.PluginType == ptDSP && !settings.AllowWinampPlugins) ||
           (AItem.PluginType == ptVST && !settings.AllowVstPlugins);
}

TDSPManagerFr::TDSPManagerFr(QWidget *AParent) : QWidget(AParent) {
    setObjectName(u"DSPManagerFr"_s);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(ScaleValue(4));

    lDSP = new QTreeWidget(this);
    lDSP->setObjectName(u"lDSP"_s);
    lDSP->setAccessibleName(u"Processing chain"_s);
    lDSP->setColumnCount(2);
    lDSP->setHeaderHidden(true);
    lDSP->setRootIsDecorated(false);
    lDSP->setItemsExpandable(false);
    lDSP->setUniformRowHeights(true);
    lDSP->setSelectionMode(QAbstractItemView::SingleSelection);
    lDSP->setSelectionBehavior(QAbstractItemView::SelectRows);
    lDSP->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lDSP->setAllColumnsShowFocus(true);
    lDSP->header()->setStretchLastSection(true);
    lDSP->header()->setMinimumSectionSize(1);
    lDSP->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    lDSP->header()->resizeSection(0, ScaleValue(25));
    lDSP->installEventFilter(this);
    layout->addWidget(lDSP, 1);

    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(ScaleValue(2));
    btDSPConfig = NewPanelButton(this, u"btDSPConfig"_s, u"Configure"_s, TPanelImage::Settings);
    btDSPAdd = NewPanelButton(this, u"btDSPAdd"_s, u"Add"_s, TPanelImage::Plus);
    btDSPRemove = NewPanelButton(this, u"btDSPRemove"_s, u"Remove"_s, TPanelImage::Minus);
    btDSPUp = NewPanelButton(this, u"btDSPUp"_s, u"Move up"_s, TPanelImage::Up);
    btDSPDown = NewPanelButton(this, u"btDSPDown"_s, u"Move down"_s, TPanelImage::Down);
    btDSPUp->setProperty("Tag", -1);
    btDSPDown->setProperty("Tag", 1);
    for (QToolButton *button : {btDSPConfig, btDSPAdd, btDSPRemove, btDSPUp, btDSPDown})
        buttons->addWidget(button);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    connect(btDSPConfig, &QToolButton::clicked, this, &TDSPManagerFr::btDSPConfigClick);
    connect(btDSPAdd, &QToolButton::clicked, this, &TDSPManagerFr::btDSPAddClick);
    connect(btDSPRemove, &QToolButton::clicked, this, &TDSPManagerFr::btDSPRemoveClick);
    for (QToolButton *button : {btDSPUp, btDSPDown})
        connect(button, &QToolButton::clicked, this,
                [this, button] { btDSPMoveClick(button->property("Tag").toInt()); });
    connect(lDSP, &QTreeWidget::itemChanged, this, &TDSPManagerFr::lDSPItemChanged);
    connect(lDSP, &QTreeWidget::itemDoubleClicked, this, [this] { btDSPConfigClick(); });
}

TDSPManagerFr::~TDSPManagerFr() {
    SetDSPManager(nullptr);
}

void TDSPManagerFr::SetDSPManager(TDSPManager *AManager) {
    if (FDSPManager != nullptr)
        FDSPManager->OnChange = nullptr;
    FDSPManager = AManager;
    if (FDSPManager != nullptr)
        FDSPManager->OnChange = [this](TDSPManager *) {
            UpdateDSPListView();
            lDSP->viewport()->update();
        };
}

TDSPItemC *TDSPManagerFr::Entry(int AIndex) const {
    if (FDSPManager == nullptr || FDSPManager->DSPList == nullptr || AIndex < 0 ||
        AIndex >= FDSPManager->DSPList->Count())
        return nullptr;
    return &FDSPManager->DSPList->Items(AIndex);
}

int TDSPManagerFr::SelectedIndex() const {
    const QList<QTreeWidgetItem *> selected = lDSP->selectedItems();
    return selected.isEmpty() ? -1 : lDSP->indexOfTopLevelItem(selected.first());
}

void TDSPManagerFr::SelectIndex(int AIndex) {
    QTreeWidgetItem *item = lDSP->topLevelItem(AIndex);
    if (item == nullptr)
        return;
    // Column 1 is current, so the name is what the focus frame and a screen
    // reader land on.
    lDSP->setCurrentItem(item, 1, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TDSPManagerFr::UpdateDSPListView() {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    const int selected = SelectedIndex();
    // Cleared on every way out, also when the fill is interrupted.
    struct TFillGuard {
        TDSPManagerFr *Frame;
        ~TFillGuard() {
            Frame->lDSP->setUpdatesEnabled(true);
            Frame->FDisableCheckUpdate = false;
        }
    } guard{this};
    FDisableCheckUpdate = true;
    lDSP->setUpdatesEnabled(false);
    lDSP->clear();
    const TDSPItemsC *list = FDSPManager != nullptr ? FDSPManager->DSPList : nullptr;
    const int count = list != nullptr ? list->Count() : 0;
    for (int i = 0; i < count; ++i) {
        const TDSPItemC &entry = list->Items(i);
        auto *row = new QTreeWidgetItem;
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(0, entry.State == psActive ? Qt::Checked : Qt::Unchecked);
        row->setText(1, entry.DispName);
        // The check box's cell has no text of its own; a screen reader on it
        // says which entry it switches.
        row->setData(0, Qt::AccessibleTextRole, entry.DispName);
        if (PluginTypeSwitchedOff(entry))
            for (int column = 0; column < 2; ++column)
                row->setForeground(column, QColor(128, 128, 128));
        lDSP->addTopLevelItem(row);
    }
    if (count > 0 && selected >= 0)
        SelectIndex(std::min(selected, count - 1));
}

void TDSPManagerFr::lDSPItemChanged(QTreeWidgetItem *AItem, int AColumn) {
    if (FDisableCheckUpdate || AColumn != 0)
        return;
    const int row = lDSP->indexOfTopLevelItem(AItem);
    const bool checked = AItem->checkState(0) == Qt::Checked;
    // Handled once the list has finished with the item: starting or stopping
    // refills the list, which frees the item the view is still changing.
    QMetaObject::invokeMethod(
        this, [this, row, checked] { lDSPItemChecked(row, checked); }, Qt::QueuedConnection);
}

void TDSPManagerFr::lDSPItemChecked(int ARow, bool AChecked) {
    TDSPItemC *entry = Entry(ARow);
    if (FDisableCheckUpdate || entry == nullptr)
        return;
    if (AChecked && PluginTypeSwitchedOff(*entry)) {
        entry->State = psOff;
        FDSPManager->StopDSP(ARow);
        MyMessageBox(u"Plugins of this type are turned off. Please click the \"+\" button and turn "
                     u"on plugins (VST or Winamp DSP)."_s,
                     u"Plugins"_s, mbIconWarning);
        return;
    }
    if (AChecked) {
        entry->State = psActive;
        FDSPManager->StartDSP(ARow);
    } else {
        entry->State = psOff;
        FDSPManager->StopDSP(ARow);
    }
}

void TDSPManagerFr::btDSPAddClick() {
    if (FDSPManager == nullptr || FDSPManager->DSPList == nullptr)
        return;
    auto *dialog = new TDSPListFrm(window());
    if (dialog->exec() == QDialog::Accepted && dialog->SelectedDSP() != nullptr) {
        TDSPItemC &added = FDSPManager->DSPList->Add();
        dialog->SelectedDSP()->AssignTo(added);
        UpdateDSPListView();
        // The keyboard goes on with the new entry: Enter configures it.
        SelectIndex(FDSPManager->DSPList->Count() - 1);
    } else {
        // The dialog may have switched a plug-in type on or off.
        UpdateDSPListView();
    }
    delete dialog;
    lDSP->viewport()->update();
}

void TDSPManagerFr::btDSPRemoveClick() {
    const int index = SelectedIndex();
    TDSPItemC *entry = Entry(index);
    if (entry == nullptr)
        return;
    // The editor's window of this kind may edit this entry; it must not
    // outlive it.
    if (entry->T == dspIntegrated)
        CloseIntegratedEditor(entry->IntDSPKind);
    entry->State = psOff;
    FDSPManager->StopDSP(index);
    FDSPManager->DSPList->Delete(index);
    UpdateDSPListView();
}

void TDSPManagerFr::btDSPMoveClick(int AStep) {
    const int index = SelectedIndex();
    if (Entry(index) == nullptr)
        return;
    const int target = index + AStep;
    if (target < 0 || target >= FDSPManager->DSPList->Count())
        return;
    FDSPManager->DSPList->Move(index, target);
    UpdateDSPListView();
    SelectIndex(target);
    FDSPManager->StartAllDSPs();
}

void TDSPManagerFr::btDSPConfigClick() {
    TDSPItemC *entry = Entry(SelectedIndex());
    if (entry == nullptr)
        return;
    if (entry->T == dspIntegrated) {
        OpenIntegratedEditor(*entry, window());
        return;
    }
    if (entry->H != 0)
        ConfigurePluginEntry(*entry, VSTUseTextUI, window());
}

bool TDSPManagerFr::eventFilter(QObject *AWatched, QEvent *AEvent) {
    if (AWatched != lDSP || AEvent->type() != QEvent::KeyPress)
        return QWidget::eventFilter(AWatched, AEvent);
    const auto *key = static_cast<QKeyEvent *>(AEvent);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        switch (key->key()) {
        case Qt::Key_Space:
            // The whole row is the check box's: the view itself would toggle
            // only when the focus sits in the narrow first column.
            if (const int index = SelectedIndex(); index >= 0) {
                QTreeWidgetItem *row = lDSP->topLevelItem(index);
                row->setCheckState(0,
                                   row->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            }
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            btDSPConfigClick();
            return true;
        case Qt::Key_Delete:
            btDSPRemoveClick();
            return true;
        default:
            break;
        }
    } else if (modifiers == Qt::ControlModifier &&
               (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        btDSPMoveClick(key->key() == Qt::Key_Up ? -1 : 1);
        return true;
    }
    return QWidget::eventFilter(AWatched, AEvent);
}
