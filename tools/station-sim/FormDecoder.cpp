#include "FormDecoder.h"

#include <array>

namespace {

int HexValue(char AChar) {
    if (AChar >= '0' && AChar <= '9')
        return AChar - '0';
    if (AChar >= 'A' && AChar <= 'F')
        return AChar - 'A' + 10;
    if (AChar >= 'a' && AChar <= 'f')
        return AChar - 'a' + 10;
    return -1;
}

constexpr std::size_t SinkChunk = 64 * 1024;

// Value of each Base64 character; -1 for characters outside the alphabet,
// -2 for white space that is skipped.
constexpr std::array<int, 256> MakeBase64Table() {
    std::array<int, 256> table{};
    for (auto &entry : table)
        entry = -1;
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[std::uint8_t(alphabet[i])] = i;
    for (char blank : {'\r', '\n', ' ', '\t'})
        table[std::uint8_t(blank)] = -2;
    return table;
}
constexpr std::array<int, 256> Base64Table = MakeBase64Table();

} // namespace

TFormDecoder::TFormDecoder(std::string AStreamedName, TSink ASink, std::size_t AMaxKept)
    : FStreamedName(std::move(AStreamedName)), FSink(std::move(ASink)), FMaxKept(AMaxKept) {}

void TFormDecoder::Feed(std::string_view AData) {
    for (const char c : AData) {
        if (FPercent == 1) {
            if (HexValue(c) >= 0) {
                FFirstDigit = c;
                FPercent = 2;
                continue;
            }
            FPercent = 0;
            Emit('%');
        } else if (FPercent == 2) {
            FPercent = 0;
            if (HexValue(c) >= 0) {
                Emit(char(HexValue(FFirstDigit) * 16 + HexValue(c)));
                continue;
            }
            Emit('%');
            Emit(FFirstDigit);
        }
        switch (c) {
        case '%':
            FPercent = 1;
            break;
        case '+':
            Emit(' ');
            break;
        case '&':
            EndItem();
            break;
        case '=':
            if (FPart == fpName)
                EndName();
            else
                Emit(c);
            break;
        default:
            Emit(c);
        }
    }
}

void TFormDecoder::Finish() {
    if (FPercent >= 1)
        Emit('%');
    if (FPercent == 2)
        Emit(FFirstDigit);
    FPercent = 0;
    EndItem();
}

void TFormDecoder::Emit(char AByte) {
    switch (FPart) {
    case fpName:
        if (FName.size() < FMaxKept)
            FName += AByte;
        else
            FOverflow = true;
        break;
    case fpValue:
        if (FValue.size() < FMaxKept)
            FValue += AByte;
        else
            FOverflow = true;
        break;
    case fpStreamed:
        FPending += AByte;
        if (FPending.size() >= SinkChunk)
            Flush();
        break;
    case fpSkipped:
        break;
    }
}

void TFormDecoder::EndName() {
    if (FName == FStreamedName)
        FPart = FStreamedSeen ? fpSkipped : fpStreamed;
    else
        FPart = fpValue;
    if (FPart == fpStreamed)
        FStreamedSeen = true;
}

void TFormDecoder::EndItem() {
    if (FPart == fpStreamed) {
        Flush();
    } else if (FPart == fpName && FName == FStreamedName) {
        FStreamedSeen = true; // "vt" without "=": present and empty
    } else if (FPart != fpSkipped && !FName.empty()) {
        FFields.try_emplace(FName, FValue);
    }
    FPart = fpName;
    FName.clear();
    FValue.clear();
}

void TFormDecoder::Flush() {
    if (!FPending.empty() && FSink)
        FSink(FPending);
    FPending.clear();
}

TBase64Decoder::TBase64Decoder(TSink ASink) : FSink(std::move(ASink)) {}

void TBase64Decoder::Feed(std::string_view AText) {
    if (FFailed)
        return;
    FOut.clear();
    for (const char c : AText) {
        const int value = Base64Table[std::uint8_t(c)];
        if (value == -2)
            continue;
        if (c == '=' && !FEnded && FCount >= 2) {
            // "xx==" carries one byte, "xxx=" two; the text ends with the group.
            if (FCount + ++FPadding == 4)
                EndGroup();
            continue;
        }
        if (value < 0 || FPadding > 0 || FEnded) {
            FFailed = true;
            break;
        }
        FBits = (FBits << 6) | std::uint32_t(value);
        if (++FCount == 4)
            EndGroup();
    }
    if (!FOut.empty() && FSink)
        FSink(FOut);
    FOut.clear();
}

bool TBase64Decoder::Finish() {
    // A last group may come without (all of) its padding; a single character
    // cannot carry a byte.
    if (!FFailed && FCount == 1)
        FFailed = true;
    if (FFailed)
        return false;
    if (FCount > 0) {
        EndGroup();
        if (FSink)
            FSink(FOut);
        FOut.clear();
    }
    return true;
}

void TBase64Decoder::EndGroup() {
    const std::uint32_t bits = FBits << (6 * (4 - FCount));
    FOut += char(bits >> 16);
    if (FCount >= 3)
        FOut += char(bits >> 8);
    if (FCount == 4)
        FOut += char(bits);
    FEnded = FCount < 4;
    FCount = 0;
    FBits = 0;
}
