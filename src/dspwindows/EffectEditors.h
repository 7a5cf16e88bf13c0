#pragma once
// Opening and closing the editor windows of the built-in effects: what the
// chain editor calls for a built-in entry.
//
// One window per effect kind at a time. Opening an editor first closes the
// open window of that kind, whatever entry it edits, then shows a new window
// without owner, non-modally, centred on the main window. The window edits
// the entry live until the user closes it (OK, Escape, the close box); it
// frees itself then.
//
// What the editors need:
// - the entry stays alive while its window is open: before it deletes a
//   built-in entry, the chain editor calls CloseIntegratedEditor for the
//   entry's kind (whichever entry that window edits);
// - a running entry's effect is found through FindIntDsp, so every change
//   reaches it at once; an entry that is not running only has its Params
//   changed;
// - the equaliser's band settings and range are SystemIni()'s; the presets
//   live below DataDir();
// - MyMessageBox shows real boxes (InstallWidgetMessageBoxes) for the
//   preset errors.
//
// Threads: main thread only.

#include "dsp/DSPItems.h"

class QWidget;
class TCompressorDSPFrm;
class TEqDSPFrm;
class TGainDSPFrm;
class TIntDSPEditorFrm;

// Opens the editor of AItem's kind for AItem (a built-in entry); returns the
// window, or nullptr for an entry that is no built-in effect.
TIntDSPEditorFrm *OpenIntegratedEditor(TDSPItemC &AItem, QWidget *AMainWindow);
// Closes (and frees at once) the open editor window of AKind, if any.
void CloseIntegratedEditor(TIntDSPKind AKind);

// The same per kind.
TEqDSPFrm *OpenEqEditor(TDSPItemC &AItem, QWidget *AMainWindow);
TCompressorDSPFrm *OpenCompressorEditor(TDSPItemC &AItem, QWidget *AMainWindow);
TGainDSPFrm *OpenGainEditor(TDSPItemC &AItem, QWidget *AMainWindow);
void CloseEqEditor();
void CloseCompressorEditor();
void CloseGainEditor();

// The open window of AKind, or nullptr.
TIntDSPEditorFrm *IntegratedEditor(TIntDSPKind AKind);
