#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks. Does nothing (and needs no network) when all is there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config git
    qt6-base-dev libcurl4-openssl-dev libssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev libpugixml-dev
    # Plug-in editors are X11 windows: the window layer syncs with the X server
    # (libxcb), and the test stand-in of a plug-in draws through libX11.
    libxcb1-dev libx11-dev
    libpulse-dev libasound2-dev libsndfile1-dev
    # Loudness after EBU R 128: meters and normalisation.
    libebur128-dev
    clang libclang-rt-14-dev llvm clang-format clang-tidy
    pulseaudio sox
    openssl ca-certificates xxd
    fonts-dejavu-core
    # Station titles in Japanese and Chinese: one font for kana and Han.
    fonts-wqy-zenhei
    # The screen-reader test: a virtual X server, a D-Bus session, the AT-SPI
    # bus and its Python binding.
    xvfb dbus at-spi2-core python3-pyatspi
    # Real VST plug-ins to host in the tests (test-only).
    lsp-plugins-vst dpf-plugins-vst
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
