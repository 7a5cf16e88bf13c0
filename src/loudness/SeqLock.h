#pragma once
// One writer publishes a small value that any number of threads read without
// a lock and without ever stalling the writer. The value travels as atomic
// words, so a reader that races the writer reads torn words only to throw
// them away when the sequence number shows the write; no access is a data
// race in the language's sense (and ThreadSanitizer agrees).

#include <array>
#include <atomic>
#include <cstring>
#include <type_traits>

template <typename T> class TSeqLock {
    static_assert(std::is_trivially_copyable_v<T>);
    static constexpr std::size_t Words =
        (sizeof(T) + sizeof(unsigned long long) - 1) / sizeof(unsigned long long);

public:
    explicit TSeqLock(const T &AValue = T()) { Store(AValue); }

    // The writer's thread only.
    void Store(const T &AValue) {
        std::array<unsigned long long, Words> Raw{};
        std::memcpy(Raw.data(), &AValue, sizeof(T));
        const unsigned Seq = FSequence.load(std::memory_order_relaxed);
        FSequence.store(Seq + 1, std::memory_order_relaxed);
        // Release per word instead of a fence (which ThreadSanitizer cannot
        // follow): a reader that sees any new word then also sees the odd
        // sequence number stored before it. Plain stores on x86.
        for (std::size_t I = 0; I < Words; ++I)
            FWords[I].store(Raw[I], std::memory_order_release);
        FSequence.store(Seq + 2, std::memory_order_release);
    }

    // Any thread. Retries only while a write is under way, which takes a few
    // dozen stores.
    T Load() const {
        std::array<unsigned long long, Words> Raw{};
        for (;;) {
            const unsigned Before = FSequence.load(std::memory_order_acquire);
            if (Before & 1u)
                continue;
            for (std::size_t I = 0; I < Words; ++I)
                Raw[I] = FWords[I].load(std::memory_order_acquire);
            if (FSequence.load(std::memory_order_relaxed) == Before)
                break;
        }
        T Value{};
        std::memcpy(&Value, Raw.data(), sizeof(T));
        return Value;
    }

private:
    std::atomic<unsigned> FSequence{0};
    std::array<std::atomic<unsigned long long>, Words> FWords{};
};
