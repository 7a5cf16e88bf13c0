#pragma once
// One file of the shared station configuration (player.ini, system.ini) in the
// data directory, protected by its ".bak" copy, and what this session knows
// of it: the properties as read or last saved, so that a save writes only
// what this session changed and keeps what another station program wrote
// meanwhile. Main thread only.

#include "config/StationText.h"

#include <QByteArray>
#include <QString>
#include <optional>

class TPersistent;

// DataDir() + AName.
QString StationFilePath(const QString &AName);

class TStationFile {
public:
    explicit TStationFile(QString AName) : FName(std::move(AName)) {}

    const QString &Name() const { return FName; }

    // A missing or empty file is first replaced by its ".bak" copy, then the
    // file is read into AObject when it exists. A file that cannot be read or
    // does not parse ends the reading silently: what was read before stays,
    // everything else keeps its current value, and the next save writes a
    // whole file again.
    void Read(TPersistent &AObject);

    // Writes what this session changed in AObject since the file was read or
    // last saved, and nothing when it changed nothing. The changed properties
    // go over the file's current text, so whatever another program changed
    // meanwhile stays; a file that is missing, does not parse or was never
    // read whole gets AObject whole. The file is replaced atomically and its
    // ".bak" copy refreshed. A failed write is shown as "Error saving file
    // (<name>): <error>." and leaves the file, the copy and what this session
    // counts as changed as they were.
    void Save(const TPersistent &AObject);

private:
    QString FName;
    // The properties as read (or as this session last saved them); none when
    // no whole file was read, and every save writes the object whole.
    std::optional<TTextProps> FSaved;
    // The file's bytes as read or as last written, and where.
    QByteArray FKnown;
    QString FPath;
};
