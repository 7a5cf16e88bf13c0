// Component files on disk: atomic replacement, permissions, and the ".bak"
// copies of the shared station files.

#include "config/ComponentFile.h"

#include "ConfigTestSupport.h"
#include "SampleObjects.h"
#include "config/ComponentText.h"
#include "config/ConfigErrors.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

unsigned ModeOf(const QString &APath) {
    struct stat info {};
    return ::stat(QFile::encodeName(APath).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class ComponentFile : public TTempDirTest {
protected:
    // A file from an earlier, successful save.
    QByteArray SaveOld(const QString &AName) {
        TSample old;
        old.Str = u"old"_s;
        WriteComponentFile(old, Path(AName));
        return ReadBytes(AName);
    }
};

TEST_F(ComponentFile, WriteThenReadGivesTheObjectBack) {
    TSample written;
    written.Int = 42;
    written.Str = u"\u0416'"_s;
    written.Items.Add().Number = 3;
    WriteComponentFile(written, Path(u"a.ini"_s));
    EXPECT_EQ(ReadBytes(u"a.ini"_s), ComponentToText(written));
    TSample back;
    ReadComponentFile(back, Path(u"a.ini"_s));
    EXPECT_EQ(back.Int, 42);
    EXPECT_EQ(back.Str, written.Str);
    ASSERT_EQ(back.Items.Count(), 1);
    EXPECT_EQ(back.Items.Items(0).Number, 3);
}

// Whichever step fails, the old file is left whole, the error names the file
// and the system's reason, and no temporary file is left behind.
TEST_F(ComponentFile, FailedWriteLeavesTheOldFileWhole) {
    struct TCase {
        const char *Name;
        TWriteStep Step;
        int Errno;
    };
    const TCase cases[] = {
        {"create refused", wsCreate, EACCES},
        {"disk full while writing", wsWrite, ENOSPC},
        {"flush to disk fails", wsSync, EIO},
        {"rename refused", wsRename, EPERM},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray old = SaveOld(u"shared.ini"_s);
        TSample changed;
        changed.Str = u"new"_s;
        try {
            TWriteFault fault(c.Step, c.Errno);
            WriteComponentFile(changed, Path(u"shared.ini"_s));
            ADD_FAILURE() << "the write did not fail";
        } catch (const EFileError &e) {
            EXPECT_EQ(e.Errno(), c.Errno);
            EXPECT_TRUE(e.Message().contains(Path(u"shared.ini"_s)));
            EXPECT_TRUE(e.Message().endsWith(SystemErrorText(c.Errno))) << e.what();
        }
        EXPECT_EQ(ReadBytes(u"shared.ini"_s), old);
        EXPECT_EQ(Entries(), QStringList{u"shared.ini"_s});
    }
}

TEST_F(ComponentFile, WriteIntoAMissingFolderNamesTheReason) {
    TSample sample;
    try {
        WriteComponentFile(sample, Path(u"missing/settings.ini"_s));
        FAIL() << "the write did not fail";
    } catch (const EFileError &e) {
        EXPECT_EQ(e.Errno(), ENOENT);
        EXPECT_EQ(e.Message(), u"Cannot create file \""_s + Path(u"missing/settings.ini"_s) +
                                   u"\". "_s + SystemErrorText(ENOENT));
    }
}

TEST_F(ComponentFile, WriteIntoAReadOnlyFolderLeavesTheOldFile) {
    const QByteArray old = SaveOld(u"shared.ini"_s);
    ASSERT_EQ(::chmod(QFile::encodeName(FDir.path()).constData(), 0555), 0);
    struct TRestore {
        QString Dir;
        ~TRestore() { ::chmod(QFile::encodeName(Dir).constData(), 0755); }
    } restore{FDir.path()};
    if (::access(QFile::encodeName(FDir.path()).constData(), W_OK) == 0)
        GTEST_SKIP() << "running with privileges that ignore folder permissions (root); "
                        "the injected create failure above covers this path";
    TSample changed;
    try {
        WriteComponentFile(changed, Path(u"shared.ini"_s));
        FAIL() << "the write did not fail";
    } catch (const EFileError &e) {
        EXPECT_EQ(e.Errno(), EACCES);
    }
    EXPECT_EQ(ReadBytes(u"shared.ini"_s), old);
}

TEST_F(ComponentFile, PermissionsAreKeptOrSet) {
    SaveOld(u"kept.ini"_s);
    ASSERT_EQ(::chmod(QFile::encodeName(Path(u"kept.ini"_s)).constData(), 0640), 0);
    TSample sample;
    WriteComponentFile(sample, Path(u"kept.ini"_s));
    EXPECT_EQ(ModeOf(Path(u"kept.ini"_s)), 0640u);

    SaveOld(u"private.ini"_s);
    ASSERT_EQ(::chmod(QFile::encodeName(Path(u"private.ini"_s)).constData(), 0644), 0);
    WriteComponentFile(sample, Path(u"private.ini"_s), 0600);
    EXPECT_EQ(ModeOf(Path(u"private.ini"_s)), 0600u);
    WriteComponentFile(sample, Path(u"new.ini"_s), 0600);
    EXPECT_EQ(ModeOf(Path(u"new.ini"_s)), 0600u);
}

TEST_F(ComponentFile, ALinkIsWrittenThrough) {
    SaveOld(u"real.ini"_s);
    ASSERT_TRUE(QFile::link(Path(u"real.ini"_s), Path(u"link.ini"_s)));
    TSample sample;
    sample.Int = 77;
    WriteComponentFile(sample, Path(u"link.ini"_s));
    EXPECT_TRUE(QFileInfo(Path(u"link.ini"_s)).isSymLink());
    EXPECT_EQ(ReadBytes(u"real.ini"_s), ComponentToText(sample));
}

TEST_F(ComponentFile, ReadingWhatIsNoFileRaises) {
    TSample sample;
    EXPECT_THROW(ReadComponentFile(sample, Path(u"missing.ini"_s)), EFileError);
    EXPECT_THROW(ReadComponentFile(sample, FDir.path()), EFileError);
    // A pipe where the file belongs is refused, not waited on.
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(u"pipe.ini"_s)).constData(), 0600), 0);
    EXPECT_THROW(ReadComponentFile(sample, Path(u"pipe.ini"_s)), EFileError);
}

TEST_F(ComponentFile, AnyFileNameTheSystemTakesCanBeWritten) {
    const QString name = QString(250, u'n') + u".ini"_s;
    TSample sample;
    sample.Int = 5;
    WriteComponentFile(sample, Path(name));
    EXPECT_EQ(ReadBytes(name), ComponentToText(sample));
    EXPECT_EQ(Entries(), QStringList{name});
}

TEST_F(ComponentFile, ReadingDecodesByteOrderMarks) {
    TSample sample;
    WriteBytes(u"bom.ini"_s, "\xEF\xBB\xBFobject TSample Str = 'x' end");
    ReadComponentFile(sample, Path(u"bom.ini"_s));
    EXPECT_EQ(sample.Str, u"x"_s);
    WriteBytes(u"utf16.ini"_s,
               QByteArray("\xFF\xFEo\0b\0j\0e\0c\0t\0 \0T\0 \0I\0n\0t\0=\0009\0 \0e\0n\0d\0", 38));
    ReadComponentFile(sample, Path(u"utf16.ini"_s));
    EXPECT_EQ(sample.Int, 9);
}

TEST_F(ComponentFile, BackupCopyReplacesTheOldCopy) {
    WriteBytes(u"player.ini.bak"_s, "older");
    const QByteArray saved = SaveOld(u"player.ini"_s);
    TMessageCapture messages;
    MakeBackupCopy(Path(u"player.ini"_s));
    EXPECT_EQ(ReadBytes(u"player.ini.bak"_s), saved);
    EXPECT_TRUE(messages.Shown.empty());
}

TEST_F(ComponentFile, RefusedBackupCopyIsShownAndTheFileStays) {
    WriteBytes(u"player.ini.bak"_s, "older");
    const QByteArray saved = SaveOld(u"player.ini"_s);
    TMessageCapture messages;
    {
        TWriteFault fault(wsCreate, EACCES);
        MakeBackupCopy(Path(u"player.ini"_s));
    }
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_EQ(messages.Shown[0].Text, u"Copy failed: "_s + Path(u"player.ini.bak"_s) + u" ("_s +
                                          SystemErrorText(EACCES) + u")"_s);
    EXPECT_EQ(messages.Shown[0].Caption, QString());
    EXPECT_EQ(messages.Shown[0].Flags, mbIconError);
    EXPECT_EQ(ReadBytes(u"player.ini"_s), saved);
    EXPECT_EQ(ReadBytes(u"player.ini.bak"_s), "older");
}

TEST_F(ComponentFile, BackupCopyOfAMissingFileIsShown) {
    TMessageCapture messages;
    MakeBackupCopy(Path(u"none.ini"_s));
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_TRUE(messages.Shown[0].Text.startsWith(u"Copy failed: "_s + Path(u"none.ini.bak"_s)));
    EXPECT_FALSE(QFileInfo::exists(Path(u"none.ini.bak"_s)));
}

// Which file states bring the ".bak" copy back before a read.
TEST_F(ComponentFile, RestoreReplacesOnlyAMissingOrEmptyFile) {
    struct TCase {
        const char *Name;
        const char *File; // nullptr: no file
        const char *Backup;
        const char *Expected; // nullptr: still no file
    };
    const TCase cases[] = {
        {"missing file, backup present", nullptr, "backup", "backup"},
        {"empty file, backup present", "", "backup", "backup"},
        {"good file, backup present", "good", "backup", "good"},
        {"missing file, no backup", nullptr, nullptr, nullptr},
        {"empty file, no backup", "", nullptr, ""},
        {"missing file, empty backup", nullptr, "", ""},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(Path(u"system.ini"_s));
        QFile::remove(Path(u"system.ini.bak"_s));
        if (c.File)
            WriteBytes(u"system.ini"_s, c.File);
        if (c.Backup)
            WriteBytes(u"system.ini.bak"_s, c.Backup);
        TMessageCapture messages;
        RestoreFromBackup(Path(u"system.ini"_s), true);
        EXPECT_TRUE(messages.Shown.empty());
        EXPECT_EQ(QFileInfo::exists(Path(u"system.ini"_s)), c.Expected != nullptr);
        if (c.Expected) {
            EXPECT_EQ(ReadBytes(u"system.ini"_s), QByteArray(c.Expected));
        }
        if (c.Backup) {
            EXPECT_EQ(ReadBytes(u"system.ini.bak"_s), QByteArray(c.Backup));
        }
    }
}

// A failed restore: file-system kinds of failure are ignored, others are
// shown, or raised when the caller asks for that.
TEST_F(ComponentFile, FailedRestoreIsIgnoredShownOrRaised) {
    struct TCase {
        const char *Name;
        int Errno;
        bool Raise;
        bool Shown;
        bool Raised;
    };
    const TCase cases[] = {
        {"input/output error", EIO, false, false, false},
        {"missing folder", ENOTDIR, true, false, false},
        {"missing file", ENOENT, true, false, false},
        {"path too long", ENAMETOOLONG, true, false, false},
        {"unusable path", EINVAL, false, false, false},
        {"refused, shown", EACCES, false, true, false},
        {"disk full, shown", ENOSPC, false, true, false},
        {"refused, raised", EACCES, true, false, true},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        WriteBytes(u"player.ini"_s, "");
        WriteBytes(u"player.ini.bak"_s, "backup");
        TMessageCapture messages;
        bool raised = false;
        try {
            TWriteFault fault(wsWrite, c.Errno);
            RestoreFromBackup(Path(u"player.ini"_s), c.Raise);
        } catch (const EFileError &e) {
            raised = true;
            EXPECT_EQ(e.Errno(), c.Errno);
        }
        EXPECT_EQ(raised, c.Raised);
        ASSERT_EQ(messages.Shown.size(), c.Shown ? 1u : 0u);
        if (c.Shown) {
            EXPECT_EQ(messages.Shown[0].Text,
                      u"Unable to load file "_s + Path(u"player.ini"_s) + u" ("_s +
                          SystemErrorText(c.Errno) +
                          u"). Failed to restore file from backup. Loading default settings."_s);
            EXPECT_EQ(messages.Shown[0].Caption, u"Error"_s);
            EXPECT_EQ(messages.Shown[0].Flags, mbIconError);
        }
        EXPECT_EQ(ReadBytes(u"player.ini"_s), QByteArray()) << "the failed copy changed nothing";
    }
}

// The write that fails midway no longer leaves an empty file: the old
// content is still there, so the next read needs no restore.
TEST_F(ComponentFile, InterruptedSaveKeepsTheOldContentForTheNextRead) {
    TSample before;
    before.Int = 1;
    WriteComponentFile(before, Path(u"player.ini"_s));
    MakeBackupCopy(Path(u"player.ini"_s));
    TSample after;
    after.Int = 2;
    {
        TWriteFault fault(wsWrite, ENOSPC);
        EXPECT_THROW(WriteComponentFile(after, Path(u"player.ini"_s)), EFileError);
    }
    TMessageCapture messages;
    RestoreFromBackup(Path(u"player.ini"_s), false);
    TSample read;
    ReadComponentFile(read, Path(u"player.ini"_s));
    EXPECT_EQ(read.Int, 1);
    EXPECT_TRUE(messages.Shown.empty());
}

} // namespace
