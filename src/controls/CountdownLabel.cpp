#include "controls/CountdownLabel.h"

#include "controls/StaticTextAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class TCountdownLabelAccessible : public QAccessibleWidget, public TStaticTextInterface {
public:
    explicit TCountdownLabelAccessible(TCountdownLabel *ALabel)
        : QAccessibleWidget(ALabel, QAccessible::StaticText) {}

    using TStaticTextInterface::text; // both interfaces have a text()
    QString text(QAccessible::Text AKind) const override {
        switch (AKind) {
        case QAccessible::Name:
            return Label()->AccessibleName();
        case QAccessible::Value:
            return Label()->text();
        default:
            return QAccessibleWidget::text(AKind);
        }
    }

    void *interface_cast(QAccessible::InterfaceType AType) override {
        if (AType == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(AType);
    }

    QString ShownText() const override { return Label()->text(); }

private:
    TCountdownLabel *Label() const { return static_cast<TCountdownLabel *>(widget()); }
};

QAccessibleInterface *CountdownLabelFactory(const QString &AClassName, QObject *AObject) {
    if (AClassName == QLatin1String("TCountdownLabel") && AObject && AObject->isWidgetType())
        return new TCountdownLabelAccessible(static_cast<TCountdownLabel *>(AObject));
    return nullptr;
}

} // namespace

TCountdownLabel::TCountdownLabel(const QString &AText, QWidget *AParent) : QLabel(AText, AParent) {
    InstallCountdownLabelAccessible();
}

void TCountdownLabel::SetCaption(const QString &AValue) {
    if (AValue == FCaption)
        return;
    FCaption = AValue;
    QAccessibleEvent Event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&Event);
}

QString TCountdownLabel::AccessibleName() const {
    return FCaption.isEmpty() ? text() : FCaption + u' ' + text();
}

void InstallCountdownLabelAccessible() {
    static const bool Installed = [] {
        QAccessible::installFactory(CountdownLabelFactory);
        return true;
    }();
    Q_UNUSED(Installed);
}
