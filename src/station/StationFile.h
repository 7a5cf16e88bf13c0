#pragma once
// Reading and saving one file of the shared station configuration (player.ini,
// system.ini) in the data directory, protected by its ".bak" copy. Main
// thread only.

#include <QString>

class TPersistent;

// DataDir() + AName.
QString StationFilePath(const QString &AName);

// A missing or empty file is first replaced by its ".bak" copy, then the file
// is read into AObject when it exists. A file that cannot be read or does not
// parse ends the reading silently: what was read before stays, everything else
// keeps its current value.
void ReadStationFile(TPersistent &AObject, const QString &AName);

// Writes AObject to its file, replacing it atomically, and refreshes the
// ".bak" copy from it. A failed write is shown as "Error saving file (<AName>):
// <error>." and leaves both the previous file and the previous copy whole.
void SaveStationFile(const TPersistent &AObject, const QString &AName);
