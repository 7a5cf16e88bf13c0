#include "controls/LxTrackBar.h"

#include "controls/LxTrackBarAccessible.h"
#include "core/Utils.h"

#include <QAccessible>
#include <QLabel>
#include <utility>

namespace {
TLxTrackBarEventSink EventSink = &QAccessible::updateAccessibility;
} // namespace

TLxTrackBarEventSink SetLxTrackBarEventSink(TLxTrackBarEventSink ASink) {
    return std::exchange(EventSink, ASink ? ASink : &QAccessible::updateAccessibility);
}

TLxTrackBar::TLxTrackBar(QWidget *AParent) : QSlider(AParent) {
    Init();
}

TLxTrackBar::TLxTrackBar(Qt::Orientation AOrientation, QWidget *AParent)
    : QSlider(AOrientation, AParent) {
    Init();
}

void TLxTrackBar::Init() {
    InstallLxTrackBarAccessible();
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractSlider::valueChanged, this,
            [this](int APosition) { PositionChanged(APosition); });
}

void TLxTrackBar::SetAccessibleName(const QString &AValue) {
    if (FAccessibleName == AValue)
        return;
    FAccessibleName = AValue;
    QAccessibleEvent Event(this, QAccessible::NameChanged);
    EventSink(&Event);
}

void TLxTrackBar::SetAccessibleDescription(const QString &AValue) {
    if (FAccessibleDescription == AValue)
        return;
    FAccessibleDescription = AValue;
    QAccessibleEvent Event(this, QAccessible::DescriptionChanged);
    EventSink(&Event);
}

void TLxTrackBar::SetAssociateLabel(QLabel *ALabel) {
    FAssociateLabel = ALabel;
}

void TLxTrackBar::SetOnGetAccessibleValue(TLxTrackBarSLiderGetValue AHandler) {
    FOnGetAccessibleValue = std::move(AHandler);
}

QString TLxTrackBar::SpokenName() const {
    if (FAssociateLabel)
        return StripAccelerators(FAssociateLabel->text());
    return FAccessibleName;
}

void TLxTrackBar::PositionChanged(int APosition) {
    Q_UNUSED(APosition);
    NotifyValueChanged();
}

QString TLxTrackBar::DefaultValueText() const {
    return QString::number(value());
}

QString TLxTrackBar::SpokenValue() const {
    QString Text = DefaultValueText();
    if (FOnGetAccessibleValue)
        FOnGetAccessibleValue(const_cast<TLxTrackBar *>(this), Text);
    return Text;
}

void TLxTrackBar::NotifyValueChanged() {
    QAccessibleValueChangeEvent Event(this, SpokenValue());
    EventSink(&Event);
}
