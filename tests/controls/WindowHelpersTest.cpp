// Screen placement, scaling, the menu guard and the message boxes of the
// window helpers.

#include "controls/WindowHelpers.h"

#include "core/MessageBox.h"
#include "core/Utils.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

class TWindowHelpersTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowOffEveryScreenIsCentred() {
        QWidget window;
        window.resize(200, 100);
        window.move(-50000, -50000);
        EnsureFormOnScreen(&window);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(window.frameGeometry().center().x() / 10, screen.center().x() / 10);
        QVERIFY(screen.intersects(window.frameGeometry()));
    }

    void windowOnAScreenStaysPut() {
        QWidget window;
        window.resize(200, 100);
        window.move(30, 40);
        const QPoint before = window.pos();
        EnsureFormOnScreen(&window);
        QCOMPARE(window.pos(), before);
    }

    void scaleValueFollowsTheScreen_data() {
        QTest::addColumn<int>("value");
        QTest::newRow("zero") << 0;
        QTest::newRow("toolbar button") << 40;
        QTest::newRow("negative") << -7;
    }
    void scaleValueFollowsTheScreen() {
        QFETCH(int, value);
        const int ppi = GetCurrentPPI();
        QCOMPARE(ScaleValue(value), qRound(value * ppi / 96.0));
    }

    void menuGuard_data() {
        QTest::addColumn<int>("sinceCloseMs");
        QTest::addColumn<int>("shows");
        QTest::newRow("pressed again 50 ms after closing") << 50 << 0;
        QTest::newRow("pressed again 150 ms after closing") << 150 << 1;
    }
    void menuGuard() {
        QFETCH(int, sinceCloseMs);
        QFETCH(int, shows);
        QPushButton button(QStringLiteral("Menu"));
        QMenu menu;
        menu.addAction(QStringLiteral("Item"));
        int shown = 0;
        connect(&menu, &QMenu::aboutToShow, this, [&] {
            ++shown;
            QTimer::singleShot(0, &menu, &QMenu::close);
        });
        LastPopupTick() = GetTickMs() - sinceCloseMs;
        PopupMenuUnderButton(&button, &menu);
        QCOMPARE(shown, shows);
    }

    void messageBoxShowsMarkupAsItStands() {
        InstallWidgetMessageBoxes();
        Qt::TextFormat boxFormat = Qt::RichText;
        Qt::TextFormat labelFormat = Qt::RichText;
        QString labelText;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            boxFormat = box->textFormat();
            if (const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
                labelFormat = label->textFormat();
                labelText = label->text();
            }
            box->accept();
        });
        watcher.start(10);
        MyMessageBox(QStringLiteral("<b>x</b> &amp; <a href=\"y\">y</a>"), QStringLiteral("Error"),
                     mbIconError);
        watcher.stop();
        SetMessageBoxPresenter(nullptr);
        QCOMPARE(boxFormat, Qt::PlainText);
        QCOMPARE(labelFormat, Qt::PlainText);
        QCOMPARE(labelText, QStringLiteral("<b>x</b> &amp; <a href=\"y\">y</a>"));
    }

    void messageBoxIconFollowsFlags_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("icon");
        QTest::newRow("error") << int(mbIconError) << int(QMessageBox::Critical);
        QTest::newRow("warning") << int(mbIconWarning) << int(QMessageBox::Warning);
        QTest::newRow("information") << int(mbIconInformation) << int(QMessageBox::Information);
        QTest::newRow("none") << 0 << int(QMessageBox::NoIcon);
    }
    void messageBoxIconFollowsFlags() {
        QFETCH(int, flags);
        QFETCH(int, icon);
        InstallWidgetMessageBoxes();
        int shownIcon = -1;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            shownIcon = int(box->icon());
            box->accept();
        });
        watcher.start(10);
        MyMessageBox(QStringLiteral("Text"), QStringLiteral("Caption"), flags);
        watcher.stop();
        SetMessageBoxPresenter(nullptr);
        QCOMPARE(shownIcon, icon);
    }

    void messageBoxButtonsAndAnswerFollowFlags_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("answer");
        const int okCancel = int(QMessageBox::Ok | QMessageBox::Cancel);
        const int yesNo = int(QMessageBox::Yes | QMessageBox::No);
        QTest::newRow("ok") << int(mbIconError) << int(QMessageBox::Ok)
                            << int(QMessageBox::Critical) << int(QMessageBox::Ok) << mrOk;
        QTest::newRow("ok/cancel, ok") << int(mbOKCancel | mbIconWarning) << okCancel
                                       << int(QMessageBox::Warning) << int(QMessageBox::Ok) << mrOk;
        QTest::newRow("ok/cancel, cancel")
            << int(mbOKCancel | mbIconWarning) << okCancel << int(QMessageBox::Warning)
            << int(QMessageBox::Cancel) << mrCancel;
        QTest::newRow("yes/no question, yes")
            << int(mbYesNoQuestion) << yesNo << int(QMessageBox::Question) << int(QMessageBox::Yes)
            << mrYes;
        QTest::newRow("yes/no question, no")
            << int(mbYesNoQuestion) << yesNo << int(QMessageBox::Question) << int(QMessageBox::No)
            << mrNo;
        QTest::newRow("yes/no warning, no")
            << int(mbYesNo | mbIconWarning) << yesNo << int(QMessageBox::Warning)
            << int(QMessageBox::No) << mrNo;
    }
    void messageBoxButtonsAndAnswerFollowFlags() {
        QFETCH(int, flags);
        QFETCH(int, buttons);
        QFETCH(int, icon);
        QFETCH(int, press);
        QFETCH(int, answer);
        InstallWidgetMessageBoxes();
        int shownButtons = -1;
        int shownIcon = -1;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            shownButtons = int(box->standardButtons());
            shownIcon = int(box->icon());
            if (QAbstractButton *button = box->button(QMessageBox::StandardButton(press)))
                button->click();
            else
                box->reject();
        });
        watcher.start(10);
        const int result = MyMessageBox(QStringLiteral("Text"), QStringLiteral("Caption"), flags);
        watcher.stop();
        SetMessageBoxPresenter(nullptr);
        QCOMPARE(shownButtons, buttons);
        QCOMPARE(shownIcon, icon);
        QCOMPARE(result, answer);
    }
};

QTEST_MAIN(TWindowHelpersTest)
#include "WindowHelpersTest.moc"
