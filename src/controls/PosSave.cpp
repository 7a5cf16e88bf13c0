#include "controls/PosSave.h"

#include "config/ConfigErrors.h"
#include "config/IniFile.h"

#include <QWidget>

namespace {

const QString KeyX = QStringLiteral("X");
const QString KeyY = QStringLiteral("Y");
const QString KeyW = QStringLiteral("W");
const QString KeyH = QStringLiteral("H");
const QString KeyS = QStringLiteral("S");

constexpr Qt::WindowStates NotNormal =
    Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen;

} // namespace

TLxPosSave::TLxPosSave(QWidget *AOwner)
    : QObject(AOwner), FForm(AOwner != nullptr ? AOwner->window() : nullptr) {
    Q_ASSERT(FForm != nullptr);
}

void TLxPosSave::RestorePos() {
    if (FForm == nullptr)
        return;
    // Read afresh at every call: another instance may have written the file.
    TIniFile ini;
    if (!IniFileName.isEmpty()) {
        try {
            ini = TIniFile(IniFileName);
        } catch (const EConfigError &) {
            // Unreadable: every value keeps its default, as for a missing file.
        }
    }
    const int x = ini.ReadInteger(Key, KeyX, FForm->x());
    const int y = ini.ReadInteger(Key, KeyY, FForm->y());
    const int w = ini.ReadInteger(Key, KeyW, FForm->width());
    const int h = ini.ReadInteger(Key, KeyH, FForm->height());
    const int s = ini.ReadInteger(Key, KeyS, 0);

    // Placing the window first makes it maximise on the screen it was on.
    FForm->move(x, y);
    if (s == 1) {
        FForm->setWindowState((FForm->windowState() & ~NotNormal) | Qt::WindowMaximized);
    } else {
        FForm->setWindowState(FForm->windowState() & ~NotNormal);
        FForm->move(x, y);
        // A window closed maximised stores no size; were its S edited to
        // anything but 1, a size of 0 would leave a window nobody can see or
        // grab, so it keeps its own size instead.
        if (w > 0 && h > 0)
            FForm->resize(w, h); // resize keeps to the window's minimum and maximum size
    }
    FCanWrite = true;
}

void TLxPosSave::SavePos() {
    if (!FCanWrite || IniFileName.isEmpty() || FForm == nullptr)
        return;
    const bool maximised = FForm->isMaximized();
    const int x = FForm->x();
    const int y = FForm->y();
    const int w = maximised ? 0 : FForm->width();
    const int h = maximised ? 0 : FForm->height();
    try {
        // Other sections and keys of the file stay as they are. The five values
        // reach the disk together in one atomic replacement, so a failed write
        // never leaves half a position behind.
        TIniFile ini(IniFileName);
        ini.WriteInteger(Key, KeyX, x);
        ini.WriteInteger(Key, KeyY, y);
        ini.WriteInteger(Key, KeyW, w);
        ini.WriteInteger(Key, KeyH, h);
        ini.WriteInteger(Key, KeyS, maximised ? 1 : 0);
        ini.UpdateFile();
    } catch (const EConfigError &) {
        // The window is closing; there is nobody to tell and nothing to retry.
    }
}
