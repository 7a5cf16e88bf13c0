#include "FlacInfo.h"

namespace {

quint32 Byte(std::string_view AData, std::size_t AIndex) {
    return quint8(AData[AIndex]);
}

} // namespace

qint64 TFlacStreamInfo::DurationMs() const {
    if (SampleRate == 0)
        return 0;
    // At most 2^36 samples, so the product stays far below 2^63.
    return qint64(TotalSamples * 1000 / SampleRate);
}

std::optional<TFlacStreamInfo> ReadFlacStreamInfo(std::string_view AHead) {
    if (AHead.size() < FlacHeadSize || AHead.substr(0, 4) != "fLaC")
        return std::nullopt;
    // Block header: last-block flag and 7-bit type, then a 24-bit length.
    const quint32 type = Byte(AHead, 4) & 0x7f;
    const quint32 length = (Byte(AHead, 5) << 16) | (Byte(AHead, 6) << 8) | Byte(AHead, 7);
    if (type != 0 || length < 34)
        return std::nullopt;

    // STREAMINFO: min/max block size (2 x 16 bits), min/max frame size
    // (2 x 24 bits), then sample rate (20), channels - 1 (3), bits - 1 (5),
    // total samples (36), MD5 (128).
    const std::string_view info = AHead.substr(8);
    TFlacStreamInfo result;
    result.SampleRate = (Byte(info, 10) << 12) | (Byte(info, 11) << 4) | (Byte(info, 12) >> 4);
    result.Channels = ((Byte(info, 12) >> 1) & 0x7) + 1;
    result.BitsPerSample = (((Byte(info, 12) & 0x1) << 4) | (Byte(info, 13) >> 4)) + 1;
    result.TotalSamples = (quint64(Byte(info, 13) & 0xf) << 32) | (quint64(Byte(info, 14)) << 24) |
                          (Byte(info, 15) << 16) | (Byte(info, 16) << 8) | Byte(info, 17);
    if (result.SampleRate == 0)
        return std::nullopt;
    return result;
}
