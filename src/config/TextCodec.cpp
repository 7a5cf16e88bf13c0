#include "config/TextCodec.h"

#include <QStringDecoder>
#include <array>

namespace {

// Characters of the bytes 0x80 to 0x9F; all other bytes equal their code.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int Cp1252Byte(char16_t AChar) {
    if (AChar < 0x80 || (AChar >= 0xA0 && AChar <= 0xFF))
        return AChar;
    for (size_t i = 0; i < Cp1252High.size(); ++i)
        if (Cp1252High[i] == AChar)
            return static_cast<int>(0x80 + i);
    return -1;
}

bool StartsWith(QByteArrayView ABytes, const char *APrefix, qsizetype ALength) {
    return ABytes.size() >= ALength && ABytes.first(ALength) == QByteArrayView(APrefix, ALength);
}

QString DecodeUtf16(QByteArrayView ABytes, bool ABigEndian) {
    QString text;
    text.reserve(ABytes.size() / 2);
    // A trailing odd byte cannot form a code unit and is dropped.
    for (qsizetype i = 0; i + 1 < ABytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(ABytes[i]);
        const auto b1 = static_cast<unsigned char>(ABytes[i + 1]);
        text.append(QChar(static_cast<char16_t>(ABigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0)));
    }
    return text;
}

// Unlike QString::fromUtf8, keeps a byte-order mark that is part of the text
// (a second one after the file's own).
QString DecodeUtf8(QByteArrayView ABytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(ABytes);
}

QByteArray EncodeUtf16(QStringView AText, bool ABigEndian) {
    QByteArray bytes;
    bytes.reserve(2 * (AText.size() + 1));
    const char16_t bom = 0xFEFF;
    auto put = [&bytes, ABigEndian](char16_t AUnit) {
        const char hi = static_cast<char>(AUnit >> 8);
        const char lo = static_cast<char>(AUnit & 0xFF);
        bytes.append(ABigEndian ? hi : lo);
        bytes.append(ABigEndian ? lo : hi);
    };
    put(bom);
    for (const QChar c : AText)
        put(c.unicode());
    return bytes;
}

} // namespace

bool IsValidUtf8(QByteArrayView ABytes) {
    const qsizetype n = ABytes.size();
    qsizetype i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(ABytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        int length;
        char32_t code;
        char32_t minimum;
        if ((b & 0xE0) == 0xC0) {
            length = 2, code = b & 0x1F, minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3, code = b & 0x0F, minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4, code = b & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (i + length > n)
            return false;
        for (int k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(ABytes[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (c & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

QString DecodeWindows1252(QByteArrayView ABytes) {
    QString text;
    text.resize(ABytes.size());
    QChar *out = text.data();
    for (qsizetype i = 0; i < ABytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(ABytes[i]);
        out[i] = QChar(b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QByteArray EncodeWindows1252(QStringView AText) {
    QByteArray bytes;
    bytes.resize(AText.size());
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const int b = Cp1252Byte(AText[i].unicode());
        bytes[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return bytes;
}

TDecodedText DecodeText(QByteArrayView ABytes) {
    if (StartsWith(ABytes, "\xFF\xFE", 2))
        return {DecodeUtf16(ABytes.sliced(2), false), teUtf16LE};
    if (StartsWith(ABytes, "\xFE\xFF", 2))
        return {DecodeUtf16(ABytes.sliced(2), true), teUtf16BE};
    if (StartsWith(ABytes, "\xEF\xBB\xBF", 3))
        return {DecodeUtf8(ABytes.sliced(3)), teUtf8Bom};
    if (IsValidUtf8(ABytes))
        return {DecodeUtf8(ABytes), teUtf8};
    return {DecodeWindows1252(ABytes), teWindows1252};
}

bool FitsEncoding(QStringView AText, TTextEncoding AEncoding) {
    if (AEncoding != teWindows1252)
        return true;
    for (const QChar c : AText)
        if (Cp1252Byte(c.unicode()) < 0)
            return false;
    return true;
}

QByteArray EncodeText(QStringView AText, TTextEncoding AEncoding) {
    switch (AEncoding) {
    case teUtf8Bom:
        return QByteArray("\xEF\xBB\xBF") + AText.toUtf8();
    case teUtf16LE:
        return EncodeUtf16(AText, false);
    case teUtf16BE:
        return EncodeUtf16(AText, true);
    case teWindows1252:
        return EncodeWindows1252(AText);
    case teUtf8:
        break;
    }
    return AText.toUtf8();
}
