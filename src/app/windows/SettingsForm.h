#pragma once
// The settings dialog: the connection to the station server (host, port, TLS,
// user name, password) and the microphone, a shared-mode capture device.
// Connection values go into the process-wide TSettings under its lock; the
// microphone choice goes into the first capture entry of the system
// configuration, which OK saves at once. The dialog only records which device
// is meant; it never opens it. Main thread only; one dialog per opening.

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QSpinBox;

class TSettingsFrm : public QDialog {
    Q_OBJECT
public:
    // AParent: the window the dialog is centred on.
    explicit TSettingsFrm(QWidget *AParent = nullptr);

    // --- Handlers ----------------------------------------------------------
    // Copies the stored values into the controls and lists the capture
    // devices. Runs once, when the dialog is first shown.
    void FormShow();
    // Stores the controls' values, saves system.ini and closes with OK; a
    // failed save is shown by the save itself and the dialog closes anyway.
    void btOKClick();

    // Lists the enabled capture devices of the shared-mode layer in cbInput,
    // their identifiers in DeviceIds, in the library's device order.
    void FillCaptureDevices();

    // Entry i is the identifier of cbInput's entry i; both lists always have
    // the same length and order.
    QStringList DeviceIds;

    // --- Controls ------------------------------------------------------------
    QGroupBox *gbConnection;
    QLabel *Label1;
    QLineEdit *edServer;
    QLabel *Label2;
    QSpinBox *nbPort;
    QCheckBox *chTLS;
    QLabel *Label3;
    QLineEdit *edUser;
    QLabel *Label4;
    QLineEdit *edPass;
    QGroupBox *gbInput;
    QLabel *Label5;
    QComboBox *cbInput;
    QPushButton *btOK;
    QPushButton *btCancel;

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    bool FShown = false;
};
