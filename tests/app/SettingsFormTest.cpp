// The settings dialog against the process-wide settings and system
// configuration, a scripted device list and a real data folder: what it shows,
// what OK stores and saves, what Cancel leaves alone.

#include "app/windows/SettingsForm.h"

#include "config/AtomicFile.h"
#include "config/DataDirs.h"
#include "config/Settings.h"
#include "controls/WindowHelpers.h"
#include "core/MessageBox.h"
#include "devices/ScriptedLibrary.h"
#include "devices/SoundDevice.h"
#include "station/SystemIni.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <limits>
#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString HeadsetId = u"{0.0.1.00000000}.{4f1a-headset}"_s;
const QString LineInId = u"{0.0.1.00000000}.{9c2e-linein}"_s;
const QString DisabledMicId = u"{0.0.1.00000000}.{77d0-oldusb}"_s;

// Two usable capture devices among every kind the list must leave out.
std::shared_ptr<TScriptedLibrary> StudioDevices() {
    auto library = std::make_shared<TScriptedLibrary>();
    library->Wasapi = {
        {u"Speakers"_s, u"{0.0.0.00000000}.{speakers}"_s, wdfEnabled},
        {u"Headset Microphone"_s, HeadsetId, wdfEnabled | wdfInput},
        {u"Speakers (loopback)"_s, u"{0.0.0.00000000}.{speakers}"_s,
         wdfEnabled | wdfInput | wdfLoopback},
        {u"Old USB Microphone"_s, DisabledMicId, wdfInput},
        {u"Line In"_s, LineInId, wdfEnabled | wdfInput},
        {u"Monitor (loopback)"_s, u"{0.0.0.00000000}.{monitor}"_s, wdfEnabled | wdfLoopback},
    };
    return library;
}

struct TBox {
    QString Text;
    QString Caption;
    int Flags;
};

TInputDevice &Microphone() {
    return SystemIni().Inputs.Items(0);
}

QStringList ItemTexts(const QComboBox &ABox) {
    QStringList texts;
    for (int i = 0; i < ABox.count(); ++i)
        texts.append(ABox.itemText(i));
    return texts;
}

} // namespace

class TSettingsFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    QString FDataDir;
    QList<TBox> FBoxes;

    void SetConnection(const QString &AServer, bool ATLS, int APort, const QString &AUser,
                       const QString &APass) {
        TSettings &settings = Settings();
        settings.Server = AServer;
        settings.TLS = ATLS;
        settings.Port = APort;
        settings.User = AUser;
        settings.Pass = APass;
    }

    void ExpectConnection(const QString &AServer, bool ATLS, int APort, const QString &AUser,
                          const QString &APass) {
        const TSettings &settings = Settings();
        QCOMPARE(settings.Server, AServer);
        QCOMPARE(settings.TLS, ATLS);
        QCOMPARE(settings.Port, APort);
        QCOMPARE(settings.User, AUser);
        QCOMPARE(settings.Pass, APass);
    }

    static void ClickOK(TSettingsFrm &AForm) { QTest::mouseClick(AForm.btOK, Qt::LeftButton); }

private Q_SLOTS:
    void initTestCase() {
        SetMessageBoxPresenter([this](const QString &AText, const QString &ACaption, int AFlags) {
            FBoxes.append({AText, ACaption, AFlags});
            return 0;
        });
    }

    void cleanupTestCase() { SetMessageBoxPresenter(nullptr); }

    void init() {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(FDir->isValid());
        FDataDir = WithTrailingSeparator(FDir->path());
        SetProcessDirs({FDataDir, {}, FDataDir});
        SetAudioLibrary(StudioDevices());
        SetConnection(u"studio.example.net"_s, true, 9000, u"presenter"_s, u"s3cret"_s);
        // As the system configuration creates it: no driver layer, no device.
        Microphone().SetMethod(-2);
        Microphone().SetDeviceID({});
        FBoxes.clear();
    }

    void cleanup() {
        SetWriteFaultHook(nullptr);
        SetAudioLibrary(nullptr);
        QFile::setPermissions(FDir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SetProcessDirs({});
        FDir->setAutoRemove(!QTest::currentTestFailed());
        FDir.reset();
    }

    void controlsAsLaidOut() {
        TSettingsFrm form;
        QCOMPARE(form.windowTitle(), u"Settings"_s);
        QCOMPARE(form.minimumSize(), QSize(ScaleValue(302), ScaleValue(316)));
        QCOMPARE(form.maximumSize(), form.minimumSize());

        struct TCase {
            QWidget *Control;
            QString Name;
            QString Caption;
            QWidget *Parent;
        };
        const TCase cases[] = {
            {form.gbConnection, u"gbConnection"_s, u"Kestrova"_s, &form},
            {form.Label1, u"Label1"_s, u"Hostname/IP address"_s, form.gbConnection},
            {form.edServer, u"edServer"_s, {}, form.gbConnection},
            {form.Label2, u"Label2"_s, u"Port"_s, form.gbConnection},
            {form.nbPort, u"nbPort"_s, {}, form.gbConnection},
            {form.chTLS, u"chTLS"_s, u"SSL/TLS"_s, form.gbConnection},
            {form.Label3, u"Label3"_s, u"Username"_s, form.gbConnection},
            {form.edUser, u"edUser"_s, {}, form.gbConnection},
            {form.Label4, u"Label4"_s, u"Password"_s, form.gbConnection},
            {form.edPass, u"edPass"_s, {}, form.gbConnection},
            {form.gbInput, u"gbInput"_s, u"Microphone"_s, &form},
            {form.Label5, u"Label5"_s, u"Device"_s, form.gbInput},
            {form.cbInput, u"cbInput"_s, {}, form.gbInput},
            {form.btOK, u"btOK"_s, u"OK"_s, &form},
            {form.btCancel, u"btCancel"_s, u"Cancel"_s, &form},
        };
        for (const TCase &c : cases) {
            const QByteArray name = c.Name.toUtf8();
            QVERIFY2(c.Control != nullptr, name.constData());
            QCOMPARE(form.findChild<QWidget *>(c.Name), c.Control);
            QCOMPARE(c.Control->parentWidget(), c.Parent);
            QString caption;
            if (auto *label = qobject_cast<QLabel *>(c.Control))
                caption = label->text();
            else if (auto *box = qobject_cast<QGroupBox *>(c.Control))
                caption = box->title();
            else if (auto *button = qobject_cast<QAbstractButton *>(c.Control))
                caption = button->text();
            QCOMPARE(caption, c.Caption);
        }

        QCOMPARE(form.nbPort->minimum(), std::numeric_limits<int>::min());
        QCOMPARE(form.nbPort->maximum(), std::numeric_limits<int>::max());
        QCOMPARE(form.edPass->echoMode(), QLineEdit::Password);
        QVERIFY(!form.cbInput->isEditable());
        QVERIFY(form.btOK->isDefault());
        QVERIFY(!form.btCancel->isDefault());
    }

    void fieldsAreNamedByTheirLabels() {
        TSettingsFrm form;
        const std::pair<QWidget *, QString> fields[] = {
            {form.edServer, u"Hostname/IP address"_s},
            {form.nbPort, u"Port"_s},
            {form.edUser, u"Username"_s},
            {form.edPass, u"Password"_s},
            {form.cbInput, u"Device"_s},
        };
        for (const auto &[field, name] : fields) {
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(field);
            QVERIFY(accessible != nullptr);
            QCOMPARE(accessible->text(QAccessible::Name), name);
        }
    }

    void tabOrderRunsThroughConnectionThenMicrophone() {
        TSettingsFrm form;
        const QList<QWidget *> expected = {form.edServer, form.nbPort,  form.chTLS, form.edUser,
                                           form.edPass,   form.cbInput, form.btOK,  form.btCancel};
        // Walk the focus chain once round, keeping the dialog's own controls
        // (the spin box's inner editor is skipped by its focus proxy).
        QList<QWidget *> seen;
        QWidget *widget = form.edServer;
        do {
            if (expected.contains(widget) && !seen.contains(widget))
                seen.append(widget);
            widget = widget->nextInFocusChain();
        } while (widget != form.edServer);
        QCOMPARE(seen, expected);
    }

    void showCopiesTheConnection() {
        SetConnection(u" studio "_s, true, -5, u"night shift"_s, u"p*ss"_s);
        TSettingsFrm form;
        form.show();
        QCOMPARE(form.edServer->text(), u" studio "_s);
        QVERIFY(form.chTLS->isChecked());
        QCOMPARE(form.nbPort->value(), -5);
        QCOMPARE(form.edUser->text(), u"night shift"_s);
        QCOMPARE(form.edPass->text(), u"p*ss"_s);
    }

    void listsEnabledCaptureDevicesOnly() {
        TSettingsFrm form;
        form.show();
        QCOMPARE(ItemTexts(*form.cbInput), (QStringList{u"Headset Microphone"_s, u"Line In"_s}));
        QCOMPARE(form.DeviceIds, (QStringList{HeadsetId, LineInId}));
    }

    void showRunsOnce() {
        TSettingsFrm form;
        form.show();
        form.edServer->setText(u"typed.example"_s);
        form.cbInput->setCurrentIndex(1);
        form.hide();
        form.show();
        QCOMPARE(form.edServer->text(), u"typed.example"_s);
        QCOMPARE(form.cbInput->count(), 2);
        QCOMPARE(form.DeviceIds.size(), 2);
        QCOMPARE(form.cbInput->currentIndex(), 1);
    }

    void microphoneChoice_data() {
        QTest::addColumn<bool>("devices"); // false: the library lists nothing
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("shown"); // selected index of cbInput, -1 for none
        QTest::addColumn<QString>("storedAfterOK");

        QTest::newRow("default shows the first device and OK names it")
            << true << u":default"_s << 0 << HeadsetId;
        QTest::newRow("stored device is shown selected") << true << LineInId << 1 << LineInId;
        QTest::newRow("identifier differing only in letter case")
            << true << LineInId.toUpper() << 1 << LineInId;
        QTest::newRow("unplugged device selects nothing")
            << true << u"{0.0.1.00000000}.{gone}"_s << -1 << QString();
        QTest::newRow("disabled device selects nothing")
            << true << DisabledMicId << -1 << QString();
        QTest::newRow("no stored device selects nothing") << true << QString() << -1 << QString();
        QTest::newRow("default is matched exactly") << true << u":DEFAULT"_s << -1 << QString();
        QTest::newRow("default without any device") << false << u":default"_s << -1 << QString();
    }

    void microphoneChoice() {
        QFETCH(bool, devices);
        QFETCH(QString, stored);
        QFETCH(int, shown);
        QFETCH(QString, storedAfterOK);

        if (!devices)
            SetAudioLibrary(nullptr);
        Microphone().SetDeviceID(stored);

        TSettingsFrm form;
        form.show();
        QCOMPARE(form.cbInput->currentIndex(), shown);
        QCOMPARE(Microphone().Method(), static_cast<qint32>(lyWasapi));
        QCOMPARE(Microphone().DeviceID(), stored);

        ClickOK(form);
        QCOMPARE(form.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(Microphone().DeviceID(), storedAfterOK);
        QCOMPARE(Microphone().Method(), static_cast<qint32>(lyWasapi));
    }

    void okStoresTheConnectionAsTyped_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("port"); // typed into the port box
        QTest::addColumn<int>("storedPort");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("pass");

        QTest::newRow("plain values")
            << u"10.0.0.7"_s << false << u"8080"_s << 8080 << u"vt"_s << u"pw"_s;
        QTest::newRow("empty server and port 0")
            << QString() << true << u"0"_s << 0 << QString() << QString();
        QTest::newRow("spaces around the server stay")
            << u"  studio.example.net  "_s << false << u"9000"_s << 9000 << u" a b "_s << u" x "_s;
        QTest::newRow("port beyond the port range")
            << u"studio"_s << true << u"70000"_s << 70000 << u"vt"_s << u"pw"_s;
    }

    void okStoresTheConnectionAsTyped() {
        QFETCH(QString, server);
        QFETCH(bool, tls);
        QFETCH(QString, port);
        QFETCH(int, storedPort);
        QFETCH(QString, user);
        QFETCH(QString, pass);

        TSettingsFrm form;
        form.show();
        for (QLineEdit *edit : {form.edServer, form.edUser, form.edPass})
            edit->clear();
        QTest::keyClicks(form.edServer, server);
        QTest::keyClicks(form.edUser, user);
        QTest::keyClicks(form.edPass, pass);
        form.chTLS->setChecked(tls);
        QTest::keyClick(form.nbPort, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(form.nbPort, port);

        ClickOK(form);
        QCOMPARE(form.result(), static_cast<int>(QDialog::Accepted));
        QVERIFY(!form.isVisible());
        ExpectConnection(server, tls, storedPort, user, pass);
    }

    void enterConfirms() {
        TSettingsFrm form;
        form.show();
        form.edServer->setText(u"entered.example"_s);
        QTest::keyClick(form.edServer, Qt::Key_Return);
        QCOMPARE(form.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(Settings().Server, u"entered.example"_s);
        QVERIFY(QFileInfo::exists(FDataDir + u"system.ini"_s));
    }

    void cancelStoresNothing_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << u"button"_s;
        QTest::newRow("Esc key") << u"escape"_s;
        QTest::newRow("close box") << u"close"_s;
    }

    void cancelStoresNothing() {
        QFETCH(QString, how);
        Microphone().SetDeviceID(HeadsetId);

        TSettingsFrm form;
        form.show();
        form.edServer->setText(u"other.example"_s);
        form.chTLS->setChecked(false);
        form.nbPort->setValue(1);
        form.edUser->setText(u"other"_s);
        form.edPass->setText(u"other"_s);
        form.cbInput->setCurrentIndex(1);

        if (how == u"button")
            QTest::mouseClick(form.btCancel, Qt::LeftButton);
        else if (how == u"escape")
            QTest::keyClick(form.edServer, Qt::Key_Escape);
        else
            QVERIFY(form.close());

        QCOMPARE(form.result(), static_cast<int>(QDialog::Rejected));
        QVERIFY(!form.isVisible());
        ExpectConnection(u"studio.example.net"_s, true, 9000, u"presenter"_s, u"s3cret"_s);
        QCOMPARE(Microphone().DeviceID(), HeadsetId);
        // Showing already switched the entry to the shared-mode layer.
        QCOMPARE(Microphone().Method(), static_cast<qint32>(lyWasapi));
        QVERIFY(!QFileInfo::exists(FDataDir + u"system.ini"_s));
    }

    void okSavesSystemIni() {
        TSettingsFrm form;
        form.show();
        form.cbInput->setCurrentIndex(1);
        ClickOK(form);

        QVERIFY(FBoxes.isEmpty());
        QVERIFY(QFileInfo::exists(FDataDir + u"system.ini"_s));
        QVERIFY(QFileInfo::exists(FDataDir + u"system.ini.bak"_s));
        // Another program of the station family reading the file finds the choice.
        TSystemIni fresh;
        fresh.Read();
        QCOMPARE(fresh.Inputs.Items(0).DeviceID(), LineInId);
        QCOMPARE(fresh.Inputs.Items(0).Method(), static_cast<qint32>(lyWasapi));
    }

    void failedSaveIsShownAndStillCloses_data() {
        QTest::addColumn<int>("step"); // -1: the data folder is read-only
        QTest::addColumn<int>("error");
        QTest::newRow("read-only data folder") << -1 << 0;
        QTest::newRow("file cannot be created") << static_cast<int>(wsCreate) << EACCES;
        QTest::newRow("disk full") << static_cast<int>(wsWrite) << ENOSPC;
    }

    void failedSaveIsShownAndStillCloses() {
        QFETCH(int, step);
        QFETCH(int, error);
        if (step < 0) {
            if (geteuid() == 0)
                QSKIP("root writes into read-only folders");
            QVERIFY(QFile::setPermissions(FDir->path(), QFile::ReadOwner | QFile::ExeOwner));
        } else {
            SetWriteFaultHook([step, error](TWriteStep AStep, const QString &) {
                return static_cast<int>(AStep) == step ? error : 0;
            });
        }

        Microphone().SetDeviceID(DefaultDeviceID.toString());

        TSettingsFrm form;
        form.show();
        form.edServer->setText(u"kept.example"_s);
        ClickOK(form);

        QCOMPARE(FBoxes.size(), 1);
        QVERIFY2(FBoxes[0].Text.startsWith(u"Error saving file (system.ini): "_s),
                 qPrintable(FBoxes[0].Text));
        QCOMPARE(FBoxes[0].Caption, u"Error"_s);
        QCOMPARE(FBoxes[0].Flags, static_cast<int>(mbIconError));
        QCOMPARE(form.result(), static_cast<int>(QDialog::Accepted));
        QVERIFY(!form.isVisible());
        // The values stay in memory for the next request and the next save.
        QCOMPARE(Settings().Server, u"kept.example"_s);
        QCOMPARE(Microphone().DeviceID(), HeadsetId);
        QVERIFY(!QFileInfo::exists(FDataDir + u"system.ini"_s));
    }
};

QTEST_MAIN(TSettingsFormTest)
#include "SettingsFormTest.moc"
