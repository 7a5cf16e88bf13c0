#include "dspwindows/DialogPlacement.h"

#include "controls/WindowHelpers.h"

#include <QWidget>

void CentreOnMainWindow(QWidget *ADialog, const QWidget *AMainWindow) {
    if (AMainWindow != nullptr && AMainWindow->isVisible()) {
        const QRect frame = ADialog->frameGeometry();
        const QPoint centre = AMainWindow->frameGeometry().center();
        ADialog->move(centre.x() - frame.width() / 2, centre.y() - frame.height() / 2);
    }
    EnsureFormOnScreen(ADialog);
}
