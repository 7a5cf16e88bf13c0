#pragma once
// The microphone processing window ("DSP"): the chain editor over the
// station's microphone chain (the player settings' MicDSPList). The chain's
// engine has no audio channel here: starting an entry attaches nothing to
// live audio, but the plug-ins' and effects' own windows work on it. Closing
// the window (OK, the close box, Escape) saves the player settings, which
// writes the chain; a save that fails is reported by the settings
// themselves and the chain stays in memory.
//
// The program keeps one such window for its whole run (MicDSPFrm) and shows
// it modally.
//
// Threads: main thread only.

#include <QDialog>
#include <QPointer>
#include <memory>

class QPushButton;
class TDSPManager;
class TDSPManagerFr;

class TMicDSPFrm : public QDialog {
    Q_OBJECT
public:
    // A window without owner, centred on AMainWindow whenever it is shown.
    explicit TMicDSPFrm(QWidget *AMainWindow = nullptr);
    // Detaches the panel from the engine, then frees the engine and the panel.
    ~TMicDSPFrm() override;
    TMicDSPFrm(const TMicDSPFrm &) = delete;
    TMicDSPFrm &operator=(const TMicDSPFrm &) = delete;

    void SetMainWindow(QWidget *AMainWindow) { FMainWindow = AMainWindow; }

    // Saves the player settings, however the window closes.
    void done(int AResult) override;

    QWidget *Panel1 = nullptr;
    QPushButton *Button1 = nullptr;
    std::unique_ptr<TDSPManager> DSPManager;
    TDSPManagerFr *DSPManagerFr = nullptr;

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    QPointer<QWidget> FMainWindow;
};

// The program's microphone processing window, or nullptr before the main
// window's first show.
TMicDSPFrm *MicDSPFrm();
// Creates the program's window unless it exists; either way it is centred on
// AMainWindow from now on.
TMicDSPFrm &CreateMicDSPFrm(QWidget *AMainWindow);
// Frees the program's window; the program calls it before the application
// object goes.
void FreeMicDSPFrm();
