#include "controls/FloatEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <stdexcept>

namespace {

constexpr int MaxDigits = 18;
constexpr int ButtonWidth = 15;

QLocale UserLocale() {
    QLocale Locale;
    // Thousands separators are neither typed nor shown.
    Locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return Locale;
}

} // namespace

TCustomFloatEdit::TCustomFloatEdit(QWidget *AParent)
    : QLineEdit(AParent), FDec(UserLocale().decimalPoint().front()) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetValue(0);
}

bool TCustomFloatEdit::ToNumber(const QString &AText, double &ANumber) const {
    bool Ok = false;
    ANumber = UserLocale().toDouble(AText, &Ok);
    return Ok;
}

double TCustomFloatEdit::Value() const {
    const QString Text = text();
    double Number = 0;
    if (Text.isEmpty() || Text == u"-" || Text == QString(FDec) ||
        Text.compare(u"E", Qt::CaseInsensitive) == 0)
        Number = 0;
    else if (!ToNumber(Text, Number))
        Number = FMin;
    return std::clamp(Number, FMin, FMax);
}

void TCustomFloatEdit::SetValue(double AValue) {
    const double Clamped = std::clamp(AValue, FMin, FMax);
    // -0.04 with one decimal would read "-0.0".
    const double Rounded = UserLocale().toDouble(UserLocale().toString(Clamped, 'f', FDigits));
    setText(UserLocale().toString(Rounded == 0 ? 0.0 : Clamped, 'f', FDigits));
}

void TCustomFloatEdit::SetDigits(int AValue) {
    const int Digits = std::clamp(AValue, 0, MaxDigits);
    if (Digits == FDigits)
        return;
    const double Current = Value();
    FDigits = Digits;
    SetValue(Current);
}

void TCustomFloatEdit::SetMin(double AValue) {
    if (AValue == FMin)
        return;
    if (AValue > FMax)
        throw std::invalid_argument("Minimum value must not be greater than maximum value !");
    const double Current = Value();
    FMin = AValue;
    SetValue(Current);
}

void TCustomFloatEdit::SetMax(double AValue) {
    if (AValue == FMax)
        return;
    if (AValue < FMin)
        throw std::invalid_argument("Maximum value must not be less than minimum value !");
    const double Current = Value();
    FMax = AValue;
    SetValue(Current);
}

void TCustomFloatEdit::focusInEvent(QFocusEvent *AEvent) {
    QLineEdit::focusInEvent(AEvent);
    FOldVal = Value();
}

void TCustomFloatEdit::focusOutEvent(QFocusEvent *AEvent) {
    double Number = 0;
    SetValue(ToNumber(text(), Number) ? Number : FMin);
    QLineEdit::focusOutEvent(AEvent);
}

bool TCustomFloatEdit::AcceptCharacter(QChar ACharacter) {
    const bool IsDigit = ACharacter >= u'0' && ACharacter <= u'9';
    if (!IsDigit && ACharacter != u'-' && ACharacter != u'e' && ACharacter != FDec)
        return false;
    const QString Text = text();
    const int From = hasSelectedText() ? selectionStart() : cursorPosition();
    const int To = hasSelectedText() ? selectionEnd() : cursorPosition();
    const QString Candidate = Text.left(From) + ACharacter + Text.mid(To);
    if (Candidate == u"-") {
        // A negative number cannot come of it when Min is not below zero.
        if (FMin < 0) {
            setText(QStringLiteral("-0"));
            setSelection(1, 1);
        }
        return false;
    }
    if (Candidate == QString(FDec)) {
        if (FDigits > 0) {
            setText(u'0' + QString(FDec) + u'0');
            setSelection(2, 1);
        }
        return false;
    }
    double Number = 0;
    if (!ToNumber(Candidate, Number))
        return false;
    if (ACharacter == FDec && FDigits == 0)
        return false;
    if (!Candidate.contains(u'e', Qt::CaseInsensitive)) {
        const qsizetype Separator = Candidate.indexOf(FDec);
        if (Separator >= 0 && Candidate.size() - Separator - 1 > FDigits)
            return false;
    }
    // More digits only take a number further from zero, so a positive one
    // above Max (or a negative one below Min) can never come back; one still
    // short of the range may be on its way (typing 15 with Min 10 passes 1).
    if (Candidate.startsWith(u'-') ? Number < FMin : Number > FMax)
        return false;
    return true;
}

void TCustomFloatEdit::keyPressEvent(QKeyEvent *AEvent) {
    const int Key = AEvent->key();
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        if (OnEnterPress)
            OnEnterPress(this, Key);
        AEvent->accept();
        return;
    }
    if (Key == Qt::Key_Escape) {
        SetValue(FOldVal);
        selectAll();
        AEvent->accept();
        return;
    }
    const QString Typed = AEvent->text();
    // Keys without a character, control characters and shortcuts are the edit's.
    const bool Shortcut = AEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    if (Typed.size() != 1 || Typed.front() < QChar(32) || Shortcut) {
        QLineEdit::keyPressEvent(AEvent);
        return;
    }
    if (!AcceptCharacter(Typed.front())) {
        AEvent->accept();
        return;
    }
    QLineEdit::keyPressEvent(AEvent);
}

TSpinFloatEdit::TSpinFloatEdit(QWidget *AParent)
    : TCustomFloatEdit(AParent), btUp(new QToolButton(this)), btDown(new QToolButton(this)) {
    btUp->setArrowType(Qt::UpArrow);
    btDown->setArrowType(Qt::DownArrow);
    for (QToolButton *Button : {btUp, btDown}) {
        // The arrow keys do the same; the buttons are for the mouse.
        Button->setFocusPolicy(Qt::NoFocus);
        Button->setAutoRepeat(true);
        Button->setCursor(Qt::ArrowCursor);
    }
    btUp->setAccessibleName(QStringLiteral("Up"));
    btDown->setAccessibleName(QStringLiteral("Down"));
    connect(btUp, &QToolButton::clicked, this, &TSpinFloatEdit::btUpClick);
    connect(btDown, &QToolButton::clicked, this, &TSpinFloatEdit::btDownClick);
    setTextMargins(0, 0, ButtonWidth + 2, 0);
    PlaceButtons();
}

void TSpinFloatEdit::Step(bool AUp) {
    if (isReadOnly()) {
        QApplication::beep();
        return;
    }
    if (OnComputedIncrement) {
        OnComputedIncrement(this, AUp);
        return;
    }
    SetValue(Value() + (AUp ? FIncrement : -FIncrement));
}

void TSpinFloatEdit::UpStep() {
    Step(true);
}

void TSpinFloatEdit::DownStep() {
    Step(false);
}

void TSpinFloatEdit::btUpClick() {
    UpStep();
    setFocus();
}

void TSpinFloatEdit::btDownClick() {
    DownStep();
    setFocus();
}

void TSpinFloatEdit::keyPressEvent(QKeyEvent *AEvent) {
    if (!FEditorEnabled) {
        AEvent->accept();
        return;
    }
    if (AEvent->key() == Qt::Key_Up) {
        UpStep();
        AEvent->accept();
        return;
    }
    if (AEvent->key() == Qt::Key_Down) {
        DownStep();
        AEvent->accept();
        return;
    }
    TCustomFloatEdit::keyPressEvent(AEvent);
}

void TSpinFloatEdit::wheelEvent(QWheelEvent *AEvent) {
    const int Delta = AEvent->angleDelta().y();
    if (Delta != 0)
        Step(Delta > 0);
    AEvent->accept();
}

void TSpinFloatEdit::contextMenuEvent(QContextMenuEvent *AEvent) {
    // Its paste and cut would change a text the keyboard may not.
    if (!FEditorEnabled) {
        AEvent->accept();
        return;
    }
    TCustomFloatEdit::contextMenuEvent(AEvent);
}

void TSpinFloatEdit::resizeEvent(QResizeEvent *AEvent) {
    TCustomFloatEdit::resizeEvent(AEvent);
    PlaceButtons();
}

void TSpinFloatEdit::PlaceButtons() {
    const int Height = std::max(2, height() - 2);
    const int Left = width() - ButtonWidth - 1;
    btUp->setGeometry(Left, 1, ButtonWidth, Height / 2);
    btDown->setGeometry(Left, 1 + Height / 2, ButtonWidth, Height - Height / 2);
}
