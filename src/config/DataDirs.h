#pragma once
// The two process-wide folders every file lives in: the program directory
// (what ships with the program: uid.ini, setup.ini, the language folders, the
// plug-in folder) and the data directory (everything the program writes).
//
// Both are native paths that end in "/". They are set once during start-up on
// the main thread and only read afterwards, so any thread may read them then.
//
// Configuration files shared with the station's other programs store folders
// in their Windows form ("\VoiceTracks\"); a "\" in such a stored path is a
// separator, and the native path is built from it here.

#include <QString>

// Where the per-installation data folders live. The per-user base is
// $XDG_CONFIG_HOME (or ~/.config), the all-users base /var/lib.
struct TBaseFolders {
    QString PerUser;
    QString AllUsers;
};

// The values start-up settles on.
struct TProcessDirs {
    QString ExeDir;
    QString UID;     // empty without uid.ini
    QString DataDir; // ExeDir when UID is empty
};

// --- Path helpers -----------------------------------------------------------

// APath with one "/" appended unless it already ends in one; "" stays "".
QString WithTrailingSeparator(const QString &APath);
// A stored (Windows-form) path with every "\" turned into "/".
QString StoredToNative(const QString &AStored);
// The folder that holds AProgramFile, ending in "/".
QString FolderOfProgram(const QString &AProgramFile);

// --- Inner layer: every input explicit --------------------------------------

// $XDG_CONFIG_HOME when it names an absolute folder, else AHome + "/.config".
QString PerUserBaseFolder(const QString &AXdgConfigHome, const QString &AHome);

// The per-installation folder below ABaseFolder: base + "/Kestrova/Vocarra_"
// + AUID + "/".
QString InstallationDataDir(const QString &ABaseFolder, const QString &AUID);

// Reads AExeDir + "uid.ini" and chooses the data directory: AExeDir when it
// names no UID (nothing is created then), else the installation folder below
// the all-users base when "Allusers" is exactly "A", below the per-user base
// for any other value. The chosen folder is created with its parents; a
// failure is not reported (later writes fail instead), nor is an unreadable
// uid.ini, which counts as missing.
TProcessDirs ResolveDataDir(const QString &AExeDir, const TBaseFolders &ABases);

// Expands a stored folder against ADataDir:
//   "\VoiceTracks\"   -> ADataDir + "VoiceTracks"  (below the data directory)
//   "\"               -> ""
//   "\\server\share\" -> "\\server\share"          (network path, left as text)
//   "D:\Tracks\"      -> "D:\Tracks"               (drive path, left as text)
//   "/srv/vt/"        -> "/srv/vt"                 (native absolute path)
// One trailing separator is removed in every case.
QString ExpandDataPath(const QString &APath, const QString &ADataDir);

// --- Outer layer: the process-wide values -----------------------------------

// The folder of this program file: the application's folder when a
// QCoreApplication exists, else the target of /proc/self/exe.
QString ProgramDir();
// The base folders of this user and machine, from the environment.
TBaseFolders SystemBaseFolders();

const QString &ExeDir();
const QString &UID();
const QString &DataDir();

// Sets the process-wide values. Start-up calls it once; tests use it to place
// the program and data directories in a temporary folder.
void SetProcessDirs(const TProcessDirs &ADirs);

// Sets UID and DataDir from the current ExeDir and the system base folders.
void ResolveDataDir();

// ExpandDataPath against the process-wide DataDir.
QString ExpandDataPath(const QString &APath);

// The starting folder for picking a voice track: the player configuration's
// voice-track folder (stored value, "\VoiceTracks\" by default) expanded.
QString VoiceTracksDir(const QString &AVoiceTracksFolder);
