#pragma once
// What caption translation needs to know of a window and its components, so
// that the translation rules work (and are tested) without any window system.
// The window layer adapts its windows and controls to this interface.

#include <QString>
#include <vector>

enum TComponentKind {
    ckForm,     // a top-level window; the only kind whose caption "@" sets
    ckFrame,    // an embedded panel that owns components of its own
    ckControl,  // any other visual control
    ckMenuItem, // an entry of a main or pop-up menu
    ckOther,    // a component that is neither visible nor a menu item
};

class TTranslatable {
public:
    virtual ~TTranslatable() = default;

    virtual QString Name() const = 0;
    virtual TComponentKind Kind() const = 0;

    // A string property by name ("Caption", "Hint"), found without regard to
    // case. Both return false when there is no such property or it holds no
    // string; nothing is changed then.
    virtual bool ReadStringProperty(const QString &AProperty, QString &AValue) const = 0;
    virtual bool WriteStringProperty(const QString &AProperty, const QString &AValue) = 0;

    // The components this one owns directly. A window owns every component
    // placed on it, however deeply nested in panels, except those inside an
    // embedded frame: the frame owns those.
    virtual std::vector<TTranslatable *> OwnedComponents() const = 0;
};
