#include "core/PrintableText.h"

namespace {

constexpr char16_t KEsc = 0x1B;
constexpr char16_t KBel = 0x07;
constexpr char16_t KCsi8 = 0x9B;
constexpr char16_t KSt8 = 0x9C;

bool IsControl(char16_t AC) {
    return AC < 0x20 || (AC >= 0x7F && AC <= 0x9F);
}

// Introducers of a control string that a terminal swallows up to its end.
bool IsStringIntroducer(char16_t AC) {
    switch (AC) {
    case 0x90: // DCS
    case 0x98: // SOS
    case 0x9D: // OSC
    case 0x9E: // PM
    case 0x9F: // APC
        return true;
    default:
        return false;
    }
}

// The C1 form of "ESC AFinal" when it has one (ESC [ is CSI, ESC ] is OSC, ...).
char16_t C1Of(char16_t AFinal) {
    return AFinal >= 0x40 && AFinal <= 0x5F ? static_cast<char16_t>(AFinal + 0x40) : 0;
}

// Skips a control string after its introducer: up to and including ST (ESC
// backslash, or its C1 form) or BEL; an unterminated one runs to the end, as
// it would on the terminal.
qsizetype SkipControlString(const QString &AText, qsizetype AIndex) {
    const qsizetype n = AText.size();
    while (AIndex < n) {
        const char16_t c = AText.at(AIndex).unicode();
        if (c == KBel || c == KSt8)
            return AIndex + 1;
        if (c == KEsc && AIndex + 1 < n && AText.at(AIndex + 1).unicode() == u'\\')
            return AIndex + 2;
        ++AIndex;
    }
    return n;
}

// Skips the parameters, intermediates and final byte of a CSI sequence. A
// character that cannot belong to it ends the sequence and is kept.
qsizetype SkipCsi(const QString &AText, qsizetype AIndex) {
    const qsizetype n = AText.size();
    while (AIndex < n) {
        const char16_t c = AText.at(AIndex).unicode();
        if (c >= 0x40 && c <= 0x7E)
            return AIndex + 1;
        if (c < 0x20 || c > 0x3F)
            return AIndex;
        ++AIndex;
    }
    return n;
}

// Skips what follows a lone ESC that starts no CSI or control string:
// intermediates (0x20-0x2F) and one final character (0x30-0x7E).
qsizetype SkipEscape(const QString &AText, qsizetype AIndex) {
    const qsizetype n = AText.size();
    while (AIndex < n) {
        const char16_t c = AText.at(AIndex).unicode();
        if (c >= 0x30 && c <= 0x7E)
            return AIndex + 1;
        if (c < 0x20 || c > 0x2F)
            return AIndex;
        ++AIndex;
    }
    return n;
}

} // namespace

QString PrintableText(const QString &AText, TPrintableMode AMode) {
    QString out;
    out.reserve(AText.size());
    const qsizetype n = AText.size();
    qsizetype i = 0;
    while (i < n) {
        char16_t c = AText.at(i).unicode();
        ++i;
        if (!IsControl(c)) {
            out += QChar(c);
            continue;
        }
        if (c == KEsc) {
            if (i >= n)
                break;
            const char16_t next = AText.at(i).unicode();
            const char16_t c1 = C1Of(next);
            if (c1 == KCsi8 || IsStringIntroducer(c1)) {
                c = c1; // handled below, like its C1 form
                ++i;
            } else {
                i = SkipEscape(AText, i);
                continue;
            }
        }
        if (c == KCsi8) {
            i = SkipCsi(AText, i);
            continue;
        }
        if (IsStringIntroducer(c)) {
            i = SkipControlString(AText, i);
            continue;
        }
        switch (AMode) {
        case pmOneLine:
            out += u' ';
            break;
        case pmLines:
            if (c == u'\r') {
                out += u'\n';
                if (i < n && AText.at(i).unicode() == u'\n')
                    ++i;
            } else if (c == u'\t' || c == u'\n') {
                out += QChar(c);
            }
            break;
        case pmEscapedWhitespace:
            if (c == u'\t' || c == u'\r' || c == u'\n')
                out += QChar(c);
            break;
        }
    }
    return out;
}
