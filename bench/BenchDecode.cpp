// Decoding a playlist reply: our scanner and decoder against pugixml filling
// the same records.
//
// The input of each side is what that side would really be given:
// - BM_DecodePlaylist: the reply text as a QString. The transport decodes
//   every body to text in the charset its Content-Type names (whatever parser
//   follows), and that text is what DecodePlaylist takes.
// - BM_PugixmlPlaylist: the same reply as its UTF-8 bytes, the HTTP body
//   pugixml would parse directly (skipping the text decoding ours gets free).
// BM_DecodePlaylistFromUtf8 charges ours with QString::fromUtf8 too, so both
// start from the same bytes; it is reported alongside.
//
// Each side ends with the same TPlaylist: three QString fields per element
// named TRACK (any case, at any depth, in document order), the start time
// through the same ConvertStartTime. pugixml runs with its default options,
// which replace references and turn TAB/LF/CR in values into spaces, as our
// scanner does. BM_ScanPlaylist and BM_PugixmlParse show the two parsers alone.

#include "remote/ReplyDecoders.h"
#include "xml/XmlParser.h"

#include <QByteArray>
#include <QString>
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

namespace {

// A reply of ACount entries as the station server writes it: one TRACK per
// line with a handful of attributes, some titles outside ASCII, some "&amp;".
QByteArray PlaylistReply(int ACount) {
    static const char *const Artists[] = {
        "The Examples", "Björk",      "Simon &amp; Garfunkel", "Motörhead", "Ελληνικό Συγκρότημα",
        "坂本龍一",     "Nina Simone"};
    static const char *const Titles[] = {"Morning Song", "Jóga",
                                         "The Boxer",    "Ace of Spades",
                                         "Καλημέρα",     "Merry Christmas Mr. Lawrence",
                                         "Feeling Good"};
    QByteArray Reply = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<PLAYLIST>\r\n";
    Reply.reserve(ACount * 330);
    int Seconds = 14 * 3600;
    for (int I = 0; I < ACount; ++I) {
        const QByteArray Artist = Artists[I % 7];
        const QByteArray Title = Titles[(I / 7) % 7];
        const int Length = 150 + (I * 37) % 200;
        const int Start = Seconds % 86400;
        Seconds += Length;
        Reply += "  <TRACK POS=\"" + QByteArray::number(I + 1) + "\" TYPE=\"song\" CASTTITLE=\"" +
                 Artist + " - " + Title + "\" ARTIST=\"" + Artist + "\" TITLE=\"" + Title +
                 "\" ITEMTITLE=\"" + Title + "\" DURATION=\"" + QByteArray::number(Length / 60) +
                 ':' + QByteArray::number(Length % 60).rightJustified(2, '0') + "\" STARTTIME=\"" +
                 QByteArray::number(Start / 3600) + ':' +
                 QByteArray::number(Start / 60 % 60).rightJustified(2, '0') + ':' +
                 QByteArray::number(Start % 60).rightJustified(2, '0') +
                 "\" FILENAME=\"D:\\Music\\" + Artist + "\\" + Title + ".mp3\" ID=\"" +
                 QByteArray::number(100000 + I * 7) + "\"/>\r\n";
    }
    return Reply + "</PLAYLIST>\r\n";
}

// The decoder from the reply text the transport hands it.
void BM_DecodePlaylist(benchmark::State &AState) {
    const QString Text = QString::fromUtf8(PlaylistReply(int(AState.range(0))));
    for (auto _ : AState) {
        TPlaylist Items;
        DecodePlaylist(Text, Items);
        benchmark::DoNotOptimize(Items.data());
    }
    AState.SetItemsProcessed(AState.iterations() * AState.range(0));
}
BENCHMARK(BM_DecodePlaylist)->Arg(10000)->Unit(benchmark::kMillisecond);

// Both sides from the same bytes: the text decoding charged to ours.
void BM_DecodePlaylistFromUtf8(benchmark::State &AState) {
    const QByteArray Body = PlaylistReply(int(AState.range(0)));
    for (auto _ : AState) {
        TPlaylist Items;
        DecodePlaylist(QString::fromUtf8(Body), Items);
        benchmark::DoNotOptimize(Items.data());
    }
    AState.SetBytesProcessed(AState.iterations() * Body.size());
    AState.SetItemsProcessed(AState.iterations() * AState.range(0));
}
BENCHMARK(BM_DecodePlaylistFromUtf8)->Arg(10000)->Unit(benchmark::kMillisecond);

// The scanner alone walking the same text: what the decoder adds is the rest.
void BM_ScanPlaylist(benchmark::State &AState) {
    const QString Text = QString::fromUtf8(PlaylistReply(int(AState.range(0))));
    for (auto _ : AState) {
        TXmlParser Parser;
        Parser.LoadFromBuffer(Text);
        int Parts = 0;
        while (Parser.Scan())
            ++Parts;
        benchmark::DoNotOptimize(Parts);
    }
}
BENCHMARK(BM_ScanPlaylist)->Arg(10000)->Unit(benchmark::kMillisecond);

bool IsTrack(const char *AName) {
    static const char Track[] = "track";
    for (size_t I = 0; I < sizeof(Track); ++I) {
        const char C = AName[I];
        const char Lower = C >= 'A' && C <= 'Z' ? char(C + 32) : C;
        if (Lower != Track[I])
            return false;
    }
    return true;
}

// Document order, every depth, like the scanner's walk.
void CollectTracks(const pugi::xml_node &ANode, TPlaylist &AItems) {
    for (pugi::xml_node Child = ANode.first_child(); Child; Child = Child.next_sibling()) {
        if (Child.type() != pugi::node_element)
            continue;
        if (IsTrack(Child.name()))
            AItems.push_back(
                {QString::fromUtf8(Child.attribute("CASTTITLE").value()),
                 QString::fromUtf8(Child.attribute("DURATION").value()),
                 ConvertStartTime(QString::fromUtf8(Child.attribute("STARTTIME").value()))});
        CollectTracks(Child, AItems);
    }
}

void BM_PugixmlPlaylist(benchmark::State &AState) {
    const QByteArray Body = PlaylistReply(int(AState.range(0)));
    for (auto _ : AState) {
        pugi::xml_document Document;
        Document.load_buffer(Body.constData(), size_t(Body.size()), pugi::parse_default,
                             pugi::encoding_utf8);
        TPlaylist Items;
        CollectTracks(Document, Items);
        benchmark::DoNotOptimize(Items.data());
    }
    AState.SetBytesProcessed(AState.iterations() * Body.size());
    AState.SetItemsProcessed(AState.iterations() * AState.range(0));
}
BENCHMARK(BM_PugixmlPlaylist)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_PugixmlParse(benchmark::State &AState) {
    const QByteArray Body = PlaylistReply(int(AState.range(0)));
    for (auto _ : AState) {
        pugi::xml_document Document;
        Document.load_buffer(Body.constData(), size_t(Body.size()), pugi::parse_default,
                             pugi::encoding_utf8);
        benchmark::DoNotOptimize(Document.first_child());
    }
}
BENCHMARK(BM_PugixmlParse)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ConvertStartTime(benchmark::State &AState) {
    const QString Text = QStringLiteral("14:03:22");
    for (auto _ : AState)
        benchmark::DoNotOptimize(ConvertStartTime(Text));
}
BENCHMARK(BM_ConvertStartTime);

} // namespace
