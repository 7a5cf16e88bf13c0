#pragma once
// What screen readers see of a TLxTrackBar (and the bars built on it): a
// slider whose name, value text and description come from the bar, and whose
// range and position are read and set through the value interface.

#include <QAccessibleWidget>

class TLxTrackBar;

class TLxTrackBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TLxTrackBarAccessible(TLxTrackBar *ABar);

    QString text(QAccessible::Text AKind) const override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType AType) override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant &AValue) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    TLxTrackBar *Bar() const;
};

// Registers the factory that gives every TLxTrackBar its interface. Safe to
// call more than once; the first call registers.
void InstallLxTrackBarAccessible();
