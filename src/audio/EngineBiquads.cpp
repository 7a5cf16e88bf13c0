#include "audio/EngineBiquads.h"

#include <algorithm>
#include <cstring>

namespace {

// W doubles per register: W / 2 stages of two lanes each.
using TVec2 = double __attribute__((vector_size(16)));
using TVec4 = double __attribute__((vector_size(32)));
using TVec8 = double __attribute__((vector_size(64)));
using TMask2 = long long __attribute__((vector_size(16)));
using TMask4 = long long __attribute__((vector_size(32)));
using TMask8 = long long __attribute__((vector_size(64)));

template <int W> struct TVecOf;
template <> struct TVecOf<2> {
    using Type = TVec2;
    using Mask = TMask2;
};
template <> struct TVecOf<4> {
    using Type = TVec4;
    using Mask = TMask4;
};
template <> struct TVecOf<8> {
    using Type = TVec8;
    using Mask = TMask8;
};
template <int W> using TVec = typename TVecOf<W>::Type;

// One step of a pass: every stage of every register once. With AEdge, the
// stages that have no frame in this step (stage J works on frame AStep - J)
// keep their memory.
template <int W, int M, bool AEdge>
[[gnu::always_inline]] inline void
Step(typename TVecOf<W>::Type (&AY)[M], typename TVecOf<W>::Type (&AZ1)[M],
     typename TVecOf<W>::Type (&AZ2)[M], const typename TVecOf<W>::Type (&AB0)[M],
     const typename TVecOf<W>::Type (&AB1)[M], const typename TVecOf<W>::Type (&AB2)[M],
     const typename TVecOf<W>::Type (&AA1)[M], const typename TVecOf<W>::Type (&AA2)[M],
     typename TVecOf<W>::Type AIn, qint64 AStep, qint64 AFrames) {
    using V = TVec<W>;
    constexpr int G = W / 2;
    // Every stage takes what the stage below produced in the previous step:
    // lanes move up by two, and a register's first stage takes the last two
    // lanes of the register below (or the input).
    V X[M];
#pragma GCC unroll 8
    for (int R = 0; R < M; ++R) {
        const V Below = R == 0 ? AIn : AY[R - 1];
        if constexpr (W == 2)
            X[R] = Below;
        else if constexpr (W == 4)
            X[R] = __builtin_shufflevector(AY[R], Below, 6, 7, 0, 1);
        else
            X[R] = __builtin_shufflevector(AY[R], Below, 14, 15, 0, 1, 2, 3, 4, 5);
    }
    V Old1[M], Old2[M];
    if constexpr (AEdge) {
#pragma GCC unroll 8
        for (int R = 0; R < M; ++R) {
            Old1[R] = AZ1[R];
            Old2[R] = AZ2[R];
        }
    }
    // Transposed direct form II:
    //   y = b0 x + z1;   z1 = (b1 x + z2) - a1 y;   z2 = b2 x - a2 y
    // (the grouping keeps the recursion through y short).
#pragma GCC unroll 8
    for (int R = 0; R < M; ++R) {
        const V Out = AB0[R] * X[R] + AZ1[R];
        AZ1[R] = (AB1[R] * X[R] + AZ2[R]) - AA1[R] * Out;
        AZ2[R] = AB2[R] * X[R] - AA2[R] * Out;
        AY[R] = Out;
    }
    if constexpr (AEdge) {
        // Stage J works on frame AStep - J; outside the buffer its memory
        // stays as it was.
#pragma GCC unroll 8
        for (int R = 0; R < M; ++R) {
            typename TVecOf<W>::Mask Keep;
            long long Lanes[W];
            for (int L = 0; L < W; ++L) {
                const qint64 Frame = AStep - (R * G + L / 2);
                Lanes[L] = Frame < 0 || Frame >= AFrames ? -1 : 0;
            }
            std::memcpy(&Keep, Lanes, sizeof Keep);
            AZ1[R] = Keep ? Old1[R] : AZ1[R];
            AZ2[R] = Keep ? Old2[R] : AZ2[R];
        }
    }
}

// One pass of M registers (M * W / 2 stage places). The ACount stages fill
// the top places; the places below them hold the identity, which passes
// samples on unchanged, so the pass's output always leaves from the top two
// lanes of the last register, and every index into the registers is known
// when compiling (which keeps them in registers).
template <int W, int M>
[[gnu::always_inline]] inline void RunPass(TBiquadLanes *AStages, int ACount, float *AData,
                                           quint32 AFrames, quint32 AStride, bool ATwoLanes) {
    constexpr int G = W / 2;
    constexpr int Places = M * G;
    using V = TVec<W>;
    const int Pad = Places - ACount;
    V B0[M], B1[M], B2[M], A1[M], A2[M], Z1[M], Z2[M], Y[M];
#pragma GCC unroll 8
    for (int R = 0; R < M; ++R) {
        // Lanes are gathered in plain arrays and copied in whole, rather
        // than written one by one into the registers.
        double b0[W], b1[W], b2[W], a1[W], a2[W], z1[W], z2[W];
        for (int L = 0; L < W; ++L) {
            const int J = R * G + L / 2 - Pad, C = L % 2;
            const bool Real = J >= 0;
            b0[L] = Real ? AStages[J].b0[C] : 1;
            b1[L] = Real ? AStages[J].b1[C] : 0;
            b2[L] = Real ? AStages[J].b2[C] : 0;
            a1[L] = Real ? AStages[J].a1[C] : 0;
            a2[L] = Real ? AStages[J].a2[C] : 0;
            z1[L] = Real ? AStages[J].z1[C] : 0;
            z2[L] = Real ? AStages[J].z2[C] : 0;
        }
        std::memcpy(&B0[R], b0, sizeof(V));
        std::memcpy(&B1[R], b1, sizeof(V));
        std::memcpy(&B2[R], b2, sizeof(V));
        std::memcpy(&A1[R], a1, sizeof(V));
        std::memcpy(&A2[R], a2, sizeof(V));
        std::memcpy(&Z1[R], z1, sizeof(V));
        std::memcpy(&Z2[R], z2, sizeof(V));
        Y[R] = V{};
    }
    constexpr int Last = Places - 1; // frames between entering and leaving
    const qint64 Frames = AFrames;
    const qint64 Steps = Frames + Last;
    // The steady part, where every stage has a frame, runs without checks.
    const qint64 SteadyFrom = std::min<qint64>(Last, Frames);
    const qint64 SteadyTo = std::max<qint64>(Frames, SteadyFrom);
    for (qint64 N = 0; N < Steps; ++N) {
        // The new frame enters the lanes of the stage below stage 0.
        double X0 = 0, X1 = 0;
        if (N < Frames) {
            const float *P = AData + N * AStride;
            X0 = P[0];
            X1 = ATwoLanes ? P[1] : 0.0f;
        }
        V In;
        if constexpr (W == 2)
            In = V{X0, X1};
        else if constexpr (W == 4)
            In = V{0, 0, X0, X1};
        else
            In = V{0, 0, 0, 0, 0, 0, X0, X1};
        if (N >= SteadyFrom && N < SteadyTo)
            Step<W, M, false>(Y, Z1, Z2, B0, B1, B2, A1, A2, In, N, Frames);
        else
            Step<W, M, true>(Y, Z1, Z2, B0, B1, B2, A1, A2, In, N, Frames);
        const qint64 Done = N - Last;
        if (Done >= 0) {
            float *P = AData + Done * AStride;
            P[0] = float(Y[M - 1][W - 2]);
            if (ATwoLanes)
                P[1] = float(Y[M - 1][W - 1]);
        }
    }
#pragma GCC unroll 8
    for (int R = 0; R < M; ++R)
#pragma GCC unroll 8
        for (int L = 0; L < W; ++L) {
            const int J = R * G + L / 2 - Pad, C = L % 2;
            if (J >= 0) {
                AStages[J].z1[C] = Z1[R][L];
                AStages[J].z2[C] = Z2[R][L];
            }
        }
}

// Passes of at most four registers, so coefficients and memory mostly stay
// in registers.
template <int W>
[[gnu::always_inline]] inline void RunCascade(TBiquadLanes *AStages, int ACount, float *AData,
                                              quint32 AFrames, quint32 AStride, bool ATwoLanes) {
    constexpr int G = W / 2;
    while (ACount > 0 && AFrames > 0) {
        const int Count = std::min(ACount, 4 * G);
        switch ((Count + G - 1) / G) {
        case 1:
            RunPass<W, 1>(AStages, Count, AData, AFrames, AStride, ATwoLanes);
            break;
        case 2:
            RunPass<W, 2>(AStages, Count, AData, AFrames, AStride, ATwoLanes);
            break;
        case 3:
            RunPass<W, 3>(AStages, Count, AData, AFrames, AStride, ATwoLanes);
            break;
        default:
            RunPass<W, 4>(AStages, Count, AData, AFrames, AStride, ATwoLanes);
            break;
        }
        AStages += Count;
        ACount -= Count;
    }
}

void CascadePlain(TBiquadLanes *AStages, int ACount, float *AData, quint32 AFrames, quint32 AStride,
                  bool ATwoLanes) {
    RunCascade<2>(AStages, ACount, AData, AFrames, AStride, ATwoLanes);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void CascadeAvx2(TBiquadLanes *AStages, int ACount, float *AData,
                                                 quint32 AFrames, quint32 AStride, bool ATwoLanes) {
    RunCascade<4>(AStages, ACount, AData, AFrames, AStride, ATwoLanes);
}

__attribute__((target("avx512f"))) void CascadeAvx512(TBiquadLanes *AStages, int ACount,
                                                      float *AData, quint32 AFrames,
                                                      quint32 AStride, bool ATwoLanes) {
    RunCascade<8>(AStages, ACount, AData, AFrames, AStride, ATwoLanes);
}
#endif

} // namespace

TBiquadCascadeProc BestBiquadCascade() {
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f"))
        return &CascadeAvx512;
    if (__builtin_cpu_supports("avx2"))
        return &CascadeAvx2;
#endif
    return &CascadePlain;
}

std::vector<TBiquadCascadeVersion> BiquadCascadeVersions() {
    std::vector<TBiquadCascadeVersion> Versions{{"plain", &CascadePlain}};
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        Versions.push_back({"avx2", &CascadeAvx2});
    if (__builtin_cpu_supports("avx512f"))
        Versions.push_back({"avx512", &CascadeAvx512});
#endif
    return Versions;
}
