#include "config/PropTable.h"

int TEnumInfo::ValueOf(QStringView AIdent) const {
    for (size_t i = 0; i < Names.size(); ++i)
        if (AIdent.compare(Names[i], Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

TPropTable::TPropTable(std::initializer_list<TPropInfo> AProps) : FProps(AProps) {
    Index();
}

TPropTable::TPropTable(const TPropTable &ABase, std::initializer_list<TPropInfo> AProps)
    : FProps(ABase.FProps) {
    FProps.insert(FProps.end(), AProps.begin(), AProps.end());
    Index();
}

size_t PropNameHash(QStringView AName) {
    size_t hash = 14695981039346656037ull;
    for (const QChar c : AName) {
        char16_t unit = c.unicode();
        if (unit >= u'A' && unit <= u'Z')
            unit += u'a' - u'A';
        else if (unit >= 0x80)
            unit = c.toCaseFolded().unicode();
        hash = (hash ^ unit) * 1099511628211ull;
    }
    return hash;
}

void TPropTable::Index() {
    // A derived class may declare a base's name again; the later entry wins.
    for (size_t i = FProps.size(); i-- > 0;)
        if (!Find(FProps[i].Name))
            FByName.emplace(PropNameHash(FProps[i].Name), static_cast<int>(i));
}

const TPropInfo *TPropTable::Find(QStringView AName) const {
    const auto [first, last] = FByName.equal_range(PropNameHash(AName));
    for (auto it = first; it != last; ++it)
        if (AName.compare(FProps[it->second].Name, Qt::CaseInsensitive) == 0)
            return &FProps[it->second];
    return nullptr;
}
