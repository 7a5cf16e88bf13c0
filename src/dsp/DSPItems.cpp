#include "dsp/DSPItems.h"

#include "config/PropBuilders.h"

using namespace Qt::StringLiterals;

namespace {

const TEnumInfo DSPTypeInfo{{u"dspPlugin"_s, u"dspIntegrated"_s}};
const TEnumInfo IntDSPKindInfo{{u"dspEqualizer"_s, u"dspCompressor"_s, u"dspGain"_s}};
const TEnumInfo PluginTypeInfo{{u"ptDSP"_s, u"ptGEN"_s, u"ptVST"_s}};
const TEnumInfo PluginStateInfo{{u"psOff"_s, u"psActive"_s}};

void AddBuiltIn(TDSPItemsC &AList, const QString &AName, TIntDSPKind AKind) {
    TDSPItemC &item = AList.Add();
    item.T = dspIntegrated;
    item.DispName = AName;
    item.IntDSPKind = AKind;
}

} // namespace

void TDSPItemC::AssignTo(TDSPItemC &ADest) const {
    if (&ADest == this)
        return;
    ADest.T = T;
    ADest.DispName = DispName;
    ADest.PluginPath = PluginPath;
    ADest.PluginType = PluginType;
    ADest.IntDSPKind = IntDSPKind;
    ADest.H = H;
    ADest.Params.clear();
    ADest.State = psOff;
    ADest.PresetName.clear();
    // What another program stored about the entry that was here before does
    // not describe the new processor.
    ADest.Carried().Clear();
}

const TPropTable &TDSPItemC::Properties() const {
    // Enumerations declare no default, so they are always written.
    static const TPropTable Table{
        Prop::Enumeration(u"T"_s, &TDSPItemC::T, DSPTypeInfo),
        Prop::Strings(u"Params"_s, &TDSPItemC::Params),
        Prop::String(u"DispName"_s, &TDSPItemC::DispName),
        Prop::String(u"PluginPath"_s, &TDSPItemC::PluginPath),
        Prop::Enumeration(u"PluginType"_s, &TDSPItemC::PluginType, PluginTypeInfo),
        Prop::Enumeration(u"State"_s, &TDSPItemC::State, PluginStateInfo),
        Prop::Enumeration(u"IntDSPKind"_s, &TDSPItemC::IntDSPKind, IntDSPKindInfo),
        Prop::String(u"PresetName"_s, &TDSPItemC::PresetName),
    };
    return Table;
}

QString TDSPItemC::ClassName() const {
    return u"TDSPItemC"_s;
}

void AddDefaultDSPList(TDSPItemsC &AList) {
    AddBuiltIn(AList, u"Equalizer"_s, dspEqualizer);
    AddBuiltIn(AList, u"Compressor"_s, dspCompressor);
}
