#pragma once
// Our audio engine: channels that produce 32-bit float audio, and the effects
// and sample callbacks attached to them, run in priority order on every
// buffer. The calls and their results follow the audio library the station's
// programs are written against, so the chain engine and the effects above
// this layer read the same on every platform.
//
// Threads: channels, effects and callbacks are created, changed and removed
// on any one control thread (the main thread in the program). Audio is
// produced by BASS_ChannelGetData on whatever thread pulls it (a render loop,
// the recorder's audio thread); that path allocates nothing, takes no lock and
// makes no system call (except reading the sound file of a file stream).
// Parameter changes reach it whole, never half-written.

#include <QString>
#include <QtGlobal>

using HSTREAM = quint32; // 0 is no channel
using HFX = quint32;     // 0 is failure
using HDSP = quint32;    // 0 is failure

// Effect types.
inline constexpr quint32 BASS_FX_BFX_PEAKEQ = 0x10004;
inline constexpr quint32 BASS_FX_BFX_COMPRESSOR2 = 0x10011;

// Channel selection of an effect: every channel.
inline constexpr qint32 BASS_BFX_CHANALL = -1;

// Parameters of one band of the peaking equaliser. One effect holds any
// number of bands, addressed by lBand; setting an unknown band creates it.
struct BASS_BFX_PEAKEQ {
    qint32 lBand = 0;
    float fBandwidth = 1; // octaves; used when fQ is 0
    float fQ = 0;
    float fCenter = 1000; // Hz
    float fGain = 0;      // dB
    qint32 lChannel = BASS_BFX_CHANALL;
};

// Parameters of the compressor.
struct BASS_BFX_COMPRESSOR2 {
    float fGain = 0;      // output gain, dB
    float fThreshold = 0; // dB
    float fRatio = 1;     // input dB above the threshold per output dB
    float fAttack = 10;   // ms
    float fRelease = 100; // ms
    qint32 lChannel = BASS_BFX_CHANALL;
};

// A sample callback: ABuffer holds ALength bytes of interleaved 32-bit float
// samples, changed in place. Runs on the thread that pulls the audio.
using DSPPROC = void (*)(HDSP AHandle, HSTREAM AChannel, void *ABuffer, quint32 ALength,
                         void *AUser);

// A caller-fed source: fills up to ALength bytes of interleaved 32-bit float
// samples and returns the bytes written; fewer than asked (or 0) ends the
// stream.
using STREAMPROC = quint32 (*)(HSTREAM AHandle, void *ABuffer, quint32 ALength, void *AUser);

struct BASS_CHANNELINFO {
    quint32 freq = 0;  // samples per second
    quint32 chans = 0; // interleaved channels
};

// A decode-only stream fed by AProc. Returns 0 when AFreq or AChans is 0
// (or AChans above 1024, or AProc missing).
HSTREAM BASS_StreamCreate(quint32 AFreq, quint32 AChans, STREAMPROC AProc, void *AUser);
// A decode-only stream reading a sound file (WAV, FLAC and what else the
// sound-file library reads) as float. Returns 0 and sets AError when the file
// cannot be opened.
HSTREAM BASS_StreamCreateFile(const QString &AFileName, QString *AError = nullptr);
// Frees the stream with its effects and callbacks.
bool BASS_StreamFree(HSTREAM AHandle);
bool BASS_ChannelGetInfo(HSTREAM AHandle, BASS_CHANNELINFO &AInfo);

// Produces up to ALength bytes of the channel's processed audio into
// ABuffer: the source's samples, then every effect and callback in order of
// priority (higher first; equal priorities in the order they were attached).
// Returns the bytes produced; 0 at the end of the stream; -1 for an unknown
// channel. Only whole frames are produced. One thread pulls a channel at a
// time: a call while another thread is inside for the same channel returns
// -1 without touching it.
qint32 BASS_ChannelGetData(HSTREAM AHandle, void *ABuffer, quint32 ALength);

// Attaches an effect of AType; 0 for channel 0, an unknown channel or type.
HFX BASS_ChannelSetFX(HSTREAM AChannel, quint32 AType, qint32 APriority);
bool BASS_ChannelRemoveFX(HSTREAM AChannel, HFX AFx);
// AParams points at the record of the effect's type.
bool BASS_FXSetParameters(HFX AFx, const void *AParams);
// For the equaliser, AParams->lBand names the band to read; false when the
// band does not exist.
bool BASS_FXGetParameters(HFX AFx, void *AParams);

// Attaches a sample callback; 0 for channel 0 or an unknown channel.
HDSP BASS_ChannelSetDSP(HSTREAM AChannel, DSPPROC AProc, void *AUser, qint32 APriority);
bool BASS_ChannelRemoveDSP(HSTREAM AChannel, HDSP AHandle);

// The effect add-on's version; calling it once makes sure the effect types
// exist (they always do here).
quint32 BASS_FX_GetVersion();
