#pragma once
// Where the chain's dialogs appear: centred on the main window, and on a
// screen in any case.

class QWidget;

// Centres ADialog on AMainWindow (when given and visible, else on its
// screen's free area), then makes sure it lies on a screen.
void CentreOnMainWindow(QWidget *ADialog, const QWidget *AMainWindow);
