// What a screen reader gets of the value sliders: the spoken name (from an
// associated label or AccessibleName), the value text and its override, the
// role and state, the range through the value interface, and a value change
// event carrying the new text.

#include "controls/LxTrackBar.h"

#include "controls/LBar.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct TSeenEvent {
    QAccessible::Event Type;
    QObject *Object;
    QString Value;
};

std::vector<TSeenEvent> &SeenEvents() {
    static std::vector<TSeenEvent> Events;
    return Events;
}

void RecordEvent(QAccessibleEvent *AEvent) {
    QString Value;
    if (AEvent->type() == QAccessible::ValueChanged)
        Value = static_cast<QAccessibleValueChangeEvent *>(AEvent)->value().toString();
    SeenEvents().push_back({AEvent->type(), AEvent->object(), Value});
}

QAccessibleInterface *Accessible(QObject *AObject) {
    QAccessibleInterface *Interface = QAccessible::queryAccessibleInterface(AObject);
    if (!Interface)
        qFatal("no accessible interface");
    return Interface;
}

} // namespace

class TLxTrackBarTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        SetLxTrackBarEventSink(RecordEvent);
        SeenEvents().clear();
    }
    void cleanupTestCase() { SetLxTrackBarEventSink(nullptr); }

    void nameComesFromTheLabelOrAccessibleName_data() {
        QTest::addColumn<QString>("AccessibleName");
        QTest::addColumn<QString>("LabelText");
        QTest::addColumn<QString>("Spoken");
        QTest::newRow("accessible name") << u"Gain"_s << QString() << u"Gain"_s;
        QTest::newRow("label wins") << u"Gain"_s << u"&Threshold"_s << u"Threshold"_s;
        QTest::newRow("label, escaped ampersand")
            << QString() << u"Bass && Treble"_s << u"Bass  Treble"_s;
        QTest::newRow("nothing") << QString() << QString() << QString();
    }
    void nameComesFromTheLabelOrAccessibleName() {
        QFETCH(QString, AccessibleName);
        QFETCH(QString, LabelText);
        QFETCH(QString, Spoken);
        QWidget Form;
        auto *Bar = new TLxTrackBar(&Form);
        auto *Label = new QLabel(LabelText, &Form);
        Bar->SetAccessibleName(AccessibleName);
        if (!LabelText.isEmpty())
            Bar->SetAssociateLabel(Label);
        QCOMPARE(Accessible(Bar)->text(QAccessible::Name), Spoken);
    }

    void aDestroyedLabelIsForgotten() {
        TLxTrackBar Bar;
        Bar.SetAccessibleName(u"Gain"_s);
        auto Label = std::make_unique<QLabel>(u"&Ratio"_s);
        Bar.SetAssociateLabel(Label.get());
        QCOMPARE(Accessible(&Bar)->text(QAccessible::Name), u"Ratio"_s);
        Label.reset();
        QCOMPARE(Bar.AssociateLabel(), nullptr);
        QCOMPARE(Accessible(&Bar)->text(QAccessible::Name), u"Gain"_s);
    }

    void valueIsThePositionUnlessTheOwnerSpeaksIt_data() {
        QTest::addColumn<int>("Position");
        QTest::addColumn<bool>("Override");
        QTest::addColumn<QString>("Spoken");
        QTest::newRow("plain") << 42 << false << u"42"_s;
        QTest::newRow("negative") << -7 << false << u"-7"_s;
        QTest::newRow("zero") << 0 << false << u"0"_s;
        QTest::newRow("owner's text") << 42 << true << u"42 Hz"_s;
    }
    void valueIsThePositionUnlessTheOwnerSpeaksIt() {
        QFETCH(int, Position);
        QFETCH(bool, Override);
        QFETCH(QString, Spoken);
        TLxTrackBar Bar;
        Bar.setRange(-100, 100);
        Bar.setValue(Position);
        TLxTrackBar *Asked = nullptr;
        if (Override)
            Bar.SetOnGetAccessibleValue([&Asked](TLxTrackBar *ASender, QString &AValue) {
                Asked = ASender;
                AValue += u" Hz"_s;
            });
        QCOMPARE(Accessible(&Bar)->text(QAccessible::Value), Spoken);
        QCOMPARE(Asked, Override ? &Bar : nullptr);
    }

    void roleDescriptionStateAndRect() {
        QWidget Form;
        auto *Layout = new QVBoxLayout(&Form);
        auto *Other = new TLxTrackBar(&Form);
        auto *Bar = new TLxTrackBar(Qt::Vertical, &Form);
        Layout->addWidget(Other);
        Layout->addWidget(Bar);
        Bar->SetAccessibleDescription(u"Band 3, 1 kHz"_s);
        Form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Form));
        QAccessibleInterface *Interface = Accessible(Bar);
        QCOMPARE(Interface->role(), QAccessible::Slider);
        QCOMPARE(Interface->text(QAccessible::Description), u"Band 3, 1 kHz"_s);
        QVERIFY(Interface->state().focusable);
        Other->setFocus();
        QTRY_VERIFY(Other->hasFocus());
        QVERIFY(!Interface->state().focused);
        Bar->setFocus();
        QTRY_VERIFY(Bar->hasFocus());
        QVERIFY(Interface->state().focused);
        QCOMPARE(Interface->rect(), QRect(Bar->mapToGlobal(QPoint(0, 0)), Bar->size()));
    }

    void valueInterfaceReadsAndMovesTheSlider() {
        TLxTrackBar Bar;
        Bar.setRange(-12, 12);
        Bar.setSingleStep(3);
        Bar.setValue(5);
        QAccessibleValueInterface *Value = Accessible(&Bar)->valueInterface();
        QVERIFY(Value);
        QCOMPARE(Value->currentValue().toInt(), 5);
        QCOMPARE(Value->minimumValue().toInt(), -12);
        QCOMPARE(Value->maximumValue().toInt(), 12);
        QCOMPARE(Value->minimumStepSize().toInt(), 3);
        Value->setCurrentValue(-4);
        QCOMPARE(Bar.value(), -4);
        Value->setCurrentValue(40); // the slider keeps within its range
        QCOMPARE(Bar.value(), 12);
    }

    void aValueChangeIsAnnouncedWithTheSpokenText() {
        TLxTrackBar Bar;
        Bar.setRange(0, 10);
        Bar.SetOnGetAccessibleValue([](TLxTrackBar *, QString &AValue) { AValue += u" %"_s; });
        Bar.setValue(7);
        QCOMPARE(SeenEvents().size(), 1u);
        QCOMPARE(SeenEvents()[0].Type, QAccessible::ValueChanged);
        QCOMPARE(SeenEvents()[0].Object, &Bar);
        QCOMPARE(SeenEvents()[0].Value, u"7 %"_s);
        Bar.setValue(7); // no change, nothing to say
        QCOMPARE(SeenEvents().size(), 1u);
    }

    void aValueBarSpeaksItsValueAndUnit() {
        QWidget Form;
        auto *Bar = new TLBar(&Form);
        Bar->SetPrec(1);
        Bar->SetMinValue(-20);
        Bar->SetMaxValue(20);
        Bar->SetUnit(u"dB"_s);
        Bar->SetCaption(u"&Gain"_s);
        SeenEvents().clear();
        Bar->SetValue(-1.5);
        QAccessibleInterface *Interface = Accessible(Bar);
        QCOMPARE(Interface->role(), QAccessible::Slider);
        QCOMPARE(Interface->text(QAccessible::Name), u"Gain"_s);
        Bar->SetAssociateLabel(Bar->CaptionLabel());
        QCOMPARE(Interface->text(QAccessible::Name), u"Gain"_s);
        QCOMPARE(Interface->text(QAccessible::Value), u"-1.5 dB"_s);
        QCOMPARE(Interface->valueInterface()->currentValue().toInt(), -15);
        QCOMPARE(SeenEvents().size(), 1u);
        QCOMPARE(SeenEvents()[0].Value, u"-1.5 dB"_s);
    }
};

QTEST_MAIN(TLxTrackBarTest)
#include "LxTrackBarTest.moc"
