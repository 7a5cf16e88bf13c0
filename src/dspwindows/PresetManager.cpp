#include "dspwindows/PresetManager.h"

#include "config/DataDirs.h"
#include "core/MessageBox.h"
#include "dsp/EffectPresets.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

constexpr const char *KNameProperty = "PresetName";

} // namespace

TPresetManager::TPresetManager(const QString &APresetFolder, QMenu *ALoadMenu, QMenu *ADelMenu,
                               QObject *AOwner, TLoadPresetEvent AOnLoadPreset,
                               const QString &APresetExt)
    : FLoadMenu(ALoadMenu), FDelMenu(ADelMenu), FOwner(AOwner),
      FOnLoadPreset(std::move(AOnLoadPreset)), FPresetFolder(APresetFolder),
      FPresetExt(APresetExt) {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
}

TPresetManager::~TPresetManager() {
    ClearItems();
}

QStringList TPresetManager::GetPresetList(const QString &AFolder, const QString &AExtension) {
    return ::GetPresetList(AFolder, AExtension);
}

void TPresetManager::ClearItems() {
    for (const QPointer<QAction> &item : std::as_const(FItems)) {
        if (item.isNull())
            continue;
        if (FLoadMenu)
            FLoadMenu->removeAction(item);
        if (FDelMenu)
            FDelMenu->removeAction(item);
        // The item may be the one whose click is being handled.
        item->deleteLater();
    }
    FItems.clear();
}

void TPresetManager::UpdateMenus() {
    ClearItems();
    const QStringList files = GetPresetList(FPresetFolder, FPresetExt);
    const auto add = [this](QMenu *AMenu, const QString &AName, bool ALoad) {
        if (!AMenu)
            return;
        auto *item = new QAction(FOwner);
        if (AName.isNull()) {
            item->setText(u"(no presets)"_s);
            item->setEnabled(false);
        } else {
            // A "&" in a file name is shown as it is, not as an accelerator,
            // and the item addresses the file by its real name.
            QString caption = AName;
            item->setText(caption.replace(u"&"_s, u"&&"_s));
            item->setProperty(KNameProperty, AName);
            if (ALoad)
                connect(item, &QAction::triggered, this, [this, item] { LoadClick(item); });
            else
                connect(item, &QAction::triggered, this, [this, item] { DelClick(item); });
        }
        AMenu->addAction(item);
        FItems << item;
    };
    if (files.isEmpty()) {
        add(FLoadMenu, QString(), true);
        add(FDelMenu, QString(), false);
        return;
    }
    for (const QString &file : files)
        add(FLoadMenu, PresetNameOfFile(file), true);
    for (const QString &file : files)
        add(FDelMenu, PresetNameOfFile(file), false);
}

QString TPresetManager::ItemFile(const QAction *AItem) const {
    return WithTrailingSeparator(FPresetFolder) + AItem->property(KNameProperty).toString() + u'.' +
           FPresetExt;
}

void TPresetManager::LoadClick(QAction *AItem) {
    if (FOnLoadPreset)
        FOnLoadPreset(AItem, ItemFile(AItem));
}

void TPresetManager::DelClick(QAction *AItem) {
    const QString file = ItemFile(AItem);
    if (!QFile::remove(file))
        MyMessageBox(u"Unable to delete preset (%1)"_s.arg(file), u"Error"_s, mbIconError);
    UpdateMenus();
}
