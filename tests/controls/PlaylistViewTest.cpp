// The playlist rows: binding to a new playlist, the bold playing row, and the
// click on empty space.

#include "controls/LxVirtualTree.h"
#include "controls/PlaylistModel.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QFont>
#include <QScrollBar>
#include <QtTest>

namespace {

TPlaylist MakePlaylist(int ACount) {
    TPlaylist list;
    for (int i = 0; i < ACount; ++i)
        list.push_back({QStringLiteral("Title %1").arg(i), QStringLiteral("3:0%1").arg(i % 10),
                        QStringLiteral("12:00:%1").arg(i % 60, 2, 10, QLatin1Char('0'))});
    return list;
}

} // namespace

class TPlaylistViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cellTextsByColumnIndex() {
        TPlaylistModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const TPlaylist list = MakePlaylist(3);
        model.SetPlaylist(&list);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.data(model.index(2, TPlaylistModel::colPos), Qt::DisplayRole).toString(),
                 QStringLiteral("3"));
        QCOMPARE(
            model.data(model.index(1, TPlaylistModel::colStartTime), Qt::DisplayRole).toString(),
            QStringLiteral("12:00:01"));
        QCOMPARE(model.data(model.index(1, TPlaylistModel::colTitle), Qt::DisplayRole).toString(),
                 QStringLiteral("Title 1"));
        QCOMPARE(
            model.data(model.index(0, TPlaylistModel::colDuration), Qt::DisplayRole).toString(),
            QStringLiteral("3:00"));
        QCOMPARE(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Track Title"));
    }

    void boldRow_data() {
        QTest::addColumn<int>("playlistPos");
        QTest::addColumn<int>("boldRow");
        QTest::newRow("playing entry 3") << 3 << 2;
        QTest::newRow("position 0 marks none") << 0 << -1;
        QTest::newRow("unknown position marks none") << -1 << -1;
        QTest::newRow("beyond the list marks none") << 9 << -1;
    }
    void boldRow() {
        QFETCH(int, playlistPos);
        QFETCH(int, boldRow);
        TPlaylistModel model;
        const TPlaylist list = MakePlaylist(5);
        model.SetPlaylist(&list);
        model.SetPlaylistPos(playlistPos);
        for (int row = 0; row < 5; ++row) {
            for (int column = 0; column < TPlaylistModel::colCount; ++column) {
                const QVariant font = model.data(model.index(row, column), Qt::FontRole);
                QCOMPARE(font.isValid() && font.value<QFont>().bold(), row == boldRow);
            }
        }
    }

    // A screen reader cannot see bold: every cell of the row on air is
    // described as playing, through the view's accessible table, and the
    // description moves with the playing entry.
    void playingRowIsDescribed_data() { boldRow_data(); }
    void playingRowIsDescribed() {
        QFETCH(int, playlistPos);
        QFETCH(int, boldRow);
        TPlaylistModel model;
        TLxVirtualTree view;
        view.setModel(&model);
        const TPlaylist list = MakePlaylist(5);
        model.SetPlaylist(&list);
        model.SetPlaylistPos(1);
        view.resize(400, 300);
        view.show(); // the accessible tree reaches only rows that are laid out
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        model.SetPlaylistPos(playlistPos);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(iface && iface->tableInterface());
        for (int row = 0; row < 5; ++row) {
            for (int column = 0; column < TPlaylistModel::colCount; ++column) {
                QAccessibleInterface *cell = iface->tableInterface()->cellAt(row, column);
                QVERIFY(cell);
                QCOMPARE(cell->text(QAccessible::Description),
                         row == boldRow ? QStringLiteral("playing") : QString());
            }
        }
        // The row that stopped playing and the one that started are both redrawn
        // and re-described.
        QVERIFY(!changes.isEmpty());
        for (const QList<QVariant> &change : changes)
            QVERIFY(change.at(2).value<QList<int>>().contains(Qt::AccessibleDescriptionRole));
    }

    void sameCountKeepsSelectionAndScroll() {
        TPlaylistModel model;
        TLxVirtualTree view;
        view.setModel(&model);
        view.resize(400, 200);
        const TPlaylist first = MakePlaylist(200);
        model.SetPlaylist(&first);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.selectionModel()->select(model.index(42, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view.verticalScrollBar()->setValue(30);

        TPlaylist second = MakePlaylist(200);
        second[42].Title = QStringLiteral("Changed");
        model.SetPlaylist(&second);
        QCOMPARE(view.SelectedRows(), QList<int>{42});
        QCOMPARE(view.verticalScrollBar()->value(), 30);
        QCOMPARE(model.data(model.index(42, TPlaylistModel::colTitle), Qt::DisplayRole).toString(),
                 QStringLiteral("Changed"));
    }

    void differentCountRebuildsAndLosesSelection() {
        TPlaylistModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        TLxVirtualTree view;
        view.setModel(&model);
        const TPlaylist first = MakePlaylist(10);
        model.SetPlaylist(&first);
        view.selectionModel()->select(model.index(4, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const TPlaylist second = MakePlaylist(11);
        model.SetPlaylist(&second);
        QCOMPARE(model.rowCount(), 11);
        QVERIFY(view.SelectedRows().isEmpty());
        model.SetPlaylist(nullptr);
        QCOMPARE(model.rowCount(), 0);
    }

    void clickOnEmptySpace_data() {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("clears");
        QTest::newRow("no modifier clears") << Qt::KeyboardModifiers() << true;
        QTest::newRow("shift clears") << Qt::KeyboardModifiers(Qt::ShiftModifier) << true;
        QTest::newRow("ctrl keeps") << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
        QTest::newRow("alt keeps") << Qt::KeyboardModifiers(Qt::AltModifier) << false;
    }
    void clickOnEmptySpace() {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, clears);
        TPlaylistModel model;
        TLxVirtualTree view;
        view.setModel(&model);
        view.resize(400, 300);
        const TPlaylist list = MakePlaylist(3);
        model.SetPlaylist(&list);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.selectionModel()->select(model.index(1, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        // Below the last row.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, QPoint(50, 250));
        QCOMPARE(view.SelectedRows().isEmpty(), clears);
    }
};

QTEST_MAIN(TPlaylistViewTest)
#include "PlaylistViewTest.moc"
