#include "station/PlayerIni.h"

#include "config/PropBuilders.h"
#include "station/StationFile.h"

using namespace Qt::StringLiterals;

const TPropTable &TBroadcastSettings::Properties() const {
    static const TPropTable Table{std::initializer_list<TPropInfo>{}};
    return Table;
}

QString TBroadcastSettings::ClassName() const {
    return u"TBroadcastSettings"_s;
}

TPlayerSettings::TPlayerSettings() {
    AddDefaultDSPList(DSPList);
}

const TPropTable &TPlayerSettings::Properties() const {
    static const TPropTable Table{
        TBroadcastSettings::Properties(),
        {
            Prop::Collection(u"MicDSPList"_s, &TPlayerSettings::MicDSPList),
            Prop::Collection(u"DSPList"_s, &TPlayerSettings::DSPList),
        }};
    return Table;
}

QString TPlayerSettings::ClassName() const {
    return u"TPlayerSettings"_s;
}

void TPlayerIni::Read() {
    FFile.Read(*this);
}

void TPlayerIni::Save() {
    FFile.Save(*this);
}

const TPropTable &TPlayerIni::Properties() const {
    static const TPropTable Table{
        TPlayerSettings::Properties(),
        {
            Prop::String(u"VoiceTracksFolder"_s, &TPlayerIni::VoiceTracksFolder),
        }};
    return Table;
}

QString TPlayerIni::ClassName() const {
    return u"TPlayerIni"_s;
}

TPlayerIni &PlayerIni() {
    static TPlayerIni Instance;
    return Instance;
}
