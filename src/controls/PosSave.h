#pragma once
// Keeps a window's place, size and maximised state in a plain ini file, so
// that the window comes back where the user left it.
//
// The section holds "X" and "Y" (the outer top-left corner, screen pixels),
// "W" and "H" (the inner size; 0 when the window was closed maximised) and
// "S" (1 for maximised, anything else for normal).

#include <QObject>
#include <QString>

class QWidget;

class TLxPosSave : public QObject {
public:
    // Keeps the position of AOwner's window; the keeper dies with its owner.
    explicit TLxPosSave(QWidget *AOwner);

    QString IniFileName; // full path of the ini file; nothing is read or written while empty
    QString Key;         // section name; the empty name is a section too

    // Applies the stored values to the window; what the file lacks keeps the
    // window's current value. A missing or unreadable file is no error. From
    // then on SavePos may write.
    void RestorePos();

    // Stores the window's current state. Before the first RestorePos it writes
    // nothing, so a window that was never shown cannot overwrite a stored
    // position. A file that cannot be written is silently left as it was.
    void SavePos();

    bool CanWrite() const { return FCanWrite; }
    QWidget *Form() const { return FForm; }

private:
    QWidget *FForm;
    bool FCanWrite = false;
};
