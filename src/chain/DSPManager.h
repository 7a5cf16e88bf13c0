#pragma once
// The chain engine: attaches the entries of one chain to one audio channel in
// list order and detaches them again. Built-in entries get an effect object
// (IntegratedDSP.h); plug-in entries go through the installed plug-in host
// (PluginHost.h). Every live manager is listed in a process-wide registry, so
// the plug-in host can stop the VST entries of every chain.
//
// Threads: main thread only. The only code of a chain that runs elsewhere is
// the gain stage's sample callback.

#include "chain/IntegratedDSP.h"
#include "dsp/DSPItems.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class TDSPManager {
public:
    // Registers the manager. ASettings (not owned, outlives the manager) say
    // which plug-ins may run, which start with their defaults, and the
    // equaliser's band layout. The owner then sets DSPList and, in a host
    // that processes audio, WorkChannel.
    TDSPManager(const QString &AName, const TSystemIniBase &ASettings);
    // Unregisters. The entries are not stopped and the list is not freed, but
    // effect objects still attached are detached before they go.
    ~TDSPManager();
    TDSPManager(const TDSPManager &) = delete;
    TDSPManager &operator=(const TDSPManager &) = delete;

    QString Name;
    TDSPItemsC *DSPList = nullptr; // not owned
    HSTREAM WorkChannel = 0;       // 0: entries attach to nothing
    // Fired after every start or stop of an entry.
    std::function<void(TDSPManager *ASender)> OnChange;

    // Start or stop entry AIndex of DSPList; both end by calling Changed. An
    // index outside the list does nothing. StopDSP never changes State:
    // switching an entry off means State = psOff first, then StopDSP.
    void StartDSP(int AIndex);
    void StopDSP(int AIndex);
    // Rebinds the Winamp plug-in handles, loads the VST host library when VST
    // plug-ins are allowed, stops every entry first to last, then starts the
    // active ones first to last.
    void StartAllDSPs();
    // Stops every VST entry, keeping its State, so it starts again with the
    // next StartAllDSPs.
    void StopVST();
    void Changed();

    // The effect object of a running built-in entry of this chain, or
    // nullptr. Stop an entry before deleting it from the chain.
    TIntegratedDSP *IntDsp(const TDSPItemC &AItem) const;

private:
    // What this manager has attached for an entry.
    struct TRunning {
        std::unique_ptr<TIntegratedDSP> IntDsp;
        bool VSTAttached = false;
    };

    TDSPItemC *Entry(int AIndex) const;
    void StartVST(TDSPItemC &AItem);
    void StartIntegrated(TDSPItemC &AItem);
    // Drops what is held for entries no longer in the chain.
    void ForgetRemovedEntries();

    const TSystemIniBase &FSettings;
    std::map<const TDSPItemC *, TRunning> FRunning;
};

// The live managers in the order of their creation.
std::vector<TDSPManager *> DSPManagers();

// The effect object of AItem in whichever live manager runs it, or nullptr.
// The editors use it to apply a change of Params at once.
TIntegratedDSP *FindIntDsp(const TDSPItemC &AItem);

// Whether the file name of APluginPath (the part after the last folder
// separator) equals, ignoring case, one of the ";"-separated names of
// ASkipSettings. Listed plug-ins start with their own defaults.
bool OnVSTSkipList(const QString &APluginPath, const QString &ASkipSettings);

// Applies AItem's Params to its running VST effect, one value per parameter,
// but only when the counts agree (otherwise the plug-in keeps its defaults).
// Acts only for an active VST entry with a handle.
void LoadVSTParams(TDSPItemC &AItem);
// Captures the running VST effect's parameter values into AItem's Params.
// Acts only for an active VST entry with a handle while the VST host library
// is loaded.
void SaveVSTParams(TDSPItemC &AItem);
