#pragma once
// The hand-over from the capture thread to the take writer: a single-producer
// single-consumer ring of float samples. The capture side never waits and
// never allocates: a block that does not fit is dropped whole and counted as
// an overrun, so channels stay interleaved and the writer never sees half a
// frame.
//
// Each side owns one running count (written only by that side, published with
// release once its copy is done) and reads the other's with acquire. The
// counts run freely over 64 bits and are masked into the buffer, so full and
// empty differ without a spare slot.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

// The padding is the point: each side's count on a cache line of its own.
class TSampleRing { // NOLINT(clang-analyzer-optin.performance.Padding)
public:
    // ACapacity samples, rounded up to a power of two (at least 2). The only
    // allocation the ring makes.
    explicit TSampleRing(std::size_t ACapacity);
    TSampleRing(const TSampleRing &) = delete;
    TSampleRing &operator=(const TSampleRing &) = delete;

    std::size_t Capacity() const { return FMask + 1; }

    // Producer side, wait-free. Copies all ASize samples, or none when they do
    // not fit (then counts one overrun and ASize lost samples) and returns
    // false.
    bool Push(const float *ASamples, std::size_t ASize);

    // Consumer side. Copies up to AMax samples, oldest first, and returns how
    // many.
    std::size_t Pop(float *ATarget, std::size_t AMax);

    // Samples waiting; exact on the consumer side, a lower bound elsewhere.
    std::size_t Available() const;

    // Blocks dropped because the ring was full, and the samples they held.
    // Any thread.
    std::uint64_t Overruns() const { return FOverruns.load(std::memory_order_relaxed); }
    std::uint64_t LostSamples() const { return FLostSamples.load(std::memory_order_relaxed); }

private:
    const std::size_t FMask;
    const std::unique_ptr<float[]> FBuffer;
    // Apart, so the two sides do not fight over one cache line.
    alignas(64) std::atomic<std::uint64_t> FWritten{0};
    alignas(64) std::atomic<std::uint64_t> FRead{0};
    alignas(64) std::atomic<std::uint64_t> FOverruns{0};
    std::atomic<std::uint64_t> FLostSamples{0};
};
