// Saving a shared station file while another station program may rewrite it:
// a session that changed nothing leaves the file alone, and one that changed
// something puts only its changed properties over the file's current text.

#include "StationTestSupport.h"
#include "config/ComponentText.h"
#include "station/PlayerIni.h"
#include "station/SystemIni.h"

#include <QDateTime>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class StationSave : public TStationDirsTest {
protected:
    const QString Name = u"system.ini"_s;

    // Puts the file's modification time well into the past, so that a rewrite
    // within the same second still shows.
    void AgeFile(const QString &AName) const {
        QFile file(DataFolder() + AName);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-3),
                                     QFileDevice::FileModificationTime));
    }
    QDateTime Modified(const QString &AName) const {
        return QFileInfo(DataFolder() + AName).fileTime(QFileDevice::FileModificationTime);
    }
};

TEST_F(StationSave, UnchangedSessionLeavesTheFileUntouched) {
    // The family's own file, and one this program wrote itself.
    for (const bool ownFile : {false, true}) {
        SCOPED_TRACE(ownFile);
        QFile::remove(DataFolder() + Name);
        QByteArray sample = StationSample("system.ini");
        if (ownFile) {
            // Without a file the first close writes one.
            TSystemIni first;
            first.Read();
            first.Save();
            sample = ReadData(Name);
            ASSERT_FALSE(sample.isEmpty());
        }
        WriteData(Name, sample);
        AgeFile(Name);
        const QDateTime before = Modified(Name);

        TMessageCapture messages;
        TSystemIni ini;
        ini.Read();
        ini.Save(); // the settings dialog's OK without a change
        ini.Save(); // the window's close
        EXPECT_TRUE(messages.Shown.empty());
        EXPECT_EQ(ReadData(Name), sample);
        EXPECT_EQ(Modified(Name), before);
    }
}

TEST_F(StationSave, UnchangedSessionKeepsAnotherProgramsChange) {
    const QByteArray sample = StationSample("system.ini");
    WriteData(Name, sample);
    TSystemIni ini;
    ini.Read();
    QByteArray theirs = sample;
    theirs.replace("  BandsNum = 12\r\n", "  BandsNum = 7\r\n");
    WriteData(Name, theirs);
    ini.Save();
    EXPECT_EQ(ReadData(Name), theirs);
}

struct TMergeCase {
    const char *Scenario;
    // What another program does to the file while this session runs; an
    // empty result deletes the file.
    std::function<QByteArray(QByteArray)> Theirs;
    std::function<void(TSystemIni &)> Ours;
    std::vector<std::string> Expected;   // lines the saved file holds
    std::vector<std::string> Unexpected; // lines it must not hold
};

TEST_F(StationSave, ChangedPropertiesGoOverTheCurrentFile) {
    const std::vector<TMergeCase> cases = {
        {"different properties: both survive",
         [](QByteArray AText) {
             return AText.replace("  BandsNum = 12\r\n", "  BandsNum = 7\r\n")
                 .replace("  ProxyPort = 3128\r\n", "  ProxyPort = 8080\r\n");
         },
         [](TSystemIni &AIni) { AIni.AllowVstPlugins = false; },
         {"  BandsNum = 7\r\n", "  ProxyPort = 8080\r\n", "  AllowVstPlugins = False\r\n"},
         {"  BandsNum = 12\r\n", "  ProxyPort = 3128\r\n", "  AllowVstPlugins = True\r\n"}},
        {"the same property: ours wins",
         [](QByteArray AText) { return AText.replace("  EQRange = 12\r\n", "  EQRange = 8\r\n"); },
         [](TSystemIni &AIni) { AIni.EQRange = 20; },
         {"  EQRange = 20\r\n"},
         {"  EQRange = 8\r\n", "  EQRange = 12\r\n"}},
        {"a property they added and one we emptied",
         [](QByteArray AText) {
             return AText.replace("  LangDir = 'De'\r\n", "  LangDir = 'De'\r\n  NewThing = 5\r\n");
         },
         [](TSystemIni &AIni) { AIni.VSTSkipSettings.clear(); },
         {"  LangDir = 'De'\r\n  NewThing = 5\r\n"},
         {"  VSTSkipSettings"}},
        {"the file deleted meanwhile: ours is written",
         [](QByteArray) { return QByteArray(); },
         [](TSystemIni &AIni) { AIni.BandsNum = 3; },
         {"  BandsNum = 3\r\n", "  ProxyPort = 3128\r\n"},
         {}},
    };
    const QByteArray sample = StationSample("system.ini");
    for (const TMergeCase &c : cases) {
        SCOPED_TRACE(c.Scenario);
        QFile::remove(DataFolder() + Name + u".bak"_s);
        WriteData(Name, sample);
        TSystemIni ini;
        ini.Read();
        const QByteArray theirs = c.Theirs(sample);
        if (theirs.isEmpty())
            QFile::remove(DataFolder() + Name);
        else
            WriteData(Name, theirs);
        c.Ours(ini);

        TMessageCapture messages;
        ini.Save();
        EXPECT_TRUE(messages.Shown.empty());
        const QByteArray saved = ReadData(Name);
        for (const std::string &line : c.Expected)
            EXPECT_TRUE(saved.contains(line.c_str())) << line;
        for (const std::string &line : c.Unexpected)
            EXPECT_FALSE(saved.contains(line.c_str())) << line;
        EXPECT_EQ(ReadData(Name + u".bak"_s), saved);
        // Everything else stays as the other program wrote it.
        if (!theirs.isEmpty()) {
            EXPECT_TRUE(saved.contains("  ProxyHost = 'proxy.lodz.example.org'\r\n"));
            EXPECT_TRUE(saved.contains("  NormalizeMode = nmLoudness\r\n"));
            EXPECT_TRUE(saved.startsWith("object TSystemIni\r\n"));
            EXPECT_TRUE(saved.endsWith("\r\nend\r\n"));
        }
    }
}

TEST_F(StationSave, ALaterSaveKeepsWhatTheOtherProgramChanged) {
    // The settings dialog's OK merges once; the close that follows must not
    // put this session's older values back over the other program's.
    const QByteArray sample = StationSample("system.ini");
    WriteData(Name, sample);
    TSystemIni ini;
    ini.Read();
    QByteArray theirs = sample;
    WriteData(Name, theirs.replace("  BandsNum = 12\r\n", "  BandsNum = 7\r\n"));
    ini.EQRange = 20;
    ini.Save();
    ini.ScreenReaderMode = true;
    ini.Save();
    const QByteArray saved = ReadData(Name);
    EXPECT_TRUE(saved.contains("  BandsNum = 7\r\n"));
    EXPECT_TRUE(saved.contains("  EQRange = 20\r\n"));
    EXPECT_TRUE(saved.contains("  ScreenReaderMode = True\r\n"));
}

TEST_F(StationSave, AnotherDataFolderIsWrittenWhole) {
    const QByteArray sample = StationSample("system.ini");
    WriteData(Name, sample);
    TSystemIni ini;
    ini.Read();
    ASSERT_TRUE(QDir().mkpath(Path(u"other"_s)));
    SetProcessDirs({ExeFolder(), QString(), Path(u"other/"_s)});
    ini.Save();
    EXPECT_EQ(ReadBytes(u"other/system.ini"_s), sample);
}

TEST_F(StationSave, AFileThatDidNotParseIsWrittenWhole) {
    WriteData(Name, "object TSystemIni\r\n  BandsNum = 12\r\n  EQBands = <\r\n");
    TSystemIni ini;
    ini.Read();
    ini.Save();
    EXPECT_EQ(ReadData(Name), ComponentToText(ini));
}

TEST_F(StationSave, PlayerFileFollowsTheSameRules) {
    const QByteArray sample = StationSample("player.ini");
    WriteData(u"player.ini"_s, sample);
    AgeFile(u"player.ini"_s);
    const QDateTime before = Modified(u"player.ini"_s);
    TPlayerIni ini;
    ini.Read();
    ini.Save();
    EXPECT_EQ(Modified(u"player.ini"_s), before);

    QByteArray theirs = sample;
    theirs.replace("VoiceTracksFolder = '\\Voice Tracks\\Morning\\'",
                   "VoiceTracksFolder = '\\Night\\'");
    WriteData(u"player.ini"_s, theirs);
    ini.MicDSPList.Items(1).State = psActive;
    ini.Save();
    const QByteArray saved = ReadData(u"player.ini"_s);
    EXPECT_TRUE(saved.contains("VoiceTracksFolder = '\\Night\\'"));
    EXPECT_EQ(saved.count("State = psActive"), sample.count("State = psActive") + 1);
}

} // namespace
