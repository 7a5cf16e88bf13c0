// Which list an entry looks in, the special identifiers that need no list,
// and the process-wide library that DeviceIdx asks by default.

#include "ScriptedLibrary.h"
#include "devices/SoundDevice.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<TSoundDevice> MakeEntry(bool ACapture, qint32 AMethod, TOutputDevType ADevType,
                                        const QString &AId, const QString &AName) {
    std::unique_ptr<TSoundDevice> entry;
    if (ACapture)
        entry = std::make_unique<TInputDevice>();
    else
        entry = std::make_unique<TOutputDevice>();
    entry->SetMethod(AMethod);
    entry->SetDevType(ADevType);
    entry->SetDeviceID(AId);
    entry->SetDeviceName2(AName);
    return entry;
}

// Every list holds the device "target" at a number of its own, so the result
// tells which list was walked.
TScriptedLibrary LibraryWithTargets() {
    TScriptedLibrary library;
    const TDeviceInfo decoy{u"Decoy"_s, u"decoy"_s};
    const TDeviceInfo target{u"Target"_s, u"target"_s};
    library.Output = {{u"No sound"_s, QString()}, {u"Default"_s, u"default"_s}, target};
    library.Capture = {decoy, decoy, decoy, target};
    for (int i = 0; i < 4; ++i)
        library.Wasapi.push_back({u"Decoy"_s, u"decoy"_s, wdfEnabled | wdfInput});
    library.Wasapi.push_back({u"Target"_s, u"target"_s, wdfEnabled | wdfInput});
    library.Wasapi.push_back({u"Target"_s, u"target"_s, wdfEnabled});
    library.Asio = {decoy, decoy, decoy, decoy, decoy, decoy, target};
    return library;
}

constexpr int OutputList = 2;
constexpr int CaptureList = 3;
constexpr int WasapiCapture = 4;
constexpr int WasapiOutput = 5;
constexpr int AsioList = 6;

struct TIdxCase {
    const char *Scenario;
    bool Capture;
    qint32 Method;
    TOutputDevType DevType;
    QString Id;
    QString Name;
    int Expected;
    bool Examined; // whether any device list was read
};

TEST(DeviceIdx, LooksInTheListOfTheEntrysLayerAndDirection) {
    const QString id = u"target"_s;
    const QString name = u"Target"_s;
    const TIdxCase cases[] = {
        {"standard capture", true, lyStandard, odMixer, id, name, CaptureList, true},
        {"standard output", false, lyStandard, odMixer, id, name, OutputList, true},
        {"WASAPI capture", true, lyWasapi, odMixer, id, name, WasapiCapture, true},
        {"WASAPI mixer output", false, lyWasapi, odMixer, id, name, WasapiOutput, true},
        {"WASAPI regular output", false, lyWasapi, odRegular, id, name, OutputList, true},
        {"WASAPI unused output", false, lyWasapi, odNotUsed, id, name, OutputList, true},
        {"WASAPI capture marked regular", true, lyWasapi, odRegular, id, name, CaptureList, true},
        {"ASIO capture", true, lyAsio, odMixer, id, name, AsioList, true},
        {"ASIO output", false, lyAsio, odRegular, id, name, AsioList, true},
        {"no device", true, lyNone, odMixer, id, name, -1, false},
        {"microphone entry as first created", true, -2, odMixer, id, name, -1, false},
        {"unknown layer", false, 3, odMixer, id, name, -1, false},
    };
    for (const TIdxCase &c : cases) {
        SCOPED_TRACE(c.Scenario);
        const TScriptedLibrary library = LibraryWithTargets();
        const auto entry = MakeEntry(c.Capture, c.Method, c.DevType, c.Id, c.Name);
        EXPECT_EQ(entry->DeviceIdx(library), c.Expected);
        EXPECT_EQ(library.Calls > 0, c.Examined);
    }
}

TEST(DeviceIdx, SpecialIdentifiersNeedNoDeviceList) {
    const QString def = u":default"_s;
    const QString decode = u":decode"_s;
    const TIdxCase cases[] = {
        {"default capture, standard", true, lyStandard, odMixer, def, {}, 0, false},
        {"default capture, WASAPI", true, lyWasapi, odMixer, def, {}, 0, false},
        {"default output, standard", false, lyStandard, odMixer, def, {}, 1, false},
        {"default output, WASAPI mixer", false, lyWasapi, odMixer, def, {}, 1, false},
        {"decode output, standard", false, lyStandard, odNotUsed, decode, {}, 0, false},
        {"decode output, WASAPI regular", false, lyWasapi, odRegular, decode, {}, 0, false},
        // Outside these rules the special values are ordinary identifiers.
        {"decode output, WASAPI mixer", false, lyWasapi, odMixer, decode, {}, -1, true},
        {"decode capture, standard", true, lyStandard, odMixer, decode, {}, -2, true},
        {"default capture, ASIO", true, lyAsio, odMixer, def, {}, -1, true},
        {"default output, ASIO", false, lyAsio, odMixer, def, {}, -1, true},
        {"default in capitals, standard output",
         false,
         lyStandard,
         odMixer,
         u":DEFAULT"_s,
         {},
         -1,
         true},
        {"default in capitals, WASAPI capture",
         true,
         lyWasapi,
         odMixer,
         u":Default"_s,
         {},
         -3,
         true},
    };
    for (const TIdxCase &c : cases) {
        SCOPED_TRACE(c.Scenario);
        const TScriptedLibrary library = LibraryWithTargets();
        const auto entry = MakeEntry(c.Capture, c.Method, c.DevType, c.Id, c.Name);
        EXPECT_EQ(entry->DeviceIdx(library), c.Expected);
        EXPECT_EQ(library.Calls > 0, c.Examined);
    }
}

TEST(SoundDevice, IsNoSoundForNoLayerOrTheStandardDecodeOutput) {
    const struct {
        const char *Scenario;
        bool Capture;
        qint32 Method;
        QString Id;
        bool Expected;
    } cases[] = {
        {"no layer", false, lyNone, u"target"_s, true},
        {"no layer, capture", true, lyNone, QString(), true},
        {"standard decode output", false, lyStandard, u":decode"_s, true},
        {"standard decode capture", true, lyStandard, u":decode"_s, true},
        {"decode in capitals", false, lyStandard, u":Decode"_s, false},
        {"WASAPI decode output", false, lyWasapi, u":decode"_s, false},
        {"ASIO decode output", false, lyAsio, u":decode"_s, false},
        {"standard default output", false, lyStandard, u":default"_s, false},
        {"unknown layer", false, 5, u":decode"_s, false},
        {"microphone as first created", true, -2, QString(), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Scenario);
        const auto entry = MakeEntry(c.Capture, c.Method, odMixer, c.Id, QString());
        EXPECT_EQ(entry->IsNoSound(), c.Expected);
    }
}

TEST(SoundDevice, IsDefaultComparesExactly) {
    TInputDevice entry;
    const struct {
        QString Id;
        bool Expected;
    } cases[] = {
        {u":default"_s, true}, {u":Default"_s, false}, {u":default "_s, false},
        {u"default"_s, false}, {QString(), false},     {u":decode"_s, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Id.toStdString());
        entry.SetDeviceID(c.Id);
        EXPECT_EQ(entry.IsDefault(), c.Expected);
    }
}

TEST(SoundDevice, SettingIsDefaultLeavesItAsSet) {
    TOutputDevice entry;
    entry.SetDeviceID(u"{usb}"_s);
    entry.SetIsDefault(true);
    EXPECT_EQ(entry.DeviceID(), u":default"_s);

    entry.SetIsDefault(false);
    EXPECT_FALSE(entry.IsDefault());
    EXPECT_EQ(entry.DeviceID(), QString());

    entry.SetDeviceID(u"{usb}"_s);
    entry.SetIsDefault(false);
    EXPECT_EQ(entry.DeviceID(), u"{usb}"_s) << "a real identifier stays";
}

// Each test starts and ends without an installed library.
class ProcessLibrary : public ::testing::Test {
protected:
    void SetUp() override { SetAudioLibrary(nullptr); }
    void TearDown() override { SetAudioLibrary(nullptr); }
};

TEST_F(ProcessLibrary, DeviceIdxAsksTheInstalledLibrary) {
    TInputDevice entry;
    entry.SetMethod(lyWasapi);
    entry.SetDeviceID(u"target"_s);
    EXPECT_EQ(entry.DeviceIdx(), -3) << "before any library is installed there are no devices";

    auto library = std::make_shared<TScriptedLibrary>(LibraryWithTargets());
    SetAudioLibrary(library);
    EXPECT_EQ(entry.DeviceIdx(), WasapiCapture);

    SetAudioLibrary(nullptr);
    EXPECT_EQ(entry.DeviceIdx(), -3);
}

TEST_F(ProcessLibrary, ALibraryInUseOutlivesItsReplacement) {
    auto installed = std::make_shared<TScriptedLibrary>(LibraryWithTargets());
    const std::weak_ptr<TScriptedLibrary> watch = installed;
    SetAudioLibrary(std::move(installed));

    std::shared_ptr<const TAudioLibrary> inUse = AudioLibrary();
    SetAudioLibrary(nullptr);
    ASSERT_FALSE(watch.expired());
    TDeviceInfo info;
    EXPECT_TRUE(inUse->AsioGetDeviceInfo(AsioList, info));
    EXPECT_EQ(info.Name, u"Target"_s);

    inUse.reset();
    EXPECT_TRUE(watch.expired());
}

TEST_F(ProcessLibrary, CanBeReplacedWhileAnotherThreadLooksUpDevices) {
    // Only the reader calls into the library: its call counter has no lock.
    const auto library = std::make_shared<const TScriptedLibrary>(LibraryWithTargets());
    std::thread reader([] {
        TOutputDevice entry;
        entry.SetMethod(lyStandard);
        entry.SetDeviceID(u"target"_s);
        for (int i = 0; i < 500; ++i) {
            const int idx = entry.DeviceIdx();
            ASSERT_TRUE(idx == -1 || idx == OutputList) << idx;
        }
    });
    for (int i = 0; i < 500; ++i)
        SetAudioLibrary(i % 2 ? nullptr : library);
    reader.join();
}

} // namespace
