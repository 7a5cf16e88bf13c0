#pragma once
// Forward-only pull scanner over an XML text held in memory.
//
// Each Scan() advances to the next part of the document (a tag, a run of
// text, a comment and so on) and exposes its kind, name, text and attributes
// in the Cur* fields. It builds no tree, checks no well-formedness and never
// fails on bad input: it reports whatever it finds and ends at the end of the
// text. Comments, CDATA sections and text keep the name and attributes of the
// tag before them.
//
// Entities: the five predefined ones and character references are always
// replaced. Internal entities declared in the document are honoured within a
// budget per scan (kMaxEntityExpansion replacement characters, kMaxEntityDepth
// nested references); a reference beyond the budget, a recursive one, or one
// to an external or parameter entity gives its bare name. Nothing named by
// the document is ever loaded from a file or the network. In text, a
// reference ends at the next ";" before the next "<": a stray "&" never
// swallows the markup after it, and one without such a ";" is dropped.
//
// Loading a document (or Clear) also moves the scan back to its start, so
// no position can point into a text that is gone.
//
// One scanner belongs to one thread at a time.

#include "xml/XmlDtd.h"
#include "xml/XmlNvp.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <vector>

enum TPartType {
    ptNone,
    ptXmlProlog,
    ptComment,
    ptPI,
    ptDtdc,
    ptStartTag,
    ptEmptyTag,
    ptEndTag,
    ptContent,
    ptCData
};

class TXmlParser {
public:
    // Replacement characters all entity references of one scan may produce.
    static constexpr qsizetype kMaxEntityExpansion = 1 << 20;
    // References nested inside replacement texts, counted from the document.
    static constexpr int kMaxEntityDepth = 16;

    TXmlParser();
    virtual ~TXmlParser();
    TXmlParser(const TXmlParser &) = delete;
    TXmlParser &operator=(const TXmlParser &) = delete;

    // --- Loading a document (each starts with Clear) ---

    // Copies the NUL-terminated text; false (and an empty scanner) when the
    // copy cannot be allocated.
    bool LoadFromBuffer(const char16_t *ABuffer);
    // Copies the text up to its end or its first NUL.
    bool LoadFromBuffer(QStringView ABuffer);
    // Takes a counted reference instead of a copy: QString data never
    // changes under a reader, so this is as safe as a copy and costs nothing.
    bool LoadFromBuffer(const QString &ABuffer);
    // Scans the caller's NUL-terminated text in place; it must outlive the scan.
    void SetBuffer(const char16_t *ABuffer);

    // Frees the document and forgets everything read from it; the scan
    // position is not moved (StartScan does that).
    void Clear();
    // Back to before the first part.
    void StartScan();
    // Advances to the next part; false at the end of the document (and on
    // every call after that).
    bool Scan();

    // --- The character hooks ---

    // The text of the character with this code point; "?" for a surrogate
    // code point or a value above U+10FFFF.
    virtual QString TranslateCharacter(quint32 AUnicodeValue);
    // Applied to the text of CDATA sections; returns it unchanged.
    virtual QString TranslateEncoding(const QString &ASource);

    // --- The current part ---

    TPartType CurPartType = ptNone;
    QString CurName;
    QString CurContent;
    const char16_t *CurStart = nullptr; // first character of the part
    const char16_t *CurFinal = nullptr; // last character of the part
    TAttrList CurAttr;

    // --- Facts about the document ---

    QString FSource;           // "<MEM>", "<REFERENCE>" or empty
    qsizetype FBufferSize = 0; // bytes of a text the scanner holds, 0 for the caller's
    QString FXmlVersion;
    QString FEncoding;
    bool FStandalone = false;
    QString FCurEncoding; // upper case; "UTF-8" when the declaration names none
    QString FRootName;
    const char16_t *FDtdcFinal = nullptr; // end of the document type declaration once read
    bool FNormalize = true;               // normalise white space of text content

    TNvpList<TElementDecl> Elements;
    TNvpList<TEntityDecl> Entities;
    TNvpList<TEntityDecl> ParEntities;
    TNvpList<TNotationDecl> Notations;

private:
    // Where to go on once the replacement text of an entity is used up.
    struct TEntityFrame {
        const char16_t *Resume;
        const char16_t *ResumeEnd; // the end of the text Resume lies in
        const TEntityDecl *Entity;
    };

    void SetText(const char16_t *ABuffer, qsizetype ALength);
    bool FinishScan();
    const char16_t *LeaveEntity();

    void ReadXmlDecl(const char16_t *AStart);
    void ReadPI(const char16_t *AStart);
    void ReadComment(const char16_t *AStart);
    void ReadDocType(const char16_t *AStart);
    void ReadCData(const char16_t *AStart);
    void ReadTag(const char16_t *AStart);
    bool ReadContent(const char16_t *AStart);

    void ProcessTagAttrs();
    void PrepareAttrDecls();
    QString ProcessAttrValue(QStringView ARaw, TAttrType AType);
    void AppendAttrValue(QStringView ARaw, QString &AResult, int ADepth);
    bool ReplaceBuiltIn(QStringView AName, QStringView &AReplacement);
    const TEntityDecl *EnterEntity(QStringView AName, int ADepth);
    const char16_t *FindSemicolon(const char16_t *AAmpersand);
    void AppendContent(QStringView AText);
    void AppendContent(char16_t AChar);

    QString FOwnedText; // the document when the scanner holds it
    const char16_t *FBuffer = nullptr;
    const char16_t *FDocEnd = nullptr;  // the document's terminating NUL
    const char16_t *FTextEnd = nullptr; // the NUL of the text being scanned
    const char16_t *FNext = nullptr;    // where the next part starts
    bool FStarted = false;
    bool FEnded = false;
    const char16_t *FDtdcStart = nullptr;
    std::vector<TEntityFrame> EntityStack;
    // Entities being expanded inside one attribute value (recursion check).
    std::vector<const TEntityDecl *> FOpenEntities;
    qsizetype FExpansionLeft = kMaxEntityExpansion;
    QString FCharText;           // the latest character reference's text
    std::vector<bool> FAttrDone; // attributes that already hold their final value

    // Text content is gathered here and copied to CurContent only when it is
    // reported, so blank runs between tags leave CurContent alone.
    std::vector<char16_t> FText;
    bool FPendingSpace = false;
    // No ";" lies in [FNoSemicolonFrom, FNoSemicolonTo) of the current text:
    // a run of "&" without ";" is then dropped without searching again.
    const char16_t *FNoSemicolonFrom = nullptr;
    const char16_t *FNoSemicolonTo = nullptr;
};
