#include "dspwindows/VSTParamForm.h"

#include "chain/PluginHost.h"
#include "config/TextCodec.h"
#include "controls/LxTrackBar.h"
#include "controls/WindowHelpers.h"
#include "core/MessageBox.h"
#include "dsp/DSPItems.h"
#include "dspwindows/DialogPlacement.h"
#include "dspwindows/WindowAccessible.h"

#include <QByteArrayView>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <xcb/xcb.h>

using namespace Qt::StringLiterals;

namespace {

// The plug-in's editor gets its time slice this often while shown.
constexpr int KIdleIntervalMs = 40;
// A side the plug-in leaves at 0.
constexpr int KDefaultEditorSide = 600;
// The bound when no screen can be asked.
constexpr int KFallbackLimit = 4096;

// The parameter's index, kept on its slider.
constexpr const char *KTagProperty = "Tag";

// A slider whose owner hears of a new position before screen readers are
// told, so that the value they are given is the plug-in's answer to it.
class TVSTParamTrackBar final : public TLxTrackBar {
public:
    using TLxTrackBar::TLxTrackBar;

    std::function<void(TLxTrackBar *ASender)> OnPositionChange;

protected:
    void PositionChanged(int APosition) override {
        if (OnPositionChange)
            OnPositionChange(this);
        TLxTrackBar::PositionChanged(APosition);
    }
};

// The host's texts are single-byte text of no declared encoding: plug-ins
// written for Linux mostly send UTF-8, older ones a Western code page.
template <size_t N> QString PluginText(const char (&AText)[N]) {
    const QByteArrayView bytes(AText, qsizetype(qstrnlen(AText, N)));
    return IsValidUtf8(bytes) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

bool ReadParamInfo(quint32 AVstHandle, int AIndex, BASS_VST_PARAM_INFO &AInfo) {
    AInfo = {};
    return PluginHost().BASS_VST_GetParamInfo(AVstHandle, AIndex, &AInfo);
}

int TrackPosition(float AValue) {
    if (std::isnan(AValue))
        return 0;
    const double position = std::round(double(AValue) * TFrmVSTParam::KTrackMax);
    return int(std::clamp(position, 0.0, double(TFrmVSTParam::KTrackMax)));
}

// Every window of this module while it exists, in creation order: the
// editors' resize requests find their window here, also while the window is
// still opening the editor and not yet anyone's.
std::vector<TFrmVSTParam *> &LiveWindows() {
    static std::vector<TFrmVSTParam *> Windows;
    return Windows;
}

// The chain entries' windows. QPointer: a window someone else deleted is
// created anew instead of shown.
std::map<const TDSPItemC *, QPointer<TFrmVSTParam>> &Registry() {
    static std::map<const TDSPItemC *, QPointer<TFrmVSTParam>> Windows;
    return Windows;
}

void FreeWindowOf(TDSPItemC &AItem) {
    const auto found = Registry().find(&AItem);
    if (found == Registry().end())
        return;
    const QPointer<TFrmVSTParam> window = found->second;
    Registry().erase(found);
    delete window.data();
}

void ShowAgain(TFrmVSTParam *AWindow) {
    if (AWindow->isMinimized())
        AWindow->showNormal();
    else
        AWindow->show();
    AWindow->raise();
    AWindow->activateWindow();
}

// Plug-ins draw through connections of their own to the X server, so the
// window whose id they are given must already exist there: a round trip
// makes the server carry out everything this connection has asked so far.
void SyncWindowSystem() {
    // Other platforms (offscreen among them) may answer for X11 too, without
    // an X connection of their own.
    if (QGuiApplication::platformName() != u"xcb"_s)
        return;
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr)
        return;
    // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): xcb hands out malloc'ed replies
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

} // namespace

TFrmVSTParam::TFrmVSTParam(quint32 AVstHandle, bool AUseTextUI, QWidget *AMainWindow)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      H(AVstHandle), FTextUI(AUseTextUI) {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    InstallChainWindowAccessible();
    LiveWindows().push_back(this);
    setWindowTitle(u"VST"_s);
    // An open plug-in window must not keep the program running once the main
    // window has closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (FTextUI) {
        sbParams = new QScrollArea(this);
        sbParams->setObjectName(u"sbParams"_s);
        sbParams->setWidgetResizable(true);
        pnParams = new QWidget;
        pnParams->setObjectName(u"pnParams"_s);
        FRows = new QGridLayout(pnParams);
        FRows->setContentsMargins(ScaleValue(6), ScaleValue(10), ScaleValue(6), ScaleValue(10));
        sbParams->setWidget(pnParams);
        layout->addWidget(sbParams);
        BuildTextUI();
        resize(ScaleValue(500), ScaleValue(400));
    } else {
        FEditorHost = new QWidget(this);
        FEditorHost->setObjectName(u"pnEditor"_s);
        FEditorHost->setAttribute(Qt::WA_NativeWindow);
        layout->addWidget(FEditorHost);
        tmrIdle = new QTimer(this);
        tmrIdle->setObjectName(u"tmrIdle"_s);
        tmrIdle->setInterval(KIdleIntervalMs);
        connect(tmrIdle, &QTimer::timeout, this, &TFrmVSTParam::tmrIdleTimer);
    }
    // The bounds of the editor's size come from the main window's screen,
    // where the window will open.
    FLimitScreen = AMainWindow != nullptr ? AMainWindow->screen() : screen();
    if (!FTextUI)
        BuildEditor();
    CentreOnMainWindow(this, AMainWindow);
}

TFrmVSTParam::~TFrmVSTParam() {
    // Gone from the resize receivers first: closing the editor may still ask.
    std::erase(LiveWindows(), this);
    if (tmrIdle != nullptr)
        tmrIdle->stop();
    // The plug-in closes its window while ours, its parent, still exists.
    if (FEditorHost != nullptr)
        PluginHost().BASS_VST_EmbedEditor(H, 0);
}

void TFrmVSTParam::BuildEditor() {
    BASS_VST_INFO info;
    PluginHost().BASS_VST_GetInfo(H, &info);
    // Cut down to a size an int holds before the screen bounds it.
    const auto side = [](quint32 ASide) {
        return ASide == 0 ? KDefaultEditorSide : int(std::min<quint32>(ASide, KFallbackLimit * 4));
    };
    SetClientSize(side(info.editorWidth), side(info.editorHeight));
    const WId id = FEditorHost->winId();
    SyncWindowSystem();
    FEditorOpen = PluginHost().BASS_VST_EmbedEditor(H, quintptr(id));
}

QSize TFrmVSTParam::ClientLimit() const {
    // Once shown the window may have been moved to another screen.
    const QScreen *where = isVisible() || FLimitScreen == nullptr ? screen() : FLimitScreen.data();
    const QSize available = where != nullptr ? where->availableGeometry().size() : QSize();
    return {available.width() > 0 ? available.width() : KFallbackLimit,
            available.height() > 0 ? available.height() : KFallbackLimit};
}

void TFrmVSTParam::SetClientSize(int AWidth, int AHeight) {
    const QSize limit = ClientLimit();
    resize(std::clamp(AWidth, 1, limit.width()), std::clamp(AHeight, 1, limit.height()));
}

void TFrmVSTParam::EditorResize(int AWidth, int AHeight) {
    // A side of 0 or less is no size at all; the request is ignored.
    if (FEditorHost == nullptr || AWidth <= 0 || AHeight <= 0)
        return;
    SetClientSize(AWidth, AHeight);
}

void TFrmVSTParam::tmrIdleTimer() {
    PluginHost().VSTEditorIdle(H);
}

void TFrmVSTParam::showEvent(QShowEvent *AEvent) {
    QWidget::showEvent(AEvent);
    if (tmrIdle != nullptr)
        tmrIdle->start();
}

void TFrmVSTParam::hideEvent(QHideEvent *AEvent) {
    QWidget::hideEvent(AEvent);
    // Also when minimised: an editor no one sees needs no time slice.
    if (tmrIdle != nullptr)
        tmrIdle->stop();
}

void TFrmVSTParam::ClearRows() {
    UI.clear();
    if (pnParams == nullptr)
        return;
    const QList<QWidget *> controls =
        pnParams->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    qDeleteAll(controls);
}

void TFrmVSTParam::BuildTextUI() {
    if (pnParams == nullptr)
        return;
    ClearRows();
    TPluginHost &host = PluginHost();
    const int count = std::clamp(host.BASS_VST_GetParamCount(H), 0, KMaxRows);
    UI.resize(size_t(count));
    // The sliders line up right of the longest name a plug-in can send.
    FRows->setColumnMinimumWidth(0, fontMetrics().horizontalAdvance(u"WWWWWWWWWWWWWWWW"_s));
    for (int i = 0; i < count; ++i) {
        BASS_VST_PARAM_INFO info;
        if (!ReadParamInfo(H, i, info))
            continue;
        const QString name = PluginText(info.name);
        auto *lbName = new QLabel(name, pnParams);
        lbName->setObjectName(u"lbName%1"_s.arg(i));
        lbName->setTextFormat(Qt::PlainText);
        auto *track = new TVSTParamTrackBar(Qt::Horizontal, pnParams);
        track->setObjectName(u"tbParam%1"_s.arg(i));
        track->setFixedWidth(ScaleValue(200));
        track->setRange(0, KTrackMax);
        track->setTickPosition(QSlider::NoTicks);
        // Arrow keys move by a hundredth, page keys by a tenth: a thousand
        // steps are too fine to reach by keyboard.
        track->setSingleStep(10);
        track->setPageStep(100);
        track->setProperty(KTagProperty, i);
        track->SetAccessibleName(name);
        track->setValue(TrackPosition(host.BASS_VST_GetParam(H, i)));
        // Set after the start position, which the plug-in already holds.
        track->OnPositionChange = [this](TLxTrackBar *ASender) { OnTextUITrackChange(ASender); };
        track->SetOnGetAccessibleValue(
            [this, i](TLxTrackBar *, QString &AValue) { AValue = SpokenParamValue(i); });
        auto *lbVal = new QLabel(PluginText(info.display), pnParams);
        lbVal->setObjectName(u"lbValue%1"_s.arg(i));
        lbVal->setTextFormat(Qt::PlainText);
        FRows->addWidget(lbName, i, 0);
        FRows->addWidget(track, i, 1);
        FRows->addWidget(lbVal, i, 2);
        UI[size_t(i)] = {lbVal, track, PluginText(info.unit)};
    }
    // Rows keep their height and gather at the top left.
    FRows->setColumnStretch(3, 1);
    FRows->setRowStretch(count, 1);
}

void TFrmVSTParam::OnTextUITrackChange(TLxTrackBar *ASender) {
    bool known = false;
    const int index = ASender->property(KTagProperty).toInt(&known);
    if (!known || index < 0 || size_t(index) >= UI.size())
        return;
    PluginHost().BASS_VST_SetParam(H, index, float(ASender->value()) / KTrackMax);
    BASS_VST_PARAM_INFO info;
    if (!ReadParamInfo(H, index, info))
        return;
    TVSTUI &row = UI[size_t(index)];
    row.Val->setText(PluginText(info.display));
    row.Unit = PluginText(info.unit);
}

QString TFrmVSTParam::SpokenParamValue(int AIndex) const {
    if (AIndex < 0 || size_t(AIndex) >= UI.size() || UI[size_t(AIndex)].Val == nullptr)
        return {};
    const TVSTUI &row = UI[size_t(AIndex)];
    QString display = row.Val->text();
    if (row.Unit.isEmpty())
        return display;
    if (display.isEmpty())
        return row.Unit;
    return display + u' ' + row.Unit;
}

void ConfigureVSTEntry(TDSPItemC &AItem, bool AUseTextUI, QWidget *AMainWindow) {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    if (AItem.H == 0)
        return;
    BASS_VST_INFO info;
    PluginHost().BASS_VST_GetInfo(AItem.H, &info);
    if (info.hasEditor != 1) {
        MyMessageBox(u"No parameters window available"_s, u"VST"_s, mbIconInformation);
        return;
    }
    const auto found = Registry().find(&AItem);
    if (found != Registry().end()) {
        TFrmVSTParam *window = found->second;
        if (window != nullptr && window->H == AItem.H) {
            ShowAgain(window);
            return;
        }
        // The entry was restarted without its stop reaching us: the window
        // shows an effect that is gone.
        Registry().erase(found);
        delete window;
    }
    auto *window = new TFrmVSTParam(AItem.H, AUseTextUI, AMainWindow);
    Registry()[&AItem] = window;
    window->show();
}

void ConfigurePluginEntry(TDSPItemC &AItem, bool AUseTextUI, QWidget *AMainWindow) {
    if (AItem.T != dspPlugin)
        return;
    if (AItem.PluginType == ptVST)
        ConfigureVSTEntry(AItem, AUseTextUI, AMainWindow);
}

TFrmVSTParam *VSTParamWindow(const TDSPItemC &AItem) {
    const auto found = Registry().find(&AItem);
    return found == Registry().end() ? nullptr : found->second.data();
}

void InstallVSTParamWindows() {
    TPluginHost &host = PluginHost();
    host.SetVSTWindowFreer([](TDSPItemC &AItem) { FreeWindowOf(AItem); });
    host.SetVSTEditorResize([](quint32 AVstHandle, int AWidth, int AHeight) {
        // A copy: a resize may run code of the plug-in, which may do anything.
        const std::vector<QPointer<TFrmVSTParam>> windows(LiveWindows().begin(),
                                                          LiveWindows().end());
        for (const QPointer<TFrmVSTParam> &window : windows)
            if (window != nullptr && window->H == AVstHandle && window->EditorHost() != nullptr)
                window->EditorResize(AWidth, AHeight);
    });
}

void FreeVSTParamWindows() {
    std::map<const TDSPItemC *, QPointer<TFrmVSTParam>> windows;
    windows.swap(Registry());
    for (auto &[item, window] : windows)
        delete window.data();
}
