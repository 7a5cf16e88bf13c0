#pragma once
// log2 and exp2 cheap enough for the compressor's control rate, accurate to
// about 1e-6 dB, far below anything audible. Neither calls the C library,
// so they are safe on the audio path. FastLog2 wants a positive, finite,
// normal number; FastExp2 gives 0 below -1000 and saturates at 2^1000.

#include <QtGlobal>
#include <bit>

inline double FastLog2(double AValue) {
    // AValue = m 2^e with m in [sqrt(1/2), sqrt(2)); then
    // log2(m) = 2/ln2 (t + t^3/3 + t^5/5 + t^7/7 + ...), t = (m-1)/(m+1),
    // |t| <= 0.172, so the terms up to t^7 leave an error below 1e-7.
    const quint64 Bits = std::bit_cast<quint64>(AValue);
    int Exponent = int((Bits >> 52) & 0x7FF) - 1023;
    double M = std::bit_cast<double>((Bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    if (M > 1.4142135623730951) {
        M *= 0.5;
        ++Exponent;
    }
    const double T = (M - 1) / (M + 1);
    const double T2 = T * T;
    const double Series = T * ((1 + T2 * (1.0 / 3)) + (T2 * T2) * (1.0 / 5 + T2 * (1.0 / 7)));
    return Exponent + 2.8853900817779268 * Series; // 2 / ln 2
}

inline double FastExp2(double AValue) {
    // 2^x = 2^i e^(f ln2) with i the nearest whole number, |f| <= 1/2, and
    // e^y from its Taylor series up to y^6 (|y| <= 0.35: error below 2e-7,
    // 1e-6 dB), grouped so that the terms do not wait on each other.
    if (AValue < -1000)
        return 0;
    if (AValue > 1000)
        AValue = 1000;
    const double Shifted = AValue + 0.5;
    qint64 I = qint64(Shifted);
    if (double(I) > Shifted)
        --I;
    const double Y = (AValue - double(I)) * 0.6931471805599453;
    const double Y2 = Y * Y;
    const double Y4 = Y2 * Y2;
    const double P = (1 + Y) + Y2 * (1.0 / 2 + Y * (1.0 / 6)) +
                     Y4 * ((1.0 / 24 + Y * (1.0 / 120)) + Y2 * (1.0 / 720));
    return P * std::bit_cast<double>(quint64(I + 1023) << 52);
}
