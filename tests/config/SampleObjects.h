#pragma once
// Configuration objects for the tests: one property of every kind, with and
// without declared defaults, a collection, a string list and a sub-object.

#include "config/Persistent.h"
#include "config/PropBuilders.h"

#include <QStringList>

using namespace Qt::StringLiterals;

enum TColour { clRed, clGreen, clBlue };

inline const TEnumInfo ColourInfo{{u"clRed"_s, u"clGreen"_s, u"clBlue"_s}};

// Items keep what they do not know, like the items of the shared station files.
class TSampleItem : public TCollectionItem {
public:
    qint32 Number = 7;
    QString Text;
    bool Flag = false;
    TColour Colour = clRed;
    QStringList Lines;

    const TPropTable &Properties() const override {
        static const TPropTable Table{
            Prop::Integer(u"Number"_s, &TSampleItem::Number),
            Prop::String(u"Text"_s, &TSampleItem::Text),
            Prop::Boolean(u"Flag"_s, &TSampleItem::Flag),
            Prop::Enumeration(u"Colour"_s, &TSampleItem::Colour, ColourInfo),
            Prop::Strings(u"Lines"_s, &TSampleItem::Lines),
        };
        return Table;
    }
    bool KeepsUnknown() const override { return true; }
};

class TSampleItems : public TOwnedCollection<TSampleItem> {};

class TSampleFont : public TPersistent {
public:
    QString Name;
    qint32 Size = 10;

    const TPropTable &Properties() const override {
        static const TPropTable Table{
            Prop::String(u"Name"_s, &TSampleFont::Name),
            Prop::Integer(u"Size"_s, &TSampleFont::Size, 10),
        };
        return Table;
    }
};

class TSample : public TPersistent {
public:
    qint32 Int = 0;
    qint32 IntDef = 5;
    quint32 Card = 0;
    bool Bool = false;
    bool BoolDef = true;
    TColour Colour = clRed;
    TColour ColourDef = clGreen;
    QString Str;
    double Dbl = 0;
    float Sgl = 0;
    TSampleItems Items;
    QStringList Lines;
    TSampleFont Font;
    QString Accessed; // reached through accessors, upper-cased on the way in
    bool Keep = false;

    const TPropTable &Properties() const override {
        static const TPropTable Table{
            Prop::Integer(u"Int"_s, &TSample::Int),
            Prop::Integer(u"IntDef"_s, &TSample::IntDef, 5),
            Prop::Cardinal(u"Card"_s, &TSample::Card),
            Prop::Boolean(u"Bool"_s, &TSample::Bool),
            Prop::Boolean(u"BoolDef"_s, &TSample::BoolDef, true),
            Prop::Enumeration(u"Colour"_s, &TSample::Colour, ColourInfo),
            Prop::Enumeration(u"ColourDef"_s, &TSample::ColourDef, ColourInfo, clGreen),
            Prop::String(u"Str"_s, &TSample::Str),
            Prop::Double(u"Dbl"_s, &TSample::Dbl),
            Prop::Single(u"Sgl"_s, &TSample::Sgl),
            Prop::Collection(u"Items"_s, &TSample::Items),
            Prop::Strings(u"Lines"_s, &TSample::Lines),
            Prop::Object(u"Font"_s, &TSample::Font),
            Prop::String<TSample>(
                u"Accessed"_s, [](const TSample &AObj) { return AObj.Accessed; },
                [](TSample &AObj, const QString &AValue) { AObj.Accessed = AValue.toUpper(); }),
        };
        return Table;
    }
    QString ClassName() const override { return u"TSample"_s; }
    bool KeepsUnknown() const override { return Keep; }
};

// A derived class: its properties follow the base's.
class TDerivedSample : public TSampleFont {
public:
    qint32 Extra = 0;

    const TPropTable &Properties() const override {
        static const TPropTable Table{TSampleFont::Properties(),
                                      {Prop::Integer(u"Extra"_s, &TDerivedSample::Extra)}};
        return Table;
    }
    QString ClassName() const override { return u"TDerivedSample"_s; }
};
