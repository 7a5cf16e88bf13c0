#include "config/ComponentLexer.h"

#include "config/ConfigErrors.h"

namespace {

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsHexDigit(char16_t c) {
    return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
bool IsIdentStart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}
bool IsIdentChar(char16_t c) {
    return IsIdentStart(c) || IsDigit(c);
}
int HexValue(char16_t c) {
    if (IsDigit(c))
        return c - u'0';
    return (c | 0x20) - u'a' + 10;
}

} // namespace

TComponentLexer::TComponentLexer(QStringView AText) : FText(AText) {}

bool TComponentLexer::IsKeyword(QStringView AKeyword) const {
    return FToken.Kind == tkIdent && FToken.Text.size() == AKeyword.size() &&
           FToken.Text.compare(AKeyword, Qt::CaseInsensitive) == 0;
}

void TComponentLexer::Fail(const QString &AReason) const {
    FailAt(FToken.Kind == tkEof ? QStringLiteral("Unexpected end of file") : AReason, FToken.Line);
}

void TComponentLexer::FailAt(const QString &AReason, int ALine) const {
    throw EParserError(AReason, ALine);
}

void TComponentLexer::SkipBlanks() {
    while (FPos < FText.size()) {
        const char16_t c = FText[FPos].unicode();
        if (c == u'\n') {
            ++FLine;
        } else if (c == u'\r') {
            // CR LF counts once, at its LF; a lone CR ends a line too.
            if (FPos + 1 >= FText.size() || FText[FPos + 1] != u'\n')
                ++FLine;
        } else if (c != u' ' && c != u'\t' && c != u'\f' && c != u'\v' && c != u'\0') {
            return;
        }
        ++FPos;
    }
}

void TComponentLexer::Next() {
    SkipBlanks();
    FToken = TToken{};
    FToken.Line = FLine;
    if (FPos >= FText.size())
        return;
    const char16_t c = FText[FPos].unicode();
    const char16_t following = FPos + 1 < FText.size() ? FText[FPos + 1].unicode() : 0;
    if (c == u'\'' || c == u'#') {
        ReadString();
    } else if (IsDigit(c) || (c == u'-' && IsDigit(following)) ||
               (c == u'$' && IsHexDigit(following))) {
        ReadNumber();
    } else if (IsIdentStart(c)) {
        ReadIdent();
    } else if (QStringView(u"=<>()[]{},:.+-").contains(QChar(c))) {
        FToken.Kind = tkSymbol;
        FToken.Symbol = c;
        ++FPos;
    } else {
        FailAt(QStringLiteral("Invalid character"), FLine);
    }
}

void TComponentLexer::ReadString() {
    FToken.Kind = tkString;
    QString &text = FToken.Text;
    while (FPos < FText.size()) {
        const char16_t c = FText[FPos].unicode();
        if (c == u'\'') {
            ++FPos;
            for (;;) {
                if (FPos >= FText.size() || FText[FPos] == u'\r' || FText[FPos] == u'\n')
                    FailAt(QStringLiteral("Unterminated string"), FToken.Line);
                const QChar q = FText[FPos++];
                if (q != u'\'') {
                    text.append(q);
                } else if (FPos < FText.size() && FText[FPos] == u'\'') {
                    text.append(q); // a doubled quote stands for one
                    ++FPos;
                } else {
                    break;
                }
            }
        } else if (c == u'#') {
            ++FPos;
            const bool hex = FPos < FText.size() && FText[FPos] == u'$';
            if (hex)
                ++FPos;
            const qsizetype start = FPos;
            quint32 code = 0;
            while (FPos < FText.size() &&
                   (hex ? IsHexDigit(FText[FPos].unicode()) : IsDigit(FText[FPos].unicode()))) {
                code = code * (hex ? 16 : 10) + HexValue(FText[FPos].unicode());
                if (code > 0xFFFF)
                    FailAt(QStringLiteral("Invalid character code"), FToken.Line);
                ++FPos;
            }
            if (FPos == start)
                FailAt(QStringLiteral("Invalid character code"), FToken.Line);
            text.append(QChar(static_cast<char16_t>(code)));
        } else {
            break;
        }
    }
}

void TComponentLexer::ReadNumber() {
    const qsizetype start = FPos;
    FToken.Kind = tkInteger;
    auto digits = [this](bool AHex) {
        while (FPos < FText.size() &&
               (AHex ? IsHexDigit(FText[FPos].unicode()) : IsDigit(FText[FPos].unicode())))
            ++FPos;
    };
    auto at = [this](qsizetype AOffset) -> char16_t {
        return FPos + AOffset < FText.size() ? FText[FPos + AOffset].unicode() : 0;
    };
    if (at(0) == u'$') {
        ++FPos;
        digits(true);
    } else {
        if (at(0) == u'-')
            ++FPos;
        digits(false);
        if (at(0) == u'.' && IsDigit(at(1))) {
            FToken.Kind = tkFloat;
            ++FPos;
            digits(false);
        }
        if ((at(0) == u'e' || at(0) == u'E') &&
            (IsDigit(at(1)) || ((at(1) == u'+' || at(1) == u'-') && IsDigit(at(2))))) {
            FToken.Kind = tkFloat;
            FPos += 2;
            digits(false);
        }
        // The kind letter of a single, currency or date value.
        const char16_t kind = at(0) | 0x20;
        if ((kind == u's' || kind == u'c' || kind == u'd') && !IsIdentChar(at(1))) {
            FToken.Kind = tkFloat;
            ++FPos;
        }
    }
    FToken.Text = FText.sliced(start, FPos - start).toString();
}

void TComponentLexer::ReadIdent() {
    const qsizetype start = FPos;
    while (FPos < FText.size() && IsIdentChar(FText[FPos].unicode()))
        ++FPos;
    FToken.Kind = tkIdent;
    FToken.Text = FText.sliced(start, FPos - start).toString();
}

QString TComponentLexer::ReadBinary() {
    QString digits;
    for (;;) {
        SkipBlanks();
        if (FPos >= FText.size())
            FailAt(QStringLiteral("Unexpected end of file"), FLine);
        const char16_t c = FText[FPos].unicode();
        if (c == u'}')
            break;
        if (!IsHexDigit(c))
            FailAt(QStringLiteral("Invalid binary value"), FLine);
        digits.append(QChar(c));
        ++FPos;
    }
    if (digits.size() % 2 != 0)
        FailAt(QStringLiteral("Invalid binary value"), FLine);
    ++FPos; // the "}"
    Next();
    return digits;
}
