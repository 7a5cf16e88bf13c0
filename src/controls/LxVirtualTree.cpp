#include "controls/LxVirtualTree.h"

#include <QAccessible>
#include <QDrag>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

// Marks a drag of rows of a list of this program; the rows themselves are
// read from the source view's selection.
const QString KRowsMime = QStringLiteral("application/x-vocarra-rows");

// Gives every row the view's row height. With uniform row heights the view
// asks only once, so the cost does not grow with the rows.
class TRowHeightDelegate : public QStyledItemDelegate {
public:
    explicit TRowHeightDelegate(TLxVirtualTree *AView) : QStyledItemDelegate(AView), FView(AView) {}
    QSize sizeHint(const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override {
        QSize size = QStyledItemDelegate::sizeHint(AOption, AIndex);
        if (FView->DefaultNodeHeight() > 0)
            size.setHeight(FView->DefaultNodeHeight());
        return size;
    }

private:
    TLxVirtualTree *FView;
};

} // namespace

TLxVirtualTree::TLxVirtualTree(QWidget *AParent) : QTreeView(AParent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setIndentation(0);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setAutoScroll(true);
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);
    setItemDelegate(new TRowHeightDelegate(this));

    // Auto-scroll during a drag goes up and down only: sideways scrolling
    // would move the row under the pointer the user is aiming at.
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int AValue) {
        if (FDragging && AValue != FDragHorizontal)
            horizontalScrollBar()->setValue(FDragHorizontal);
    });
}

QList<int> TLxVirtualTree::SelectedRows() const {
    QList<int> rows;
    if (selectionModel() == nullptr)
        return rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TLxVirtualTree::SetDefaultNodeHeight(int AValue) {
    if (AValue == FDefaultNodeHeight)
        return;
    FDefaultNodeHeight = AValue;
    // Makes the view ask the delegate again.
    scheduleDelayedItemsLayout();
}

void TLxVirtualTree::dataChanged(const QModelIndex &ATopLeft, const QModelIndex &ABottomRight,
                                 const QList<int> &ARoles) {
    if (ATopLeft.row() == ABottomRight.row()) {
        QTreeView::dataChanged(ATopLeft, ABottomRight, ARoles);
        return;
    }
    // A refresh rebinds every row at once. The base views measure each row of
    // the range to find what to repaint and which heights changed, which costs
    // milliseconds for a long playlist; here all rows have one height and
    // nothing is edited in place, so repainting what is visible is enough.
    viewport()->update();
#if QT_CONFIG(accessibility)
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::DataChanged);
        event.setFirstRow(ATopLeft.row());
        event.setFirstColumn(ATopLeft.column());
        event.setLastRow(ABottomRight.row());
        event.setLastColumn(ABottomRight.column());
        QAccessible::updateAccessibility(&event);
    }
#endif
}

void TLxVirtualTree::mousePressEvent(QMouseEvent *AEvent) {
    const Qt::KeyboardModifiers mods = AEvent->modifiers();
    const bool onEmptySpace = !indexAt(AEvent->position().toPoint()).isValid();
    if (AEvent->button() == Qt::LeftButton && onEmptySpace && (mods & Qt::AltModifier) &&
        !(mods & Qt::ControlModifier)) {
        // Alt with a click on empty space keeps the selection, as Ctrl does;
        // the base class would clear it.
        setFocus(Qt::MouseFocusReason);
        return;
    }
    QTreeView::mousePressEvent(AEvent);
    if (AEvent->button() == Qt::LeftButton && onEmptySpace &&
        !(mods & (Qt::ControlModifier | Qt::AltModifier)))
        clearSelection();
}

void TLxVirtualTree::startDrag(Qt::DropActions) {
    // The drop only asks the owner to act; the rows stay where they are until
    // the owner changes the model, so the base class's removal of moved rows
    // must not run.
    if (SelectedRows().isEmpty())
        return;
    auto *mime = new QMimeData;
    mime->setData(KRowsMime, QByteArray());
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction);
}

bool TLxVirtualTree::AcceptsDrop(QDropEvent *AEvent) {
    if (AEvent->source() != this || !AEvent->mimeData()->hasFormat(KRowsMime))
        return false;
    const int row = indexAt(AEvent->position().toPoint()).row();
    return FOnDragOver && FOnDragOver(row);
}

void TLxVirtualTree::dragEnterEvent(QDragEnterEvent *AEvent) {
    FDragging = true;
    FDragHorizontal = horizontalScrollBar()->value();
    QTreeView::dragEnterEvent(AEvent);
    if (AEvent->source() == this)
        AEvent->acceptProposedAction();
}

void TLxVirtualTree::dragMoveEvent(QDragMoveEvent *AEvent) {
    QTreeView::dragMoveEvent(AEvent); // auto-scroll and drop indicator
    if (AcceptsDrop(AEvent)) {
        AEvent->setDropAction(Qt::MoveAction);
        AEvent->accept();
    } else {
        AEvent->ignore();
    }
}

void TLxVirtualTree::dragLeaveEvent(QDragLeaveEvent *AEvent) {
    FDragging = false;
    QTreeView::dragLeaveEvent(AEvent);
}

void TLxVirtualTree::dropEvent(QDropEvent *AEvent) {
    FDragging = false;
    if (!AcceptsDrop(AEvent)) {
        AEvent->ignore();
        return;
    }
    AEvent->setDropAction(Qt::MoveAction);
    AEvent->accept();
    if (FOnDragDrop)
        FOnDragDrop(indexAt(AEvent->position().toPoint()).row());
}
