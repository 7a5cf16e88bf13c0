#include "vst/PluginCatalogue.h"

#include "chain/DSPManager.h"
#include "config/DataDirs.h"
#include "core/MessageBox.h"
#include "core/NativeNames.h"
#include "station/SystemIni.h"
#include "vst/VstScanCache.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString ErrorCaption = u"Error"_s;
// What a Winamp DSP plug-in is called where it cannot be loaded.
const QString WinampUnavailableName = u"(not available on this system)"_s;

bool IsSeparator(QChar AChar) {
    return AChar == u'\\' || AChar == u'/';
}

QString FileNameOf(const QString &APath) {
    return APath.mid(APath.lastIndexOf(u'/') + 1);
}

bool EndsWithSo(const QByteArray &AName) {
    return AName.size() > 3 && AName.endsWith(".so");
}

// Walks ADir (native bytes, ending in "/") depth first; false when the top
// folder cannot be opened.
bool Walk(const QByteArray &ADir, std::vector<QString> &AFiles, bool ATop) {
    DIR *dir = ::opendir(ADir.constData());
    if (dir == nullptr)
        return !ATop;
    std::vector<QByteArray> folders;
    // readdir is safe on a stream no other thread reads.
    while (const dirent *entry = ::readdir(dir)) { // NOLINT(concurrency-mt-unsafe)
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = ADir + name;
        struct stat info {};
        // lstat first: a link to a folder is not entered, a link to a file
        // is listed by its own path.
        if (::lstat(path.constData(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            folders.push_back(path + '/');
            continue;
        }
        if (S_ISLNK(info.st_mode) &&
            (::stat(path.constData(), &info) != 0 || S_ISDIR(info.st_mode)))
            continue;
        if (S_ISREG(info.st_mode) && EndsWithSo(name))
            AFiles.push_back(NameFromNative(path));
    }
    ::closedir(dir);
    for (const QByteArray &folder : folders)
        Walk(folder, AFiles, false);
    return true;
}

TVstCacheEntry EntryOf(const TVstFileStamp &AStamp, const TVstProbeOutcome &AOutcome) {
    TVstCacheEntry entry;
    entry.Stamp = AStamp;
    switch (AOutcome.Kind) {
    case vpDescribed:
        entry.Kind = vcDescribed;
        entry.Info = AOutcome.Info;
        break;
    case vpLeftOut:
        entry.Kind = vcLeftOut;
        break;
    default:
        entry.Kind = vcFailed;
        entry.Reason = AOutcome.Reason;
        break;
    }
    return entry;
}

} // namespace

QString VSTFolderText(const TSystemIniBase &ASettings) {
    QString text = ASettings.VSTFolder.join(u'\n').trimmed();
    if (!text.isEmpty() && !IsSeparator(text.back()))
        text += u'\\';
    return text;
}

QString NativeVSTFolder(const TSystemIniBase &ASettings) {
    return WithTrailingSeparator(StoredToNative(VSTFolderText(ASettings)));
}

void ListFiles(const QString &AFolder, const QString &AMask, QStringList &AList) {
    const QByteArray folder = NativeName(WithTrailingSeparator(StoredToNative(AFolder)));
    const QByteArray mask = NativeName(AMask);
    DIR *dir = ::opendir(folder.constData());
    if (dir == nullptr)
        return;
    QStringList found;
    // readdir is safe on a stream no other thread reads.
    while (const dirent *entry = ::readdir(dir)) { // NOLINT(concurrency-mt-unsafe)
        if (::fnmatch(mask.constData(), entry->d_name, FNM_CASEFOLD | FNM_PERIOD) != 0)
            continue;
        struct stat info {};
        if (::stat((folder + entry->d_name).constData(), &info) != 0 || S_ISDIR(info.st_mode))
            continue;
        found << NameFromNative(entry->d_name);
    }
    ::closedir(dir);
    found.sort();
    AList << found;
}

bool ListVSTFiles(const QString &AFolder, std::vector<QString> &AFiles) {
    if (AFolder.isEmpty())
        return false;
    std::vector<QString> files;
    if (!Walk(NativeName(WithTrailingSeparator(AFolder)), files, true))
        return false;
    std::sort(files.begin(), files.end());
    AFiles.insert(AFiles.end(), files.begin(), files.end());
    return true;
}

bool ScannerUsable(const QString &AProgram) {
    if (AProgram.isEmpty())
        return false;
    const QByteArray path = NativeName(AProgram);
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.constData(), X_OK) == 0;
}

QString DefaultScannerProgram() {
    return WithTrailingSeparator(ProgramDir()) + u"vocarra-vstscan"_s;
}

QString VSTLoadErrorText(const QString &AFileName, const QString &AReason) {
    // The handle is always 0: nothing of the plug-in lives in this process.
    return u"Error loading VST plugin (%1): %2 h=%3"_s.arg(AFileName, AReason, QString::number(0));
}

QString VSTFolderMissingText(const QString &AFolder) {
    return u"The VST folder \"%1\" does not exist or cannot be read; no VST plug-ins are listed."_s
        .arg(AFolder);
}

void TPluginCatalogue::InitPlugins(const TSystemIniBase *ASettings, const QString &ADataDir,
                                   const QString &APluginFolder, const QString &AScanner) {
    FSettings = ASettings;
    FDataDir = WithTrailingSeparator(ADataDir);
    FPluginFolder = WithTrailingSeparator(APluginFolder);
    FScanner = AScanner;
}

QString TPluginCatalogue::GetEqPresetFolder() const {
    return FDataDir + StoredToNative(u"Presets\\Equalizer\\"_s);
}

QString TPluginCatalogue::GetCompressorPresetFolder() const {
    return FDataDir + StoredToNative(u"Presets\\Compressor\\"_s);
}

const TVstProbeInfo *TPluginCatalogue::VSTInfo(const QString &APath) const {
    const auto found = FVSTInfo.find(APath);
    return found != FVSTInfo.end() ? &found->second : nullptr;
}

void TPluginCatalogue::DiscardVSTPlugins() {
    FBridgeFailed = false;
    FVSTPlugins.reset();
    FVSTInfo.clear();
}

void TPluginCatalogue::LoadVSTPlugins() {
    if (FSettings == nullptr)
        return;
    const QString folder = NativeVSTFolder(*FSettings);
    if (!FSettings->AllowVstPlugins) {
        for (TDSPManager *manager : DSPManagers())
            manager->StopVST();
        DiscardVSTPlugins();
        return;
    }
    if (FVSTPlugins)
        return;
    // The empty list stays when the scan cannot run, so a failed start is
    // not retried until the list is discarded.
    FVSTPlugins.emplace();
    FLastProbeCount = 0;
    FBridgeFailed = !PluginHost().LoadVSTBridge() || !ScannerUsable(FScanner);
    if (FBridgeFailed) {
        MyMessageBox(u"VST bridge load error"_s, ErrorCaption, mbIconError);
        return;
    }
    ScanVSTFolder(folder);
}

void TPluginCatalogue::ScanVSTFolder(const QString &AFolder) {
    std::vector<QString> files;
    if (!ListVSTFiles(AFolder, files)) {
        MyMessageBox(VSTFolderMissingText(AFolder.isEmpty() ? VSTFolderText(*FSettings) : AFolder),
                     u"VST"_s, mbIconWarning);
        return;
    }
    TVstScanCache cache(FDataDir + TVstScanCache::FileName, VstFileStamp(FScanner));
    cache.Load();

    // Each file: its stamp, and what is known of it (from the cache, or
    // from the probe it gets below).
    struct TFile {
        QString Path;
        std::optional<TVstFileStamp> Stamp;
        TVstProbeOutcome Outcome;
    };
    std::vector<TFile> known;
    known.reserve(files.size());
    std::vector<QString> toProbe;
    std::vector<size_t> probeSlots;
    for (const QString &path : files) {
        TFile file{path, VstFileStamp(path), {}};
        const TVstCacheEntry *entry = file.Stamp ? cache.Find(path, *file.Stamp) : nullptr;
        if (entry != nullptr) {
            file.Outcome.Kind = entry->Kind == vcDescribed ? vpDescribed
                                : entry->Kind == vcLeftOut ? vpLeftOut
                                                           : vpFailed;
            file.Outcome.Info = entry->Info;
            file.Outcome.Reason = entry->Reason;
        } else {
            probeSlots.push_back(known.size());
            toProbe.push_back(path);
        }
        known.push_back(std::move(file));
    }

    const std::vector<TVstProbeOutcome> outcomes =
        ProbeVstFiles(FScanner, toProbe, ProbeTimeLimit, ProbeParallel);
    FLastProbeCount = static_cast<int>(toProbe.size());
    for (size_t i = 0; i < outcomes.size(); ++i) {
        TFile &file = known[probeSlots[i]];
        file.Outcome = outcomes[i];
        // A time-out is no verdict (the machine may just have been busy), nor
        // is a helper that could not run; both are probed again next time.
        if (file.Stamp && file.Outcome.Kind != vpHelperFault && !file.Outcome.TimedOut)
            cache.Put(file.Path, EntryOf(*file.Stamp, file.Outcome));
    }
    cache.DropMissing();
    cache.Save();

    for (const TFile &file : known) {
        const QString name = FileNameOf(file.Path);
        switch (file.Outcome.Kind) {
        case vpDescribed: {
            const TVstProbeInfo &info = file.Outcome.Info;
            TPluginItem item;
            item.DisplayName = u"(VST) %1 %2 [%3]"_s.arg(info.Vendor, info.Effect, name);
            item.Path = file.Path;
            item.T = ptVST;
            item.H = 0;
            FVSTPlugins->push_back(item);
            FVSTInfo[file.Path] = info;
            break;
        }
        case vpLeftOut:
            break;
        case vpFailed:
        case vpHelperFault:
            MyMessageBox(VSTLoadErrorText(name, file.Outcome.Reason), ErrorCaption, mbIconError);
            break;
        }
    }
}

void TPluginCatalogue::LoadWinampPlugins() {
    if (FSettings == nullptr)
        return;
    if (!FSettings->AllowWinampPlugins) {
        FWinampPlugins.reset();
        return;
    }
    if (FWinampPlugins)
        return;
    FWinampPlugins.emplace();
    QStringList names;
    ListFiles(FPluginFolder, u"dsp_*.dll"_s, names);
    for (const QString &name : names) {
        TPluginItem item;
        item.DisplayName = u"(DSP) %1 [%2]"_s.arg(WinampUnavailableName, name);
        item.Path = name;
        item.T = ptDSP;
        item.H = 0;
        FWinampPlugins->push_back(item);
    }
}

std::unique_ptr<TDSPItemsC> TPluginCatalogue::BuildAvailableDSPList() {
    auto list = std::make_unique<TDSPItemsC>();
    const struct {
        QString Name;
        TIntDSPKind Kind;
    } builtIns[] = {
        {u"Equalizer"_s, dspEqualizer}, {u"Compressor"_s, dspCompressor}, {u"Gain"_s, dspGain}};
    for (const auto &builtIn : builtIns) {
        TDSPItemC &item = list->Add();
        item.DispName = builtIn.Name;
        item.IntDSPKind = builtIn.Kind;
        item.T = dspIntegrated;
    }
    LoadVSTPlugins();
    LoadWinampPlugins();
    for (const auto *plugins : {&FWinampPlugins, &FVSTPlugins}) {
        if (!*plugins)
            continue;
        for (const TPluginItem &plugin : **plugins) {
            TDSPItemC &item = list->Add();
            item.T = dspPlugin;
            item.DispName = plugin.DisplayName;
            item.PluginType = plugin.T;
            item.PluginPath = plugin.Path;
            item.H = plugin.H;
        }
    }
    return list;
}

TPluginCatalogue &PluginCatalogue() {
    static TPluginCatalogue Catalogue;
    return Catalogue;
}
