#include "DemoPlaylist.h"

#include "core/Utils.h"

#include <array>
#include <span>

namespace {

struct TDemoItem {
    const char *Artist;
    const char *Title;
    int Seconds;
};

enum TDemoKind { dkSong, dkJingle, dkAdvert, dkNews, dkWeather };

// UTF-8 texts; every artist and title is invented.
constexpr TDemoItem Songs[] = {
    {"Die Nachtfalter", "Mädchen aus Köln", 252},
    {"Les Étoiles Filantes", "Café de la Gare", 237},
    {"Zielona Łąka", "Gwiazdy nad Wisłą", 281},
    {"Белые Ночи", "Звёздный путь", 302},
    {"夜明けのバス", "東京の雨", 268},
    {"The Harbour Lights", "Saturday Night Radio", 213},
    {"Mara Quinn", "Long Way Home (Extended Mix)", 390},
    {"Smith & Jones", "\"Quotes\" <Live at the Roxy>", 178},
    {"Grüne Wellen", "Über den Dächern", 228},
    {"Élodie Marchand", "Où es-tu, mon cœur ?", 245},
    {"Małgorzata Żak", "Jesień w Łodzi", 216},
    {"Ольга Смирнова", "Ветер перемен", 224},
    {"さくらノート", "春の風", 239},
    {"Kelly O'Brien", "Don't Look Back", 207},
    {"Νεφέλη", "Καλοκαίρι στην Αθήνα", 199},
    {"Los Caminantes", "Canción del Mañana", 195},
    {"Jürgen Weiß", "Straßenbahn nach Süden", 211},
    {"Åsa Lindqvist", "Sjön i Östersund", 220},
    {"Neon Fox", "Starlight 🌙", 184},
    {"Garçon Français", "Déjà vu à Noël", 202},
    {"The Midnight Owls", "Coffee at 3 AM", 244},
    {"Dvořákovy Děti", "Píseň o řece", 233},
    {"João e os Marés", "Saudade em São Paulo", 290},
    {"Chłopcy z Gdańska", "Źródło", 126},
};
constexpr TDemoItem Jingles[] = {
    {"Jingle", "Station ID", 5},
    {"Jingle", "Good Morning", 8},
    {"Jingle", "Hit Mix", 12},
    {"Jingle", "Weekend Vibes", 7},
};
constexpr TDemoItem Adverts[] = {
    {"Advert", "Bäckerei Sonnenschein", 30},
    {"Advert", "Autohaus Müller & Söhne", 25},
    {"Advert", "Café Crème – Frühstück ab 7 Uhr", 20},
    {"Advert", "Summer Sale <50% off>", 35},
};
constexpr TDemoItem News[] = {
    {"News", "Top of the Hour", 180},
};
constexpr TDemoItem Weather[] = {
    {"Weather", "Traffic and Weather", 75},
};

// One hour of a music station, over and over.
constexpr TDemoKind Clock[] = {
    dkNews,   dkJingle, dkSong, dkSong,    dkJingle, dkSong, dkAdvert, dkAdvert,
    dkJingle, dkSong,   dkSong, dkWeather, dkJingle, dkSong, dkSong,   dkAdvert,
};

struct TDemoSource {
    std::span<const TDemoItem> Items;
    const char *Folder;
    const char *Extension;
};

TDemoSource SourceOf(TDemoKind AKind) {
    switch (AKind) {
    case dkSong:
        return {Songs, "M:\\Music\\", ".mp3"};
    case dkJingle:
        return {Jingles, "M:\\Jingles\\", ".wav"};
    case dkAdvert:
        return {Adverts, "M:\\Adverts\\", ".mp3"};
    case dkNews:
        return {News, "M:\\News\\", ".mp3"};
    case dkWeather:
        break;
    }
    return {Weather, "M:\\News\\", ".mp3"};
}

} // namespace

std::vector<TSimEntry> MakeDemoPlaylist(int ACount) {
    std::vector<TSimEntry> entries;
    if (ACount <= 0)
        return entries;
    entries.reserve(std::size_t(ACount));
    std::array<std::size_t, 5> used{}; // next item of each kind
    for (int i = 0; i < ACount; ++i) {
        const TDemoKind kind = Clock[std::size_t(i) % std::size(Clock)];
        const TDemoSource source = SourceOf(kind);
        const TDemoItem &item = source.Items[used[kind]++ % source.Items.size()];
        TSimEntry entry;
        entry.Artist = QString::fromUtf8(item.Artist);
        entry.Title = QString::fromUtf8(item.Title);
        entry.FileName = QString::fromUtf8(source.Folder) + SanitizeFileName(entry.CastTitle()) +
                         QString::fromUtf8(source.Extension);
        entry.DurationMs = qint64(item.Seconds) * 1000;
        entries.push_back(std::move(entry));
    }
    return entries;
}
