#include "xml/XmlDtd.h"

#include "xml/XmlChars.h"

#include <vector>

namespace {

// One token of a markup declaration.
struct TDeclToken {
    enum TKind { tkName, tkLiteral, tkGroup, tkPercent };
    TKind Kind;
    QStringView Text; // a literal without its quotes, a group with its parentheses
};

using TDeclTokens = std::vector<TDeclToken>;

bool EndsDeclName(char16_t C) {
    return C == 0 || XmlIsBlank(C) || C == u'>' || C == u'"' || C == u'\'' || C == u'(';
}

// Splits one markup declaration, from the character after its keyword up to
// its closing ">" (quoted ">" do not count), which is returned, or the NUL.
const char16_t *ReadDeclTokens(const char16_t *P, TDeclTokens &ATokens) {
    ATokens.clear();
    for (;;) {
        const char16_t C = *P;
        if (C == 0 || C == u'>')
            return P;
        if (XmlIsBlank(C)) {
            ++P;
        } else if (C == u'"' || C == u'\'') {
            const char16_t *Start = ++P;
            while (*P != 0 && *P != C)
                ++P;
            ATokens.push_back({TDeclToken::tkLiteral, QStringView(Start, P)});
            if (*P != 0)
                ++P;
        } else if (C == u'(') {
            const char16_t *Start = P;
            int Depth = 0;
            do {
                if (*P == u'(')
                    ++Depth;
                else if (*P == u')')
                    --Depth;
                ++P;
            } while (*P != 0 && Depth > 0);
            while (*P == u'?' || *P == u'*' || *P == u'+')
                ++P;
            ATokens.push_back({TDeclToken::tkGroup, QStringView(Start, P)});
        } else if (C == u'%' && XmlIsBlank(P[1])) {
            ATokens.push_back({TDeclToken::tkPercent, QStringView(P, 1)});
            ++P;
        } else {
            const char16_t *Start = P;
            while (!EndsDeclName(*P))
                ++P;
            ATokens.push_back({TDeclToken::tkName, QStringView(Start, P)});
        }
    }
}

// Walks the tokens of one declaration front to back.
class TTokenReader {
public:
    explicit TTokenReader(const TDeclTokens &ATokens) : FTokens(ATokens) {}

    bool AtEnd() const { return FIndex >= FTokens.size(); }
    const TDeclToken *Peek() const { return AtEnd() ? nullptr : &FTokens[FIndex]; }

    // The next token when it is of this kind (consumed), otherwise null.
    const TDeclToken *Take(TDeclToken::TKind AKind) {
        const TDeclToken *Next = Peek();
        if (!Next || Next->Kind != AKind)
            return nullptr;
        ++FIndex;
        return Next;
    }

    // True (and consumed) when the next token is this keyword.
    bool TakeKeyword(QStringView AKeyword) {
        const TDeclToken *Next = Peek();
        if (!Next || Next->Kind != TDeclToken::tkName || Next->Text != AKeyword)
            return false;
        ++FIndex;
        return true;
    }

private:
    const TDeclTokens &FTokens;
    size_t FIndex = 0;
};

// "SYSTEM" literal, or "PUBLIC" literal [literal].
template <class TDecl> bool ReadExternalId(TTokenReader &AReader, TDecl &ADecl) {
    if (AReader.TakeKeyword(u"SYSTEM")) {
        if (const TDeclToken *System = AReader.Take(TDeclToken::tkLiteral))
            ADecl.SystemId = System->Text.toString();
        return true;
    }
    if (AReader.TakeKeyword(u"PUBLIC")) {
        if (const TDeclToken *Public = AReader.Take(TDeclToken::tkLiteral))
            ADecl.PublicId = Public->Text.toString();
        if (const TDeclToken *System = AReader.Take(TDeclToken::tkLiteral))
            ADecl.SystemId = System->Text.toString();
        return true;
    }
    return false;
}

void AddEntity(TTokenReader AReader, const TDtdTarget &ATarget) {
    TNvpList<TEntityDecl> &List =
        AReader.Take(TDeclToken::tkPercent) ? ATarget.ParEntities : ATarget.Entities;
    const TDeclToken *Name = AReader.Take(TDeclToken::tkName);
    if (!Name || List.Node(Name->Text))
        return;
    if (const TDeclToken *Literal = AReader.Take(TDeclToken::tkLiteral)) {
        List.Add(Name->Text, Literal->Text);
        return;
    }
    TEntityDecl Decl;
    if (!ReadExternalId(AReader, Decl))
        return;
    TEntityDecl &Added = List.Add(Name->Text, {});
    Added.External = true;
    Added.PublicId = Decl.PublicId;
    Added.SystemId = Decl.SystemId;
    if (AReader.TakeKeyword(u"NDATA"))
        if (const TDeclToken *Notation = AReader.Take(TDeclToken::tkName))
            Added.NotationName = Notation->Text.toString();
}

void AddNotation(TTokenReader AReader, const TDtdTarget &ATarget) {
    const TDeclToken *Name = AReader.Take(TDeclToken::tkName);
    if (!Name || ATarget.Notations.Node(Name->Text))
        return;
    TNotationDecl Decl;
    if (!ReadExternalId(AReader, Decl))
        return;
    TNotationDecl &Added = ATarget.Notations.Add(Name->Text, {});
    Added.PublicId = Decl.PublicId;
    Added.SystemId = Decl.SystemId;
}

TElementDecl &ElementNamed(QStringView AName, const TDtdTarget &ATarget) {
    if (TElementDecl *Found = ATarget.Elements.Node(AName))
        return *Found;
    return ATarget.Elements.Add(AName, {});
}

void AddElement(TTokenReader AReader, const TDeclTokens &ATokens, const TDtdTarget &ATarget) {
    const TDeclToken *Name = AReader.Take(TDeclToken::tkName);
    if (!Name)
        return;
    const bool Declared = ATarget.Elements.Node(Name->Text) != nullptr;
    TElementDecl &Element = ElementNamed(Name->Text, ATarget);
    // An <!ATTLIST> may have created the entry already; the first content
    // model wins.
    if (Declared && !Element.ValueView().isEmpty())
        return;
    const TDeclToken *First = AReader.Peek();
    if (!First)
        return;
    const TDeclToken &Last = ATokens.back();
    Element.SetValue(
        QStringView(First->Text.data(), Last.Text.data() + Last.Text.size()).toString());
}

bool ReadAttrType(TTokenReader &AReader, TAttrType &AType) {
    static const struct {
        const char16_t *Keyword;
        TAttrType Type;
    } Keywords[] = {
        {u"CDATA", atCData},     {u"ID", atID},
        {u"IDREF", atIdRef},     {u"IDREFS", atIdRefs},
        {u"ENTITY", atEntity},   {u"ENTITIES", atEntities},
        {u"NMTOKEN", atNmToken}, {u"NMTOKENS", atNmTokens},
    };
    if (AReader.Take(TDeclToken::tkGroup)) {
        AType = atEnumeration;
        return true;
    }
    if (AReader.TakeKeyword(u"NOTATION")) {
        AReader.Take(TDeclToken::tkGroup);
        AType = atNotation;
        return true;
    }
    for (const auto &Keyword : Keywords)
        if (AReader.TakeKeyword(Keyword.Keyword)) {
            AType = Keyword.Type;
            return true;
        }
    return false;
}

void AddAttrList(TTokenReader AReader, const TDtdTarget &ATarget) {
    const TDeclToken *ElementName = AReader.Take(TDeclToken::tkName);
    if (!ElementName)
        return;
    TAttrList &Decls = ElementNamed(ElementName->Text, ATarget).AttrDecls;
    // Attribute definitions: name, type, default; a malformed one ends the list.
    while (const TDeclToken *Name = AReader.Take(TDeclToken::tkName)) {
        TAttrType Type = atUnknown;
        if (!ReadAttrType(AReader, Type))
            return;
        TAttrValueType ValueType = vtDefault;
        QStringView Default;
        if (AReader.TakeKeyword(u"#REQUIRED")) {
            ValueType = vtNormal;
        } else if (AReader.TakeKeyword(u"#IMPLIED")) {
            ValueType = vtImplied;
        } else {
            if (AReader.TakeKeyword(u"#FIXED"))
                ValueType = vtFixed;
            const TDeclToken *Literal = AReader.Take(TDeclToken::tkLiteral);
            if (!Literal)
                return;
            Default = Literal->Text;
        }
        if (Decls.Node(Name->Text))
            continue;
        TAttr &Decl = Decls.Add(Name->Text, Default);
        Decl.AttrType = Type;
        Decl.ValueType = ValueType;
    }
}

// Reads the keyword after "<!" and the declaration it opens; returns the
// character after the declaration.
const char16_t *ReadMarkupDecl(const char16_t *AStart, const TDtdTarget &ATarget) {
    const char16_t *P = AStart + 2;
    const char16_t *Keyword = P;
    while (!EndsDeclName(*P))
        ++P;
    const QStringView Kind(Keyword, P);
    TDeclTokens Tokens;
    P = ReadDeclTokens(P, Tokens);
    const TTokenReader Reader(Tokens);
    if (Kind == u"ENTITY")
        AddEntity(Reader, ATarget);
    else if (Kind == u"ELEMENT")
        AddElement(Reader, Tokens, ATarget);
    else if (Kind == u"ATTLIST")
        AddAttrList(Reader, ATarget);
    else if (Kind == u"NOTATION")
        AddNotation(Reader, ATarget);
    return *P != 0 ? P + 1 : P;
}

// Reads the declarations between "[" and "]"; returns the character after
// the "]", or the NUL.
const char16_t *ReadInternalSubset(const char16_t *P, const TDtdTarget &ATarget) {
    for (;;) {
        const char16_t C = *P;
        if (C == 0)
            return P;
        if (C == u']')
            return P + 1;
        if (XmlStartsWith(P, u"<!--"))
            P = XmlSkipPast(P + 4, u"-->");
        else if (XmlStartsWith(P, u"<?"))
            P = XmlSkipPast(P + 2, u"?>");
        else if (XmlStartsWith(P, u"<!"))
            P = ReadMarkupDecl(P, ATarget);
        else
            ++P; // white space, parameter-entity references, stray characters
    }
}

} // namespace

const char16_t *ReadDocTypeDecl(const char16_t *AStart, const TDtdTarget &ATarget) {
    const char16_t *P = AStart + 9; // after "<!DOCTYPE"
    while (XmlIsBlank(*P))
        ++P;
    const char16_t *Name = P;
    while (*P != 0 && !XmlIsBlank(*P) && *P != u'[' && *P != u'>')
        ++P;
    ATarget.RootName = QStringView(Name, P).toString();
    for (;;) {
        const char16_t C = *P;
        if (C == 0)
            return P - 1; // at least "<!DOCTYPE" lies before it
        if (C == u'>')
            return P;
        if (C == u'[') {
            P = ReadInternalSubset(P + 1, ATarget);
        } else if (C == u'"' || C == u'\'') {
            ++P;
            while (*P != 0 && *P != C)
                ++P;
            if (*P != 0)
                ++P;
        } else {
            ++P; // SYSTEM, PUBLIC and white space: the external subset is never read
        }
    }
}
