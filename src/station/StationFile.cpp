#include "station/StationFile.h"

#include "config/AtomicFile.h"
#include "config/ComponentFile.h"
#include "config/ComponentText.h"
#include "config/ConfigErrors.h"
#include "config/DataDirs.h"
#include "config/Persistent.h"
#include "config/TextCodec.h"
#include "core/MessageBox.h"

#include <QFileInfo>
#include <exception>

using namespace Qt::StringLiterals;

namespace {

void ReportSaveError(const QString &AName, const QString &AError) {
    MyMessageBox(u"Error saving file (%1): %2."_s.arg(AName, AError), u"Error"_s, mbIconError);
}

// The file's current bytes; none when it is missing or cannot be read, which
// leaves nothing to merge with.
std::optional<QByteArray> CurrentBytes(const QString &APath) {
    if (!QFileInfo(APath).isFile())
        return std::nullopt;
    try {
        return ReadWholeFile(APath);
    } catch (const EConfigError &) {
        return std::nullopt;
    }
}

} // namespace

QString StationFilePath(const QString &AName) {
    return DataDir() + AName;
}

void TStationFile::Read(TPersistent &AObject) {
    const QString path = StationFilePath(FName);
    FSaved.reset();
    FKnown.clear();
    FPath = path;
    RestoreFromBackup(path, false);
    if (!QFileInfo::exists(path))
        return;
    try {
        QByteArray bytes = ReadWholeFile(path);
        TextToComponent(DecodeText(bytes).Text, AObject);
        FSaved = ParseTextProps(bytes);
        FKnown = std::move(bytes);
    } catch (const EConfigError &) {
        // Nothing is shown: the program goes on with what was read before the
        // failure and the creation values of the rest.
    }
}

void TStationFile::Save(const TPersistent &AObject) {
    const QString path = StationFilePath(FName);
    try {
        const QByteArray whole = ComponentToText(AObject);
        std::optional<TTextProps> ours = ParseTextProps(whole);
        QByteArray text = whole;
        // What was read from another folder says nothing about this file.
        if (FSaved && ours && FPath == path) {
            const QStringList changed = ChangedProps(*FSaved, *ours);
            const std::optional<QByteArray> current = CurrentBytes(path);
            if (changed.isEmpty()) {
                // The file stays untouched; its copy is refreshed only from a
                // file known to be whole.
                if (current && *current == FKnown)
                    MakeBackupCopy(path);
                return;
            }
            if (current) {
                if (std::optional<TTextProps> theirs = ParseTextProps(*current))
                    text = TextOfProps(AObject.ClassName(),
                                       MergeProps(std::move(*theirs), *ours, changed));
            }
        }
        WriteFileAtomically(path, text);
        // Only what this session holds counts as saved: a property another
        // program changed stays its, until this session changes it too.
        FSaved = std::move(ours);
        FKnown = std::move(text);
        FPath = path;
        // Only a file that was written whole becomes the new copy; a refused
        // copy is shown by MakeBackupCopy itself.
        MakeBackupCopy(path);
    } catch (const EConfigError &e) {
        ReportSaveError(FName, e.Message());
    } catch (const std::exception &e) {
        ReportSaveError(FName, QString::fromLocal8Bit(e.what()));
    }
}
