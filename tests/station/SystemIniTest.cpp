// The system configuration: creation values, the device lists padded after
// reading, the language folder settled once, and a file of the station family
// that goes through this program unchanged.

#include "station/SystemIni.h"

#include "StationTestSupport.h"
#include "config/ConfigErrors.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// The output entries Read appends until there are seven.
void ExpectPaddedOutput(const TOutputDevice &ADevice) {
    EXPECT_EQ(ADevice.DevType(), odRegular);
    EXPECT_EQ(ADevice.Method(), 1);
    EXPECT_EQ(ADevice.DeviceID(), u":decode"_s);
    EXPECT_EQ(ADevice.BufSize(), 75);
    EXPECT_EQ(ADevice.SampleFreq(), 48000);
}

// An input entry with the creation values of its class.
void ExpectPlainInput(const TInputDevice &ADevice) {
    const TInputDevice plain;
    EXPECT_EQ(ADevice.DevType(), plain.DevType());
    EXPECT_EQ(ADevice.Method(), -1);
    EXPECT_EQ(ADevice.DeviceID(), QString());
    EXPECT_EQ(ADevice.MixerSrc(), 0);
    EXPECT_FALSE(ADevice.Stereo());
    EXPECT_FALSE(ADevice.KeepAlive());
}

TEST(SystemIni, CreationValues) {
    const TSystemIni ini;
    EXPECT_FALSE(ini.AllowWinampPlugins);
    EXPECT_FALSE(ini.AllowVstPlugins);
    EXPECT_EQ(ini.VSTFolder, QStringList{u"/usr/lib/vst/"_s});
    EXPECT_EQ(ini.VSTSkipSettings, QString());
    EXPECT_EQ(ini.BandsNum, 10);
    EXPECT_EQ(ini.Bandwidth, 2.5f);
    EXPECT_EQ(ini.EQRange, 10);
    EXPECT_FALSE(ini.ScreenReaderMode);
    EXPECT_FALSE(ini.ScreenReaderVSTTextUI);
    EXPECT_EQ(ini.StreamUserAgent, u"Kestrova"_s);

    ASSERT_EQ(ini.EQBands.Count(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(ini.EQBands.Items(i).CenterFreq, DefaultCenterFreqs[static_cast<size_t>(i)]);

    ASSERT_EQ(ini.Inputs.Count(), 4);
    EXPECT_EQ(ini.Inputs.Items(0).Method(), -2);
    EXPECT_TRUE(ini.Inputs.Items(0).KeepAlive());
    EXPECT_FALSE(ini.Inputs.Items(0).Stereo());
    for (int i = 1; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(ini.Inputs.Items(i).Stereo());
        EXPECT_EQ(ini.Inputs.Items(i).Method(), -1);
        EXPECT_FALSE(ini.Inputs.Items(i).KeepAlive());
    }

    const struct {
        TOutputDevType DevType;
        qint32 Method;
        QString DeviceID;
        qint32 BufSize;
    } outputs[] = {
        {odMixer, 1, u":default"_s, 75},   {odMixer, -1, QString(), 500},
        {odRegular, 1, u":default"_s, 75}, {odNotUsed, 1, u":decode"_s, 75},
        {odNotUsed, 1, u":decode"_s, 75},
    };
    ASSERT_EQ(ini.OutputDevice.Count(), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const TOutputDevice &device = ini.OutputDevice.Items(i);
        EXPECT_EQ(device.DevType(), outputs[i].DevType);
        EXPECT_EQ(device.Method(), outputs[i].Method);
        EXPECT_EQ(device.DeviceID(), outputs[i].DeviceID);
        EXPECT_EQ(device.BufSize(), outputs[i].BufSize);
        EXPECT_EQ(device.SampleFreq(), 48000);
    }
}

TEST(SystemIni, DefaultVSTFolderIsWhereTheSystemInstallsVstPlugins) {
    EXPECT_EQ(DefaultVSTFolder(), QStringList{u"/usr/lib/vst/"_s});
}

class SystemIniFile : public TStationDirsTest {
protected:
    static const QString Name;
    static const QString Backup;

    void WriteSetup(const QByteArray &AText) const { WriteBytes(u"exe/setup.ini"_s, AText); }
    void MakeLangFolder(const QString &AName) const {
        ASSERT_TRUE(QDir(ExeFolder()).mkpath(u"Lang/"_s + AName));
    }
};
const QString SystemIniFile::Name = u"system.ini"_s;
const QString SystemIniFile::Backup = u"system.ini.bak"_s;

TEST_F(SystemIniFile, WithoutAFileTheOutputListIsPaddedToSeven) {
    TMessageCapture messages;
    TSystemIni ini;
    ini.Read();
    EXPECT_TRUE(messages.Shown.empty());
    ASSERT_EQ(ini.Inputs.Count(), 4);
    EXPECT_EQ(ini.Inputs.Items(0).Method(), -2);
    ASSERT_EQ(ini.OutputDevice.Count(), 7);
    EXPECT_EQ(ini.OutputDevice.Items(4).DevType(), odNotUsed);
    ExpectPaddedOutput(ini.OutputDevice.Items(5));
    ExpectPaddedOutput(ini.OutputDevice.Items(6));
}

TEST_F(SystemIniFile, ShortDeviceListsArePadded) {
    WriteData(Name, CrLf(R"(object TSystemIni
  Inputs = <
    item
      DevType = odMixer
      Method = 1
      DeviceID = 'mic-1'
      MixerSrc = 0
      Stereo = False
      KeepAlive = True
    end
    item
      DevType = odMixer
      Method = 0
      MixerSrc = 2
      Stereo = True
      KeepAlive = False
    end
    item
      DevType = odMixer
      Method = -1
      MixerSrc = 0
      Stereo = True
      KeepAlive = False
    end>
  OutputDevice = <
    item
      DevType = odMixer
      Method = 0
      DeviceID = 'speakers'
      SampleFreq = 44100
      BufSize = 200
    end
    item
      DevType = odNotUsed
      Method = -1
      SampleFreq = 48000
      BufSize = 500
    end>
end
)"));
    TSystemIni ini;
    ini.Read();

    ASSERT_EQ(ini.Inputs.Count(), 4);
    EXPECT_EQ(ini.Inputs.Items(0).DeviceID(), u"mic-1"_s);
    EXPECT_EQ(ini.Inputs.Items(1).MixerSrc(), 2);
    ExpectPlainInput(ini.Inputs.Items(3));

    ASSERT_EQ(ini.OutputDevice.Count(), 7);
    EXPECT_EQ(ini.OutputDevice.Items(0).DeviceID(), u"speakers"_s);
    EXPECT_EQ(ini.OutputDevice.Items(0).BufSize(), 200);
    EXPECT_EQ(ini.OutputDevice.Items(1).Method(), -1);
    for (int i = 2; i < 7; ++i) {
        SCOPED_TRACE(i);
        ExpectPaddedOutput(ini.OutputDevice.Items(i));
    }
}

TEST_F(SystemIniFile, ListsArePaddedAlsoAfterBrokenText) {
    WriteData(Name, CrLf("object TSystemIni\n"
                         "  Inputs = <\n"
                         "    item\n"
                         "      Method = 1\n"
                         "    end>\n"
                         "  OutputDevice = <\n"
                         "    item\n"
                         "      Method = 2\n"
                         "    end>\n"
                         "  BandsNum = \n"));
    TMessageCapture messages;
    TSystemIni ini;
    ini.Read();
    EXPECT_TRUE(messages.Shown.empty());
    ASSERT_EQ(ini.Inputs.Count(), 4);
    EXPECT_EQ(ini.Inputs.Items(0).Method(), 1);
    ExpectPlainInput(ini.Inputs.Items(1));
    ASSERT_EQ(ini.OutputDevice.Count(), 7);
    EXPECT_EQ(ini.OutputDevice.Items(0).Method(), 2);
    ExpectPaddedOutput(ini.OutputDevice.Items(1));
    EXPECT_EQ(ini.BandsNum, 10);
}

TEST_F(SystemIniFile, EmptyListsKeepTheEntriesOfCreation) {
    WriteData(Name, CrLf("object TSystemIni\n  EQBands = <>\n  Inputs = <>\n"
                         "  OutputDevice = <>\nend\n"));
    TSystemIni ini;
    ini.Read();
    EXPECT_EQ(ini.EQBands.Count(), 12);
    ASSERT_EQ(ini.Inputs.Count(), 4);
    EXPECT_EQ(ini.Inputs.Items(0).Method(), -2);
    EXPECT_TRUE(ini.Inputs.Items(3).Stereo());
    EXPECT_EQ(ini.OutputDevice.Count(), 7);
}

// The language folder: what setup.ini in the program folder says, which
// language folders exist, and what system.ini already stores.
struct TLangCase {
    const char *Scenario;
    const char *Setup;       // setup.ini text; null: no setup.ini
    const char *Folder;      // a folder created below Lang/; null: none
    const char *StoredInIni; // LangDir in system.ini; null: no system.ini
    QString Expected;
};

TEST_F(SystemIniFile, LanguageFolderIsSettledOnce) {
    const TLangCase cases[] = {
        {"setup.ini names a language without a folder", "[Setup]\nLanguage=Fr\n", nullptr, nullptr,
         u"En"_s},
        {"setup.ini names an existing folder", "[Setup]\r\nLanguage=De\r\n", "De", nullptr,
         u"De"_s},
        {"no setup.ini", nullptr, "De", nullptr, u"En"_s},
        {"setup.ini without the key", "[Setup]\nOther=1\n", "De", nullptr, u"En"_s},
        {"setup.ini names no language", "[Setup]\nLanguage=\n", nullptr, nullptr, u"En"_s},
        {"keys and sections in another case", "[setup]\nlanguage=De\n", "De", nullptr, u"De"_s},
        {"stored name, its folder missing", "[Setup]\nLanguage=De\n", "De", "Pl", u"Pl"_s},
        {"stored unresolved mark", "[Setup]\nLanguage=De\n", "De", "/", u"De"_s},
    };
    for (const TLangCase &c : cases) {
        SCOPED_TRACE(c.Scenario);
        QDir(ExeFolder()).removeRecursively();
        QDir().mkpath(ExeFolder());
        QFile::remove(DataFolder() + Name);
        QFile::remove(DataFolder() + Backup);
        if (c.Setup)
            WriteSetup(c.Setup);
        if (c.Folder)
            MakeLangFolder(QString::fromLatin1(c.Folder));
        if (c.StoredInIni)
            WriteData(Name, "object TSystemIni\r\n  LangDir = '" + QByteArray(c.StoredInIni) +
                                "'\r\nend\r\n");

        TSystemIni ini;
        ini.Read();
        EXPECT_EQ(ini.ResolveLangDir(), c.Expected);
        // Settled: setup.ini is not looked at again.
        WriteSetup("[Setup]\nLanguage=It\n");
        MakeLangFolder(u"It"_s);
        EXPECT_EQ(ini.ResolveLangDir(), c.Expected);

        // The next start takes the stored name.
        ini.Save();
        EXPECT_TRUE(ReadData(Name).contains("  LangDir = '" + c.Expected.toLatin1() + "'\r\n"));
        TSystemIni next;
        next.Read();
        EXPECT_EQ(next.ResolveLangDir(), c.Expected);
    }
}

TEST_F(SystemIniFile, UnreadableSetupFileMeansEnglish) {
    if (RunsAsRoot())
        GTEST_SKIP() << "root reads unreadable files";
    WriteSetup("[Setup]\nLanguage=De\n");
    MakeLangFolder(u"De"_s);
    ASSERT_EQ(::chmod(QFile::encodeName(ExeFolder() + u"setup.ini"_s).constData(), 0), 0);
    const TSystemIni ini;
    EXPECT_EQ(ini.ResolveLangDir(), u"En"_s);
}

TEST_F(SystemIniFile, FamilyFileGoesThroughUnchanged) {
    const QByteArray sample = StationSample("system.ini");
    ASSERT_FALSE(sample.isEmpty());
    WriteData(Name, sample);

    TMessageCapture messages;
    TSystemIni ini;
    ini.Read();
    ini.Read();
    EXPECT_TRUE(ini.AllowWinampPlugins);
    EXPECT_TRUE(ini.AllowVstPlugins);
    EXPECT_EQ(ini.VSTFolder, QStringList{u"C:\\Program Files (x86)\\Steinberg\\VstPlugins\\"_s});
    EXPECT_EQ(ini.BandsNum, 12);
    ASSERT_EQ(ini.EQBands.Count(), 12);
    EXPECT_EQ(ini.EQBands.Items(9).CenterFreq, 12000);
    EXPECT_EQ(ini.Bandwidth, 1.75f);
    EXPECT_EQ(ini.EQRange, 12);
    EXPECT_EQ(ini.ResolveLangDir(), u"De"_s);
    ASSERT_EQ(ini.Inputs.Count(), 4);
    EXPECT_EQ(ini.Inputs.Items(0).DeviceName2(), u"Mikrofon (USB Audio CODEC)"_s);
    EXPECT_EQ(ini.OutputDevice.Count(), 7);
    EXPECT_TRUE(ini.ScreenReaderVSTTextUI);

    ini.Save();
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(ReadData(Name), sample);
    EXPECT_EQ(ReadData(Backup), sample);
    EXPECT_EQ(DataEntries(), (QStringList{Name, Backup}));
}

TEST_F(SystemIniFile, ChosenMicrophoneChangesOnlyItsLines) {
    const QByteArray sample = StationSample("system.ini");
    WriteData(Name, sample);
    TSystemIni ini;
    ini.Read();
    // What the settings dialog does when a microphone is chosen.
    TInputDevice &mic = ini.Inputs.Items(0);
    mic.SetMethod(1);
    mic.SetDeviceID(u"{0.0.1.00000000}.{0b7c}"_s);
    ini.AllowVstPlugins = false;
    ini.Save();

    QByteArray expected = sample;
    expected.replace("'{0.0.1.00000000}.{6e1f3b0a-2c44-4b8e-9a51-3d7c0f2e91aa}'",
                     "'{0.0.1.00000000}.{0b7c}'");
    expected.replace("  AllowVstPlugins = True\r\n", "  AllowVstPlugins = False\r\n");
    EXPECT_EQ(ReadData(Name), expected);
}

TEST_F(SystemIniFile, FailedWriteLeavesFileAndCopyWhole) {
    const QByteArray sample = StationSample("system.ini");
    const QByteArray older = CrLf("object TSystemIni\n  BandsNum = 5\nend\n");
    WriteData(Name, sample);
    WriteData(Backup, older);
    TSystemIni ini;
    ini.Read();
    ini.BandsNum = 3;

    TMessageCapture messages;
    {
        const TWriteFault fault(wsRename, EIO);
        ini.Save();
    }
    ExpectOneError(messages, u"Error saving file (system.ini): "_s);
    EXPECT_EQ(ReadData(Name), sample);
    EXPECT_EQ(ReadData(Backup), older);
    EXPECT_EQ(DataEntries(), (QStringList{Name, Backup}));
}

} // namespace
