// How the Linux backend turns what ALSA and the sound server report into the
// numbered lists of the driver layers.

#include "devices/ScriptedLibrary.h"
#include "linux_audio/AlsaDevices.h"
#include "linux_audio/PulseDevices.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct TNamed {
    QString Name;
    QString Driver;
};

std::vector<TNamed> Named(const std::vector<TDeviceInfo> &AList) {
    std::vector<TNamed> result;
    for (const TDeviceInfo &info : AList)
        result.push_back({info.Name, info.Driver});
    return result;
}

bool operator==(const TNamed &A, const TNamed &B) {
    return A.Name == B.Name && A.Driver == B.Driver;
}

void PrintTo(const TNamed &ANamed, std::ostream *AOut) {
    *AOut << '{' << ANamed.Name.toStdString() << ", " << ANamed.Driver.toStdString() << '}';
}

TEST(StandardLists, FixedEntriesComeFirstWhateverAlsaReports) {
    for (const std::vector<TPcmHint> &hints :
         {std::vector<TPcmHint>{},
          std::vector<TPcmHint>{{u"default"_s, u"Default ALSA Output"_s, QString()},
                                {u"null"_s, u"Discard all samples"_s, QString()}}}) {
        SCOPED_TRACE(hints.size());
        const TStandardLists lists = BuildStandardLists(hints);
        ASSERT_GE(lists.Output.size(), 2u);
        EXPECT_EQ(Named(lists.Output)[0], (TNamed{u"No sound"_s, QString()}));
        EXPECT_EQ(Named(lists.Output)[1], (TNamed{u"Default"_s, u"default"_s}));
        ASSERT_GE(lists.Capture.size(), 1u);
        EXPECT_EQ(Named(lists.Capture)[0], (TNamed{u"Default"_s, u"default"_s}));
        // ALSA's own "default" is already there once and is not listed twice.
        for (size_t i = 2; i < lists.Output.size(); ++i)
            EXPECT_NE(lists.Output[i].Driver, u"default"_s);
        for (size_t i = 1; i < lists.Capture.size(); ++i)
            EXPECT_NE(lists.Capture[i].Driver, u"default"_s);
    }
}

TEST(StandardLists, DirectionAndNamesFollowTheHints) {
    const std::vector<TPcmHint> hints = {
        {u"sysdefault:CARD=PCH"_s, u"HDA Intel PCH, ALC3246 Analog\nDefault Audio Device"_s,
         QString()},
        {u"front:CARD=PCH,DEV=0"_s, u"HDA Intel PCH\nFront output / input"_s, u"Output"_s},
        {u"dsnoop:CARD=USB"_s, u"  USB Mic  \nDirect sample snooping device"_s, u"Input"_s},
        {u"plughw:CARD=X"_s, QString(), QString()},
        {QString(), u"No name to open"_s, QString()},
    };
    const TStandardLists lists = BuildStandardLists(hints);
    const std::vector<TNamed> output = {
        {u"No sound"_s, QString()},
        {u"Default"_s, u"default"_s},
        {u"HDA Intel PCH, ALC3246 Analog"_s, u"sysdefault:CARD=PCH"_s},
        {u"HDA Intel PCH"_s, u"front:CARD=PCH,DEV=0"_s},
        {u"plughw:CARD=X"_s, u"plughw:CARD=X"_s},
    };
    const std::vector<TNamed> capture = {
        {u"Default"_s, u"default"_s},
        {u"HDA Intel PCH, ALC3246 Analog"_s, u"sysdefault:CARD=PCH"_s},
        {u"USB Mic"_s, u"dsnoop:CARD=USB"_s},
        {u"plughw:CARD=X"_s, u"plughw:CARD=X"_s},
    };
    EXPECT_EQ(Named(lists.Output), output);
    EXPECT_EQ(Named(lists.Capture), capture);
}

TEST(WasapiList, SourcesThenSinksEachByIndexWithTheirFlags) {
    // As a server may send them: sinks first, out of index order.
    std::vector<TPulseDevice> devices(5);
    devices[0] = {7, u"usb_speakers"_s, u"USB Speakers"_s, false, false, true};
    devices[1] = {2, u"hdmi"_s, u"HDMI Output"_s, false, false, false};
    devices[2] = {9, u"usb_mic"_s, u"USB Microphone"_s, true, false, false};
    devices[3] = {3, u"hdmi.monitor"_s, u"Monitor of HDMI Output"_s, true, true, false};
    devices[4] = {4, u"headset_mic"_s, u"Headset Microphone"_s, true, false, true};

    const std::vector<TWasapiDeviceInfo> list = BuildWasapiList(devices);
    const TWasapiDeviceInfo expected[] = {
        {u"Monitor of HDMI Output"_s, u"hdmi.monitor"_s, wdfEnabled | wdfLoopback | wdfInput},
        {u"Headset Microphone"_s, u"headset_mic"_s, wdfInput},
        {u"USB Microphone"_s, u"usb_mic"_s, wdfEnabled | wdfInput},
        {u"HDMI Output"_s, u"hdmi"_s, wdfEnabled},
        {u"USB Speakers"_s, u"usb_speakers"_s, 0},
    };
    ASSERT_EQ(list.size(), std::size(expected));
    for (size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].Name, expected[i].Name);
        EXPECT_EQ(list[i].Id, expected[i].Id);
        EXPECT_EQ(list[i].Flags, expected[i].Flags);
    }
}

} // namespace
