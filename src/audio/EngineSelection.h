#pragma once
// Which channels of a stream an effect works on. The effect records carry a
// channel selection: -1 is every channel; any other value is a bit mask,
// bit 0 the first channel, bit 1 the second and so on (0 selects none).
// Negative values other than -1 select every channel too. Streams have at
// most MaxStreamChannels channels; a mask reaches the first 31 of them,
// "every channel" all of them.

#include <QtGlobal>

inline constexpr quint32 MaxStreamChannels = 1024;

// The internal form: all bits set means every channel, however many.
inline constexpr quint64 AllChannels = ~quint64(0);

inline quint64 ChannelSelectionMask(qint32 AChannel) {
    if (AChannel < 0)
        return AllChannels;
    return quint64(quint32(AChannel));
}

inline bool IsChannelSelected(quint64 AMask, quint32 AChannel) {
    return AMask == AllChannels || (AChannel < 64 && ((AMask >> AChannel) & 1) != 0);
}
