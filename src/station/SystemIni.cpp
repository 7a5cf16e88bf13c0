#include "station/SystemIni.h"

#include "config/ConfigErrors.h"
#include "config/DataDirs.h"
#include "config/IniFile.h"
#include "config/PropBuilders.h"
#include "station/StationFile.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const QString UnresolvedLangDir = u"/"_s;
const QString FallbackLangDir = u"En"_s;

// The station's other programs address output entries 0 to 6 and capture
// entries 0 to 3 by position, so shorter lists read from a file are filled up.
constexpr int MinOutputDevices = 7;
constexpr int MinInputDevices = 4;

// Where Debian's packages of VST 2 plug-ins install them, the counterpart of
// the folder below program files that the family's Windows programs start
// from.
constexpr QStringView SystemVSTFolder = u"/usr/lib/vst/";

void AddOutput(TOutputDevicesList &AList, TOutputDevType ADevType, qint32 AMethod,
               QStringView ADeviceID) {
    TOutputDevice &device = AList.Add();
    device.SetDevType(ADevType);
    device.SetMethod(AMethod);
    device.SetDeviceID(ADeviceID.toString());
    device.SetBufSize(75);
}

} // namespace

QStringList DefaultVSTFolder() {
    return {SystemVSTFolder.toString()};
}

TSystemIniBase::TSystemIniBase() : VSTFolder(DefaultVSTFolder()) {
    AddDefaultEQBands(EQBands);
}

const TPropTable &TSystemIniBase::Properties() const {
    static const TPropTable Table{
        Prop::Boolean(u"AllowWinampPlugins"_s, &TSystemIniBase::AllowWinampPlugins),
        Prop::Boolean(u"AllowVstPlugins"_s, &TSystemIniBase::AllowVstPlugins),
        Prop::Strings(u"VSTFolder"_s, &TSystemIniBase::VSTFolder),
        Prop::String(u"VSTSkipSettings"_s, &TSystemIniBase::VSTSkipSettings),
        Prop::Integer(u"BandsNum"_s, &TSystemIniBase::BandsNum),
        Prop::Collection(u"EQBands"_s, &TSystemIniBase::EQBands),
        Prop::Single(u"Bandwidth"_s, &TSystemIniBase::Bandwidth),
        Prop::Integer(u"EQRange"_s, &TSystemIniBase::EQRange),
    };
    return Table;
}

QString TSystemIniBase::ClassName() const {
    return u"TSystemIniBase"_s;
}

TSystemIni::TSystemIni() {
    // Entry 0 is the microphone; it names no driver layer until the settings
    // dialog picks one.
    TInputDevice &mic = Inputs.Add();
    mic.SetMethod(-2);
    mic.SetKeepAlive(true);
    for (int i = 1; i < 4; ++i)
        Inputs.Add().SetStereo(true);

    TOutputDevice &main = OutputDevice.Add();
    main.SetMethod(lyWasapi);
    main.SetDeviceID(DefaultDeviceID.toString());
    main.SetBufSize(75);
    main.SetSampleFreq(48000);
    OutputDevice.Add().SetMethod(lyNone);
    AddOutput(OutputDevice, odRegular, lyWasapi, DefaultDeviceID);
    AddOutput(OutputDevice, odNotUsed, lyWasapi, DecodeDeviceID);
    AddOutput(OutputDevice, odNotUsed, lyWasapi, DecodeDeviceID);
}

QString TSystemIni::ResolveLangDir() const {
    if (FLangDir != UnresolvedLangDir)
        return FLangDir;
    FLangDir = FallbackLangDir;
    try {
        const TIniFile setup(ExeDir() + u"setup.ini"_s);
        const QString name = setup.ReadString(u"Setup"_s, u"Language"_s, FallbackLangDir);
        // An empty name would make the Lang folder itself the language folder.
        if (!name.isEmpty() && QFileInfo(ExeDir() + u"Lang/"_s + StoredToNative(name)).isDir())
            FLangDir = name;
    } catch (const EConfigError &) {
        FLangDir = FallbackLangDir;
    }
    return FLangDir;
}

void TSystemIni::Read() {
    FFile.Read(*this);
    PadDeviceLists();
}

void TSystemIni::Save() {
    FFile.Save(*this);
}

void TSystemIni::PadDeviceLists() {
    while (OutputDevice.Count() < MinOutputDevices)
        AddOutput(OutputDevice, odRegular, lyWasapi, DecodeDeviceID);
    while (Inputs.Count() < MinInputDevices)
        Inputs.Add();
}

const TPropTable &TSystemIni::Properties() const {
    static const TPropTable Table{
        TSystemIniBase::Properties(),
        {
            Prop::String<TSystemIni>(
                u"LangDir"_s, [](const TSystemIni &AIni) { return AIni.ResolveLangDir(); },
                [](TSystemIni &AIni, const QString &AValue) { AIni.SetLangDir(AValue); }),
            Prop::Collection(u"Inputs"_s, &TSystemIni::Inputs),
            Prop::Collection(u"OutputDevice"_s, &TSystemIni::OutputDevice),
            Prop::Boolean(u"ScreenReaderMode"_s, &TSystemIni::ScreenReaderMode),
            Prop::Boolean(u"ScreenReaderVSTTextUI"_s, &TSystemIni::ScreenReaderVSTTextUI),
            Prop::String(u"StreamUserAgent"_s, &TSystemIni::StreamUserAgent),
        }};
    return Table;
}

QString TSystemIni::ClassName() const {
    return u"TSystemIni"_s;
}

TSystemIni &SystemIni() {
    static TSystemIni Instance;
    return Instance;
}
