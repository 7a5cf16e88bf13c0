#!/usr/bin/env bash
# Installs what is missing, builds, starts the bundled station simulator on
# 127.0.0.1 and shows the station's playlist and what is playing.
#   ./run.sh           show once, then stop the simulator
#   ./run.sh --watch   keep showing what is playing every 5 s until Ctrl-C
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh

cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)" --target vocarra-station-sim vocarra-cli

user=demo
pass=demo
log=$(mktemp)
build/tools/station-sim/vocarra-station-sim --port 0 --user "$user" --pass "$pass" --tracks 25 \
    >"$log.out" 2>"$log" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$log" "$log.out"' EXIT

port=""
for _ in $(seq 100); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log.out" | head -n 1)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "The station simulator did not start:"; cat "$log"; exit 1; }
echo "Station simulator on 127.0.0.1:$port (user $user)"

cli() { VOCARRA_PASS=$pass build/src/app/vocarra-cli --server 127.0.0.1 --port "$port" --user "$user" "$@"; }

echo
echo "== Playlist"
cli playlist
echo
echo "== Now playing"
cli nowplaying
if [ "${1:-}" = "--watch" ]; then
    while sleep 5; do
        echo
        cli nowplaying
    done
fi
