// Fuzzer of the component text reader. Beyond not crashing: whatever the
// reader accepted, the writer's text must be 7-bit, must read back without a
// parse error and must then be written identically.

#include "config/ComponentText.h"
#include "config/ConfigErrors.h"
#include "config/PropBuilders.h"
#include "config/TextCodec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

enum TFuzzKind { fkA, fkB, fkC };
const TEnumInfo FuzzKindInfo{{u"fkA"_s, u"fkB"_s, u"fkC"_s}};

class TFuzzItem : public TCollectionItem {
public:
    qint32 Number = 0;
    QString Text;
    TFuzzKind Kind = fkA;
    QStringList Lines;
    double Level = 0;

    const TPropTable &Properties() const override {
        static const TPropTable Table{
            Prop::Integer(u"Number"_s, &TFuzzItem::Number, 0),
            Prop::String(u"Text"_s, &TFuzzItem::Text),
            Prop::Enumeration(u"Kind"_s, &TFuzzItem::Kind, FuzzKindInfo),
            Prop::Strings(u"Lines"_s, &TFuzzItem::Lines),
            Prop::Double(u"Level"_s, &TFuzzItem::Level),
        };
        return Table;
    }
    bool KeepsUnknown() const override { return true; }
};

class TFuzzItems : public TOwnedCollection<TFuzzItem> {};

class TFuzzFont : public TPersistent {
public:
    QString Name;
    qint32 Size = 0;

    const TPropTable &Properties() const override {
        static const TPropTable Table{
            Prop::String(u"Name"_s, &TFuzzFont::Name),
            Prop::Integer(u"Size"_s, &TFuzzFont::Size),
        };
        return Table;
    }
};

class TFuzzRoot : public TPersistent {
public:
    qint32 Port = 0;
    quint32 Colour = 0;
    bool TLS = false;
    TFuzzKind Kind = fkB;
    QString Server;
    double Level = 0;
    float Gain = 0;
    TFuzzItems Items;
    QStringList Folders;
    TFuzzFont Font;
    bool Keep = true;

    const TPropTable &Properties() const override {
        static const TPropTable Table{
            Prop::Integer(u"Port"_s, &TFuzzRoot::Port),
            Prop::Cardinal(u"Colour"_s, &TFuzzRoot::Colour, 0u),
            Prop::Boolean(u"TLS"_s, &TFuzzRoot::TLS),
            Prop::Enumeration(u"Kind"_s, &TFuzzRoot::Kind, FuzzKindInfo, fkB),
            Prop::String(u"Server"_s, &TFuzzRoot::Server),
            Prop::Double(u"Level"_s, &TFuzzRoot::Level),
            Prop::Single(u"Gain"_s, &TFuzzRoot::Gain),
            Prop::Collection(u"Items"_s, &TFuzzRoot::Items),
            Prop::Strings(u"Folders"_s, &TFuzzRoot::Folders),
            Prop::Object(u"Font"_s, &TFuzzRoot::Font),
        };
        return Table;
    }
    QString ClassName() const override { return u"TFuzzRoot"_s; }
    bool KeepsUnknown() const override { return Keep; }
};

void Check(bool ACondition, const char *AWhat) {
    if (!ACondition) {
        std::fprintf(stderr, "fuzz_component: %s\n", AWhat);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
    const QString text = DecodeText(QByteArrayView(AData, static_cast<qsizetype>(ASize))).Text;

    TFuzzRoot forgetful;
    forgetful.Keep = false;
    try {
        TextToComponent(text, forgetful);
    } catch (const EParserError &) {
    }

    TFuzzRoot root;
    try {
        TextToComponent(text, root);
    } catch (const EParserError &) {
    }
    const QByteArray first = ComponentToText(root);
    for (const char c : first)
        Check(static_cast<unsigned char>(c) < 128, "the writer produced a non-ASCII byte");

    TFuzzRoot again;
    try {
        TextToComponent(QString::fromLatin1(first), again);
    } catch (const EParserError &e) {
        std::fprintf(stderr, "%s\n%s\n", e.what(), first.constData());
        Check(false, "the writer's text does not parse");
    }
    Check(ComponentToText(again) == first, "a second write differs from the first");
    return 0;
}
