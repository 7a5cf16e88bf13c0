// The connection settings and settings.ini.

#include "config/Settings.h"

#include "ConfigTestSupport.h"
#include "config/ConfigErrors.h"

#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// settings.ini exactly as the settings file's description shows it.
const char *const ExampleFile = R"(object TSettings
  Server = '192.168.1.20'
  TLS = False
  Port = 9000
  User = 'presenter'
  PlaylistCols = <
    item
      Width = 60
      Pos = 0
      Visible = True
    end
    item
      Width = 300
      Pos = 1
      Visible = True
    end>
end
)";

QByteArray WithCrLf(const char *AText) {
    return QByteArray(AText).replace("\n", "\r\n");
}

void AddColumn(TSettings &ASettings, int AWidth, int APos, bool AVisible) {
    TMyColumn &column = ASettings.PlaylistCols.Add();
    column.Width = AWidth;
    column.Pos = APos;
    column.Visible = AVisible;
}

class SettingsFile : public TTempDirTest {
protected:
    QString File() const { return Path(u"settings.ini"_s); }

    // Saves, reads into a fresh object, and checks that nothing was shown.
    void SaveAndRead(const TSettings &AWritten, TSettings &ARead) {
        TMessageCapture messages;
        AWritten.Save(File());
        ARead.Read(File());
        EXPECT_TRUE(messages.Shown.empty());
    }

    static void ExpectOneError(const TMessageCapture &AMessages, const QString &AText) {
        ASSERT_EQ(AMessages.Shown.size(), 1u);
        EXPECT_EQ(AMessages.Shown[0].Text, AText);
        EXPECT_EQ(AMessages.Shown[0].Caption, u"Error"_s);
        EXPECT_EQ(AMessages.Shown[0].Flags, mbIconError);
    }
};

TEST(Settings, CreationValues) {
    const TSettings settings;
    EXPECT_EQ(settings.Server, QString());
    EXPECT_FALSE(settings.TLS);
    EXPECT_EQ(settings.Port, 0);
    EXPECT_EQ(settings.User, QString());
    EXPECT_EQ(settings.Pass, QString());
    EXPECT_EQ(settings.PlaylistCols.Count(), 0);
    const TMyColumn column;
    EXPECT_EQ(column.Width, 0);
    EXPECT_EQ(column.Pos, -1);
    EXPECT_FALSE(column.Visible);
}

TEST(Settings, TheProcessWideObjectIsOne) {
    EXPECT_EQ(&Settings(), &Settings());
}

TEST_F(SettingsFile, SaveWritesTheExampleFile) {
    TSettings settings;
    settings.Server = u"192.168.1.20"_s;
    settings.Port = 9000;
    settings.User = u"presenter"_s;
    AddColumn(settings, 60, 0, true);
    AddColumn(settings, 300, 1, true);
    TMessageCapture messages;
    settings.Save(File());
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(ReadBytes(u"settings.ini"_s), WithCrLf(ExampleFile));
}

TEST_F(SettingsFile, ReadTakesTheExampleFile) {
    WriteBytes(u"settings.ini"_s, WithCrLf(ExampleFile));
    TSettings settings;
    settings.Pass = u"kept"_s;
    TMessageCapture messages;
    settings.Read(File());
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(settings.Server, u"192.168.1.20"_s);
    EXPECT_FALSE(settings.TLS);
    EXPECT_EQ(settings.Port, 9000);
    EXPECT_EQ(settings.User, u"presenter"_s);
    EXPECT_EQ(settings.Pass, u"kept"_s) << "missing from the file, so unchanged";
    ASSERT_EQ(settings.PlaylistCols.Count(), 2);
    EXPECT_EQ(settings.PlaylistCols.Items(1).Width, 300);
    EXPECT_EQ(settings.PlaylistCols.Items(1).Pos, 1);
    EXPECT_TRUE(settings.PlaylistCols.Items(1).Visible);
}

TEST_F(SettingsFile, QuotesAndCyrillicSurviveTheFile) {
    TSettings written;
    written.Pass = u"it's"_s;
    written.User = u"\u0418\u0432\u0430\u043D"_s;
    written.TLS = true;
    TSettings read;
    SaveAndRead(written, read);
    EXPECT_EQ(read.Pass, u"it's"_s);
    EXPECT_EQ(read.User, written.User);
    EXPECT_TRUE(read.TLS);
    const QByteArray text = ReadBytes(u"settings.ini"_s);
    EXPECT_TRUE(text.contains("  Pass = 'it'#39's'\r\n"));
    EXPECT_TRUE(text.contains("  User = #1048#1074#1072#1085\r\n"));
}

TEST_F(SettingsFile, LongServerNamesAreCutAfter64Characters) {
    for (const int length : {64, 65}) {
        SCOPED_TRACE(length);
        TSettings written;
        written.Server = QString(length, u's');
        TSettings read;
        SaveAndRead(written, read);
        EXPECT_EQ(read.Server, written.Server);
        const QByteArray text = ReadBytes(u"settings.ini"_s);
        if (length == 64) {
            EXPECT_TRUE(text.contains("  Server = '" + QByteArray(64, 's') + "'\r\n  TLS"));
        } else {
            EXPECT_TRUE(text.contains("  Server = \r\n    '" + QByteArray(64, 's') +
                                      "' +\r\n    's'\r\n  TLS"));
        }
    }
}

TEST_F(SettingsFile, ZeroPortAndFalseTlsAreWrittenEmptyStringsAndColumnsAreNot) {
    TSettings settings;
    settings.Save(File());
    EXPECT_EQ(ReadBytes(u"settings.ini"_s),
              "object TSettings\r\n  TLS = False\r\n  Port = 0\r\n  PlaylistCols = <>\r\nend\r\n");
}

TEST_F(SettingsFile, AnEmptyColumnListKeepsTheColumnsInMemory) {
    WriteBytes(u"settings.ini"_s, "object TSettings\r\n  PlaylistCols = <>\r\nend\r\n");
    TSettings settings;
    AddColumn(settings, 10, 0, true);
    settings.Read(File());
    EXPECT_EQ(settings.PlaylistCols.Count(), 1);
}

TEST_F(SettingsFile, UnknownPropertiesAreDroppedSilently) {
    WriteBytes(u"settings.ini"_s, "object TOther\r\n  Proxy = 'x'\r\n  Port = 81\r\nend\r\n");
    TSettings settings;
    TMessageCapture messages;
    settings.Read(File());
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(settings.Port, 81);
    settings.Save(File());
    EXPECT_FALSE(ReadBytes(u"settings.ini"_s).contains("Proxy"));
    EXPECT_TRUE(ReadBytes(u"settings.ini"_s).startsWith("object TSettings\r\n"));
}

TEST_F(SettingsFile, MissingFileChangesNothingAndShowsNothing) {
    TSettings settings;
    settings.Server = u"before"_s;
    TMessageCapture messages;
    settings.Read(File());
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(settings.Server, u"before"_s);
}

// A text that does not parse, the empty file included: reported once with its
// line; the values read before the error stay.
TEST_F(SettingsFile, ParseErrorIsReportedOnceWithItsLine) {
    struct TCase {
        const char *Name;
        QByteArray Text;
        QString Message;
        int Port;
    };
    const TCase cases[] = {
        {"empty file", "", u"Error loading settings: Unexpected end of file on line 1."_s, 1},
        {"unterminated string",
         "object TSettings\r\n  Port = 8080\r\n  Server = 'abc\r\n  User = 'u'\r\nend\r\n",
         u"Error loading settings: Unterminated string on line 3."_s, 8080},
        {"missing end", "object TSettings\r\n  Port = 8080\r\n",
         u"Error loading settings: Unexpected end of file on line 3."_s, 8080},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        WriteBytes(u"settings.ini"_s, c.Text);
        TSettings settings;
        settings.Port = 1;
        TMessageCapture messages;
        settings.Read(File());
        ExpectOneError(messages, c.Message);
        EXPECT_EQ(settings.Port, c.Port);
        EXPECT_EQ(settings.User, QString());
    }
}

TEST_F(SettingsFile, WrongKindValueIsSkippedWithoutAMessage) {
    WriteBytes(u"settings.ini"_s, "object TSettings\r\n  Port = 'http'\r\n  TLS = True\r\nend\r\n");
    TSettings settings;
    settings.Port = 80;
    TMessageCapture messages;
    settings.Read(File());
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(settings.Port, 80);
    EXPECT_TRUE(settings.TLS);
}

TEST_F(SettingsFile, UnreadableFileIsReported) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir(u"settings.ini"_s)); // a folder where the file should be
    TSettings settings;
    TMessageCapture messages;
    settings.Read(File());
    ExpectOneError(messages, u"Error loading settings: Cannot open file \""_s + File() + u"\". "_s +
                                 SystemErrorText(EISDIR) + u"."_s);
}

TEST_F(SettingsFile, FailedSaveIsReportedAndKeepsTheOldFile) {
    TSettings old;
    old.Server = u"old"_s;
    old.Save(File());
    const QByteArray before = ReadBytes(u"settings.ini"_s);
    TSettings settings;
    settings.Server = u"new"_s;
    TMessageCapture messages;
    {
        TWriteFault fault(wsWrite, ENOSPC);
        settings.Save(File());
    }
    ExpectOneError(messages, u"Error saving settings: Cannot write file \""_s + File() + u"\". "_s +
                                 SystemErrorText(ENOSPC) + u"."_s);
    EXPECT_EQ(ReadBytes(u"settings.ini"_s), before);
    EXPECT_EQ(Entries(), QStringList{u"settings.ini"_s});
}

TEST_F(SettingsFile, SaveIntoAMissingFolderIsReported) {
    TSettings settings;
    TMessageCapture messages;
    settings.Save(Path(u"gone/settings.ini"_s));
    ExpectOneError(messages, u"Error saving settings: Cannot create file \""_s +
                                 Path(u"gone/settings.ini"_s) + u"\". "_s +
                                 SystemErrorText(ENOENT) + u"."_s);
}

// The file holds the password in clear text.
TEST_F(SettingsFile, OnlyTheOwnerMayReadTheFile) {
    WriteBytes(u"settings.ini"_s, "object TSettings\r\nend\r\n");
    ASSERT_TRUE(QFile::setPermissions(File(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::ReadOther));
    TSettings settings;
    settings.Pass = u"secret"_s;
    settings.Save(File());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(File()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    QFile::remove(File());
    settings.Save(File());
    ASSERT_EQ(::stat(QFile::encodeName(File()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

} // namespace
