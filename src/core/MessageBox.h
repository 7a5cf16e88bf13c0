#pragma once
// The program's message box, callable from any thread. The core only reports
// through it; the window layer installs the presenter that shows the box.

#include <QString>
#include <functional>

// The flags are a set of buttons plus an icon, as the family's Windows
// programs pass them: mbOKCancel | mbIconWarning, mbYesNo | mbIconQuestion.
enum : int {
    mbOK = 0,
    mbOKCancel = 1,
    mbYesNo = 4,
    mbIconError = 16,
    mbIconQuestion = 32,
    mbYesNoQuestion = 36,
    mbIconWarning = 48,
    mbIconInformation = 64,
};
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// Shows the box and returns the pressed button's code (mrYes, ...).
using TMessageBoxPresenter =
    std::function<int(const QString &AText, const QString &ACaption, int AFlags)>;

// Installs the presenter (the window layer does this at start-up). Without
// one, boxes are written to standard error and answered with 0.
void SetMessageBoxPresenter(TMessageBoxPresenter APresenter);

// From now on (AUnattended) no one is there to answer: every box, also one
// already queued, goes to standard error and is answered with 0, whatever
// presenter is installed. A close asked for by a signal sets this, so that a
// failure to save cannot hold the process open behind a modal box.
void SetMessageBoxesUnattended(bool AUnattended);
bool MessageBoxesUnattended();

// On the main thread: shows the box and returns its result. On any other
// thread: queues the box to the main thread and returns -1 at once.
int MyMessageBox(const QString &AText, const QString &ACaption, int AFlags);
