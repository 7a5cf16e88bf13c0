#pragma once
// A slider for a decimal value with a unit: a caption label on its left, a
// value label on its right ("-12 dB", "+1.5 dB"), the value mapped onto the
// integer slider by Prec decimals (position = value × 10^Prec). The labels
// live in the bar's parent and follow the bar when it moves or resizes.

#include "controls/TBar.h"

#include <QLabel>
#include <QPointer>
#include <QString>
#include <functional>

class TLBar : public TTBar {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int LabelSpacing READ LabelSpacing WRITE SetLabelSpacing)
    Q_PROPERTY(double Value READ Value WRITE SetValue)
    Q_PROPERTY(double MinValue READ MinValue WRITE SetMinValue)
    Q_PROPERTY(double MaxValue READ MaxValue WRITE SetMaxValue)
    Q_PROPERTY(int Prec READ Prec WRITE SetPrec)
    Q_PROPERTY(QString _unit READ Unit WRITE SetUnit)
    Q_PROPERTY(bool ShowSign READ ShowSign WRITE SetShowSign)

public:
    explicit TLBar(QWidget *AParent = nullptr);
    ~TLBar() override;

    QString Caption() const;
    void SetCaption(const QString &AValue);
    int LabelSpacing() const { return FLabelSpacing; }
    void SetLabelSpacing(int AValue);

    double Value() const { return FValue; }
    // Clamped to MinValue … MaxValue and rounded to Prec decimals.
    void SetValue(double AValue);
    double MinValue() const { return FMinValue; }
    void SetMinValue(double AValue);
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double AValue);
    // 0 … MaxPrec decimals.
    int Prec() const { return FPrec; }
    void SetPrec(int AValue);
    const QString &Unit() const { return f_unit; }
    void SetUnit(const QString &AValue);
    bool ShowSign() const { return FShowSign; }
    void SetShowSign(bool AValue);

    // The value as shown: Prec decimals in the user's number format, then
    // the unit after a space when there is one.
    QString ValueText() const;

    QLabel *CaptionLabel() const { return Label1; }
    QLabel *ValueLabel() const { return Label2; }

    // Called once for every change of the value, by the user or from code.
    std::function<void(TLBar *ASender)> OnValueChange;

    static constexpr int MaxPrec = 6;

protected:
    QString DefaultValueText() const override;
    void PositionChanged(int APosition) override;
    bool event(QEvent *AEvent) override;
    void moveEvent(QMoveEvent *AEvent) override;
    void resizeEvent(QResizeEvent *AEvent) override;

private:
    void ApplyRange();
    void PlaceLabels();
    void AdoptLabels();
    int ToPosition(double AValue) const;

    // Owned, but children of the parent, which may delete them first.
    QPointer<QLabel> Label1;
    QPointer<QLabel> Label2;
    int FLabelSpacing = 4;
    double FValue = 0;
    int _mult = 1;
    QString f_unit;
    int FPrec = 0;
    double FMaxValue = 0;
    double FMinValue = 0;
    bool FShowSign = false;
    bool FSettingValue = false;
};
