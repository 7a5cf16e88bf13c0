// VST entries of the chain engine through a scripted plug-in host: attaching,
// the stored parameter values going in and out, the skip list, and a plug-in
// that faults while being attached.

#include "DSPManagerTestSupport.h"
#include "chain/DSPManager.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class VSTEntries : public TChainFixture {
protected:
    void SetUp() override {
        TChainFixture::SetUp();
        Manager.DSPList = &Chain;
        Host.BridgeLoaded = true;
        Host.NewEffectParams = {0.5f, 0.25f, 0.1f};
    }

    QStringList SetParamCalls() const { return Host.Log.filter(u"VST_SetParam"_s); }

    TDSPManager Manager{u"Mic"_s, Settings};
};

TEST_F(VSTEntries, StartAttachesAtPriority49AndAppliesTheStoredValues) {
    TDSPItemC &item = AddVST(u"C:\\VST\\Reverb.dll"_s, psOff, {u"1"_s, u"0.75"_s, u"x"_s});
    Manager.WorkChannel = 33;
    Manager.StartDSP(0);

    EXPECT_EQ(item.H, 100u);
    EXPECT_EQ(item.State, psActive);
    EXPECT_EQ(Host.Log,
              (QStringList{
                  u"VST_ChannelSetDSP 33 C:\\VST\\Reverb.dll 80000000 49"_s, u"VST_GetInfo 100"_s,
                  u"VST_SetParam 100 0 1"_s, u"VST_SetParam 100 1 0.75"_s,
                  u"VST_SetParam 100 2 0"_s, // unreadable text counts as 0
              }));
}

TEST_F(VSTEntries, AParamCountThatDoesNotMatchLeavesThePluginDefaults) {
    for (const QStringList &params : {QStringList{}, QStringList{u"1"_s, u"1"_s},
                                      QStringList{u"1"_s, u"1"_s, u"1"_s, u"1"_s}}) {
        SCOPED_TRACE(params.size());
        Chain.Clear();
        Host.Log.clear();
        TDSPItemC &item = AddVST(u"C:\\VST\\Reverb.dll"_s, psOff, params);
        Manager.StartDSP(0);
        EXPECT_NE(item.H, 0u);
        EXPECT_EQ(item.State, psActive);
        EXPECT_TRUE(SetParamCalls().isEmpty());
    }
}

TEST_F(VSTEntries, PluginsOnTheSkipListStartWithTheirDefaults) {
    Settings.VSTSkipSettings = u"DeEsser.dll;OLD limiter.DLL"_s;
    AddVST(u"C:\\VST\\Bundle\\Old Limiter.dll"_s, psOff, {u"1"_s, u"1"_s, u"1"_s});
    AddVST(u"C:\\VST\\Reverb.dll"_s, psOff, {u"1"_s, u"1"_s, u"1"_s});
    Manager.StartDSP(0);
    EXPECT_TRUE(SetParamCalls().isEmpty());
    Manager.StartDSP(1);
    EXPECT_EQ(SetParamCalls().size(), 3);
}

TEST(VSTSkipList, MatchesTheFileNameIgnoringCaseAndFolder) {
    const struct {
        const char *Name;
        QString Path;
        QString Skip;
        bool Listed;
    } cases[] = {
        {"same name", u"C:\\VST\\a.dll"_s, u"a.dll"_s, true},
        {"other case", u"C:\\VST\\Old Limiter.dll"_s, u"x.dll;OLD LIMITER.DLL"_s, true},
        {"forward slashes", u"/opt/vst/Comp.dll"_s, u"comp.dll"_s, true},
        {"no folder", u"comp.dll"_s, u"comp.dll"_s, true},
        {"the folder does not count", u"C:\\comp.dll\\other.dll"_s, u"comp.dll"_s, false},
        {"a listed folder does not match", u"C:\\VST\\a.dll"_s, u"C:\\VST\\a.dll"_s, false},
        {"part of a name", u"C:\\VST\\a.dll"_s, u"a.dl"_s, false},
        {"spaces are part of the name", u"C:\\VST\\a.dll"_s, u" a.dll"_s, false},
        {"empty list", u"C:\\VST\\a.dll"_s, u""_s, false},
        {"empty pieces", u"C:\\VST\\a.dll"_s, u";;b.dll;"_s, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(OnVSTSkipList(c.Path, c.Skip), c.Listed);
    }
}

TEST_F(VSTEntries, StopCapturesTheValuesOfAnActiveEntry) {
    TDSPItemC &item = AddVST(u"C:\\VST\\Reverb.dll"_s, psOff);
    item.DispName = u"Reverb"_s;
    Manager.WorkChannel = 33;
    Manager.StartDSP(0);
    Host.VSTParams.at(item.H) = {0.5f, 1.0f, 0.1f};
    Host.Log.clear();

    Manager.StopDSP(0);

    // General format, 15 significant digits, of the value the host reports.
    EXPECT_EQ(item.Params, (QStringList{u"0.5"_s, u"1"_s, u"0.100000001490116"_s}));
    EXPECT_EQ(Host.Log, (QStringList{u"VST_ChannelRemoveDSP 33 100"_s, u"FreeVSTWindow Reverb"_s}));
    EXPECT_EQ(item.H, 100u); // kept
    EXPECT_EQ(item.State, psActive);
}

TEST_F(VSTEntries, SwitchingOffKeepsTheValuesCapturedBefore) {
    TDSPItemC &item = AddVST(u"C:\\VST\\Reverb.dll"_s, psOff, {u"0.1"_s, u"0.2"_s, u"0.3"_s});
    Manager.StartDSP(0);
    Host.VSTParams.at(item.H) = {0.9f, 0.9f, 0.9f};
    item.State = psOff; // the chain editor's uncheck
    Manager.StopDSP(0);
    EXPECT_EQ(item.Params, (QStringList{u"0.1"_s, u"0.2"_s, u"0.3"_s}));
    EXPECT_TRUE(Host.Log.contains(u"VST_ChannelRemoveDSP 0 100"_s));
}

TEST_F(VSTEntries, StoppedEntriesKeepTheirValuesThroughARestart) {
    // VST plug-ins are switched off (every chain stops its VST entries), then
    // an entry is moved (the whole chain restarts): the stopped effect cannot
    // answer for its values any more, and the entry must not lose them.
    TDSPItemC &item = AddVST(u"C:\\VST\\Reverb.dll"_s, psActive, {u"0.1"_s, u"0.2"_s, u"0.3"_s});
    Manager.StartAllDSPs();
    Host.VSTParams.at(item.H) = {0.7f, 0.8f, 0.9f};
    Manager.StopVST();
    const QStringList captured = item.Params;
    EXPECT_EQ(captured.size(), 3);
    Host.Log.clear();

    Manager.StartAllDSPs();

    EXPECT_FALSE(Host.Log.contains(u"VST_ChannelRemoveDSP 0 100"_s));
    EXPECT_EQ(item.H, 101u);
    // The restarted effect got the values captured at the stop.
    EXPECT_EQ(SetParamCalls().size(), 3);
    EXPECT_FLOAT_EQ(Host.VSTParams.at(101)[2], 0.9f);
}

TEST_F(VSTEntries, StopVSTStopsOnlyVSTEntriesAndKeepsTheirState) {
    TDSPItemC &vst = AddVST(u"C:\\VST\\Reverb.dll"_s, psActive);
    AddWinamp(u"dsp_a.dll"_s, 4, psActive);
    Manager.StartAllDSPs();
    Host.Log.clear();
    Manager.StopVST();
    EXPECT_EQ(Host.Log, (QStringList{u"VST_ChannelRemoveDSP 0 100"_s,
                                     u"FreeVSTWindow C:\\VST\\Reverb.dll"_s}));
    EXPECT_EQ(vst.State, psActive);
}

TEST_F(VSTEntries, WithoutTheHostLibraryVSTEntriesNeitherStartNorStop) {
    Host.BridgeLoaded = false;
    TDSPItemC &item = AddVST(u"C:\\VST\\Reverb.dll"_s, psActive);
    item.H = 77;
    Manager.StartDSP(0);
    Manager.StopDSP(0);
    EXPECT_TRUE(Host.Log.isEmpty());
    EXPECT_EQ(item.H, 77u);
    SaveVSTParams(item);
    EXPECT_TRUE(item.Params.isEmpty());
}

TEST_F(VSTEntries, StartAllLoadsTheHostLibraryWhenAllowed) {
    Host.BridgeLoaded = false;
    AddVST(u"C:\\VST\\Reverb.dll"_s, psActive);
    Manager.StartAllDSPs();
    EXPECT_TRUE(Host.Log.isEmpty());

    Settings.AllowVstPlugins = true;
    Manager.StartAllDSPs();
    EXPECT_EQ(Host.Log.first(), u"LoadVSTBridge"_s);
    EXPECT_TRUE(Host.Log.contains(u"VST_ChannelSetDSP 0 C:\\VST\\Reverb.dll 80000000 49"_s));

    // Loaded again even when it already is.
    Host.Log.clear();
    Manager.StartAllDSPs();
    EXPECT_EQ(Host.Log.first(), u"LoadVSTBridge"_s);
}

TEST_F(VSTEntries, AHandleOfZeroChangesNothing) {
    Host.NextVSTHandle = 0;
    TDSPItemC &item = AddVST(u"C:\\VST\\Broken.dll"_s, psOff);
    Manager.StartDSP(0);
    EXPECT_EQ(item.H, 0u);
    EXPECT_EQ(item.State, psOff);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(Host.Log.contains(u"VST_GetInfo 0"_s));
}

TEST_F(VSTEntries, AFaultWhileAttachingIsShownAndLeavesTheEntryAsItWas) {
    Host.AttachFault = u"Access violation at address 0040A1F3"_s;
    TDSPItemC &fresh = AddVST(u"C:\\VST\\Crashy.dll"_s, psOff, {u"1"_s, u"1"_s, u"1"_s});
    TDSPItemC &stale = AddVST(u"C:\\VST\\Crashy2.dll"_s, psOff, {u"1"_s, u"1"_s, u"1"_s});
    stale.H = 42;
    int changes = 0;
    Manager.OnChange = [&](TDSPManager *) { ++changes; };

    Manager.StartDSP(0);
    Manager.StartDSP(1);

    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[0].Text,
              u"Unable to start VST plugin (C:\\VST\\Crashy.dll): Access violation at address "
              u"0040A1F3"_s);
    EXPECT_EQ(Boxes[0].Caption, QString());
    EXPECT_EQ(Boxes[0].Flags, 16);
    EXPECT_EQ(fresh.H, 0u);
    EXPECT_EQ(fresh.State, psOff);
    // An old handle stays, but the failed start neither marks the entry nor
    // pushes values into whatever that handle named.
    EXPECT_EQ(stale.H, 42u);
    EXPECT_EQ(stale.State, psOff);
    EXPECT_TRUE(SetParamCalls().isEmpty());
    EXPECT_EQ(changes, 2);
}

TEST_F(VSTEntries, LoadAndSaveActOnlyOnActiveVSTEntriesWithAHandle) {
    Host.VSTParams[5] = {0.5f, 0.5f};
    const struct {
        const char *Name;
        TDSPType T;
        TPluginType PluginType;
        quint32 H;
        TPluginState State;
        bool Acts;
    } cases[] = {
        {"active VST", dspPlugin, ptVST, 5, psActive, true},
        {"switched off", dspPlugin, ptVST, 5, psOff, false},
        {"no handle", dspPlugin, ptVST, 0, psActive, false},
        {"Winamp", dspPlugin, ptDSP, 5, psActive, false},
        {"built-in", dspIntegrated, ptVST, 5, psActive, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        Host.Log.clear();
        TDSPItemC item;
        item.T = c.T;
        item.PluginType = c.PluginType;
        item.H = c.H;
        item.State = c.State;
        item.Params = {u"0.25"_s, u"0.75"_s};
        LoadVSTParams(item);
        EXPECT_EQ(SetParamCalls().size(), c.Acts ? 2 : 0);
        item.Params = {u"old"_s};
        SaveVSTParams(item);
        const QStringList expected =
            c.Acts ? QStringList{u"0.25"_s, u"0.75"_s} : QStringList{u"old"_s};
        EXPECT_EQ(item.Params, expected);
    }
}

} // namespace
