// The real host under the chain engine and with Debian's real plug-ins: stored
// parameters applied on start and captured on stop, a chain written to
// player.ini and read back, names and display texts of LSP and DPF plug-ins.

#include "audio/AudioEngine.h"
#include "chain/DSPManager.h"
#include "config/ComponentFile.h"
#include "station/PlayerIni.h"
#include "station/SystemIni.h"
#include "vst/VstHost.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QString TestPlugin(const char *AName) {
    return QStringLiteral(VOCARRA_TEST_PLUGINS "/test-%1.so").arg(QLatin1StringView(AName));
}

const QString LspCompressor = u"/usr/lib/vst/lsp-plugins/compressor-stereo.so"_s;
const QString DpfBitcrush = u"/usr/lib/vst/MaBitcrush-vst.so"_s;

quint32 FeedOnes(HSTREAM, void *ABuffer, quint32 ALength, void *) {
    std::fill_n(static_cast<float *>(ABuffer), ALength / sizeof(float), 0.5f);
    return ALength;
}

class VstChain : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        ASSERT_NE(FStream, 0u);
        Settings.AllowVstPlugins = true;
    }
    void TearDown() override { BASS_StreamFree(FStream); }

    TDSPItemC &AddVST(TDSPItemsC &AChain, const QString &APath, const QStringList &AParams) {
        TDSPItemC &item = AChain.Add();
        item.T = dspPlugin;
        item.PluginType = ptVST;
        item.PluginPath = APath;
        item.State = psActive;
        item.Params = AParams;
        return item;
    }

    // The index of the parameter named AName, -1 when there is none.
    int ParamIndex(quint32 AHandle, const char *AName) {
        for (qint32 i = 0; i < Host.Host().BASS_VST_GetParamCount(AHandle); ++i) {
            BASS_VST_PARAM_INFO info;
            if (Host.Host().BASS_VST_GetParamInfo(AHandle, i, &info) &&
                std::strcmp(info.name, AName) == 0)
                return i;
        }
        return -1;
    }

    QTemporaryDir FDir;
    TInstalledVstHost Host{u"/bin/true"_s};
    TSystemIniBase Settings;
    HSTREAM FStream = BASS_StreamCreate(48000, 2, FeedOnes, nullptr);
};

TEST_F(VstChain, AStartedEntryGetsItsStoredParametersAndAStopCapturesThem) {
    TDSPItemsC chain;
    AddVST(chain, TestPlugin("gain"), {u"0.375"_s, u"0.25"_s});
    TDSPManager manager(u"Mic"_s, Settings);
    manager.DSPList = &chain;
    manager.WorkChannel = FStream;
    manager.StartAllDSPs();
    const quint32 h = chain.Items(0).H;
    ASSERT_NE(h, 0u);
    TVstHost &host = Host.Host();
    EXPECT_EQ(host.ChannelOf(h), FStream);
    EXPECT_FLOAT_EQ(host.BASS_VST_GetParam(h, 0), 0.375f);
    EXPECT_FLOAT_EQ(host.BASS_VST_GetParam(h, 1), 0.25f);
    // -6 dB on the channel.
    std::vector<float> samples(2 * 256);
    ASSERT_GT(BASS_ChannelGetData(FStream, samples.data(), quint32(samples.size() * 4)), 0);
    EXPECT_NEAR(samples[0], 0.5 * std::pow(10.0, -6.0 / 20), 1e-5);
    EXPECT_NEAR(samples[511], 0.5 * std::pow(10.0, -6.0 / 20), 1e-5);

    host.BASS_VST_SetParam(h, 0, 0.625f);
    manager.StopDSP(0);
    EXPECT_EQ(chain.Items(0).Params, QStringList({u"0.625"_s, u"0.25"_s}));
    EXPECT_EQ(host.BASS_VST_GetParamCount(h), 0); // freed
}

// Writes a chain with one started and changed VST entry to player.ini, reads
// it back and starts it again: the plug-in gets the values it had.
void RoundTripThroughPlayerIni(TVstHost &AHost, const QString &APlugin, const QString &AFile,
                               const std::vector<int> &AIndexes, const std::vector<float> &AValues,
                               const TSystemIniBase &ASettings, HSTREAM AStream) {
    std::vector<float> expected;
    {
        TPlayerIni player;
        TDSPItemC &item = player.MicDSPList.Add();
        item.T = dspPlugin;
        item.PluginType = ptVST;
        item.PluginPath = APlugin;
        item.State = psActive;
        TDSPManager manager(u"Mic"_s, ASettings);
        manager.DSPList = &player.MicDSPList;
        manager.WorkChannel = AStream;
        manager.StartAllDSPs();
        const quint32 h = item.H;
        ASSERT_NE(h, 0u);
        for (size_t i = 0; i < AIndexes.size(); ++i)
            ASSERT_TRUE(AHost.BASS_VST_SetParam(h, AIndexes[i], AValues[i]));
        for (qint32 i = 0; i < AHost.BASS_VST_GetParamCount(h); ++i)
            expected.push_back(AHost.BASS_VST_GetParam(h, i));
        manager.StopDSP(0);
        WriteComponentFile(player, AFile);
    }
    TPlayerIni player;
    ReadComponentFile(player, AFile);
    ASSERT_EQ(player.MicDSPList.Count(), 1);
    TDSPItemC &item = player.MicDSPList.Items(0);
    EXPECT_EQ(item.H, 0u);
    EXPECT_EQ(item.Params.size(), qsizetype(expected.size()));
    TDSPManager manager(u"Mic"_s, ASettings);
    manager.DSPList = &player.MicDSPList;
    manager.WorkChannel = AStream;
    manager.StartAllDSPs();
    ASSERT_NE(item.H, 0u);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_FLOAT_EQ(AHost.BASS_VST_GetParam(item.H, qint32(i)), expected[i]) << "param " << i;
    for (size_t i = 0; i < AIndexes.size(); ++i)
        EXPECT_NEAR(AHost.BASS_VST_GetParam(item.H, AIndexes[i]), AValues[i], 0.01);
    manager.StopDSP(0);
}

TEST_F(VstChain, AChainInPlayerIniRestoresTheParametersOfTheTestGain) {
    RoundTripThroughPlayerIni(Host.Host(), TestPlugin("gain"), FDir.filePath(u"player.ini"_s),
                              {0, 1}, {0.3125f, 0.7f}, Settings, FStream);
}

TEST_F(VstChain, AChainInPlayerIniRestoresTheParametersOfAnLSPPlugin) {
    if (!QFile::exists(LspCompressor))
        GTEST_SKIP() << "lsp-plugins-vst is not installed";
    const quint32 h = Host.Host().BASS_VST_ChannelSetDSP(0, LspCompressor, 0, 1);
    const int threshold = ParamIndex(h, "al");
    const int ratio = ParamIndex(h, "cr");
    Host.Host().BASS_VST_ChannelRemoveDSP(0, h);
    ASSERT_GE(threshold, 0);
    ASSERT_GE(ratio, 0);
    RoundTripThroughPlayerIni(Host.Host(), LspCompressor, FDir.filePath(u"player.ini"_s),
                              {threshold, ratio}, {0.4f, 0.6f}, Settings, FStream);
}

// --- Real plug-ins --------------------------------------------------------------------

struct TRealCase {
    QString Path;
    const char *Vendor;
    const char *Effect;
    const char *Param; // a parameter's name
    float Value;       // set to this
    const char *Shown; // it then shows this display text
};

void PrintTo(const TRealCase &ACase, std::ostream *AOut) {
    *AOut << ACase.Path.toStdString();
}

class RealPlugins : public testing::TestWithParam<TRealCase> {};

TEST_P(RealPlugins, NamesAndDisplayTextsComeBack) {
    const TRealCase &c = GetParam();
    if (!QFile::exists(c.Path))
        GTEST_SKIP() << c.Path.toStdString() << " is not installed";
    TVstHost host(u"/bin/true"_s);
    HSTREAM stream = BASS_StreamCreate(44100, 2, FeedOnes, nullptr);
    const quint32 h = host.BASS_VST_ChannelSetDSP(stream, c.Path, BASS_VST_UNICODE, 49);
    ASSERT_NE(h, 0u);
    BASS_VST_INFO info;
    ASSERT_TRUE(host.BASS_VST_GetInfo(h, &info));
    EXPECT_STREQ(info.vendorName, c.Vendor);
    EXPECT_STREQ(info.effectName, c.Effect);
    int index = -1;
    for (qint32 i = 0; i < host.BASS_VST_GetParamCount(h) && index < 0; ++i) {
        BASS_VST_PARAM_INFO param;
        ASSERT_TRUE(host.BASS_VST_GetParamInfo(h, i, &param));
        EXPECT_NE(param.name[0], '\0') << "parameter " << i << " has no name";
        if (std::strcmp(param.name, c.Param) == 0)
            index = i;
    }
    ASSERT_GE(index, 0) << "no parameter " << c.Param;
    ASSERT_TRUE(host.BASS_VST_SetParam(h, index, c.Value));
    BASS_VST_PARAM_INFO param;
    ASSERT_TRUE(host.BASS_VST_GetParamInfo(h, index, &param));
    EXPECT_STREQ(param.display, c.Shown);
    // Audio passes through it.
    std::vector<float> samples(2 * 2048);
    EXPECT_GT(BASS_ChannelGetData(stream, samples.data(), quint32(samples.size() * 4)), 0);
    EXPECT_TRUE(host.BASS_VST_ChannelRemoveDSP(stream, h));
    BASS_StreamFree(stream);
}

INSTANTIATE_TEST_SUITE_P(Debian, RealPlugins,
                         testing::Values(TRealCase{LspCompressor, "LSP VST", "Compressor Stereo",
                                                   "cr", 0.0f, "1.00"},
                                         TRealCase{DpfBitcrush, "DISTRHO", "MaBitcrush",
                                                   "resolution", 0.0f, "1.000000"}),
                         [](const testing::TestParamInfo<TRealCase> &AInfo) {
                             return AInfo.index == 0 ? std::string("LspCompressor")
                                                     : std::string("DpfBitcrush");
                         });

} // namespace
