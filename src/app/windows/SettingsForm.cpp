#include "app/windows/SettingsForm.h"

#include "config/Settings.h"
#include "controls/WindowHelpers.h"
#include "devices/AudioLibrary.h"
#include "devices/SoundDevice.h"
#include "station/SystemIni.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <limits>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// Heights, at 96 pixels per inch, of the one-line controls; labels and the
// check box take the height their text needs.
constexpr int EditHeight = 23;
constexpr int ButtonHeight = 25;

template <class T> T *NewControl(QWidget *AParent, const QString &AName) {
    T *control = new T(AParent);
    control->setObjectName(AName);
    return control;
}

// Places AControl at a 96-ppi position inside its parent. A width or height
// of 0 takes what the control's content needs.
void Place(QWidget *AControl, int ALeft, int ATop, int AWidth = 0, int AHeight = 0) {
    const QSize hint = AControl->sizeHint();
    AControl->setGeometry(ScaleValue(ALeft), ScaleValue(ATop),
                          AWidth > 0 ? ScaleValue(AWidth) : hint.width(),
                          AHeight > 0 ? ScaleValue(AHeight) : hint.height());
}

QLabel *NewLabel(QWidget *AParent, const QString &AName, const QString &ACaption, int ALeft,
                 int ATop) {
    QLabel *label = NewControl<QLabel>(AParent, AName);
    label->setText(ACaption);
    Place(label, ALeft, ATop);
    return label;
}

// The microphone: entry 0 of the system configuration's capture devices. The
// configuration pads that list on creation and after every read, so the entry
// only has to be added here if something emptied the list in between.
TInputDevice &Microphone() {
    TInputDevicesList &inputs = SystemIni().Inputs;
    if (inputs.Count() == 0)
        inputs.Add();
    return inputs.Items(0);
}

} // namespace

TSettingsFrm::TSettingsFrm(QWidget *AParent) : QDialog(AParent) {
    setObjectName(u"SettingsFrm"_s);
    setWindowTitle(u"Settings"_s);

    gbConnection = NewControl<QGroupBox>(this, u"gbConnection"_s);
    gbConnection->setTitle(u"Kestrova"_s);
    Place(gbConnection, 8, 8, 286, 188);

    Label1 = NewLabel(gbConnection, u"Label1"_s, u"Hostname/IP address"_s, 10, 18);
    edServer = NewControl<QLineEdit>(gbConnection, u"edServer"_s);
    Place(edServer, 10, 37, 193, EditHeight);

    Label2 = NewLabel(gbConnection, u"Label2"_s, u"Port"_s, 209, 18);
    nbPort = NewControl<QSpinBox>(gbConnection, u"nbPort"_s);
    // Any whole number is taken as typed; a port out of range shows up as a
    // failed connection, not as a value silently changed here.
    nbPort->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    Place(nbPort, 209, 37, 67, EditHeight);

    chTLS = NewControl<QCheckBox>(gbConnection, u"chTLS"_s);
    chTLS->setText(u"SSL/TLS"_s);
    Place(chTLS, 10, 64, 97);

    Label3 = NewLabel(gbConnection, u"Label3"_s, u"Username"_s, 10, 87);
    edUser = NewControl<QLineEdit>(gbConnection, u"edUser"_s);
    Place(edUser, 10, 106, 193, EditHeight);

    Label4 = NewLabel(gbConnection, u"Label4"_s, u"Password"_s, 10, 135);
    edPass = NewControl<QLineEdit>(gbConnection, u"edPass"_s);
    edPass->setEchoMode(QLineEdit::Password);
    Place(edPass, 10, 154, 193, EditHeight);

    gbInput = NewControl<QGroupBox>(this, u"gbInput"_s);
    gbInput->setTitle(u"Microphone"_s);
    Place(gbInput, 8, 202, 286, 72);

    Label5 = NewLabel(gbInput, u"Label5"_s, u"Device"_s, 10, 18);
    cbInput = NewControl<QComboBox>(gbInput, u"cbInput"_s);
    cbInput->setEditable(false);
    Place(cbInput, 10, 37, 266, EditHeight);

    btOK = NewControl<QPushButton>(this, u"btOK"_s);
    btOK->setText(u"OK"_s);
    btOK->setDefault(true);
    Place(btOK, 138, 283, 75, ButtonHeight);

    btCancel = NewControl<QPushButton>(this, u"btCancel"_s);
    btCancel->setText(u"Cancel"_s);
    Place(btCancel, 219, 283, 75, ButtonHeight);

    // Screen readers name each field after the label above it.
    Label1->setBuddy(edServer);
    Label2->setBuddy(nbPort);
    Label3->setBuddy(edUser);
    Label4->setBuddy(edPass);
    Label5->setBuddy(cbInput);

    // The connection fields first, then the microphone, then the buttons.
    setTabOrder(edServer, nbPort);
    setTabOrder(nbPort, chTLS);
    setTabOrder(chTLS, edUser);
    setTabOrder(edUser, edPass);
    setTabOrder(edPass, cbInput);
    setTabOrder(cbInput, btOK);
    setTabOrder(btOK, btCancel);

    // Esc and the close box reach reject() through QDialog itself.
    connect(btOK, &QPushButton::clicked, this, &TSettingsFrm::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TSettingsFrm::reject);

    setFixedSize(ScaleValue(302), ScaleValue(316));
}

void TSettingsFrm::showEvent(QShowEvent *AEvent) {
    QDialog::showEvent(AEvent);
    // Hiding and showing again must not reload the fields over what the user typed.
    if (FShown)
        return;
    FShown = true;
    FormShow();
}

void TSettingsFrm::FormShow() {
    {
        // Request workers read these fields under the same lock; they must
        // never see half of an old and half of a new connection.
        const std::lock_guard guard(Settings().Monitor());
        const TSettings &settings = Settings();
        edServer->setText(settings.Server);
        chTLS->setChecked(settings.TLS);
        nbPort->setValue(settings.Port);
        edUser->setText(settings.User);
        edPass->setText(settings.Pass);
    }

    FillCaptureDevices();

    // Only shared-mode devices are offered, so the entry is switched to that
    // layer now; it reaches system.ini with the next save, even after Cancel.
    TInputDevice &mic = Microphone();
    mic.SetMethod(lyWasapi);

    int selected = -1;
    if (mic.IsDefault()) {
        // There is no entry for the default device: the first one stands in.
        selected = DeviceIds.isEmpty() ? -1 : 0;
    } else if (!mic.DeviceID().isEmpty()) {
        for (int i = 0; i < DeviceIds.size() && selected < 0; ++i) {
            if (DeviceIds.at(i).compare(mic.DeviceID(), Qt::CaseInsensitive) == 0)
                selected = i;
        }
    }
    // Filling a drop-down list selects its first entry by itself; an unplugged
    // device must show as no selection instead.
    cbInput->setCurrentIndex(selected);
}

void TSettingsFrm::FillCaptureDevices() {
    DeviceIds.clear();
    cbInput->clear();
    const std::shared_ptr<const TAudioLibrary> library = AudioLibrary();
    TWasapiDeviceInfo info;
    for (int device = 0; library->WasapiGetDeviceInfo(device, info); ++device) {
        const bool usable = (info.Flags & wdfInput) != 0 && (info.Flags & wdfEnabled) != 0 &&
                            (info.Flags & wdfLoopback) == 0;
        if (!usable)
            continue;
        cbInput->addItem(info.Name);
        DeviceIds.append(info.Id);
    }
}

void TSettingsFrm::btOKClick() {
    // The spin box may still hold text that was typed but not yet taken.
    nbPort->interpretText();
    {
        // Stored as typed: an empty server or port 0 makes the next request
        // report that the connection is not configured.
        const std::lock_guard guard(Settings().Monitor());
        TSettings &settings = Settings();
        settings.Server = edServer->text();
        settings.TLS = chTLS->isChecked();
        settings.Port = nbPort->value();
        settings.User = edUser->text();
        settings.Pass = edPass->text();
    }

    TInputDevice &mic = Microphone();
    mic.SetMethod(lyWasapi);
    const int index = cbInput->currentIndex();
    // A stored ":default" becomes the identifier of the device that was shown.
    mic.SetDeviceID(index >= 0 && index < DeviceIds.size() ? DeviceIds.at(index) : QString());

    // A failed save is shown by the save; the values stay in memory and the
    // dialog closes all the same.
    SystemIni().Save();
    accept();
}
