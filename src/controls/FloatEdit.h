#pragma once
// One-line edits for a decimal number in the user's number format. Every
// keystroke is checked so the text stays a number with at most Digits
// decimals that can still end within Min … Max; leaving the edit reformats
// and clamps it, Escape brings back the value it had on entry.

#include <QLineEdit>
#include <functional>

class QToolButton;
class TCustomFloatEdit;

using TFloatEditKeyEvent = std::function<void(TCustomFloatEdit *ASender, int AKey)>;

class TCustomFloatEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(int Digits READ Digits WRITE SetDigits)
    Q_PROPERTY(double Value READ Value WRITE SetValue)
    Q_PROPERTY(double Min READ Min WRITE SetMin)
    Q_PROPERTY(double Max READ Max WRITE SetMax)

public:
    explicit TCustomFloatEdit(QWidget *AParent = nullptr);

    // Decimals shown, 0 … 18.
    int Digits() const { return FDigits; }
    void SetDigits(int AValue);
    // Throw std::invalid_argument (limits unchanged) when Min would pass Max.
    double Min() const { return FMin; }
    void SetMin(double AValue);
    double Max() const { return FMax; }
    void SetMax(double AValue);

    // The text as a number, clamped to Min … Max: "-", the separator alone,
    // "E" and an empty text are 0, anything else that is no number is Min.
    double Value() const;
    void SetValue(double AValue);

    // The user's decimal separator when the edit was made.
    QChar DecimalSeparator() const { return FDec; }

    // Enter or Return; the key goes no further.
    TFloatEditKeyEvent OnEnterPress;

protected:
    void keyPressEvent(QKeyEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;
    void focusOutEvent(QFocusEvent *AEvent) override;

    // Whether typing ACharacter over the selection (or at the cursor) keeps
    // a number that can still be completed within Min … Max. Handles "-"
    // and the separator typed alone by writing "-0" or "0,0" itself.
    bool AcceptCharacter(QChar ACharacter);

private:
    bool ToNumber(const QString &AText, double &ANumber) const;

    int FDigits = 1;
    double FMin = 0;
    double FMax = 100;
    QChar FDec;
    double FOldVal = 0;
};

class TSpinFloatEdit;

// Replaces the step of the spin buttons and arrow keys (true: up).
using TComputedIncrementEvent = std::function<void(TSpinFloatEdit *ASender, bool bIncrement)>;

class TSpinFloatEdit : public TCustomFloatEdit {
    Q_OBJECT
    Q_PROPERTY(double Increment READ Increment WRITE SetIncrement)
    Q_PROPERTY(bool EditorEnabled READ EditorEnabled WRITE SetEditorEnabled)

public:
    explicit TSpinFloatEdit(QWidget *AParent = nullptr);

    double Increment() const { return FIncrement; }
    void SetIncrement(double AValue) { FIncrement = AValue; }
    // When false, the keyboard cannot change the text; the spin buttons and
    // the wheel still step.
    bool EditorEnabled() const { return FEditorEnabled; }
    void SetEditorEnabled(bool AValue) { FEditorEnabled = AValue; }

    // One step up or down; a read-only edit beeps instead.
    void UpStep();
    void DownStep();

    QToolButton *UpButton() const { return btUp; }
    QToolButton *DownButton() const { return btDown; }

    TComputedIncrementEvent OnComputedIncrement;

protected:
    void keyPressEvent(QKeyEvent *AEvent) override;
    void wheelEvent(QWheelEvent *AEvent) override;
    void resizeEvent(QResizeEvent *AEvent) override;
    void contextMenuEvent(QContextMenuEvent *AEvent) override;

private:
    void Step(bool AUp);
    void btUpClick();
    void btDownClick();
    void PlaceButtons();

    double FIncrement = 1.0;
    QToolButton *btUp;
    QToolButton *btDown;
    bool FEditorEnabled = true;
};
