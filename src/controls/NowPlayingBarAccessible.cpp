#include "controls/NowPlayingBarAccessible.h"

#include "controls/NowPlayingBar.h"

#include <utility>

TNowPlayingBarAccessible::TNowPlayingBarAccessible(TNowPlayingBar *ABar)
    : QAccessibleWidget(ABar, QAccessible::StaticText) {}

TNowPlayingBar *TNowPlayingBarAccessible::Bar() const {
    return static_cast<TNowPlayingBar *>(widget());
}

QString TNowPlayingBarAccessible::ShownText() const {
    // The name the window gives the bar says which bar it is; alone it would
    // hide the title from the reader, so it only leads.
    const QString Caption = widget()->accessibleName();
    if (Caption.isEmpty())
        return Bar()->AccessibleText();
    return Caption + u' ' + Bar()->AccessibleText();
}

QString TNowPlayingBarAccessible::text(QAccessible::Text AKind) const {
    switch (AKind) {
    case QAccessible::Name:
    case QAccessible::Value:
        return ShownText();
    default:
        return QAccessibleWidget::text(AKind);
    }
}

void *TNowPlayingBarAccessible::interface_cast(QAccessible::InterfaceType AType) {
    if (AType == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(AType);
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

void NotifyNowPlayingBarTextChanged(TNowPlayingBar *ABar, const QString &AOldText) {
    QAccessibleEvent NameEvent(ABar, QAccessible::NameChanged);
    EventSink(&NameEvent);
    QAccessibleValueChangeEvent ValueEvent(ABar, ABar->AccessibleText());
    EventSink(&ValueEvent);
    // The caption that leads the text stays; what follows it is replaced.
    const QString Caption = ABar->accessibleName();
    const int At = Caption.isEmpty() ? 0 : static_cast<int>(Caption.size()) + 1;
    QAccessibleTextUpdateEvent TextEvent(ABar, At, AOldText, ABar->AccessibleText());
    EventSink(&TextEvent);
}

TAccessibleEventSink SetNowPlayingBarEventSink(TAccessibleEventSink ASink) {
    return std::exchange(EventSink, ASink ? ASink : &QAccessible::updateAccessibility);
}
