#pragma once
// The VST parameters window of a running chain entry: either the plug-in's
// own editor, embedded into a native child window, or, for screen-reader
// users, a scrolling window of labelled sliders, one per parameter.
//
// A chain entry has at most one window. It is created by the first Configure
// of the running entry, shown again by every later one, only hidden when the
// user closes it, and freed when the entry stops: the chain engine asks the
// plug-in host to free it (TPluginHost::FreeVSTWindow), and the host calls the
// freer that InstallVSTParamWindows installs.
//
// The plug-in behind the handle is untrusted: its sizes are bounded, its texts
// may be in any single-byte encoding, its parameter count may be anything.
//
// Threads: main thread only.

#include <QPointer>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <QtGlobal>
#include <vector>

class QGridLayout;
class QHideEvent;
class QLabel;
class QScrollArea;
class QShowEvent;
class QTimer;
class TDSPItemC;
class TLxTrackBar;

// One row of the text window; both empty when the parameter's information
// could not be read.
struct TVSTUI {
    QLabel *Val = nullptr;
    TLxTrackBar *Track = nullptr;
    QString Unit; // of the display text, as the plug-in last reported it
};

class TFrmVSTParam : public QWidget {
    Q_OBJECT
public:
    // A top-level window without owner over the effect AVstHandle, centred on
    // AMainWindow (the primary screen when it is null). AUseTextUI: the
    // slider window; otherwise the plug-in's editor is opened in it.
    TFrmVSTParam(quint32 AVstHandle, bool AUseTextUI, QWidget *AMainWindow);
    // Closes an embedded editor before its native window goes.
    ~TFrmVSTParam() override;
    TFrmVSTParam(const TFrmVSTParam &) = delete;
    TFrmVSTParam &operator=(const TFrmVSTParam &) = delete;

    // Sliders range over 0 .. KTrackMax, one step per thousandth of the
    // plug-in's 0.0 .. 1.0.
    static constexpr int KTrackMax = 1000;
    // Parameters beyond this many get no row.
    static constexpr int KMaxRows = 100;

    quint32 H = 0;
    std::vector<TVSTUI> UI;

    bool TextUI() const { return FTextUI; }
    // The native child window holding the plug-in's editor; null in the text
    // window.
    QWidget *EditorHost() const { return FEditorHost; }
    // Whether the plug-in took up the editor host window.
    bool EditorOpen() const { return FEditorOpen; }

    // --- Handlers ----------------------------------------------------------
    // Rebuilds the rows of the text window from the plug-in's parameters.
    void BuildTextUI();
    // Sends ASender's position to its parameter and shows what the plug-in
    // makes of it.
    void OnTextUITrackChange(TLxTrackBar *ASender);
    // The editor asks for a new client size; bounded like the first one.
    void EditorResize(int AWidth, int AHeight);
    // Gives the open editor its time slice.
    void tmrIdleTimer();

    // The accessible value of a row's slider: the display text and its unit.
    QString SpokenParamValue(int AIndex) const;

protected:
    void showEvent(QShowEvent *AEvent) override;
    void hideEvent(QHideEvent *AEvent) override;

private:
    // Sizes the window for the plug-in's editor and opens it inside.
    void BuildEditor();
    // The largest client size that still fits the screen the window is on.
    QSize ClientLimit() const;
    void SetClientSize(int AWidth, int AHeight);
    void ClearRows();

    bool FTextUI;
    bool FEditorOpen = false;
    QPointer<QScreen> FLimitScreen; // where the window opens
    QWidget *FEditorHost = nullptr;
    QTimer *tmrIdle = nullptr;
    QScrollArea *sbParams = nullptr;
    QWidget *pnParams = nullptr;
    QGridLayout *FRows = nullptr;
};

// Configure for a running VST entry: the plug-in's parameters window, created
// on the first call and shown again on later ones. A plug-in without editor
// gets the message "No parameters window available" instead; an entry without
// handle gets nothing. AUseTextUI chooses the slider window over the plug-in's
// editor when the window is created.
void ConfigureVSTEntry(TDSPItemC &AItem, bool AUseTextUI, QWidget *AMainWindow);

// Configure for any plug-in entry of the chain editor. Winamp DSP plug-ins
// have no host on Linux: configuring one does nothing.
void ConfigurePluginEntry(TDSPItemC &AItem, bool AUseTextUI, QWidget *AMainWindow);

// The window AItem's Configure created, null when it has none.
TFrmVSTParam *VSTParamWindow(const TDSPItemC &AItem);

// Hands the installed plug-in host the routines of this module: the freer of
// the entries' windows and the receiver of the editors' resize requests. The
// program calls it once at start-up, right after installing the real host
// (SetPluginHost); a host installed later knows neither.
void InstallVSTParamWindows();

// Frees every window Configure created (closing the editors first); the
// program calls it before the application object goes.
void FreeVSTParamWindows();
