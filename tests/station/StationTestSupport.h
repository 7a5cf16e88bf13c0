#pragma once
// Shared pieces of the shared station configuration tests: a program folder
// and a data folder of their own, set as the process-wide ExeDir and DataDir
// while a test runs, and the hand-made station files in tests/config/data.

#include "config/ConfigTestSupport.h"
#include "config/DataDirs.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <unistd.h>

// A player.ini or system.ini as another program of the station family wrote it.
inline QByteArray StationSample(const char *AName) {
    QFile file(QStringLiteral(VOCARRA_STATION_DATA_DIR "/") + QString::fromLatin1(AName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Read-only folders stop nobody who runs as root.
inline bool RunsAsRoot() {
    return ::geteuid() == 0;
}

class TStationDirsTest : public TTempDirTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(FDir.path()).mkpath(QStringLiteral("exe")));
        ASSERT_TRUE(QDir(FDir.path()).mkpath(QStringLiteral("data")));
        SetProcessDirs({ExeFolder(), QString(), DataFolder()});
    }
    void TearDown() override {
        SetProcessDirs({});
        TTempDirTest::TearDown();
    }

    QString ExeFolder() const { return Path(QStringLiteral("exe")) + u'/'; }
    QString DataFolder() const { return Path(QStringLiteral("data")) + u'/'; }

    // Names below the data folder.
    void WriteData(const QString &AName, const QByteArray &ABytes) const {
        WriteBytes(QStringLiteral("data/") + AName, ABytes);
    }
    QByteArray ReadData(const QString &AName) const {
        return ReadBytes(QStringLiteral("data/") + AName);
    }
    bool DataExists(const QString &AName) const { return QFile::exists(DataFolder() + AName); }
    // The files left in the data folder, to see that no temporary file stays.
    QStringList DataEntries() const {
        return QDir(DataFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

    static void ExpectOneError(const TMessageCapture &AMessages, const QString &APrefix) {
        ASSERT_EQ(AMessages.Shown.size(), 1u);
        EXPECT_TRUE(AMessages.Shown[0].Text.startsWith(APrefix))
            << AMessages.Shown[0].Text.toStdString();
        EXPECT_TRUE(AMessages.Shown[0].Text.endsWith(u'.'));
        EXPECT_EQ(AMessages.Shown[0].Caption, QStringLiteral("Error"));
        EXPECT_EQ(AMessages.Shown[0].Flags, mbIconError);
    }
};

// Text with LF line ends as the files hold it, with CR LF.
inline QByteArray CrLf(const char *AText) {
    return QByteArray(AText).replace("\n", "\r\n");
}
