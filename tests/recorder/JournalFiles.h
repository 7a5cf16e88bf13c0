#pragma once
// Journals made by hand, as a recorder leaves them: header, blocks of the
// test signal, and whatever damage a test adds.

#include "TakeSignals.h"
#include "recorder/TakeJournal.h"

#include <QFile>
#include <QString>
#include <cstring>
#include <vector>

struct THandJournal {
    QByteArray FBytes;
    std::vector<qsizetype> FBlockEnds; // offset after each block
    long long FFrames = 0;
};

// A journal with one block per entry of ABlockFrames, holding the signal
// from frame 0 on.
inline THandJournal MakeJournal(const TJournalHeader &AHeader,
                                const std::vector<std::uint32_t> &ABlockFrames) {
    THandJournal Journal;
    char Head[JournalHeaderSize];
    EncodeJournalHeader(AHeader, Head);
    Journal.FBytes.append(Head, sizeof Head);
    std::uint32_t Sequence = 0;
    for (const std::uint32_t Frames : ABlockFrames) {
        const std::vector<float> Samples = SignalBlock(Journal.FFrames, Frames, AHeader.FChannels);
        char BlockHead[JournalBlockHeaderSize];
        EncodeBlockHeader(Sequence++, Samples.data(), Frames, AHeader.FChannels, BlockHead);
        Journal.FBytes.append(BlockHead, sizeof BlockHead);
        Journal.FBytes.append(reinterpret_cast<const char *>(Samples.data()),
                              qsizetype(Samples.size() * sizeof(float)));
        Journal.FBlockEnds.push_back(Journal.FBytes.size());
        Journal.FFrames += Frames;
    }
    return Journal;
}

inline bool SaveBytes(const QString &APath, const QByteArray &ABytes) {
    QFile File(APath);
    return File.open(QIODevice::WriteOnly) && File.write(ABytes) == ABytes.size();
}

inline TJournalHeader SignalHeader(const QString &AName, unsigned AChannels = 2) {
    TJournalHeader Header;
    Header.FRate = SignalRate;
    Header.FChannels = AChannels;
    Header.FStartMs = 1700000000123;
    Header.FTakeName = AName;
    return Header;
}
