#!/usr/bin/env bash
# Runs one of the AT-SPI scripts of this folder in a D-Bus session of its own,
# where the AT-SPI bus launcher starts on demand. Exits 77 (skipped) when the
# machine lacks the virtual X server, D-Bus, the AT-SPI bus or its Python
# binding.
#   Atspi.sh SCRIPT.py VOCARRA STATION_SIM VOCARRA_CLI
set -euo pipefail

skip() {
    echo "SKIPPED: $1 (tools/install-deps.sh installs it)"
    exit 77
}
command -v Xvfb >/dev/null || skip "Xvfb is not installed (package xvfb)"
command -v dbus-run-session >/dev/null || skip "dbus-run-session is not installed (package dbus)"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "the AT-SPI bus is not installed (package at-spi2-core)"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    skip "the AT-SPI Python binding is not installed (package python3-pyatspi)"

# Debian's python, whose packages hold pyatspi, whatever python comes first in PATH.
script=$1
shift
exec dbus-run-session -- /usr/bin/python3 "$(dirname "$0")/$script" "$@"
