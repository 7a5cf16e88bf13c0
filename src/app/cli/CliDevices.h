#pragma once
// What `vocarra-cli devices` prints: every device of every driver layer of
// the audio library, as the device catalogue would find it.
//
// Lines: one header line per layer, "# " and the layer's key, then one line
// per device:
//   standard output, standard capture, asio:  NUM<TAB>NAME<TAB>DRIVER
//   wasapi:  NUM<TAB>NAME<TAB>ID<TAB>FLAGS<TAB>WORDS  (WORDS e.g. "enabled,input")
// JSON: {"output":[...],"capture":[...],"wasapi":[...],"asio":[...]}, each
// device an object with "number", "name", and "driver" or "id", "flags",
// "flagWords".

#include "devices/AudioLibrary.h"

#include <QString>
#include <QStringList>

// The words for the known bits of a WASAPI-role device's flags, in bit order.
QStringList WasapiFlagWords(quint32 AFlags);

QString DevicesLines(const TAudioLibrary &ALibrary);
QString DevicesJson(const TAudioLibrary &ALibrary);
