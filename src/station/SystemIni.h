#pragma once
// The system configuration shared with the station's other programs, stored
// in system.ini in the data directory. This program uses the plug-in and
// equaliser settings, the capture device, the language folder, the
// screen-reader switches and the network user agent; the family's mixer,
// proxy, database, tag and normalisation settings are carried along as read
// and written back in their places.

#include "config/Persistent.h"
#include "devices/SoundDevice.h"
#include "dsp/EQBands.h"
#include "station/StationFile.h"

#include <QString>
#include <QStringList>

// The plug-in and equaliser settings.
class TSystemIniBase : public TPersistent {
public:
    TSystemIniBase();

    bool AllowWinampPlugins = false;
    bool AllowVstPlugins = false;
    QStringList VSTFolder;   // one line: the folder searched for VST plug-ins
    QString VSTSkipSettings; // ";"-separated VST file names that get no stored parameters
    qint32 BandsNum = 10;    // equaliser bands in use, 0 to 12
    TEQBands EQBands;
    float Bandwidth = 2.5f; // octaves, every band alike
    qint32 EQRange = 10;    // the editor's gain sliders span -EQRange to +EQRange dB

    const TPropTable &Properties() const override;
    QString ClassName() const override;
    bool KeepsUnknown() const override { return true; }
};

class TSystemIni : public TSystemIniBase {
public:
    TSystemIni();

    TInputDevicesList Inputs;        // entry 0 is the microphone
    TOutputDevicesList OutputDevice; // not used here, kept and padded
    bool ScreenReaderMode = false;
    bool ScreenReaderVSTTextUI = false;
    QString StreamUserAgent = QStringLiteral("Kestrova");

    // The language folder name below ExeDir + "Lang/". Until it is settled it
    // holds "/": the first call then takes the name that setup.ini in the
    // program directory gives (section "Setup", key "Language"), when that
    // folder exists, else "En", and keeps it. A name once settled, or read
    // from the file, is returned as it is. Saving goes through here, so the
    // file holds the settled name after the first save.
    QString ResolveLangDir() const;
    void SetLangDir(const QString &AValue) { FLangDir = AValue; }

    // Loads system.ini (or its ".bak" copy) from the data directory,
    // overlaying the values it holds, then makes sure OutputDevice has at
    // least 7 entries and Inputs at least 4. Reports nothing.
    void Read();
    // Writes what this session changed into system.ini (nothing when it
    // changed nothing, keeping what another program wrote meanwhile) and
    // refreshes its ".bak" copy; a failure is shown.
    void Save();

    const TPropTable &Properties() const override;
    QString ClassName() const override;

private:
    void PadDeviceLists();

    TStationFile FFile{QStringLiteral("system.ini")};

    // Settled on first read through ResolveLangDir, which may happen while
    // the object is being written.
    mutable QString FLangDir = QStringLiteral("/");
};

// The VST folder at creation: one line, the folder where this system's
// packages install VST 2 plug-ins ("/usr/lib/vst/"). The VST scan searches
// the folders below it too.
QStringList DefaultVSTFolder();

// The process-wide system configuration, created on first use (start-up).
TSystemIni &SystemIni();
