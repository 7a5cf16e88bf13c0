// The plug-in parameters window against a scripted plug-in host: the rows of
// the slider window, what a slider sends and shows and what a screen reader
// hears of it, the plug-in's own editor (size bounds, resize requests, idle
// time), and the life of an entry's window from Configure to the entry's stop.

#include "dspwindows/VSTParamForm.h"

#include "VSTParamTestSupport.h"
#include "chain/DSPManager.h"
#include "controls/LxTrackBar.h"
#include "controls/WindowHelpers.h"
#include "core/MessageBox.h"
#include "dsp/DSPItems.h"
#include "station/SystemIni.h"
#include "support/ModalWindows.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <climits>
#include <cmath>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The parameters windows that exist, shown or not.
QList<TFrmVSTParam *> ParamWindows() {
    QList<TFrmVSTParam *> windows;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<TFrmVSTParam *>(widget))
            windows << window;
    return windows;
}

QList<TLxTrackBar *> Sliders(TFrmVSTParam *AWindow) {
    return AWindow->findChildren<TLxTrackBar *>();
}

QSize AvailableSize() {
    return QGuiApplication::primaryScreen()->availableGeometry().size();
}

} // namespace

class TVSTParamFormTest : public QObject {
    Q_OBJECT

private:
    TVSTScriptedHost *Host = nullptr;
    TPluginHost *FPreviousHost = nullptr;
    std::vector<TShownBox> Boxes;
    TDSPItemsC Chain;

    TDSPItemC &AddVSTEntry(quint32 AVstHandle) {
        TDSPItemC &item = Chain.Add();
        item.T = dspPlugin;
        item.PluginType = ptVST;
        item.PluginPath = u"/usr/lib/vst/Scripted.so"_s;
        item.DispName = u"Scripted"_s;
        item.State = psActive;
        item.H = AVstHandle;
        return item;
    }

    // The slider window of a fresh entry over effect 7.
    TFrmVSTParam *OpenTextWindow() {
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, true, nullptr);
        return VSTParamWindow(item);
    }

private Q_SLOTS:
    void init() {
        Host = new TVSTScriptedHost;
        FPreviousHost = SetPluginHost(Host);
        InstallVSTParamWindows();
        Boxes.clear();
        SetMessageBoxPresenter([this](const QString &AText, const QString &ACaption, int AFlags) {
            Boxes.push_back({AText, ACaption, AFlags});
            return 1;
        });
    }
    void cleanup() {
        FreeVSTParamWindows();
        Chain.Clear();
        SetMessageBoxPresenter(nullptr);
        SetPluginHost(FPreviousHost);
        delete Host;
        Host = nullptr;
        QCOMPARE(ParamWindows().size(), 0);
    }

    // --- The slider window -------------------------------------------------

    void rowsAreBoundedByTheParameterCount_data() {
        QTest::addColumn<int>("params");
        QTest::addColumn<int>("reported");
        QTest::addColumn<int>("rows");
        QTest::newRow("three") << 3 << 3 << 3;
        QTest::newRow("150 parameters give 100 rows") << 150 << 150 << 100;
        QTest::newRow("exactly 100") << 100 << 100 << 100;
        QTest::newRow("none") << 0 << 0 << 0;
        QTest::newRow("a negative count") << 3 << -5 << 0;
        QTest::newRow("a huge count") << 3 << INT_MAX << 100;
    }
    void rowsAreBoundedByTheParameterCount() {
        QFETCH(int, params);
        QFETCH(int, reported);
        QFETCH(int, rows);
        Host->AddEffect(7, params).ReportedCount = reported;
        TFrmVSTParam *window = OpenTextWindow();
        QVERIFY(window != nullptr);
        QCOMPARE(int(window->UI.size()), rows);
        // Beyond the plug-in's real parameters the information cannot be read.
        QCOMPARE(Sliders(window).size(), std::min(rows, params));
        for (int i = 0; i < std::min(rows, params); ++i) {
            QVERIFY(window->UI[size_t(i)].Track != nullptr);
            QCOMPARE(window->UI[size_t(i)].Track->property("Tag").toInt(), i);
            QCOMPARE(window->UI[size_t(i)].Track->AccessibleName(), u"P%1"_s.arg(i));
        }
        QVERIFY(!Host->Log.join(u'\n').contains(u"SetParam"_s));
    }

    void anUnreadableParameterLeavesItsRowEmpty() {
        TScriptedEffect &effect = Host->AddEffect(7, 3);
        effect.Params[1].Readable = false;
        TFrmVSTParam *window = OpenTextWindow();
        QCOMPARE(window->UI.size(), size_t(3));
        QVERIFY(window->UI[1].Track == nullptr && window->UI[1].Val == nullptr);
        QCOMPARE(window->UI[2].Track->AccessibleName(), u"P2"_s);
        QCOMPARE(window->UI[2].Track->property("Tag").toInt(), 2);
        QCOMPARE(Sliders(window).size(), 2);
    }

    void aSliderStartsAtTheParameterValue_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("position");
        QTest::newRow("a quarter") << 0.25f << 250;
        QTest::newRow("left end") << 0.0f << 0;
        QTest::newRow("right end") << 1.0f << 1000;
        QTest::newRow("rounded to the nearest step") << 0.2506f << 251;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 0;
        QTest::newRow("above the range") << 1.7f << 1000;
        QTest::newRow("below the range") << -0.3f << 0;
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 1000;
    }
    void aSliderStartsAtTheParameterValue() {
        QFETCH(float, value);
        QFETCH(int, position);
        Host->AddEffect(7, 2).Params[0].Value = value;
        TFrmVSTParam *window = OpenTextWindow();
        TLxTrackBar *track = window->UI[0].Track;
        QCOMPARE(track->minimum(), 0);
        QCOMPARE(track->maximum(), TFrmVSTParam::KTrackMax);
        QCOMPARE(track->value(), position);
        QCOMPARE(window->UI[1].Track->value(), 500);
        // Showing where the plug-in stands changes nothing in it.
        QVERIFY(!Host->Log.join(u'\n').contains(u"SetParam"_s));
    }

    void aSliderSendsItsPositionAndShowsTheAnswer_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("right end")
            << int(Qt::Key_End) << QByteArray("dB") << u"1"_s << u"12.0"_s << u"12.0 dB"_s;
        QTest::newRow("left end") << int(Qt::Key_Home) << QByteArray("dB") << u"0"_s << u"-12.0"_s
                                  << u"-12.0 dB"_s;
        QTest::newRow("a page up")
            << int(Qt::Key_PageUp) << QByteArray("dB") << u"0.6"_s << u"2.4"_s << u"2.4 dB"_s;
        QTest::newRow("no unit, no trailing space")
            << int(Qt::Key_End) << QByteArray() << u"1"_s << u"1"_s << u"1"_s;
    }
    void aSliderSendsItsPositionAndShowsTheAnswer() {
        QFETCH(int, key);
        QFETCH(QByteArray, unit);
        QFETCH(QString, sent);
        QFETCH(QString, display);
        QFETCH(QString, spoken);
        TScriptedEffect &effect = Host->AddEffect(7, 3);
        effect.Params[1] = {"Output", unit, 0.5f};
        TFrmVSTParam *window = OpenTextWindow();
        TLxTrackBar *track = window->UI[1].Track;

        // What a screen reader hears values as reaches it with the change.
        QString notified;
        static QString *Notified = nullptr;
        Notified = &notified;
        SetLxTrackBarEventSink([](QAccessibleEvent *AEvent) {
            if (AEvent->type() == QAccessible::ValueChanged)
                *Notified = static_cast<QAccessibleValueChangeEvent *>(AEvent)->value().toString();
        });
        QTest::keyClick(track, Qt::Key(key));
        SetLxTrackBarEventSink(nullptr);

        QCOMPARE(Host->Log, QStringList{u"SetParam 7 1 %1"_s.arg(sent)});
        QCOMPARE(window->UI[1].Val->text(), display);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(track);
        QVERIFY(accessible != nullptr);
        QCOMPARE(accessible->role(), QAccessible::Slider);
        QCOMPARE(accessible->text(QAccessible::Name), u"Output"_s);
        QCOMPARE(accessible->text(QAccessible::Value), spoken);
        QCOMPARE(notified, spoken);
        // The other rows are left alone.
        QCOMPARE(window->UI[0].Val->text(), u"0.0"_s);
    }

    void pluginTextsAreDecoded_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain ASCII") << QByteArray("Gain") << u"Gain"_s;
        QTest::newRow("UTF-8") << QByteArray("H\xC3\xB6he") << u"H\u00F6he"_s;
        QTest::newRow("Latin-1") << QByteArray("H\xF6he") << u"H\u00F6he"_s;
        QTest::newRow("sixteen bytes without terminator")
            << QByteArray("ABCDEFGHIJKLMNOPQRS") << u"ABCDEFGHIJKLMNOP"_s;
    }
    void pluginTextsAreDecoded() {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        TScriptedEffect &effect = Host->AddEffect(7, 1);
        effect.Params[0].Name = name;
        TFrmVSTParam *window = OpenTextWindow();
        QCOMPARE(window->UI[0].Track->AccessibleName(), shown);
        const auto *lbName = window->findChild<QLabel *>(u"lbName0"_s);
        QVERIFY(lbName != nullptr);
        QCOMPARE(lbName->text(), shown);
    }

    void theSliderWindowLooksAsDescribed() {
        Host->AddEffect(7, 30);
        TFrmVSTParam *window = OpenTextWindow();
        QCOMPARE(window->windowTitle(), u"VST"_s);
        QVERIFY(window->isVisible());
        QVERIFY(window->parentWidget() == nullptr);
        QVERIFY(window->windowFlags() & Qt::WindowMaximizeButtonHint);
        QCOMPARE(window->size(), QSize(ScaleValue(500), ScaleValue(400)));
        // Thirty rows do not fit 400 pixels: the window scrolls.
        QTRY_VERIFY(window->findChild<QScrollArea *>()->verticalScrollBar()->isVisible());
        for (TLxTrackBar *track : Sliders(window)) {
            QCOMPARE(track->tickPosition(), QSlider::NoTicks);
            QCOMPARE(track->width(), ScaleValue(200));
            QCOMPARE(track->orientation(), Qt::Horizontal);
        }
        QVERIFY(window->EditorHost() == nullptr);
        QVERIFY(window->findChild<QTimer *>(u"tmrIdle"_s) == nullptr);
    }

    void largerFontsDoNotCutTheLabels() {
        TScriptedEffect &effect = Host->AddEffect(7, 2);
        effect.Params[0].Name = "WWWWWWWWWWWWWWWW";
        QFont big = QApplication::font();
        const QFont previous = big;
        const auto restore = qScopeGuard([&] { QApplication::setFont(previous); });
        big.setPointSize(big.pointSize() * 3);
        QApplication::setFont(big);
        TFrmVSTParam *window = OpenTextWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        for (int i = 0; i < 2; ++i) {
            const auto *lbName = window->findChild<QLabel *>(u"lbName%1"_s.arg(i));
            const auto *lbValue = window->findChild<QLabel *>(u"lbValue%1"_s.arg(i));
            QVERIFY(lbName->width() >= lbName->sizeHint().width());
            QVERIFY(lbValue->width() >= lbValue->sizeHint().width());
            QVERIFY(lbName->geometry().right() < window->UI[size_t(i)].Track->geometry().left());
            QVERIFY(window->UI[size_t(i)].Track->geometry().right() < lbValue->geometry().left());
        }
    }

    void tabMovesFromSliderToSlider() {
        Host->AddEffect(7, 3);
        TFrmVSTParam *window = OpenTextWindow();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->UI[0].Track->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(window->UI[0].Track->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(window->UI[1].Track->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(window->UI[2].Track->hasFocus());
    }

    // --- Configure ---------------------------------------------------------

    void aPluginWithoutEditorGetsAMessage_data() {
        QTest::addColumn<bool>("textUI");
        QTest::addColumn<quint32>("hasEditor");
        QTest::newRow("slider window, no editor") << true << 0u;
        QTest::newRow("plug-in editor, no editor") << false << 0u;
        QTest::newRow("an editor flag other than 1") << false << 2u;
    }
    void aPluginWithoutEditorGetsAMessage() {
        QFETCH(bool, textUI);
        QFETCH(quint32, hasEditor);
        Host->AddEffect(7, 3).HasEditor = hasEditor;
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, textUI, nullptr);
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, u"No parameters window available"_s);
        QCOMPARE(Boxes[0].Caption, u"VST"_s);
        QCOMPARE(Boxes[0].Flags, int(mbIconInformation));
        QCOMPARE(Boxes[0].Flags, 64);
        QVERIFY(VSTParamWindow(item) == nullptr);
        QCOMPARE(ParamWindows().size(), 0);
        QCOMPARE(Host->Log, QStringList());
    }

    void entriesWithoutARunningVSTEffectConfigureAsNothing_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("pluginType");
        QTest::addColumn<quint32>("handle");
        QTest::newRow("VST entry not started") << int(dspPlugin) << int(ptVST) << 0u;
        QTest::newRow("Winamp DSP") << int(dspPlugin) << int(ptDSP) << 7u;
        QTest::newRow("general plug-in") << int(dspPlugin) << int(ptGEN) << 7u;
        QTest::newRow("built-in") << int(dspIntegrated) << int(ptVST) << 7u;
    }
    void entriesWithoutARunningVSTEffectConfigureAsNothing() {
        QFETCH(int, type);
        QFETCH(int, pluginType);
        QFETCH(quint32, handle);
        Host->AddEffect(7, 3);
        TDSPItemC &item = AddVSTEntry(handle);
        item.T = TDSPType(type);
        item.PluginType = TPluginType(pluginType);
        ConfigurePluginEntry(item, true, nullptr);
        ConfigurePluginEntry(item, false, nullptr);
        QCOMPARE(Boxes.size(), size_t(0));
        QCOMPARE(ParamWindows().size(), 0);
        QCOMPARE(Host->Log, QStringList());
    }

    void configureTwiceShowsTheSameWindowAgain_data() {
        QTest::addColumn<bool>("textUI");
        QTest::newRow("slider window") << true;
        QTest::newRow("plug-in editor") << false;
    }
    void configureTwiceShowsTheSameWindowAgain() {
        QFETCH(bool, textUI);
        Host->AddEffect(7, 3);
        TDSPItemC &item = AddVSTEntry(7);
        ConfigurePluginEntry(item, textUI, nullptr);
        const QPointer<TFrmVSTParam> first = VSTParamWindow(item);
        QVERIFY(first != nullptr);
        QVERIFY(first->isVisible());
        QCOMPARE(first->TextUI(), textUI);
        // Closing only hides.
        QVERIFY(first->close());
        QVERIFY(first != nullptr);
        QVERIFY(!first->isVisible());

        ConfigurePluginEntry(item, textUI, nullptr);
        QCOMPARE(VSTParamWindow(item), first.data());
        QVERIFY(first->isVisible());
        QCOMPARE(ParamWindows().size(), 1);
        QCOMPARE(Host->Log.filter(u"EmbedEditor"_s).size(), textUI ? 0 : 1);
    }

    void eachEntryHasItsOwnWindow() {
        Host->AddEffect(7, 1);
        Host->AddEffect(8, 2);
        TDSPItemC &first = AddVSTEntry(7);
        TDSPItemC &second = AddVSTEntry(8);
        ConfigureVSTEntry(first, true, nullptr);
        ConfigureVSTEntry(second, true, nullptr);
        QVERIFY(VSTParamWindow(first) != VSTParamWindow(second));
        QCOMPARE(VSTParamWindow(first)->H, 7u);
        QCOMPARE(VSTParamWindow(second)->UI.size(), size_t(2));
    }

    void aRestartedEntryGetsAFreshWindow() {
        Host->AddEffect(7, 1);
        Host->AddEffect(8, 2);
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, false, nullptr);
        const QPointer<TFrmVSTParam> old = VSTParamWindow(item);
        item.H = 8;
        ConfigureVSTEntry(item, false, nullptr);
        QVERIFY(old == nullptr);
        QCOMPARE(VSTParamWindow(item)->H, 8u);
        QCOMPARE(Host->Log, (QStringList{u"EmbedEditor 7 window"_s, u"EmbedEditor 7 0"_s,
                                         u"EmbedEditor 8 window"_s}));
    }

    void stoppingTheEntryFreesItsWindow_data() {
        QTest::addColumn<bool>("textUI");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("slider window") << true << QStringList();
        QTest::newRow("plug-in editor")
            << false << QStringList{u"EmbedEditor 7 window"_s, u"EmbedEditor 7 0"_s};
    }
    void stoppingTheEntryFreesItsWindow() {
        QFETCH(bool, textUI);
        QFETCH(QStringList, log);
        Host->AddEffect(7, 3);
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, textUI, nullptr);
        const QPointer<TFrmVSTParam> window = VSTParamWindow(item);
        // The editor learns of its close while its parent window still exists.
        bool parentAlive = false;
        Host->OnCloseEditor = [&](quint32) {
            parentAlive = window != nullptr && window->EditorHost() != nullptr;
        };
        PluginHost().FreeVSTWindow(item);
        QVERIFY(window == nullptr);
        QVERIFY(VSTParamWindow(item) == nullptr);
        QCOMPARE(Host->Log, log);
        QCOMPARE(parentAlive, !textUI);
        // Freeing again, or an entry that never had one, is harmless.
        PluginHost().FreeVSTWindow(item);
        QCOMPARE(Host->Log, log);
    }

    void theChainEngineFreesTheWindowWhenTheEntryStops() {
        Host->NewEffect.Params = {{"Gain", "dB", 0.5f}};
        const TSystemIniBase settings;
        TDSPManager manager(u"Mic"_s, settings);
        manager.DSPList = &Chain;
        TDSPItemC &item = AddVSTEntry(0);
        item.State = psOff;
        manager.StartDSP(0);
        QCOMPARE(item.H, 7u);
        ConfigureVSTEntry(item, false, nullptr);
        const QPointer<TFrmVSTParam> window = VSTParamWindow(item);
        QVERIFY(window != nullptr);
        manager.StopDSP(0);
        QVERIFY(window == nullptr);
        QCOMPARE(Host->Log.last(), u"EmbedEditor 7 0"_s);
    }

    void theWindowIsCentredOnTheMainWindow() {
        Host->AddEffect(7, 1).EditorWidth = 200;
        Host->Effects[7].EditorHeight = 100;
        QWidget main;
        main.setGeometry(150, 120, 400, 300);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, false, &main);
        TFrmVSTParam *window = VSTParamWindow(item);
        QVERIFY(window->parentWidget() == nullptr);
        const QPoint offset = window->frameGeometry().center() - main.frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2,
                 qPrintable(u"%1,%2"_s.arg(offset.x()).arg(offset.y())));
    }

    // --- The plug-in's editor ----------------------------------------------

    void theEditorGetsANativeWindow() {
        Host->AddEffect(7);
        quintptr given = 0;
        Host->OnOpenEditor = [&](quint32, quintptr AParent) {
            given = AParent;
            return true;
        };
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, false, nullptr);
        TFrmVSTParam *window = VSTParamWindow(item);
        QVERIFY(window->EditorHost() != nullptr);
        QVERIFY(window->EditorHost()->testAttribute(Qt::WA_NativeWindow));
        QCOMPARE(given, quintptr(window->EditorHost()->winId()));
        QVERIFY(window->EditorOpen());
        QCOMPARE(window->windowTitle(), u"VST"_s);
    }

    void theEditorSizeIsBounded_data() {
        const QSize available = AvailableSize();
        QTest::addColumn<quint32>("width");
        QTest::addColumn<quint32>("height");
        QTest::addColumn<QSize>("client");
        QTest::newRow("as the editor asks") << 320u << 200u << QSize(320, 200);
        QTest::newRow("0 stands for 600")
            << 0u << 0u
            << QSize(std::min(600, available.width()), std::min(600, available.height()));
        QTest::newRow("100000 x 0")
            << 100000u << 0u << QSize(available.width(), std::min(600, available.height()));
        QTest::newRow("the largest the record holds") << 0xFFFFFFFFu << 0xFFFFFFFFu << available;
    }
    void theEditorSizeIsBounded() {
        QFETCH(quint32, width);
        QFETCH(quint32, height);
        QFETCH(QSize, client);
        TScriptedEffect &effect = Host->AddEffect(7);
        effect.EditorWidth = width;
        effect.EditorHeight = height;
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, false, nullptr);
        TFrmVSTParam *window = VSTParamWindow(item);
        QCOMPARE(window->size(), client);
        QCOMPARE(window->EditorHost()->size(), client);
    }

    void resizeRequestsResizeTheClientArea_data() {
        const QSize available = AvailableSize();
        QTest::addColumn<quint32>("handle");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QSize>("client");
        QTest::newRow("its own editor") << 7u << 400 << 300 << QSize(400, 300);
        QTest::newRow("another editor") << 8u << 400 << 300 << QSize(320, 200);
        QTest::newRow("too large") << 7u << 100000 << 100000 << available;
        QTest::newRow("no width") << 7u << 0 << 300 << QSize(320, 200);
        QTest::newRow("negative") << 7u << -5 << -5 << QSize(320, 200);
    }
    void resizeRequestsResizeTheClientArea() {
        QFETCH(quint32, handle);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QSize, client);
        TScriptedEffect &effect = Host->AddEffect(7);
        effect.EditorWidth = 320;
        effect.EditorHeight = 200;
        Host->AddEffect(8);
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, false, nullptr);
        TFrmVSTParam *window = VSTParamWindow(item);
        QVERIFY(Host->Resize);
        Host->Resize(handle, width, height);
        QCOMPARE(window->size(), client);
    }

    void aResizeWhileTheEditorOpensIsKept() {
        TScriptedEffect &effect = Host->AddEffect(7);
        effect.EditorWidth = 320;
        effect.EditorHeight = 200;
        Host->OnOpenEditor = [this](quint32 AVstHandle, quintptr) {
            Host->Resize(AVstHandle, 410, 310);
            return true;
        };
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, false, nullptr);
        QCOMPARE(VSTParamWindow(item)->size(), QSize(410, 310));
    }

    void theEditorGetsIdleTimeWhileShown() {
        Host->AddEffect(7);
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, false, nullptr);
        TFrmVSTParam *window = VSTParamWindow(item);
        auto *tmrIdle = window->findChild<QTimer *>(u"tmrIdle"_s);
        QVERIFY(tmrIdle != nullptr);
        QVERIFY(tmrIdle->isActive());
        QVERIFY(tmrIdle->interval() >= 20 && tmrIdle->interval() <= 50);
        QTRY_VERIFY(Host->IdleCalls >= 2);
        window->close();
        QVERIFY(!tmrIdle->isActive());
        ConfigureVSTEntry(item, false, nullptr);
        QVERIFY(tmrIdle->isActive());
    }
};

QTEST_MAIN(TVSTParamFormTest)
#include "VSTParamFormTest.moc"
