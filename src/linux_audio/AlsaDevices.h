#pragma once
// The standard layer's device lists on Linux, from the PCM names ALSA's
// configuration advertises ("hints"). Nothing is opened: a hint only says
// which names exist and which direction they serve.

#include "devices/AudioLibrary.h"

#include <QString>
#include <vector>

// One advertised PCM name as ALSA describes it.
struct TPcmHint {
    QString Name; // what a program opens, e.g. "default", "sysdefault:CARD=PCH"
    QString Desc; // one or more lines for people; may be empty
    QString IOID; // "Input", "Output", or empty for both directions
};

struct TStandardLists {
    std::vector<TDeviceInfo> Output;
    std::vector<TDeviceInfo> Capture;
};

// The lists the standard layer reports, built from AHints in their order.
// Output: 0 "No sound" (no driver), 1 "Default" (driver "default"), then the
// output-capable hints. Capture: 0 "Default" (driver "default"), so that a
// stored ":default" capture entry, which always resolves to number 0, means
// the system default; then the input-capable hints. The hint named "default"
// itself is left out, as it is already there. A device's name is the first
// line of its description, or its PCM name when there is none; its driver is
// the PCM name.
TStandardLists BuildStandardLists(const std::vector<TPcmHint> &AHints);

// The PCM hints of every card and of the global configuration. Safe from any
// thread: readings are taken one at a time, as ALSA's configuration cache is
// shared by the whole process.
std::vector<TPcmHint> ReadPcmHints();
