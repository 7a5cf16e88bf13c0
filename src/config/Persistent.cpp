#include "config/Persistent.h"

#include <algorithm>
#include <stdexcept>

QString TPersistent::ClassName() const {
    return QStringLiteral("TPersistent");
}

int TCollectionItem::Index() const {
    return FCollection ? FCollection->IndexOf(*this) : -1;
}

TCollectionItem &TCollection::AddItem() {
    std::unique_ptr<TCollectionItem> item = NewItem();
    item->FCollection = this;
    FItems.push_back(std::move(item));
    return *FItems.back();
}

int TCollection::IndexOf(const TCollectionItem &AItem) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == &AItem)
            return static_cast<int>(i);
    return -1;
}

void TCollection::Delete(int AIndex) {
    if (AIndex < 0 || AIndex >= Count())
        throw std::out_of_range("collection index out of range");
    FItems.erase(FItems.begin() + AIndex);
}

void TCollection::Move(int AFrom, int ATo) {
    if (AFrom < 0 || AFrom >= Count() || ATo < 0 || ATo >= Count())
        throw std::out_of_range("collection index out of range");
    if (AFrom < ATo)
        std::rotate(FItems.begin() + AFrom, FItems.begin() + AFrom + 1, FItems.begin() + ATo + 1);
    else if (AFrom > ATo)
        std::rotate(FItems.begin() + ATo, FItems.begin() + AFrom, FItems.begin() + AFrom + 1);
}
