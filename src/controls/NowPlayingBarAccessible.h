#pragma once
// What screen readers see of a now-playing bar: a focusable static text whose
// name is the bar's accessible text (label caption, title, additional title).

#include <QAccessibleWidget>

class TNowPlayingBar;

class TNowPlayingBarAccessible : public QAccessibleWidget {
public:
    explicit TNowPlayingBarAccessible(TNowPlayingBar *ABar);

    // Name and value both carry the accessible text, so a reader that
    // follows value changes announces the new title as well.
    QString text(QAccessible::Text AKind) const override;

private:
    TNowPlayingBar *Bar() const;
};

// Registers the factory that gives every now-playing bar its interface.
// Safe to call more than once; the first call registers.
void InstallNowPlayingBarAccessible();

// Tells assistive technology that a bar's accessible text changed.
void NotifyNowPlayingBarTextChanged(TNowPlayingBar *ABar);

// Where those notifications go: QAccessible::updateAccessibility unless a
// test routes them elsewhere (the offscreen platform has no accessibility
// bridge and would drop them). Returns the previous receiver.
using TAccessibleEventSink = void (*)(QAccessibleEvent *AEvent);
TAccessibleEventSink SetNowPlayingBarEventSink(TAccessibleEventSink ASink);
