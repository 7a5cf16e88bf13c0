#include "remote/UploadBody.h"

#include <algorithm>
#include <cstring>
#include <utility>

TUploadBody::TUploadBody(QByteArray APrefix, QByteArray AFileBytes)
    : FPrefix(std::move(APrefix)), FFile(std::move(AFileBytes)), FTrack(FFile) {}

qint64 TUploadBody::Size() const {
    // A counting pass over the whole file: worth doing once only.
    if (FSize < 0)
        FSize = FPrefix.size() + EncodedVoiceTrackSize(FFile);
    return FSize;
}

std::size_t TUploadBody::Read(char *ADest, std::size_t AMax) {
    if (AMax == 0)
        return 0;
    std::size_t n = 0;
    if (FPrefixSent < FPrefix.size()) {
        n = std::min<std::size_t>(AMax, static_cast<std::size_t>(FPrefix.size() - FPrefixSent));
        std::memcpy(ADest, FPrefix.constData() + FPrefixSent, n);
        FPrefixSent += static_cast<qsizetype>(n);
    }
    return n + FTrack.Read(ADest + n, AMax - n);
}

void TUploadBody::Rewind() {
    FPrefixSent = 0;
    FTrack.Rewind();
}

QByteArray TUploadBody::All() const {
    QByteArray out(Size(), Qt::Uninitialized);
    std::memcpy(out.data(), FPrefix.constData(), static_cast<std::size_t>(FPrefix.size()));
    // A fresh encoder, so that a transfer in progress is not disturbed.
    TVoiceTrackEncoder track(FFile);
    const std::size_t rest = static_cast<std::size_t>(out.size() - FPrefix.size());
    const std::size_t written = track.Read(out.data() + FPrefix.size(), rest);
    Q_ASSERT(written == rest);
    Q_UNUSED(written);
    return out;
}
