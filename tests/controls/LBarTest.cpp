// The value bar's mapping of a decimal value onto the integer slider: range
// and position for each number of decimals, rounding, clamping, the shown
// text with sign and unit in the user's number format, how often the owner
// hears of a change, and where the labels sit.

#include "controls/LBar.h"

#include <QLabel>
#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;

class TLBarTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void mapsTheValueOntoTheSlider_data() {
        QTest::addColumn<int>("Prec");
        QTest::addColumn<double>("Min");
        QTest::addColumn<double>("Max");
        QTest::addColumn<QString>("Unit");
        QTest::addColumn<bool>("ShowSign");
        QTest::addColumn<double>("Set");
        QTest::addColumn<int>("SliderMin");
        QTest::addColumn<int>("SliderMax");
        QTest::addColumn<int>("Position");
        QTest::addColumn<double>("Value");
        QTest::addColumn<QString>("Text");
        QTest::newRow("prec 1") << 1 << 1.0 << 20.0 << QString() << false << 1.5 << 10 << 200 << 15
                                << 1.5 << u"1.5"_s;
        QTest::newRow("prec 0, sign before 0")
            << 0 << -40.0 << 12.0 << u"dB"_s << true << 0.0 << -40 << 12 << 0 << 0.0 << u"+0 dB"_s;
        QTest::newRow("prec 0, negative") << 0 << -40.0 << 12.0 << u"dB"_s << true << -12.0 << -40
                                          << 12 << -12 << -12.0 << u"-12 dB"_s;
        QTest::newRow("prec 0, rounds")
            << 0 << -40.0 << 12.0 << u"dB"_s << false << 3.6 << -40 << 12 << 4 << 4.0 << u"4 dB"_s;
        QTest::newRow("prec 2, half to even down") << 2 << -1.0 << 1.0 << u"x"_s << false << 0.125
                                                   << -100 << 100 << 12 << 0.12 << u"0.12 x"_s;
        QTest::newRow("prec 2, half to even up") << 2 << -1.0 << 1.0 << u"x"_s << false << 0.375
                                                 << -100 << 100 << 38 << 0.38 << u"0.38 x"_s;
        QTest::newRow("prec 2, negative range") << 2 << -60.0 << -0.5 << u"dB"_s << true << -6.02
                                                << -6000 << -50 << -602 << -6.02 << u"-6.02 dB"_s;
        QTest::newRow("below min") << 1 << 1.0 << 20.0 << u"ms"_s << false << -3.0 << 10 << 200
                                   << 10 << 1.0 << u"1.0 ms"_s;
        QTest::newRow("above max") << 1 << 1.0 << 20.0 << u"ms"_s << false << 99.0 << 10 << 200
                                   << 200 << 20.0 << u"20.0 ms"_s;
        QTest::newRow("tiny negative shows no minus")
            << 1 << -5.0 << 5.0 << u"dB"_s << true << -0.04 << -50 << 50 << 0 << 0.0
            << u"+0.0 dB"_s;
    }
    void mapsTheValueOntoTheSlider() {
        QFETCH(int, Prec);
        QFETCH(double, Min);
        QFETCH(double, Max);
        QFETCH(QString, Unit);
        QFETCH(bool, ShowSign);
        QFETCH(double, Set);
        QFETCH(int, SliderMin);
        QFETCH(int, SliderMax);
        QFETCH(int, Position);
        QFETCH(double, Value);
        QFETCH(QString, Text);
        // Limits before and after the decimals: both give the same range.
        for (const bool PrecFirst : {true, false}) {
            TLBar Bar;
            if (PrecFirst)
                Bar.SetPrec(Prec);
            Bar.SetMinValue(Min);
            Bar.SetMaxValue(Max);
            if (!PrecFirst)
                Bar.SetPrec(Prec);
            Bar.SetUnit(Unit);
            Bar.SetShowSign(ShowSign);
            Bar.SetValue(Set);
            QCOMPARE(Bar.minimum(), SliderMin);
            QCOMPARE(Bar.maximum(), SliderMax);
            QCOMPARE(Bar.value(), Position);
            QCOMPARE(Bar.Value(), Value);
            QCOMPARE(Bar.ValueLabel()->text(), Text);
            QCOMPARE(Bar.ValueText(), Text);
        }
    }

    void userMovesChangeTheValue() {
        TLBar Bar;
        Bar.SetPrec(1);
        Bar.SetMinValue(1);
        Bar.SetMaxValue(20);
        Bar.setValue(15); // as a drag or a key would
        QCOMPARE(Bar.Value(), 1.5);
        QCOMPARE(Bar.ValueLabel()->text(), u"1.5"_s);
        Bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(Bar.Value(), 1.6);
    }

    void showsTheUsersDecimalSeparator() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TLBar Bar;
        Bar.SetPrec(1);
        Bar.SetMinValue(-2000);
        Bar.SetMaxValue(2000);
        Bar.SetUnit(u"Hz"_s);
        Bar.SetValue(1234.5);
        QCOMPARE(Bar.ValueLabel()->text(), u"1234,5 Hz"_s);
    }

    void theOwnerHearsOfEachChangeOnce() {
        TLBar Bar;
        Bar.SetPrec(1);
        Bar.SetMinValue(0);
        Bar.SetMaxValue(10);
        int Changes = 0;
        Bar.OnValueChange = [&Changes, &Bar](TLBar *ASender) {
            QCOMPARE(ASender, &Bar);
            ++Changes;
        };
        Bar.SetValue(2.5);
        QCOMPARE(Changes, 1);
        Bar.SetValue(2.5); // unchanged
        QCOMPARE(Changes, 1);
        Bar.SetValue(2.51); // same position: the value stays what is shown
        QCOMPARE(Changes, 1);
        QCOMPARE(Bar.Value(), 2.5);
        Bar.setValue(40);
        QCOMPARE(Changes, 2);
        Bar.SetMaxValue(3); // the position is cut back to the new maximum
        QCOMPARE(Changes, 3);
        QCOMPARE(Bar.Value(), 3.0);
    }

    void labelsSitBesideTheBarInItsParent() {
        QWidget Form;
        TLBar *Bar = new TLBar;
        QCOMPARE(Bar->CaptionLabel()->text(), u"Caption"_s);
        Bar->setParent(&Form);
        QCOMPARE(Bar->CaptionLabel()->parentWidget(), &Form);
        QCOMPARE(Bar->ValueLabel()->parentWidget(), &Form);
        Bar->SetLabelSpacing(6);
        Bar->setGeometry(100, 40, 200, 30);
        Bar->SetCaption(u"Threshold"_s);
        const QRect Caption = Bar->CaptionLabel()->geometry();
        const QRect Value = Bar->ValueLabel()->geometry();
        QCOMPARE(Caption.right() + 1, 100 - 6);
        QCOMPARE(Value.left(), 300 + 6);
        QCOMPARE(Caption.top(), 40 + 15 - Caption.height() / 2 - 2);
        QCOMPARE(Value.top(), Caption.top());
        Form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Form));
        Bar->move(120, 50);
        QCOMPARE(Bar->ValueLabel()->x(), 320 + 6);
        QCOMPARE(Bar->CaptionLabel()->geometry().right() + 1, 120 - 6);
        delete Bar; // takes its labels along
        QVERIFY(Form.findChildren<QLabel *>().isEmpty());
    }
};

QTEST_MAIN(TLBarTest)
#include "LBarTest.moc"
