#pragma once
// The encodings of the remote-control protocol: form/URL encoding and Base64
// broken into 76-character lines.

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <cstddef>
#include <cstdint>

// Letters, digits and ! $ ' ( ) * - . @ _ pass; space becomes "+"; everything
// else becomes %XX of its UTF-8 bytes (upper-case hex). Stops at the first NUL.
// A surrogate without its partner becomes U+FFFD rather than invalid UTF-8.
QByteArray UrlEncode(QStringView AText);

// Standard Base64 with "=" padding and CR LF after every 76 output characters,
// also after the last group when it completes a line.
QByteArray Base64Lines(QByteArrayView AData);

// UrlEncode(Base64Lines(AData)) in one pass: the "vt" value of an upload.
QByteArray EncodeVoiceTrack(QByteArrayView AData);

// Length of EncodeVoiceTrack(AData) without producing it.
qint64 EncodedVoiceTrackSize(QByteArrayView AData);

// EncodeVoiceTrack handed out piece by piece, in pieces of any size, so that
// the encoded text (about 1.4 times the data) never has to exist whole.
// Keeps a shared reference to the data; one thread at a time.
class TVoiceTrackEncoder {
public:
    explicit TVoiceTrackEncoder(QByteArray AData);

    // Copies the next bytes of the encoded text into ADest; 0 at the end.
    std::size_t Read(char *ADest, std::size_t AMax);

    // Starts again from the first byte.
    void Rewind();

private:
    // Room that writing one group of three bytes (or the final short group)
    // and, when it ends a line, the CR LF after it may need.
    static constexpr std::size_t MaxUnit = 18;

    char *EncodeUnit(char *ADest);

    QByteArray FData;
    qsizetype FPos = 0;        // input bytes already encoded
    int FLineGroups = 0;       // groups already written on the current line
    char FCarry[MaxUnit] = {}; // a unit that did not fit the caller's buffer
    std::uint8_t FCarryPos = 0;
    std::uint8_t FCarryLen = 0;
};
