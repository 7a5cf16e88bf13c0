#include "remote/UrlEncoding.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
constexpr char Base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Base64 puts CR LF after every 19th group of four characters (76 characters).
constexpr int GroupsPerLine = 19;
constexpr qsizetype BytesPerLine = 3 * GroupsPerLine;
constexpr char EncodedLineBreak[] = "%0D%0A";
constexpr char EncodedPad[] = "%3D";

// Characters below U+0080 that travel unchanged.
constexpr std::array<bool, 128> MakeUnreserved() {
    std::array<bool, 128> t{};
    for (char c = 'A'; c <= 'Z'; ++c)
        t[static_cast<unsigned char>(c)] = true;
    for (char c = 'a'; c <= 'z'; ++c)
        t[static_cast<unsigned char>(c)] = true;
    for (char c = '0'; c <= '9'; ++c)
        t[static_cast<unsigned char>(c)] = true;
    for (char c : std::string_view("!$'()*-.@_"))
        t[static_cast<unsigned char>(c)] = true;
    return t;
}
constexpr std::array<bool, 128> Unreserved = MakeUnreserved();

void AppendEscaped(QByteArray &AOut, unsigned AByte) {
    const char text[3] = {'%', HexDigits[AByte >> 4], HexDigits[AByte & 15]};
    AOut.append(text, 3);
}

void AppendEscapedUtf8(QByteArray &AOut, char32_t ACode) {
    if (ACode < 0x800) {
        AppendEscaped(AOut, 0xC0 | (ACode >> 6));
    } else if (ACode < 0x10000) {
        AppendEscaped(AOut, 0xE0 | (ACode >> 12));
        AppendEscaped(AOut, 0x80 | ((ACode >> 6) & 0x3F));
    } else {
        AppendEscaped(AOut, 0xF0 | (ACode >> 18));
        AppendEscaped(AOut, 0x80 | ((ACode >> 12) & 0x3F));
        AppendEscaped(AOut, 0x80 | ((ACode >> 6) & 0x3F));
    }
    AppendEscaped(AOut, 0x80 | (ACode & 0x3F));
}

// The URL-encoded form of Base64 characters: letters and digits stay, "+" and
// "/" grow to %2B and %2F. One entry per sextet, and one per pair of sextets
// so that a group of three input bytes costs two look-ups. The pair entry is
// eight bytes and is copied whole: the bytes after Length characters are
// overwritten by what follows, which is why writers keep some room spare.
struct TSextetCode {
    char Text[3];
    std::uint8_t Length;
};
struct alignas(8) TPairCode {
    char Text[7];
    std::uint8_t Length;
};
static_assert(sizeof(TPairCode) == 8);

constexpr TSextetCode MakeSextetCode(unsigned ASextet) {
    const char c = Base64Alphabet[ASextet];
    if (ASextet < 62)
        return {{c, 0, 0}, 1};
    return {{'%', HexDigits[static_cast<unsigned char>(c) >> 4],
             HexDigits[static_cast<unsigned char>(c) & 15]},
            3};
}

constexpr std::array<TSextetCode, 64> MakeSextetCodes() {
    std::array<TSextetCode, 64> t{};
    for (unsigned i = 0; i < 64; ++i)
        t[i] = MakeSextetCode(i);
    return t;
}
constexpr std::array<TSextetCode, 64> SextetCodes = MakeSextetCodes();

constexpr std::array<TPairCode, 4096> MakePairCodes() {
    std::array<TPairCode, 4096> t{};
    for (unsigned i = 0; i < 4096; ++i) {
        TPairCode p{};
        for (unsigned sextet : {i >> 6, i & 63}) {
            const TSextetCode &s = SextetCodes[sextet];
            for (unsigned k = 0; k < s.Length; ++k)
                p.Text[p.Length++] = s.Text[k];
        }
        t[i] = p;
    }
    return t;
}
alignas(64) constexpr std::array<TPairCode, 4096> PairCodes = MakePairCodes();

inline char *WritePair(char *ADest, unsigned AIndex) {
    const TPairCode &pair = PairCodes[AIndex];
    std::memcpy(ADest, &pair, sizeof pair);
    return ADest + pair.Length;
}

// Writes the encoded form of three input bytes (4 to 12 characters); may touch
// up to 14 bytes from ADest.
inline char *EncodeGroup(char *ADest, const unsigned char *ASrc) {
    const unsigned v = (unsigned{ASrc[0]} << 16) | (unsigned{ASrc[1]} << 8) | ASrc[2];
    return WritePair(WritePair(ADest, v >> 12), v & 0xFFF);
}

inline char *WriteSextet(char *ADest, unsigned ASextet) {
    const TSextetCode &s = SextetCodes[ASextet];
    std::memcpy(ADest, s.Text, s.Length);
    return ADest + s.Length;
}

inline char *WriteText(char *ADest, const char *AText, std::size_t ALength) {
    std::memcpy(ADest, AText, ALength);
    return ADest + ALength;
}

// Writes one whole line: 57 input bytes, 76 encoded characters and CR LF.
inline char *EncodeLine(char *ADest, const unsigned char *ASrc) {
    static_assert(GroupsPerLine == 2 * 9 + 1);
    // Two groups from each 8-byte load; the ninth load ends at byte 56 of 57.
    for (int k = 0; k < 9; ++k, ASrc += 6) {
        const std::uint64_t v = qFromBigEndian<quint64>(ASrc) >> 16;
        ADest = WritePair(ADest, unsigned(v >> 36));
        ADest = WritePair(ADest, unsigned(v >> 24) & 0xFFF);
        ADest = WritePair(ADest, unsigned(v >> 12) & 0xFFF);
        ADest = WritePair(ADest, unsigned(v) & 0xFFF);
    }
    ADest = EncodeGroup(ADest, ASrc);
    return WriteText(ADest, EncodedLineBreak, 6);
}

// A whole line straight into the caller's buffer may touch this many bytes:
// the last group starts at most 18 * 12 bytes in and touches 14, the CR LF
// after the 19th group ends at most 19 * 12 + 6 bytes in.
constexpr std::ptrdiff_t LineExtent =
    std::max((GroupsPerLine - 1) * 12 + 14, GroupsPerLine * 12 + 6);

// A sextet is 62 ("+") or 63 ("/") exactly when its five high bits are all
// set. With sextet k at bits 6k..6k+5 of AValue (up to eight of them), the
// result has bit 6k set for each such sextet. Added up, the results form eight
// 6-bit counters that cannot overflow within 63 additions.
constexpr std::uint64_t SextetLowBits = 0x041041041041;
inline std::uint64_t HighSextetMarks(std::uint64_t AValue) {
    const std::uint64_t all =
        AValue & (AValue >> 1) & (AValue >> 2) & (AValue >> 3) & (AValue >> 4);
    return (all >> 1) & SextetLowBits;
}
inline qint64 SumCounters(std::uint64_t ACounters) {
    qint64 sum = 0;
    for (int k = 0; k < 8; ++k)
        sum += (ACounters >> (6 * k)) & 63;
    return sum;
}

} // namespace

QByteArray UrlEncode(QStringView AText) {
    QByteArray out;
    out.reserve(AText.size() * 3);
    const qsizetype n = AText.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = AText[i].unicode();
        if (c == 0)
            break;
        if (c < 0x80) {
            if (Unreserved[c])
                out.append(static_cast<char>(c));
            else if (c == u' ')
                out.append('+');
            else
                AppendEscaped(out, c);
            continue;
        }
        char32_t code = c;
        if (QChar::isHighSurrogate(c) && i + 1 < n && AText[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, AText[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            // Half a pair has no UTF-8 form; the server gets the replacement
            // character instead of bytes no decoder accepts.
            code = 0xFFFD;
        }
        AppendEscapedUtf8(out, code);
    }
    return out;
}

QByteArray Base64Lines(QByteArrayView AData) {
    const qsizetype size = AData.size();
    const qsizetype groups = (size + 2) / 3;
    const qsizetype lines = groups / GroupsPerLine;
    QByteArray out(4 * groups + 2 * lines, Qt::Uninitialized);
    const auto *src = reinterpret_cast<const unsigned char *>(AData.data());
    char *d = out.data();
    int lineGroups = 0;
    for (qsizetype pos = 0; pos < size; pos += 3) {
        const qsizetype left = size - pos;
        const unsigned v = (unsigned{src[pos]} << 16) |
                           (left > 1 ? unsigned{src[pos + 1]} << 8 : 0) |
                           (left > 2 ? unsigned{src[pos + 2]} : 0);
        *d++ = Base64Alphabet[v >> 18];
        *d++ = Base64Alphabet[(v >> 12) & 63];
        *d++ = left > 1 ? Base64Alphabet[(v >> 6) & 63] : '=';
        *d++ = left > 2 ? Base64Alphabet[v & 63] : '=';
        if (++lineGroups == GroupsPerLine) {
            *d++ = '\r';
            *d++ = '\n';
            lineGroups = 0;
        }
    }
    return out;
}

qint64 EncodedVoiceTrackSize(QByteArrayView AData) {
    const qsizetype size = AData.size();
    const auto *src = reinterpret_cast<const unsigned char *>(AData.data());
    const qsizetype fullEnd = size - size % 3;
    qint64 escaped = 0; // characters that grow to three: "+", "/" and "="
    qsizetype pos = 0;
    // Two groups per step from one 8-byte load, which may not pass the end.
    const qsizetype pairEnd = std::min(fullEnd - 6, size - 8);
    while (pos <= pairEnd) {
        std::uint64_t counters = 0;
        for (int step = 0; step < 63 && pos <= pairEnd; ++step, pos += 6)
            counters += HighSextetMarks(qFromBigEndian<quint64>(src + pos) >> 16);
        escaped += SumCounters(counters);
    }
    for (; pos < fullEnd; pos += 3) {
        const unsigned v =
            (unsigned{src[pos]} << 16) | (unsigned{src[pos + 1]} << 8) | src[pos + 2];
        escaped += SumCounters(HighSextetMarks(v));
    }
    if (size > fullEnd) {
        // The short last group: 2 or 3 sextets, the rest "=" padding.
        const qsizetype left = size - fullEnd;
        const unsigned v =
            (unsigned{src[fullEnd]} << 16) | (left > 1 ? unsigned{src[fullEnd + 1]} << 8 : 0);
        escaped += ((v >> 18) >= 62) + (((v >> 12) & 63) >= 62);
        escaped += left > 1 ? (((v >> 6) & 63) >= 62) + 1 : 2;
    }
    const qint64 groups = (size + 2) / 3;
    const qint64 lines = groups / GroupsPerLine;
    return 4 * groups + 2 * escaped + qint64{sizeof EncodedLineBreak - 1} * lines;
}

QByteArray EncodeVoiceTrack(QByteArrayView AData) {
    const qint64 size = EncodedVoiceTrackSize(AData);
    QByteArray out(size, Qt::Uninitialized);
    TVoiceTrackEncoder encoder(QByteArray::fromRawData(AData.data(), AData.size()));
    const std::size_t written = encoder.Read(out.data(), static_cast<std::size_t>(size));
    Q_ASSERT(static_cast<qint64>(written) == size);
    Q_UNUSED(written);
    return out;
}

TVoiceTrackEncoder::TVoiceTrackEncoder(QByteArray AData) : FData(std::move(AData)) {}

void TVoiceTrackEncoder::Rewind() {
    FPos = 0;
    FLineGroups = 0;
    FCarryPos = 0;
    FCarryLen = 0;
}

// The next group (full or the short last one), with CR LF when it ends a line.
char *TVoiceTrackEncoder::EncodeUnit(char *ADest) {
    const auto *src = reinterpret_cast<const unsigned char *>(FData.constData()) + FPos;
    const qsizetype left = FData.size() - FPos;
    if (left >= 3) {
        ADest = EncodeGroup(ADest, src);
        FPos += 3;
    } else {
        const unsigned v = (unsigned{src[0]} << 16) | (left > 1 ? unsigned{src[1]} << 8 : 0);
        ADest = WriteSextet(ADest, v >> 18);
        ADest = WriteSextet(ADest, (v >> 12) & 63);
        if (left > 1)
            ADest = WriteSextet(ADest, (v >> 6) & 63);
        else
            ADest = WriteText(ADest, EncodedPad, 3);
        ADest = WriteText(ADest, EncodedPad, 3);
        FPos += left;
    }
    if (++FLineGroups == GroupsPerLine) {
        ADest = WriteText(ADest, EncodedLineBreak, 6);
        FLineGroups = 0;
    }
    return ADest;
}

std::size_t TVoiceTrackEncoder::Read(char *ADest, std::size_t AMax) {
    if (AMax == 0)
        return 0;
    char *d = ADest;
    char *const end = ADest + AMax;
    if (FCarryPos < FCarryLen) {
        const std::size_t n = std::min<std::size_t>(FCarryLen - FCarryPos, AMax);
        d = WriteText(d, FCarry + FCarryPos, n);
        FCarryPos += n;
    }
    const auto *src = reinterpret_cast<const unsigned char *>(FData.constData());
    const qsizetype size = FData.size();
    while (d < end && FPos < size) {
        if (FLineGroups == 0 && size - FPos >= BytesPerLine && end - d >= LineExtent) {
            // The common case while sending: whole lines with no checks between groups.
            d = EncodeLine(d, src + FPos);
            FPos += BytesPerLine;
        } else if (end - d >= static_cast<std::ptrdiff_t>(MaxUnit)) {
            d = EncodeUnit(d);
        } else {
            // Too little room for the unit's spare bytes: build it aside and
            // hand out what fits; the rest goes first next time.
            FCarryLen = static_cast<std::uint8_t>(EncodeUnit(FCarry) - FCarry);
            FCarryPos = static_cast<std::uint8_t>(std::min<std::ptrdiff_t>(FCarryLen, end - d));
            d = WriteText(d, FCarry, FCarryPos);
        }
    }
    return static_cast<std::size_t>(d - ADest);
}
