#!/usr/bin/env bash
# Builds everything and runs every test: the normal build, the core tests
# under AddressSanitizer+UBSan and under ThreadSanitizer, and each fuzzer for
# a bounded time. Installs what is missing first (Debian 12, as root).
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${VOCARRA_FUZZ_SECONDS:-60}
export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"

configure() { # dir, extra cmake arguments...
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DVOCARRA_WERROR=ON "$@" >/dev/null
}

echo "== AddressSanitizer + UBSan"
configure build-asan -DCMAKE_BUILD_TYPE=Debug -DVOCARRA_SANITIZE=address,undefined -DVOCARRA_TOOLS=OFF -DVOCARRA_GUI=OFF -DVOCARRA_BENCH=OFF
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== ThreadSanitizer"
configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DVOCARRA_SANITIZE=thread -DVOCARRA_TOOLS=OFF -DVOCARRA_GUI=OFF -DVOCARRA_BENCH=OFF
cmake --build build-tsan -j"$jobs"
# Newer kernels randomise mappings beyond what this TSan runtime expects.
setarch "$(uname -m)" -R ctest --test-dir build-tsan --output-on-failure -j"$jobs"

echo "== Fuzzing (${fuzz_seconds}s per target)"
CC=clang CXX=clang++ configure build-fuzz -DVOCARRA_FUZZ=ON -DVOCARRA_SANITIZE=address,undefined \
    -DVOCARRA_TOOLS=OFF -DVOCARRA_GUI=OFF -DVOCARRA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j"$jobs" --target fuzzers
for fuzzer in build-fuzz/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    work=$(mktemp -d)
    cp -r "fuzz/corpus/$name/." "$work/" 2>/dev/null || true
    echo "-- $name"
    "$fuzzer" -max_total_time="$fuzz_seconds" -rss_limit_mb=1024 -timeout=10 \
        -artifact_prefix=build-fuzz/ "$work" 2>&1 | tail -n 3
    rm -rf "$work"
done

echo "== Build and all tests"
configure build
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== clang-tidy on the changed sources"
./tools/tidy-changed.sh build
