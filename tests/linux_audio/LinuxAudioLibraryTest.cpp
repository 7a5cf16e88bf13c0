// The Linux audio library against what this machine really has: ALSA's
// configuration, a private sound server started for the test, a missing
// server and one that never answers.

#include "linux_audio/LinuxAudioLibrary.h"

#include "LinuxSoundServer.h"
#include "devices/SoundDevice.h"
#include "support/QtTestEnvironment.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const auto *const QtEnv = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

std::vector<TWasapiDeviceInfo> WasapiList(const TAudioLibrary &ALibrary) {
    std::vector<TWasapiDeviceInfo> list;
    TWasapiDeviceInfo info;
    while (ALibrary.WasapiGetDeviceInfo(static_cast<int>(list.size()), info))
        list.push_back(info);
    return list;
}

// The number of the device with identifier AId, or -1.
int NumberOf(const std::vector<TWasapiDeviceInfo> &AList, const QString &AId) {
    for (size_t i = 0; i < AList.size(); ++i) {
        if (AList[i].Id == AId)
            return static_cast<int>(i);
    }
    return -1;
}

TLinuxAudioOptions ServerAt(const QByteArray &AAddress) {
    TLinuxAudioOptions options;
    options.PulseServer = AAddress;
    return options;
}

TEST(LinuxStandardLayer, NoSoundAndDefaultLeadTheListsOnAnyMachine) {
    InstallLinuxAudioLibrary();
    const std::shared_ptr<const TAudioLibrary> library = AudioLibrary();
    TDeviceInfo info;
    ASSERT_TRUE(library->GetDeviceInfo(0, info));
    EXPECT_EQ(info.Name, u"No sound"_s);
    EXPECT_TRUE(info.Driver.isEmpty());
    ASSERT_TRUE(library->GetDeviceInfo(1, info));
    EXPECT_EQ(info.Name, u"Default"_s);
    EXPECT_EQ(info.Driver, u"default"_s);
    ASSERT_TRUE(library->RecordGetDeviceInfo(0, info));
    EXPECT_EQ(info.Driver, u"default"_s);

    // Every list ends, and numbers before its start give nothing.
    int count = 0;
    while (library->GetDeviceInfo(count, info))
        ++count;
    EXPECT_FALSE(library->GetDeviceInfo(count, info));
    EXPECT_FALSE(library->GetDeviceInfo(-1, info));
    EXPECT_FALSE(library->RecordGetDeviceInfo(-1, info));
    EXPECT_FALSE(library->AsioGetDeviceInfo(0, info));
    SetAudioLibrary(nullptr);
}

TEST(LinuxStandardLayer, StoredDefaultsResolveToTheDefaultEntries) {
    const TLinuxAudioLibrary library;
    TOutputDevice output;
    output.SetMethod(lyStandard);
    output.SetDeviceID(u"default"_s);
    output.SetDeviceName2(u"Default"_s);
    EXPECT_EQ(output.DeviceIdx(library), 1);
    TInputDevice input;
    input.SetMethod(lyStandard);
    input.SetDeviceID(u"default"_s);
    input.SetDeviceName2(u"Default"_s);
    EXPECT_EQ(input.DeviceIdx(library), 0);
}

TEST(LinuxWasapiRole, MissingServerGivesAnEmptyList) {
    QTemporaryDir dir;
    const TLinuxAudioLibrary library(
        ServerAt("unix:" + QFile::encodeName(dir.filePath(u"missing"_s))));
    TWasapiDeviceInfo info;
    EXPECT_FALSE(library.WasapiGetDeviceInfo(0, info));
    EXPECT_FALSE(library.WasapiGetDeviceInfo(1, info));
}

// A socket that takes connections into its queue and never says a word: the
// reading must give up at its time limit instead of waiting for the server.
TEST(LinuxWasapiRole, ServerThatNeverAnswersCountsAsNone) {
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(u"silent"_s));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<size_t>(path.size()), sizeof(address.sun_path));
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(fd, 8), 0);

    TLinuxAudioOptions options = ServerAt("unix:" + path);
    options.PulseTimeLimit = std::chrono::milliseconds(300);
    const TLinuxAudioLibrary library(options);
    TWasapiDeviceInfo info;
    EXPECT_FALSE(library.WasapiGetDeviceInfo(0, info));
    ::close(fd);
}

class LinuxSoundServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Server = new TTestSoundServer; }
    static void TearDownTestSuite() {
        delete Server;
        Server = nullptr;
    }
    void SetUp() override {
        if (!Server->Running())
            GTEST_SKIP() << "no sound server for the test: " << Server->Reason().toStdString();
    }

    static TTestSoundServer *Server;
};

TTestSoundServer *LinuxSoundServerTest::Server = nullptr;

TEST_F(LinuxSoundServerTest, SinksSourcesAndMonitorsWithTheirFlags) {
    const TLinuxAudioLibrary library(ServerAt(Server->Address()));
    const std::vector<TWasapiDeviceInfo> list = WasapiList(library);

    struct TCase {
        QString Id;
        QString Name;
        quint32 Flags;
    };
    const TCase cases[] = {
        {u"vocarra_test_sink"_s, u"Test-Sink"_s, wdfEnabled},
        {u"vocarra_test_sink.monitor"_s, u"Monitor of Test-Sink"_s,
         wdfEnabled | wdfLoopback | wdfInput},
        {u"vocarra_test_source"_s, u"Test-Source"_s, wdfEnabled | wdfInput},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Id.toStdString());
        const int number = NumberOf(list, c.Id);
        ASSERT_GE(number, 0);
        EXPECT_EQ(list[static_cast<size_t>(number)].Name, c.Name);
        EXPECT_EQ(list[static_cast<size_t>(number)].Flags, c.Flags);
    }
    // Capture devices come before output devices.
    EXPECT_LT(NumberOf(list, u"vocarra_test_source"_s), NumberOf(list, u"vocarra_test_sink"_s));
}

TEST_F(LinuxSoundServerTest, StoredEntriesFindTheServersDevices) {
    const TLinuxAudioLibrary library(ServerAt(Server->Address()));
    const std::vector<TWasapiDeviceInfo> list = WasapiList(library);
    const int source = NumberOf(list, u"vocarra_test_source"_s);
    const int sink = NumberOf(list, u"vocarra_test_sink"_s);
    ASSERT_GE(source, 0);
    ASSERT_GE(sink, 0);

    TInputDevice microphone;
    microphone.SetMethod(lyWasapi);
    microphone.SetDeviceID(u"vocarra_test_source"_s);
    EXPECT_EQ(microphone.DeviceIdx(library), source);

    // A monitor is a loopback: never a microphone, though its id matches.
    TInputDevice monitor;
    monitor.SetMethod(lyWasapi);
    monitor.SetDeviceID(u"vocarra_test_sink.monitor"_s);
    EXPECT_EQ(monitor.DeviceIdx(library), -3);

    // An output found by its name after its id changed.
    TOutputDevice speakers;
    speakers.SetMethod(lyWasapi);
    speakers.SetDeviceID(u"renamed_sink"_s);
    speakers.SetDeviceName2(u"test-sink"_s);
    EXPECT_EQ(speakers.DeviceIdx(library), sink);
}

TEST_F(LinuxSoundServerTest, ListsStayASnapshotUntilRefreshed) {
    TLinuxAudioOptions options = ServerAt(Server->Address());
    options.KeepLists = std::chrono::hours(1);
    TLinuxAudioLibrary library(options);
    const std::vector<TWasapiDeviceInfo> before = WasapiList(library);

    const std::optional<QString> module =
        Server->Pactl({u"load-module"_s, u"module-null-sink"_s, u"sink_name=vocarra_late_sink"_s});
    ASSERT_TRUE(module.has_value());

    // A walk in progress keeps its numbers while devices come and go.
    EXPECT_EQ(WasapiList(library).size(), before.size());
    EXPECT_EQ(NumberOf(WasapiList(library), u"vocarra_late_sink"_s), -1);

    library.Refresh();
    const std::vector<TWasapiDeviceInfo> after = WasapiList(library);
    EXPECT_GE(NumberOf(after, u"vocarra_late_sink"_s), 0);
    EXPECT_GE(NumberOf(after, u"vocarra_late_sink.monitor"_s), 0);
    EXPECT_TRUE(Server->Pactl({u"unload-module"_s, *module}).has_value());
}

TEST_F(LinuxSoundServerTest, ThreadsWalkingAtOnceSeeWholeLists) {
    // Every call reads the lists anew, so the threads really meet.
    TLinuxAudioOptions options = ServerAt(Server->Address());
    options.KeepLists = std::chrono::milliseconds(0);
    const TLinuxAudioLibrary library(options);

    constexpr int KThreads = 4;
    int found[KThreads] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < KThreads; ++t) {
        threads.emplace_back([&, t] {
            TInputDevice microphone;
            microphone.SetMethod(lyWasapi);
            microphone.SetDeviceID(u"vocarra_test_source"_s);
            microphone.SetDeviceName2(u"Test-Source"_s);
            found[t] = microphone.DeviceIdx(library);
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    const int expected = NumberOf(WasapiList(library), u"vocarra_test_source"_s);
    ASSERT_GE(expected, 0);
    for (int t = 0; t < KThreads; ++t)
        EXPECT_EQ(found[t], expected) << "thread " << t;
}

} // namespace
