// The equaliser's filter kernels against a plain stage-after-stage cascade:
// the skewed kernels must give the same samples for any number of stages,
// channels and frames, and however the audio is cut into buffers.

#include "audio/EngineBiquads.h"
#include "audio/PeakEq.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

struct TStageCoeffs {
    double b0, b1, b2, a1, a2;
};

// Stable, distinct peaking stages across the spectrum.
std::vector<TStageCoeffs> MakeStages(int ACount) {
    std::vector<TStageCoeffs> Stages;
    for (int I = 0; I < ACount; ++I) {
        const TBiquadCoeffs C = PeakingCoeffs(48000, 40.0 * std::pow(1.9, I % 12),
                                              (I % 2 ? -1 : 1) * (3.0 + I % 7), 1.5, 0);
        Stages.push_back({C.b0, C.b1, C.b2, C.a1, C.a2});
    }
    return Stages;
}

std::vector<float> Noise(std::size_t ACount, unsigned ASeed) {
    std::mt19937 Gen(ASeed);
    std::uniform_real_distribution<float> Dist(-0.5f, 0.5f);
    std::vector<float> Out(ACount);
    for (float &X : Out)
        X = Dist(Gen);
    return Out;
}

// Every stage over the whole signal, then the next stage, in double; one
// channel of AChannels interleaved.
std::vector<double> Reference(const std::vector<TStageCoeffs> &AStages,
                              const std::vector<float> &AInput, int AChannels, int AChannel) {
    std::vector<double> X;
    for (std::size_t I = AChannel; I < AInput.size(); I += AChannels)
        X.push_back(AInput[I]);
    for (const TStageCoeffs &S : AStages) {
        double Z1 = 0, Z2 = 0;
        for (double &V : X) {
            const double Y = S.b0 * V + Z1;
            Z1 = S.b1 * V + Z2 - S.a1 * Y;
            Z2 = S.b2 * V - S.a2 * Y;
            V = Y;
        }
    }
    return X;
}

// Runs AKernel over AData (AChannels interleaved) in pieces of APiece frames,
// keeping the stage memory between pieces like the equaliser does.
void RunKernel(TBiquadCascadeProc AKernel, const std::vector<TStageCoeffs> &AStages,
               std::vector<float> &AData, int AChannels, quint32 APiece) {
    const quint32 Frames = quint32(AData.size() / AChannels);
    for (int First = 0; First < AChannels; First += 2) {
        const bool Two = First + 1 < AChannels;
        std::vector<TBiquadLanes> Lanes(AStages.size());
        for (std::size_t J = 0; J < AStages.size(); ++J) {
            const TStageCoeffs &S = AStages[J];
            // Each channel carries different noise, so a swap of lanes would
            // show against the reference.
            Lanes[J] = TBiquadLanes{{S.b0, S.b0}, {S.b1, S.b1}, {S.b2, S.b2}, {S.a1, S.a1},
                                    {S.a2, S.a2}, {0, 0},       {0, 0}};
        }
        for (quint32 Done = 0; Done < Frames; Done += APiece)
            AKernel(Lanes.data(), int(Lanes.size()),
                    AData.data() + std::size_t(Done) * AChannels + First,
                    std::min(APiece, Frames - Done), quint32(AChannels), Two);
    }
}

struct TKernelCase {
    int FStages;
    int FChannels;
    quint32 FFrames;
    quint32 FPiece;
};

class PeakEqKernel : public testing::TestWithParam<TKernelCase> {};

TEST_P(PeakEqKernel, MatchesTheStageAfterStageCascade) {
    const TKernelCase &Case = GetParam();
    const auto Stages = MakeStages(Case.FStages);
    const auto Input = Noise(std::size_t(Case.FFrames) * Case.FChannels, 7);
    for (const TBiquadCascadeVersion &Version : BiquadCascadeVersions()) {
        SCOPED_TRACE(Version.FName);
        auto Data = Input;
        RunKernel(Version.FProc, Stages, Data, Case.FChannels, Case.FPiece);
        for (int C = 0; C < Case.FChannels; ++C) {
            const auto Want = Reference(Stages, Input, Case.FChannels, C);
            for (quint32 F = 0; F < Case.FFrames; ++F) {
                const double Got = Data[std::size_t(F) * Case.FChannels + C];
                // Float rounding between passes: a few float steps of the
                // signal's size.
                ASSERT_NEAR(Got, Want[F], 2e-6 * (1 + std::fabs(Want[F])))
                    << "channel " << C << " frame " << F;
            }
        }
    }
}

// Stage counts around every register and pass boundary (1, 2, 4 stages per
// register; 4 registers per pass), buffers shorter than the skew, and
// buffers cut into odd pieces.
const TKernelCase KernelCases[] = {
    {1, 2, 1000, 1000},  {2, 2, 1000, 1000},  {3, 2, 1000, 1000},  {4, 2, 1000, 1000},
    {5, 2, 1000, 1000},  {7, 2, 1000, 1000},  {8, 2, 1000, 1000},  {9, 2, 1000, 1000},
    {10, 2, 1000, 1000}, {15, 2, 999, 999},   {16, 2, 1000, 1000}, {17, 2, 1000, 1000},
    {33, 2, 600, 600},   {10, 1, 1000, 1000}, {10, 3, 1000, 1000}, {6, 5, 700, 700},
    {10, 2, 5, 5},       {16, 2, 3, 3},       {10, 2, 1000, 1},    {10, 2, 1000, 7},
    {12, 2, 4096, 333},  {10, 2, 0, 1},
};

INSTANTIATE_TEST_SUITE_P(Shapes, PeakEqKernel, testing::ValuesIn(KernelCases),
                         [](const auto &AInfo) {
                             const TKernelCase &C = AInfo.param;
                             return "Stages" + std::to_string(C.FStages) + "Channels" +
                                    std::to_string(C.FChannels) + "Frames" +
                                    std::to_string(C.FFrames) + "Piece" + std::to_string(C.FPiece);
                         });

TEST(PeakEqKernelCuts, BufferCutsDoNotChangeTheResult) {
    // However the audio is cut into buffers, the same kernel gives the same
    // floats: the stage memory carries over exactly.
    const auto Stages = MakeStages(10);
    const auto Input = Noise(3000 * 2, 3);
    for (const TBiquadCascadeVersion &Version : BiquadCascadeVersions()) {
        SCOPED_TRACE(Version.FName);
        auto Whole = Input;
        RunKernel(Version.FProc, Stages, Whole, 2, 3000);
        for (quint32 Piece : {1u, 2u, 9u, 10u, 11u, 64u, 1000u}) {
            SCOPED_TRACE(Piece);
            auto Cut = Input;
            RunKernel(Version.FProc, Stages, Cut, 2, Piece);
            EXPECT_EQ(Cut, Whole);
        }
    }
}

TEST(PeakEqKernelCuts, IdentityLanesPassSamplesExactly) {
    // A lane holding the identity (a band not selected for that channel)
    // must hand its channel through bit for bit, whatever the other lane does.
    const auto Stages = MakeStages(9);
    std::vector<TBiquadLanes> Lanes(Stages.size());
    for (std::size_t J = 0; J < Stages.size(); ++J)
        Lanes[J] = TBiquadLanes{{Stages[J].b0, 1},
                                {Stages[J].b1, 0},
                                {Stages[J].b2, 0},
                                {Stages[J].a1, 0},
                                {Stages[J].a2, 0},
                                {0, 0},
                                {0, 0}};
    const auto Input = Noise(500 * 2, 5);
    for (const TBiquadCascadeVersion &Version : BiquadCascadeVersions()) {
        SCOPED_TRACE(Version.FName);
        auto Data = Input;
        auto Copy = Lanes;
        Version.FProc(Copy.data(), int(Copy.size()), Data.data(), 500, 2, true);
        for (std::size_t F = 0; F < 500; ++F)
            ASSERT_EQ(Data[2 * F + 1], Input[2 * F + 1]) << F;
        EXPECT_NE(Data[100], Input[100]);
    }
}

} // namespace
