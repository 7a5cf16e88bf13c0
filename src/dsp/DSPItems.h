#pragma once
// The stored microphone processing chain: one entry per processor (a built-in
// effect or an external plug-in), in processing order. The chain lives in the
// player configuration (MicDSPList, and the unused second chain DSPList); the
// engine that attaches entries to audio and the effect objects come on top.

#include "config/Persistent.h"

#include <QString>
#include <QStringList>

// Stored by identifier; the order of the values is part of the file format.
enum TDSPType { dspPlugin, dspIntegrated };
enum TIntDSPKind { dspEqualizer, dspCompressor, dspGain };
// ptGEN is never produced here; an entry of that type starts, stops and
// configures as nothing.
enum TPluginType { ptDSP, ptGEN, ptVST };
enum TPluginState { psOff, psActive };

// One chain entry. Params holds the entry's settings as text with "." as the
// decimal separator: the equaliser's band gains, the compressor's five
// numbers, the gain stage's one number, a VST plug-in's parameter values.
class TDSPItemC : public TCollectionItem {
public:
    TDSPType T = dspPlugin;
    QStringList Params;
    QString DispName;   // shown in the chain list
    QString PluginPath; // Winamp DSP: file name only; VST: full path; built-in: empty
    TPluginType PluginType = ptDSP;
    TPluginState State = psOff; // the user's check mark
    TIntDSPKind IntDSPKind = dspEqualizer;
    QString PresetName; // last preset loaded into or saved from the entry's editor

    // The plug-in handle while this run knows one; never stored, so every
    // entry read from a file starts with 0.
    quint32 H = 0;

    // Makes ADest the same processor as this entry, but fresh: it takes the
    // kind, name, path and plug-in handle, and starts switched off, without
    // settings, preset name or anything carried along from a file. This is
    // how an entry from the list of available processors joins a chain.
    void AssignTo(TDSPItemC &ADest) const;

    const TPropTable &Properties() const override;
    QString ClassName() const override;
    // Other programs of the station family may store more about an entry.
    bool KeepsUnknown() const override { return true; }
};

// A chain; its order is the processing order.
class TDSPItemsC : public TOwnedCollection<TDSPItemC> {};

// The second chain of the player configuration at creation: a built-in
// equaliser and a built-in compressor, both switched off.
void AddDefaultDSPList(TDSPItemsC &AList);
