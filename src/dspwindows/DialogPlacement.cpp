#include "dspwindows/DialogPlacement.h"

#include "controls/WindowHelpers.h"

#include <QScreen>
#include <QWidget>

void CentreOnMainWindow(QWidget *ADialog, const QWidget *AMainWindow) {
    const QScreen *screen = ADialog->screen();
    const QRect area = AMainWindow != nullptr && AMainWindow->isVisible()
                           ? AMainWindow->frameGeometry()
                       : screen != nullptr ? screen->availableGeometry()
                                           : QRect();
    if (area.isValid()) {
        QRect frame = ADialog->frameGeometry();
        frame.moveCenter(area.center());
        ADialog->move(frame.topLeft());
    }
    EnsureFormOnScreen(ADialog);
}
