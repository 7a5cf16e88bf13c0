#pragma once
// A made-up but lifelike day of programme for the simulated station.

#include "SimPlaylist.h"

#include <vector>

// ACount entries in the rhythm of a music station: news and weather, jingles
// (5 to 12 s), adverts (20 to 35 s) and songs (2 to 6:30 min) by artists from
// many countries, titles partly outside ASCII (German, French, Polish,
// Cyrillic, Greek, Japanese, an emoji) and some with & < > " ' in them.
// The same count always gives the same list.
std::vector<TSimEntry> MakeDemoPlaylist(int ACount);
