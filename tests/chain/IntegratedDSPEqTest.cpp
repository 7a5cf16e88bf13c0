// The equaliser and the compressor attached to a real channel of the audio
// engine: which bands and parameters reach the effect, and what a malformed
// setting does. Also the lookup from a built-in kind to its class.

#include "DSPManagerTestSupport.h"
#include "chain/IntegratedDSP.h"

#include <gtest/gtest.h>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

class Equaliser : public TChainFixture {
protected:
    // The band's record as the effect holds it; nothing when it does not exist.
    std::optional<BASS_BFX_PEAKEQ> Band(const TIntegratedDSP &AEq, int AIndex) const {
        BASS_BFX_PEAKEQ band;
        band.lBand = AIndex;
        if (!BASS_FXGetParameters(AEq.HFX, &band))
            return std::nullopt;
        return band;
    }

    // The gains of bands 0 .. ACount - 1; a missing band is reported as NaN.
    std::vector<float> Gains(const TIntegratedDSP &AEq, int ACount) const {
        std::vector<float> gains;
        for (int i = 0; i < ACount; ++i) {
            const std::optional<BASS_BFX_PEAKEQ> band = Band(AEq, i);
            gains.push_back(band ? band->fGain : std::numeric_limits<float>::quiet_NaN());
        }
        return gains;
    }

    static QStringList Lines(int ACount, const QString &AText) {
        QStringList lines;
        for (int i = 0; i < ACount; ++i)
            lines << AText;
        return lines;
    }

    TDSPItemC &Item = AddBuiltIn(dspEqualizer, psActive);
    TConstantChannel Channel{0.25f};
};

TEST_F(Equaliser, AttachCreatesFlatBandsFromTheSystemSettings) {
    Settings.BandsNum = 3;
    Settings.Bandwidth = 1.75f;
    Settings.EQBands.Items(1).CenterFreq = 440;
    TIntegratedDSPEq eq(Item, Channel.Handle(), Settings);
    eq.SetDSP(true);
    ASSERT_NE(eq.HFX, 0u);

    const std::optional<BASS_BFX_PEAKEQ> band = Band(eq, 1);
    ASSERT_TRUE(band);
    EXPECT_EQ(band->fCenter, 440.0f);
    EXPECT_EQ(band->fBandwidth, 1.75f);
    EXPECT_EQ(band->fQ, 0.0f);
    EXPECT_EQ(band->fGain, 0.0f);
    EXPECT_EQ(band->lChannel, BASS_BFX_CHANALL);
    EXPECT_TRUE(Band(eq, 2));
    EXPECT_FALSE(Band(eq, 3)); // only the bands in use
}

TEST_F(Equaliser, ParamsSetTheGainsAndNothingElse) {
    Settings.BandsNum = 4;
    TIntegratedDSPEq eq(Item, Channel.Handle(), Settings);
    eq.SetDSP(true);
    Item.Params = {u"3"_s, u"-2"_s, u"2.5"_s, u"4,0"_s};
    eq.UpdateDSP();
    // A fraction or a comma is not a whole number and reads as 0.
    EXPECT_EQ(Gains(eq, 4), (std::vector<float>{3, -2, 0, 0}));
    // The width and centre stay as attached, even when the settings change.
    Settings.EQBands.Items(0).CenterFreq = 100;
    Item.Params = {u"1"_s, u"1"_s, u"1"_s, u"1"_s};
    eq.UpdateDSP();
    EXPECT_EQ(Band(eq, 0)->fCenter, 31.0f);
    EXPECT_EQ(Band(eq, 0)->fGain, 1.0f);
}

TEST_F(Equaliser, ParamCountOtherThanBandsNumKeepsTheBands) {
    const struct {
        const char *Name;
        int BandsNum;
        int Lines;
    } cases[] = {
        {"10 lines for 12 bands", 12, 10},
        {"12 lines for 10 bands", 10, 12},
        {"no lines", 10, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        Settings.BandsNum = c.BandsNum;
        TIntegratedDSPEq eq(Item, Channel.Handle(), Settings);
        eq.SetDSP(true);
        Item.Params = Lines(c.Lines, u"5"_s);
        eq.UpdateDSP();
        EXPECT_EQ(Gains(eq, c.BandsNum), std::vector<float>(size_t(c.BandsNum), 0.0f));
    }
}

TEST_F(Equaliser, PreviousGainsStayWhenTheCountStopsMatching) {
    Settings.BandsNum = 2;
    TIntegratedDSPEq eq(Item, Channel.Handle(), Settings);
    eq.SetDSP(true);
    Item.Params = {u"4"_s, u"-4"_s};
    eq.UpdateDSP();
    Item.Params = {u"9"_s};
    eq.UpdateDSP();
    EXPECT_EQ(Gains(eq, 2), (std::vector<float>{4, -4}));
}

TEST_F(Equaliser, AttachingAgainStartsFlat) {
    Settings.BandsNum = 2;
    TIntegratedDSPEq eq(Item, Channel.Handle(), Settings);
    eq.SetDSP(true);
    Item.Params = {u"4"_s, u"-4"_s};
    eq.UpdateDSP();
    eq.SetDSP(true);
    ASSERT_NE(eq.HFX, 0u);
    EXPECT_EQ(Gains(eq, 2), (std::vector<float>{0, 0}));
}

TEST_F(Equaliser, NoBandsInUseGivesAnAttachedEffectWithoutBands) {
    Settings.BandsNum = 0;
    TIntegratedDSPEq eq(Item, Channel.Handle(), Settings);
    eq.SetDSP(true);
    ASSERT_NE(eq.HFX, 0u);
    EXPECT_FALSE(Band(eq, 0));
    eq.UpdateDSP(); // no lines for no bands: nothing to do, nothing to break
    EXPECT_EQ(Channel.Pull(), 0.25f);
}

TEST_F(Equaliser, BandsNumBeyondTheBandListUsesTheBandsThatExist) {
    Settings.BandsNum = 14; // a hand-edited file; the list holds 12
    TIntegratedDSPEq eq(Item, Channel.Handle(), Settings);
    eq.SetDSP(true);
    ASSERT_NE(eq.HFX, 0u);
    EXPECT_TRUE(Band(eq, 11));
    EXPECT_FALSE(Band(eq, 12));

    Item.Params = Lines(14, u"2"_s);
    eq.UpdateDSP();
    EXPECT_EQ(Gains(eq, 12), std::vector<float>(12, 2.0f));
    EXPECT_FALSE(Band(eq, 12));
}

TEST_F(Equaliser, DetachRemovesTheEffect) {
    Settings.BandsNum = 1;
    TIntegratedDSPEq eq(Item, Channel.Handle(), Settings);
    eq.SetDSP(true);
    const quint32 handle = eq.HFX;
    eq.SetDSP(false);
    EXPECT_EQ(eq.HFX, 0u);
    BASS_BFX_PEAKEQ band;
    EXPECT_FALSE(BASS_FXGetParameters(handle, &band));
    Item.Params = {u"3"_s};
    eq.UpdateDSP(); // detached: nothing to apply to
    EXPECT_EQ(eq.HFX, 0u);
}

TEST_F(Equaliser, OnChannelZeroNothingAttaches) {
    TIntegratedDSPEq eq(Item, 0, Settings);
    eq.SetDSP(true);
    EXPECT_EQ(eq.HFX, 0u);
    Item.Params = Lines(10, u"3"_s);
    eq.UpdateDSP();
    EXPECT_EQ(eq.HFX, 0u);
}

// --- Compressor ----------------------------------------------------------------------

class CompressorStage : public TChainFixture {
protected:
    static BASS_BFX_COMPRESSOR2 Params(const TIntegratedDSP &ACompressor) {
        BASS_BFX_COMPRESSOR2 params;
        EXPECT_TRUE(BASS_FXGetParameters(ACompressor.HFX, &params));
        return params;
    }

    TDSPItemC &Item = AddBuiltIn(dspCompressor, psActive);
    TConstantChannel Channel{0.25f};
};

TEST_F(CompressorStage, FiveNumbersInTheirOrder) {
    TIntegratedDSPCompressor compressor(Item, Channel.Handle(), Settings);
    compressor.SetDSP(true);
    ASSERT_NE(compressor.HFX, 0u);
    Item.Params = {u"4.5"_s, u"-18"_s, u"3"_s, u"10"_s, u"250"_s};
    compressor.UpdateDSP();
    const BASS_BFX_COMPRESSOR2 p = Params(compressor);
    EXPECT_EQ(p.fGain, 4.5f);
    EXPECT_EQ(p.fThreshold, -18.0f);
    EXPECT_EQ(p.fRatio, 3.0f);
    EXPECT_EQ(p.fAttack, 10.0f);
    EXPECT_EQ(p.fRelease, 250.0f);
    EXPECT_EQ(p.lChannel, BASS_BFX_CHANALL);
}

TEST_F(CompressorStage, ACommaNumberReadsAsZero) {
    TIntegratedDSPCompressor compressor(Item, Channel.Handle(), Settings);
    compressor.SetDSP(true);
    Item.Params = {u"4,5"_s, u"-18"_s, u"3"_s, u"10"_s, u"250"_s};
    compressor.UpdateDSP();
    EXPECT_EQ(Params(compressor).fGain, 0.0f);
    EXPECT_EQ(Params(compressor).fThreshold, -18.0f);
}

TEST_F(CompressorStage, WithoutFiveLinesNoParametersAreSet) {
    // What a compressor holds before anyone sets it.
    TConstantChannel other(0.25f);
    TIntegratedDSPCompressor fresh(Item, other.Handle(), Settings);
    fresh.SetDSP(true);
    const BASS_BFX_COMPRESSOR2 initial = Params(fresh);

    for (const QStringList &lines : {QStringList{}, QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s},
                                     QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s}}) {
        SCOPED_TRACE(lines.size());
        TIntegratedDSPCompressor compressor(Item, Channel.Handle(), Settings);
        compressor.SetDSP(true);
        ASSERT_NE(compressor.HFX, 0u);
        Item.Params = lines;
        compressor.UpdateDSP();
        const BASS_BFX_COMPRESSOR2 p = Params(compressor);
        EXPECT_EQ(p.fGain, initial.fGain);
        EXPECT_EQ(p.fThreshold, initial.fThreshold);
        EXPECT_EQ(p.fRatio, initial.fRatio);
        EXPECT_EQ(p.fAttack, initial.fAttack);
        EXPECT_EQ(p.fRelease, initial.fRelease);
    }
}

TEST_F(CompressorStage, AttachingTwiceKeepsTheEffectAndItsSettings) {
    TIntegratedDSPCompressor compressor(Item, Channel.Handle(), Settings);
    compressor.SetDSP(true);
    const quint32 first = compressor.HFX;
    Item.Params = {u"2"_s, u"-10"_s, u"4"_s, u"5"_s, u"100"_s};
    compressor.UpdateDSP();
    compressor.SetDSP(true);
    EXPECT_EQ(compressor.HFX, first);
    EXPECT_EQ(Params(compressor).fRatio, 4.0f);
    compressor.SetDSP(false);
    EXPECT_EQ(compressor.HFX, 0u);
}

// --- Kind to class -------------------------------------------------------------------

TEST(IntegratedDSPClass, EachKindHasItsClassAndOtherValuesNone) {
    TDSPItemC item;
    const TSystemIniBase settings;
    const TIntegratedDSPClass eq = IntegratedDSPClass(dspEqualizer);
    const TIntegratedDSPClass compressor = IntegratedDSPClass(dspCompressor);
    const TIntegratedDSPClass gain = IntegratedDSPClass(dspGain);
    ASSERT_TRUE(eq && compressor && gain);
    EXPECT_NE(dynamic_cast<TIntegratedDSPEq *>(eq(item, 0, settings).get()), nullptr);
    EXPECT_NE(dynamic_cast<TIntegratedDSPCompressor *>(compressor(item, 0, settings).get()),
              nullptr);
    const std::unique_ptr<TIntegratedDSP> made = gain(item, 7, settings);
    EXPECT_NE(dynamic_cast<TIntegratedDSPGain *>(made.get()), nullptr);
    EXPECT_EQ(&made->FD, &item);
    EXPECT_EQ(made->Chan, 7u);
    EXPECT_EQ(made->HFX, 0u);
    EXPECT_EQ(IntegratedDSPClass(static_cast<TIntDSPKind>(3)), nullptr);
}

} // namespace
