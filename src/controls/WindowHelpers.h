#pragma once
// Helpers that windows share: screen placement, pixel scaling, menus under
// buttons, the folder picker, and the message box the core reports through.

#include <QString>
#include <QtGlobal>

class QAbstractButton;
class QMenu;
class QWidget;

// Centres AWindow on the primary screen when it lies on no screen at all;
// otherwise leaves it where it is.
void EnsureFormOnScreen(QWidget *AWindow);

// Pixels per inch of the screen the main window is on (the primary screen
// before there is one). Each screen's value is kept for 30 s.
int GetCurrentPPI();

// A length given in pixels at 96 pixels per inch, in pixels of the current screen.
int ScaleValue(int AValue);

// Shows AMenu with its top-left corner at AButton's bottom-left corner. A
// request within 100 ms of the previous menu closing is ignored: it is the
// same click that closed the menu, landing on the button.
void PopupMenuUnderButton(QAbstractButton *AButton, QMenu *AMenu);

// The folder picker opened at AFolder; on confirmation sets AFolder and
// returns true.
bool SelectFolder(QString &AFolder);

// Makes MyMessageBox show real message boxes: the icon (error, question,
// warning, information) and the buttons (OK, OK/Cancel, Yes/No) the flags
// name, answering mrOk, mrCancel, mrYes or mrNo; closing the box without a
// button answers Cancel or No.
void InstallWidgetMessageBoxes();

// The tick at which the last menu under a button closed (tests set it).
qint64 &LastPopupTick();
