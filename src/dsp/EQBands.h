#pragma once
// The equaliser's band layout, a system setting shared by every equaliser
// entry of every chain: one centre frequency per band. How many bands are in
// use, their width and the editor's gain range are settings of their own
// (BandsNum, Bandwidth, EQRange) next to this list.

#include "config/Persistent.h"

#include <array>

class TEQBandsBand : public TCollectionItem {
public:
    qint32 CenterFreq = 0; // Hz

    const TPropTable &Properties() const override;
    QString ClassName() const override;
    bool KeepsUnknown() const override { return true; }
};

class TEQBands : public TOwnedCollection<TEQBandsBand> {};

// Centre frequencies of the 12 bands at creation, band 0 first. With the
// default of 10 bands in use, the last two exist but are not used.
inline constexpr std::array<qint32, 12> DefaultCenterFreqs{31,   62,   125,  250,   500,   1000,
                                                           2000, 4000, 8000, 16000, 18000, 20000};

// Appends one band per default centre frequency.
void AddDefaultEQBands(TEQBands &ABands);
