#pragma once
// The encodings of the remote-control protocol: form/URL encoding and Base64
// broken into 76-character lines.

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

// Letters, digits and ! $ ' ( ) * - . @ _ pass; space becomes "+"; everything
// else becomes %XX of its UTF-8 bytes (upper-case hex). Stops at the first NUL.
QByteArray UrlEncode(QStringView AText);

// Standard Base64 with "=" padding and CR LF after every 76 output characters,
// also after the last group when it completes a line.
QByteArray Base64Lines(QByteArrayView AData);

// UrlEncode(Base64Lines(AData)) in one pass: the "vt" value of an upload.
QByteArray EncodeVoiceTrack(QByteArrayView AData);

// Length of EncodeVoiceTrack(AData) without producing it.
qint64 EncodedVoiceTrackSize(QByteArrayView AData);
