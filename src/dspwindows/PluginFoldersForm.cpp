#include "dspwindows/PluginFoldersForm.h"

#include "config/DataDirs.h"
#include "controls/WindowHelpers.h"
#include "core/MessageBox.h"
#include "core/NativeNames.h"
#include "core/Process.h"
#include "dspwindows/DialogPlacement.h"
#include "dspwindows/WindowTranslation.h"
#include "station/SystemIni.h"
#include "vst/PluginCatalogue.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

namespace {

TOpenFolderHook &OpenFolderHook() {
    static TOpenFolderHook Hook;
    return Hook;
}

// A launcher that cannot start its program fails silently.
void OpenFolder(const QString &AFolder) {
    const QUrl url = QUrl::fromLocalFile(AFolder);
    if (OpenFolderHook())
        OpenFolderHook()(url);
    else
        QDesktopServices::openUrl(url);
}

// A push button drawn as a link: underlined navy text and a hand cursor. A
// button rather than a label, so that Tab reaches it, Space and Enter follow
// it and screen readers offer it as something to press.
QPushButton *LinkButton(QWidget *AParent, const QString &AName, const QString &AAccessibleName) {
    auto *link = new QPushButton(u"open folder"_s, AParent);
    link->setObjectName(AName);
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(
        u"QPushButton { color: navy; text-decoration: underline; border: none; padding: 0; }"
        u"QPushButton:focus { outline: 1px dotted navy; }"_s);
    link->setAccessibleName(AAccessibleName);
    link->setAccessibleDescription(u"link"_s);
    return link;
}

QLabel *Caption(QWidget *AParent, const QString &AName, const QString &AText, QWidget *AEdit) {
    auto *label = new QLabel(AText, AParent);
    label->setObjectName(AName);
    // Screen readers name the edit after its label, translated or not.
    label->setBuddy(AEdit);
    return label;
}

bool IsSeparator(QChar AChar) {
    return AChar == u'/' || AChar == u'\\';
}

} // namespace

void SetOpenFolderHook(TOpenFolderHook AHook) {
    OpenFolderHook() = std::move(AHook);
}

QString StoredVSTFolder(const QString &AText) {
    QString text = AText.trimmed();
    // An empty folder would become "/" and send the scan through the whole
    // file system: it stays empty, naming no folder.
    if (!text.isEmpty() && !IsSeparator(text.back()))
        text += u'/';
    return text;
}

TPluginFoldersFrm::TPluginFoldersFrm(QWidget *AMainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FMainWindow(AMainWindow) {
    setObjectName(u"PluginFoldersFrm"_s);
    setWindowTitle(u"Plugin Location"_s);
    setModal(true);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(u"Edit1"_s);
    Edit1->setReadOnly(true);
    Label1 = Caption(this, u"Label1"_s, u"Winamp DSP plugins"_s, Edit1);
    Button1 = new QPushButton(u"..."_s, this);
    Button1->setObjectName(u"Button1"_s);
    Button1->setEnabled(false);
    Button1->setAutoDefault(false);
    Button1->setToolTip(u"Choose the Winamp DSP plug-in folder"_s);
    Button1->setAccessibleName(u"Choose the Winamp DSP plug-in folder"_s);
    Label27 = LinkButton(this, u"Label27"_s, u"Open the Winamp DSP plug-in folder"_s);

    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(u"Edit2"_s);
    Label3 = Caption(this, u"Label3"_s, u"VST plugins"_s, Edit2);
    Button2 = new QPushButton(u"..."_s, this);
    Button2->setObjectName(u"Button2"_s);
    Button2->setAutoDefault(false);
    Button2->setToolTip(u"Choose the VST plug-in folder"_s);
    Button2->setAccessibleName(u"Choose the VST plug-in folder"_s);
    Label2 = LinkButton(this, u"Label2"_s, u"Open the VST plug-in folder"_s);

    auto *grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(Button1, 0, 2);
    grid->addWidget(Label27, 0, 3);
    grid->addWidget(Label3, 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(Button2, 1, 2);
    grid->addWidget(Label2, 1, 3);
    grid->setColumnStretch(1, 1);

    auto *box = new QDialogButtonBox(this);
    Button3 = box->addButton(u"OK"_s, QDialogButtonBox::AcceptRole);
    Button3->setObjectName(u"Button3"_s);
    Button3->setDefault(true);
    Button4 = box->addButton(u"Cancel"_s, QDialogButtonBox::RejectRole);
    Button4->setObjectName(u"Button4"_s);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addWidget(box);

    // Tab order as the rows read.
    setTabOrder(Edit1, Label27);
    setTabOrder(Label27, Edit2);
    setTabOrder(Edit2, Button2);
    setTabOrder(Button2, Label2);
    setTabOrder(Label2, Button3);
    setTabOrder(Button3, Button4);

    connect(Button2, &QPushButton::clicked, this, &TPluginFoldersFrm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TPluginFoldersFrm::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);
    connect(Label27, &QPushButton::clicked, this, &TPluginFoldersFrm::Label27Click);
    connect(Label2, &QPushButton::clicked, this, &TPluginFoldersFrm::Label2Click);
    FitSize();
}

void TPluginFoldersFrm::showEvent(QShowEvent *AEvent) {
    if (!FShown) {
        FShown = true;
        TranslateWindowCaptions(this, u"PluginFolders.Captions"_s);
        Edit1->setText(PluginCatalogue().GetPluginFolder());
        Edit2->setText(SystemIni().VSTFolder.join(u'\n').trimmed());
        FitSize();
        CentreOnMainWindow(this, FMainWindow);
    }
    QDialog::showEvent(AEvent);
}

void TPluginFoldersFrm::FitSize() {
    // 422 x 134 is the client area at 96 pixels per inch; longer captions
    // or larger fonts make it grow instead of cutting them.
    const QSize wanted = layout()->sizeHint().expandedTo(QSize(ScaleValue(422), ScaleValue(134)));
    setFixedSize(wanted);
}

void TPluginFoldersFrm::Button2Click() {
    QString folder = Edit2->text();
    if (SelectFolder(folder))
        Edit2->setText(folder);
}

void TPluginFoldersFrm::Button3Click() {
    const QString folder = StoredVSTFolder(Edit2->text());
    SystemIni().VSTFolder = folder.isEmpty() ? QStringList() : QStringList{folder};
    accept();
}

void TPluginFoldersFrm::Label27Click() {
    OpenFolder(PluginCatalogue().GetPluginFolder());
}

void TPluginFoldersFrm::Label2Click() {
    const QString text = Edit2->text().trimmed();
    if (text.isEmpty())
        return;
    // The stored form may come from a Windows installation ("\" separators).
    const QString folder = WithTrailingSeparator(StoredToNative(text));
    if (!QFileInfo(folder).isDir()) {
        if (MyMessageBox(u"Directory does not exist, create?"_s, u"Create directory"_s,
                         mbYesNo | mbIconQuestion) != mrYes)
            return;
        if (!CreateFolder(folder))
            return;
    }
    OpenFolder(folder);
}

bool TPluginFoldersFrm::CreateFolder(const QString &AFolder) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(NativeName(AFolder).toStdString()),
                                        error);
    if (!error)
        return true;
    const QString caption = u"Create directory"_s;
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
        error == std::errc::read_only_file_system) {
        const QString question =
            u"You have no rights to create the folder \"%1\". Create it with administrator "
            u"rights?"_s.arg(AFolder);
        if (error != std::errc::read_only_file_system &&
            MyMessageBox(question, caption, mbYesNo | mbIconWarning) == mrYes) {
            // pkexec asks for the password on its own; the folder appears
            // once it is done, so it is not opened now.
            if (!RunElevated(u"mkdir"_s, u"-p -- "_s + QuoteCommandArgument(AFolder)))
                MyMessageBox(u"The folder \"%1\" could not be created with administrator "
                             u"rights: pkexec could not be started."_s.arg(AFolder),
                             caption, mbIconError);
            return false;
        }
        if (error == std::errc::read_only_file_system)
            MyMessageBox(
                u"The folder \"%1\" cannot be created: the file system is read-only."_s.arg(
                    AFolder),
                caption, mbIconError);
        return false;
    }
    MyMessageBox(u"The folder \"%1\" could not be created: %2."_s.arg(
                     AFolder, QString::fromLocal8Bit(error.message())),
                 caption, mbIconError);
    return false;
}
