#include "chain/DSPManager.h"

#include "chain/PluginHost.h"
#include "config/FloatText.h"
#include "core/MessageBox.h"
#include "station/SystemIni.h"

#include <algorithm>
#include <exception>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

std::mutex RegistryLock;
std::vector<TDSPManager *> Registry;

bool IsWinamp(const TDSPItemC &AItem) {
    return AItem.T == dspPlugin && AItem.PluginType == ptDSP;
}

bool IsVST(const TDSPItemC &AItem) {
    return AItem.T == dspPlugin && AItem.PluginType == ptVST;
}

QString FileNameOf(const QString &APath) {
    const qsizetype cut = std::max(APath.lastIndexOf(u'/'), APath.lastIndexOf(u'\\'));
    return APath.mid(cut + 1);
}

void ShowStartError(const QString &APath, const QString &AError) {
    MyMessageBox(u"Unable to start VST plugin (%1): %2"_s.arg(APath, AError), QString(),
                 mbIconError);
}

} // namespace

// --- Registry ------------------------------------------------------------------

TDSPManager::TDSPManager(const QString &AName, const TSystemIniBase &ASettings)
    : Name(AName), FSettings(ASettings) {
    std::lock_guard guard(RegistryLock);
    Registry.push_back(this);
}

TDSPManager::~TDSPManager() {
    std::lock_guard guard(RegistryLock);
    std::erase(Registry, this);
}

std::vector<TDSPManager *> DSPManagers() {
    std::lock_guard guard(RegistryLock);
    return Registry;
}

TIntegratedDSP *FindIntDsp(const TDSPItemC &AItem) {
    for (const TDSPManager *manager : DSPManagers())
        if (TIntegratedDSP *effect = manager->IntDsp(AItem))
            return effect;
    return nullptr;
}

// --- Starting and stopping -------------------------------------------------------

TDSPItemC *TDSPManager::Entry(int AIndex) const {
    if (DSPList == nullptr || AIndex < 0 || AIndex >= DSPList->Count())
        return nullptr;
    return &DSPList->Items(AIndex);
}

TIntegratedDSP *TDSPManager::IntDsp(const TDSPItemC &AItem) const {
    const auto found = FRunning.find(&AItem);
    return found != FRunning.end() ? found->second.IntDsp.get() : nullptr;
}

void TDSPManager::ForgetRemovedEntries() {
    // Compares addresses only: a removed entry's memory is gone.
    std::erase_if(FRunning, [this](const auto &APair) {
        if (DSPList != nullptr)
            for (int i = 0; i < DSPList->Count(); ++i)
                if (&DSPList->Items(i) == APair.first)
                    return false;
        return true;
    });
}

void TDSPManager::StartDSP(int AIndex) {
    ForgetRemovedEntries();
    TDSPItemC *item = Entry(AIndex);
    if (item == nullptr)
        return;
    if (IsWinamp(*item)) {
        TPluginHost &host = PluginHost();
        host.BASS_WADSP_Start(item->H, 0, 0);
        item->State = psActive;
        host.BASS_WADSP_ChannelSetDSP(item->H, WorkChannel, DSPPriority);
    } else if (IsVST(*item)) {
        StartVST(*item);
    } else if (item->T == dspIntegrated) {
        StartIntegrated(*item);
    }
    Changed();
}

void TDSPManager::StartVST(TDSPItemC &AItem) {
    TPluginHost &host = PluginHost();
    if (!host.VSTBridgeLoaded())
        return;
    try {
        AItem.H = host.BASS_VST_ChannelSetDSP(WorkChannel, AItem.PluginPath, BASS_VST_UNICODE,
                                              DSPPriority);
    } catch (const std::exception &e) {
        ShowStartError(AItem.PluginPath, QString::fromLocal8Bit(e.what()));
        return;
    } catch (...) {
        ShowStartError(AItem.PluginPath, u"Unknown error"_s);
        return;
    }
    if (AItem.H == 0)
        return;
    AItem.State = psActive;
    FRunning[&AItem].VSTAttached = true;
    BASS_VST_INFO info;
    host.BASS_VST_GetInfo(AItem.H, &info);
    if (!OnVSTSkipList(AItem.PluginPath, FSettings.VSTSkipSettings))
        LoadVSTParams(AItem);
}

void TDSPManager::StartIntegrated(TDSPItemC &AItem) {
    AItem.State = psActive;
    const TIntegratedDSPClass construct = IntegratedDSPClass(AItem.IntDSPKind);
    if (construct == nullptr)
        return;
    // A second start replaces the running object; the old one detaches
    // itself as it goes.
    std::unique_ptr<TIntegratedDSP> &slot = FRunning[&AItem].IntDsp;
    slot = construct(AItem, WorkChannel, FSettings);
    slot->SetDSP(AItem.State == psActive);
    slot->UpdateDSP();
}

void TDSPManager::StopDSP(int AIndex) {
    ForgetRemovedEntries();
    TDSPItemC *item = Entry(AIndex);
    if (item == nullptr)
        return;
    const auto running = FRunning.find(item);
    if (IsWinamp(*item)) {
        if (item->H != 0) {
            TPluginHost &host = PluginHost();
            host.BASS_WADSP_ChannelRemoveDSP(item->H);
            host.BASS_WADSP_Stop(item->H);
        }
    } else if (IsVST(*item)) {
        TPluginHost &host = PluginHost();
        // H outlives the effect it named; only an effect attached here is
        // asked for its values, as a detached one would answer with none
        // and wipe the entry's stored settings.
        const bool attached = running != FRunning.end() && running->second.VSTAttached;
        if (host.VSTBridgeLoaded() && item->H != 0 && attached) {
            SaveVSTParams(*item);
            host.BASS_VST_ChannelRemoveDSP(WorkChannel, item->H);
            host.FreeVSTWindow(*item);
            running->second.VSTAttached = false;
        }
    } else if (running != FRunning.end() && running->second.IntDsp) {
        running->second.IntDsp->SetDSP(false);
        running->second.IntDsp.reset();
    }
    if (running != FRunning.end() && !running->second.VSTAttached && !running->second.IntDsp)
        FRunning.erase(running);
    Changed();
}

void TDSPManager::StartAllDSPs() {
    if (DSPList == nullptr)
        return;
    const TSystemIniBase &settings = FSettings;
    TPluginHost &host = PluginHost();
    if (settings.AllowWinampPlugins) {
        host.LoadWinampPlugins();
        // Two entries of the same plug-in file share its one loaded instance.
        for (const TPluginItem &plugin : host.WinampPlugins()) {
            for (int i = 0; i < DSPList->Count(); ++i) {
                TDSPItemC &item = DSPList->Items(i);
                if (IsWinamp(item) &&
                    plugin.Path.compare(item.PluginPath, Qt::CaseInsensitive) == 0)
                    item.H = plugin.H;
            }
        }
    }
    if (settings.AllowVstPlugins)
        host.LoadVSTBridge();
    for (int i = 0; i < DSPList->Count(); ++i)
        StopDSP(i);
    for (int i = 0; i < DSPList->Count(); ++i)
        if (DSPList->Items(i).State == psActive)
            StartDSP(i);
}

void TDSPManager::StopVST() {
    if (DSPList == nullptr)
        return;
    for (int i = 0; i < DSPList->Count(); ++i)
        if (IsVST(DSPList->Items(i)))
            StopDSP(i);
}

void TDSPManager::Changed() {
    if (OnChange)
        OnChange(this);
}

// --- VST parameters ---------------------------------------------------------------

bool OnVSTSkipList(const QString &APluginPath, const QString &ASkipSettings) {
    const QString fileName = FileNameOf(APluginPath);
    const QStringList names = ASkipSettings.split(u';', Qt::SkipEmptyParts);
    return std::any_of(names.begin(), names.end(), [&](const QString &AName) {
        return AName.compare(fileName, Qt::CaseInsensitive) == 0;
    });
}

void LoadVSTParams(TDSPItemC &AItem) {
    if (!IsVST(AItem) || AItem.H == 0 || AItem.State != psActive)
        return;
    TPluginHost &host = PluginHost();
    if (host.BASS_VST_GetParamCount(AItem.H) != AItem.Params.size())
        return;
    for (qint32 i = 0; i < AItem.Params.size(); ++i)
        host.BASS_VST_SetParam(AItem.H, i, ParamFloat(AItem.Params.at(i)));
}

void SaveVSTParams(TDSPItemC &AItem) {
    TPluginHost &host = PluginHost();
    if (!host.VSTBridgeLoaded() || !IsVST(AItem) || AItem.H == 0 || AItem.State != psActive)
        return;
    AItem.Params.clear();
    const qint32 count = host.BASS_VST_GetParamCount(AItem.H);
    for (qint32 i = 0; i < count; ++i)
        AItem.Params.append(FormatFloatGeneral(host.BASS_VST_GetParam(AItem.H, i), 15));
}
