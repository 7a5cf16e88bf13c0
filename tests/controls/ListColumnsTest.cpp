// The playlist column layout between a tree view's header and the settings'
// column collection: restoring stored layouts, rejecting broken ones, and
// round trips through the collection.

#include "controls/ListColumns.h"

#include "config/Settings.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest>

namespace {

// One column as the collection stores it: item i is logical column i.
struct TColumnState {
    int Width = 0;
    int Pos = 0;
    bool Visible = true;
    bool operator==(const TColumnState &) const = default;
};
using TLayout = QList<TColumnState>;

char *toString(const TColumnState &AState) {
    return QTest::toString(
        QStringLiteral("{width %1, pos %2, %3}")
            .arg(AState.Width)
            .arg(AState.Pos)
            .arg(AState.Visible ? QStringLiteral("visible") : QStringLiteral("hidden")));
}

// The playlist's columns as the main window builds them: "#", "Start Time",
// "Track Title", "Duration"; the main column is "Start Time".
const TLayout BuiltIn = {{60, 0, true}, {90, 1, true}, {300, 2, true}, {60, 3, true}};
constexpr int BuiltInMainColumn = 1;

void Fill(TMyColumns &AColumns, const TLayout &ALayout) {
    AColumns.Clear();
    for (const TColumnState &state : ALayout) {
        TMyColumn &item = AColumns.Add();
        item.Width = state.Width;
        item.Pos = state.Pos;
        item.Visible = state.Visible;
    }
}

TLayout Stored(const TMyColumns &AColumns) {
    TLayout layout;
    for (int i = 0; i < AColumns.Count(); ++i) {
        const TMyColumn &item = AColumns.Items(i);
        layout.append({item.Width, item.Pos, item.Visible});
    }
    return layout;
}

// What the header shows, read through its own interface. A hidden column's
// width is the one it gets back when shown.
TLayout Shown(QHeaderView &AHeader) {
    TLayout layout;
    for (int i = 0; i < AHeader.count(); ++i) {
        const bool hidden = AHeader.isSectionHidden(i);
        if (hidden)
            AHeader.showSection(i);
        layout.append({AHeader.sectionSize(i), AHeader.visualIndex(i), !hidden});
        if (hidden)
            AHeader.hideSection(i);
    }
    return layout;
}

// A playlist view with four columns in their built-in layout.
class TPlaylistView {
public:
    TPlaylistView() : FModel(3, static_cast<int>(BuiltIn.size())) {
        FView.setModel(&FModel);
        QHeaderView &header = Header();
        header.setStretchLastSection(false);
        header.setSectionsMovable(true);
        for (int i = 0; i < BuiltIn.size(); ++i)
            header.resizeSection(i, BuiltIn[i].Width);
        FView.setTreePosition(BuiltInMainColumn);
    }

    QTreeView &View() { return FView; }
    QHeaderView &Header() { return *FView.header(); }

private:
    QStandardItemModel FModel;
    QTreeView FView;
};

} // namespace

Q_DECLARE_METATYPE(TLayout)

class TListColumnsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void restore_data() {
        QTest::addColumn<TLayout>("stored");
        QTest::addColumn<bool>("applied");
        QTest::addColumn<TLayout>("shown");
        QTest::addColumn<int>("mainColumn");
        QTest::addColumn<TLayout>("collection"); // the collection afterwards

        QTest::newRow("first start fills the collection from the list")
            << TLayout{} << true << BuiltIn << 0 << BuiltIn;

        const TLayout swapped = {{61, 0, true}, {91, 2, true}, {301, 1, true}, {62, 3, true}};
        QTest::newRow("second and third columns swapped")
            << swapped << true << swapped << 0 << swapped;

        const TLayout reversed = {{60, 3, true}, {90, 2, true}, {300, 1, true}, {60, 0, true}};
        QTest::newRow("reversed order") << reversed << true << reversed << 3 << reversed;

        const TLayout rotated = {{60, 1, true}, {90, 2, true}, {300, 0, true}, {60, 3, true}};
        QTest::newRow("third column moved to the front")
            << rotated << true << rotated << 2 << rotated;

        // Moving the columns one by one in index order would show them as
        // 3, 0, 2, 1 here instead of 3, 2, 0, 1.
        const TLayout shuffled = {{60, 2, true}, {90, 3, true}, {300, 1, true}, {60, 0, true}};
        QTest::newRow("every column in a new place")
            << shuffled << true << shuffled << 3 << shuffled;

        const TLayout twice = {{61, 0, true}, {91, 1, true}, {301, 1, true}, {62, 3, true}};
        QTest::newRow("a position used twice changes nothing")
            << twice << false << BuiltIn << BuiltInMainColumn << twice;

        const TLayout beyond = {{61, 0, true}, {91, 1, true}, {301, 2, true}, {62, 4, true}};
        QTest::newRow("a position beyond the last column changes nothing")
            << beyond << false << BuiltIn << BuiltInMainColumn << beyond;

        const TLayout negative = {{61, -1, true}, {91, 1, true}, {301, 2, true}, {62, 3, true}};
        QTest::newRow("a negative position changes nothing")
            << negative << false << BuiltIn << BuiltInMainColumn << negative;

        const TLayout five = {
            {61, 0, true}, {91, 1, true}, {301, 2, true}, {62, 3, true}, {40, 4, true}};
        QTest::newRow("five saved columns for a four-column list")
            << five << false << BuiltIn << BuiltInMainColumn << five;

        QTest::newRow("two saved columns completed from the list")
            << TLayout{{70, 1, true}, {80, 0, false}} << true
            << TLayout{{70, 1, true}, {80, 0, false}, {300, 2, true}, {60, 3, true}} << 0
            << TLayout{{70, 1, true}, {80, 0, false}, {300, 2, true}, {60, 3, true}};

        QTest::newRow("completed columns clashing with the saved ones change nothing")
            << TLayout{{70, 2, true}, {80, 3, true}} << false << BuiltIn << BuiltInMainColumn
            << TLayout{{70, 2, true}, {80, 3, true}, {300, 2, true}, {60, 3, true}};

        const TLayout hidden = {{60, 0, true}, {90, 1, true}, {250, 2, false}, {60, 3, true}};
        QTest::newRow("a hidden column keeps its width") << hidden << true << hidden << 0 << hidden;

        const TLayout allHidden = {{60, 0, false}, {90, 1, false}, {300, 2, false}, {60, 3, false}};
        QTest::newRow("all columns hidden") << allHidden << true << allHidden << 0 << allHidden;

        const TLayout firstHidden = {{60, 0, false}, {90, 2, true}, {300, 1, true}, {60, 3, true}};
        QTest::newRow("main column is the first visible one in display order")
            << firstHidden << true << firstHidden << 2 << firstHidden;
    }
    void restore() {
        QFETCH(TLayout, stored);
        QFETCH(bool, applied);
        QFETCH(TLayout, shown);
        QFETCH(int, mainColumn);
        QFETCH(TLayout, collection);
        TPlaylistView view;
        TMyColumns columns;
        Fill(columns, stored);

        QCOMPARE(RestoreListColumns(view.Header(), columns), applied);

        QCOMPARE(Shown(view.Header()), shown);
        QCOMPARE(view.View().treePosition(), mainColumn);
        QCOMPARE(Stored(columns), collection);
    }

    void keyboardCursorMovesToTheMainColumn() {
        TPlaylistView view;
        view.View().setCurrentIndex(view.View().model()->index(2, 0));
        TMyColumns columns;
        Fill(columns, {{60, 0, false}, {90, 1, true}, {300, 2, true}, {60, 3, true}});

        QVERIFY(RestoreListColumns(view.Header(), columns));

        QCOMPARE(view.View().currentIndex(), view.View().model()->index(2, 1));
    }

    // Changes the user makes in the header survive saving into the
    // collection and restoring into a freshly built list.
    void roundTrip_data() {
        QTest::addColumn<int>("resizeColumn"); // -1: none
        QTest::addColumn<int>("moveFrom");     // visual positions; -1: none
        QTest::addColumn<int>("moveTo");
        QTest::addColumn<int>("hideColumn"); // -1: none

        QTest::newRow("built-in layout") << -1 << -1 << -1 << -1;
        QTest::newRow("column widened") << 2 << -1 << -1 << -1;
        QTest::newRow("column dragged to the front") << -1 << 3 << 0 << -1;
        QTest::newRow("column hidden") << -1 << -1 << -1 << 1;
        QTest::newRow("widened, moved and hidden") << 0 << 1 << 3 << 0;
    }
    void roundTrip() {
        QFETCH(int, resizeColumn);
        QFETCH(int, moveFrom);
        QFETCH(int, moveTo);
        QFETCH(int, hideColumn);
        TMyColumns columns;
        TLayout before;
        {
            TPlaylistView view;
            QHeaderView &header = view.Header();
            if (resizeColumn >= 0)
                header.resizeSection(resizeColumn, 444);
            if (moveFrom >= 0)
                header.moveSection(moveFrom, moveTo);
            if (hideColumn >= 0)
                header.hideSection(hideColumn);
            before = Shown(header);

            SaveListColumns(header, columns);

            QCOMPARE(Stored(columns), before);
            QCOMPARE(Shown(header), before); // saving leaves the list alone
        }
        TPlaylistView view;
        QVERIFY(RestoreListColumns(view.Header(), columns));
        QCOMPARE(Shown(view.Header()), before);
    }

    void saveReplacesEveryItem() {
        TPlaylistView view;
        TMyColumns columns;
        Fill(columns, {{1, 4, false}, {2, 3, false}, {3, 2, false}, {4, 1, false}, {5, 0, false}});

        SaveListColumns(view.Header(), columns);

        QCOMPARE(Stored(columns), BuiltIn);
    }
};

QTEST_MAIN(TListColumnsTest)
#include "ListColumnsTest.moc"
