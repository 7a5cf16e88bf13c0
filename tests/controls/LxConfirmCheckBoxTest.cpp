// The confirm check box toggles from the mouse, the space bar and its
// accelerator only when its owner allows it; a refusal leaves the state and
// sends no click; setting the state from code never asks.

#include "controls/LxConfirmCheckBox.h"

#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <functional>

using namespace Qt::StringLiterals;

class TLxConfirmCheckBoxTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void asksBeforeTheUserToggles_data() {
        QTest::addColumn<QString>("Input");
        QTest::addColumn<bool>("Allow");
        QTest::addColumn<bool>("Checked");
        for (const QString &Input : {u"mouse"_s, u"space"_s, u"accelerator"_s}) {
            QTest::addRow("%s allowed", qPrintable(Input)) << Input << true << true;
            QTest::addRow("%s refused", qPrintable(Input)) << Input << false << false;
        }
    }
    void asksBeforeTheUserToggles() {
        QFETCH(QString, Input);
        QFETCH(bool, Allow);
        QFETCH(bool, Checked);
        QWidget Form;
        auto *Layout = new QVBoxLayout(&Form);
        auto *Box = new TLxConfirmCheckBox(u"&Bypass"_s, &Form);
        Layout->addWidget(Box);
        int Asked = 0;
        Box->OnBeforeChange = [&](TLxConfirmCheckBox *ASender, bool &AllowChange) {
            QCOMPARE(ASender, Box);
            QVERIFY(AllowChange);
            QCOMPARE(Box->isChecked(), false); // asked before anything changed
            ++Asked;
            AllowChange = Allow;
        };
        QSignalSpy Clicks(Box, &QAbstractButton::clicked);
        QSignalSpy Toggles(Box, &QAbstractButton::toggled);
        Form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Form));
        Box->setFocus();
        QTRY_VERIFY(Box->hasFocus());
        if (Input == u"mouse"_s)
            QTest::mouseClick(Box, Qt::LeftButton, {}, QPoint(5, Box->height() / 2));
        else if (Input == u"space"_s)
            QTest::keyClick(Box, Qt::Key_Space);
        else
            QTest::keyClick(&Form, Qt::Key_B, Qt::AltModifier);
        // The accelerator clicks through a short animation.
        if (Allow)
            QTRY_COMPARE(Clicks.count(), 1);
        QCOMPARE(Asked, 1);
        QCOMPARE(Box->isChecked(), Checked);
        QCOMPARE(Box->isDown(), false);
        QCOMPARE(Clicks.count(), Allow ? 1 : 0);
        QCOMPARE(Toggles.count(), Allow ? 1 : 0);
    }

    void aPressOutsideTheBoxIsNoQuestion() {
        TLxConfirmCheckBox Box(u"Bypass"_s);
        int Asked = 0;
        Box.OnBeforeChange = [&Asked](TLxConfirmCheckBox *, bool &) { ++Asked; };
        Box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Box));
        QTest::mouseClick(&Box, Qt::RightButton, {}, QPoint(5, Box.height() / 2));
        QCOMPARE(Asked, 0);
        QCOMPARE(Box.isChecked(), false);
    }

    void settingTheStateFromCodeDoesNotAsk() {
        TLxConfirmCheckBox Box;
        int Asked = 0;
        Box.OnBeforeChange = [&Asked](TLxConfirmCheckBox *, bool &AllowChange) {
            ++Asked;
            AllowChange = false;
        };
        Box.setChecked(true);
        QCOMPARE(Box.isChecked(), true);
        Box.setChecked(false);
        QCOMPARE(Box.isChecked(), false);
        QCOMPARE(Asked, 0);
    }
};

QTEST_MAIN(TLxConfirmCheckBoxTest)
#include "LxConfirmCheckBoxTest.moc"
