#pragma once
// Configuration objects: an object with a published property table, and the
// owned collections of such objects. The component text writer and reader
// (ComponentText.h) work on these through their tables only.

#include "config/PropTable.h"
#include "config/ValueNode.h"

#include <QString>
#include <memory>
#include <vector>

class TPersistent {
public:
    virtual ~TPersistent() = default;

    // The published properties, in the order in which they are written.
    virtual const TPropTable &Properties() const = 0;

    // The class name written on the root line of a file.
    virtual QString ClassName() const;

    // Objects of the shared station files keep what they do not model: a
    // property missing from the table is kept from reading and written back in
    // its place. Every other object drops such properties.
    virtual bool KeepsUnknown() const { return false; }

    TCarriedProps &Carried() { return FCarried; }
    const TCarriedProps &Carried() const { return FCarried; }

protected:
    TPersistent() = default;
    TPersistent(const TPersistent &) = default;
    TPersistent &operator=(const TPersistent &) = default;

private:
    TCarriedProps FCarried;
};

class TCollection;

// An item knows the collection that owns it.
class TCollectionItem : public TPersistent {
public:
    TCollectionItem() = default;
    TCollectionItem(const TCollectionItem &) = delete;
    TCollectionItem &operator=(const TCollectionItem &) = delete;

    TCollection *Collection() const { return FCollection; }
    // The position in the owning collection; -1 for an item on its own.
    int Index() const;

private:
    friend class TCollection;
    TCollection *FCollection = nullptr;
};

// An ordered, owning list of items of one class.
class TCollection {
public:
    TCollection() = default;
    TCollection(const TCollection &) = delete;
    TCollection &operator=(const TCollection &) = delete;
    virtual ~TCollection() = default;

    // Appends an item with its class's creation values.
    TCollectionItem &AddItem();
    TCollectionItem &Item(int AIndex) { return *FItems.at(static_cast<size_t>(AIndex)); }
    const TCollectionItem &Item(int AIndex) const {
        return *FItems.at(static_cast<size_t>(AIndex));
    }
    int Count() const { return static_cast<int>(FItems.size()); }
    int IndexOf(const TCollectionItem &AItem) const;

    void Clear() { FItems.clear(); }
    void Delete(int AIndex);
    void Move(int AFrom, int ATo);

protected:
    virtual std::unique_ptr<TCollectionItem> NewItem() const = 0;

private:
    std::vector<std::unique_ptr<TCollectionItem>> FItems;
};

// A collection whose items are all of class T.
template <class T> class TOwnedCollection : public TCollection {
public:
    T &Add() { return static_cast<T &>(AddItem()); }
    T &Items(int AIndex) { return static_cast<T &>(Item(AIndex)); }
    const T &Items(int AIndex) const { return static_cast<const T &>(Item(AIndex)); }

protected:
    std::unique_ptr<TCollectionItem> NewItem() const override { return std::make_unique<T>(); }
};
