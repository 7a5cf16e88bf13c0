#include "recorder/SampleRing.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

std::size_t RoundedCapacity(std::size_t ACapacity) {
    return std::bit_ceil(std::max<std::size_t>(ACapacity, 2));
}

} // namespace

TSampleRing::TSampleRing(std::size_t ACapacity)
    : FMask(RoundedCapacity(ACapacity) - 1),
      FBuffer(std::make_unique<float[]>(RoundedCapacity(ACapacity))) {}

bool TSampleRing::Push(const float *ASamples, std::size_t ASize) {
    const std::uint64_t Written = FWritten.load(std::memory_order_relaxed);
    const std::uint64_t Read = FRead.load(std::memory_order_acquire);
    if (ASize > Capacity() - std::size_t(Written - Read)) {
        FOverruns.fetch_add(1, std::memory_order_relaxed);
        FLostSamples.fetch_add(ASize, std::memory_order_relaxed);
        return false;
    }
    const std::size_t Start = std::size_t(Written) & FMask;
    const std::size_t First = std::min(ASize, Capacity() - Start);
    std::memcpy(FBuffer.get() + Start, ASamples, First * sizeof(float));
    std::memcpy(FBuffer.get(), ASamples + First, (ASize - First) * sizeof(float));
    FWritten.store(Written + ASize, std::memory_order_release);
    return true;
}

std::size_t TSampleRing::Pop(float *ATarget, std::size_t AMax) {
    const std::uint64_t Read = FRead.load(std::memory_order_relaxed);
    const std::uint64_t Written = FWritten.load(std::memory_order_acquire);
    const std::size_t Size = std::min(AMax, std::size_t(Written - Read));
    const std::size_t Start = std::size_t(Read) & FMask;
    const std::size_t First = std::min(Size, Capacity() - Start);
    std::memcpy(ATarget, FBuffer.get() + Start, First * sizeof(float));
    std::memcpy(ATarget + First, FBuffer.get(), (Size - First) * sizeof(float));
    FRead.store(Read + Size, std::memory_order_release);
    return Size;
}

std::size_t TSampleRing::Available() const {
    return std::size_t(FWritten.load(std::memory_order_acquire) -
                       FRead.load(std::memory_order_acquire));
}
