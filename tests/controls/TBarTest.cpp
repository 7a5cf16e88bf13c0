// The mouse-reporting bar passes presses, releases, moves, right clicks and
// wheel turns to its owner with the point in the bar's own coordinates, after
// the slider has moved, so the owner reads the new position.

#include "controls/TBar.h"

#include <QTest>
#include <QWheelEvent>
#include <vector>

using namespace Qt::StringLiterals;

class TTBarTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reportsTheMouseAfterTheSliderMoved() {
        TTBar Bar(Qt::Horizontal);
        Bar.setRange(0, 100);
        Bar.setPageStep(10);
        Bar.resize(200, 24);
        Bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Bar));
        std::vector<QString> Seen;
        Bar.OnMouseDown = [&](TTBar *ASender, Qt::MouseButton AButton, Qt::KeyboardModifiers,
                              int AX, int AY) {
            QCOMPARE(ASender, &Bar);
            QCOMPARE(AButton, Qt::LeftButton);
            Seen.push_back(u"down %1,%2 at %3"_s.arg(AX).arg(AY).arg(Bar.value()));
        };
        Bar.OnMouseUp = [&](TTBar *, Qt::MouseButton AButton, Qt::KeyboardModifiers, int AX,
                            int AY) {
            QCOMPARE(AButton, Qt::LeftButton);
            Seen.push_back(u"up %1,%2"_s.arg(AX).arg(AY));
        };
        Bar.OnMouseMove = [&](TTBar *, Qt::KeyboardModifiers, int AX, int AY) {
            Seen.push_back(u"move %1,%2"_s.arg(AX).arg(AY));
        };
        Bar.OnMouseRight = [&](TTBar *ASender) {
            QCOMPARE(ASender, &Bar);
            Seen.push_back(u"right"_s);
        };
        Bar.OnMouseWheel = [&](TTBar *, int ADelta) {
            Seen.push_back(u"wheel %1 at %2"_s.arg(ADelta).arg(Bar.value()));
        };
        const int Y = Bar.height() / 2;
        QTest::mousePress(&Bar, Qt::LeftButton, {}, QPoint(190, Y));
        QTest::mouseMove(&Bar, QPoint(191, Y));
        QTest::mouseRelease(&Bar, Qt::LeftButton, {}, QPoint(191, Y));
        QTest::mouseClick(&Bar, Qt::RightButton, {}, QPoint(20, Y));
        const int Before = Bar.value();
        QVERIFY(Before > 0); // the press paged or jumped towards the right end
        QWheelEvent Wheel(QPointF(50, Y), Bar.mapToGlobal(QPointF(50, Y)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&Bar, &Wheel);
        QVERIFY(Bar.value() != Before);
        const std::vector<QString> Expected = {
            u"down 190,%1 at %2"_s.arg(Y).arg(Before),
            u"move 191,%1"_s.arg(Y),
            u"up 191,%1"_s.arg(Y),
            u"right"_s,
            u"wheel -120 at %1"_s.arg(Bar.value()),
        };
        QCOMPARE(Seen, Expected);
    }
};

QTEST_MAIN(TTBarTest)
#include "TBarTest.moc"
