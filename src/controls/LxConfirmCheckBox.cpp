#include "controls/LxConfirmCheckBox.h"

#include <QKeyEvent>
#include <QMouseEvent>

TLxConfirmCheckBox::TLxConfirmCheckBox(QWidget *AParent) : QCheckBox(AParent) {}

TLxConfirmCheckBox::TLxConfirmCheckBox(const QString &AText, QWidget *AParent)
    : QCheckBox(AText, AParent) {}

bool TLxConfirmCheckBox::AllowChange() {
    bool Allow = true;
    if (OnBeforeChange)
        OnBeforeChange(this, Allow);
    return Allow;
}

void TLxConfirmCheckBox::Refuse() {
    setDown(false);
    update();
}

void TLxConfirmCheckBox::mouseReleaseEvent(QMouseEvent *AEvent) {
    // The same test the button makes before it clicks.
    const bool Clicks =
        AEvent->button() == Qt::LeftButton && isDown() && hitButton(AEvent->position().toPoint());
    if (Clicks && !AllowChange()) {
        Refuse();
        AEvent->accept();
        return;
    }
    QCheckBox::mouseReleaseEvent(AEvent);
}

void TLxConfirmCheckBox::keyReleaseEvent(QKeyEvent *AEvent) {
    const bool Clicks = (AEvent->key() == Qt::Key_Space || AEvent->key() == Qt::Key_Select) &&
                        !AEvent->isAutoRepeat() && isDown();
    if (Clicks && !AllowChange()) {
        Refuse();
        AEvent->accept();
        return;
    }
    QCheckBox::keyReleaseEvent(AEvent);
}

bool TLxConfirmCheckBox::event(QEvent *AEvent) {
    // The accelerator of the caption clicks without a press.
    if (AEvent->type() == QEvent::Shortcut && isEnabled() && !AllowChange()) {
        AEvent->accept();
        return true;
    }
    return QCheckBox::event(AEvent);
}
