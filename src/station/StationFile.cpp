#include "station/StationFile.h"

#include "config/ComponentFile.h"
#include "config/ConfigErrors.h"
#include "config/DataDirs.h"
#include "core/MessageBox.h"

#include <QFileInfo>
#include <exception>

using namespace Qt::StringLiterals;

namespace {

void ReportSaveError(const QString &AName, const QString &AError) {
    MyMessageBox(u"Error saving file (%1): %2."_s.arg(AName, AError), u"Error"_s, mbIconError);
}

} // namespace

QString StationFilePath(const QString &AName) {
    return DataDir() + AName;
}

void ReadStationFile(TPersistent &AObject, const QString &AName) {
    const QString path = StationFilePath(AName);
    RestoreFromBackup(path, false);
    if (!QFileInfo::exists(path))
        return;
    try {
        ReadComponentFile(AObject, path);
    } catch (const EConfigError &) {
        // Nothing is shown: the program goes on with what was read before the
        // failure and the creation values of the rest, and the next save
        // writes a whole file again.
    }
}

void SaveStationFile(const TPersistent &AObject, const QString &AName) {
    const QString path = StationFilePath(AName);
    try {
        WriteComponentFile(AObject, path);
        // Only a file that was written whole becomes the new copy; a refused
        // copy is shown by MakeBackupCopy itself.
        MakeBackupCopy(path);
    } catch (const EConfigError &e) {
        ReportSaveError(AName, e.Message());
    } catch (const std::exception &e) {
        ReportSaveError(AName, QString::fromLocal8Bit(e.what()));
    }
}
