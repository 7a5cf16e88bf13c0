#pragma once
// Character tests and look-aheads shared by the scanner's pieces. Every text
// they walk is NUL-terminated, and every look-ahead stops at the first
// character that differs, so none of them reads past the terminating NUL.

#include <QtGlobal>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

inline bool XmlIsBlank(char16_t C) {
    return C == u' ' || C == u'\t' || C == u'\n' || C == u'\r';
}

// ":", "A"-"Z", "_", "a"-"z" and the Latin-1 letters.
inline bool XmlIsNameStart(char16_t C) {
    return C == u':' || C == u'_' || (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z') ||
           (C >= 0xC0 && C <= 0xFF && C != 0xD7 && C != 0xF7);
}

// True when the text at AText begins with ALiteral (case-sensitive).
template <size_t N>
inline bool XmlStartsWith(const char16_t *AText, const char16_t (&ALiteral)[N]) {
    for (size_t I = 0; I + 1 < N; ++I)
        if (AText[I] != ALiteral[I])
            return false;
    return true;
}

// The first occurrence of ATerminator at or after AText, or the terminating
// NUL when there is none.
template <size_t N>
inline const char16_t *XmlFind(const char16_t *AText, const char16_t (&ATerminator)[N]) {
    while (*AText != 0 && !XmlStartsWith(AText, ATerminator))
        ++AText;
    return AText;
}

// The character right after ATerminator, or the terminating NUL.
template <size_t N>
inline const char16_t *XmlSkipPast(const char16_t *AText, const char16_t (&ATerminator)[N]) {
    const char16_t *Found = XmlFind(AText, ATerminator);
    return *Found != 0 ? Found + (N - 1) : Found;
}

// The first character at or after AText that is at most ALimit. Text up to
// AEnd (the terminating NUL, or null when unknown) is examined eight
// characters at a time. The NUL itself is at most any limit, so the walk
// always stops there at the latest.
inline const char16_t *XmlSkipAbove(const char16_t *AText, const char16_t *AEnd, char16_t ALimit) {
#if defined(__SSE2__)
    if (AEnd) {
        const __m128i Limit = _mm_set1_epi16(short(ALimit));
        const __m128i Zero = _mm_setzero_si128();
        while (AEnd - AText >= 8) {
            const __m128i Chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(AText));
            // Unsigned saturation: zero exactly where a character is at most the limit.
            const int Mask = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(Chars, Limit), Zero));
            if (Mask != 0)
                return AText + __builtin_ctz(unsigned(Mask)) / 2;
            AText += 8;
        }
    }
#else
    Q_UNUSED(AEnd);
#endif
    while (*AText > ALimit)
        ++AText;
    return AText;
}

// Inside a quoted value: the first character that needs a closer look, that
// is the closing mark AQuote, "&", or a control character (the NUL, TAB, LF
// and CR among them). Blanks and punctuation, common in titles, pass.
inline const char16_t *XmlSkipValueText(const char16_t *AText, const char16_t *AEnd,
                                        char16_t AQuote) {
#if defined(__SSE2__)
    if (AEnd) {
        const __m128i Quote = _mm_set1_epi16(short(AQuote));
        const __m128i Ampersand = _mm_set1_epi16(short(u'&'));
        const __m128i Control = _mm_set1_epi16(0x0D);
        const __m128i Zero = _mm_setzero_si128();
        while (AEnd - AText >= 8) {
            const __m128i Chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(AText));
            const __m128i Hits = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi16(Chars, Quote), _mm_cmpeq_epi16(Chars, Ampersand)),
                _mm_cmpeq_epi16(_mm_subs_epu16(Chars, Control), Zero));
            const int Mask = _mm_movemask_epi8(Hits);
            if (Mask != 0)
                return AText + __builtin_ctz(unsigned(Mask)) / 2;
            AText += 8;
        }
    }
#else
    Q_UNUSED(AEnd);
#endif
    while (*AText != AQuote && *AText != u'&' && *AText > 0x0D)
        ++AText;
    return AText;
}
