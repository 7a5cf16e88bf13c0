// The player configuration: creation values, player.ini and its ".bak" copy,
// and a file of the station family that goes through this program unchanged.

#include "station/PlayerIni.h"

#include "StationTestSupport.h"
#include "config/ConfigErrors.h"

#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// A small player.ini whose microphone chain holds one compressor.
const char *const OneCompressorFile = R"(object TPlayerIni
  MicDSPList = <
    item
      T = dspIntegrated
      Params.Strings = (
        '2'
        '-20'
        '4'
        '5'
        '300')
      DispName = 'Compressor'
      PluginType = ptDSP
      State = psActive
      IntDSPKind = dspCompressor
    end>
  VoiceTracksFolder = '\Backup\'
end
)";

void ExpectDefaultDSPList(const TDSPItemsC &AList) {
    ASSERT_EQ(AList.Count(), 2);
    const struct {
        QString Name;
        TIntDSPKind Kind;
    } expected[] = {{u"Equalizer"_s, dspEqualizer}, {u"Compressor"_s, dspCompressor}};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const TDSPItemC &item = AList.Items(i);
        EXPECT_EQ(item.T, dspIntegrated);
        EXPECT_EQ(item.IntDSPKind, expected[i].Kind);
        EXPECT_EQ(item.DispName, expected[i].Name);
        EXPECT_EQ(item.State, psOff);
        EXPECT_EQ(item.PluginType, ptDSP);
        EXPECT_TRUE(item.Params.isEmpty());
        EXPECT_TRUE(item.PluginPath.isEmpty());
    }
}

void ExpectCreationValues(const TPlayerIni &AIni) {
    EXPECT_EQ(AIni.MicDSPList.Count(), 0);
    ExpectDefaultDSPList(AIni.DSPList);
    EXPECT_EQ(AIni.VoiceTracksFolder, u"\\VoiceTracks\\"_s);
    EXPECT_TRUE(AIni.Carried().IsEmpty());
}

TEST(PlayerIni, CreationValues) {
    ExpectCreationValues(TPlayerIni());
}

class PlayerIniFile : public TStationDirsTest {
protected:
    static const QString Name;
    static const QString Backup;
};
const QString PlayerIniFile::Name = u"player.ini"_s;
const QString PlayerIniFile::Backup = u"player.ini.bak"_s;

TEST_F(PlayerIniFile, CreationValuesAsWritten) {
    TMessageCapture messages;
    TPlayerIni().Save();
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(ReadData(Name), CrLf(R"(object TPlayerIni
  MicDSPList = <>
  DSPList = <
    item
      T = dspIntegrated
      DispName = 'Equalizer'
      PluginType = ptDSP
      State = psOff
      IntDSPKind = dspEqualizer
    end
    item
      T = dspIntegrated
      DispName = 'Compressor'
      PluginType = ptDSP
      State = psOff
      IntDSPKind = dspCompressor
    end>
  VoiceTracksFolder = '\VoiceTracks\'
end
)"));
    EXPECT_EQ(ReadData(Backup), ReadData(Name));
}

TEST_F(PlayerIniFile, EmptyCollectionsKeepTheEntriesOfCreation) {
    WriteData(Name, CrLf("object TPlayerIni\n  MicDSPList = <>\n  DSPList = <>\nend\n"));
    TPlayerIni ini;
    ini.MicDSPList.Add().DispName = u"Kept"_s;
    ini.Read();
    ASSERT_EQ(ini.MicDSPList.Count(), 1);
    EXPECT_EQ(ini.MicDSPList.Items(0).DispName, u"Kept"_s);
    ExpectDefaultDSPList(ini.DSPList);
}

TEST_F(PlayerIniFile, StoredChainReplacesTheEntriesWithFreshOnes) {
    WriteData(Name, CrLf(OneCompressorFile));
    TPlayerIni ini;
    TDSPItemC &old = ini.MicDSPList.Add();
    old.H = 42;
    old.PresetName = u"Old"_s;
    ini.Read();

    ASSERT_EQ(ini.MicDSPList.Count(), 1);
    const TDSPItemC &item = ini.MicDSPList.Items(0);
    EXPECT_EQ(item.IntDSPKind, dspCompressor);
    EXPECT_EQ(item.State, psActive); // read, never started
    EXPECT_EQ(item.Params, (QStringList{u"2"_s, u"-20"_s, u"4"_s, u"5"_s, u"300"_s}));
    EXPECT_EQ(item.H, 0u);
    EXPECT_TRUE(item.PresetName.isEmpty());
    EXPECT_EQ(ini.VoiceTracksFolder, u"\\Backup\\"_s);
    ExpectDefaultDSPList(ini.DSPList); // not in the file
}

// What Read finds in the data folder before it reads.
struct TBackupCase {
    const char *Scenario;
    std::optional<QByteArray> File; // none: no player.ini
    std::optional<QByteArray> Bak;  // none: no player.ini.bak
    bool ExpectChain;               // the compressor chain, else creation values
};

TEST_F(PlayerIniFile, BackupCopyStandsInForAMissingOrEmptyFile) {
    const QByteArray chain = CrLf(OneCompressorFile);
    const QByteArray other = CrLf("object TPlayerIni\n  VoiceTracksFolder = '\\Other\\'\nend\n");
    const TBackupCase cases[] = {
        {"zero-length file with a good copy", QByteArray(), chain, true},
        {"missing file with a good copy", std::nullopt, chain, true},
        {"missing file and no copy", std::nullopt, std::nullopt, false},
        {"zero-length file and no copy", QByteArray(), std::nullopt, false},
        {"good file and an older copy", chain, other, true},
    };
    for (const TBackupCase &c : cases) {
        SCOPED_TRACE(c.Scenario);
        QFile::remove(DataFolder() + Name);
        QFile::remove(DataFolder() + Backup);
        if (c.File)
            WriteData(Name, *c.File);
        if (c.Bak)
            WriteData(Backup, *c.Bak);

        TMessageCapture messages;
        TPlayerIni ini;
        ini.Read();
        EXPECT_TRUE(messages.Shown.empty());
        if (c.ExpectChain) {
            ASSERT_EQ(ini.MicDSPList.Count(), 1);
            EXPECT_EQ(ini.MicDSPList.Items(0).IntDSPKind, dspCompressor);
            EXPECT_EQ(ini.VoiceTracksFolder, u"\\Backup\\"_s);
            EXPECT_EQ(ReadData(Name), chain); // restored in place, or left alone
        } else {
            ExpectCreationValues(ini);
        }
        EXPECT_EQ(DataExists(Name), c.File.has_value() || c.Bak.has_value());
        EXPECT_EQ(DataExists(Backup), c.Bak.has_value()); // reading never writes a copy
    }
}

TEST_F(PlayerIniFile, BrokenTextKeepsWhatWasReadBeforeIt) {
    WriteData(Name, CrLf("object TPlayerIni\n"
                         "  VoiceTracksFolder = '\\Read\\'\n"
                         "  MicDSPList = <\n"
                         "    item\n"
                         "      T = dspPlugin\n"
                         "      DispName = 'unterminated\n"));
    TMessageCapture messages;
    TPlayerIni ini;
    ini.Read();
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(ini.VoiceTracksFolder, u"\\Read\\"_s);
    EXPECT_EQ(ini.MicDSPList.Count(), 0);
    ExpectDefaultDSPList(ini.DSPList);
}

TEST_F(PlayerIniFile, FamilyFileGoesThroughUnchanged) {
    const QByteArray sample = StationSample("player.ini");
    ASSERT_FALSE(sample.isEmpty());
    WriteData(Name, sample);

    TMessageCapture messages;
    TPlayerIni ini;
    ini.Read();
    // The main window reads the file a second time; that changes nothing.
    ini.Read();
    ASSERT_EQ(ini.MicDSPList.Count(), 4);
    const TDSPItemC &vst = ini.MicDSPList.Items(2);
    EXPECT_EQ(vst.PluginType, ptVST);
    EXPECT_EQ(vst.PluginPath, u"C:\\Program Files (x86)\\Steinberg\\VstPlugins\\Dynamics "
                              u"Collection\\DeEsser Stereo x64 bridge.dll"_s);
    EXPECT_EQ(vst.Params.size(), 4);
    EXPECT_EQ(ini.MicDSPList.Items(0).PresetName, u"Warm voice"_s);
    EXPECT_EQ(ini.DSPList.Items(0).Params.size(), 12);
    EXPECT_EQ(ini.VoiceTracksFolder, u"\\Voice Tracks\\Morning\\"_s);

    ini.Save();
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(ReadData(Name), sample);
    EXPECT_EQ(ReadData(Backup), sample);
    EXPECT_EQ(DataEntries(), (QStringList{Name, Backup}));
}

TEST_F(PlayerIniFile, ChangedPropertiesAreTheOnlyChangedLines) {
    const QByteArray sample = StationSample("player.ini");
    WriteData(Name, sample);
    TPlayerIni ini;
    ini.Read();
    ini.MicDSPList.Items(1).State = psActive;
    ini.VoiceTracksFolder = u"\\Evening\\"_s;
    ini.Save();

    QByteArray expected = sample;
    const QByteArray compressorOff = "      State = psOff\r\n      IntDSPKind = dspCompressor\r\n"
                                     "    end\r\n    item\r\n      T = dspPlugin";
    ASSERT_EQ(expected.count(compressorOff), 1);
    expected.replace(compressorOff, QByteArray(compressorOff).replace("psOff", "psActive"));
    expected.replace("VoiceTracksFolder = '\\Voice Tracks\\Morning\\'",
                     "VoiceTracksFolder = '\\Evening\\'");
    EXPECT_EQ(ReadData(Name), expected);
}

TEST_F(PlayerIniFile, FailedWriteLeavesFileAndCopyWhole) {
    const QByteArray sample = StationSample("player.ini");
    const QByteArray older = CrLf(OneCompressorFile);
    for (const TWriteStep step : {wsCreate, wsWrite, wsSync, wsRename}) {
        SCOPED_TRACE(step);
        WriteData(Name, sample);
        WriteData(Backup, older);
        TPlayerIni ini;
        ini.Read();
        ini.VoiceTracksFolder = u"\\Lost\\"_s;

        TMessageCapture messages;
        {
            const TWriteFault fault(step, ENOSPC);
            ini.Save();
        }
        ExpectOneError(messages, u"Error saving file (player.ini): "_s);
        EXPECT_TRUE(messages.Shown[0].Text.contains(SystemErrorText(ENOSPC)));
        EXPECT_EQ(ReadData(Name), sample);
        EXPECT_EQ(ReadData(Backup), older);
        EXPECT_EQ(DataEntries(), (QStringList{Name, Backup}));
        EXPECT_EQ(ini.VoiceTracksFolder, u"\\Lost\\"_s); // memory keeps the change
    }
}

TEST_F(PlayerIniFile, SaveIntoReadOnlyFolderIsReported) {
    if (RunsAsRoot())
        GTEST_SKIP() << "root writes into read-only folders";
    const QByteArray sample = StationSample("player.ini");
    WriteData(Name, sample);
    TPlayerIni ini;
    ini.Read();
    ini.VoiceTracksFolder = u"\\Lost\\"_s;

    ASSERT_EQ(::chmod(QFile::encodeName(DataFolder()).constData(), 0555), 0);
    TMessageCapture messages;
    ini.Save();
    ::chmod(QFile::encodeName(DataFolder()).constData(), 0755);

    ExpectOneError(messages, u"Error saving file (player.ini): "_s);
    EXPECT_TRUE(messages.Shown[0].Text.contains(SystemErrorText(EACCES)));
    EXPECT_EQ(ReadData(Name), sample);
    EXPECT_FALSE(DataExists(Backup));
}

TEST_F(PlayerIniFile, RefusedBackupCopyIsReportedAndTheFileStays) {
    WriteData(Backup, CrLf(OneCompressorFile));
    SetWriteFaultHook([](TWriteStep AStep, const QString &APath) {
        return AStep == wsCreate && APath.endsWith(u".bak"_s) ? EACCES : 0;
    });
    TMessageCapture messages;
    TPlayerIni().Save();
    SetWriteFaultHook(nullptr);

    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_TRUE(messages.Shown[0].Text.startsWith(u"Copy failed: "_s + DataFolder() + Backup))
        << messages.Shown[0].Text.toStdString();
    EXPECT_TRUE(messages.Shown[0].Caption.isEmpty());
    TPlayerIni written;
    written.Read();
    ExpectCreationValues(written);
    EXPECT_EQ(ReadData(Backup), CrLf(OneCompressorFile));
}

} // namespace
