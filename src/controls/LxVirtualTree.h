#pragma once
// The flat multi-column list of the main window: full-row multi-selection, a
// click on empty space clears the selection, and a row can be dragged onto
// another row. Whether a drop is allowed, and what it does, is the owner's
// decision.

#include <QTreeView>
#include <functional>

class TLxVirtualTree : public QTreeView {
    Q_OBJECT

public:
    // Asked while a row of this view is dragged over ATargetRow (-1: no row).
    using TDragOverEvent = std::function<bool(int ATargetRow)>;
    // A row of this view was dropped on ATargetRow.
    using TDragDropEvent = std::function<void(int ATargetRow)>;

    explicit TLxVirtualTree(QWidget *AParent = nullptr);

    void SetOnDragOver(TDragOverEvent AEvent) { FOnDragOver = std::move(AEvent); }
    void SetOnDragDrop(TDragDropEvent AEvent) { FOnDragDrop = std::move(AEvent); }

    // Selected rows in row order.
    QList<int> SelectedRows() const;

    // Height of every row in pixels; 0 leaves it to the style.
    int DefaultNodeHeight() const { return FDefaultNodeHeight; }
    void SetDefaultNodeHeight(int AValue);

protected:
    void dataChanged(const QModelIndex &ATopLeft, const QModelIndex &ABottomRight,
                     const QList<int> &ARoles = QList<int>()) override;
    void mousePressEvent(QMouseEvent *AEvent) override;
    void startDrag(Qt::DropActions ASupportedActions) override;
    void dragEnterEvent(QDragEnterEvent *AEvent) override;
    void dragMoveEvent(QDragMoveEvent *AEvent) override;
    void dragLeaveEvent(QDragLeaveEvent *AEvent) override;
    void dropEvent(QDropEvent *AEvent) override;

private:
    bool AcceptsDrop(QDropEvent *AEvent);

    TDragOverEvent FOnDragOver;
    TDragDropEvent FOnDragDrop;
    int FDefaultNodeHeight = 0;
    bool FDragging = false;
    int FDragHorizontal = 0; // horizontal scroll position held during a drag
};
