#pragma once
// What the editor windows of the built-in effects share: the chain entry
// they edit live, the OK button that Escape also presses, caption
// translation on every show, and (equaliser and compressor) the preset menu
// with its "Save..." dialog.
//
// An editor has no cancel: every change of a control rewrites the entry's
// Params and, when the entry runs, applies them to its effect at once.
//
// Threads: main thread only.

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

class QAction;
class QHBoxLayout;
class QMenu;
class QPushButton;
class QVBoxLayout;
class TDSPItemC;
class TLBar;
class TPresetManager;
class TSystemIniBase;
struct TPresetKind;

class TIntDSPEditorFrm : public QWidget {
    Q_OBJECT
public:
    // A window without owner over AItem (not owned; the chain editor closes
    // the window before the entry goes), centred on AMainWindow when it is
    // shown first. ASection: the language file's section of its captions.
    TIntDSPEditorFrm(TDSPItemC &AItem, const QString &ACaption, const QString &ASection,
                     QWidget *AMainWindow);

    TDSPItemC *D;
    // False until the window has filled its controls from D; until then a
    // control's change leaves Params alone.
    bool InitFinished = false;

    QPushButton *btOk = nullptr;

protected:
    // The equaliser band layout and the other system settings.
    static TSystemIniBase &Settings();
    // Applies D's Params to its running effect, when it runs.
    void UpdateDSP();
    // Fills the controls from D; runs once, when the window is first shown.
    virtual void FormShow() = 0;
    // After the captions were translated, on every show.
    virtual void CaptionsChanged() {}
    void showEvent(QShowEvent *AEvent) override;

    // The window's layout: the editor's content goes into Content, its
    // buttons into Buttons (OK comes last).
    QVBoxLayout *Content = nullptr;
    QHBoxLayout *Buttons = nullptr;
    // Called once the subclass has built its controls.
    void FinishButtons();

private:
    QString FSection;
    QPointer<QWidget> FMainWindow;
    bool FShown = false;
};

// An editor with presets: a "Preset" button that opens a menu with "Load",
// "Save..." and "Delete".
class TPresetEditorFrm : public TIntDSPEditorFrm {
    Q_OBJECT
public:
    TPresetEditorFrm(TDSPItemC &AItem, const QString &ACaption, const QString &ASection,
                     QWidget *AMainWindow);
    ~TPresetEditorFrm() override;

    QPushButton *btPreset = nullptr;
    QMenu *pmPreset = nullptr;
    QMenu *miLoad = nullptr;
    QAction *miSave = nullptr;
    QMenu *miDelete = nullptr;

    TPresetManager *PresetManager() const { return FPresetManager.get(); }
    // This kind's preset folder below the data directory.
    QString PresetFolder() const;

    void btPresetClick();
    void miSaveClick();
    // Loads the preset file AFileName into the controls (and so into D).
    virtual void LoadPreset(const QString &AFileName) = 0;

protected:
    virtual const TPresetKind &PresetKind() const = 0;
    // The block to save from D's Params; nothing when Params do not fit.
    virtual std::optional<QByteArray> PresetBlock() const = 0;
    // Put before the error text when saving fails.
    virtual QString SaveErrorPrefix() const = 0;
    // Creates the preset manager and fills its menus.
    void CreatePresetManager();
    void closeEvent(QCloseEvent *AEvent) override;

private:
    std::unique_ptr<TPresetManager> FPresetManager;
};

// A TLBar with room on its left for its caption and on its right for its
// value, so that the labels it places beside itself never cover a neighbour.
class TLBarRow : public QWidget {
    Q_OBJECT
public:
    explicit TLBarRow(QWidget *AParent = nullptr);

    TLBar *Bar() const { return FBar; }
    // The widest caption and value text of the rows shown together.
    void SetReserve(int ACaptionWidth, int AValueWidth);
    int CaptionWidth() const;
    int ValueWidth() const;

private:
    TLBar *FBar;
    QHBoxLayout *FLayout;
};

// Gives every row the same room for captions and values, as wide as the
// widest of them needs.
void AlignLBarRows(const std::vector<TLBarRow *> &ARows);
