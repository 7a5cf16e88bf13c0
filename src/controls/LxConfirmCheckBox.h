#pragma once
// A check box that asks its owner before the user toggles it (click, space
// bar or accelerator): a refused toggle leaves the box as it was and sends no
// click. Setting the state from code does not ask.

#include <QCheckBox>
#include <functional>

class TLxConfirmCheckBox;

using TBeforeChangeEvent = std::function<void(TLxConfirmCheckBox *ASender, bool &AllowChange)>;

class TLxConfirmCheckBox : public QCheckBox {
    Q_OBJECT

public:
    explicit TLxConfirmCheckBox(QWidget *AParent = nullptr);
    explicit TLxConfirmCheckBox(const QString &AText, QWidget *AParent = nullptr);

    TBeforeChangeEvent OnBeforeChange;

protected:
    bool event(QEvent *AEvent) override;
    void mouseReleaseEvent(QMouseEvent *AEvent) override;
    void keyReleaseEvent(QKeyEvent *AEvent) override;

private:
    bool AllowChange();
    // Ends a press without a click.
    void Refuse();
};
