#include "config/DataDirs.h"

#include "config/ConfigErrors.h"
#include "config/IniFile.h"
#include "core/Utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// One folder name shared by the station family's programs, so that their data
// folders sit side by side.
const QString VendorFolder = u"Kestrova"_s;

TProcessDirs &ProcessDirs() {
    static TProcessDirs Dirs;
    return Dirs;
}

bool EndsInSeparator(const QString &APath) {
    return APath.endsWith(u'/') || APath.endsWith(u'\\');
}

} // namespace

QString WithTrailingSeparator(const QString &APath) {
    if (APath.isEmpty() || APath.endsWith(u'/'))
        return APath;
    return APath + u'/';
}

QString StoredToNative(const QString &AStored) {
    QString native = AStored;
    native.replace(u'\\', u'/');
    return native;
}

QString FolderOfProgram(const QString &AProgramFile) {
    return WithTrailingSeparator(QFileInfo(AProgramFile).absolutePath());
}

QString PerUserBaseFolder(const QString &AXdgConfigHome, const QString &AHome) {
    // A relative value would make the data folder depend on the working
    // directory, so it counts as unset, as the XDG rules demand.
    if (!AXdgConfigHome.isEmpty() && QDir::isAbsolutePath(AXdgConfigHome))
        return QDir::cleanPath(AXdgConfigHome);
    return QDir::cleanPath(AHome + u"/.config"_s);
}

QString InstallationDataDir(const QString &ABaseFolder, const QString &AUID) {
    // The UID becomes part of a single folder name: a separator in it must
    // not lead the data folder out of the base folder ("7/../../etc").
    return WithTrailingSeparator(QDir::cleanPath(ABaseFolder)) + VendorFolder + u"/Vocarra_"_s +
           SanitizeFileName(AUID) + u'/';
}

TProcessDirs ResolveDataDir(const QString &AExeDir, const TBaseFolders &ABases) {
    TProcessDirs dirs;
    dirs.ExeDir = AExeDir;
    QString allUsers;
    try {
        const TIniFile ini(AExeDir + u"uid.ini"_s);
        dirs.UID = ini.ReadString(u"Settings"_s, u"UID"_s, QString());
        allUsers = ini.ReadString(u"Settings"_s, u"Allusers"_s, QString());
    } catch (const EConfigError &) {
        // Start-up reports nothing of its own: an unreadable uid.ini leaves the
        // program directory as the data directory, like a missing one.
        dirs.UID.clear();
    }
    if (dirs.UID.isEmpty()) {
        dirs.DataDir = AExeDir;
        return dirs;
    }
    // Only the exact "A" means all users; "a" and anything else mean this user.
    const QString &base = allUsers == u"A"_s ? ABases.AllUsers : ABases.PerUser;
    dirs.DataDir = InstallationDataDir(base, dirs.UID);
    QDir().mkpath(dirs.DataDir);
    return dirs;
}

QString ExpandDataPath(const QString &APath, const QString &ADataDir) {
    QString result;
    // One leading "\" means "below the data directory"; two mean a network
    // path, which stays as text, as do drive paths ("D:\...") and paths that
    // are native already ("/srv/vt/"). Only the path built here from the data
    // directory is a local one whose separators are made native.
    if (APath.size() >= 2 && APath[0] == u'\\' && APath[1] != u'\\') {
        QString dataDir = ADataDir;
        if (EndsInSeparator(dataDir))
            dataDir.chop(1);
        result = dataDir + StoredToNative(APath);
    } else {
        result = APath;
    }
    // Callers want the folder itself, not its contents: "\" alone becomes "".
    if (EndsInSeparator(result))
        result.chop(1);
    return result;
}

QString ProgramDir() {
    if (QCoreApplication::instance() != nullptr)
        return WithTrailingSeparator(QCoreApplication::applicationDirPath());
    return FolderOfProgram(QFileInfo(u"/proc/self/exe"_s).canonicalFilePath());
}

TBaseFolders SystemBaseFolders() {
    return {PerUserBaseFolder(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath()),
            u"/var/lib"_s};
}

const QString &ExeDir() {
    return ProcessDirs().ExeDir;
}

const QString &UID() {
    return ProcessDirs().UID;
}

const QString &DataDir() {
    return ProcessDirs().DataDir;
}

void SetProcessDirs(const TProcessDirs &ADirs) {
    ProcessDirs() = ADirs;
}

void ResolveDataDir() {
    SetProcessDirs(ResolveDataDir(ExeDir(), SystemBaseFolders()));
}

QString ExpandDataPath(const QString &APath) {
    return ExpandDataPath(APath, DataDir());
}

QString VoiceTracksDir(const QString &AVoiceTracksFolder) {
    return ExpandDataPath(AVoiceTracksFolder);
}
