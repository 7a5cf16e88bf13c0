#!/usr/bin/env bash
# Takes the README's screenshot: the window under a virtual X server against
# the station simulator. Needs xvfb, x11-apps (xwd) and netpbm.
#   tools/screenshot.sh [BUILD_DIR] [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs/main-window.png}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/bin/vocarra-station-sim" --port 0 --tracks 25 >"$work/sim.out" 2>/dev/null &
for _ in $(seq 100); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.out")
    [ -n "$port" ] && break
    sleep 0.1
done
cp "$build/bin/vocarra" "$work/vocarra"
printf 'object TSettings\r\n  Server = %s\r\n  Port = %s\r\n  User = %s\r\n  Pass = %s\r\nend\r\n' \
    "'127.0.0.1'" "$port" "'demo'" "'demo'" >"$work/settings.ini"
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
    '$work/vocarra' & sleep 4
    xwd -silent -name \"\$(xwininfo -root -tree | sed -n 's/.*\"\\(Vocarra ([^\"]*)\\)\".*/\\1/p' | head -n 1)\" |
        xwdtopnm 2>/dev/null | pnmtopng >'$out'
    kill %1"
echo "wrote $out"
