// The catalogue of available processors over real folders of plug-in files:
// the VST scan through the real helper (counted by a logging wrapper), its
// cache across starts, its messages, the Winamp listing and the folder rules.

#include "vst/PluginCatalogue.h"

#include "chain/DSPManager.h"
#include "config/ConfigTestSupport.h"
#include "core/MessageBox.h"
#include "station/SystemIni.h"
#include "vst/VstHost.h"
#include "vst/VstScanCache.h"
#include "vst/VstScanSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QStringList Names(const TDSPItemsC &AList) {
    QStringList names;
    for (int i = 0; i < AList.Count(); ++i)
        names << AList.Items(i).DispName;
    return names;
}

QStringList Texts(const std::vector<TShownMessage> &AShown) {
    QStringList texts;
    for (const TShownMessage &shown : AShown)
        texts << shown.Text;
    return texts;
}

class PluginCatalogueTest : public testing::Test {
protected:
    PluginCatalogueTest()
        : FData(FDir.filePath(u"data"_s)), FWinamp(FDir.filePath(u"Plugins"_s)),
          FVst(FDir.filePath(u"vst"_s)), FHelper(FDir.path()) {
        QDir().mkpath(FData);
        QDir().mkpath(FVst);
        FSettings.AllowVstPlugins = true;
        FSettings.VSTFolder = QStringList{FVst};
        FPrevious = SetPluginHost(&FHost);
    }
    ~PluginCatalogueTest() override { SetPluginHost(FPrevious); }

    // A catalogue as a fresh start of the program has it.
    std::unique_ptr<TPluginCatalogue> Start(const QString &AScanner = QString()) {
        auto catalogue = std::make_unique<TPluginCatalogue>();
        catalogue->InitPlugins(&FSettings, FData, FWinamp,
                               AScanner.isEmpty() ? FHelper.Program() : AScanner);
        catalogue->ProbeTimeLimit = std::chrono::milliseconds(1000);
        return catalogue;
    }

    QStringList VSTNames(const TPluginCatalogue &ACatalogue) const {
        QStringList names;
        if (ACatalogue.VSTPlugins())
            for (const TPluginItem &item : *ACatalogue.VSTPlugins())
                names << item.DisplayName;
        return names;
    }

    static void Touch(const QString &APath) {
        // A new time, not merely a later one: the file system's clock may be
        // coarser than the test.
        const timespec times[2] = {{0, UTIME_OMIT}, {1500000000, 1}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(APath).constData(), times, 0), 0);
    }

    QTemporaryDir FDir;
    QString FData;
    QString FWinamp;
    QString FVst;
    TLoggingHelper FHelper;
    TSystemIniBase FSettings;
    TVstHost FHost{FHelper.Program()};
    TPluginHost *FPrevious = nullptr;
    TMessageCapture FMessages;
};

TEST_F(PluginCatalogueTest, WithBothKindsOffOnlyTheThreeBuiltInsAreOffered) {
    FSettings.AllowVstPlugins = false;
    FSettings.AllowWinampPlugins = false;
    CopyTestPlugin(u"gain"_s, FVst);
    auto catalogue = Start();
    const std::unique_ptr<TDSPItemsC> list = catalogue->BuildAvailableDSPList();
    ASSERT_EQ(Names(*list), (QStringList{u"Equalizer"_s, u"Compressor"_s, u"Gain"_s}));
    const TIntDSPKind kinds[] = {dspEqualizer, dspCompressor, dspGain};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->Items(i).T, dspIntegrated);
        EXPECT_EQ(list->Items(i).IntDSPKind, kinds[i]);
    }
    EXPECT_TRUE(FHelper.Probed().isEmpty());
    EXPECT_TRUE(FMessages.Shown.empty());
}

TEST_F(PluginCatalogueTest, ListsEveryEffectBelowTheFolderAndReportsTheBrokenOnes) {
    CopyTestPlugin(u"gain"_s, FVst);
    CopyTestPlugin(u"crash"_s, FVst);
    CopyTestPlugin(u"null-effect"_s, FVst);
    CopyTestPlugin(u"no-entry"_s, FVst);
    CopyTestPlugin(u"editor"_s, FVst + u"/deeper/still"_s);
    CopyTestPlugin(u"mono"_s, FVst + u"/a-first"_s);
    QFile::copy(TestPlugin(u"gain"_s), FVst + u"/not-a-plugin.dll"_s);
    auto catalogue = Start();
    const std::unique_ptr<TDSPItemsC> list = catalogue->BuildAvailableDSPList();

    // Sorted by path; the name in brackets is the file name alone.
    EXPECT_EQ(Names(*list), (QStringList{u"Equalizer"_s, u"Compressor"_s, u"Gain"_s,
                                         u"(VST) Vocarra Tests Test Gain [test-mono.so]"_s,
                                         u"(VST) Vocarra Tests Test Gain [test-editor.so]"_s,
                                         u"(VST) Vocarra Tests Test Gain [test-gain.so]"_s}));
    const TDSPItemC &gain = list->Items(5);
    EXPECT_EQ(gain.T, dspPlugin);
    EXPECT_EQ(gain.PluginType, ptVST);
    EXPECT_EQ(gain.PluginPath, FVst + u"/test-gain.so"_s);
    EXPECT_EQ(gain.H, 0u);
    EXPECT_EQ(list->Items(4).PluginPath, FVst + u"/deeper/still/test-editor.so"_s);

    ASSERT_EQ(FMessages.Shown.size(), 1u) << Texts(FMessages.Shown).join(u'\n').toStdString();
    EXPECT_EQ(FMessages.Shown[0].Text,
              u"Error loading VST plugin (test-crash.so): crashed with signal 11 (SIGSEGV) h=0"_s);
    EXPECT_EQ(FMessages.Shown[0].Caption, u"Error"_s);
    EXPECT_EQ(FMessages.Shown[0].Flags, mbIconError);
    EXPECT_EQ(FHelper.Probed().size(), 6) << "every .so once, nothing else";

    const TVstProbeInfo *info = catalogue->VSTInfo(FVst + u"/deeper/still/test-editor.so"_s);
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->HasEditor);
}

TEST_F(PluginCatalogueTest, ASecondStartListsFromTheCacheWithoutProbing) {
    CopyTestPlugin(u"gain"_s, FVst);
    CopyTestPlugin(u"crash"_s, FVst);
    CopyTestPlugin(u"null-effect"_s, FVst);
    auto first = Start();
    first->LoadVSTPlugins();
    ASSERT_EQ(FHelper.Probed().size(), 3);
    EXPECT_TRUE(QFile::exists(FData + u"/"_s + TVstScanCache::FileName));
    const QStringList firstMessages = Texts(FMessages.Shown);
    FMessages.Shown.clear();

    auto second = Start();
    second->LoadVSTPlugins();
    EXPECT_EQ(FHelper.Probed().size(), 3) << "no probe on an unchanged folder";
    EXPECT_EQ(second->LastProbeCount(), 0);
    EXPECT_EQ(VSTNames(*second), VSTNames(*first));
    // The crashed one is reported again, from the cache, without being run.
    EXPECT_EQ(Texts(FMessages.Shown), firstMessages);
    ASSERT_EQ(firstMessages.size(), 1);
}

TEST_F(PluginCatalogueTest, AChangedFileIsProbedAgain) {
    const QString gain = CopyTestPlugin(u"gain"_s, FVst);
    CopyTestPlugin(u"mono"_s, FVst);
    Start()->LoadVSTPlugins();
    ASSERT_EQ(FHelper.Probed().size(), 2);

    Touch(gain);
    auto again = Start();
    again->LoadVSTPlugins();
    // The first scan's probes ran at once, in either order; the touched file
    // is the one probed since.
    ASSERT_EQ(FHelper.Probed().size(), 3);
    EXPECT_EQ(FHelper.Probed().last(), FVst + u"/test-gain.so"_s);
    EXPECT_EQ(again->LastProbeCount(), 1);

    // A file replaced by another plug-in under the same name: new size.
    CopyTestPlugin(u"params150"_s, FVst, u"test-mono.so"_s);
    auto third = Start();
    third->LoadVSTPlugins();
    EXPECT_EQ(third->LastProbeCount(), 1);
    ASSERT_NE(third->VSTInfo(FVst + u"/test-mono.so"_s), nullptr);
    EXPECT_EQ(third->VSTInfo(FVst + u"/test-mono.so"_s)->NumParams, 150);
}

TEST_F(PluginCatalogueTest, AHangIsReportedAndProbedAgainNextTime) {
    CopyTestPlugin(u"hang"_s, FVst);
    CopyTestPlugin(u"gain"_s, FVst);
    auto first = Start();
    first->LoadVSTPlugins();
    EXPECT_EQ(VSTNames(*first), QStringList{u"(VST) Vocarra Tests Test Gain [test-gain.so]"_s});
    EXPECT_EQ(
        Texts(FMessages.Shown),
        QStringList{u"Error loading VST plugin (test-hang.so): did not answer within 1 s h=0"_s});

    // Running out of time may have been the machine's doing: no verdict kept.
    auto second = Start();
    second->LoadVSTPlugins();
    EXPECT_EQ(second->LastProbeCount(), 1);
    EXPECT_EQ(FHelper.Probed().last(), FVst + u"/test-hang.so"_s);
}

TEST_F(PluginCatalogueTest, TheListIsBuiltOnceUntilDiscarded) {
    CopyTestPlugin(u"gain"_s, FVst);
    auto catalogue = Start();
    catalogue->LoadVSTPlugins();
    CopyTestPlugin(u"mono"_s, FVst);
    catalogue->LoadVSTPlugins();
    EXPECT_EQ(VSTNames(*catalogue).size(), 1) << "no rescan while the list exists";
    catalogue->DiscardVSTPlugins();
    catalogue->LoadVSTPlugins();
    EXPECT_EQ(VSTNames(*catalogue).size(), 2);
}

TEST_F(PluginCatalogueTest, SwitchingVstOffStopsTheVstEntriesOfEveryChainAndDropsTheList) {
    CopyTestPlugin(u"gain"_s, FVst);
    auto catalogue = Start();
    catalogue->LoadVSTPlugins();
    ASSERT_TRUE(catalogue->VSTPlugins().has_value());

    TDSPItemsC chain;
    TDSPItemC &vst = chain.Add();
    vst.T = dspPlugin;
    vst.PluginType = ptVST;
    vst.PluginPath = FVst + u"/test-gain.so"_s;
    chain.Add().T = dspIntegrated;
    TDSPManager first(u"Mic"_s, FSettings);
    TDSPManager second(u"Other"_s, FSettings);
    std::vector<QString> stopped;
    for (TDSPManager *manager : {&first, &second}) {
        manager->DSPList = &chain;
        manager->OnChange = [&](TDSPManager *ASender) { stopped.push_back(ASender->Name); };
    }
    FSettings.AllowVstPlugins = false;
    catalogue->LoadVSTPlugins();
    EXPECT_FALSE(catalogue->VSTPlugins().has_value());
    // One VST entry per chain, stopped in the order the managers were made.
    EXPECT_EQ(stopped, (std::vector<QString>{u"Mic"_s, u"Other"_s}));
}

struct TBridgeCase {
    const char *Name;
    bool Exists;
    bool Executable;
};

void PrintTo(const TBridgeCase &ACase, std::ostream *AStream) {
    *AStream << ACase.Name;
}

class BridgeLoadErrors : public PluginCatalogueTest,
                         public testing::WithParamInterface<TBridgeCase> {};

TEST_P(BridgeLoadErrors, AHelperThatCannotRunGivesTheBridgeLoadError) {
    CopyTestPlugin(u"gain"_s, FVst);
    const QString helper = FDir.filePath(u"vocarra-vstscan"_s);
    if (GetParam().Exists) {
        ASSERT_TRUE(QFile::copy(ScanHelper(), helper));
        QFile::setPermissions(helper, GetParam().Executable
                                          ? QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                          : QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    TVstHost host(helper);
    SetPluginHost(&host);
    auto catalogue = Start(helper);
    catalogue->LoadVSTPlugins();
    if (GetParam().Executable) {
        EXPECT_EQ(VSTNames(*catalogue).size(), 1);
        EXPECT_TRUE(FMessages.Shown.empty());
    } else {
        ASSERT_EQ(Texts(FMessages.Shown), QStringList{u"VST bridge load error"_s});
        EXPECT_EQ(FMessages.Shown[0].Caption, u"Error"_s);
        EXPECT_EQ(FMessages.Shown[0].Flags, mbIconError);
        EXPECT_TRUE(catalogue->VSTPlugins().has_value());
        EXPECT_TRUE(catalogue->VSTPlugins()->empty());
        // The empty list stays: no second try, no second message.
        catalogue->LoadVSTPlugins();
        EXPECT_EQ(FMessages.Shown.size(), 1u);
    }
    SetPluginHost(&FHost);
}

INSTANTIATE_TEST_SUITE_P(Helper, BridgeLoadErrors,
                         testing::Values(TBridgeCase{"missing", false, false},
                                         TBridgeCase{"not_executable", true, false},
                                         TBridgeCase{"executable", true, true}),
                         [](const auto &AInfo) { return std::string(AInfo.param.Name); });

TEST_F(PluginCatalogueTest, AHostWithoutTheBridgeGivesTheBridgeLoadError) {
    SetPluginHost(nullptr);
    CopyTestPlugin(u"gain"_s, FVst);
    auto catalogue = Start();
    catalogue->LoadVSTPlugins();
    EXPECT_EQ(Texts(FMessages.Shown), QStringList{u"VST bridge load error"_s});
    EXPECT_TRUE(FHelper.Probed().isEmpty());
}

TEST_F(PluginCatalogueTest, AFolderThatDoesNotExistListsNothingAndSaysSoOnce) {
    FSettings.VSTFolder = QStringList{FDir.filePath(u"no-such-folder"_s)};
    auto catalogue = Start();
    const std::unique_ptr<TDSPItemsC> list = catalogue->BuildAvailableDSPList();
    EXPECT_EQ(list->Count(), 3);
    ASSERT_EQ(FMessages.Shown.size(), 1u);
    EXPECT_TRUE(FMessages.Shown[0].Text.contains(u"no-such-folder"_s));
    catalogue->BuildAvailableDSPList();
    EXPECT_EQ(FMessages.Shown.size(), 1u);
}

TEST_F(PluginCatalogueTest, WinampPluginsAreListedWithoutAHandle) {
    FSettings.AllowVstPlugins = false;
    FSettings.AllowWinampPlugins = true;
    QDir().mkpath(FWinamp + u"/dsp_folder.dll"_s);
    for (const QString &name :
         {u"dsp_stereo.dll"_s, u"DSP_Loud.DLL"_s, u"other.dll"_s, u"dsp_x.so"_s})
        QFile::copy(TestPlugin(u"gain"_s), FWinamp + u'/' + name);
    auto catalogue = Start();
    const std::unique_ptr<TDSPItemsC> list = catalogue->BuildAvailableDSPList();
    ASSERT_EQ(Names(*list),
              (QStringList{u"Equalizer"_s, u"Compressor"_s, u"Gain"_s,
                           u"(DSP) (not available on this system) [DSP_Loud.DLL]"_s,
                           u"(DSP) (not available on this system) [dsp_stereo.dll]"_s}));
    EXPECT_EQ(list->Items(4).PluginPath, u"dsp_stereo.dll"_s) << "the file name only";
    EXPECT_EQ(list->Items(4).PluginType, ptDSP);
    EXPECT_EQ(list->Items(4).H, 0u);
    EXPECT_TRUE(FMessages.Shown.empty());

    FSettings.AllowWinampPlugins = false;
    catalogue->LoadWinampPlugins();
    EXPECT_FALSE(catalogue->WinampPlugins().has_value());
}

TEST_F(PluginCatalogueTest, TheCatalogueHasBuiltInsThenWinampThenVst) {
    FSettings.AllowWinampPlugins = true;
    QDir().mkpath(FWinamp);
    QFile::copy(TestPlugin(u"gain"_s), FWinamp + u"/dsp_a.dll"_s);
    CopyTestPlugin(u"gain"_s, FVst);
    auto catalogue = Start();
    EXPECT_EQ(Names(*catalogue->BuildAvailableDSPList()),
              (QStringList{u"Equalizer"_s, u"Compressor"_s, u"Gain"_s,
                           u"(DSP) (not available on this system) [dsp_a.dll]"_s,
                           u"(VST) Vocarra Tests Test Gain [test-gain.so]"_s}));
}

TEST_F(PluginCatalogueTest, TheFoldersOfTheHost) {
    auto catalogue = Start();
    EXPECT_EQ(catalogue->GetPluginFolder(), FWinamp + u'/');
    EXPECT_EQ(catalogue->GetEqPresetFolder(), FData + u"/Presets/Equalizer/"_s);
    EXPECT_EQ(catalogue->GetCompressorPresetFolder(), FData + u"/Presets/Compressor/"_s);
}

TEST_F(PluginCatalogueTest, AStoredFolderInWindowsFormIsScanned) {
    CopyTestPlugin(u"gain"_s, FVst + u"/sub"_s);
    QString stored = FVst + u"\\sub"_s;
    FSettings.VSTFolder = QStringList{u"  "_s + stored + u"  "_s};
    auto catalogue = Start();
    catalogue->LoadVSTPlugins();
    EXPECT_EQ(VSTNames(*catalogue), QStringList{u"(VST) Vocarra Tests Test Gain [test-gain.so]"_s});
    ASSERT_EQ(catalogue->VSTPlugins()->size(), 1u);
    EXPECT_EQ(catalogue->VSTPlugins()->at(0).Path, FVst + u"/sub/test-gain.so"_s);
}

struct TFolderCase {
    QStringList Stored;
    QString Text;
    QString Native;
};

void PrintTo(const TFolderCase &ACase, std::ostream *AStream) {
    *AStream << '"' << ACase.Stored.join(u'|').toStdString() << '"';
}

class VSTFolderRules : public testing::TestWithParam<TFolderCase> {};

TEST_P(VSTFolderRules, TrimmedWithATrailingSeparator) {
    TSystemIniBase settings;
    settings.VSTFolder = GetParam().Stored;
    EXPECT_EQ(VSTFolderText(settings), GetParam().Text);
    EXPECT_EQ(NativeVSTFolder(settings), GetParam().Native);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VSTFolderRules,
    testing::Values(TFolderCase{{u"/usr/lib/vst/"_s}, u"/usr/lib/vst/"_s, u"/usr/lib/vst/"_s},
                    TFolderCase{{u"  /opt/vst  "_s}, u"/opt/vst\\"_s, u"/opt/vst/"_s},
                    TFolderCase{{u"\\srv\\vst"_s}, u"\\srv\\vst\\"_s, u"/srv/vst/"_s},
                    TFolderCase{{u"/srv/vst\\"_s}, u"/srv/vst\\"_s, u"/srv/vst/"_s},
                    TFolderCase{{}, QString(), QString()},
                    TFolderCase{{u"   "_s}, QString(), QString()}),
    [](const testing::TestParamInfo<TFolderCase> &AInfo) {
        return "Case" + std::to_string(AInfo.index);
    });

TEST(ListFiles, AppendsMatchingFileNamesWithoutTheFolder) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(u"dsp_folder.dll"_s));
    for (const QString &name : {u"dsp_b.dll"_s, u"dsp_a.dll"_s, u"readme.txt"_s})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    QStringList list{u"kept"_s};
    ListFiles(dir.path(), u"dsp_*.dll"_s, list);
    EXPECT_EQ(list, (QStringList{u"kept"_s, u"dsp_a.dll"_s, u"dsp_b.dll"_s}));
    ListFiles(dir.filePath(u"missing"_s), u"*"_s, list);
    EXPECT_EQ(list.size(), 3);
}

TEST(ListVSTFiles, DoesNotFollowALinkedFolderIntoALoop) {
    QTemporaryDir dir;
    CopyTestPlugin(u"gain"_s, dir.filePath(u"a"_s));
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath(u"a/loop"_s)));
    ASSERT_TRUE(QFile::link(dir.filePath(u"a/test-gain.so"_s), dir.filePath(u"linked.so"_s)));
    std::vector<QString> files;
    ASSERT_TRUE(ListVSTFiles(dir.path(), files));
    EXPECT_EQ(files, (std::vector<QString>{dir.filePath(u"a/test-gain.so"_s),
                                           dir.filePath(u"linked.so"_s)}));
    EXPECT_FALSE(ListVSTFiles(dir.filePath(u"missing"_s), files));
}

// --- Debian's real plug-ins -------------------------------------------------------

struct TRealCase {
    const char *Folder;
    const char *File;
    const char *Vendor;
};

void PrintTo(const TRealCase &ACase, std::ostream *AStream) {
    *AStream << ACase.Folder << ACase.File;
}

class RealPlugins : public PluginCatalogueTest, public testing::WithParamInterface<TRealCase> {};

TEST_P(RealPlugins, AreListedWithTheirVendorAndEffectNames) {
    const QString folder = QString::fromLatin1(GetParam().Folder);
    const QString file = folder + QString::fromLatin1(GetParam().File);
    if (!QFile::exists(file))
        GTEST_SKIP() << file.toStdString() << " is not installed";
    FSettings.VSTFolder = QStringList{folder};
    auto catalogue = Start(ScanHelper());
    catalogue->ProbeTimeLimit = VstProbeTimeLimit;
    catalogue->LoadVSTPlugins();
    ASSERT_TRUE(catalogue->VSTPlugins().has_value());
    const TVstProbeInfo *info = catalogue->VSTInfo(file);
    ASSERT_NE(info, nullptr) << Texts(FMessages.Shown).join(u'\n').toStdString();
    EXPECT_EQ(info->Vendor, QString::fromLatin1(GetParam().Vendor));
    EXPECT_FALSE(info->Effect.isEmpty());
    for (const TPluginItem &item : *catalogue->VSTPlugins()) {
        SCOPED_TRACE(item.DisplayName.toStdString());
        EXPECT_TRUE(item.DisplayName.startsWith(u"(VST) "_s));
        EXPECT_TRUE(item.DisplayName.endsWith(u".so]"_s));
        EXPECT_FALSE(catalogue->VSTInfo(item.Path)->Vendor.isEmpty());
        EXPECT_FALSE(catalogue->VSTInfo(item.Path)->Effect.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Debian, RealPlugins,
                         testing::Values(TRealCase{"/usr/lib/vst/lsp-plugins/",
                                                   "compressor-mono.so", "LSP VST"},
                                         TRealCase{"/usr/lib/vst/", "3BandEQ-vst.so", "DISTRHO"}),
                         [](const auto &AInfo) {
                             return std::string(std::string_view(AInfo.param.Folder).find("lsp") !=
                                                        std::string_view::npos
                                                    ? "Lsp"
                                                    : "Dpf");
                         });

} // namespace
