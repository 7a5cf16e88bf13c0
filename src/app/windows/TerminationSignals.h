#pragma once
// Closing the main window when the session ends or the user interrupts the
// program from a terminal, so that it saves what it saves on a normal close.

class QWidget;

// From now on SIGTERM and SIGINT close AWindow on the main thread, as its
// close box does, except that nothing asks first and every message from then
// on goes to standard error (SetMessageBoxesUnattended). Returns false when the signals could not
// be routed (the default handling stays then).
bool CloseOnTerminationSignals(QWidget *AWindow);
