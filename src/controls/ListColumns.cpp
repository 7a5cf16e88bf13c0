#include "controls/ListColumns.h"

#include "config/Settings.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QTreeView>
#include <vector>

namespace {

// Holds back repaints of the header and its view for one batch of column
// changes; they resume on every way out, an exception included.
class TColumnBatch {
public:
    explicit TColumnBatch(QHeaderView &AHeader) {
        Hold(&AHeader);
        if (auto *view = qobject_cast<QAbstractItemView *>(AHeader.parentWidget()))
            Hold(view->viewport());
    }
    ~TColumnBatch() {
        for (QWidget *widget : FHeld)
            widget->setUpdatesEnabled(true);
    }
    TColumnBatch(const TColumnBatch &) = delete;
    TColumnBatch &operator=(const TColumnBatch &) = delete;

private:
    void Hold(QWidget *AWidget) {
        if (AWidget == nullptr || !AWidget->updatesEnabled())
            return; // someone further out holds it and will resume it
        AWidget->setUpdatesEnabled(false);
        FHeld.push_back(AWidget);
    }

    std::vector<QWidget *> FHeld;
};

// The header reports 0 for a hidden section but keeps the size it will show
// again; showing the section for a moment is the only public way to read it.
int ColumnWidth(const QHeaderView &AHeader, int ALogical) {
    if (!AHeader.isSectionHidden(ALogical))
        return AHeader.sectionSize(ALogical);
    auto &header = const_cast<QHeaderView &>(AHeader);
    // The view need not hear of a change that is undone at once.
    const QSignalBlocker blocker(header);
    header.setSectionHidden(ALogical, false);
    const int width = header.sectionSize(ALogical);
    header.setSectionHidden(ALogical, true);
    return width;
}

// Every position 0 .. n-1 used by exactly one item.
bool IsValidLayout(const TMyColumns &AColumns, int ACount) {
    std::vector<bool> used(static_cast<size_t>(ACount), false);
    for (int i = 0; i < ACount; ++i) {
        const qint32 pos = AColumns.Items(i).Pos;
        if (pos < 0 || pos >= ACount || used[static_cast<size_t>(pos)])
            return false;
        used[static_cast<size_t>(pos)] = true;
    }
    return true;
}

// The main column is where a tree view draws its decoration and where the
// keyboard cursor sits.
void SetMainColumn(QHeaderView &AHeader, int AColumn) {
    auto *view = qobject_cast<QTreeView *>(AHeader.parentWidget());
    if (view == nullptr)
        return;
    view->setTreePosition(AColumn);
    QItemSelectionModel *selection = view->selectionModel();
    if (selection == nullptr)
        return;
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && current.column() != AColumn)
        selection->setCurrentIndex(current.siblingAtColumn(AColumn), QItemSelectionModel::NoUpdate);
}

} // namespace

void SaveListColumns(const QHeaderView &AHeader, TMyColumns &AColumns) {
    AColumns.Clear();
    for (int i = 0; i < AHeader.count(); ++i) {
        TMyColumn &item = AColumns.Add();
        item.Width = ColumnWidth(AHeader, i);
        item.Pos = AHeader.visualIndex(i);
        item.Visible = !AHeader.isSectionHidden(i);
    }
}

bool RestoreListColumns(QHeaderView &AHeader, TMyColumns &AColumns) {
    const int count = AHeader.count();
    // Saved for a list with more columns: the list keeps its own layout, and
    // the next SaveListColumns replaces the stale one.
    if (AColumns.Count() > count)
        return false;
    // Columns the layout does not know yet (first start, or a list that grew)
    // come in at their own index, as the list has them.
    while (AColumns.Count() < count) {
        const int k = AColumns.Count();
        TMyColumn &item = AColumns.Add();
        item.Visible = !AHeader.isSectionHidden(k);
        item.Width = ColumnWidth(AHeader, k);
        item.Pos = k;
    }
    if (!IsValidLayout(AColumns, count))
        return false;

    {
        const TColumnBatch batch(AHeader);
        for (int i = 0; i < count; ++i)
            AHeader.setSectionHidden(i, !AColumns.Items(i).Visible);
    }
    {
        const TColumnBatch batch(AHeader);
        // Filling the positions from the left makes each move leave the
        // columns already placed alone, so any permutation comes out right.
        std::vector<int> atPosition(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            atPosition[static_cast<size_t>(AColumns.Items(i).Pos)] = i;
        for (int pos = 0; pos < count; ++pos)
            AHeader.moveSection(AHeader.visualIndex(atPosition[static_cast<size_t>(pos)]), pos);
    }
    {
        const TColumnBatch batch(AHeader);
        // A hidden column takes its width too, for when it is shown again.
        for (int i = 0; i < count; ++i)
            AHeader.resizeSection(i, AColumns.Items(i).Width);
    }
    SetMainColumn(AHeader, MainListColumn(AHeader));
    return true;
}

int MainListColumn(const QHeaderView &AHeader) {
    for (int pos = 0; pos < AHeader.count(); ++pos) {
        const int logical = AHeader.logicalIndex(pos);
        if (!AHeader.isSectionHidden(logical))
            return logical;
    }
    return 0;
}
