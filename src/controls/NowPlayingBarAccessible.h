#pragma once
// What screen readers see of a now-playing bar: a focusable static text whose
// name is what the bar is for (the name the window gives it, e.g. "Current
// Track") followed by the bar's accessible text (label caption, title,
// additional title), so focusing the bar announces both. The same text can be
// reviewed through the text interface.

#include "controls/StaticTextAccessible.h"

#include <QAccessibleWidget>

class TNowPlayingBar;

class TNowPlayingBarAccessible : public QAccessibleWidget, public TStaticTextInterface {
public:
    explicit TNowPlayingBarAccessible(TNowPlayingBar *ABar);

    // Name and value both carry the full text, so a reader that follows
    // either announces the new title.
    using TStaticTextInterface::text; // both interfaces have a text()
    QString text(QAccessible::Text AKind) const override;
    void *interface_cast(QAccessible::InterfaceType AType) override;
    QString ShownText() const override;

private:
    TNowPlayingBar *Bar() const;
};

// Registers the factory that gives every now-playing bar its interface.
// Safe to call more than once; the first call registers.
void InstallNowPlayingBarAccessible();

// Tells assistive technology that a bar's accessible text changed from AOldText.
void NotifyNowPlayingBarTextChanged(TNowPlayingBar *ABar, const QString &AOldText);

// Where those notifications go: QAccessible::updateAccessibility unless a
// test routes them elsewhere (the offscreen platform has no accessibility
// bridge and would drop them). Returns the previous receiver.
using TAccessibleEventSink = void (*)(QAccessibleEvent *AEvent);
TAccessibleEventSink SetNowPlayingBarEventSink(TAccessibleEventSink ASink);
