#include "xml/XmlParser.h"

#include "xml/XmlChars.h"

#include <algorithm>
#include <functional>
#include <new>
#include <string>

namespace {

// The replacement text of an entity, NUL-terminated: declarations always
// hold their own copy of it, and such a QString carries the NUL.
const char16_t *TextOf(QStringView AText) {
    return AText.isEmpty() ? u"" : AText.utf16();
}

void SetIfChanged(QString &ATarget, QStringView AText) {
    if (!NvpSameName(ATarget, AText))
        ATarget.setUnicode(reinterpret_cast<const QChar *>(AText.data()), AText.size());
}

// The last character of a part whose terminator (of ALength characters) was
// searched for and found at AFound, or, when AFound is the NUL, the
// character before it.
const char16_t *PartFinal(const char16_t *AFound, qsizetype ALength) {
    return *AFound != 0 ? AFound + ALength - 1 : AFound - 1;
}

// Digits of a character reference; a number that does not parse counts as
// a space, one beyond Unicode as an invalid code point.
quint32 ParseCharNumber(QStringView ADigits) {
    int Base = 10;
    if (!ADigits.isEmpty() && (ADigits[0] == u'x' || ADigits[0] == u'X')) {
        Base = 16;
        ADigits = ADigits.sliced(1);
    }
    if (ADigits.isEmpty())
        return 32;
    quint32 Value = 0;
    for (const QChar Char : ADigits) {
        const char16_t C = Char.unicode();
        quint32 Digit;
        if (C >= u'0' && C <= u'9')
            Digit = C - u'0';
        else if (Base == 16 && C >= u'a' && C <= u'f')
            Digit = C - u'a' + 10;
        else if (Base == 16 && C >= u'A' && C <= u'F')
            Digit = C - u'A' + 10;
        else
            return 32;
        // Saturate: anything past U+10FFFF is no character anyway.
        Value = qMin<quint32>(Value * Base + Digit, 0x110000);
    }
    return Value;
}

bool NeedsProcessing(QStringView AValue) {
    for (const QChar Char : AValue) {
        const char16_t C = Char.unicode();
        if (C == u'&' || C == u'\t' || C == u'\n' || C == u'\r')
            return true;
    }
    return false;
}

// Tokenised attribute types lose leading and trailing spaces and keep one
// space between tokens.
void CollapseSpaces(QString &AValue) {
    QString Result;
    Result.reserve(AValue.size());
    bool Pending = false;
    for (const QChar Char : std::as_const(AValue)) {
        if (Char == u' ') {
            Pending = !Result.isEmpty();
            continue;
        }
        if (Pending)
            Result += u' ';
        Pending = false;
        Result += Char;
    }
    AValue = Result;
}

} // namespace

TXmlParser::TXmlParser() {
    Clear();
}

TXmlParser::~TXmlParser() = default;

bool TXmlParser::LoadFromBuffer(const char16_t *ABuffer) {
    return LoadFromBuffer(ABuffer ? QStringView(ABuffer) : QStringView());
}

bool TXmlParser::LoadFromBuffer(QStringView ABuffer) {
    const qsizetype Nul = ABuffer.indexOf(QChar(0));
    if (Nul >= 0)
        ABuffer = ABuffer.first(Nul);
    Clear();
    try {
        FOwnedText = ABuffer.toString();
        SetText(reinterpret_cast<const char16_t *>(FOwnedText.utf16()), FOwnedText.size());
    } catch (const std::bad_alloc &) {
        Clear();
        return false;
    }
    return true;
}

bool TXmlParser::LoadFromBuffer(const QString &ABuffer) {
    Clear();
    try {
        FOwnedText = ABuffer;
        // utf16() guarantees the terminating NUL (it copies text that was
        // only borrowed with fromRawData).
        SetText(reinterpret_cast<const char16_t *>(FOwnedText.utf16()), FOwnedText.size());
    } catch (const std::bad_alloc &) {
        Clear();
        return false;
    }
    return true;
}

void TXmlParser::SetBuffer(const char16_t *ABuffer) {
    Clear();
    FBuffer = ABuffer;
    FDocEnd = ABuffer ? ABuffer + std::char_traits<char16_t>::length(ABuffer) : nullptr;
    FSource = QStringLiteral("<REFERENCE>");
    StartScan();
}

void TXmlParser::SetText(const char16_t *ABuffer, qsizetype ALength) {
    FBuffer = ABuffer;
    FDocEnd = ABuffer + ALength;
    FBufferSize = (ALength + 1) * qsizetype(sizeof(char16_t));
    FSource = QStringLiteral("<MEM>");
    StartScan();
}

void TXmlParser::Clear() {
    FOwnedText = QString();
    FBuffer = nullptr;
    FDocEnd = nullptr;
    FTextEnd = nullptr;
    FBufferSize = 0;
    FSource.clear();
    FXmlVersion.clear();
    FEncoding.clear();
    FCurEncoding = QStringLiteral("UTF-8");
    FRootName.clear();
    FStandalone = false;
    FDtdcFinal = nullptr;
    FDtdcStart = nullptr;
    FNormalize = true;
    Elements.Clear();
    Entities.Clear();
    ParEntities.Clear();
    Notations.Clear();
    CurAttr.Clear();
    EntityStack.clear();
    // The text is gone, so nothing may point into it any more: the next
    // Scan finds no document (or starts a newly loaded one at its start).
    CurStart = nullptr;
    CurFinal = nullptr;
    FNext = nullptr;
    FStarted = false;
    FEnded = false;
    FNoSemicolonFrom = FNoSemicolonTo = nullptr;
}

void TXmlParser::StartScan() {
    CurPartType = ptNone;
    CurName.clear();
    CurContent.clear();
    CurStart = nullptr;
    CurFinal = nullptr;
    CurAttr.Clear();
    EntityStack.clear();
    FNext = FBuffer;
    FTextEnd = FDocEnd;
    FStarted = false;
    FEnded = false;
    FExpansionLeft = kMaxEntityExpansion;
    FNoSemicolonFrom = FNoSemicolonTo = nullptr;
}

const char16_t *TXmlParser::LeaveEntity() {
    const TEntityFrame Frame = EntityStack.back();
    EntityStack.pop_back();
    FTextEnd = Frame.ResumeEnd;
    return Frame.Resume;
}

bool TXmlParser::FinishScan() {
    // FNext is the NUL of the document itself: every entity has been left.
    const char16_t *End = FNext;
    CurStart = End;
    CurFinal = End != FBuffer ? End - 1 : nullptr;
    EntityStack.clear();
    FEnded = true;
    return false;
}

bool TXmlParser::Scan() {
    if (!FBuffer || FEnded)
        return false;
    const char16_t *P = FStarted ? FNext : FBuffer;
    FStarted = true;
    for (;;) {
        while (*P == 0 && !EntityStack.empty())
            P = LeaveEntity();
        if (*P == 0) {
            FNext = P;
            return FinishScan();
        }
        CurStart = P;
        if (*P != u'<') {
            // The usual text between two tags is a line break and indent:
            // blank up to the next "<", so no part. Pass it over quickly.
            const char16_t *Blank = P;
            while (XmlIsBlank(*Blank))
                ++Blank;
            if (*Blank == u'<' && FNormalize) {
                P = Blank;
                continue;
            }
            if (ReadContent(P))
                return true;
            P = FNext; // blank text is not a part
            continue;
        }
        // P[1] exists: P[0] is not the NUL. Each look-ahead stops at the
        // first character that differs, so none passes the NUL either.
        if (XmlStartsWith(P, u"<?xml") && XmlIsBlank(P[5]))
            ReadXmlDecl(P);
        else if (P[1] == u'?')
            ReadPI(P);
        else if (XmlStartsWith(P, u"<!--"))
            ReadComment(P);
        else if (XmlStartsWith(P, u"<!DOCTYPE"))
            ReadDocType(P);
        else if (XmlStartsWith(P, u"<![CDATA["))
            ReadCData(P);
        else
            ReadTag(P);
        FNext = CurFinal + 1;
        return true;
    }
}

void TXmlParser::ReadXmlDecl(const char16_t *AStart) {
    const char16_t *Final;
    CurAttr.Analyze(AStart + 5, Final, FTextEnd);
    CurPartType = ptXmlProlog;
    CurName.clear();
    CurContent.clear();
    CurFinal = PartFinal(XmlFind(AStart + 5, u"?>"), 2);
    if (EntityStack.empty()) {
        FXmlVersion = CurAttr.Value(u"version");
        FEncoding = CurAttr.Value(u"encoding");
        FStandalone = CurAttr.Value(u"standalone") == u"yes";
        FCurEncoding = FEncoding.isEmpty() ? QStringLiteral("UTF-8") : FEncoding.toUpper();
    }
}

void TXmlParser::ReadPI(const char16_t *AStart) {
    const char16_t *Target = AStart + 2;
    const char16_t *P = Target;
    while (*P != 0 && !XmlIsBlank(*P) && *P != u'?' && *P != u'>')
        ++P;
    CurPartType = ptPI;
    SetIfChanged(CurName, QStringView(Target, P));
    const char16_t *Final;
    CurAttr.Analyze(P, Final, FTextEnd);
    const char16_t *End = XmlFind(P, u"?>");
    CurContent = QStringView(P, End).toString();
    CurFinal = PartFinal(End, 2);
}

void TXmlParser::ReadComment(const char16_t *AStart) {
    CurPartType = ptComment;
    CurFinal = PartFinal(XmlFind(AStart + 4, u"-->"), 3);
}

void TXmlParser::ReadDocType(const char16_t *AStart) {
    CurPartType = ptDtdc;
    CurName.clear();
    CurContent.clear();
    if (FDtdcFinal && AStart == FDtdcStart) {
        // Scanning the same document again: its declarations are known.
        CurFinal = FDtdcFinal;
        return;
    }
    if (FDtdcFinal || !EntityStack.empty()) {
        // Only the document's first declaration, outside any entity, counts;
        // another one is passed over. Recording it would also move the entity
        // declarations whose texts may be under the scan right now.
        QString RootName;
        TNvpList<TElementDecl> ElementDecls;
        TNvpList<TEntityDecl> EntityDecls, ParEntityDecls;
        TNvpList<TNotationDecl> NotationDecls;
        CurFinal = ReadDocTypeDecl(
            AStart, {RootName, ElementDecls, EntityDecls, ParEntityDecls, NotationDecls});
        return;
    }
    CurFinal = ReadDocTypeDecl(AStart, {FRootName, Elements, Entities, ParEntities, Notations});
    FDtdcStart = AStart;
    FDtdcFinal = CurFinal;
    PrepareAttrDecls();
}

void TXmlParser::ReadCData(const char16_t *AStart) {
    const char16_t *Text = AStart + 9;
    const char16_t *End = XmlFind(Text, u"]]>");
    CurPartType = ptCData;
    CurContent = TranslateEncoding(QStringView(Text, End).toString());
    CurFinal = PartFinal(End, 3);
}

void TXmlParser::ReadTag(const char16_t *AStart) {
    const char16_t *P = AStart + 1;
    TPartType Type = ptStartTag;
    if (*P == u'/') {
        Type = ptEndTag;
        ++P;
    }
    const char16_t *Name = P;
    // The name's first character is taken whatever it is, except the NUL:
    // a document that ends right after "<" gives a tag with an empty name.
    if (*P != 0)
        do
            P = XmlSkipAbove(P + 1, FTextEnd, u'>');
        while (*P != 0 && !XmlIsBlank(*P) && *P != u'/' && *P != u'>');
    SetIfChanged(CurName, QStringView(Name, P));
    const char16_t *Final;
    CurAttr.Analyze(P, Final, FTextEnd);
    if (*Final == u'/')
        Type = ptEmptyTag;
    else if (Type == ptEndTag)
        CurAttr.Clear();
    CurPartType = Type;
    const char16_t *Close = Final;
    while (*Close != 0 && *Close != u'>')
        ++Close;
    CurFinal = PartFinal(Close, 1);
    ProcessTagAttrs();
}

void TXmlParser::ProcessTagAttrs() {
    const TElementDecl *Decl = nullptr;
    if (CurPartType != ptEndTag && !Elements.IsEmpty())
        Decl = Elements.Node(CurName);
    if (!Decl) {
        // The common case: only values with a reference or a line break change.
        for (const int I : CurAttr.RawValuesNeedingWork()) {
            TAttr &Attr = *CurAttr.Node(I);
            Attr.SetValue(ProcessAttrValue(Attr.ValueView(), atUnknown));
        }
        return;
    }
    const int Present = CurAttr.Count();
    FAttrDone.assign(Present, false);
    for (int I = 0; I < Present; ++I) {
        TAttr &Attr = *CurAttr.Node(I);
        if (const TAttr *Declared = Decl->AttrDecls.Node(Attr.Name())) {
            Attr.AttrType = Declared->AttrType;
            Attr.ValueType = Declared->ValueType;
            if (Declared->ValueType == vtFixed) {
                Attr.SetValue(Declared->Value());
                FAttrDone[I] = true;
            }
        }
    }
    // Declared values were processed once when the declaration was read;
    // every tag shares them instead of repeating that work.
    for (const TAttr &Declared : Decl->AttrDecls) {
        if ((Declared.ValueType != vtDefault && Declared.ValueType != vtFixed) ||
            CurAttr.IndexOf(Declared.Name()) >= 0)
            continue;
        TAttr &Added = CurAttr.AddView(Declared.Name(), {});
        Added.SetValue(Declared.Value());
        Added.AttrType = Declared.AttrType;
        Added.ValueType = Declared.ValueType;
    }
    for (int I = 0; I < Present; ++I) {
        TAttr &Attr = *CurAttr.Node(I);
        const bool Tokenised = Attr.AttrType != atUnknown && Attr.AttrType != atCData;
        if (!FAttrDone[I] && (Tokenised || NeedsProcessing(Attr.ValueView())))
            Attr.SetValue(ProcessAttrValue(Attr.ValueView(), Attr.AttrType));
    }
}

void TXmlParser::PrepareAttrDecls() {
    for (TElementDecl &Element : Elements)
        for (TAttr &Declared : Element.AttrDecls)
            if (Declared.ValueType == vtDefault || Declared.ValueType == vtFixed) {
                const QString Raw = Declared.Value();
                Declared.SetValue(ProcessAttrValue(Raw, Declared.AttrType));
            }
}

QString TXmlParser::ProcessAttrValue(QStringView ARaw, TAttrType AType) {
    QString Result;
    Result.reserve(ARaw.size());
    FOpenEntities.clear();
    AppendAttrValue(ARaw, Result, int(EntityStack.size()));
    if (AType != atUnknown && AType != atCData)
        CollapseSpaces(Result);
    return Result;
}

void TXmlParser::AppendAttrValue(QStringView ARaw, QString &AResult, int ADepth) {
    // Once a search for ";" has failed, no "&" after that point has one:
    // a value full of "&" stays linear.
    const char16_t *NoSemicolonFrom = nullptr;
    const char16_t *const Begin = ARaw.utf16();
    const char16_t *const End = Begin + ARaw.size();
    const char16_t *P = Begin;
    const char16_t *Run = Begin; // plain text not yet appended
    while (P < End) {
        const char16_t C = *P;
        const bool Blank = C == u'\t' || C == u'\n' || C == u'\r';
        const char16_t *Semicolon = End;
        if (C == u'&' && !NoSemicolonFrom) {
            Semicolon = std::find(P + 1, End, u';');
            if (Semicolon == End)
                NoSemicolonFrom = P;
        }
        if (!Blank && Semicolon == End) { // copied as it is, with the rest of the run
            ++P;
            continue;
        }
        AResult.append(QStringView(Run, P));
        if (Blank) {
            AResult += u' ';
            Run = ++P;
            continue;
        }
        const QStringView Name(P + 1, Semicolon);
        Run = P = Semicolon + 1;
        QStringView Replacement;
        if (ReplaceBuiltIn(Name, Replacement)) {
            AResult += Replacement;
        } else if (const TEntityDecl *Entity = EnterEntity(Name, ADepth)) {
            FOpenEntities.push_back(Entity);
            AppendAttrValue(Entity->ValueView(), AResult, ADepth + 1);
            FOpenEntities.pop_back();
        } else {
            AResult += Name;
        }
    }
    AResult.append(QStringView(Run, P));
}

bool TXmlParser::ReplaceBuiltIn(QStringView AName, QStringView &AReplacement) {
    if (AName.startsWith(u'#')) {
        FCharText = TranslateCharacter(ParseCharNumber(AName.sliced(1)));
        AReplacement = FCharText;
        return true;
    }
    // The five predefined entities.
    const qsizetype Size = AName.size();
    if (Size < 2 || Size > 4)
        return false;
    const char16_t First = AName[0].unicode();
    const QStringView Rest = AName.sliced(1);
    if (Size == 2 && Rest == u"t" && (First == u'l' || First == u'g')) {
        AReplacement = First == u'l' ? QStringView(u"<") : QStringView(u">");
        return true;
    }
    if (First == u'a' && Rest == u"mp") {
        AReplacement = u"&";
        return true;
    }
    if (First == u'a' && Rest == u"pos") {
        AReplacement = u"'";
        return true;
    }
    if (First == u'q' && Rest == u"uot") {
        AReplacement = u"\"";
        return true;
    }
    return false;
}

const TEntityDecl *TXmlParser::EnterEntity(QStringView AName, int ADepth) {
    if (Entities.IsEmpty() || ADepth >= kMaxEntityDepth)
        return nullptr;
    const TEntityDecl *Entity = Entities.Node(AName);
    if (!Entity || Entity->External)
        return nullptr;
    // Even an empty replacement costs one unit, so the number of expansions
    // is bounded as well as their length.
    const qsizetype Cost = qMax<qsizetype>(1, Entity->ValueView().size());
    if (Cost > FExpansionLeft)
        return nullptr;
    for (const TEntityDecl *Open : FOpenEntities)
        if (Open == Entity)
            return nullptr;
    for (const TEntityFrame &Frame : EntityStack)
        if (Frame.Entity == Entity)
            return nullptr;
    FExpansionLeft -= Cost;
    return Entity;
}

const char16_t *TXmlParser::FindSemicolon(const char16_t *AAmpersand) {
    const std::less<const char16_t *> Before;
    if (FNoSemicolonTo && !Before(AAmpersand, FNoSemicolonFrom) &&
        Before(AAmpersand, FNoSemicolonTo))
        return nullptr;
    const char16_t *P = AAmpersand + 1;
    while (*P != 0 && *P != u';' && *P != u'<')
        ++P;
    if (*P == u';')
        return P;
    FNoSemicolonFrom = AAmpersand;
    FNoSemicolonTo = P;
    return nullptr;
}

bool TXmlParser::ReadContent(const char16_t *AStart) {
    FText.clear();
    FPendingSpace = false;
    const char16_t *P = AStart;
    const char16_t *Last = AStart;
    for (;;) {
        const char16_t C = *P;
        if (C == 0) {
            // The end of an entity's replacement: go on after the reference.
            if (EntityStack.empty())
                break;
            P = LeaveEntity();
            continue;
        }
        if (C == u'<')
            break;
        if (C != u'&') {
            AppendContent(C);
            Last = P++;
            continue;
        }
        // A reference never reaches past the next "<": a stray "&" must not
        // swallow the markup after it. Without a ";" before that it is dropped.
        const char16_t *Semicolon = FindSemicolon(P);
        if (!Semicolon) {
            Last = P++;
            continue;
        }
        const QStringView Name(P + 1, Semicolon);
        Last = Semicolon;
        P = Semicolon + 1;
        QStringView Replacement;
        if (ReplaceBuiltIn(Name, Replacement)) {
            AppendContent(Replacement);
        } else if (const TEntityDecl *Entity = EnterEntity(Name, int(EntityStack.size()))) {
            // Its replacement is scanned in place, markup included.
            EntityStack.push_back({P, FTextEnd, Entity});
            P = TextOf(Entity->ValueView());
            FTextEnd = P + Entity->ValueView().size();
        } else {
            AppendContent(Name);
        }
    }
    FNext = P;
    if (FText.empty())
        return false;
    CurPartType = ptContent;
    CurContent.setUnicode(reinterpret_cast<const QChar *>(FText.data()), qsizetype(FText.size()));
    CurFinal = Last;
    return true;
}

void TXmlParser::AppendContent(char16_t AChar) {
    if (!FNormalize) {
        FText.push_back(AChar);
        return;
    }
    if (XmlIsBlank(AChar)) {
        FPendingSpace = !FText.empty();
        return;
    }
    if (FPendingSpace)
        FText.push_back(u' ');
    FPendingSpace = false;
    FText.push_back(AChar);
}

void TXmlParser::AppendContent(QStringView AText) {
    for (const QChar Char : AText)
        AppendContent(Char.unicode());
}

QString TXmlParser::TranslateCharacter(quint32 AUnicodeValue) {
    if (AUnicodeValue > 0x10FFFF || (AUnicodeValue >= 0xD800 && AUnicodeValue <= 0xDFFF))
        return QStringLiteral("?");
    if (AUnicodeValue <= 0xFFFF)
        return QString(QChar(char16_t(AUnicodeValue)));
    const QChar Pair[2] = {QChar(QChar::highSurrogate(AUnicodeValue)),
                           QChar(QChar::lowSurrogate(AUnicodeValue))};
    return QString(Pair, 2);
}

QString TXmlParser::TranslateEncoding(const QString &ASource) {
    return ASource;
}
