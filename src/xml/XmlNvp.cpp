#include "xml/XmlNvp.h"

#include "xml/XmlChars.h"

void TNvpNode::SetName(QStringView AName) {
    FName = AName.toString();
    FNameView = FName; // the characters stay where they are when the node moves
    FNameHash = NvpNameHash(AName);
}

namespace {

// Every character that ends a name is at most ">" (0x3E), so one comparison
// passes over the bulk of a name.
bool EndsAttrName(char16_t C) {
    return C <= u'>' && (C == 0 || XmlIsBlank(C) || C == u'/' || C == u'=' || C == u'>');
}

// Passes over everything up to AWanted, which it returns; null when the NUL
// or a ">" comes first (AText is then left on it). Used between a name and
// its "=", and between the "=" and the quotation mark, where any other
// character is skipped.
const char16_t *SkipTo(const char16_t *&AText, bool (*AWanted)(char16_t)) {
    for (;; ++AText) {
        const char16_t C = *AText;
        if (AWanted(C))
            return AText;
        if (C == 0 || C == u'>')
            return nullptr;
    }
}

bool IsEquals(char16_t C) {
    return C == u'=';
}
bool IsQuote(char16_t C) {
    return C == u'"' || C == u'\'';
}

} // namespace

// The walk has three states (expecting a name, an "=", a quotation mark);
// each is one loop here, so the common case runs straight through.
void TAttrList::Analyze(const char16_t *AStart, const char16_t *&AFinal, const char16_t *AEnd) {
    Clear();
    FNeedingWork.clear();
    const char16_t *P = AStart;
    for (;;) {
        while (XmlIsBlank(*P))
            ++P;
        // Neither the NUL nor ">" can begin a name; any other such character
        // (for example "/") ends the walk too.
        if (!XmlIsNameStart(*P))
            break;
        const char16_t *NameStart = P;
        do
            P = XmlSkipAbove(P + 1, AEnd, u'>');
        while (!EndsAttrName(*P));
        const QStringView Name(NameStart, P);
        if (!SkipTo(P, IsEquals))
            break;
        ++P;
        if (!SkipTo(P, IsQuote))
            break;
        const char16_t Quote = *P++;
        const char16_t *ValueStart = P;
        bool NeedsWork = false;
        for (;; ++P) {
            P = XmlSkipValueText(P, AEnd, Quote);
            const char16_t C = *P;
            if (C == Quote || C == 0)
                break;
            if (C == u'&' || C == u'\t' || C == u'\n' || C == u'\r')
                NeedsWork = true;
        }
        AddView(Name, QStringView(ValueStart, P));
        if (NeedsWork)
            FNeedingWork.push_back(Count() - 1);
        // An unterminated value takes the rest of the text; the walk then
        // stops on the terminating NUL.
        if (*P != 0)
            ++P;
    }
    AFinal = P;
}
