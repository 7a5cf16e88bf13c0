#include "controls/LBar.h"

#include "core/Utils.h"

#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <algorithm>
#include <cmath>

TLBar::TLBar(QWidget *AParent)
    : TTBar(Qt::Horizontal, AParent), Label1(new QLabel(QStringLiteral("Caption"))),
      Label2(new QLabel) {
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetAccessibleName(Label1->text());
    setTickPosition(QSlider::NoTicks);
    setRange(0, 0);
    AdoptLabels();
    Label2->setText(ValueText());
    Label1->adjustSize();
    Label2->adjustSize();
}

TLBar::~TLBar() {
    // The labels sit in the parent, which may outlive the bar.
    delete Label1.data();
    delete Label2.data();
}

QString TLBar::Caption() const {
    return Label1->text();
}

void TLBar::SetCaption(const QString &AValue) {
    Label1->setText(AValue);
    Label1->adjustSize();
    SetAccessibleName(StripAccelerators(AValue));
    PlaceLabels();
}

void TLBar::SetLabelSpacing(int AValue) {
    FLabelSpacing = AValue;
    PlaceLabels();
}

int TLBar::ToPosition(double AValue) const {
    // Halves go to the even neighbour (the default rounding mode).
    const double Scaled = std::nearbyint(AValue * _mult);
    return static_cast<int>(std::clamp(Scaled, -2147483647.0, 2147483647.0));
}

void TLBar::ApplyRange() {
    const QSignalBlocker Blocker(this);
    const int Before = value();
    setRange(ToPosition(FMinValue), ToPosition(std::max(FMinValue, FMaxValue)));
    // A position clipped by the new range is a new value.
    if (value() != Before || FValue < FMinValue || FValue > FMaxValue)
        PositionChanged(value());
}

void TLBar::SetPrec(int AValue) {
    FPrec = std::clamp(AValue, 0, MaxPrec);
    _mult = static_cast<int>(std::lround(std::pow(10.0, FPrec)));
    ApplyRange();
    Label2->setText(ValueText());
    Label2->adjustSize();
}

void TLBar::SetMinValue(double AValue) {
    FMinValue = AValue;
    ApplyRange();
}

void TLBar::SetMaxValue(double AValue) {
    FMaxValue = AValue;
    ApplyRange();
}

void TLBar::SetUnit(const QString &AValue) {
    f_unit = AValue;
    Label2->setText(ValueText());
    Label2->adjustSize();
}

void TLBar::SetShowSign(bool AValue) {
    FShowSign = AValue;
    Label2->setText(ValueText());
    Label2->adjustSize();
}

void TLBar::SetValue(double AValue) {
    const double Clamped = std::clamp(AValue, FMinValue, std::max(FMinValue, FMaxValue));
    const int Position = ToPosition(Clamped);
    if (Position != value()) {
        setValue(Position); // PositionChanged does the rest
        return;
    }
    // Same position: the value still becomes what the slider shows.
    const double Shown = static_cast<double>(Position) / _mult;
    if (Shown == FValue)
        return;
    PositionChanged(Position);
}

void TLBar::PositionChanged(int APosition) {
    FValue = static_cast<double>(APosition) / _mult;
    Label2->setText(ValueText());
    Label2->adjustSize();
    PlaceLabels();
    if (OnValueChange)
        OnValueChange(this);
    NotifyValueChanged();
}

QString TLBar::ValueText() const {
    QLocale Locale;
    Locale.setNumberOptions(QLocale::OmitGroupSeparator);
    // Rounding can leave -0 ("-0.0"); zero has no sign of its own.
    const double Shown = FValue == 0 ? 0.0 : FValue;
    QString Text = Locale.toString(Shown, 'f', FPrec);
    if (FShowSign && Shown >= 0)
        Text.prepend(u'+');
    if (!f_unit.isEmpty())
        Text += u' ' + f_unit;
    return Text;
}

QString TLBar::DefaultValueText() const {
    return ValueText();
}

void TLBar::AdoptLabels() {
    QWidget *Owner = parentWidget();
    Label1->setParent(Owner);
    Label2->setParent(Owner);
    if (Owner) {
        Label1->show();
        Label2->show();
    }
    PlaceLabels();
}

bool TLBar::event(QEvent *AEvent) {
    if (AEvent->type() == QEvent::ParentChange)
        AdoptLabels();
    else if (AEvent->type() == QEvent::Show)
        PlaceLabels(); // moves of a hidden bar are only reported when it shows
    return TTBar::event(AEvent);
}

void TLBar::moveEvent(QMoveEvent *AEvent) {
    TTBar::moveEvent(AEvent);
    PlaceLabels();
}

void TLBar::resizeEvent(QResizeEvent *AEvent) {
    TTBar::resizeEvent(AEvent);
    PlaceLabels();
}

void TLBar::PlaceLabels() {
    const QRect Bar = geometry();
    const int Y = Bar.top() + Bar.height() / 2 - Label1->height() / 2 - 2;
    Label1->move(Bar.left() - Label1->width() - FLabelSpacing, Y);
    Label2->move(Bar.left() + Bar.width() + FLabelSpacing, Y);
}
