// The program and data directories: uid.ini, the base folders, and how stored
// folders are expanded against the data directory.

#include "config/DataDirs.h"

#include "ConfigTestSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Restores an environment variable when the test ends.
class TEnvGuard {
public:
    explicit TEnvGuard(const char *AName)
        : FName(AName), FWasSet(qEnvironmentVariableIsSet(AName)), FValue(qgetenv(AName)) {}
    ~TEnvGuard() {
        if (FWasSet)
            qputenv(FName, FValue);
        else
            qunsetenv(FName);
    }
    TEnvGuard(const TEnvGuard &) = delete;
    TEnvGuard &operator=(const TEnvGuard &) = delete;

private:
    const char *FName;
    bool FWasSet;
    QByteArray FValue;
};

// A program folder and two base folders side by side in a temporary folder;
// the base folders do not exist until something creates them.
class DataDirChoice : public TTempDirTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(Path(u"program"_s)));
        FBases = {Path(u"home/.config"_s), Path(u"var/lib"_s)};
    }

    QString Exe() const { return Path(u"program/"_s); }
    void WriteUidIni(const QByteArray &AText) const { WriteBytes(u"program/uid.ini"_s, AText); }
    bool Exists(const QString &APath) const { return QFileInfo(APath).isDir(); }

    TBaseFolders FBases;
};

TEST_F(DataDirChoice, NoUidIniKeepsTheProgramFolderAndCreatesNothing) {
    const TProcessDirs dirs = ResolveDataDir(Exe(), FBases);
    EXPECT_EQ(dirs.ExeDir, Exe());
    EXPECT_EQ(dirs.UID, QString());
    EXPECT_EQ(dirs.DataDir, Exe());
    EXPECT_FALSE(Exists(FBases.PerUser));
    EXPECT_FALSE(Exists(FBases.AllUsers));
    EXPECT_EQ(QDir(Exe()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST_F(DataDirChoice, AllusersFlagChoosesTheBaseFolder) {
    enum TWhere { wProgram, wPerUser, wAllUsers };
    struct TCase {
        const char *Name;
        QByteArray UidIni;
        TWhere Where;
        QString UID;
    };
    const TCase cases[] = {
        {"UID 7, all users", "[Settings]\r\nUID=7\r\nAllusers=A\r\n", wAllUsers, u"7"_s},
        {"lower-case a means this user", "[Settings]\nUID=7\nAllusers=a\n", wPerUser, u"7"_s},
        {"other value means this user", "[Settings]\nUID=7\nAllusers=All\n", wPerUser, u"7"_s},
        {"no Allusers key means this user", "[Settings]\nUID=12\n", wPerUser, u"12"_s},
        {"section and keys ignore case", "[SETTINGS]\nuid=9\nALLUSERS=A\n", wAllUsers, u"9"_s},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[Settings]\nUID=5\nAllusers=A\n", wAllUsers, u"5"_s},
        {"Allusers without a UID", "[Settings]\nAllusers=A\n", wProgram, QString()},
        {"empty UID", "[Settings]\nUID=\nAllusers=A\n", wProgram, QString()},
        {"UID in another section", "[Setup]\nUID=7\n", wProgram, QString()},
        {"empty file", "", wProgram, QString()},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        QDir(Path(u"home"_s)).removeRecursively();
        QDir(Path(u"var"_s)).removeRecursively();
        WriteUidIni(c.UidIni);

        const TProcessDirs dirs = ResolveDataDir(Exe(), FBases);
        EXPECT_EQ(dirs.UID, c.UID);
        switch (c.Where) {
        case wProgram:
            EXPECT_EQ(dirs.DataDir, Exe());
            EXPECT_FALSE(Exists(FBases.PerUser));
            EXPECT_FALSE(Exists(FBases.AllUsers));
            break;
        case wPerUser:
            EXPECT_EQ(dirs.DataDir, FBases.PerUser + u"/Kestrova/Vocarra_"_s + c.UID + u'/');
            EXPECT_TRUE(Exists(dirs.DataDir));
            EXPECT_FALSE(Exists(FBases.AllUsers));
            break;
        case wAllUsers:
            EXPECT_EQ(dirs.DataDir, FBases.AllUsers + u"/Kestrova/Vocarra_"_s + c.UID + u'/');
            EXPECT_TRUE(Exists(dirs.DataDir));
            EXPECT_FALSE(Exists(FBases.PerUser));
            break;
        }
    }
}

TEST_F(DataDirChoice, ExistingDataFolderIsKept) {
    WriteUidIni("[Settings]\nUID=7\n");
    const QString dataDir = FBases.PerUser + u"/Kestrova/Vocarra_7/"_s;
    ASSERT_TRUE(QDir().mkpath(dataDir));
    WriteBytes(u"home/.config/Kestrova/Vocarra_7/settings.ini"_s, "keep");

    EXPECT_EQ(ResolveDataDir(Exe(), FBases).DataDir, dataDir);
    EXPECT_EQ(ReadBytes(u"home/.config/Kestrova/Vocarra_7/settings.ini"_s), QByteArray("keep"));
}

TEST_F(DataDirChoice, UidCannotLeadOutOfTheBaseFolder) {
    WriteUidIni("[Settings]\nUID=7/../../../escaped\\x\n");
    const TProcessDirs dirs = ResolveDataDir(Exe(), FBases);
    EXPECT_EQ(dirs.UID, u"7/../../../escaped\\x"_s);
    EXPECT_EQ(QFileInfo(dirs.DataDir).canonicalFilePath(),
              QDir(FBases.PerUser + u"/Kestrova/Vocarra_7......escapedx"_s).canonicalPath());
    EXPECT_FALSE(Exists(Path(u"escaped"_s)));
}

TEST_F(DataDirChoice, FolderThatCannotBeCreatedIsNotReported) {
    // A file where the vendor folder should be: the folder cannot be made.
    ASSERT_TRUE(QDir().mkpath(FBases.PerUser));
    WriteBytes(u"home/.config/Kestrova"_s, "in the way");
    WriteUidIni("[Settings]\nUID=7\n");

    TProcessDirs dirs;
    EXPECT_NO_THROW(dirs = ResolveDataDir(Exe(), FBases));
    EXPECT_EQ(dirs.DataDir, FBases.PerUser + u"/Kestrova/Vocarra_7/"_s);
    EXPECT_FALSE(Exists(dirs.DataDir));
}

TEST_F(DataDirChoice, UnreadableUidIniCountsAsMissing) {
    // A pipe exists but cannot be read as a file, whoever runs the test.
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(u"program/uid.ini"_s)).constData(), 0600), 0);

    TProcessDirs dirs;
    EXPECT_NO_THROW(dirs = ResolveDataDir(Exe(), FBases));
    EXPECT_EQ(dirs.UID, QString());
    EXPECT_EQ(dirs.DataDir, Exe());
}

TEST(DataDirs, PerUserBaseFolder) {
    struct TCase {
        const char *Name;
        QString Xdg;
        QString Expected;
    };
    const TCase cases[] = {
        {"absolute", u"/srv/cfg"_s, u"/srv/cfg"_s},
        {"trailing separator", u"/srv/cfg/"_s, u"/srv/cfg"_s},
        {"empty", QString(), u"/home/anna/.config"_s},
        {"relative", u"cfg"_s, u"/home/anna/.config"_s},
        {"relative with dot", u"./cfg"_s, u"/home/anna/.config"_s},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(PerUserBaseFolder(c.Xdg, u"/home/anna"_s), c.Expected);
    }
}

TEST(DataDirs, SystemBaseFoldersFollowTheEnvironment) {
    TEnvGuard guard("XDG_CONFIG_HOME");
    const QString fallback = QDir::homePath() + u"/.config"_s;
    struct TCase {
        const char *Name;
        std::optional<QByteArray> Value;
        QString Expected;
    };
    const TCase cases[] = {
        {"set", QByteArray("/tmp/xdg-config"), u"/tmp/xdg-config"_s},
        {"unset", std::nullopt, QDir::cleanPath(fallback)},
        {"empty", QByteArray(), QDir::cleanPath(fallback)},
        {"relative", QByteArray("config"), QDir::cleanPath(fallback)},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.Value)
            qputenv("XDG_CONFIG_HOME", *c.Value);
        else
            qunsetenv("XDG_CONFIG_HOME");
        const TBaseFolders bases = SystemBaseFolders();
        EXPECT_EQ(bases.PerUser, c.Expected);
        EXPECT_EQ(bases.AllUsers, u"/var/lib"_s);
    }
}

TEST(DataDirs, ExpandDataPath) {
    const QString dataDir = u"/home/anna/.config/Kestrova/Vocarra_7/"_s;
    struct TCase {
        QString Stored;
        QString Expected;
    };
    const TCase cases[] = {
        {u"\\VoiceTracks\\"_s, dataDir + u"VoiceTracks"_s},
        {u"\\VoiceTracks"_s, dataDir + u"VoiceTracks"_s},
        {u"\\Voice\\Tracks\\"_s, dataDir + u"Voice/Tracks"_s},
        {u"\\"_s, QString()},
        {QString(), QString()},
        {u"D:\\Tracks\\"_s, u"D:\\Tracks"_s},
        {u"D:\\"_s, u"D:"_s},
        {u"D:\\Tracks"_s, u"D:\\Tracks"_s},
        {u"\\\\server\\share"_s, u"\\\\server\\share"_s},
        {u"\\\\server\\share\\"_s, u"\\\\server\\share"_s},
        {u"\\\\"_s, u"\\"_s},
        {u"/srv/vt/"_s, u"/srv/vt"_s},
        {u"/srv/vt"_s, u"/srv/vt"_s},
        {u"/"_s, QString()},
        {u"Tracks\\"_s, u"Tracks"_s},
        {u"\\VoiceTracks\\\\"_s, dataDir + u"VoiceTracks/"_s},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Stored.toStdString());
        EXPECT_EQ(ExpandDataPath(c.Stored, dataDir), c.Expected);
    }
}

TEST(DataDirs, DataDirWithoutTrailingSeparatorStillJoins) {
    EXPECT_EQ(ExpandDataPath(u"\\VoiceTracks\\"_s, u"/data"_s), u"/data/VoiceTracks"_s);
}

TEST(DataDirs, PathHelpers) {
    EXPECT_EQ(WithTrailingSeparator(u"/opt/vocarra"_s), u"/opt/vocarra/"_s);
    EXPECT_EQ(WithTrailingSeparator(u"/opt/vocarra/"_s), u"/opt/vocarra/"_s);
    EXPECT_EQ(WithTrailingSeparator(QString()), QString());
    EXPECT_EQ(StoredToNative(u"Lang\\En\\"_s), u"Lang/En/"_s);
    EXPECT_EQ(FolderOfProgram(u"/opt/vocarra/vocarra"_s), u"/opt/vocarra/"_s);
    EXPECT_EQ(FolderOfProgram(u"/vocarra"_s), u"/"_s);
}

class ProcessDirs : public TTempDirTest {
protected:
    void TearDown() override {
        SetProcessDirs({});
        TTempDirTest::TearDown();
    }
};

TEST_F(ProcessDirs, VoiceTracksDirDefaultsBelowTheDataDirectory) {
    SetProcessDirs({u"/opt/vocarra/"_s, u"7"_s, u"/srv/data/Vocarra_7/"_s});
    EXPECT_EQ(VoiceTracksDir(u"\\VoiceTracks\\"_s), u"/srv/data/Vocarra_7/VoiceTracks"_s);
    EXPECT_EQ(VoiceTracksDir(u"/mnt/tracks/"_s), u"/mnt/tracks"_s);
    EXPECT_EQ(ExpandDataPath(u"\\Presets\\"_s), u"/srv/data/Vocarra_7/Presets"_s);
}

TEST_F(ProcessDirs, ResolveDataDirUsesTheUsersConfigFolder) {
    TEnvGuard guard("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path(u"xdg"_s)));
    ASSERT_TRUE(QDir().mkpath(Path(u"program"_s)));
    WriteBytes(u"program/uid.ini"_s, "[Settings]\nUID=42\nAllusers=no\n");
    SetProcessDirs({Path(u"program/"_s), {}, {}});

    ResolveDataDir();
    EXPECT_EQ(ExeDir(), Path(u"program/"_s));
    EXPECT_EQ(UID(), u"42"_s);
    EXPECT_EQ(DataDir(), Path(u"xdg/Kestrova/Vocarra_42/"_s));
    EXPECT_TRUE(QFileInfo(DataDir()).isDir());
}

} // namespace
