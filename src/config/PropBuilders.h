#pragma once
// Helpers that build published property entries, either over a field
// (Prop::Integer(u"Port"_s, &TSettings::Port)) or over a read and a write
// accessor (Prop::String(u"LangDir"_s, get, set), where get takes const C &
// and set takes C & and the value).
//
//     const TPropTable &TMyColumn::Properties() const {
//         static const TPropTable Table{
//             Prop::Integer(u"Width"_s, &TMyColumn::Width),
//             Prop::Boolean(u"Visible"_s, &TMyColumn::Visible),
//         };
//         return Table;
//     }

#include "config/Persistent.h"
#include "config/PropTable.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <type_traits>
#include <utility>

namespace Prop {

namespace Detail {

template <class C, class Get, class Set>
TPropInfo Ordinal(QString AName, TPropKind AKind, Get AGet, Set ASet,
                  std::optional<qint64> ADefault, const TEnumInfo *AEnum = nullptr) {
    TPropInfo info;
    info.Name = std::move(AName);
    info.Kind = AKind;
    info.Default = ADefault;
    info.Enum = AEnum;
    info.GetOrd = [AGet](const TPersistent &AObj) -> qint64 {
        return static_cast<qint64>(AGet(static_cast<const C &>(AObj)));
    };
    info.SetOrd = [ASet](TPersistent &AObj, qint64 AValue) {
        ASet(static_cast<C &>(AObj), AValue);
    };
    return info;
}

template <class C, class Get, class Set>
TPropInfo Floating(QString AName, TPropKind AKind, Get AGet, Set ASet) {
    TPropInfo info;
    info.Name = std::move(AName);
    info.Kind = AKind;
    info.GetFloat = [AGet](const TPersistent &AObj) -> double {
        return static_cast<double>(AGet(static_cast<const C &>(AObj)));
    };
    info.SetFloat = [ASet](TPersistent &AObj, double AValue) {
        ASet(static_cast<C &>(AObj), AValue);
    };
    return info;
}

template <class T> std::optional<qint64> Widen(std::optional<T> AValue) {
    return AValue ? std::optional<qint64>(static_cast<qint64>(*AValue)) : std::nullopt;
}

} // namespace Detail

// 32-bit signed integer.
template <class C, class Get, class Set>
TPropInfo Integer(QString AName, Get AGet, Set ASet,
                  std::optional<qint32> ADefault = std::nullopt) {
    return Detail::Ordinal<C>(
        std::move(AName), pkInteger, AGet,
        [ASet](C &AObj, qint64 AValue) { ASet(AObj, static_cast<qint32>(AValue)); },
        Detail::Widen(ADefault));
}
template <class C>
TPropInfo Integer(QString AName, qint32 C::*AField, std::optional<qint32> ADefault = std::nullopt) {
    return Integer<C>(
        std::move(AName), [AField](const C &AObj) { return AObj.*AField; },
        [AField](C &AObj, qint32 AValue) { AObj.*AField = AValue; }, ADefault);
}

// 32-bit unsigned integer.
template <class C, class Get, class Set>
TPropInfo Cardinal(QString AName, Get AGet, Set ASet,
                   std::optional<quint32> ADefault = std::nullopt) {
    return Detail::Ordinal<C>(
        std::move(AName), pkCardinal, AGet,
        [ASet](C &AObj, qint64 AValue) { ASet(AObj, static_cast<quint32>(AValue)); },
        Detail::Widen(ADefault));
}
template <class C>
TPropInfo Cardinal(QString AName, quint32 C::*AField,
                   std::optional<quint32> ADefault = std::nullopt) {
    return Cardinal<C>(
        std::move(AName), [AField](const C &AObj) { return AObj.*AField; },
        [AField](C &AObj, quint32 AValue) { AObj.*AField = AValue; }, ADefault);
}

// Boolean.
template <class C, class Get, class Set>
TPropInfo Boolean(QString AName, Get AGet, Set ASet, std::optional<bool> ADefault = std::nullopt) {
    return Detail::Ordinal<C>(
        std::move(AName), pkBoolean, AGet,
        [ASet](C &AObj, qint64 AValue) { ASet(AObj, AValue != 0); }, Detail::Widen(ADefault));
}
template <class C>
TPropInfo Boolean(QString AName, bool C::*AField, std::optional<bool> ADefault = std::nullopt) {
    return Boolean<C>(
        std::move(AName), [AField](const C &AObj) { return AObj.*AField; },
        [AField](C &AObj, bool AValue) { AObj.*AField = AValue; }, ADefault);
}

// Enumeration stored by identifier; AInfo must outlive the table (a static).
template <class C, class E, class Get, class Set>
TPropInfo Enumeration(QString AName, const TEnumInfo &AInfo, Get AGet, Set ASet,
                      std::optional<std::type_identity_t<E>> ADefault = std::nullopt) {
    return Detail::Ordinal<C>(
        std::move(AName), pkEnum, AGet,
        [ASet](C &AObj, qint64 AValue) { ASet(AObj, static_cast<E>(AValue)); },
        Detail::Widen(ADefault), &AInfo);
}
template <class C, class E>
TPropInfo Enumeration(QString AName, E C::*AField, const TEnumInfo &AInfo,
                      std::optional<std::type_identity_t<E>> ADefault = std::nullopt) {
    return Enumeration<C, E>(
        std::move(AName), AInfo, [AField](const C &AObj) { return AObj.*AField; },
        [AField](C &AObj, E AValue) { AObj.*AField = AValue; }, ADefault);
}

// String.
template <class C, class Get, class Set> TPropInfo String(QString AName, Get AGet, Set ASet) {
    TPropInfo info;
    info.Name = std::move(AName);
    info.Kind = pkString;
    info.GetStr = [AGet](const TPersistent &AObj) -> QString {
        return AGet(static_cast<const C &>(AObj));
    };
    info.SetStr = [ASet](TPersistent &AObj, const QString &AValue) {
        ASet(static_cast<C &>(AObj), AValue);
    };
    return info;
}
template <class C> TPropInfo String(QString AName, QString C::*AField) {
    return String<C>(
        std::move(AName), [AField](const C &AObj) { return AObj.*AField; },
        [AField](C &AObj, const QString &AValue) { AObj.*AField = AValue; });
}

// Double-precision float.
template <class C, class Get, class Set> TPropInfo Double(QString AName, Get AGet, Set ASet) {
    return Detail::Floating<C>(std::move(AName), pkDouble, AGet, ASet);
}
template <class C> TPropInfo Double(QString AName, double C::*AField) {
    return Double<C>(
        std::move(AName), [AField](const C &AObj) { return AObj.*AField; },
        [AField](C &AObj, double AValue) { AObj.*AField = AValue; });
}

// Single-precision float.
template <class C, class Get, class Set> TPropInfo Single(QString AName, Get AGet, Set ASet) {
    return Detail::Floating<C>(std::move(AName), pkSingle, AGet, [ASet](C &AObj, double AValue) {
        ASet(AObj, static_cast<float>(AValue));
    });
}
template <class C> TPropInfo Single(QString AName, float C::*AField) {
    return Single<C>(
        std::move(AName), [AField](const C &AObj) { return AObj.*AField; },
        [AField](C &AObj, float AValue) { AObj.*AField = AValue; });
}

// Owned collection (a TCollection-derived field).
template <class C, class Coll> TPropInfo Collection(QString AName, Coll C::*AField) {
    TPropInfo info;
    info.Name = std::move(AName);
    info.Kind = pkCollection;
    info.GetCollection = [AField](const TPersistent &AObj) -> const TCollection & {
        return static_cast<const C &>(AObj).*AField;
    };
    info.EditCollection = [AField](TPersistent &AObj) -> TCollection & {
        return static_cast<C &>(AObj).*AField;
    };
    return info;
}

// Owned string list.
template <class C> TPropInfo Strings(QString AName, QStringList C::*AField) {
    TPropInfo info;
    info.Name = std::move(AName);
    info.Kind = pkStrings;
    info.GetStrings = [AField](const TPersistent &AObj) -> const QStringList & {
        return static_cast<const C &>(AObj).*AField;
    };
    info.EditStrings = [AField](TPersistent &AObj) -> QStringList & {
        return static_cast<C &>(AObj).*AField;
    };
    return info;
}

// Owned sub-object (a TPersistent-derived field).
template <class C, class O> TPropInfo Object(QString AName, O C::*AField) {
    TPropInfo info;
    info.Name = std::move(AName);
    info.Kind = pkObject;
    info.GetObject = [AField](const TPersistent &AObj) -> const TPersistent & {
        return static_cast<const C &>(AObj).*AField;
    };
    info.EditObject = [AField](TPersistent &AObj) -> TPersistent & {
        return static_cast<C &>(AObj).*AField;
    };
    return info;
}

} // namespace Prop
