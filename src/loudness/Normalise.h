#pragma once
// Measuring a sound file's loudness and writing a copy of it brought to a
// loudness target: the recorder's takes and the voice tracks picked for
// upload. The original is only read; the copy appears under its name only
// once it is whole (WriteFileAtomically), in the container, sample format
// and rate of the original.
//
// Both run on whatever thread calls them (a worker, not the GUI thread: they
// read the whole file, normalising twice), report progress from that thread
// and stop soon after the cancel flag is set.

#include "loudness/LoudnessTarget.h"

#include <QString>
#include <atomic>
#include <functional>
#include <optional>

struct TLoudnessMeasurement {
    double FIntegratedLufs = 0; // -inf when nothing reaches the gate
    double FTruePeakDb = 0;     // -inf for digital silence
    qint64 FFrames = 0;
    quint32 FRate = 0;
    quint32 FChannels = 0;
};

// The share of the work done, 0 to 1.
using TLoudnessProgress = std::function<void(double AFraction)>;

// The loudness of AFile; std::nullopt with AError set when it cannot be read
// or the work was cancelled.
std::optional<TLoudnessMeasurement> MeasureFile(const QString &AFile, QString *AError = nullptr,
                                                const TLoudnessProgress &AProgress = {},
                                                const std::atomic<bool> *ACancel = nullptr);

struct TNormaliseResult {
    bool FOk = false;
    bool FCancelled = false;
    QString FError; // when not FOk, for the presenter
    TLoudnessMeasurement FBefore;
    TNormalisePlan FPlan;
    TLoudnessMeasurement FAfter; // of the samples written
};

// Measures AIn, plans the gain for ATarget (NormaliseGain) and writes the
// result to AOut, through the true-peak limiter when the plan asks for it.
// AOut may not be AIn. Progress runs 0 to 0.5 while measuring, on to 1 while
// writing.
TNormaliseResult NormaliseFile(const QString &AIn, const QString &AOut,
                               const TLoudnessTarget &ATarget,
                               const TLoudnessProgress &AProgress = {},
                               const std::atomic<bool> *ACancel = nullptr);
