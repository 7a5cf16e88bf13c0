#include "controls/NowPlayingBarAccessible.h"

#include "controls/NowPlayingBar.h"

#include <utility>

TNowPlayingBarAccessible::TNowPlayingBarAccessible(TNowPlayingBar *ABar)
    : QAccessibleWidget(ABar, QAccessible::StaticText) {}

TNowPlayingBar *TNowPlayingBarAccessible::Bar() const {
    return static_cast<TNowPlayingBar *>(widget());
}

QString TNowPlayingBarAccessible::text(QAccessible::Text AKind) const {
    switch (AKind) {
    case QAccessible::Name:
        // A name given to the widget explicitly (by the form) still wins.
        if (!widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        return Bar()->AccessibleText();
    case QAccessible::Value:
        return Bar()->AccessibleText();
    default:
        return QAccessibleWidget::text(AKind);
    }
}

namespace {

QAccessibleInterface *NowPlayingBarFactory(const QString &AClassName, QObject *AObject) {
    if (AClassName == QLatin1String("TNowPlayingBar") && AObject && AObject->isWidgetType())
        return new TNowPlayingBarAccessible(static_cast<TNowPlayingBar *>(AObject));
    return nullptr;
}

TAccessibleEventSink EventSink = &QAccessible::updateAccessibility;

} // namespace

void InstallNowPlayingBarAccessible() {
    static const bool Installed = [] {
        QAccessible::installFactory(NowPlayingBarFactory);
        return true;
    }();
    Q_UNUSED(Installed);
}

void NotifyNowPlayingBarTextChanged(TNowPlayingBar *ABar) {
    QAccessibleEvent NameEvent(ABar, QAccessible::NameChanged);
    EventSink(&NameEvent);
    QAccessibleValueChangeEvent ValueEvent(ABar, ABar->AccessibleText());
    EventSink(&ValueEvent);
}

TAccessibleEventSink SetNowPlayingBarEventSink(TAccessibleEventSink ASink) {
    return std::exchange(EventSink, ASink ? ASink : &QAccessible::updateAccessibility);
}
