#include "core/NativeNames.h"

namespace {

// Surrogates U+DC80..U+DCFF stand for the bytes 0x80..0xFF that did not
// decode; bytes below 0x80 always decode, so they never need one.
constexpr char16_t EscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at AText[APos], or 0 when there is none.
int Utf8SequenceLength(QByteArrayView AText, qsizetype APos, char32_t &ACode) {
    const auto byte = [&](qsizetype AIndex) { return static_cast<unsigned char>(AText[AIndex]); };
    const unsigned char lead = byte(APos);
    int length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        ACode = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (APos + length > AText.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(APos + k);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    // Over-long forms, surrogates and values beyond Unicode are not UTF-8.
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    ACode = code;
    return length;
}

} // namespace

QString NameFromNative(QByteArrayView ABytes) {
    QString out;
    out.reserve(ABytes.size());
    for (qsizetype pos = 0; pos < ABytes.size();) {
        char32_t code = 0;
        const int length = Utf8SequenceLength(ABytes, pos, code);
        if (length == 0) {
            out.append(QChar(EscapeBase + static_cast<unsigned char>(ABytes[pos])));
            ++pos;
            continue;
        }
        if (QChar::requiresSurrogates(code)) {
            out.append(QChar(QChar::highSurrogate(code)));
            out.append(QChar(QChar::lowSurrogate(code)));
        } else {
            out.append(QChar(static_cast<char16_t>(code)));
        }
        pos += length;
    }
    return out;
}

QByteArray NativeName(const QString &AName) {
    QByteArray out;
    out.reserve(AName.size());
    qsizetype start = 0; // of the ordinary text not yet converted
    const auto flush = [&](qsizetype AEnd) {
        if (AEnd > start)
            out += QStringView(AName).sliced(start, AEnd - start).toUtf8();
    };
    for (qsizetype i = 0; i < AName.size(); ++i) {
        const char16_t c = AName[i].unicode();
        const bool paired = QChar::isLowSurrogate(c) && i > 0 && AName[i - 1].isHighSurrogate();
        if (c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF && !paired) {
            flush(i);
            out += static_cast<char>(c - EscapeBase);
            start = i + 1;
        }
    }
    flush(AName.size());
    return out;
}

QStringList ArgumentsFromNative(int AArgc, char *AArgv[]) {
    QStringList arguments;
    for (int i = 1; i < AArgc; ++i)
        arguments << NameFromNative(AArgv[i]);
    return arguments;
}
