#pragma once
// The chain editor: a panel that lists one chain as a checkable list and
// lets the user switch entries on and off, add, remove, reorder and
// configure them, driving a TDSPManager as it goes. Every action has a key
// in the list: space toggles the check box, Enter configures, Delete
// removes, Ctrl+Up / Ctrl+Down move.
//
// The selected row survives the refills that every start or stop causes, so
// the keyboard stays where the user left it; after a move the moved row is
// the selected one.
//
// Threads: main thread only.

#include <QWidget>

class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TDSPItemC;
class TDSPManager;

class TDSPManagerFr : public QWidget {
    Q_OBJECT
public:
    explicit TDSPManagerFr(QWidget *AParent = nullptr);
    // Stops listening to the engine.
    ~TDSPManagerFr() override;
    TDSPManagerFr(const TDSPManagerFr &) = delete;
    TDSPManagerFr &operator=(const TDSPManagerFr &) = delete;

    // The engine whose chain is shown (not owned). Setting one makes the
    // panel its change listener; setting nullptr detaches the panel.
    TDSPManager *DSPManager() const { return FDSPManager; }
    void SetDSPManager(TDSPManager *AManager);

    // VST parameters in the slider window instead of the plug-in's editor.
    bool VSTUseTextUI = false;

    // Lists the chain again, keeping the selected row.
    void UpdateDSPListView();

    // The selected row, -1 when none.
    int SelectedIndex() const;
    void SelectIndex(int AIndex);

    // --- Handlers ----------------------------------------------------------
    // The user set row ARow's check box to AChecked.
    void lDSPItemChecked(int ARow, bool AChecked);
    void btDSPAddClick();
    void btDSPRemoveClick();
    // AStep: -1 up, +1 down.
    void btDSPMoveClick(int AStep);
    void btDSPConfigClick();

    // --- Controls ------------------------------------------------------------
    QTreeWidget *lDSP = nullptr;
    QToolButton *btDSPConfig = nullptr;
    QToolButton *btDSPAdd = nullptr;
    QToolButton *btDSPRemove = nullptr;
    QToolButton *btDSPUp = nullptr;
    QToolButton *btDSPDown = nullptr;

    // Set while the list is refilled: check-box changes are ours then.
    bool FDisableCheckUpdate = false;

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    TDSPItemC *Entry(int AIndex) const;
    void lDSPItemChanged(QTreeWidgetItem *AItem, int AColumn);

    TDSPManager *FDSPManager = nullptr;
};

// Whether AItem is a plug-in whose type the system settings switch off.
bool PluginTypeSwitchedOff(const TDSPItemC &AItem);
