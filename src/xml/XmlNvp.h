#pragma once
// Name-value pairs of the XML scanner: attributes of the current part and the
// declarations read from a document type declaration.

#include <QHash>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <vector>

// Cheap fingerprint of a name, compared before the texts are:
// length * (first + middle + last character), 0 for an empty name. The
// middle one is at 1-based position min(length, length div 2 + 1).
inline quint32 NvpNameHash(QStringView AName) {
    const qsizetype Length = AName.size();
    if (Length == 0)
        return 0;
    const qsizetype Middle = qMin(Length, Length / 2 + 1) - 1;
    // Unsigned arithmetic: a very long name wraps instead of overflowing.
    return quint32(Length) * (quint32(AName[0].unicode()) + quint32(AName[Middle].unicode()) +
                              quint32(AName[Length - 1].unicode()));
}

// Names are short: a plain loop beats a call into the library.
inline bool NvpSameName(QStringView A, QStringView B) {
    if (A.size() != B.size())
        return false;
    for (qsizetype I = 0; I < A.size(); ++I)
        if (A[I] != B[I])
            return false;
    return true;
}

class TNvpNode {
public:
    QStringView Name() const { return FNameView; }
    quint32 NameHash() const { return FNameHash; }
    // Keeps a copy of the name.
    void SetName(QStringView AName);
    // Refers to the name in text that must stay unchanged while the node is
    // in use (as a tag's attribute names do).
    void SetNameView(QStringView AName) {
        FNameView = AName;
        FNameHash = NvpNameHash(AName);
    }

    // The value. An attribute read from a tag usually refers to its text in
    // the document and becomes a string only when asked for: most attributes
    // of most tags are never read, and copying them all would cost more than
    // the rest of the scan.
    QString Value() const { return FOwnsValue ? FValue : FView.toString(); }
    QStringView ValueView() const { return FOwnsValue ? QStringView(FValue) : FView; }
    void SetValue(const QString &AValue) {
        FValue = AValue;
        FOwnsValue = true;
    }
    // Refers to text that must stay unchanged while the node is in use.
    void SetValueView(QStringView AValue) {
        FView = AValue;
        FOwnsValue = false;
    }

    // Called when a list hands out a recycled node; extra fields go back to
    // their defaults here. Name and value are always set by the list.
    void ResetExtras() {}

private:
    QString FName; // a copy of the name when the node keeps one
    QStringView FNameView;
    quint32 FNameHash = 0;
    QString FValue;
    QStringView FView;
    bool FOwnsValue = true;
};

// How an attribute got its value, as declared in a document type declaration.
enum TAttrValueType { vtNormal, vtImplied, vtFixed, vtDefault };

// Declared type of an attribute; atUnknown when nothing was declared.
enum TAttrType {
    atUnknown,
    atCData,
    atID,
    atIdRef,
    atIdRefs,
    atEntity,
    atEntities,
    atNmToken,
    atNmTokens,
    atNotation,
    atEnumeration
};

class TAttr : public TNvpNode {
public:
    TAttrValueType ValueType = vtNormal;
    TAttrType AttrType = atUnknown;

    void ResetExtras() {
        ValueType = vtNormal;
        AttrType = atUnknown;
    }
};

// An ordered list that owns its nodes. Clearing keeps the nodes' storage so
// that scanning many tags does not allocate a node (and its strings) per
// attribute; nodes past Count() are spare and never visible.
//
// A lookup compares fingerprints along the list. A list that grows long (a
// document may declare thousands of entities, or give a tag thousands of
// attributes) gets a hash index instead, so lookups never turn quadratic.
template <class TNode = TNvpNode> class TNvpList {
public:
    int Count() const { return FCount; }
    bool IsEmpty() const { return FCount == 0; }
    void Clear() {
        FCount = 0;
        FIndex.clear();
    }

    // Appends a node (a recycled one when there is a spare) holding copies
    // of AName and AValue.
    TNode &Add(QStringView AName, QStringView AValue) {
        TNode &Result = Append();
        Result.SetName(AName);
        Result.SetValue(AValue.toString());
        return Indexed(Result);
    }
    // The same, referring to both texts instead of copying them.
    TNode &AddView(QStringView AName, QStringView AValue) {
        TNode &Result = Append();
        Result.SetNameView(AName);
        Result.SetValueView(AValue);
        return Indexed(Result);
    }

    // The first node with exactly this name (ordinal, case-sensitive), or null.
    TNode *Node(QStringView AName) { return Node(IndexOf(AName)); }
    const TNode *Node(QStringView AName) const { return Node(IndexOf(AName)); }
    TNode *Node(int AIndex) { return ValidIndex(AIndex) ? &FNodes[AIndex] : nullptr; }
    const TNode *Node(int AIndex) const { return ValidIndex(AIndex) ? &FNodes[AIndex] : nullptr; }

    // Position of the first node with this name, -1 when there is none.
    int IndexOf(QStringView AName) const {
        if (!FIndex.isEmpty())
            return FIndex.value(AName, -1);
        const quint32 Hash = NvpNameHash(AName);
        for (int I = 0; I < FCount; ++I) {
            const TNode &Candidate = FNodes[I];
            if (Candidate.NameHash() == Hash && NvpSameName(Candidate.Name(), AName))
                return I;
        }
        return -1;
    }

    // The name at a position; empty for a position outside the list.
    QStringView Name(int AIndex) const {
        return ValidIndex(AIndex) ? FNodes[AIndex].Name() : QStringView();
    }

    // The value of the first node with this name; empty when there is none.
    QString Value(QStringView AName) const {
        const TNode *Found = Node(AName);
        return Found ? Found->Value() : QString();
    }

    TNode *begin() { return FNodes.data(); }
    TNode *end() { return FNodes.data() + FCount; }
    const TNode *begin() const { return FNodes.data(); }
    const TNode *end() const { return FNodes.data() + FCount; }

private:
    bool ValidIndex(int AIndex) const { return AIndex >= 0 && AIndex < FCount; }

    // Lists up to this long are searched along; longer ones get the index.
    static constexpr int kIndexFrom = 32;

    TNode &Append() {
        if (FCount == static_cast<int>(FNodes.size()))
            FNodes.emplace_back();
        TNode &Result = FNodes[FCount++];
        Result.ResetExtras();
        return Result;
    }

    // The names are views of text that stays put (a copy a node keeps does
    // not move with the node), so the index can refer to them.
    TNode &Indexed(TNode &AAdded) {
        if (FCount > kIndexFrom) {
            if (FIndex.isEmpty())
                for (int I = 0; I < FCount - 1; ++I)
                    Remember(I);
            Remember(FCount - 1);
        }
        return AAdded;
    }
    void Remember(int AIndex) {
        const QStringView Name = FNodes[AIndex].Name();
        if (!FIndex.contains(Name))
            FIndex.insert(Name, AIndex); // the first node of a name wins
    }

    std::vector<TNode> FNodes;
    int FCount = 0;
    QHash<QStringView, int> FIndex; // first position of each name, for long lists
};

// The attributes of one part.
class TAttrList : public TNvpList<TAttr> {
public:
    void Clear() {
        TNvpList<TAttr>::Clear();
        FNeedingWork.clear();
    }

    // Empties the list and reads attributes from AStart; AFinal is left on
    // the character where reading stopped: the NUL that ends the text, a
    // ">", or a character that cannot begin a name (such as "/"). The values
    // refer to the text, which must stay unchanged while they are used.
    // AEnd, the text's terminating NUL when known, lets long runs be passed
    // over in blocks.
    void Analyze(const char16_t *AStart, const char16_t *&AFinal, const char16_t *AEnd = nullptr);

    // Positions of the values read by the latest Analyze that hold a
    // reference, TAB, LF or CR: those attribute-value processing changes.
    const std::vector<int> &RawValuesNeedingWork() const { return FNeedingWork; }

private:
    std::vector<int> FNeedingWork;
};
