#pragma once
// The published property table: how a configuration object describes itself
// to the component text writer and reader. One static table per class serves
// both directions; the entries are built with the helpers of PropBuilders.h.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <initializer_list>
#include <optional>
#include <unordered_map>
#include <vector>

class TPersistent;
class TCollection;

enum TPropKind {
    pkInteger,    // 32-bit signed
    pkCardinal,   // 32-bit unsigned
    pkBoolean,    // True / False
    pkEnum,       // stored by the identifier of its value
    pkString,     // written unless empty
    pkDouble,     // written unless 0
    pkSingle,     // written unless 0
    pkCollection, // owned items of one class, always written
    pkStrings,    // owned string list, written as Name.Strings when not empty
    pkObject,     // owned sub-object, its properties written as Name.Property
};

// The identifiers of an enumeration's values, value 0 first.
struct TEnumInfo {
    std::vector<QString> Names;

    // The value of an identifier, found without regard to case; -1 if none.
    int ValueOf(QStringView AIdent) const;
};

// One published property. Only the accessors of its kind are set: ordinal
// kinds (integer, cardinal, Boolean, enumeration) travel as qint64, both
// float kinds as double.
struct TPropInfo {
    QString Name;
    TPropKind Kind = pkInteger;
    std::optional<qint64> Default; // ordinal kinds: not written while equal
    const TEnumInfo *Enum = nullptr;

    std::function<qint64(const TPersistent &)> GetOrd;
    std::function<void(TPersistent &, qint64)> SetOrd;
    std::function<QString(const TPersistent &)> GetStr;
    std::function<void(TPersistent &, const QString &)> SetStr;
    std::function<double(const TPersistent &)> GetFloat;
    std::function<void(TPersistent &, double)> SetFloat;
    std::function<const TCollection &(const TPersistent &)> GetCollection;
    std::function<TCollection &(TPersistent &)> EditCollection;
    std::function<const QStringList &(const TPersistent &)> GetStrings;
    std::function<QStringList &(TPersistent &)> EditStrings;
    std::function<const TPersistent &(const TPersistent &)> GetObject;
    std::function<TPersistent &(TPersistent &)> EditObject;
};

// A hash of a property name that ignores case, consistent with
// QStringView::compare(..., Qt::CaseInsensitive). Names are ASCII in
// practice, and folding them needs no allocation.
size_t PropNameHash(QStringView AName);

// An ordered table; a derived class's table lists its base's entries first.
class TPropTable {
public:
    TPropTable(std::initializer_list<TPropInfo> AProps);
    TPropTable(const TPropTable &ABase, std::initializer_list<TPropInfo> AProps);

    // Finds an entry without regard to case.
    const TPropInfo *Find(QStringView AName) const;

    std::vector<TPropInfo>::const_iterator begin() const { return FProps.begin(); }
    std::vector<TPropInfo>::const_iterator end() const { return FProps.end(); }
    int Count() const { return static_cast<int>(FProps.size()); }

private:
    void Index();

    std::vector<TPropInfo> FProps;
    std::unordered_multimap<size_t, int> FByName; // PropNameHash -> position
};
