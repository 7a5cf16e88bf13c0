#pragma once
// Driving windows that run their own event loop (modal dialogs, pop-up
// menus, input dialogs) from a test, and capturing message boxes.

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

// A message box as the presenter was asked to show it.
struct TShownBox {
    QString Text;
    QString Caption;
    int Flags = 0;
};

// Runs AAct on the window AFind names once it is open and visible; AFind is
// asked every few milliseconds from the event loop the window runs.
inline void WhenOpen(std::function<QWidget *()> AFind, std::function<void(QWidget *)> AAct) {
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, AFind, AAct] {
        QWidget *widget = AFind();
        if (widget == nullptr || !widget->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        AAct(widget);
    });
    timer->start();
}

// The active modal window when it is a T.
template <class T> QWidget *Modal() {
    return qobject_cast<T *>(QApplication::activeModalWidget());
}

// Runs AAct on the next modal dialog of class TDialog once it is shown.
template <class TDialog> void WhenModalOpen(std::function<void(TDialog *)> AAct) {
    WhenOpen(Modal<TDialog>, [AAct](QWidget *AWidget) { AAct(static_cast<TDialog *>(AWidget)); });
}
