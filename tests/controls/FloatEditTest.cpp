// The decimal number edits: which keystrokes get through in the C and the
// German number format, how the text reads as a value and is written back,
// the limits, Escape and Enter, leaving the edit, and the steps of the spin
// edit from arrow keys, buttons and wheel.

#include "controls/FloatEdit.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

const QLocale German(QLocale::German, QLocale::Germany);

// "S" in a row stands for the user's decimal separator, "O" for the other
// one (the German thousands separator, or the C locale's comma).
QString InLocale(QString AText, bool AGerman) {
    AText.replace(u'O', AGerman ? u'.' : u',');
    AText.replace(u'S', AGerman ? u',' : u'.');
    return AText;
}

void TypeInto(QWidget *AWidget, QChar ACharacter) {
    QTest::keyClick(AWidget, static_cast<char>(ACharacter.unicode()));
}

} // namespace

class TFloatEditTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void filtersKeystrokes_data() {
        QTest::addColumn<bool>("IsGerman");
        QTest::addColumn<double>("Min");
        QTest::addColumn<double>("Max");
        QTest::addColumn<int>("Digits");
        QTest::addColumn<QString>("Text");
        QTest::addColumn<int>("SelStart"); // -1: caret at the end, nothing selected
        QTest::addColumn<int>("SelLength");
        QTest::addColumn<QString>("Typed");
        QTest::addColumn<QString>("After");
        QTest::addColumn<QString>("Selected");
        struct TRow {
            const char *Name;
            double Min, Max;
            int Digits;
            const char *Text;
            int SelStart, SelLength;
            const char *Typed, *After, *Selected;
        };
        const TRow Rows[] = {
            {"above max over selection", 0.1, 6, 1, "1S0", 0, 3, "7", "1S0", "1S0"},
            {"zero over selection may go on", 0.1, 6, 1, "1S0", 0, 3, "0", "0", ""},
            {"separator after zero", 0.1, 6, 1, "0", -1, 0, "S", "0S", ""},
            {"decimal after separator", 0.1, 6, 1, "0S", -1, 0, "5", "0S5", ""},
            {"separator alone", 0.1, 6, 1, "", -1, 0, "S", "0S0", "0"},
            {"one decimal too many", 0.1, 6, 1, "0S5", -1, 0, "5", "0S5", ""},
            {"two decimals allowed", 0, 10, 2, "0S5", -1, 0, "5", "0S55", ""},
            {"no separator without decimals", 0, 100, 0, "12", -1, 0, "S", "12", ""},
            {"other separator", 0, 100000, 2, "12", -1, 0, "O", "12", ""},
            {"letter", 0, 100, 1, "12", -1, 0, "x", "12", ""},
            {"digits on the way into the range", 10, 100, 1, "", -1, 0, "1", "1", ""},
            {"and in it", 10, 100, 1, "1", -1, 0, "5", "15", ""},
            {"past max for good", 0, 100, 1, "12", -1, 0, "5", "12", ""},
            {"minus alone", -10, 10, 1, "", -1, 0, "-", "-0", "0"},
            {"digit after minus", -10, 10, 1, "-0", 1, 1, "5", "-5", ""},
            {"below min for good", -10, 10, 1, "-5", -1, 0, "0", "-5", ""},
            {"minus where nothing is negative", 0, 10, 1, "", -1, 0, "-", "", ""},
            {"digit in the middle", 0, 1000, 1, "15", 1, 0, "2", "125", ""},
        };
        for (const bool IsGerman : {false, true})
            for (const TRow &Row : Rows)
                QTest::addRow("%s %s", IsGerman ? "de_DE" : "C", Row.Name)
                    << IsGerman << Row.Min << Row.Max << Row.Digits
                    << InLocale(QString::fromLatin1(Row.Text), IsGerman) << Row.SelStart
                    << Row.SelLength << InLocale(QString::fromLatin1(Row.Typed), IsGerman)
                    << InLocale(QString::fromLatin1(Row.After), IsGerman)
                    << InLocale(QString::fromLatin1(Row.Selected), IsGerman);
    }
    void filtersKeystrokes() {
        QFETCH(bool, IsGerman);
        QFETCH(double, Min);
        QFETCH(double, Max);
        QFETCH(int, Digits);
        QFETCH(QString, Text);
        QFETCH(int, SelStart);
        QFETCH(int, SelLength);
        QFETCH(QString, Typed);
        QFETCH(QString, After);
        QFETCH(QString, Selected);
        QLocale::setDefault(IsGerman ? German : QLocale::c());
        TCustomFloatEdit Edit;
        QCOMPARE(Edit.DecimalSeparator(), IsGerman ? u',' : u'.');
        Edit.SetMin(Min);
        Edit.SetMax(Max);
        Edit.SetDigits(Digits);
        Edit.setText(Text);
        if (SelStart < 0)
            Edit.end(false);
        else if (SelLength == 0)
            Edit.setCursorPosition(SelStart);
        else
            Edit.setSelection(SelStart, SelLength);
        TypeInto(&Edit, Typed.front());
        QCOMPARE(Edit.text(), After);
        QCOMPARE(Edit.selectedText(), Selected);
    }

    void controlKeysPassUnchecked() {
        TCustomFloatEdit Edit;
        Edit.setText(u"12.5"_s);
        Edit.end(false);
        QTest::keyClick(&Edit, Qt::Key_Backspace);
        QCOMPARE(Edit.text(), u"12."_s);
        QTest::keyClick(&Edit, Qt::Key_Home);
        QTest::keyClick(&Edit, Qt::Key_Delete);
        QCOMPARE(Edit.text(), u"2."_s);
    }

    void readsAndWritesTheValue_data() {
        QTest::addColumn<bool>("IsGerman");
        QTest::addColumn<QString>("Text");
        QTest::addColumn<double>("Value");
        QTest::newRow("C number") << false << u"12.5"_s << 12.5;
        QTest::newRow("de number") << true << u"12,5"_s << 12.5;
        QTest::newRow("de, C separator is no number") << true << u"12.5"_s << -2.0;
        QTest::newRow("empty") << false << QString() << 0.0;
        QTest::newRow("minus alone") << false << u"-"_s << 0.0;
        QTest::newRow("separator alone") << true << u","_s << 0.0;
        QTest::newRow("E alone") << false << u"E"_s << 0.0;
        QTest::newRow("garbage is Min") << false << u"abc"_s << -2.0;
        QTest::newRow("clamped up") << false << u"-3"_s << -2.0;
        QTest::newRow("clamped down") << false << u"1e3"_s << 50.0;
    }
    void readsAndWritesTheValue() {
        QFETCH(bool, IsGerman);
        QFETCH(QString, Text);
        QFETCH(double, Value);
        QLocale::setDefault(IsGerman ? German : QLocale::c());
        TCustomFloatEdit Edit;
        Edit.SetMax(50);
        Edit.SetMin(-2);
        Edit.setText(Text);
        QCOMPARE(Edit.Value(), Value);
    }

    void formatsWithDigitsInTheUsersFormat() {
        QLocale::setDefault(German);
        TCustomFloatEdit Edit;
        QCOMPARE(Edit.text(), u"0,0"_s);
        QCOMPARE(Edit.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        Edit.SetMax(100000);
        Edit.SetValue(12345.678);
        QCOMPARE(Edit.text(), u"12345,7"_s);
        Edit.SetDigits(3);
        QCOMPARE(Edit.text(), u"12345,700"_s);
        Edit.SetDigits(40);
        QCOMPARE(Edit.Digits(), 18);
        Edit.SetDigits(0);
        QCOMPARE(Edit.text(), u"12346"_s);
        Edit.SetValue(1e9);
        QCOMPARE(Edit.text(), u"100000"_s);
        Edit.SetDigits(1);
        Edit.SetMin(-5);
        Edit.SetValue(-0.04);
        QCOMPARE(Edit.text(), u"0,0"_s);
    }

    void limitsMustNotCross() {
        TCustomFloatEdit Edit;
        Edit.SetValue(80);
        try {
            Edit.SetMin(200);
            QFAIL("no exception");
        } catch (const std::invalid_argument &Error) {
            QCOMPARE(QString::fromLatin1(Error.what()),
                     u"Minimum value must not be greater than maximum value !"_s);
        }
        QCOMPARE(Edit.Min(), 0.0);
        try {
            Edit.SetMax(-1);
            QFAIL("no exception");
        } catch (const std::invalid_argument &Error) {
            QCOMPARE(QString::fromLatin1(Error.what()),
                     u"Maximum value must not be less than minimum value !"_s);
        }
        QCOMPARE(Edit.Max(), 100.0);
        Edit.SetMax(50); // the value follows the new limit
        QCOMPARE(Edit.text(), u"50.0"_s);
    }

    void escapeEnterAndLeaving() {
        QWidget Form;
        auto *Layout = new QVBoxLayout(&Form);
        auto *Edit = new TCustomFloatEdit(&Form);
        auto *Other = new QLineEdit(&Form);
        Layout->addWidget(Edit);
        Layout->addWidget(Other);
        int Enters = 0;
        Edit->OnEnterPress = [&Enters, Edit](TCustomFloatEdit *ASender, int AKey) {
            QCOMPARE(ASender, Edit);
            QCOMPARE(AKey, int(Qt::Key_Return));
            ++Enters;
        };
        Edit->SetValue(42);
        Form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Form));
        Edit->setFocus();
        QTRY_VERIFY(Edit->hasFocus());
        Edit->setText(u"7"_s);
        QTest::keyClick(Edit, Qt::Key_Return);
        QCOMPARE(Enters, 1);
        QCOMPARE(Edit->text(), u"7"_s);
        QTest::keyClick(Edit, Qt::Key_Escape);
        QCOMPARE(Edit->text(), u"42.0"_s);
        QCOMPARE(Edit->selectedText(), u"42.0"_s);
        Edit->setText(u"-"_s);
        Other->setFocus();
        QTRY_VERIFY(Other->hasFocus());
        QCOMPARE(Edit->text(), u"0.0"_s); // no number: Min
        Edit->setFocus();
        QTRY_VERIFY(Edit->hasFocus());
        Edit->setText(u"7.24"_s);
        Other->setFocus();
        QTRY_VERIFY(Other->hasFocus());
        QCOMPARE(Edit->text(), u"7.2"_s);
    }

    void spinStepsFromKeysButtonsAndWheel() {
        QLocale::setDefault(German);
        TSpinFloatEdit Edit;
        QCOMPARE(Edit.Increment(), 1.0);
        QVERIFY(Edit.EditorEnabled());
        Edit.SetIncrement(0.5);
        Edit.SetValue(2);
        QTest::keyClick(&Edit, Qt::Key_Up);
        QCOMPARE(Edit.text(), u"2,5"_s);
        QTest::keyClick(&Edit, Qt::Key_Down);
        QTest::keyClick(&Edit, Qt::Key_Down);
        QCOMPARE(Edit.text(), u"1,5"_s);
        Edit.UpButton()->click();
        QCOMPARE(Edit.Value(), 2.0);
        Edit.DownButton()->click();
        QCOMPARE(Edit.Value(), 1.5);
        QWheelEvent Up(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&Edit, &Up);
        QCOMPARE(Edit.Value(), 2.0);
        Edit.SetValue(0);
        QTest::keyClick(&Edit, Qt::Key_Down); // kept at Min
        QCOMPARE(Edit.text(), u"0,0"_s);
    }

    void editorDisabledLeavesOnlyButtonsAndWheel() {
        TSpinFloatEdit Edit;
        Edit.SetEditorEnabled(false);
        Edit.SetValue(3);
        QTest::keyClick(&Edit, Qt::Key_Up);
        QTest::keyClick(&Edit, '7');
        QTest::keyClick(&Edit, Qt::Key_Backspace);
        QCOMPARE(Edit.text(), u"3.0"_s);
        Edit.UpButton()->click();
        QCOMPARE(Edit.text(), u"4.0"_s);
        QWheelEvent Down(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&Edit, &Down);
        QCOMPARE(Edit.text(), u"3.0"_s);
    }

    void readOnlyAndComputedSteps() {
        TSpinFloatEdit Edit;
        Edit.SetValue(3);
        Edit.setReadOnly(true);
        Edit.UpButton()->click();
        QTest::keyClick(&Edit, Qt::Key_Up);
        QCOMPARE(Edit.text(), u"3.0"_s);
        Edit.setReadOnly(false);
        QList<bool> Steps;
        Edit.OnComputedIncrement = [&Steps](TSpinFloatEdit *, bool bIncrement) {
            Steps.append(bIncrement);
        };
        QTest::keyClick(&Edit, Qt::Key_Up);
        Edit.DownButton()->click();
        QCOMPARE(Steps, QList<bool>({true, false}));
        QCOMPARE(Edit.text(), u"3.0"_s); // the owner steps, the edit does not
    }
};

QTEST_MAIN(TFloatEditTest)
#include "FloatEditTest.moc"
