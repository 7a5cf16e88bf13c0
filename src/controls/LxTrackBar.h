#pragma once
// An integer slider that answers screen readers: a spoken name (the caption
// of an associated label, else AccessibleName), a value text the owner may
// replace (OnGetAccessibleValue), a description, and the slider's range
// through the value interface. The effect editors are built from it.

#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <QString>
#include <functional>

class QAccessibleEvent;

class TLxTrackBar;

// May replace the spoken value text (the position in decimal by default).
using TLxTrackBarSLiderGetValue = std::function<void(TLxTrackBar *ASender, QString &AValue)>;

class TLxTrackBar : public QSlider {
    Q_OBJECT
    Q_PROPERTY(QString AccessibleName READ AccessibleName WRITE SetAccessibleName)
    Q_PROPERTY(
        QString AccessibleDescription READ AccessibleDescription WRITE SetAccessibleDescription)

public:
    explicit TLxTrackBar(QWidget *AParent = nullptr);
    explicit TLxTrackBar(Qt::Orientation AOrientation, QWidget *AParent = nullptr);

    const QString &AccessibleName() const { return FAccessibleName; }
    void SetAccessibleName(const QString &AValue);
    const QString &AccessibleDescription() const { return FAccessibleDescription; }
    void SetAccessibleDescription(const QString &AValue);

    // Not owned; forgotten when the label is destroyed.
    QLabel *AssociateLabel() const { return FAssociateLabel; }
    void SetAssociateLabel(QLabel *ALabel);

    const TLxTrackBarSLiderGetValue &OnGetAccessibleValue() const { return FOnGetAccessibleValue; }
    void SetOnGetAccessibleValue(TLxTrackBarSLiderGetValue AHandler);

    // What a screen reader hears as name and value.
    QString SpokenName() const;
    QString SpokenValue() const;

protected:
    // The value text before OnGetAccessibleValue sees it.
    virtual QString DefaultValueText() const;
    // Runs on every change of the position, by the user or from code;
    // overrides update what they show, then call NotifyValueChanged.
    virtual void PositionChanged(int APosition);
    // Tells assistive technology that the spoken value changed.
    void NotifyValueChanged();

private:
    void Init();

    QString FAccessibleName;
    QString FAccessibleDescription;
    QPointer<QLabel> FAssociateLabel;
    TLxTrackBarSLiderGetValue FOnGetAccessibleValue;
};

// Where the track bars' accessibility notifications go:
// QAccessible::updateAccessibility unless a test routes them elsewhere (the
// offscreen platform has no accessibility bridge). Returns the previous one.
using TLxTrackBarEventSink = void (*)(QAccessibleEvent *AEvent);
TLxTrackBarEventSink SetLxTrackBarEventSink(TLxTrackBarEventSink ASink);
