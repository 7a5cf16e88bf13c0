// The plug-in list dialog and the plug-in folders dialog over the real
// catalogue: test plug-ins in temporary folders, scanned by the real helper
// (through a wrapper that logs every probe), the confirm boxes answered
// through the message box layer, the folders dialog driven while it runs
// modally, folders opened through a hook instead of a file manager, and the
// screen-reader names of every control.

#include "dspwindows/DSPListForm.h"

#include "config/DataDirs.h"
#include "config/Translation.h"
#include "controls/LxConfirmCheckBox.h"
#include "core/MessageBox.h"
#include "dspwindows/PluginFoldersForm.h"
#include "station/SystemIni.h"
#include "support/ModalWindows.h"
#include "vst/PluginCatalogue.h"
#include "vst/VstHost.h"
#include "vst/VstScanSupport.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QtTest>
#include <cerrno>
#include <deque>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QStringList BuiltIns{u"Equalizer"_s, u"Compressor"_s, u"Gain"_s};
const QString GainRow = u"(VST) Vocarra Tests Test Gain [test-gain.so]"_s;
const QString MonoRow = u"(VST) Vocarra Tests Test Gain [test-mono.so]"_s;

QStringList Rows(const TDSPListFrm &AForm) {
    QStringList rows;
    const QAbstractItemModel *model = AForm.ListView1->model();
    for (int i = 0; i < model->rowCount(); ++i)
        rows << model->index(i, 0).data().toString();
    return rows;
}

QString AccessibleName(QWidget *AWidget) {
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(AWidget);
    return face != nullptr ? face->text(QAccessible::Name) : QString();
}

} // namespace

class TDSPListFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> FDir;
    QString FData, FWinamp, FVst, FVst2;
    std::unique_ptr<TLoggingHelper> FHelper;
    std::unique_ptr<TVstHost> FHost;
    TPluginHost *FPrevious = nullptr;
    std::vector<TShownBox> FBoxes;
    std::deque<int> FAnswers;
    std::vector<QUrl> FOpened;

    // The list dialog, shown (which fills it) and ready for the user.
    std::unique_ptr<TDSPListFrm> ShowList() {
        auto form = std::make_unique<TDSPListFrm>();
        form->show();
        return form;
    }

    // Runs the folders dialog from AForm's "Plugin folders..." with the VST
    // folder typed as AText, closed with OK (or Cancel).
    void ChangeFolder(TDSPListFrm &AForm, const QString &AText, bool AOk = true) {
        WhenOpen(Modal<TPluginFoldersFrm>, [AText, AOk](QWidget *AWidget) {
            auto *folders = static_cast<TPluginFoldersFrm *>(AWidget);
            folders->Edit2->setText(AText);
            (AOk ? folders->Button3 : folders->Button4)->click();
        });
        AForm.Button3->click();
    }

    // Opens the folders dialog alone and hands it to AAct while it is shown.
    void WithFolders(const std::function<void(TPluginFoldersFrm &)> &AAct) {
        TPluginFoldersFrm folders;
        folders.show();
        AAct(folders);
    }

private Q_SLOTS:
    void init() {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(FDir->isValid());
        FData = FDir->filePath(u"data"_s);
        FWinamp = FDir->filePath(u"Plugins"_s);
        FVst = FDir->filePath(u"vst"_s);
        FVst2 = FDir->filePath(u"other"_s);
        for (const QString &folder : {FData, FWinamp, FVst, FVst2})
            QDir().mkpath(folder);
        CopyTestPlugin(u"gain"_s, FVst);
        FHelper = std::make_unique<TLoggingHelper>(FDir->path());
        FHost = std::make_unique<TVstHost>(FHelper->Program());
        FPrevious = SetPluginHost(FHost.get());

        TSystemIni &settings = SystemIni();
        settings.AllowVstPlugins = true;
        settings.AllowWinampPlugins = false;
        settings.VSTFolder = QStringList{FVst};
        PluginCatalogue().InitPlugins(&settings, FData, FWinamp, FHelper->Program());
        PluginCatalogue().ProbeTimeLimit = std::chrono::milliseconds(5000);
        PluginCatalogue().DiscardVSTPlugins();
        PluginCatalogue().LoadWinampPlugins();

        FBoxes.clear();
        FAnswers.clear();
        FOpened.clear();
        SetMessageBoxPresenter([this](const QString &AText, const QString &ACaption, int AFlags) {
            FBoxes.push_back({AText, ACaption, AFlags});
            if (FAnswers.empty())
                return 0;
            const int answer = FAnswers.front();
            FAnswers.pop_front();
            return answer;
        });
        SetOpenFolderHook([this](const QUrl &AUrl) {
            FOpened.push_back(AUrl);
            return true;
        });
    }

    void cleanup() {
        SetMessageBoxPresenter(nullptr);
        SetOpenFolderHook(nullptr);
        SystemIni().AllowVstPlugins = false;
        SystemIni().AllowWinampPlugins = false;
        PluginCatalogue().LoadVSTPlugins();
        PluginCatalogue().LoadWinampPlugins();
        SetPluginHost(FPrevious);
        FHost.reset();
        FHelper.reset();
        FDir.reset();
    }

    // --- The list and OK ------------------------------------------------

    void okReturnsTheSelectedRowsEntry_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("no row selected") << -1 << QString();
        QTest::newRow("a built-in") << 1 << u"Compressor"_s;
        QTest::newRow("a VST plug-in") << 3 << GainRow;
    }
    void okReturnsTheSelectedRowsEntry() {
        QFETCH(int, row);
        QFETCH(QString, chosen);
        auto form = ShowList();
        QCOMPARE(Rows(*form), BuiltIns + QStringList{GainRow});
        if (row >= 0)
            form->ListView1->setCurrentIndex(form->ListView1->model()->index(row, 0));
        form->Button1->click();
        QCOMPARE(form->result(), int(QDialog::Accepted));
        if (chosen.isEmpty()) {
            QCOMPARE(form->SelectedDSP(), nullptr);
            return;
        }
        QVERIFY(form->SelectedDSP() != nullptr);
        QCOMPARE(form->SelectedDSP(), &form->Catalogue()->Items(row));
        QCOMPARE(form->SelectedDSP()->DispName, chosen);
    }

    void theListIsOneReadOnlyColumnWithoutHeader() {
        auto form = ShowList();
        QTreeView *list = form->ListView1;
        QVERIFY(list->isHeaderHidden());
        QCOMPARE(list->model()->columnCount(), 1);
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(!(list->model()->flags(list->model()->index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(form->Button1->isDefault());
        QVERIFY(form->minimumWidth() > 0 && form->minimumHeight() > 0);
        QVERIFY(form->minimumWidth() <= form->width());
    }

    void escapeClosesWithCancel() {
        auto form = ShowList();
        form->ListView1->setCurrentIndex(form->ListView1->model()->index(0, 0));
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QCOMPARE(form->result(), int(QDialog::Rejected));
        QVERIFY(form->isHidden());
        QCOMPARE(form->SelectedDSP(), nullptr);
    }

    // --- Switching kinds off and on -------------------------------------

    void uncheckingAsksAndOnlyOkSwitchesOff_data() {
        QTest::addColumn<bool>("vst");
        QTest::addColumn<int>("answer");
        QTest::newRow("VST, Cancel") << true << mrCancel;
        QTest::newRow("VST, closed") << true << 0;
        QTest::newRow("VST, OK") << true << mrOk;
        QTest::newRow("Winamp, Cancel") << false << mrCancel;
        QTest::newRow("Winamp, OK") << false << mrOk;
    }
    void uncheckingAsksAndOnlyOkSwitchesOff() {
        QFETCH(bool, vst);
        QFETCH(int, answer);
        QFile(FWinamp + u"/dsp_test.dll"_s).open(QIODevice::WriteOnly);
        SystemIni().AllowWinampPlugins = true;
        const QString winampRow = u"(DSP) "_s;
        auto form = ShowList();
        const QStringList before = Rows(*form);
        QCOMPARE(before.size(), 5);
        QVERIFY(before[3].startsWith(winampRow));
        QCOMPARE(before[4], GainRow);

        TLxConfirmCheckBox *box = vst ? form->chVstplugins : form->Label45;
        QVERIFY(box->isChecked());
        FAnswers = {answer};
        QTest::keyClick(box, Qt::Key_Space);

        QCOMPARE(FBoxes.size(), size_t(1));
        QCOMPARE(FBoxes[0].Text, vst ? u"All VST plugins will be stopped. Are you sure?"_s
                                     : u"All Winamp DSP plugins will be stopped. Are you sure?"_s);
        QCOMPARE(FBoxes[0].Caption, vst ? u"Turn off VST plugins"_s : u"Turn off Winamp plugins"_s);
        QCOMPARE(FBoxes[0].Flags, mbOKCancel | mbIconWarning);
        const bool off = answer == mrOk;
        QCOMPARE(box->isChecked(), !off);
        QCOMPARE(vst ? SystemIni().AllowVstPlugins : SystemIni().AllowWinampPlugins, !off);
        const auto &list = vst ? PluginCatalogue().VSTPlugins() : PluginCatalogue().WinampPlugins();
        QCOMPARE(list.has_value(), !off);
        QStringList expected = before;
        if (off)
            expected.removeAt(vst ? 4 : 3);
        QCOMPARE(Rows(*form), expected);
        QCOMPARE(FHelper->Probed().size(), 1);
    }

    void checkingNeverAsks() {
        SystemIni().AllowVstPlugins = false;
        QFile(FWinamp + u"/dsp_test.dll"_s).open(QIODevice::WriteOnly);
        auto form = ShowList();
        QCOMPARE(Rows(*form), BuiltIns);
        QTest::keyClick(form->Label45, Qt::Key_Space);
        QTest::mouseClick(form->chVstplugins, Qt::LeftButton, {},
                          QPoint(5, form->chVstplugins->height() / 2));
        QVERIFY(FBoxes.empty());
        QVERIFY(form->Label45->isChecked());
        QVERIFY(form->chVstplugins->isChecked());
        QVERIFY(SystemIni().AllowWinampPlugins);
        QVERIFY(SystemIni().AllowVstPlugins);
        QCOMPARE(Rows(*form).size(), 5);
        QCOMPARE(Rows(*form).last(), GainRow);
    }

    void showingSetsTheBoxesWithoutSwitchingAnything() {
        SystemIni().AllowWinampPlugins = false;
        TDSPListFrm form;
        QVERIFY(!form.Init);
        QCOMPARE(form.Catalogue(), nullptr);
        form.show();
        QVERIFY(form.Init);
        QVERIFY(!form.Label45->isChecked());
        QVERIFY(form.chVstplugins->isChecked());
        QVERIFY(FBoxes.empty());
        QVERIFY(SystemIni().AllowVstPlugins);
        QVERIFY(!SystemIni().AllowWinampPlugins);
    }

    void refreshDoesNotRescanButOffAndOnDoes() {
        auto form = ShowList();
        CopyTestPlugin(u"mono"_s, FVst);
        form->Button4->click();
        QCOMPARE(Rows(*form), BuiltIns + QStringList{GainRow});
        QCOMPARE(FHelper->Probed().size(), 1);

        FAnswers = {mrOk};
        QTest::keyClick(form->chVstplugins, Qt::Key_Space);
        QCOMPARE(Rows(*form), BuiltIns);
        QTest::keyClick(form->chVstplugins, Qt::Key_Space);
        QCOMPARE(Rows(*form), (BuiltIns + QStringList{GainRow, MonoRow}));
        QCOMPARE(FBoxes.size(), size_t(1));
    }

    // --- Changing the VST folder ----------------------------------------

    void onlyARealFolderChangeRescans_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("rescans");
        QTest::newRow("letter case only") << u"upper"_s << false;
        QTest::newRow("a trailing separator") << u"slash"_s << false;
        QTest::newRow("another folder") << u"other"_s << true;
    }
    void onlyARealFolderChangeRescans() {
        QFETCH(QString, typed);
        QFETCH(bool, rescans);
        CopyTestPlugin(u"mono"_s, FVst2);
        const QString text = typed == u"upper"_s   ? FVst.toUpper()
                             : typed == u"slash"_s ? FVst + u'/'
                                                   : FVst2;
        auto form = ShowList();
        QCOMPARE(FHelper->Probed().size(), 1);
        ChangeFolder(*form, text);

        QCOMPARE(SystemIni().VSTFolder, QStringList{StoredVSTFolder(text)});
        QVERIFY2(FBoxes.empty(), FBoxes.empty() ? "" : qPrintable(FBoxes[0].Text));
        QCOMPARE(Rows(*form), BuiltIns + QStringList{rescans ? MonoRow : GainRow});
        QCOMPARE(FHelper->Probed().size(), rescans ? 2 : 1);
        QVERIFY(SystemIni().AllowVstPlugins);
    }

    void cancelInTheFoldersDialogChangesNothing() {
        CopyTestPlugin(u"mono"_s, FVst2);
        auto form = ShowList();
        ChangeFolder(*form, FVst2, false);
        QCOMPARE(SystemIni().VSTFolder, QStringList{FVst});
        QCOMPARE(Rows(*form), BuiltIns + QStringList{GainRow});
        QCOMPARE(FHelper->Probed().size(), 1);
    }

    void aFolderChangedWhileVstIsOffIsScannedWhenSwitchedOn() {
        SystemIni().AllowVstPlugins = false;
        CopyTestPlugin(u"mono"_s, FVst2);
        auto form = ShowList();
        ChangeFolder(*form, FVst2);
        QCOMPARE(Rows(*form), BuiltIns);
        QVERIFY(FHelper->Probed().isEmpty());
        QVERIFY(!SystemIni().AllowVstPlugins);

        QTest::keyClick(form->chVstplugins, Qt::Key_Space);
        QCOMPARE(Rows(*form), BuiltIns + QStringList{MonoRow});
        QCOMPARE(FHelper->Probed(), (QStringList{FVst2 + u"/test-mono.so"_s}));
        QVERIFY(FBoxes.empty());
    }

    // --- The folders dialog ---------------------------------------------

    void foldersDialogShowsBothFolders() {
        SystemIni().VSTFolder = QStringList{u"  "_s + FVst + u"/ \n"_s};
        WithFolders([this](TPluginFoldersFrm &AForm) {
            QCOMPARE(AForm.windowTitle(), u"Plugin Location"_s);
            QCOMPARE(AForm.Edit1->text(), PluginCatalogue().GetPluginFolder());
            QVERIFY(AForm.Edit1->isReadOnly());
            QVERIFY(!AForm.Button1->isEnabled());
            QCOMPARE(AForm.Edit2->text(), FVst + u'/');
            QVERIFY(!AForm.Edit2->isReadOnly());
            QVERIFY(AForm.Button3->isDefault());
        });
    }

    void okStoresOneLineEndingInASeparator_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("plain") << u"/srv/vst"_s << QStringList{u"/srv/vst/"_s};
        QTest::newRow("white space around") << u"  /srv/vst \t"_s << QStringList{u"/srv/vst/"_s};
        QTest::newRow("separator kept") << u"/srv/vst/"_s << QStringList{u"/srv/vst/"_s};
        QTest::newRow("Windows form kept") << u"C:\\VST\\"_s << QStringList{u"C:\\VST\\"_s};
        QTest::newRow("empty names no folder") << u"   "_s << QStringList{};
    }
    void okStoresOneLineEndingInASeparator() {
        QFETCH(QString, typed);
        QFETCH(QStringList, stored);
        WithFolders([&](TPluginFoldersFrm &AForm) {
            AForm.Edit2->setText(typed);
            AForm.Button3->click();
            QCOMPARE(AForm.result(), int(QDialog::Accepted));
        });
        QCOMPARE(SystemIni().VSTFolder, stored);
    }

    void cancelLeavesTheStoredFolder() {
        SystemIni().VSTFolder = QStringList{u"/a"_s, u"/b"_s};
        WithFolders([](TPluginFoldersFrm &AForm) {
            AForm.Edit2->setText(u"/elsewhere"_s);
            AForm.Button4->click();
            QCOMPARE(AForm.result(), int(QDialog::Rejected));
        });
        QCOMPARE(SystemIni().VSTFolder, (QStringList{u"/a"_s, u"/b"_s}));
    }

    void theFolderPickerFillsTheVstFolder() {
        WithFolders([this](TPluginFoldersFrm &AForm) {
            WhenOpen(Modal<QFileDialog>, [this](QWidget *AWidget) {
                auto *dialog = static_cast<QFileDialog *>(AWidget);
                dialog->setDirectory(FDir->path());
                dialog->selectFile(FVst2);
                QMetaObject::invokeMethod(dialog, "accept");
            });
            AForm.Button2->click();
            QCOMPARE(QDir(AForm.Edit2->text()), QDir(FVst2));
        });
    }

    // --- Opening folders ------------------------------------------------

    void openFolderShowsTheFolderAsTheUser() {
        WithFolders([this](TPluginFoldersFrm &AForm) {
            AForm.Label27->click();
            AForm.Edit2->setText(u"  "_s + FVst + u"  "_s);
            AForm.Label2->click();
        });
        QVERIFY(FBoxes.empty());
        QCOMPARE(FOpened.size(), size_t(2));
        QCOMPARE(FOpened[0], QUrl::fromLocalFile(PluginCatalogue().GetPluginFolder()));
        QCOMPARE(FOpened[1], QUrl::fromLocalFile(FVst + u'/'));
    }

    void aMissingVstFolderIsCreatedAfterAsking_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << mrYes;
        QTest::newRow("no") << mrNo;
    }
    void aMissingVstFolderIsCreatedAfterAsking() {
        QFETCH(int, answer);
        const QString missing = FDir->filePath(u"new/deeper"_s);
        FAnswers = {answer};
        WithFolders([&](TPluginFoldersFrm &AForm) {
            AForm.Edit2->setText(missing);
            AForm.Label2->click();
        });
        QCOMPARE(FBoxes.size(), size_t(1));
        QCOMPARE(FBoxes[0].Text, u"Directory does not exist, create?"_s);
        QCOMPARE(FBoxes[0].Caption, u"Create directory"_s);
        QCOMPARE(FBoxes[0].Flags, int(mbYesNoQuestion));
        QCOMPARE(QFileInfo(missing).isDir(), answer == mrYes);
        if (answer == mrYes)
            QCOMPARE(FOpened, std::vector<QUrl>{QUrl::fromLocalFile(missing + u'/')});
        else
            QVERIFY(FOpened.empty());
    }

    void aFolderThatCannotBeCreatedIsReported() {
        // Below a regular file no one can create a folder, root neither.
        const QString file = FDir->filePath(u"a-file"_s);
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        const QString below = file + u"/vst"_s;
        FAnswers = {mrYes};
        WithFolders([&](TPluginFoldersFrm &AForm) {
            AForm.Edit2->setText(below);
            AForm.Label2->click();
        });
        QCOMPARE(FBoxes.size(), size_t(2));
        QCOMPARE(FBoxes[1].Text,
                 u"The folder \"%1/\" could not be created: Not a directory."_s.arg(below));
        QCOMPARE(FBoxes[1].Caption, u"Create directory"_s);
        QCOMPARE(FBoxes[1].Flags, int(mbIconError));
        QVERIFY(!QFileInfo::exists(below));
        QVERIFY(FOpened.empty());
    }

    void aFolderRefusedForLackOfRightsSaysSoAndOffersAdministratorRights() {
        const QString locked = FDir->filePath(u"locked"_s);
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        QString below = locked + u"/vst"_s;
        if (::geteuid() == 0) {
            // Root passes any permission bits; the kernel's own sysfs still
            // refuses it a new folder.
            below = u"/sys/vocarra-test-%1/vst"_s.arg(::getpid());
            const QByteArray probe = QFile::encodeName(below.section(u'/', 0, 2));
            if (::mkdir(probe.constData(), 0755) == 0 || (errno != EPERM && errno != EACCES)) {
                ::rmdir(probe.constData());
                QSKIP("this machine lets root create folders everywhere");
            }
        }
        // Yes to creating, No to administrator rights: nothing is started.
        FAnswers = {mrYes, mrNo};
        WithFolders([&](TPluginFoldersFrm &AForm) {
            AForm.Edit2->setText(below);
            AForm.Label2->click();
        });
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(FBoxes.size(), size_t(2));
        QCOMPARE(FBoxes[1].Text, u"You have no rights to create the folder \"%1/\". Create it with "
                                 u"administrator rights?"_s.arg(below));
        QCOMPARE(FBoxes[1].Caption, u"Create directory"_s);
        QCOMPARE(FBoxes[1].Flags, mbYesNo | mbIconWarning);
        QVERIFY(!QFileInfo::exists(below));
        QVERIFY(FOpened.empty());
    }

    void theLinksAreReachedAndFollowedByKeyboard() {
        WithFolders([this](TPluginFoldersFrm &AForm) {
            for (QPushButton *link : {AForm.Label27, AForm.Label2}) {
                QVERIFY(link->focusPolicy() & Qt::TabFocus);
                QCOMPARE(link->text(), u"open folder"_s);
            }
            AForm.Edit2->setText(FVst);
            QApplication::setActiveWindow(&AForm);
            QVERIFY(QTest::qWaitForWindowActive(&AForm));
            AForm.Edit2->setFocus();
            QTest::keyClick(AForm.Edit2, Qt::Key_Tab); // to "..."
            QTest::keyClick(AForm.Button2, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), AForm.Label2);
            QTest::keyClick(AForm.Label2, Qt::Key_Space);
        });
        QCOMPARE(FOpened, std::vector<QUrl>{QUrl::fromLocalFile(FVst + u'/')});
    }

    // --- Screen readers -------------------------------------------------

    void everyControlHasAnAccessibleName() {
        auto list = ShowList();
        TPluginFoldersFrm folders;
        folders.show();
        for (QWidget *window :
             {static_cast<QWidget *>(list.get()), static_cast<QWidget *>(&folders)}) {
            for (QWidget *control : window->findChildren<QWidget *>()) {
                const bool isControl = qobject_cast<QAbstractButton *>(control) != nullptr ||
                                       qobject_cast<QLineEdit *>(control) != nullptr ||
                                       qobject_cast<QAbstractItemView *>(control) != nullptr;
                if (!isControl || control->objectName().isEmpty())
                    continue;
                QVERIFY2(!AccessibleName(control).isEmpty(), qPrintable(control->objectName()));
            }
        }
        QCOMPARE(AccessibleName(list->chVstplugins), u"VST plug-ins"_s);
        QCOMPARE(AccessibleName(list->Label45), u"Winamp DSP plug-ins"_s);
        QCOMPARE(AccessibleName(folders.Edit1), u"Winamp DSP plugins"_s);
        QCOMPARE(AccessibleName(folders.Edit2), u"VST plugins"_s);
        QCOMPARE(AccessibleName(folders.Label2), u"Open the VST plug-in folder"_s);
        QCOMPARE(AccessibleName(folders.Button2), u"Choose the VST plug-in folder"_s);
        QAccessibleInterface *link = QAccessible::queryAccessibleInterface(folders.Label27);
        QCOMPARE(link->role(), QAccessible::Button);
        QVERIFY(link->actionInterface() != nullptr);
        QAccessibleInterface *rows = QAccessible::queryAccessibleInterface(list->ListView1);
        // The rows are spoken by their names.
        list->ListView1->doItemsLayout();
        QAccessibleTableInterface *table = rows->tableInterface();
        QVERIFY(table != nullptr);
        QCOMPARE(table->rowCount(), 4);
        QCOMPARE(table->cellAt(0, 0)->text(QAccessible::Name), u"Equalizer"_s);
        QCOMPARE(table->cellAt(3, 0)->text(QAccessible::Name), GainRow);
    }

    // --- Captions -------------------------------------------------------

    void captionsComeFromTheLanguageFile() {
        const QString exe = FDir->filePath(u"exe/"_s);
        QDir().mkpath(exe + u"Lang/En"_s);
        QFile lang(exe + u"Lang/En/lang.ini"_s);
        QVERIFY(lang.open(QIODevice::WriteOnly));
        lang.write("[DSPAdd.Captions]\n@=Effekte\nchVstplugins=VST-Erweiterungen\n"
                   "Button4=Liste neu laden\n"
                   "[PluginFolders.Captions]\n@=Orte\nLabel3=VST-Ordner\n");
        lang.close();
        SetProcessDirs({exe, QString(), FData + u'/'});
        SystemIni().SetLangDir(u"En"_s);
        SetDefaultLanguageFile(u"lang.ini"_s);
        auto list = ShowList();
        TPluginFoldersFrm folders;
        folders.show();
        SetDefaultLanguageFile(QString());
        QCOMPARE(list->windowTitle(), u"Effekte"_s);
        QCOMPARE(list->chVstplugins->text(), u"VST-Erweiterungen"_s);
        QCOMPARE(list->Button4->text(), u"Liste neu laden"_s);
        QCOMPARE(list->Label45->text(), u"Winamp DSP plug-ins"_s);
        QCOMPARE(folders.windowTitle(), u"Orte"_s);
        QCOMPARE(folders.Label3->text(), u"VST-Ordner"_s);
        QCOMPARE(AccessibleName(folders.Edit2), u"VST-Ordner"_s);
        // The longer captions still fit.
        QVERIFY(list->minimumWidth() >= list->layout()->minimumSize().width());
        QVERIFY(folders.width() >= folders.layout()->sizeHint().width());
    }
};

QTEST_MAIN(TDSPListFormTest)
#include "DSPListFormTest.moc"
