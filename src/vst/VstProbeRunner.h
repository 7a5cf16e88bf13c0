#pragma once
// Runs the scanning helper on plug-in files and turns what happened into an
// outcome: the helper is started without a shell, its answer read within a
// bound, and a helper that takes longer than the time limit is killed (with
// whatever it started) and reaped. A crash, a hang or a garbled answer costs
// one file, never the program.
//
// Threads: any; ProbeVstFiles runs several probes at once on threads of its
// own and returns when all are done.

#include "vst/VstProbe.h"

#include <QString>
#include <chrono>
#include <vector>

// How long one probe may take before it counts as hung.
inline constexpr std::chrono::milliseconds VstProbeTimeLimit{10000};
// The most of the helper's standard output that is read.
inline constexpr qsizetype VstProbeMaxOutput = 4 * 1024 * 1024;

enum TVstProbeKind {
    vpDescribed,   // Info holds the description
    vpLeftOut,     // not a plug-in: left out without a message
    vpFailed,      // the plug-in is broken; Reason says how, for the user
    vpHelperFault, // the helper could not be run or was used wrongly: no verdict on the file
};

struct TVstProbeOutcome {
    TVstProbeKind Kind = vpFailed;
    TVstProbeInfo Info;
    QString Reason;
    // A failure that is no lasting verdict on the file (it ran out of time).
    bool TimedOut = false;
};

// Probes one file with AHelper (the vocarra-vstscan program).
TVstProbeOutcome ProbeVstFile(const QString &AHelper, const TVstProbeRequest &ARequest,
                              std::chrono::milliseconds ATimeLimit = VstProbeTimeLimit);

// Probes every file of AFiles, up to AParallel at once (0: as many as the
// machine has cores); the outcomes are in the order of AFiles.
std::vector<TVstProbeOutcome>
ProbeVstFiles(const QString &AHelper, const std::vector<QString> &AFiles,
              std::chrono::milliseconds ATimeLimit = VstProbeTimeLimit, unsigned AParallel = 0);

// "did not answer within 10 s"
QString ProbeTimeOutReason(std::chrono::milliseconds ATimeLimit);
// "crashed with signal 11 (SIGSEGV)"
QString ProbeSignalReason(int ASignal);
