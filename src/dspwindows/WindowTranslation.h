#pragma once
// Caption translation for Qt windows: adapts a window and its named widgets
// and actions to the translation layer (config/Translation.h), so language
// files can set them by object name. "Caption" is a window's title, a
// button's, label's or action's text, a group box's or menu's title, and any
// other widget's property of that name (a TLBar's caption label).

#include <QString>

class QWidget;

// TranslateCaptions over AWindow with the section ASection (frames not
// included): the window keeps what the language file does not name.
void TranslateWindowCaptions(QWidget *AWindow, const QString &ASection);
