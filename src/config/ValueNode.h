#pragma once
// A property value as the component text reader found it, before it is given
// to a property. Objects of the shared station files keep the properties they
// do not model in this form and write them back as they were read.

#include <QHash>
#include <QString>
#include <vector>

enum TValueKind {
    vkInteger,    // Text: the token as written ("12", "-3", "$1F")
    vkFloat,      // Text: the token as written, with its kind letter ("2.5s", "0.09")
    vkString,     // Text: the decoded string
    vkIdent,      // Text: the identifier (True, odRegular, nil)
    vkList,       // Elements: the values between ( and )
    vkSet,        // Elements: identifiers between [ and ]
    vkBinary,     // Text: the hexadecimal digits between { and }
    vkCollection, // Items: the property lines of each item block between < and >
};

struct TPropNode;

struct TValueNode {
    TValueKind Kind = vkIdent;
    QString Text;
    std::vector<TValueNode> Elements;
    std::vector<std::vector<TPropNode>> Items;
};

struct TPropNode {
    QString Name; // as written, dotted for properties of owned sub-objects
    TValueNode Value;
};

// One carried-along property and the table property it followed in the file
// (empty when it came before all of them), so it is written back in its place.
struct TCarriedProp {
    QString After;
    TPropNode Prop;
};

// The carried-along properties of one object, in the order they were read.
class TCarriedProps {
public:
    // A property read again (the file is read a second time) replaces the one
    // kept before; a new one is added at the end.
    void Put(const QString &AAfter, TPropNode &&AProp);
    void Clear();

    const std::vector<TCarriedProp> &Items() const { return FItems; }
    bool IsEmpty() const { return FItems.empty(); }
    const TPropNode *Find(const QString &AName) const;

private:
    std::vector<TCarriedProp> FItems;
    std::unordered_multimap<size_t, size_t> FIndex; // PropNameHash -> position in FItems
};
