// Start-up hands the station configuration's stream user agent to the audio
// library as 8-bit text. This program's folder holds a uid.ini (written by
// the build), so its data directory lies below XDG_CONFIG_HOME, which the test
// points at a temporary folder before start-up runs.

#include "config/DataDirs.h"
#include "devices/AudioLibrary.h"
#include "station/Startup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(LinuxStartupAgent, TheStationsUserAgentReachesTheAudioLibrary) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    ASSERT_TRUE(qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path())));
    const QString dataDir = InstallationDataDir(config.path(), u"agent"_s);
    ASSERT_TRUE(QDir().mkpath(dataDir));
    QFile ini(dataDir + u"system.ini"_s);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    // "Vocarra Tëst/2": the ë as the component text writes it.
    ini.write("object TSystemIni\r\n  StreamUserAgent = 'Vocarra T'#235'st/2'\r\nend\r\n");
    ini.close();

    SetNetworkUserAgent("untouched");
    InitSharedConfig();
    EXPECT_EQ(DataDir(), dataDir);
    EXPECT_EQ(NetworkUserAgent(), QByteArray("Vocarra T\xc3\xabst/2"));

    // A second start-up does nothing, so the text stays as the first one set it.
    SetNetworkUserAgent("later");
    InitSharedConfig();
    EXPECT_EQ(NetworkUserAgent(), QByteArray("later"));
    SetProcessDirs({});
}

} // namespace
