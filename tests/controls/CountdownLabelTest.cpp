// What a screen reader gets of the countdown labels: a name that carries the
// running time and follows each change, and a text it can review by
// character, word or as a whole.

#include "controls/CountdownLabel.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QTest>

using namespace Qt::StringLiterals;

class TCountdownLabelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nameCarriesTheTime_data() {
        QTest::addColumn<QString>("Caption");
        QTest::addColumn<QString>("Time");
        QTest::addColumn<QString>("Name");
        QTest::newRow("elapsed") << u"Elapsed time"_s << u"00:15.0"_s << u"Elapsed time 00:15.0"_s;
        QTest::newRow("remaining")
            << u"Remaining time"_s << u"\u2013 00:15.0"_s << u"Remaining time \u2013 00:15.0"_s;
        QTest::newRow("no caption") << QString() << u"00:00.0"_s << u"00:00.0"_s;
    }
    void nameCarriesTheTime() {
        QFETCH(QString, Caption);
        QFETCH(QString, Time);
        QFETCH(QString, Name);
        TCountdownLabel Label(u"- 00:00.0"_s);
        Label.SetCaption(Caption);
        Label.setText(Time);
        QAccessibleInterface *Iface = QAccessible::queryAccessibleInterface(&Label);
        QVERIFY(Iface);
        QCOMPARE(Iface->role(), QAccessible::StaticText);
        QCOMPARE(Iface->text(QAccessible::Name), Name);
        QCOMPARE(Iface->text(QAccessible::Value), Time);
        QVERIFY(Iface->textInterface());
        QCOMPARE(Iface->textInterface()->text(0, -1), Time);
        QCOMPARE(Iface->textInterface()->characterCount(), int(Time.size()));
    }

    // QLabel announces each new text as a name change; the offscreen platform
    // has no bridge to watch that, so test_atspi_main_window hears it on the
    // AT-SPI bus. Here: the name a reader asks for then is the new one.
    void nameFollowsEachNewTime() {
        TCountdownLabel Label(u"00:00.0"_s);
        Label.SetCaption(u"Elapsed time"_s);
        QAccessibleInterface *Iface = QAccessible::queryAccessibleInterface(&Label);
        QCOMPARE(Iface->text(QAccessible::Name), u"Elapsed time 00:00.0"_s);
        Label.setText(u"00:00.2"_s);
        QCOMPARE(Iface->text(QAccessible::Name), u"Elapsed time 00:00.2"_s);
        QCOMPARE(Iface->textInterface()->text(0, -1), u"00:00.2"_s);
    }

    // Reviewing the text piece by piece, as a reader's review keys do.
    void textReview_data() {
        QTest::addColumn<int>("Boundary");
        QTest::addColumn<int>("Offset");
        QTest::addColumn<QString>("At");
        QTest::addColumn<QString>("Before");
        QTest::addColumn<QString>("After");
        const int Char = QAccessible::CharBoundary;
        const int Word = QAccessible::WordBoundary;
        const int Line = QAccessible::LineBoundary;
        // The text is "\u2013 02:41.3".
        QTest::newRow("first character") << Char << 0 << u"\u2013"_s << QString() << u" "_s;
        QTest::newRow("a middle character") << Char << 4 << u":"_s << u"2"_s << u"4"_s;
        QTest::newRow("just past the end") << Char << 9 << u"3"_s << u"."_s << QString();
        QTest::newRow("the caret") << Char << -2 << u"\u2013"_s << QString() << u" "_s;
        QTest::newRow("outside") << Char << 12 << QString() << QString() << QString();
        QTest::newRow("the dash as a word") << Word << 0 << u"\u2013"_s << QString() << u" "_s;
        QTest::newRow("the whole line")
            << Line << 5 << u"\u2013 02:41.3"_s << QString() << QString();
    }
    void textReview() {
        QFETCH(int, Boundary);
        QFETCH(int, Offset);
        QFETCH(QString, At);
        QFETCH(QString, Before);
        QFETCH(QString, After);
        TCountdownLabel Label(u"\u2013 02:41.3"_s);
        QAccessibleTextInterface *Text =
            QAccessible::queryAccessibleInterface(&Label)->textInterface();
        QVERIFY(Text);
        const auto Kind = QAccessible::TextBoundaryType(Boundary);
        int Start = 0;
        int End = 0;
        QCOMPARE(Text->textAtOffset(Offset, Kind, &Start, &End), At);
        if (!At.isEmpty())
            QCOMPARE(Label.text().mid(Start, End - Start), At);
        else
            QCOMPARE(Start, -1);
        QCOMPARE(Text->textBeforeOffset(Offset, Kind, &Start, &End), Before);
        QCOMPARE(Text->textAfterOffset(Offset, Kind, &Start, &End), After);
        if (!After.isEmpty())
            QCOMPARE(Label.text().mid(Start, End - Start), After);
    }

    void emptyTextHasNoPieces() {
        TCountdownLabel Label{QString()};
        QAccessibleTextInterface *Text =
            QAccessible::queryAccessibleInterface(&Label)->textInterface();
        int Start = 0;
        int End = 0;
        QCOMPARE(Text->characterCount(), 0);
        QCOMPARE(Text->textAtOffset(0, QAccessible::CharBoundary, &Start, &End), QString());
        QCOMPARE(Text->textAtOffset(0, QAccessible::LineBoundary, &Start, &End), QString());
        QCOMPARE(Text->text(0, -1), QString());
    }
};

QTEST_MAIN(TCountdownLabelTest)
#include "CountdownLabelTest.moc"
