#pragma once
// Recursive filters fed with silence decay towards numbers so small that the
// processor handles them in slow microcode, which can make a quiet buffer
// take a hundred times longer than a loud one. While one of these guards
// lives, the current thread flushes such numbers to zero; the caller's
// floating-point mode is restored afterwards. It is a register write, not a
// system call, so the audio path may use it.

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

class TDenormalGuard {
public:
#if defined(__SSE2__)
    // Flush-to-zero (bit 15) and denormals-are-zero (bit 6).
    TDenormalGuard() : FSaved(_mm_getcsr()) {
        _mm_setcsr(FSaved | 0x8040u);
    }
    ~TDenormalGuard() {
        _mm_setcsr(FSaved);
    }

private:
    unsigned FSaved;
#else
    // Elsewhere the filters also clear tiny state values after every buffer.
    TDenormalGuard() = default;
#endif

public:
    TDenormalGuard(const TDenormalGuard &) = delete;
    TDenormalGuard &operator=(const TDenormalGuard &) = delete;
};
