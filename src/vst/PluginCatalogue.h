#pragma once
// The plug-ins this machine offers and the catalogue the "add" dialog shows:
// the three built-in effects, the Winamp DSP plug-ins found in the plug-in
// folder and the VST effects found in the VST folder.
//
// VST plug-in files are never loaded into this process while they are
// listed: each is probed by the scanning helper (VstProbeRunner.h), several
// at once, and what the probes learn is cached in the data directory
// (VstScanCache.h), so that a start with an unchanged folder loads none. A
// plug-in that crashes, hangs or answers garbage is reported and the scan
// goes on; a library without an effect is left out silently.
//
// Winamp DSP plug-ins are Windows libraries with no host on this system:
// they are listed, so that a chain stored by a Windows installation keeps its
// entries, but cannot be loaded (handle 0).
//
// Stored folders keep the Windows form of the station's other programs ("\"
// is a separator); native paths are built from them here.
//
// Threads: main thread only (the probes run on threads of their own inside
// LoadVSTPlugins, which returns when they are done).

#include "chain/PluginHost.h"
#include "dsp/DSPItems.h"
#include "vst/VstProbeRunner.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class TSystemIniBase;

// The stored VST folder: the lines of VSTFolder joined by line breaks,
// surrounding white space removed, a trailing "\" added when it ends in no
// separator. Empty when nothing is stored.
QString VSTFolderText(const TSystemIniBase &ASettings);
// The same folder as a native path ending in "/"; empty when none is stored.
QString NativeVSTFolder(const TSystemIniBase &ASettings);

// Appends to AList the names (without folder) of the files, not folders, in
// the native folder AFolder whose names match AMask ("*" and "?", case
// ignored as the family's Windows programs match), sorted by name.
void ListFiles(const QString &AFolder, const QString &AMask, QStringList &AList);

// The native paths of the "*.so" files in AFolder and every folder below it
// (links to folders are not followed, so a loop cannot trap the scan),
// sorted by path. False when AFolder does not exist or cannot be read.
bool ListVSTFiles(const QString &AFolder, std::vector<QString> &AFiles);

// Whether AProgram exists as a file this process may execute.
bool ScannerUsable(const QString &AProgram);
// The scanning helper beside this program: ProgramDir() + "vocarra-vstscan".
QString DefaultScannerProgram();

class TPluginCatalogue {
public:
    // Stores the start-up values (ASettings not owned; it outlives the
    // catalogue's use). Scans nothing. AScanner: the vocarra-vstscan program.
    void InitPlugins(const TSystemIniBase *ASettings, const QString &ADataDir,
                     const QString &APluginFolder, const QString &AScanner);

    // The folder searched for Winamp DSP plug-ins.
    QString GetPluginFolder() const { return FPluginFolder; }
    // Data directory + "Presets/Equalizer/" and + "Presets/Compressor/".
    QString GetEqPresetFolder() const;
    QString GetCompressorPresetFolder() const;
    QString DataDir() const { return FDataDir; }
    QString ScannerProgram() const { return FScanner; }

    // Bring each list in line with the setting that allows its kind: built
    // when allowed and absent, discarded when not allowed, left alone
    // otherwise (no rescan while a list exists).
    void LoadVSTPlugins();
    void LoadWinampPlugins();
    // Forgets the VST list, so the next LoadVSTPlugins scans again (the VST
    // folder changed).
    void DiscardVSTPlugins();

    // Every processor the user may add: the built-ins, then the Winamp
    // plug-ins, then the VST plug-ins. Builds the lists first (VST first, so
    // its messages come first).
    std::unique_ptr<TDSPItemsC> BuildAvailableDSPList();

    // The lists; nothing while absent.
    const std::optional<std::vector<TPluginItem>> &VSTPlugins() const { return FVSTPlugins; }
    const std::optional<std::vector<TPluginItem>> &WinampPlugins() const { return FWinampPlugins; }
    // What the probe of the listed VST plug-in APath told; nullptr for a
    // path not in the list.
    const TVstProbeInfo *VSTInfo(const QString &APath) const;

    // Probes run by the last scan (cache hits are not probes).
    int LastProbeCount() const { return FLastProbeCount; }
    // Whether the last build of the VST list stopped at "VST bridge load
    // error": the scanning helper could not run.
    bool VSTBridgeFailed() const { return FBridgeFailed; }

    // Tests shorten the time limit; 0 probes as many files at once as the
    // machine has cores.
    std::chrono::milliseconds ProbeTimeLimit = VstProbeTimeLimit;
    unsigned ProbeParallel = 0;

private:
    void ScanVSTFolder(const QString &AFolder);

    const TSystemIniBase *FSettings = nullptr;
    QString FDataDir;
    QString FPluginFolder;
    QString FScanner;
    std::optional<std::vector<TPluginItem>> FVSTPlugins;
    std::optional<std::vector<TPluginItem>> FWinampPlugins;
    std::map<QString, TVstProbeInfo> FVSTInfo;
    int FLastProbeCount = 0;
    bool FBridgeFailed = false;
};

// The process-wide catalogue.
TPluginCatalogue &PluginCatalogue();

// The messages of the scan, as shown.
QString VSTLoadErrorText(const QString &AFileName, const QString &AReason);
QString VSTFolderMissingText(const QString &AFolder);
