#include "recorder/TakeJournal.h"

#include "core/NativeNames.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// The samples are stored as the machine holds them; every machine the
// program runs on is little-endian, and the header says so by its magic.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr char HeaderMagic[8] = {'V', 'C', 'T', 'A', 'K', 'E', 'L', 'E'};
constexpr std::uint32_t HeaderVersion = 1;
constexpr std::uint32_t BlockMagic = 0x4B4C4256; // "VBLK"
constexpr std::uint32_t SampleFloat32 = 1;
// Far beyond any microphone, but small enough that a damaged header cannot
// make the reader allocate much.
constexpr std::uint32_t MaxChannels = 64;
constexpr std::uint32_t MaxRate = 768000;
// A block longer than this is damage, not audio.
constexpr std::uint32_t MaxBlockFrames = 1 << 20;

// Header layout (offsets in bytes).
constexpr std::size_t OffVersion = 8;
constexpr std::size_t OffHeaderSize = 12;
constexpr std::size_t OffRate = 16;
constexpr std::size_t OffChannels = 20;
constexpr std::size_t OffSampleFormat = 24;
constexpr std::size_t OffStart = 32;
constexpr std::size_t OffNameSize = 40;
constexpr std::size_t OffName = 44;
constexpr std::size_t OffCrc = JournalHeaderSize - 4;
static_assert(OffName + JournalNameBytes <= OffCrc);

template <typename T> void Put(char *ATarget, std::size_t AOffset, T AValue) {
    std::memcpy(ATarget + AOffset, &AValue, sizeof(T));
}

template <typename T> T Get(const char *ASource, std::size_t AOffset) {
    T Value;
    std::memcpy(&Value, ASource + AOffset, sizeof(T));
    return Value;
}

std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> Table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        Table[i] = c;
    }
    return Table;
}

// The UTF-8 bytes of AName, cut to at most AMax bytes at a character edge.
QByteArray CutUtf8(const QString &AName, std::size_t AMax) {
    QByteArray Bytes = AName.toUtf8();
    if (std::size_t(Bytes.size()) <= AMax)
        return Bytes;
    qsizetype End = qsizetype(AMax);
    while (End > 0 && (static_cast<unsigned char>(Bytes[End]) & 0xC0) == 0x80)
        --End;
    Bytes.truncate(End);
    return Bytes;
}

// Reads exactly ASize bytes; false at the end of the file or on an error.
bool ReadFully(int AFd, void *ATarget, std::size_t ASize) {
    auto *Target = static_cast<char *>(ATarget);
    while (ASize > 0) {
        const ssize_t Got = ::read(AFd, Target, ASize);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got <= 0)
            return false;
        Target += Got;
        ASize -= std::size_t(Got);
    }
    return true;
}

} // namespace

std::uint32_t Crc32(const void *AData, std::size_t ASize, std::uint32_t ACrc) {
    static const std::array<std::uint32_t, 256> Table = MakeCrcTable();
    const auto *Bytes = static_cast<const unsigned char *>(AData);
    std::uint32_t c = ~ACrc;
    for (std::size_t i = 0; i < ASize; ++i)
        c = Table[(c ^ Bytes[i]) & 0xFF] ^ (c >> 8);
    return ~c;
}

bool EncodeJournalHeader(const TJournalHeader &AHeader, char (&ATarget)[JournalHeaderSize]) {
    if (AHeader.FRate == 0 || AHeader.FRate > MaxRate || AHeader.FChannels == 0 ||
        AHeader.FChannels > MaxChannels)
        return false;
    std::memset(ATarget, 0, JournalHeaderSize);
    std::memcpy(ATarget, HeaderMagic, sizeof HeaderMagic);
    Put<std::uint32_t>(ATarget, OffVersion, HeaderVersion);
    Put<std::uint32_t>(ATarget, OffHeaderSize, JournalHeaderSize);
    Put<std::uint32_t>(ATarget, OffRate, AHeader.FRate);
    Put<std::uint32_t>(ATarget, OffChannels, AHeader.FChannels);
    Put<std::uint32_t>(ATarget, OffSampleFormat, SampleFloat32);
    Put<std::int64_t>(ATarget, OffStart, AHeader.FStartMs);
    const QByteArray Name = CutUtf8(AHeader.FTakeName, JournalNameBytes);
    Put<std::uint32_t>(ATarget, OffNameSize, std::uint32_t(Name.size()));
    std::memcpy(ATarget + OffName, Name.constData(), std::size_t(Name.size()));
    Put<std::uint32_t>(ATarget, OffCrc, Crc32(ATarget, OffCrc));
    return true;
}

bool DecodeJournalHeader(const char *AData, std::size_t ASize, TJournalHeader *AHeader) {
    if (ASize < JournalHeaderSize || std::memcmp(AData, HeaderMagic, sizeof HeaderMagic) != 0)
        return false;
    if (Get<std::uint32_t>(AData, OffCrc) != Crc32(AData, OffCrc))
        return false;
    const auto Rate = Get<std::uint32_t>(AData, OffRate);
    const auto Channels = Get<std::uint32_t>(AData, OffChannels);
    const auto NameSize = Get<std::uint32_t>(AData, OffNameSize);
    if (Get<std::uint32_t>(AData, OffVersion) != HeaderVersion ||
        Get<std::uint32_t>(AData, OffHeaderSize) != JournalHeaderSize ||
        Get<std::uint32_t>(AData, OffSampleFormat) != SampleFloat32 || Rate == 0 ||
        Rate > MaxRate || Channels == 0 || Channels > MaxChannels || NameSize > JournalNameBytes)
        return false;
    AHeader->FRate = Rate;
    AHeader->FChannels = Channels;
    AHeader->FStartMs = Get<std::int64_t>(AData, OffStart);
    AHeader->FTakeName = QString::fromUtf8(AData + OffName, qsizetype(NameSize));
    return true;
}

void EncodeBlockHeader(std::uint32_t ASequence, const float *ASamples, std::uint32_t AFrames,
                       std::uint32_t AChannels, char *ATarget) {
    Put<std::uint32_t>(ATarget, 0, BlockMagic);
    Put<std::uint32_t>(ATarget, 4, ASequence);
    Put<std::uint32_t>(ATarget, 8, AFrames);
    // The sum covers sequence and size too: a block from an older, longer
    // run of the same file can never pass for the next one.
    std::uint32_t Crc = Crc32(ATarget + 4, 8);
    Crc = Crc32(ASamples, std::size_t(AFrames) * AChannels * sizeof(float), Crc);
    Put<std::uint32_t>(ATarget, 12, Crc);
}

TJournalReader::~TJournalReader() {
    Close();
}

bool TJournalReader::Open(const QString &APath, QString *AError) {
    Close();
    FFd = ::open(NativeName(APath).constData(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0) {
        if (AError)
            *AError = qt_error_string(errno);
        return false;
    }
    char Raw[JournalHeaderSize];
    if (!ReadFully(FFd, Raw, sizeof Raw) || !DecodeJournalHeader(Raw, sizeof Raw, &FHeader)) {
        Close();
        FBadHeader = true;
        if (AError)
            *AError = QStringLiteral("The file is not a take journal, or its header is damaged.");
        return false;
    }
    return true;
}

std::size_t TJournalReader::NextBlock() {
    if (FFd < 0)
        return 0;
    char Head[JournalBlockHeaderSize];
    if (!ReadFully(FFd, Head, sizeof Head))
        return 0;
    const auto Frames = Get<std::uint32_t>(Head, 8);
    if (Get<std::uint32_t>(Head, 0) != BlockMagic || Get<std::uint32_t>(Head, 4) != FSequence ||
        Frames == 0 || Frames > MaxBlockFrames)
        return 0;
    const std::size_t Floats = std::size_t(Frames) * FHeader.FChannels;
    if (Floats > FCapacity) {
        FSamples = std::make_unique<float[]>(Floats);
        FCapacity = Floats;
    }
    if (!ReadFully(FFd, FSamples.get(), Floats * sizeof(float)))
        return 0;
    std::uint32_t Crc = Crc32(Head + 4, 8);
    Crc = Crc32(FSamples.get(), Floats * sizeof(float), Crc);
    if (Crc != Get<std::uint32_t>(Head, 12))
        return 0;
    ++FSequence;
    FFrames += Frames;
    return Frames;
}

void TJournalReader::Close() {
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
    FBadHeader = false;
    FSequence = 0;
    FFrames = 0;
}
