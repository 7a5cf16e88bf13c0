#pragma once
// A TLxTrackBar that reports mouse presses, releases, moves and wheel turns
// to its owner through callbacks, after the slider has handled them (so the
// position the owner reads is already the new one).

#include "controls/LxTrackBar.h"

#include <functional>

class TTBar;

using TTBarMouseEvent = std::function<void(TTBar *ASender, Qt::MouseButton AButton,
                                           Qt::KeyboardModifiers AShift, int AX, int AY)>;
using TTBarMouseMoveEvent =
    std::function<void(TTBar *ASender, Qt::KeyboardModifiers AShift, int AX, int AY)>;
using TTBarNotifyEvent = std::function<void(TTBar *ASender)>;
using TTBarMouseWheelEvent = std::function<void(TTBar *ASender, int ADelta)>;

class TTBar : public TLxTrackBar {
    Q_OBJECT

public:
    explicit TTBar(QWidget *AParent = nullptr);
    explicit TTBar(Qt::Orientation AOrientation, QWidget *AParent = nullptr);

    // Left button only; coordinates relative to the bar.
    TTBarMouseEvent OnMouseUp;
    TTBarMouseEvent OnMouseDown;
    // Right button pressed.
    TTBarNotifyEvent OnMouseRight;
    TTBarMouseMoveEvent OnMouseMove;
    // Wheel delta in eighths of a degree (120 a notch).
    TTBarMouseWheelEvent OnMouseWheel;

protected:
    void mousePressEvent(QMouseEvent *AEvent) override;
    void mouseReleaseEvent(QMouseEvent *AEvent) override;
    void mouseMoveEvent(QMouseEvent *AEvent) override;
    void wheelEvent(QWheelEvent *AEvent) override;
};
