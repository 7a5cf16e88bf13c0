#include "controls/TBar.h"

#include <QMouseEvent>
#include <QWheelEvent>

TTBar::TTBar(QWidget *AParent) : TLxTrackBar(AParent) {}

TTBar::TTBar(Qt::Orientation AOrientation, QWidget *AParent) : TLxTrackBar(AOrientation, AParent) {}

void TTBar::mousePressEvent(QMouseEvent *AEvent) {
    TLxTrackBar::mousePressEvent(AEvent);
    const QPoint At = AEvent->position().toPoint();
    if (AEvent->button() == Qt::LeftButton && OnMouseDown)
        OnMouseDown(this, Qt::LeftButton, AEvent->modifiers(), At.x(), At.y());
    else if (AEvent->button() == Qt::RightButton && OnMouseRight)
        OnMouseRight(this);
}

void TTBar::mouseReleaseEvent(QMouseEvent *AEvent) {
    TLxTrackBar::mouseReleaseEvent(AEvent);
    const QPoint At = AEvent->position().toPoint();
    if (AEvent->button() == Qt::LeftButton && OnMouseUp)
        OnMouseUp(this, Qt::LeftButton, AEvent->modifiers(), At.x(), At.y());
}

void TTBar::mouseMoveEvent(QMouseEvent *AEvent) {
    TLxTrackBar::mouseMoveEvent(AEvent);
    const QPoint At = AEvent->position().toPoint();
    if (OnMouseMove)
        OnMouseMove(this, AEvent->modifiers(), At.x(), At.y());
}

void TTBar::wheelEvent(QWheelEvent *AEvent) {
    TLxTrackBar::wheelEvent(AEvent);
    if (OnMouseWheel)
        OnMouseWheel(this, AEvent->angleDelta().y());
}
