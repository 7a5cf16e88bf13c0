// Reading and writing a large component file: a root with a collection of a
// few thousand items, about 1 MB of text, like a player file with a long
// history of broadcast outputs and chains.

#include "config/ComponentText.h"
#include "config/PropBuilders.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

enum TBenchKind { bkOne, bkTwo, bkThree };
const TEnumInfo BenchKindInfo{{u"bkOne"_s, u"bkTwo"_s, u"bkThree"_s}};

class TBenchItem : public TCollectionItem {
public:
    qint32 Number = 0;
    QString Name;
    QString Path;
    bool Active = false;
    TBenchKind Kind = bkOne;
    double Level = 0;
    float Gain = 0;
    QStringList Params;

    const TPropTable &Properties() const override {
        static const TPropTable Table{
            Prop::Integer(u"Number"_s, &TBenchItem::Number),
            Prop::String(u"Name"_s, &TBenchItem::Name),
            Prop::String(u"Path"_s, &TBenchItem::Path),
            Prop::Boolean(u"Active"_s, &TBenchItem::Active),
            Prop::Enumeration(u"Kind"_s, &TBenchItem::Kind, BenchKindInfo),
            Prop::Double(u"Level"_s, &TBenchItem::Level),
            Prop::Single(u"Gain"_s, &TBenchItem::Gain),
            Prop::Strings(u"Params"_s, &TBenchItem::Params),
        };
        return Table;
    }
};

class TBenchItems : public TOwnedCollection<TBenchItem> {};

class TBenchRoot : public TPersistent {
public:
    QString Title;
    TBenchItems Items;
    bool Keep = false;

    const TPropTable &Properties() const override {
        static const TPropTable Table{
            Prop::String(u"Title"_s, &TBenchRoot::Title),
            Prop::Collection(u"Items"_s, &TBenchRoot::Items),
        };
        return Table;
    }
    QString ClassName() const override { return u"TBenchRoot"_s; }
    bool KeepsUnknown() const override { return Keep; }
};

// About 1 MB of text: 2500 items of some 400 bytes each.
void Fill(TBenchRoot &ARoot) {
    ARoot.Title = u"Bench"_s;
    for (int i = 0; i < 2500; ++i) {
        TBenchItem &item = ARoot.Items.Add();
        item.Number = i;
        item.Name = u"Item \u041D\u043E\u043C\u0435\u0440 %1 with 'quotes'"_s.arg(i);
        item.Path =
            u"C:\\Program Files\\Station\\Plugins\\VST\\Some Long Plugin Name %1\\plugin.dll"_s.arg(
                i);
        item.Active = i % 2 == 0;
        item.Kind = static_cast<TBenchKind>(i % 3);
        item.Level = i * 0.125;
        item.Gain = static_cast<float>(i) / 7.0f;
        for (int p = 0; p < 6; ++p)
            item.Params.append(QString::number(p * 0.5 + i));
    }
}

const QByteArray &BenchText() {
    static const QByteArray Text = [] {
        TBenchRoot root;
        Fill(root);
        return ComponentToText(root);
    }();
    return Text;
}

void BM_WriteComponentText(benchmark::State &AState) {
    TBenchRoot root;
    Fill(root);
    for (auto _ : AState)
        benchmark::DoNotOptimize(ComponentToText(root));
    AState.SetBytesProcessed(AState.iterations() * BenchText().size());
}
BENCHMARK(BM_WriteComponentText)->Unit(benchmark::kMillisecond);

void BM_ReadComponentText(benchmark::State &AState) {
    const QString text = QString::fromLatin1(BenchText());
    for (auto _ : AState) {
        TBenchRoot root;
        TextToComponent(text, root);
        benchmark::DoNotOptimize(root.Items.Count());
    }
    AState.SetBytesProcessed(AState.iterations() * BenchText().size());
}
BENCHMARK(BM_ReadComponentText)->Unit(benchmark::kMillisecond);

// The shared station files: the whole collection is carried along unread,
// kept as value nodes and written back.
void BM_CarryComponentText(benchmark::State &AState) {
    const QString text =
        QString::fromLatin1(BenchText()).replace(u"  Items = <"_s, u"  Others = <"_s);
    for (auto _ : AState) {
        TBenchRoot root;
        root.Keep = true;
        TextToComponent(text, root);
        benchmark::DoNotOptimize(ComponentToText(root));
    }
    AState.SetBytesProcessed(AState.iterations() * BenchText().size());
}
BENCHMARK(BM_CarryComponentText)->Unit(benchmark::kMillisecond);

} // namespace
