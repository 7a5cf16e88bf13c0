#pragma once
// The player configuration shared with the station's other programs, stored
// in player.ini in the data directory. This program uses the microphone chain
// and the voice-track folder; the family's playback, broadcasting, relay,
// report, archive, e-mail, remote-access and weather settings are carried
// along as read and written back in their places.

#include "config/Persistent.h"
#include "dsp/DSPItems.h"
#include "station/StationFile.h"

#include <QString>

// The broadcasting part of the player settings. Nothing in it is used here,
// so its table is empty and everything it stores is carried along.
class TBroadcastSettings : public TPersistent {
public:
    const TPropTable &Properties() const override;
    QString ClassName() const override;
    bool KeepsUnknown() const override { return true; }
};

class TPlayerSettings : public TBroadcastSettings {
public:
    TPlayerSettings();

    TDSPItemsC MicDSPList; // the microphone chain, empty at creation
    TDSPItemsC DSPList;    // the playback chain, kept as read

    const TPropTable &Properties() const override;
    QString ClassName() const override;
};

class TPlayerIni : public TPlayerSettings {
public:
    // Stored in the family's Windows form; ExpandDataPath makes it a folder.
    QString VoiceTracksFolder = QStringLiteral("\\VoiceTracks\\");

    // Loads player.ini (or its ".bak" copy) from the data directory,
    // overlaying the values it holds. Reports nothing.
    void Read();
    // Writes what this session changed into player.ini (nothing when it
    // changed nothing, keeping what another program wrote meanwhile) and
    // refreshes its ".bak" copy; a failure is shown.
    void Save();

    const TPropTable &Properties() const override;
    QString ClassName() const override;

private:
    TStationFile FFile{QStringLiteral("player.ini")};
};

// The process-wide player configuration, created on first use (start-up).
TPlayerIni &PlayerIni();
