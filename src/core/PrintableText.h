#pragma once
// Text that came from elsewhere (the station's titles and messages), made safe
// to write to a terminal: no escape sequence can retitle the window, clear the
// screen or move the cursor, and no carriage return can overwrite a line with
// a fake one.

#include <QString>

enum TPrintableMode {
    // Every control character becomes a space: one field stays one line.
    pmOneLine,
    // Tabs and line feeds stay; CR LF and a lone CR become a line feed.
    pmLines,
    // Tabs, CRs and line feeds stay as they are, for a writer that escapes them (JSON).
    pmEscapedWhitespace,
};

// AText without escape sequences (ESC or C1 introduced: CSI, OSC, DCS, SOS,
// PM, APC and the two-character ones, each with its parameters and string),
// and without any other C0 control, DEL or C1 control except as AMode keeps
// them.
QString PrintableText(const QString &AText, TPrintableMode AMode = pmLines);
