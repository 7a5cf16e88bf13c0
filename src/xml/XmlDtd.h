#pragma once
// Reading a document type declaration: the root name and the declarations of
// its internal subset, recorded for the scanner. Nothing named by the
// declaration (external subset, external entities) is ever loaded.

#include "xml/XmlNvp.h"

#include <QString>

// <!ENTITY>: Value is the replacement text of an internal entity, exactly as
// written between the quotes. An external one only records where it lives.
class TEntityDecl : public TNvpNode {
public:
    bool External = false;
    QString PublicId;
    QString SystemId;
    QString NotationName; // NDATA: an unparsed entity

    void ResetExtras() {
        External = false;
        PublicId.clear();
        SystemId.clear();
        NotationName.clear();
    }
};

// <!NOTATION>
class TNotationDecl : public TNvpNode {
public:
    QString PublicId;
    QString SystemId;

    void ResetExtras() {
        PublicId.clear();
        SystemId.clear();
    }
};

// <!ELEMENT> and the <!ATTLIST> declarations for that element. Value is the
// content model as written (empty when only attributes were declared).
class TElementDecl : public TNvpNode {
public:
    // One node per declared attribute: its type, its kind of default and
    // (for vtDefault and vtFixed) the value, processed once the whole
    // declaration has been read.
    TAttrList AttrDecls;

    void ResetExtras() { AttrDecls.Clear(); }
};

// Where the declarations of one document type declaration go.
struct TDtdTarget {
    QString &RootName;
    TNvpList<TElementDecl> &Elements;
    TNvpList<TEntityDecl> &Entities;
    TNvpList<TEntityDecl> &ParEntities;
    TNvpList<TNotationDecl> &Notations;
};

// Reads the declaration that starts with "<!DOCTYPE" at AStart (the text is
// NUL-terminated) and returns its last character: the closing ">", or the
// character before the NUL when it is unterminated. The first declaration of
// a name wins, as in XML; parameter-entity references are not expanded.
const char16_t *ReadDocTypeDecl(const char16_t *AStart, const TDtdTarget &ATarget);
