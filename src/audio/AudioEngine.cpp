#include "audio/AudioEngine.h"

#include "audio/EngineRegistry.h"
#include "audio/EngineSelection.h"

// Everything goes through the one registry; see EngineRegistry.h for the
// handle rules and EngineChannel.h for how a buffer is produced.

namespace {

// The effect types are built in; this is the version the callers see.
constexpr quint32 EffectsVersion = 0x02040000;

} // namespace

HSTREAM BASS_StreamCreate(quint32 AFreq, quint32 AChans, STREAMPROC AProc, void *AUser) {
    if (AFreq == 0 || AChans == 0 || AChans > MaxStreamChannels || !AProc)
        return 0;
    return TEngineRegistry::Instance().AddChannel(
        std::make_unique<TEngineChannel>(AFreq, AChans, MakeProcSource(AChans, AProc, AUser)));
}

HSTREAM BASS_StreamCreateFile(const QString &AFileName, QString *AError) {
    auto Reader = std::make_unique<TSoundFileReader>();
    if (!Reader->Open(AFileName, AError))
        return 0;
    const TSoundFileInfo Info = Reader->Info();
    if (Info.FChannels > MaxStreamChannels) {
        if (AError)
            *AError = QStringLiteral("The file has too many channels.");
        return 0;
    }
    const HSTREAM Handle = TEngineRegistry::Instance().AddChannel(std::make_unique<TEngineChannel>(
        Info.FRate, Info.FChannels, MakeFileSource(std::move(Reader))));
    if (Handle == 0 && AError)
        *AError = QStringLiteral("Too many open streams.");
    return Handle;
}

bool BASS_StreamFree(HSTREAM AHandle) {
    return TEngineRegistry::Instance().FreeChannel(AHandle);
}

bool BASS_ChannelGetInfo(HSTREAM AHandle, BASS_CHANNELINFO &AInfo) {
    return TEngineRegistry::Instance().ChannelInfo(AHandle, AInfo);
}

qint32 BASS_ChannelGetData(HSTREAM AHandle, void *ABuffer, quint32 ALength) {
    return TEngineRegistry::Instance().GetData(AHandle, ABuffer, ALength);
}

HFX BASS_ChannelSetFX(HSTREAM AChannel, quint32 AType, qint32 APriority) {
    return TEngineRegistry::Instance().AddEffect(AChannel, AType, APriority);
}

bool BASS_ChannelRemoveFX(HSTREAM AChannel, HFX AFx) {
    return TEngineRegistry::Instance().RemoveEffect(AChannel, AFx);
}

bool BASS_FXSetParameters(HFX AFx, const void *AParams) {
    return TEngineRegistry::Instance().SetEffectParameters(AFx, AParams);
}

bool BASS_FXGetParameters(HFX AFx, void *AParams) {
    return TEngineRegistry::Instance().GetEffectParameters(AFx, AParams);
}

HDSP BASS_ChannelSetDSP(HSTREAM AChannel, DSPPROC AProc, void *AUser, qint32 APriority) {
    return TEngineRegistry::Instance().AddCallback(AChannel, AProc, AUser, APriority);
}

bool BASS_ChannelRemoveDSP(HSTREAM AChannel, HDSP AHandle) {
    return TEngineRegistry::Instance().RemoveCallback(AChannel, AHandle);
}

quint32 BASS_FX_GetVersion() {
    TEngineRegistry::Instance();
    return EffectsVersion;
}
