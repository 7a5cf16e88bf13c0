#pragma once
// The plug-in folders dialog ("Plugin Location"): the fixed Winamp DSP
// plug-in folder and the editable VST folder, each with an "open folder" link
// that shows it in the user's file manager. OK stores the VST folder as one
// line in the system settings in memory; Cancel leaves it. Created for one
// use by the plug-in list dialog.
//
// Folders are opened as the user who runs the program, never elevated. A VST
// folder that does not exist is created, after asking, as the user too; only
// when the system refuses for lack of rights is the user offered to create
// it with administrator rights (pkexec).
//
// Threads: main thread only.

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QUrl;

// Shows a folder in the user's file manager; false when nothing could be
// started.
using TOpenFolderHook = std::function<bool(const QUrl &AFolder)>;

// Replaces how the dialog opens folders (tests, so that no file manager
// starts); nullptr restores QDesktopServices::openUrl.
void SetOpenFolderHook(TOpenFolderHook AHook);

// The text VSTFolder stores for what the user typed: white space around it
// removed and a "/" added when it ends in no separator ("/" or "\"); an empty
// text stays empty (it names no folder, so nothing is scanned).
QString StoredVSTFolder(const QString &AText);

class TPluginFoldersFrm : public QDialog {
    Q_OBJECT

public:
    // AMainWindow: the window the dialog is centred on (may be nullptr).
    explicit TPluginFoldersFrm(QWidget *AMainWindow = nullptr);

    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Label27 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Label2 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button4 = nullptr;

    void Button2Click();
    void Button3Click();
    void Label27Click();
    void Label2Click();

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    // Fixes the size to what the (translated) captions need, at least the
    // default size.
    void FitSize();
    // Creates the missing native folder AFolder as the user; on a refusal
    // says why, and offers pkexec when rights were missing. True when the
    // folder exists afterwards.
    bool CreateFolder(const QString &AFolder);

    QWidget *FMainWindow = nullptr;
    bool FShown = false;
};
