// Finding a stored device among the devices a layer reports: the same four
// outcomes in every layer, whatever the devices are called and in which order
// they come.

#include "ScriptedLibrary.h"
#include "devices/SoundDevice.h"

#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct TDev {
    QString Id;
    QString Name;
};

// How an entry reaches one layer's list, and what it gets when its device is
// not there.
struct TLayer {
    const char *Name;
    bool Capture;
    qint32 Method;
    TOutputDevType DevType;
    int NotFound;
};

void PrintTo(const TLayer &ALayer, std::ostream *AOut) {
    *AOut << ALayer.Name;
}

const TLayer Layers[] = {
    {"StandardCapture", true, lyStandard, odMixer, -2},
    {"StandardOutput", false, lyStandard, odMixer, -1},
    {"WasapiCapture", true, lyWasapi, odMixer, -3},
    {"WasapiOutput", false, lyWasapi, odMixer, -1},
    {"WasapiRegularOutputInStandardList", false, lyWasapi, odRegular, -1},
    {"WasapiUnusedOutputInStandardList", false, lyWasapi, odNotUsed, -1},
    {"AsioCapture", true, lyAsio, odMixer, -1},
    {"AsioOutput", false, lyAsio, odMixer, -1},
};

std::unique_ptr<TSoundDevice> MakeEntry(const TLayer &ALayer, const QString &AId,
                                        const QString &AName) {
    std::unique_ptr<TSoundDevice> entry;
    if (ALayer.Capture)
        entry = std::make_unique<TInputDevice>();
    else
        entry = std::make_unique<TOutputDevice>();
    entry->SetMethod(ALayer.Method);
    entry->SetDevType(ALayer.DevType);
    entry->SetDeviceID(AId);
    entry->SetDeviceName2(AName);
    return entry;
}

// Puts ADevices into the list the layer reads, each one usable.
void Fill(TScriptedLibrary &ALibrary, const TLayer &ALayer, const std::vector<TDev> &ADevices) {
    ALibrary = TScriptedLibrary();
    for (const TDev &dev : ADevices) {
        const TDeviceInfo plain{dev.Name, dev.Id};
        if (ALayer.Method == lyAsio)
            ALibrary.Asio.push_back(plain);
        else if (ALayer.Method == lyWasapi && ALayer.DevType == odMixer)
            ALibrary.Wasapi.push_back(
                {dev.Name, dev.Id, wdfEnabled | (ALayer.Capture ? wdfInput : 0u)});
        else if (ALayer.Capture)
            ALibrary.Capture.push_back(plain);
        else
            ALibrary.Output.push_back(plain);
    }
}

constexpr int NotFound = std::numeric_limits<int>::min(); // the layer's own value

struct TWalkCase {
    const char *Scenario;
    std::vector<TDev> Devices;
    QString StoredId;
    QString StoredName;
    int Expected;
};

const std::vector<TWalkCase> WalkCases = {
    {"identifier and name match the same device",
     {{u"a"_s, u"A"_s}, {u"b"_s, u"B"_s}, {u"c"_s, u"C"_s}},
     u"b"_s,
     u"B"_s,
     1},
    {"a full match stops the walk before later name matches",
     {{u"x"_s, u"Mic"_s}, {u"id"_s, u"Mic"_s}, {u"y"_s, u"Mic"_s}},
     u"id"_s,
     u"Mic"_s,
     1},
    {"same name, the device whose identifier also matches wins",
     {{u"other"_s, u"Mic"_s}, {u"third"_s, u"Mic"_s}, {u"id"_s, u"Mic"_s}},
     u"id"_s,
     u"Mic"_s,
     2},
    {"identifier at 2 and name at 4 give 4",
     {{u"p"_s, u"P"_s}, {u"q"_s, u"Q"_s}, {u"id"_s, u"X"_s}, {u"r"_s, u"R"_s}, {u"z"_s, u"Mic"_s}},
     u"id"_s,
     u"Mic"_s,
     4},
    {"a later identifier match does not replace a name match",
     {{u"a"_s, u"Mic"_s}, {u"id"_s, u"X"_s}},
     u"id"_s,
     u"Mic"_s,
     0},
    {"two name matches, the later wins",
     {{u"a"_s, u"Mic"_s}, {u"b"_s, u"B"_s}, {u"c"_s, u"Mic"_s}},
     u"id"_s,
     u"Mic"_s,
     2},
    {"two identifier matches, the earlier wins",
     {{u"a"_s, u"A"_s}, {u"id"_s, u"B"_s}, {u"id"_s, u"C"_s}},
     u"id"_s,
     u"Mic"_s,
     1},
    {"letter case is ignored",
     {{u"a"_s, u"A"_s}, {u"HEADSET-07"_s, u"usb headset"_s}, {u"z"_s, u"USB HEADSET"_s}},
     u"headset-07"_s,
     u"USB Headset"_s,
     1},
    {"letter case is ignored beyond ASCII",
     {{u"a"_s, u"A"_s}, {u"b"_s, u"\u041C\u0418\u041A\u0420\u041E\u0424\u041E\u041D \u00C4"_s}},
     u"id"_s,
     u"\u043C\u0438\u043A\u0440\u043E\u0444\u043E\u043D \u00E4"_s,
     1},
    {"a default identifier in other letters is an ordinary identifier",
     {{u"x"_s, u"X"_s}, {u":DEFAULT"_s, u"Y"_s}},
     u":Default"_s,
     u"Mic"_s,
     1},
    {"nothing matches", {{u"a"_s, u"A"_s}, {u"b"_s, u"B"_s}}, u"id"_s, u"Mic"_s, NotFound},
    {"the layer reports no device", {}, u"id"_s, u"Mic"_s, NotFound},
    {"a device differing by a trailing space is another device",
     {{u"id "_s, u"Mic "_s}},
     u"id"_s,
     u"Mic"_s,
     NotFound},
    {"empty stored texts match no device, not even a nameless one",
     {{QString(), QString()}, {u"a"_s, QString()}},
     QString(),
     QString(),
     NotFound},
    {"an empty stored name does not match a nameless device",
     {{u"id"_s, u"Mic"_s}, {u"b"_s, QString()}},
     u"id"_s,
     QString(),
     0},
};

class DeviceWalk : public ::testing::TestWithParam<TLayer> {};

TEST_P(DeviceWalk, ChoosesByTheFourOutcomes) {
    const TLayer &layer = GetParam();
    for (const TWalkCase &c : WalkCases) {
        SCOPED_TRACE(c.Scenario);
        TScriptedLibrary library;
        Fill(library, layer, c.Devices);
        const auto entry = MakeEntry(layer, c.StoredId, c.StoredName);
        EXPECT_EQ(entry->DeviceIdx(library), c.Expected == NotFound ? layer.NotFound : c.Expected);
    }
}

// Device numbers shift as devices are plugged in and out; the entry follows
// its device by what it stored.
TEST_P(DeviceWalk, FollowsItsDeviceToAnotherNumber) {
    const TLayer &layer = GetParam();
    const auto entry = MakeEntry(layer, u"usb-7"_s, u"USB Mic"_s);
    TScriptedLibrary library;

    Fill(library, layer, {{u"card-0"_s, u"Built-in"_s}, {u"usb-7"_s, u"USB Mic"_s}});
    EXPECT_EQ(entry->DeviceIdx(library), 1);

    Fill(library, layer,
         {{u"card-0"_s, u"Built-in"_s}, {u"hdmi"_s, u"HDMI"_s}, {u"usb-7"_s, u"USB Mic"_s}});
    EXPECT_EQ(entry->DeviceIdx(library), 2) << "a device came before it";

    Fill(library, layer, {{u"usb-7"_s, u"USB Mic"_s}});
    EXPECT_EQ(entry->DeviceIdx(library), 0) << "the devices before it went";

    Fill(library, layer, {{u"card-0"_s, u"Built-in"_s}});
    EXPECT_EQ(entry->DeviceIdx(library), layer.NotFound) << "it was unplugged";

    Fill(library, layer, {{u"card-0"_s, u"Built-in"_s}, {u"usb-9"_s, u"USB Mic"_s}});
    EXPECT_EQ(entry->DeviceIdx(library), 1) << "plugged into another port: the name still matches";
}

INSTANTIATE_TEST_SUITE_P(EveryLayer, DeviceWalk, ::testing::ValuesIn(Layers),
                         [](const ::testing::TestParamInfo<TLayer> &AInfo) {
                             return std::string(AInfo.param.Name);
                         });

// The WASAPI list holds capture and output devices, loopback captures of the
// outputs and disabled devices; an entry considers only usable devices of its
// own direction, however well they match.
struct TWasapiCase {
    const char *Scenario;
    bool Capture;
    quint32 Flags;
    bool Chosen;
};

TEST(WasapiFilter, ConsidersOnlyEnabledDevicesOfTheEntrysDirection) {
    const TWasapiCase cases[] = {
        {"enabled capture device, capture entry", true, wdfEnabled | wdfInput, true},
        {"enabled output device, output entry", false, wdfEnabled, true},
        {"disabled capture device", true, wdfInput, false},
        {"disabled output device", false, 0, false},
        {"loopback capture of an output", true, wdfEnabled | wdfInput | wdfLoopback, false},
        {"loopback seen by an output entry", false, wdfEnabled | wdfLoopback, false},
        {"output device, capture entry", true, wdfEnabled, false},
        {"capture device, output entry", false, wdfEnabled | wdfInput, false},
    };
    for (const TWasapiCase &c : cases) {
        SCOPED_TRACE(c.Scenario);
        TScriptedLibrary library;
        // The tested device matches fully; an ordinary usable device of the
        // entry's direction that matches by name alone follows it.
        library.Wasapi = {{u"Mic"_s, u"id"_s, c.Flags},
                          {u"Mic"_s, u"other"_s, wdfEnabled | (c.Capture ? wdfInput : 0u)}};
        std::unique_ptr<TSoundDevice> entry;
        if (c.Capture)
            entry = std::make_unique<TInputDevice>();
        else
            entry = std::make_unique<TOutputDevice>();
        entry->SetMethod(lyWasapi);
        entry->SetDeviceID(u"id"_s);
        entry->SetDeviceName2(u"Mic"_s);
        EXPECT_EQ(entry->DeviceIdx(library), c.Chosen ? 0 : 1);

        library.Wasapi.pop_back();
        EXPECT_EQ(entry->DeviceIdx(library), c.Chosen ? 0 : (c.Capture ? -3 : -1))
            << "with the rejected device alone";
    }
}

} // namespace
