#pragma once
// The three built-in processors of a chain: a multi-band peaking equaliser
// and a compressor (effects of the audio engine), and a gain stage computed
// here in a sample callback. The chain engine creates one object when a
// built-in entry starts, attaches it, applies the entry's Params, and frees
// it when the entry stops. The editors call UpdateDSP after every change of
// Params.
//
// Threads: construction, SetDSP and UpdateDSP on the main thread; the gain
// callback on whatever thread pulls the channel's audio.

#include "audio/AudioEngine.h"
#include "dsp/DSPItems.h"

class TSystemIniBase;

#include <QStringList>
#include <QStringView>
#include <QtGlobal>
#include <atomic>
#include <memory>

// Every effect and callback the chain attaches runs at this priority.
inline constexpr qint32 DSPPriority = 49;

// --- Settings text ----------------------------------------------------------
// Params hold numbers with "." as the decimal separator whatever the locale;
// text that does not read as such a number counts as 0.

// A decimal whole number ("12", "-3", "+4"); anything else, a fraction
// included, reads as 0.
qint32 ParamWholeNumber(QStringView AText);
// A number such as "4.5", "-18" or "1.5E-3".
double ParamNumber(QStringView AText);
// The same number for a 32-bit parameter; beyond that range it saturates.
float ParamFloat(QStringView AText);

// --- Effect records ---------------------------------------------------------
// What the effect objects hand to the audio engine, also used by the editors
// to draw the curves of what runs.

// The equaliser bands that exist: BandsNum, but never past the EQBands list.
int EqBandCount(const TSystemIniBase &ASettings);
// Band AIndex (below EqBandCount) as attached: its centre frequency, the
// common bandwidth, Q 0, all channels, at AGainDb.
BASS_BFX_PEAKEQ EqBandRecord(const TSystemIniBase &ASettings, int AIndex, float AGainDb);
// The compressor's record from its five Params (each 0 when unreadable or
// missing).
BASS_BFX_COMPRESSOR2 CompressorRecord(const QStringList &AParams);

// --- Effect objects ---------------------------------------------------------

class TIntegratedDSP {
public:
    // Stores the entry it serves (not owned: the entry's running state owns
    // the effect object), the channel it attaches to and the settings it
    // reads the band layout from (not owned; they outlive the object).
    // Attaches nothing.
    TIntegratedDSP(TDSPItemC &inD, HSTREAM inChan, const TSystemIniBase &ASettings)
        : FD(inD), Chan(inChan), FSettings(ASettings) {}
    virtual ~TIntegratedDSP() = default;
    TIntegratedDSP(const TIntegratedDSP &) = delete;
    TIntegratedDSP &operator=(const TIntegratedDSP &) = delete;

    // Attaches to Chan when AValue is true, detaches when false.
    virtual void SetDSP(bool AValue) = 0;
    // Applies FD's Params to the attached effect.
    virtual void UpdateDSP() = 0;

    TDSPItemC &FD;
    quint32 HFX = 0; // the attached effect or callback; 0 while detached
    const HSTREAM Chan;

protected:
    const TSystemIniBase &FSettings;
};

// Bands 0 to BandsNum - 1 of the settings, each a peaking band at its
// EQBands centre frequency with the common Bandwidth; Params holds one whole
// dB gain per band. Bands that BandsNum names beyond the EQBands list do not
// exist: they are neither created nor given a gain.
class TIntegratedDSPEq final : public TIntegratedDSP {
public:
    using TIntegratedDSP::TIntegratedDSP;
    ~TIntegratedDSPEq() override;

    // Attaching again re-creates the effect with every band flat.
    void SetDSP(bool AValue) override;
    // Only when Params holds exactly BandsNum lines.
    void UpdateDSP() override;
};

// Params: gain (dB), threshold (dB), ratio, attack (ms), release (ms).
class TIntegratedDSPCompressor final : public TIntegratedDSP {
public:
    using TIntegratedDSP::TIntegratedDSP;
    ~TIntegratedDSPCompressor() override;

    // Attaches without setting parameters; attaching again keeps the effect.
    void SetDSP(bool AValue) override;
    // Only when Params holds exactly five lines.
    void UpdateDSP() override;
};

// The gain stage's level, handed to the callback as its user data. Written
// whole on the main thread and read whole on the audio thread, without a
// lock: a lock-free atomic double does exactly that.
struct TGainData {
    std::atomic<double> Level{0}; // dB, applied clamped to -60..50
    static_assert(std::atomic<double>::is_always_lock_free);
};

// Params: the gain in dB.
class TIntegratedDSPGain final : public TIntegratedDSP {
public:
    TIntegratedDSPGain(TDSPItemC &inD, HSTREAM inChan, const TSystemIniBase &ASettings);
    ~TIntegratedDSPGain() override;

    // Attaching again keeps the callback that is attached.
    void SetDSP(bool AValue) override;
    // Only when Params holds exactly one line.
    void UpdateDSP() override;

    TGainData *FData() const { return FGainData.get(); }

private:
    std::unique_ptr<TGainData> FGainData;
};

// The gain callback: multiplies the ALength / 4 float samples of ABuffer by
// the gain that AUser (a TGainData) holds. 0 dB leaves the buffer untouched,
// bit for bit; there is no clipping and no smoothing between buffers.
void GainDSPProc(HDSP AHandle, HSTREAM AChannel, void *ABuffer, quint32 ALength, void *AUser);

// --- Kind to class ----------------------------------------------------------

// Constructs the effect object for an entry on AChan, attaching nothing.
using TIntegratedDSPClass = std::unique_ptr<TIntegratedDSP> (*)(TDSPItemC &AItem, HSTREAM AChan,
                                                                const TSystemIniBase &ASettings);

// The class of a built-in kind; nullptr for a value that names none (a hand-
// edited file may hold any number).
TIntegratedDSPClass IntegratedDSPClass(TIntDSPKind AKind);
