#include "core/Process.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace Qt::StringLiterals;

namespace {

struct TSplitCase {
    const char *Line;
    QStringList Words;
};

TEST(SplitCommandLine, SplitsLikeAPosixShellWithoutExpansion) {
    const TSplitCase cases[] = {
        {"", {}},
        {"  \t ", {}},
        {"prog", {u"prog"_s}},
        {"  prog   -a\t-b  ", {u"prog"_s, u"-a"_s, u"-b"_s}},
        {"sh -c \"echo x > out\"", {u"sh"_s, u"-c"_s, u"echo x > out"_s}},
        {"a 'b  c' d", {u"a"_s, u"b  c"_s, u"d"_s}},
        {"'it'\\''s'", {u"it's"_s}},
        {"\"a \\\"q\\\" \\\\ \\$HOME \\x\"", {u"a \"q\" \\ $HOME \\x"_s}},
        {"'no \\escape \"here\"'", {u"no \\escape \"here\""_s}},
        {"a\\ b c\\\\d", {u"a b"_s, u"c\\d"_s}},
        {"x \"\" ''", {u"x"_s, QString(), QString()}},
        {"pre\"mid dle\"post", {u"premid dlepost"_s}},
        {"$HOME ~ *.txt", {u"$HOME"_s, u"~"_s, u"*.txt"_s}},
        {"open \"unclosed rest", {u"open"_s, u"unclosed rest"_s}},
        {"trailing\\", {u"trailing\\"_s}},
        {"Мой диск/音声 -vocarra", {u"Мой"_s, u"диск/音声"_s, u"-vocarra"_s}},
    };
    for (const TSplitCase &c : cases) {
        SCOPED_TRACE(c.Line);
        EXPECT_EQ(SplitCommandLine(QString::fromUtf8(c.Line)), c.Words);
    }
}

TEST(QuoteCommandArgument, RoundTripsThroughSplitCommandLine) {
    const QString arguments[] = {
        QString(),        u"plain"_s,   u"with space"_s, u"it's"_s,   u"\"double\""_s,
        u"back\\slash"_s, u"$HOME *"_s, u"tab\there"_s,  u"Ä ö 音"_s,
    };
    for (const QString &argument : arguments) {
        SCOPED_TRACE(argument.toStdString());
        const QString line = u"prog "_s + QuoteCommandArgument(argument) + u" end"_s;
        EXPECT_EQ(SplitCommandLine(line), (QStringList{u"prog"_s, argument, u"end"_s}));
    }
}

// Waits until AFile holds AContent; gives up after a generous deadline that
// only guards against a hang.
bool WaitForFile(const QString &AFile, const QByteArray &AContent) {
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        QFile file(AFile);
        if (file.open(QIODevice::ReadOnly) && file.readAll() == AContent)
            return true;
        QThread::msleep(10);
    }
    return false;
}

// True when this process has no child left, running or waiting to be reaped.
bool HasNoChildren() {
    return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

class RunProcessTest : public ::testing::Test {
protected:
    QTemporaryDir FDir;
};

TEST_F(RunProcessTest, BlankCommandLineStartsNothing) {
    for (const QString &line : {QString(), u"   "_s, u" \t\n "_s}) {
        qint64 pid = 12345;
        EXPECT_EQ(RunProcess(line, &pid), QString());
        EXPECT_EQ(pid, 0);
    }
    EXPECT_TRUE(HasNoChildren());
}

TEST_F(RunProcessTest, MissingProgramReportsThePlatformError) {
    const QString cases[] = {
        FDir.filePath(u"no-such-program"_s),
        u"vocarra-surely-not-installed-anywhere --flag"_s,
    };
    for (const QString &line : cases) {
        SCOPED_TRACE(line.toStdString());
        qint64 pid = 12345;
        EXPECT_EQ(RunProcess(line, &pid), qt_error_string(ENOENT));
        EXPECT_EQ(pid, 0);
    }
    EXPECT_TRUE(HasNoChildren());
}

TEST_F(RunProcessTest, FileThatIsNoProgramReportsThePlatformError) {
    const QString path = FDir.filePath(u"notes.txt"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a program\n");
    file.close();
    EXPECT_EQ(RunProcess(path), qt_error_string(EACCES));
}

TEST_F(RunProcessTest, RunsTheProgramDetachedWithQuotedArguments) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir(u"with space"_s));
    const QString out = FDir.filePath(u"with space/out.txt"_s);
    // The whole script is one argument; the file name inside it is quoted again.
    const QString script = u"echo \"$0:$1\" > "_s + QuoteCommandArgument(out);
    const QString line = u"/bin/sh -c "_s + QuoteCommandArgument(script) + u" first 'second arg'"_s;
    qint64 pid = 0;
    EXPECT_EQ(RunProcess(line, &pid), QString());
    EXPECT_GT(pid, 0);
    // The program is not our child, so nobody has to wait for it.
    EXPECT_TRUE(HasNoChildren());
    EXPECT_TRUE(WaitForFile(out, "first:second arg\n"));
}

TEST_F(RunProcessTest, FindsProgramsThroughPath) {
    const QString out = FDir.filePath(u"path.txt"_s);
    EXPECT_EQ(RunProcess(u"sh -c 'echo found > \"$0\"' "_s + QuoteCommandArgument(out)), QString());
    EXPECT_TRUE(WaitForFile(out, "found\n"));
}

// RunElevated with a stand-in pkexec found first on PATH.
class RunElevatedTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FOldPath = qgetenv("PATH");
        FBin = FDir.filePath(u"bin"_s);
        ASSERT_TRUE(QDir().mkpath(FBin));
    }
    void TearDown() override { qputenv("PATH", FOldPath); }

    // Puts a pkexec on PATH that writes its arguments, one a line, to FOut.
    void InstallFakePkexec() {
        QFile script(FBin + u"/pkexec"_s);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > " +
                     QFile::encodeName(QuoteCommandArgument(FOut)) + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(FBin) + ":/usr/bin:/bin");
    }

    QTemporaryDir FDir;
    QByteArray FOldPath;
    QString FBin;
    QString FOut = FDir.filePath(u"args.txt"_s);
};

TEST_F(RunElevatedTest, PassesProgramAndSplitParametersToPkexec) {
    InstallFakePkexec();
    qint64 pid = 0;
    EXPECT_TRUE(RunElevated(u"/usr/bin/mkdir"_s, u"-p \"/srv/my plugins\""_s, &pid));
    EXPECT_GT(pid, 0);
    EXPECT_TRUE(WaitForFile(FOut, "/usr/bin/mkdir\n-p\n/srv/my plugins\n"));
}

TEST_F(RunElevatedTest, WithoutParametersPassesOnlyTheProgram) {
    InstallFakePkexec();
    EXPECT_TRUE(RunElevated(u"xdg-open"_s));
    EXPECT_TRUE(WaitForFile(FOut, "xdg-open\n"));
}

TEST_F(RunElevatedTest, FailsWhenPkexecIsMissing) {
    qputenv("PATH", QFile::encodeName(FBin)); // an empty folder
    qint64 pid = 12345;
    EXPECT_FALSE(RunElevated(u"/bin/true"_s, QString(), &pid));
    EXPECT_EQ(pid, 0);
}

} // namespace
