#pragma once
// A label that shows a running time (the elapsed or remaining time of the
// playing entry). For a screen reader its name is what the time is, followed
// by the time itself, e.g. "Remaining time – 02:41.3"; the label's text is
// also readable through the text interface. The name follows every change of
// the text, and QLabel announces each change to assistive technology as long
// as no accessible name is set on the label: give it a caption instead.

#include <QLabel>

class TCountdownLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TCountdownLabel(const QString &AText, QWidget *AParent = nullptr);

    // What the time is, e.g. "Elapsed time"; leads the accessible name.
    const QString &Caption() const { return FCaption; }
    void SetCaption(const QString &AValue);

    // What screen readers announce: the caption, a space and the text.
    QString AccessibleName() const;

private:
    QString FCaption;
};

// Registers the factory that gives every countdown label its interface.
// Safe to call more than once.
void InstallCountdownLabelAccessible();
