#pragma once
// Decoding and encoding of configuration text files. A byte-order mark names
// the encoding; without one the bytes are UTF-8 when they are valid UTF-8 and
// Windows-1252 when not (files written by older programs of the family).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

enum TTextEncoding {
    teUtf8,        // no byte-order mark
    teUtf8Bom,     // EF BB BF
    teUtf16LE,     // FF FE
    teUtf16BE,     // FE FF
    teWindows1252, // no byte-order mark, not valid UTF-8
};

struct TDecodedText {
    QString Text; // without the byte-order mark
    TTextEncoding Encoding = teUtf8;
};

TDecodedText DecodeText(QByteArrayView ABytes);

// The text in AEncoding, with the byte-order mark where the encoding has one.
// Characters Windows-1252 cannot hold become "?"; check with FitsEncoding.
QByteArray EncodeText(QStringView AText, TTextEncoding AEncoding);

bool FitsEncoding(QStringView AText, TTextEncoding AEncoding);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(QByteArrayView ABytes);

// Every byte has a character (the five unassigned ones map to the C1
// controls of the same code), so decoding and encoding give back the bytes.
QString DecodeWindows1252(QByteArrayView ABytes);
QByteArray EncodeWindows1252(QStringView AText);
