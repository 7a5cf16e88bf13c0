#pragma once
// The text of a read-only control as a screen reader reads it: by character,
// word, sentence or as a whole, with no caret and no selection. Controls that
// only show a text (the now-playing bars, the countdown labels) expose it
// through this, so a reader can review it and not only hear its name.

#include <QAccessibleInterface>
#include <QString>

class TStaticTextInterface : public QAccessibleTextInterface {
public:
    // The text the control shows now.
    virtual QString ShownText() const = 0;

    void selection(int ASelectionIndex, int *AStartOffset, int *AEndOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int AStartOffset, int AEndOffset) const override;
    QString textBeforeOffset(int AOffset, QAccessible::TextBoundaryType ABoundaryType,
                             int *AStartOffset, int *AEndOffset) const override;
    QString textAfterOffset(int AOffset, QAccessible::TextBoundaryType ABoundaryType,
                            int *AStartOffset, int *AEndOffset) const override;
    QString textAtOffset(int AOffset, QAccessible::TextBoundaryType ABoundaryType,
                         int *AStartOffset, int *AEndOffset) const override;
    int characterCount() const override { return static_cast<int>(ShownText().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int AOffset, int *AStartOffset, int *AEndOffset) const override;
};
