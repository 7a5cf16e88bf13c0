#include "config/ValueNode.h"

#include "config/PropTable.h"

namespace {

bool SameName(const QString &A, const QString &B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

} // namespace

void TCarriedProps::Put(const QString &AAfter, TPropNode &&AProp) {
    const size_t hash = PropNameHash(AProp.Name);
    const auto [first, last] = FIndex.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        TCarriedProp &kept = FItems[it->second];
        if (SameName(kept.Prop.Name, AProp.Name)) {
            kept.After = AAfter;
            kept.Prop = std::move(AProp);
            return;
        }
    }
    FIndex.emplace(hash, FItems.size());
    FItems.push_back(TCarriedProp{AAfter, std::move(AProp)});
}

void TCarriedProps::Clear() {
    FItems.clear();
    FIndex.clear();
}

const TPropNode *TCarriedProps::Find(const QString &AName) const {
    const auto [first, last] = FIndex.equal_range(PropNameHash(AName));
    for (auto it = first; it != last; ++it)
        if (SameName(FItems[it->second].Prop.Name, AName))
            return &FItems[it->second].Prop;
    return nullptr;
}
