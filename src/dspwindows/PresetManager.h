#pragma once
// Fills the "Load" and "Delete" submenus of an editor's preset menu with the
// preset files of one folder, and carries out their clicks: a load item hands
// the file to the editor, a delete item removes the file without asking.
//
// Threads: main thread only.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QMenu;

// ASender: the clicked menu item; AFileName: the full path of the preset.
using TLoadPresetEvent = std::function<void(QObject *ASender, const QString &AFileName)>;

class TPresetManager : public QObject {
    Q_OBJECT
public:
    // The menus are not owned; the items it creates belong to AOwner.
    TPresetManager(const QString &APresetFolder, QMenu *ALoadMenu, QMenu *ADelMenu, QObject *AOwner,
                   TLoadPresetEvent AOnLoadPreset, const QString &APresetExt);
    ~TPresetManager() override;
    TPresetManager(const TPresetManager &) = delete;
    TPresetManager &operator=(const TPresetManager &) = delete;

    // Lists the folder again: one item per preset in each submenu, or one
    // disabled "(no presets)" in each when there are none.
    void UpdateMenus();

    // The full paths of the files "*." + AExtension directly in AFolder.
    static QStringList GetPresetList(const QString &AFolder, const QString &AExtension);

    const QString &PresetFolder() const { return FPresetFolder; }

private:
    void LoadClick(QAction *AItem);
    void DelClick(QAction *AItem);
    // The file an item stands for.
    QString ItemFile(const QAction *AItem) const;
    void ClearItems();

    QPointer<QMenu> FLoadMenu;
    QPointer<QMenu> FDelMenu;
    QPointer<QObject> FOwner;
    TLoadPresetEvent FOnLoadPreset;
    QString FPresetFolder;
    QString FPresetExt;
    QList<QPointer<QAction>> FItems;
};
