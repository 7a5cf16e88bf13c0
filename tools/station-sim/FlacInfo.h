#pragma once
// The stream information at the start of a FLAC file.

#include <QtGlobal>
#include <optional>
#include <string_view>

struct TFlacStreamInfo {
    quint32 SampleRate = 0; // Hz
    quint32 Channels = 0;
    quint32 BitsPerSample = 0;
    quint64 TotalSamples = 0; // per channel; 0 when the encoder did not know

    // TotalSamples / SampleRate in whole milliseconds (truncated).
    qint64 DurationMs() const;
};

// Bytes a FLAC file needs at least: "fLaC", one block header, STREAMINFO.
inline constexpr std::size_t FlacHeadSize = 4 + 4 + 34;

// Reads the STREAMINFO block from the first bytes of a file. Gives nothing
// when the bytes do not start a FLAC file: no "fLaC" marker, a first metadata
// block that is not STREAMINFO, a block that is too short, or a sample rate of 0.
std::optional<TFlacStreamInfo> ReadFlacStreamInfo(std::string_view AHead);
