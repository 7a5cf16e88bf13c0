// Chain entries: how they are written and read, and how an entry is copied
// from the list of available processors.

#include "dsp/DSPItems.h"

#include "config/ComponentText.h"
#include "config/PropBuilders.h"

#include <QByteArray>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A configuration object holding one chain, as the player configuration does.
class TChainHolder : public TPersistent {
public:
    TDSPItemsC Chain;

    const TPropTable &Properties() const override {
        static const TPropTable Table{Prop::Collection(u"Chain"_s, &TChainHolder::Chain)};
        return Table;
    }
    QString ClassName() const override { return u"TChainHolder"_s; }
};

QByteArray CrLf(const char *AText) {
    return QByteArray(AText).replace("\n", "\r\n");
}

void Read(TChainHolder &AHolder, const QByteArray &AText) {
    TextToComponent(QString::fromLatin1(AText), AHolder);
}

TEST(DSPItem, CreationValues) {
    const TDSPItemC item;
    EXPECT_EQ(item.State, psOff);
    EXPECT_TRUE(item.Params.isEmpty());
    EXPECT_EQ(item.H, 0u);
    EXPECT_TRUE(item.DispName.isEmpty());
    EXPECT_TRUE(item.PresetName.isEmpty());
}

TEST(DSPItem, PropertiesAreWrittenInTheirOrder) {
    TChainHolder holder;
    TDSPItemC &vst = holder.Chain.Add();
    vst.T = dspPlugin;
    vst.Params = {u"0.5"_s, u"1"_s};
    vst.DispName = u"Limiter"_s;
    vst.PluginPath = u"C:\\VST\\limiter.dll"_s;
    vst.PluginType = ptVST;
    vst.State = psActive;
    vst.IntDSPKind = dspEqualizer;
    vst.PresetName = u"Loud"_s;
    vst.H = 7; // never stored
    // Nothing set: enumerations are written all the same, the rest is not.
    holder.Chain.Add();

    EXPECT_EQ(ComponentToText(holder), CrLf(R"(object TChainHolder
  Chain = <
    item
      T = dspPlugin
      Params.Strings = (
        '0.5'
        '1')
      DispName = 'Limiter'
      PluginPath = 'C:\VST\limiter.dll'
      PluginType = ptVST
      State = psActive
      IntDSPKind = dspEqualizer
      PresetName = 'Loud'
    end
    item
      T = dspPlugin
      PluginType = ptDSP
      State = psOff
      IntDSPKind = dspEqualizer
    end>
end
)"));
}

TEST(DSPItem, StoredChainReplacesTheEntriesAndKeepsWhatItDoesNotKnow) {
    const QByteArray text = CrLf(R"(object TChainHolder
  Chain = <
    item
      T = dspIntegrated
      Params.Strings = (
        '6')
      DispName = 'Gain'
      PluginType = ptGEN
      State = psActive
      Bypass = True
      IntDSPKind = dspGain
    end
    item
      T = DSPPLUGIN
      PluginType = ptdsp
      State = psOff
      IntDSPKind = dspEqualizer
    end>
end
)");
    TChainHolder holder;
    holder.Chain.Add().H = 99;
    Read(holder, text);

    ASSERT_EQ(holder.Chain.Count(), 2);
    const TDSPItemC &gain = holder.Chain.Items(0);
    EXPECT_EQ(gain.T, dspIntegrated);
    EXPECT_EQ(gain.IntDSPKind, dspGain);
    EXPECT_EQ(gain.PluginType, ptGEN);
    EXPECT_EQ(gain.State, psActive);
    EXPECT_EQ(gain.Params, QStringList{u"6"_s});
    EXPECT_EQ(gain.H, 0u);
    // Identifiers are found without regard to case.
    EXPECT_EQ(holder.Chain.Items(1).T, dspPlugin);
    EXPECT_EQ(holder.Chain.Items(1).H, 0u);

    // The unknown Bypass goes back after State; identifiers in their own case.
    QByteArray expected = text;
    expected.replace("DSPPLUGIN", "dspPlugin").replace("ptdsp", "ptDSP");
    EXPECT_EQ(ComponentToText(holder), expected);
}

TEST(DSPItem, AssignToMakesAFreshEntryOfTheSameProcessor) {
    TChainHolder source;
    Read(source, CrLf(R"(object TChainHolder
  Chain = <
    item
      T = dspPlugin
      Params.Strings = (
        '0.1')
      DispName = '(DSP) Widener [dsp_widener.dll]'
      PluginPath = 'dsp_widener.dll'
      PluginType = ptDSP
      State = psActive
      IntDSPKind = dspCompressor
      PresetName = 'Wide'
      Latency = 12
    end>
end
)"));
    TDSPItemC &from = source.Chain.Items(0);
    from.H = 0x1234;

    TDSPItemsC chain;
    TDSPItemC &to = chain.Add();
    to.Params = {u"3"_s};
    to.State = psActive;
    to.PresetName = u"Old"_s;
    from.AssignTo(to);

    EXPECT_EQ(to.T, dspPlugin);
    EXPECT_EQ(to.DispName, from.DispName);
    EXPECT_EQ(to.PluginPath, u"dsp_widener.dll"_s);
    EXPECT_EQ(to.PluginType, ptDSP);
    EXPECT_EQ(to.IntDSPKind, dspCompressor);
    EXPECT_EQ(to.H, 0x1234u);
    EXPECT_TRUE(to.Params.isEmpty());
    EXPECT_EQ(to.State, psOff);
    EXPECT_TRUE(to.PresetName.isEmpty());
    EXPECT_TRUE(to.Carried().IsEmpty());
    // The source is untouched, also by assigning it to itself.
    from.AssignTo(from);
    EXPECT_EQ(from.State, psActive);
    EXPECT_EQ(from.Params, QStringList{u"0.1"_s});
    EXPECT_EQ(from.PresetName, u"Wide"_s);
}

TEST(DSPItem, DefaultListHoldsAnEqualiserAndACompressorSwitchedOff) {
    TDSPItemsC list;
    AddDefaultDSPList(list);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0).IntDSPKind, dspEqualizer);
    EXPECT_EQ(list.Items(1).IntDSPKind, dspCompressor);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list.Items(i).T, dspIntegrated);
        EXPECT_EQ(list.Items(i).State, psOff);
        EXPECT_EQ(list.Items(i).Index(), i);
    }
}

} // namespace
