// Start-up of the shared configuration: where the program directory is found,
// and that the start-up runs once.

#include "station/Startup.h"

#include "config/ConfigTestSupport.h"
#include "config/DataDirs.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The folder the build placed this test program in.
QString BuiltProgramDir() {
    return QDir(QStringLiteral(VOCARRA_TEST_BINARY_DIR)).canonicalPath() + u'/';
}

TEST(Startup, ProgramDirWithoutAnApplicationObject) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(ProgramDir(), BuiltProgramDir());
}

TEST(Startup, ProgramDirWithAnApplicationObject) {
    int argc = 1;
    char name[] = "test_startup";
    char *argv[] = {name, nullptr};
    const QCoreApplication app(argc, argv);
    EXPECT_EQ(ProgramDir(), BuiltProgramDir());
}

TEST(Startup, InitSharedConfigRunsOnce) {
    // The build folder holds no uid.ini, so the data directory is the
    // program directory.
    ASSERT_FALSE(QFileInfo::exists(BuiltProgramDir() + u"uid.ini"_s));
    InitSharedConfig();
    EXPECT_EQ(ExeDir(), BuiltProgramDir());
    EXPECT_EQ(UID(), QString());
    EXPECT_EQ(DataDir(), BuiltProgramDir());

    const TProcessDirs moved{u"/elsewhere/"_s, u"3"_s, u"/elsewhere/data/"_s};
    SetProcessDirs(moved);
    InitSharedConfig();
    EXPECT_EQ(ExeDir(), moved.ExeDir);
    EXPECT_EQ(UID(), moved.UID);
    EXPECT_EQ(DataDir(), moved.DataDir);
    SetProcessDirs({});
}

} // namespace
