#include "audio/SoundFile.h"

#include "core/NativeNames.h"

#include <sndfile.h>

namespace {

void SetError(QString *AError, const QString &AText) {
    if (AError)
        *AError = AText;
}

QString LibraryError(SNDFILE *AFile) {
    return QString::fromLocal8Bit(sf_strerror(AFile));
}

// Not one of the library's error numbers (those are small and positive).
constexpr int ShortFile = -1;

} // namespace

TSoundFileReader::~TSoundFileReader() {
    Close();
}

bool TSoundFileReader::Open(const QString &AFileName, QString *AError) {
    Close();
    SF_INFO Info{};
    FFile = sf_open(NativeName(AFileName).constData(), SFM_READ, &Info);
    if (!FFile) {
        SetError(AError, LibraryError(nullptr));
        return false;
    }
    if (Info.samplerate <= 0 || Info.channels <= 0) {
        Close();
        SetError(AError, QStringLiteral("The file holds no playable sound."));
        return false;
    }
    FInfo = {quint32(Info.samplerate), quint32(Info.channels), qint64(Info.frames), Info.format};
    // Integer samples come as float in -1..1 (the library's default, set
    // here because the engine's levels rely on it).
    sf_command(FFile, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return true;
}

qint64 TSoundFileReader::ReadFrames(float *ABuffer, qint64 AFrames) {
    if (!FFile || AFrames <= 0)
        return 0;
    // The library may return short counts before the end (for example at
    // block edges of compressed files), so read until full or dry.
    qint64 Done = 0;
    while (Done < AFrames) {
        const sf_count_t Read =
            sf_readf_float(FFile, ABuffer + std::size_t(Done) * FInfo.FChannels, AFrames - Done);
        if (Read <= 0)
            break;
        Done += Read;
    }
    FPosition += Done;
    if (Done < AFrames && FErrorCode == 0) {
        const int Code = sf_error(FFile);
        if (Code != SF_ERR_NO_ERROR)
            FErrorCode = Code;
        else if (FInfo.FFrames > 0 && FInfo.FFrames < SF_COUNT_MAX && FPosition < FInfo.FFrames)
            FErrorCode = ShortFile;
    }
    return Done;
}

QString TSoundFileReader::ErrorText() const {
    if (FErrorCode == ShortFile)
        return QStringLiteral("the file ends after %1 of the %2 frames its header gives")
            .arg(FPosition)
            .arg(FInfo.FFrames);
    return FErrorCode != 0 ? QString::fromLocal8Bit(sf_error_number(FErrorCode)) : QString();
}

void TSoundFileReader::Close() {
    if (FFile)
        sf_close(FFile);
    FFile = nullptr;
    FInfo = {};
    FPosition = 0;
    FErrorCode = 0;
}

TSoundFileWriter::~TSoundFileWriter() {
    Close();
}

bool TSoundFileWriter::Open(const QString &AFileName, const TSoundFileInfo &AInfo,
                            QString *AError) {
    Close();
    SF_INFO Info{};
    Info.samplerate = int(AInfo.FRate);
    Info.channels = int(AInfo.FChannels);
    Info.format = AInfo.FFormat;
    if (AInfo.FRate == 0 || AInfo.FChannels == 0 || !sf_format_check(&Info)) {
        SetError(AError, QStringLiteral("The sound format cannot be written."));
        return false;
    }
    FFile = sf_open(NativeName(AFileName).constData(), SFM_WRITE, &Info);
    if (!FFile) {
        SetError(AError, LibraryError(nullptr));
        return false;
    }
    FInfo = AInfo;
    // Without clipping, a float sample beyond full scale would wrap around
    // in an integer file and turn into a loud click.
    sf_command(FFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool TSoundFileWriter::WriteFrames(const float *ABuffer, qint64 AFrames, QString *AError) {
    if (!FFile) {
        SetError(AError, QStringLiteral("The sound file is not open."));
        return false;
    }
    if (AFrames <= 0)
        return true;
    if (sf_writef_float(FFile, ABuffer, AFrames) != AFrames) {
        SetError(AError, LibraryError(FFile));
        return false;
    }
    return true;
}

bool TSoundFileWriter::Close(QString *AError) {
    if (!FFile)
        return true;
    // sf_close reports a failed header update only through its result.
    const int Result = sf_close(FFile);
    FFile = nullptr;
    FInfo = {};
    if (Result != 0) {
        SetError(AError, QString::fromLocal8Bit(sf_error_number(Result)));
        return false;
    }
    return true;
}
