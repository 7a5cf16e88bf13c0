// Start-up reads the shared station configuration into the process-wide
// objects and takes the language folder from the system configuration.

#include "StationTestSupport.h"
#include "config/Translation.h"
#include "station/PlayerIni.h"
#include "station/Startup.h"
#include "station/SystemIni.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(StationStartup, ProcessWideObjectsAreReadAndFeedTheTranslations) {
    // The build folder holds no station files, so creation values apply,
    // padded as after any read.
    InitSharedConfig();
    EXPECT_EQ(PlayerIni().DSPList.Count(), 2);
    EXPECT_EQ(SystemIni().OutputDevice.Count(), 7);
    EXPECT_EQ(LanguageFilePath(u"main.lng"_s), ExeDir() + u"Lang/En/main.lng"_s);

    SystemIni().SetLangDir(u"Fr"_s);
    EXPECT_EQ(LanguageFilePath(u"main.lng"_s), ExeDir() + u"Lang/Fr/main.lng"_s);
    SetProcessDirs({});
}

} // namespace
