// Device entries as the system configuration stores them: creation values,
// the lines the component writer produces, and reading them back.

#include "ScriptedLibrary.h"
#include "config/ComponentText.h"
#include "config/PropBuilders.h"
#include "devices/SoundDevice.h"

#include <QByteArray>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The two device collections under the names the system configuration gives them.
class TDeviceLists : public TPersistent {
public:
    TInputDevicesList Inputs;
    TOutputDevicesList OutputDevice;

    const TPropTable &Properties() const override {
        static const TPropTable Table{
            Prop::Collection(u"Inputs"_s, &TDeviceLists::Inputs),
            Prop::Collection(u"OutputDevice"_s, &TDeviceLists::OutputDevice),
        };
        return Table;
    }
    QString ClassName() const override { return u"TDeviceLists"_s; }
};

QByteArray WithCrLf(const char *AText) {
    return QByteArray(AText).replace("\n", "\r\n");
}

void Read(const QByteArray &AText, TDeviceLists &ALists) {
    TextToComponent(QString::fromLatin1(AText), ALists);
}

TEST(SoundDevice, CreationValues) {
    const TInputDevice input;
    EXPECT_EQ(input.DevType(), odMixer);
    EXPECT_EQ(input.Method(), lyNone);
    EXPECT_EQ(input.DeviceID(), QString());
    EXPECT_EQ(input.DeviceName2(), QString());
    EXPECT_EQ(input.DisplayName(), QString());
    EXPECT_EQ(input.Chan1(), 0);
    EXPECT_EQ(input.Chan2(), 0);
    EXPECT_FALSE(input.EventDriven());
    EXPECT_EQ(input.MixerSrc(), 0);
    EXPECT_FALSE(input.Stereo());
    EXPECT_FALSE(input.KeepAlive());
    EXPECT_TRUE(input.IsCapture());

    const TOutputDevice output;
    EXPECT_EQ(output.DevType(), odMixer);
    EXPECT_EQ(output.Method(), lyStandard);
    EXPECT_EQ(output.Speakers(), 0u);
    EXPECT_EQ(output.BufSize(), 500);
    EXPECT_EQ(output.SampleFreq(), 48000);
    EXPECT_FALSE(output.Exclusive());
    EXPECT_EQ(output.PrvMethod, -1);
    EXPECT_EQ(output.PrvDeviceIdx, -1);
    EXPECT_EQ(output.PrvChan1, -1);
    EXPECT_EQ(output.PrvChan2, -1);
    EXPECT_FALSE(output.IsCapture());
}

// Fresh entries: properties without a declared default are written even at
// zero or false; Chan1, Chan2, EventDriven, Speakers and Exclusive are not.
TEST(SoundDeviceText, FreshEntriesWriteOnlyWhatDiffersFromDeclaredDefaults) {
    TDeviceLists lists;
    lists.Inputs.Add();
    lists.OutputDevice.Add();
    EXPECT_EQ(ComponentToText(lists), WithCrLf(R"(object TDeviceLists
  Inputs = <
    item
      DevType = odMixer
      Method = -1
      MixerSrc = 0
      Stereo = False
      KeepAlive = False
    end>
  OutputDevice = <
    item
      DevType = odMixer
      Method = 0
      SampleFreq = 48000
      BufSize = 500
    end>
end
)"));
}

// Every stored property away from its creation value, and the working fields
// set too: the lines come in table order, and nothing else is written.
void FillLists(TDeviceLists &ALists) {
    TInputDevice &input = ALists.Inputs.Add();
    input.SetDevType(odNotUsed);
    input.SetMethod(lyWasapi);
    input.SetDisplayName(u"Microphone (USB)"_s);
    input.SetDeviceID(u"{0.0.1.00000000}.{9f3a}"_s);
    input.SetDeviceName2(u"Mic 'USB'"_s);
    input.SetChan1(2);
    input.SetChan1Name(u"Left"_s);
    input.SetChan2(3);
    input.SetChan2Name(u"Right"_s);
    input.SetEventDriven(true);
    input.SetMixerSrc(4);
    input.SetStereo(true);
    input.SetKeepAlive(true);

    TOutputDevice &output = ALists.OutputDevice.Add();
    output.SetDevType(odRegular);
    output.SetMethod(lyAsio);
    output.SetDisplayName(u"Speakers"_s);
    output.SetDeviceID(u":decode"_s);
    output.SetDeviceName2(u"\u041A\u043E\u043B\u043E\u043D\u043A\u0438"_s);
    output.SetChan1(-1);
    output.SetEventDriven(true);
    output.SetSpeakers(0xFFFFFFFFu);
    output.SetBufSize(75);
    output.SetSampleFreq(44100);
    output.SetExclusive(true);
    output.PrvMethod = 1;
    output.PrvDeviceIdx = 3;
    output.PrvDevType = odNotUsed;
    output.PrvDeviceID = u"prv"_s;
}

const char *const FilledText = R"(object TDeviceLists
  Inputs = <
    item
      DevType = odNotUsed
      Method = 1
      DeviceID = '{0.0.1.00000000}.{9f3a}'
      DeviceName2 = 'Mic '#39'USB'#39
      Chan1 = 2
      Chan2 = 3
      Chan1Name = 'Left'
      Chan2Name = 'Right'
      EventDriven = True
      MixerSrc = 4
      Stereo = True
      KeepAlive = True
    end>
  OutputDevice = <
    item
      DevType = odRegular
      Method = 2
      DeviceID = ':decode'
      DeviceName2 = #1050#1086#1083#1086#1085#1082#1080
      Chan1 = -1
      EventDriven = True
      SampleFreq = 44100
      Speakers = 4294967295
      BufSize = 75
      Exclusive = True
    end>
end
)";

TEST(SoundDeviceText, EveryStoredPropertyIsWrittenInTableOrder) {
    TDeviceLists lists;
    FillLists(lists);
    EXPECT_EQ(ComponentToText(lists), WithCrLf(FilledText));
}

TEST(SoundDeviceText, WrittenEntriesReadBackUnchanged) {
    TDeviceLists written;
    FillLists(written);
    TDeviceLists read;
    Read(ComponentToText(written), read);
    ASSERT_EQ(read.Inputs.Count(), 1);
    ASSERT_EQ(read.OutputDevice.Count(), 1);
    EXPECT_EQ(ComponentToText(read), WithCrLf(FilledText));

    const TInputDevice &input = read.Inputs.Items(0);
    EXPECT_EQ(input.DevType(), odNotUsed);
    EXPECT_EQ(input.DeviceName2(), u"Mic 'USB'"_s);
    EXPECT_TRUE(input.KeepAlive());
    EXPECT_EQ(input.DisplayName(), QString()) << "the display name is never stored";
    const TOutputDevice &output = read.OutputDevice.Items(0);
    EXPECT_EQ(output.Speakers(), 0xFFFFFFFFu);
    EXPECT_EQ(output.DeviceName2(), u"\u041A\u043E\u043B\u043E\u043D\u043A\u0438"_s);
    EXPECT_EQ(output.PrvMethod, -1) << "working fields are never stored";
    EXPECT_EQ(output.PrvDeviceID, QString());
}

TEST(SoundDeviceText, MissingPropertiesKeepCreationValues) {
    TDeviceLists lists;
    Read(WithCrLf(R"(object TSystemIni
  Inputs = <
    item
      Method = 1
    end>
  OutputDevice = <
    item
      DEVTYPE = odnotused
      DeviceID = ':default'
    end>
end
)"),
         lists);
    ASSERT_EQ(lists.Inputs.Count(), 1);
    EXPECT_EQ(lists.Inputs.Items(0).Method(), lyWasapi);
    EXPECT_EQ(lists.Inputs.Items(0).DevType(), odMixer);
    ASSERT_EQ(lists.OutputDevice.Count(), 1);
    const TOutputDevice &output = lists.OutputDevice.Items(0);
    EXPECT_EQ(output.DevType(), odNotUsed) << "names and identifiers ignore letter case";
    EXPECT_TRUE(output.IsDefault());
    EXPECT_EQ(output.Method(), lyStandard);
    EXPECT_EQ(output.BufSize(), 500);
    EXPECT_EQ(output.SampleFreq(), 48000);
}

// Other programs of the station family share these entries and may store
// more about a device than this program knows.
TEST(SoundDeviceText, UnknownPropertiesOfAnEntryAreWrittenBackInPlace) {
    const QByteArray text = WithCrLf(R"(object TDeviceLists
  Inputs = <
    item
      DevType = odMixer
      Method = -1
      Gain = 12
      MixerSrc = 0
      Stereo = False
      KeepAlive = False
      Label = 'studio'
    end>
  OutputDevice = <>
end
)");
    TDeviceLists lists;
    Read(text, lists);
    EXPECT_EQ(ComponentToText(lists), text);
}

TEST(SoundDeviceText, ListsAddTypedItemsInOrder) {
    TDeviceLists lists;
    lists.OutputDevice.Add().SetBufSize(75);
    lists.OutputDevice.Add().SetDevType(odNotUsed);
    ASSERT_EQ(lists.OutputDevice.Count(), 2);
    EXPECT_EQ(lists.OutputDevice.Items(0).BufSize(), 75);
    EXPECT_EQ(lists.OutputDevice.Items(1).DevType(), odNotUsed);
    EXPECT_EQ(lists.OutputDevice.Items(1).Index(), 1);
}

} // namespace
