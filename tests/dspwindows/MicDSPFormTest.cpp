// The microphone processing window and its chain editor over the real
// player settings in a temporary data directory: what checking, adding,
// removing, moving and configuring do to the chain and its engine, the
// refusal for switched-off plug-in types, the keyboard, the selection across
// refills, what a screen reader reads, and that every way of closing saves
// player.ini.

#include "dspwindows/MicDSPForm.h"

#include "chain/DSPManager.h"
#include "config/DataDirs.h"
#include "config/Translation.h"
#include "core/MessageBox.h"
#include "dsp/DSPItems.h"
#include "dspwindows/DSPEditorBase.h"
#include "dspwindows/DSPListForm.h"
#include "dspwindows/DSPManagerFrame.h"
#include "dspwindows/EffectEditors.h"
#include "dspwindows/VSTParamForm.h"
#include "station/PlayerIni.h"
#include "station/SystemIni.h"
#include "support/ModalWindows.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString KRefusal = u"Plugins of this type are turned off. Please click the \"+\" button and "
                         u"turn on plugins (VST or Winamp DSP)."_s;

struct TEntrySpec {
    QString Name;
    TDSPType T = dspIntegrated;
    TIntDSPKind Kind = dspCompressor;
    TPluginType PluginType = ptDSP;
    bool Active = false;
};

QPushButton *ButtonWithText(QWidget *AWindow, const QString &AText) {
    for (QPushButton *button : AWindow->findChildren<QPushButton *>())
        if (button->text().remove(u'&') == AText)
            return button;
    return nullptr;
}

// Chooses the row named AName in the plug-in list dialog and presses OK.
void ChooseInListDialog(TDSPListFrm *ADialog, const QString &AName) {
    for (QAbstractItemView *view : ADialog->findChildren<QAbstractItemView *>()) {
        const QModelIndexList found = view->model()->match(
            view->model()->index(0, 0), Qt::DisplayRole, AName, 1, Qt::MatchExactly);
        if (!found.isEmpty()) {
            view->setCurrentIndex(found.first());
            break;
        }
    }
    QPushButton *ok = ButtonWithText(ADialog, u"OK"_s);
    QVERIFY(ok != nullptr);
    ok->click();
}

QAccessibleInterface *Cell(QTreeWidget *AList, int ARow, int AColumn) {
    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(AList);
    return view != nullptr && view->tableInterface() != nullptr
               ? view->tableInterface()->cellAt(ARow, AColumn)
               : nullptr;
}

} // namespace

class TMicDSPFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> Dir;
    std::vector<TShownBox> Boxes;
    std::unique_ptr<TMicDSPFrm> Form;
    int Refills = 0;

    QString DataPath() const { return Dir->path() + u"/data/"_s; }
    TDSPItemsC &Chain() { return PlayerIni().MicDSPList; }
    TDSPManagerFr &Panel() { return *Form->DSPManagerFr; }
    QTreeWidget &List() { return *Panel().lDSP; }

    void AddEntries(const std::vector<TEntrySpec> &AEntries) {
        for (const TEntrySpec &spec : AEntries) {
            TDSPItemC &item = Chain().Add();
            item.DispName = spec.Name;
            item.T = spec.T;
            item.IntDSPKind = spec.Kind;
            item.PluginType = spec.PluginType;
            item.PluginPath = spec.T == dspPlugin ? spec.Name + u".so"_s : QString();
            item.State = spec.Active ? psActive : psOff;
        }
    }

    // The window over the chain as it stands, shown and listed as the main
    // window leaves it.
    void ShowForm() {
        Form = std::make_unique<TMicDSPFrm>();
        Form->DSPManagerFr->UpdateDSPListView();
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
        Form->activateWindow();
        List().setFocus();
        Refills = 0;
        QObject::connect(List().model(), &QAbstractItemModel::modelReset, Form.get(),
                         [this] { ++Refills; });
    }

    QStringList Names() const {
        QStringList names;
        for (int i = 0; i < PlayerIni().MicDSPList.Count(); ++i)
            names << PlayerIni().MicDSPList.Items(i).DispName;
        return names;
    }

    QStringList RowNames() {
        QStringList names;
        for (int i = 0; i < List().topLevelItemCount(); ++i)
            names << List().topLevelItem(i)->text(1);
        return names;
    }

    bool RowChecked(int ARow) { return List().topLevelItem(ARow)->checkState(0) == Qt::Checked; }

    // What another program would read from player.ini now.
    static std::unique_ptr<TPlayerIni> StoredSettings() {
        auto stored = std::make_unique<TPlayerIni>();
        stored->Read();
        return stored;
    }

    void Key(int AKey, Qt::KeyboardModifiers AModifiers = Qt::NoModifier) {
        QTest::keyClick(&List(), Qt::Key(AKey), AModifiers);
    }

private Q_SLOTS:
    void init() {
        Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(Dir->isValid());
        QDir().mkpath(Dir->path() + u"/exe"_s);
        QDir().mkpath(DataPath());
        SetProcessDirs({Dir->path() + u"/exe/"_s, QString(), DataPath()});
        SetDefaultLanguageFile(QString());
        SystemIni().AllowWinampPlugins = false;
        SystemIni().AllowVstPlugins = false;
        Chain().Clear();
        PlayerIni().Read();
        Boxes.clear();
        SetMessageBoxPresenter([this](const QString &AText, const QString &ACaption, int AFlags) {
            Boxes.push_back({AText, ACaption, AFlags});
            return 0;
        });
    }

    void cleanup() {
        for (TIntDSPKind kind : {dspEqualizer, dspCompressor, dspGain})
            CloseIntegratedEditor(kind);
        Form.reset();
        Chain().Clear();
        SetMessageBoxPresenter(nullptr);
        Dir->setAutoRemove(!QTest::currentTestFailed());
    }

    // --- Creation ----------------------------------------------------------------------------

    void windowHostsThePanelOverTheMicrophoneChain() {
        ShowForm();
        QCOMPARE(Form->windowTitle(), u"DSP"_s);
        QCOMPARE(Form->Button1->text(), u"OK"_s);
        QCOMPARE(Panel().objectName(), u"MicDSPManagerFrame"_s);
        QCOMPARE(Panel().parentWidget(), Form->Panel1);
        QCOMPARE(Form->DSPManager->Name, u"Mic"_s);
        QCOMPARE(Form->DSPManager->DSPList, &PlayerIni().MicDSPList);
        QCOMPARE(Form->DSPManager->WorkChannel, HSTREAM(0));
        QCOMPARE(Panel().DSPManager(), Form->DSPManager.get());
        QVERIFY(List().isHeaderHidden());
    }

    void textUIFollowsTheScreenReaderSettings_data() {
        QTest::addColumn<bool>("mode");
        QTest::addColumn<bool>("textUI");
        QTest::addColumn<bool>("expected");
        QTest::newRow("screen reader with text window") << true << true << true;
        QTest::newRow("screen reader, plug-in editor") << true << false << false;
        QTest::newRow("text window without screen reader") << false << true << false;
    }

    void textUIFollowsTheScreenReaderSettings() {
        QFETCH(bool, mode);
        QFETCH(bool, textUI);
        QFETCH(bool, expected);
        SystemIni().ScreenReaderMode = mode;
        SystemIni().ScreenReaderVSTTextUI = textUI;
        ShowForm();
        SystemIni().ScreenReaderMode = false;
        SystemIni().ScreenReaderVSTTextUI = false;
        QCOMPARE(Panel().VSTUseTextUI, expected);
    }

    void storedActiveChainIsListedCheckedWithoutStarting() {
        AddEntries({{u"Equalizer"_s, dspIntegrated, dspEqualizer, ptDSP, true},
                    {u"Compressor"_s, dspIntegrated, dspCompressor, ptDSP, false},
                    {u"Gain"_s, dspIntegrated, dspGain, ptDSP, true}});
        PlayerIni().Save();
        Chain().Clear();
        PlayerIni().Read();
        QCOMPARE(Names(), (QStringList{u"Equalizer"_s, u"Compressor"_s, u"Gain"_s}));
        ShowForm();
        QCOMPARE(RowNames(), (QStringList{u"Equalizer"_s, u"Compressor"_s, u"Gain"_s}));
        QVERIFY(RowChecked(0));
        QVERIFY(!RowChecked(1));
        QVERIFY(RowChecked(2));
        for (int i = 0; i < Chain().Count(); ++i)
            QCOMPARE(FindIntDsp(Chain().Items(i)), nullptr);
    }

    // --- Check boxes -------------------------------------------------------------------------

    void checkingASwitchedOffPluginTypeRefusesOnce_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("allowWinamp");
        QTest::addColumn<bool>("allowVst");
        QTest::newRow("Winamp DSP while Winamp plug-ins are off") << int(ptDSP) << false << true;
        QTest::newRow("VST while VST plug-ins are off") << int(ptVST) << true << false;
    }

    void checkingASwitchedOffPluginTypeRefusesOnce() {
        QFETCH(int, type);
        QFETCH(bool, allowWinamp);
        QFETCH(bool, allowVst);
        SystemIni().AllowWinampPlugins = allowWinamp;
        SystemIni().AllowVstPlugins = allowVst;
        AddEntries({{u"Plug"_s, dspPlugin, dspEqualizer, TPluginType(type)}});
        ShowForm();
        // Drawn grey while its type is off.
        QCOMPARE(List().topLevelItem(0)->foreground(1).color(), QColor(128, 128, 128));
        Panel().SelectIndex(0);
        Key(Qt::Key_Space);
        QTRY_COMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, KRefusal);
        QCOMPARE(Boxes[0].Caption, u"Plugins"_s);
        QCOMPARE(Boxes[0].Flags, int(mbIconWarning));
        QCOMPARE(Chain().Items(0).State, psOff);
        QVERIFY(!RowChecked(0));
        QCoreApplication::processEvents();
        QCOMPARE(Boxes.size(), size_t(1));
    }

    void pluginRowsOfAnAllowedTypeAreDrawnNormally() {
        SystemIni().AllowWinampPlugins = true;
        AddEntries({{u"Plug"_s, dspPlugin, dspEqualizer, ptDSP}, {u"Comp"_s}});
        ShowForm();
        for (int row = 0; row < 2; ++row)
            QVERIFY(List().topLevelItem(row)->foreground(1).style() == Qt::NoBrush);
    }

    void checkingABuiltInAlwaysStartsIt() {
        AddEntries({{u"Compressor"_s}});
        ShowForm();
        Panel().SelectIndex(0);
        Key(Qt::Key_Space);
        QTRY_COMPARE(Chain().Items(0).State, psActive);
        QVERIFY(FindIntDsp(Chain().Items(0)) != nullptr);
        QVERIFY(RowChecked(0));
        QVERIFY(Boxes.empty());
        // The refill of the start keeps the row selected.
        QCOMPARE(Panel().SelectedIndex(), 0);

        Key(Qt::Key_Space);
        QTRY_COMPARE(Chain().Items(0).State, psOff);
        QCOMPARE(FindIntDsp(Chain().Items(0)), nullptr);
        QVERIFY(!RowChecked(0));
        QCOMPARE(Panel().SelectedIndex(), 0);
    }

    void clickingTheCheckBoxStartsTheEntry() {
        AddEntries({{u"Gain"_s, dspIntegrated, dspGain}, {u"Compressor"_s}});
        ShowForm();
        Panel().SelectIndex(1);
        List().topLevelItem(1)->setCheckState(0, Qt::Checked);
        QTRY_COMPARE(Chain().Items(1).State, psActive);
        QCOMPARE(Chain().Items(0).State, psOff);
        QCOMPARE(Panel().SelectedIndex(), 1);
    }

    // --- Moving ------------------------------------------------------------------------------

    void moveBeyondEitherEndRestartsNothing_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("byKey");
        QTest::newRow("first row up, button") << 0 << -1 << false;
        QTest::newRow("last row down, button") << 2 << 1 << false;
        QTest::newRow("first row up, Ctrl+Up") << 0 << -1 << true;
        QTest::newRow("last row down, Ctrl+Down") << 2 << 1 << true;
    }

    void moveBeyondEitherEndRestartsNothing() {
        QFETCH(int, row);
        QFETCH(int, step);
        QFETCH(bool, byKey);
        AddEntries({{u"A"_s, dspIntegrated, dspEqualizer, ptDSP, true},
                    {u"B"_s, dspIntegrated, dspCompressor, ptDSP, true},
                    {u"C"_s, dspIntegrated, dspGain, ptDSP, true}});
        ShowForm();
        Form->DSPManager->StartAllDSPs();
        std::vector<TIntegratedDSP *> running;
        for (int i = 0; i < 3; ++i)
            running.push_back(FindIntDsp(Chain().Items(i)));
        Panel().SelectIndex(row);
        Refills = 0;
        if (byKey)
            Key(step < 0 ? Qt::Key_Up : Qt::Key_Down, Qt::ControlModifier);
        else
            (step < 0 ? Panel().btDSPUp : Panel().btDSPDown)->click();
        QCOMPARE(Refills, 0);
        QCOMPARE(Names(), (QStringList{u"A"_s, u"B"_s, u"C"_s}));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(FindIntDsp(Chain().Items(i)), running[size_t(i)]);
        QCOMPARE(Panel().SelectedIndex(), row);
    }

    void moveRestartsTheChainAndKeepsTheMovedRowSelected_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("down, button") << 0 << 1 << false << QStringList{u"B"_s, u"A"_s, u"C"_s};
        QTest::newRow("up, button") << 2 << -1 << false << QStringList{u"A"_s, u"C"_s, u"B"_s};
        QTest::newRow("Ctrl+Down") << 1 << 1 << true << QStringList{u"A"_s, u"C"_s, u"B"_s};
        QTest::newRow("Ctrl+Up") << 1 << -1 << true << QStringList{u"B"_s, u"A"_s, u"C"_s};
    }

    void moveRestartsTheChainAndKeepsTheMovedRowSelected() {
        QFETCH(int, row);
        QFETCH(int, step);
        QFETCH(bool, byKey);
        QFETCH(QStringList, order);
        AddEntries({{u"A"_s, dspIntegrated, dspEqualizer, ptDSP, true},
                    {u"B"_s, dspIntegrated, dspCompressor, ptDSP, false},
                    {u"C"_s, dspIntegrated, dspGain, ptDSP, true}});
        ShowForm();
        Panel().SelectIndex(row);
        Refills = 0;
        if (byKey)
            Key(step < 0 ? Qt::Key_Up : Qt::Key_Down, Qt::ControlModifier);
        else
            (step < 0 ? Panel().btDSPUp : Panel().btDSPDown)->click();
        QCOMPARE(Names(), order);
        QCOMPARE(RowNames(), order);
        QCOMPARE(Panel().SelectedIndex(), row + step);
        // StartAllDSPs ran: the active entries run, the others do not, and
        // each stop and start refilled the list.
        QVERIFY(Refills > 1);
        for (int i = 0; i < 3; ++i) {
            const TDSPItemC &item = Chain().Items(i);
            QCOMPARE(FindIntDsp(item) != nullptr, item.State == psActive);
            QCOMPARE(RowChecked(i), item.State == psActive);
        }
    }

    // --- Removing ----------------------------------------------------------------------------

    void removingACompressorClosesAnotherCompressorsEditor() {
        AddEntries({{u"Compressor 1"_s, dspIntegrated, dspCompressor, ptDSP, true},
                    {u"Compressor 2"_s},
                    {u"Equalizer"_s, dspIntegrated, dspEqualizer}});
        ShowForm();
        Form->DSPManager->StartDSP(0);
        QPointer<QWidget> compEditor = OpenIntegratedEditor(Chain().Items(1), Form.get());
        QPointer<QWidget> eqEditor = OpenIntegratedEditor(Chain().Items(2), Form.get());
        QVERIFY(compEditor && eqEditor);
        Panel().SelectIndex(0);
        Panel().btDSPRemove->click();
        QVERIFY(compEditor.isNull());
        QCOMPARE(IntegratedEditor(dspCompressor), nullptr);
        // Only the removed entry's kind closes.
        QVERIFY(!eqEditor.isNull());
        QCOMPARE(Names(), (QStringList{u"Compressor 2"_s, u"Equalizer"_s}));
        QCOMPARE(RowNames(), (QStringList{u"Compressor 2"_s, u"Equalizer"_s}));
        QCOMPARE(Panel().SelectedIndex(), 0);
    }

    void deleteKeyRemovesTheSelectedEntry() {
        AddEntries(
            {{u"A"_s, dspIntegrated, dspEqualizer}, {u"B"_s}, {u"C"_s, dspIntegrated, dspGain}});
        ShowForm();
        Panel().SelectIndex(2);
        Key(Qt::Key_Delete);
        QCOMPARE(Names(), (QStringList{u"A"_s, u"B"_s}));
        // The selection moves to the new last row, so Delete can go on.
        QCOMPARE(Panel().SelectedIndex(), 1);
        Key(Qt::Key_Delete);
        Key(Qt::Key_Delete);
        QVERIFY(Names().isEmpty());
        Key(Qt::Key_Delete);
        QCOMPARE(List().topLevelItemCount(), 0);
    }

    void nothingSelectedDoesNothing() {
        AddEntries({{u"A"_s, dspIntegrated, dspEqualizer}});
        ShowForm();
        List().clearSelection();
        Refills = 0;
        for (QToolButton *button :
             {Panel().btDSPRemove, Panel().btDSPUp, Panel().btDSPDown, Panel().btDSPConfig})
            button->click();
        QCOMPARE(Names(), QStringList{u"A"_s});
        QCOMPARE(Refills, 0);
        QCOMPARE(IntegratedEditor(dspEqualizer), nullptr);
        QVERIFY(Boxes.empty());
    }

    // --- Configuring -------------------------------------------------------------------------

    void configureOpensTheEditorOfTheEntrysKind_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("button") << u"button"_s;
        QTest::newRow("Enter") << u"Enter"_s;
        QTest::newRow("Return") << u"Return"_s;
        QTest::newRow("double click") << u"double click"_s;
    }

    void configureOpensTheEditorOfTheEntrysKind() {
        QFETCH(QString, how);
        AddEntries({{u"Equalizer"_s, dspIntegrated, dspEqualizer}, {u"Compressor"_s}});
        ShowForm();
        Panel().SelectIndex(1);
        if (how == u"button")
            Panel().btDSPConfig->click();
        else if (how == u"Enter")
            Key(Qt::Key_Enter);
        else if (how == u"Return")
            Key(Qt::Key_Return);
        else
            Q_EMIT List().itemDoubleClicked(List().topLevelItem(1), 1);
        QVERIFY(IntegratedEditor(dspCompressor) != nullptr);
        QCOMPARE(IntegratedEditor(dspEqualizer), nullptr);
        // Enter is the list's: the DSP window stays open.
        QVERIFY(Form->isVisible());
    }

    void configuringAPluginWithoutHandleDoesNothing() {
        SystemIni().AllowVstPlugins = true;
        AddEntries({{u"Plug"_s, dspPlugin, dspEqualizer, ptVST}});
        ShowForm();
        Panel().SelectIndex(0);
        Panel().btDSPConfig->click();
        QVERIFY(Boxes.empty());
        QCOMPARE(VSTParamWindow(Chain().Items(0)), nullptr);
    }

    // --- Adding ------------------------------------------------------------------------------

    void addTakesTheChosenProcessorSwitchedOff() {
        AddEntries({{u"Equalizer"_s, dspIntegrated, dspEqualizer, ptDSP, true}});
        ShowForm();
        WhenModalOpen<TDSPListFrm>([](TDSPListFrm *ADialog) {
            QCOMPARE(ADialog->windowTitle(), u"DSP"_s);
            ChooseInListDialog(ADialog, u"Compressor"_s);
        });
        Panel().btDSPAdd->click();
        QCOMPARE(Names(), (QStringList{u"Equalizer"_s, u"Compressor"_s}));
        const TDSPItemC &added = Chain().Items(1);
        QCOMPARE(added.T, dspIntegrated);
        QCOMPARE(added.IntDSPKind, dspCompressor);
        QCOMPARE(added.State, psOff);
        QVERIFY(added.Params.isEmpty());
        QCOMPARE(FindIntDsp(added), nullptr);
        QCOMPARE(RowNames(), (QStringList{u"Equalizer"_s, u"Compressor"_s}));
        QVERIFY(!RowChecked(1));
        QCOMPARE(Panel().SelectedIndex(), 1);
    }

    void cancelledAddChangesNothing() {
        AddEntries({{u"Equalizer"_s, dspIntegrated, dspEqualizer}});
        ShowForm();
        WhenModalOpen<TDSPListFrm>([](TDSPListFrm *ADialog) { ADialog->reject(); });
        Panel().btDSPAdd->click();
        QCOMPARE(Names(), QStringList{u"Equalizer"_s});
        QCOMPARE(List().topLevelItemCount(), 1);
    }

    // --- Closing -----------------------------------------------------------------------------

    void everyWayOfClosingSaves_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK") << u"OK"_s;
        QTest::newRow("close box") << u"close box"_s;
        QTest::newRow("Escape") << u"Escape"_s;
    }

    void everyWayOfClosingSaves() {
        QFETCH(QString, how);
        AddEntries({{u"Equalizer"_s, dspIntegrated, dspEqualizer}});
        ShowForm();
        Form->hide();
        WhenModalOpen<TMicDSPFrm>([this, how](TMicDSPFrm *AForm) {
            Panel().SelectIndex(0);
            Key(Qt::Key_Space);
            QTRY_COMPARE(Chain().Items(0).State, psActive);
            if (how == u"OK")
                AForm->Button1->click();
            else if (how == u"close box")
                AForm->close();
            else
                QTest::keyClick(AForm, Qt::Key_Escape);
        });
        Form->exec();
        QVERIFY(!Form->isVisible());
        std::unique_ptr<TPlayerIni> stored = StoredSettings();
        QCOMPARE(stored->MicDSPList.Count(), 1);
        QCOMPARE(stored->MicDSPList.Items(0).DispName, u"Equalizer"_s);
        QCOMPARE(stored->MicDSPList.Items(0).State, psActive);
        QVERIFY(Boxes.empty());
    }

    void aFailedSaveSaysSoAndKeepsTheChain() {
        AddEntries({{u"Equalizer"_s, dspIntegrated, dspEqualizer}});
        // A folder where the file should be: it can be neither written nor replaced.
        QVERIFY(QDir().mkpath(DataPath() + u"player.ini"_s));
        ShowForm();
        Panel().SelectIndex(0);
        Key(Qt::Key_Space);
        QTRY_COMPARE(Chain().Items(0).State, psActive);
        Form->Button1->click();
        QCOMPARE(Boxes.size(), size_t(1));
        QVERIFY2(Boxes[0].Text.startsWith(u"Error saving file"_s), qPrintable(Boxes[0].Text));
        QCOMPARE(Names(), QStringList{u"Equalizer"_s});
        QCOMPARE(Chain().Items(0).State, psActive);
        QVERIFY(!Form->isVisible());
    }

    void captionsComeFromTheLanguageFileOnEveryShow() {
        QDir().mkpath(Dir->path() + u"/exe/Lang/En"_s);
        QFile file(Dir->path() + u"/exe/Lang/En/lang.ini"_s);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[MicDSP.Captions]\n@=Mikrofon\nButton1=Fertig\n");
        file.close();
        SetDefaultLanguageFile(u"lang.ini"_s);
        ShowForm();
        QCOMPARE(Form->windowTitle(), u"Mikrofon"_s);
        QCOMPARE(Form->Button1->text(), u"Fertig"_s);
        Form->hide();
        Form->setWindowTitle(u"DSP"_s);
        Form->show();
        QCOMPARE(Form->windowTitle(), u"Mikrofon"_s);
        SetDefaultLanguageFile(QString());
    }

    // --- Screen readers ----------------------------------------------------------------------

    void buttonsCarryTheirHints_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("hint");
        QTest::newRow("configure") << u"btDSPConfig"_s << u"Configure"_s;
        QTest::newRow("add") << u"btDSPAdd"_s << u"Add"_s;
        QTest::newRow("remove") << u"btDSPRemove"_s << u"Remove"_s;
        QTest::newRow("up") << u"btDSPUp"_s << u"Move up"_s;
        QTest::newRow("down") << u"btDSPDown"_s << u"Move down"_s;
    }

    void buttonsCarryTheirHints() {
        QFETCH(QString, name);
        QFETCH(QString, hint);
        ShowForm();
        auto *button = Panel().findChild<QToolButton *>(name);
        QVERIFY(button != nullptr);
        QCOMPARE(button->toolTip(), hint);
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->width(), button->height());
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(button);
        QVERIFY(face != nullptr);
        QCOMPARE(face->text(QAccessible::Name), hint);
        QCOMPARE(face->role(), QAccessible::Button);
    }

    void rowsSpeakTheirNameAndCheckMark() {
        AddEntries({{u"Equalizer"_s, dspIntegrated, dspEqualizer, ptDSP, true}, {u"Compressor"_s}});
        ShowForm();
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&List());
        QVERIFY(list != nullptr);
        QVERIFY(!list->text(QAccessible::Name).isEmpty());
        for (int row = 0; row < 2; ++row) {
            QAccessibleInterface *check = Cell(&List(), row, 0);
            QAccessibleInterface *name = Cell(&List(), row, 1);
            QVERIFY(check != nullptr && name != nullptr);
            const QString expected = Chain().Items(row).DispName;
            QCOMPARE(check->text(QAccessible::Name), expected);
            QCOMPARE(name->text(QAccessible::Name), expected);
            QVERIFY(check->state().checkable);
            QCOMPARE(bool(check->state().checked), row == 0);
        }
        // A check by the keyboard is read back at once.
        Panel().SelectIndex(1);
        Key(Qt::Key_Space);
        QTRY_COMPARE(Chain().Items(1).State, psActive);
        QVERIFY(Cell(&List(), 1, 0)->state().checked);
    }

    void destroyingThePanelDetachesIt() {
        ShowForm();
        TDSPManager *manager = Form->DSPManager.get();
        QVERIFY(manager->OnChange != nullptr);
        delete Form->DSPManagerFr;
        Form->DSPManagerFr = nullptr;
        QVERIFY(manager->OnChange == nullptr);
        Form->DSPManagerFr = new TDSPManagerFr(Form->Panel1);
    }
};

QTEST_MAIN(TMicDSPFormTest)
#include "MicDSPFormTest.moc"
