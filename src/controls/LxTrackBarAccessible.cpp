#include "controls/LxTrackBarAccessible.h"

#include "controls/LxTrackBar.h"

TLxTrackBarAccessible::TLxTrackBarAccessible(TLxTrackBar *ABar)
    : QAccessibleWidget(ABar, QAccessible::Slider) {}

TLxTrackBar *TLxTrackBarAccessible::Bar() const {
    return static_cast<TLxTrackBar *>(widget());
}

QString TLxTrackBarAccessible::text(QAccessible::Text AKind) const {
    switch (AKind) {
    case QAccessible::Name:
        return Bar()->SpokenName();
    case QAccessible::Value:
        return Bar()->SpokenValue();
    case QAccessible::Description:
        return Bar()->AccessibleDescription();
    default:
        return QAccessibleWidget::text(AKind);
    }
}

QAccessible::State TLxTrackBarAccessible::state() const {
    QAccessible::State State = QAccessibleWidget::state();
    State.focusable = true;
    State.focused = Bar()->hasFocus();
    return State;
}

void *TLxTrackBarAccessible::interface_cast(QAccessible::InterfaceType AType) {
    if (AType == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface *>(this);
    return QAccessibleWidget::interface_cast(AType);
}

QVariant TLxTrackBarAccessible::currentValue() const {
    return Bar()->value();
}

void TLxTrackBarAccessible::setCurrentValue(const QVariant &AValue) {
    // The slider keeps the position within its range.
    Bar()->setValue(AValue.toInt());
}

QVariant TLxTrackBarAccessible::maximumValue() const {
    return Bar()->maximum();
}

QVariant TLxTrackBarAccessible::minimumValue() const {
    return Bar()->minimum();
}

QVariant TLxTrackBarAccessible::minimumStepSize() const {
    return Bar()->singleStep();
}

namespace {

QAccessibleInterface *LxTrackBarFactory(const QString &AClassName, QObject *AObject) {
    // Classes derived from the bar are offered under their base name too.
    if (AClassName == QLatin1String("TLxTrackBar") && AObject && AObject->isWidgetType())
        return new TLxTrackBarAccessible(static_cast<TLxTrackBar *>(AObject));
    return nullptr;
}

} // namespace

void InstallLxTrackBarAccessible() {
    static const bool Installed = [] {
        QAccessible::installFactory(LxTrackBarFactory);
        return true;
    }();
    Q_UNUSED(Installed);
}
