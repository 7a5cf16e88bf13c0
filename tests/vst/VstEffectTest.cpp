// Effects loaded into the test process: what each kind of library gives, the
// bounds on what a plug-in answers, and audio through a real effect.

#include "vst/VstEffect.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QString TestPlugin(const char *AName) {
    return QStringLiteral(VOCARRA_TEST_PLUGINS "/test-%1.so").arg(QLatin1StringView(AName));
}

std::unique_ptr<TVstEffect> LoadOk(const QString &APath) {
    TVstLoadResult result = vlOk;
    QString error;
    auto effect = TVstEffect::Load(APath, 48000, result, error);
    EXPECT_EQ(result, vlOk) << error.toStdString();
    return effect;
}

struct TLoadCase {
    const char *Plugin;
    TVstLoadResult Result;
};

class LoadResults : public testing::TestWithParam<TLoadCase> {};

TEST_P(LoadResults, EachKindOfLibraryGivesItsResult) {
    TVstLoadResult result = vlOk;
    QString error;
    auto effect = TVstEffect::Load(TestPlugin(GetParam().Plugin), 48000, result, error);
    EXPECT_EQ(result, GetParam().Result) << error.toStdString();
    EXPECT_EQ(effect != nullptr, GetParam().Result == vlOk);
}

INSTANTIATE_TEST_SUITE_P(TestPlugins, LoadResults,
                         testing::Values(TLoadCase{"gain", vlOk}, TLoadCase{"old-entry", vlOk},
                                         TLoadCase{"no-entry", vlNoEntry},
                                         TLoadCase{"null-effect", vlNullEffect},
                                         TLoadCase{"bad-magic", vlBadEffect}));

TEST(VstEffect, AFileThatIsNoLibraryCannotBeOpenedAndSaysWhy) {
    TVstLoadResult result = vlOk;
    QString error;
    EXPECT_EQ(TVstEffect::Load(u"/nonexistent/plugin.so"_s, 48000, result, error), nullptr);
    EXPECT_EQ(result, vlCannotOpen);
    EXPECT_FALSE(error.isEmpty());
}

TEST(VstEffect, NamesParametersAndDisplayTexts) {
    auto effect = LoadOk(TestPlugin("gain"));
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->VendorName(), "Vocarra Tests");
    EXPECT_EQ(effect->EffectName(), "Test Gain");
    EXPECT_EQ(effect->NumParams(), 2);
    EXPECT_EQ(effect->ParamName(0), "Gain");
    EXPECT_EQ(effect->ParamLabel(0), "dB");
    EXPECT_FLOAT_EQ(effect->Param(0), 0.5f);
    effect->SetParam(0, 0.375f);
    EXPECT_EQ(effect->ParamDisplay(0), "-6.0");
    // Outside the format's range: clamped before the plug-in sees it.
    effect->SetParam(0, 3.0f);
    EXPECT_FLOAT_EQ(effect->Param(0), 1.0f);
    effect->SetParam(0, -1.0f);
    EXPECT_FLOAT_EQ(effect->Param(0), 0.0f);
    EXPECT_EQ(effect->ParamName(2), QByteArray());
    EXPECT_FALSE(effect->HasEditor());
}

TEST(VstEffect, GarbageAnswersAreBounded) {
    auto effect = LoadOk(TestPlugin("garbage"));
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->NumParams(), VstMaxParams);
    EXPECT_EQ(effect->ParamName(0).size(), VstMaxText);
    EXPECT_EQ(effect->EffectName().size(), VstMaxText);
    EXPECT_EQ(effect->Param(0), 0.0f); // NaN
    EXPECT_EQ(effect->Param(1), 1.0f); // 7.5
    int width = 0;
    int height = 0;
    EXPECT_FALSE(effect->EditorSize(width, height));
    int askedWidth = 0;
    int askedHeight = 0;
    effect->OnSizeWindow = [&](int AWidth, int AHeight) {
        askedWidth = AWidth;
        askedHeight = AHeight;
    };
    EXPECT_TRUE(effect->OpenEditor(1));
    EXPECT_EQ(askedWidth, VstMaxEditorSide);
    EXPECT_EQ(askedHeight, VstMaxEditorSide);
    effect->CloseEditor();
}

TEST(VstEffect, ProcessesPlanarAudio) {
    auto effect = LoadOk(TestPlugin("gain"));
    ASSERT_NE(effect, nullptr);
    effect->SetParam(0, 0.375f); // -6 dB
    effect->Start(48000, 256);
    std::vector<float> left(256, 1.0f), right(256, -0.5f), outLeft(256), outRight(256);
    float *inputs[] = {left.data(), right.data()};
    float *outputs[] = {outLeft.data(), outRight.data()};
    effect->Process(inputs, outputs, 256);
    EXPECT_NEAR(outLeft[100], 0.501187f, 1e-5f);
    EXPECT_NEAR(outRight[255], -0.250594f, 1e-5f);
    effect->Stop();
}

TEST(VstEffect, RealPluginsLoadWithTheirNames) {
    const QString lsp = u"/usr/lib/vst/lsp-plugins/compressor-stereo.so"_s;
    const QString dpf = u"/usr/lib/vst/3BandEQ-vst.so"_s;
    if (!QFileInfo::exists(lsp) || !QFileInfo::exists(dpf))
        GTEST_SKIP() << "lsp-plugins-vst and dpf-plugins-vst are not installed";
    for (const QString &path : {lsp, dpf}) {
        SCOPED_TRACE(path.toStdString());
        auto effect = LoadOk(path);
        ASSERT_NE(effect, nullptr);
        EXPECT_FALSE(effect->EffectName().isEmpty());
        EXPECT_FALSE(effect->VendorName().isEmpty());
        EXPECT_GT(effect->NumParams(), 0);
        EXPECT_FALSE(effect->ParamName(0).isEmpty());
    }
}

} // namespace
