#include "controls/WindowHelpers.h"

#include "core/MessageBox.h"
#include "core/Utils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHash>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>

namespace {

constexpr qint64 KPPICacheMs = 30000;
constexpr qint64 KPopupGuardMs = 100;

struct TPPIEntry {
    int PPI = 96;
    qint64 Tick = 0;
};

QScreen *CurrentScreen() {
    const QWidget *main = QApplication::activeWindow();
    if (main == nullptr) {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible()) {
                main = w;
                break;
            }
        }
    }
    if (main != nullptr && main->screen() != nullptr)
        return main->screen();
    return QGuiApplication::primaryScreen();
}

} // namespace

qint64 &LastPopupTick() {
    static qint64 Tick = -KPopupGuardMs - 1;
    return Tick;
}

void EnsureFormOnScreen(QWidget *AWindow) {
    const QRect frame = AWindow->frameGeometry();
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen->geometry().intersects(frame))
            return;
    }
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary == nullptr)
        return;
    const QRect area = primary->geometry();
    AWindow->move(area.left() + (area.width() - frame.width()) / 2,
                  area.top() + (area.height() - frame.height()) / 2);
}

int GetCurrentPPI() {
    static QHash<const QScreen *, TPPIEntry> Cache;
    const QScreen *screen = CurrentScreen();
    if (screen == nullptr)
        return 96;
    const qint64 now = GetTickMs();
    auto it = Cache.find(screen);
    if (it != Cache.end() && now - it->Tick <= KPPICacheMs)
        return it->PPI;
    const int ppi = qRound(screen->logicalDotsPerInch());
    Cache.insert(screen, {ppi, now});
    return ppi;
}

int ScaleValue(int AValue) {
    // Rounded to the nearest pixel, halves away from zero.
    const qint64 product = static_cast<qint64>(AValue) * GetCurrentPPI();
    return static_cast<int>(product >= 0 ? (product + 48) / 96 : (product - 48) / 96);
}

void PopupMenuUnderButton(QAbstractButton *AButton, QMenu *AMenu) {
    if (GetTickMs() - LastPopupTick() <= KPopupGuardMs)
        return;
    AMenu->exec(AButton->mapToGlobal(QPoint(0, AButton->height())));
    LastPopupTick() = GetTickMs();
}

bool SelectFolder(QString &AFolder) {
    const QString chosen = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QString(), AFolder, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return false;
    AFolder = chosen;
    return true;
}

void InstallWidgetMessageBoxes() {
    SetMessageBoxPresenter([](const QString &AText, const QString &ACaption, int AFlags) {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(ACaption);
        // The text may be the station's: shown as it stands, never as markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(AText);
        const int buttons = AFlags & 0x0F;
        const int icon = AFlags & 0xF0;
        box.setIcon(icon == mbIconError         ? QMessageBox::Critical
                    : icon == mbIconQuestion    ? QMessageBox::Question
                    : icon == mbIconWarning     ? QMessageBox::Warning
                    : icon == mbIconInformation ? QMessageBox::Information
                                                : QMessageBox::NoIcon);
        if (buttons == mbYesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? mrYes : mrNo;
        }
        if (buttons == mbOKCancel) {
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            return box.exec() == QMessageBox::Ok ? mrOk : mrCancel;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return mrOk;
    });
}
