#pragma once
// File names as the system stores them: any bytes but "/" and NUL, usually
// UTF-8 but not always. QFile's own conversion replaces bytes that are not
// UTF-8, so a name with such a byte could never be opened again; these two
// keep every byte: a byte that is not part of valid UTF-8 travels through a
// QString as the lone surrogate U+DC80 + (byte - 0x80), and back.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The name's bytes as text; lossless for any bytes.
QString NameFromNative(QByteArrayView ABytes);

// The bytes of a name made by NameFromNative (or typed as ordinary text).
QByteArray NativeName(const QString &AName);

// A program's arguments after its name, each kept byte for byte (Qt's own
// decoding of the arguments would turn a name that is not UTF-8 into
// another name).
QStringList ArgumentsFromNative(int AArgc, char *AArgv[]);
