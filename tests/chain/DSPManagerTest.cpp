// The chain engine: the registry of managers, the order in which entries are
// stopped and started, Winamp plug-in handles, and built-in entries running on
// a real channel of the audio engine. Plug-ins go through a scripted host.

#include "chain/DSPManager.h"

#include "DSPManagerTestSupport.h"
#include "config/ComponentFile.h"
#include "station/PlayerIni.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class ChainEngine : public TChainFixture {
protected:
    void SetUp() override {
        TChainFixture::SetUp();
        Manager.DSPList = &Chain;
        Manager.OnChange = [this](TDSPManager *ASender) {
            EXPECT_EQ(ASender, &Manager);
            ++Changes;
        };
    }

    TDSPManager Manager{u"Mic"_s, Settings};
    int Changes = 0;
};

// --- Registry ---------------------------------------------------------------------

TEST(DSPManagerRegistry, ListsLiveManagersInCreationOrder) {
    const TSystemIniBase settings;
    const std::vector<TDSPManager *> before = DSPManagers();
    auto first = std::make_unique<TDSPManager>(u"First"_s, settings);
    auto second = std::make_unique<TDSPManager>(u"Second"_s, settings);
    std::vector<TDSPManager *> now = DSPManagers();
    ASSERT_EQ(now.size(), before.size() + 2);
    EXPECT_EQ(now[now.size() - 2], first.get());
    EXPECT_EQ(now.back(), second.get());
    EXPECT_EQ(first->Name, u"First"_s);

    first.reset();
    now = DSPManagers();
    EXPECT_EQ(std::count(now.begin(), now.end(), second.get()), 1);
    EXPECT_EQ(now.size(), before.size() + 1);
}

TEST_F(ChainEngine, DestroyingAManagerLeavesTheListAndItsStates) {
    AddWinamp(u"dsp_a.dll"_s, 5, psActive);
    {
        TDSPManager other(u"Other"_s, Settings);
        other.DSPList = &Chain;
    }
    EXPECT_TRUE(Host.Log.isEmpty());
    ASSERT_EQ(Chain.Count(), 1);
    EXPECT_EQ(Chain.Items(0).State, psActive);
}

// --- Order of stopping and starting ------------------------------------------------

TEST_F(ChainEngine, StartAllStopsEveryEntryThenStartsTheActiveOnesInOrder) {
    AddWinamp(u"dsp_a.dll"_s, 1, psActive);
    AddWinamp(u"dsp_b.dll"_s, 2, psOff);
    AddWinamp(u"dsp_c.dll"_s, 3, psActive);
    AddWinamp(u"dsp_d.dll"_s, 0, psOff); // no handle: nothing to stop

    Manager.StartAllDSPs();

    EXPECT_EQ(Host.Log, (QStringList{
                            u"WADSP_ChannelRemoveDSP 1"_s,
                            u"WADSP_Stop 1"_s,
                            u"WADSP_ChannelRemoveDSP 2"_s,
                            u"WADSP_Stop 2"_s,
                            u"WADSP_ChannelRemoveDSP 3"_s,
                            u"WADSP_Stop 3"_s,
                            u"WADSP_Start 1 0 0"_s,
                            u"WADSP_ChannelSetDSP 1 0 49"_s,
                            u"WADSP_Start 3 0 0"_s,
                            u"WADSP_ChannelSetDSP 3 0 49"_s,
                        }));
    // One notification per stop and per start.
    EXPECT_EQ(Changes, 4 + 2);
}

TEST_F(ChainEngine, AfterAMoveTheActiveEntriesRunInTheNewOrder) {
    AddWinamp(u"dsp_a.dll"_s, 1, psActive);
    AddWinamp(u"dsp_b.dll"_s, 2, psActive);
    AddWinamp(u"dsp_c.dll"_s, 3, psOff);
    Manager.StartAllDSPs();
    Host.Log.clear();

    Chain.Move(1, 0); // the chain editor's "up" on the second entry
    Manager.StartAllDSPs();

    EXPECT_EQ(Host.Log, (QStringList{
                            u"WADSP_ChannelRemoveDSP 2"_s,
                            u"WADSP_Stop 2"_s,
                            u"WADSP_ChannelRemoveDSP 1"_s,
                            u"WADSP_Stop 1"_s,
                            u"WADSP_ChannelRemoveDSP 3"_s,
                            u"WADSP_Stop 3"_s,
                            u"WADSP_Start 2 0 0"_s,
                            u"WADSP_ChannelSetDSP 2 0 49"_s,
                            u"WADSP_Start 1 0 0"_s,
                            u"WADSP_ChannelSetDSP 1 0 49"_s,
                        }));
}

TEST_F(ChainEngine, StartingMarksActiveStoppingKeepsTheState) {
    TDSPItemC &winamp = AddWinamp(u"dsp_a.dll"_s, 4, psOff);
    TDSPItemC &eq = AddBuiltIn(dspEqualizer, psOff);
    Manager.StartDSP(0);
    Manager.StartDSP(1);
    EXPECT_EQ(winamp.State, psActive);
    EXPECT_EQ(eq.State, psActive);

    Manager.StopDSP(0);
    Manager.StopDSP(1);
    EXPECT_EQ(winamp.State, psActive);
    EXPECT_EQ(eq.State, psActive);
    EXPECT_EQ(winamp.H, 4u); // the plug-in stays loaded
    EXPECT_EQ(Changes, 4);
}

TEST_F(ChainEngine, IndexesOutsideTheChainDoNothing) {
    AddWinamp(u"dsp_a.dll"_s, 4, psOff);
    for (const int index : {-1, 1, 100}) {
        Manager.StartDSP(index);
        Manager.StopDSP(index);
    }
    EXPECT_TRUE(Host.Log.isEmpty());
    EXPECT_EQ(Changes, 0);

    TDSPManager unbound(u"Unbound"_s, Settings);
    unbound.StartDSP(0);
    unbound.StartAllDSPs();
    unbound.StopVST();
    EXPECT_TRUE(Host.Log.isEmpty());
}

TEST_F(ChainEngine, OtherPluginTypesStartAndStopAsNothing) {
    TDSPItemC &gen = AddWinamp(u"gen_x.dll"_s, 9, psOff);
    gen.PluginType = ptGEN;
    Manager.StartDSP(0);
    Manager.StopDSP(0);
    EXPECT_TRUE(Host.Log.isEmpty());
    EXPECT_EQ(gen.State, psOff);
    EXPECT_EQ(Changes, 2);
}

TEST_F(ChainEngine, AChainReadFromTheFileIsNotStartedByReading) {
    TPlayerIni written;
    TDSPItemC &winamp = written.MicDSPList.Add();
    winamp.T = dspPlugin;
    winamp.PluginPath = u"dsp_a.dll"_s;
    winamp.State = psActive;
    TDSPItemC &gain = written.MicDSPList.Add();
    gain.T = dspIntegrated;
    gain.IntDSPKind = dspGain;
    gain.State = psActive;
    gain.Params = {u"6"_s};

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"player.ini"_s);
    WriteComponentFile(written, path);
    TPlayerIni read;
    ReadComponentFile(read, path);
    TDSPManager manager(u"Mic"_s, Settings);
    manager.DSPList = &read.MicDSPList;

    ASSERT_EQ(read.MicDSPList.Count(), 2);
    EXPECT_EQ(read.MicDSPList.Items(0).State, psActive);
    EXPECT_EQ(read.MicDSPList.Items(0).H, 0u);
    EXPECT_EQ(manager.IntDsp(read.MicDSPList.Items(1)), nullptr);
    EXPECT_TRUE(Host.Log.isEmpty());
}

// --- Winamp plug-in handles --------------------------------------------------------

TEST_F(ChainEngine, StartAllRebindsWinampHandlesByFileNameIgnoringCase) {
    Settings.AllowWinampPlugins = true;
    Host.Winamp = {{u"(DSP) A [dsp_a.dll]"_s, u"dsp_a.dll"_s, ptDSP, 11},
                   {u"(DSP) B [DSP_B.DLL]"_s, u"DSP_B.DLL"_s, ptDSP, 12}};
    TDSPItemC &a = AddWinamp(u"DSP_A.dll"_s, 0, psOff);
    TDSPItemC &b = AddWinamp(u"dsp_b.dll"_s, 3, psOff);
    TDSPItemC &a2 = AddWinamp(u"dsp_a.dll"_s, 0, psOff);
    TDSPItemC &unknown = AddWinamp(u"dsp_gone.dll"_s, 5, psOff);
    TDSPItemC &vst = AddVST(u"C:\\VST\\dsp_a.dll"_s, psOff);

    Manager.StartAllDSPs();

    EXPECT_EQ(Host.Log.first(), u"LoadWinampPlugins"_s);
    EXPECT_EQ(a.H, 11u);
    EXPECT_EQ(a2.H, 11u); // two entries of one file share its instance
    EXPECT_EQ(b.H, 12u);
    EXPECT_EQ(unknown.H, 5u); // no match: keeps what it had
    EXPECT_EQ(vst.H, 0u);     // only Winamp entries are rebound
}

TEST_F(ChainEngine, WithoutWinampPluginsAllowedNoRebinding) {
    Host.Winamp = {{u"(DSP) A [dsp_a.dll]"_s, u"dsp_a.dll"_s, ptDSP, 11}};
    TDSPItemC &a = AddWinamp(u"dsp_a.dll"_s, 0, psOff);
    Manager.StartAllDSPs();
    EXPECT_FALSE(Host.Log.contains(u"LoadWinampPlugins"_s));
    EXPECT_EQ(a.H, 0u);
}

TEST_F(ChainEngine, StoppingEitherEntryOfASharedPluginStopsTheOneInstance) {
    Settings.AllowWinampPlugins = true;
    Host.Winamp = {{u"(DSP) A [dsp_a.dll]"_s, u"dsp_a.dll"_s, ptDSP, 11}};
    AddWinamp(u"dsp_a.dll"_s, 0, psActive);
    AddWinamp(u"dsp_a.dll"_s, 0, psActive);
    Manager.StartAllDSPs();
    Host.Log.clear();
    Manager.StopDSP(1);
    EXPECT_EQ(Host.Log, (QStringList{u"WADSP_ChannelRemoveDSP 11"_s, u"WADSP_Stop 11"_s}));
}

// --- Built-in entries on a real channel ----------------------------------------------

TEST_F(ChainEngine, BuiltInEntriesAttachToTheWorkChannelWithTheirSettings) {
    TConstantChannel channel(0.25f);
    Manager.WorkChannel = channel.Handle();
    Settings.BandsNum = 1;
    TDSPItemC &gain = AddBuiltIn(dspGain, psActive, {u"20"_s});
    TDSPItemC &eq = AddBuiltIn(dspEqualizer, psActive, {u"0"_s});
    TDSPItemC &off = AddBuiltIn(dspGain, psOff, {u"-20"_s});

    Manager.StartAllDSPs();

    ASSERT_NE(Manager.IntDsp(gain), nullptr);
    ASSERT_NE(Manager.IntDsp(eq), nullptr);
    EXPECT_EQ(Manager.IntDsp(off), nullptr);
    EXPECT_NE(Manager.IntDsp(gain)->HFX, 0u);
    EXPECT_NE(Manager.IntDsp(eq)->HFX, 0u);
    EXPECT_EQ(FindIntDsp(gain), Manager.IntDsp(gain));
    EXPECT_NEAR(channel.Pull(4096), 2.5f, 1e-3);

    // The editor changes the setting and applies it at once.
    gain.Params = {u"0"_s};
    FindIntDsp(gain)->UpdateDSP();
    EXPECT_NEAR(channel.Pull(4096), 0.25f, 1e-4);

    gain.State = psOff;
    Manager.StopDSP(0);
    EXPECT_EQ(Manager.IntDsp(gain), nullptr);
    EXPECT_EQ(FindIntDsp(gain), nullptr);
}

TEST_F(ChainEngine, EachChainReadsTheSettingsItWasGiven) {
    // A second chain with other band settings, as a render with another
    // station's system.ini beside the window's own chain.
    TSystemIniBase other;
    other.BandsNum = 1;
    other.EQBands.Items(0).CenterFreq = 440;
    Settings.BandsNum = 2;
    TDSPItemsC otherChain;
    TDSPItemC &otherEq = otherChain.Add();
    otherEq.T = dspIntegrated;
    otherEq.IntDSPKind = dspEqualizer;
    otherEq.State = psActive;
    TDSPItemC &eq = AddBuiltIn(dspEqualizer, psActive);
    TConstantChannel channel(0.25f);
    TConstantChannel otherChannel(0.25f);
    Manager.WorkChannel = channel.Handle();
    TDSPManager otherManager(u"Other"_s, other);
    otherManager.DSPList = &otherChain;
    otherManager.WorkChannel = otherChannel.Handle();

    Manager.StartAllDSPs();
    otherManager.StartAllDSPs();

    BASS_BFX_PEAKEQ band;
    band.lBand = 1;
    EXPECT_TRUE(BASS_FXGetParameters(Manager.IntDsp(eq)->HFX, &band));
    band.lBand = 0;
    ASSERT_TRUE(BASS_FXGetParameters(otherManager.IntDsp(otherEq)->HFX, &band));
    EXPECT_EQ(band.fCenter, 440.0f);
    band.lBand = 1;
    EXPECT_FALSE(BASS_FXGetParameters(otherManager.IntDsp(otherEq)->HFX, &band));
    // Neither touched the process-wide settings.
    EXPECT_EQ(SystemIni().BandsNum, TSystemIniBase().BandsNum);
}

TEST_F(ChainEngine, WithChannelZeroBuiltInsGetAnObjectButAttachNothing) {
    TDSPItemC &gain = AddBuiltIn(dspGain, psOff, {u"6"_s});
    Manager.StartDSP(0);
    ASSERT_NE(Manager.IntDsp(gain), nullptr);
    EXPECT_EQ(Manager.IntDsp(gain)->HFX, 0u);
    EXPECT_EQ(gain.State, psActive);
}

TEST_F(ChainEngine, AKindWithoutAClassIsMarkedActiveButRunsNothing) {
    TDSPItemC &odd = AddBuiltIn(static_cast<TIntDSPKind>(3), psOff);
    Manager.StartDSP(0);
    EXPECT_EQ(odd.State, psActive);
    EXPECT_EQ(Manager.IntDsp(odd), nullptr);
    Manager.StopDSP(0);
    EXPECT_EQ(Changes, 2);
}

TEST_F(ChainEngine, RestartingABuiltInReplacesItsEffect) {
    TConstantChannel channel(0.25f);
    Manager.WorkChannel = channel.Handle();
    AddBuiltIn(dspGain, psActive, {u"20"_s});
    Manager.StartDSP(0);
    Manager.StartDSP(0);
    // Applied once: the first object went, and took its callback with it.
    EXPECT_NEAR(channel.Pull(4096), 2.5f, 1e-3);
}

TEST_F(ChainEngine, AnEntryDeletedWhileRunningIsForgotten) {
    TConstantChannel channel(0.25f);
    Manager.WorkChannel = channel.Handle();
    AddBuiltIn(dspGain, psActive, {u"20"_s});
    AddBuiltIn(dspGain, psOff, {u"0"_s});
    Manager.StartDSP(0);
    Chain.Delete(0);
    // The next operation lets go of the deleted entry's effect.
    Manager.StopDSP(0);
    EXPECT_EQ(channel.Pull(4096), 0.25f);
}

} // namespace
