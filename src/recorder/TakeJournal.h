#pragma once
// The journal a take is recorded into before it becomes a FLAC file: a small
// fixed header (rate, channels, start time, the take's name) and then blocks
// of interleaved 32-bit float frames, each with its own check sum. The file
// only ever grows, so whatever a kill or a power loss leaves is a valid
// header, whole blocks, and at most one torn block at the end, which a reader
// cuts off: a journal is readable up to its last block that reached the disk.

#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <memory>

struct TJournalHeader {
    quint32 FRate = 48000;
    quint32 FChannels = 2;
    qint64 FStartMs = 0; // milliseconds since 1970 (UTC) when the take started
    QString FTakeName;
};

// The header takes exactly this many bytes; blocks follow it.
constexpr std::size_t JournalHeaderSize = 1024;
// Each block starts with this many bytes before its samples.
constexpr std::size_t JournalBlockHeaderSize = 16;
// The longest name the header holds, in UTF-8 bytes; a longer one is cut.
constexpr std::size_t JournalNameBytes = 960;

// The header as stored. False when the values cannot be stored (no rate or
// no channels).
bool EncodeJournalHeader(const TJournalHeader &AHeader, char (&ATarget)[JournalHeaderSize]);
// False when AData is no journal header of ours (wrong magic, version or
// check sum, impossible values).
bool DecodeJournalHeader(const char *AData, std::size_t ASize, TJournalHeader *AHeader);

// Fills ATarget (JournalBlockHeaderSize bytes) with the header of block
// ASequence holding AFrames frames of ASamples (AFrames * channels floats).
void EncodeBlockHeader(std::uint32_t ASequence, const float *ASamples, std::uint32_t AFrames,
                       std::uint32_t AChannels, char *ATarget);

// The standard CRC-32 (as zlib and PNG compute it), continued from ACrc.
std::uint32_t Crc32(const void *AData, std::size_t ASize, std::uint32_t ACrc = 0);

// Reads a journal back, block by block, checking each.
class TJournalReader {
public:
    TJournalReader() = default;
    ~TJournalReader();
    TJournalReader(const TJournalReader &) = delete;
    TJournalReader &operator=(const TJournalReader &) = delete;

    // False with AError set when the file cannot be read or its header is not
    // one of ours (BadHeader() then tells which).
    bool Open(const QString &APath, QString *AError = nullptr);
    bool BadHeader() const { return FBadHeader; }
    const TJournalHeader &Header() const { return FHeader; }
    // Reads the next whole block into the reader's buffer and returns its
    // frame count; 0 at the end of the journal or at the first block that is
    // torn or damaged (everything after it is ignored).
    std::size_t NextBlock();
    const float *Samples() const { return FSamples.get(); }
    // Frames read so far.
    qint64 Frames() const { return FFrames; }
    void Close();

private:
    int FFd = -1;
    bool FBadHeader = false;
    TJournalHeader FHeader;
    std::unique_ptr<float[]> FSamples;
    std::size_t FCapacity = 0; // floats in FSamples
    std::uint32_t FSequence = 0;
    qint64 FFrames = 0;
};
