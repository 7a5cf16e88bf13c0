#!/usr/bin/env bash
# Installs what is missing, builds everything, starts the bundled station
# simulator on 127.0.0.1 with a demo playlist and opens Vocarra on it.
#   ./run.sh          open the window (needs a display; see below without one)
#   ./run.sh --cli    show the playlist and what is playing in the terminal
#   ./run.sh --watch  the same, and keep showing what is playing every 5 s
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh

cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)"

user=demo
pass=demo
log=$(mktemp)
build/bin/vocarra-station-sim --port 0 --user "$user" --pass "$pass" --tracks 25 \
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

cli() { VOCARRA_PASS=$pass build/bin/vocarra-cli --server 127.0.0.1 --port "$port" --user "$user" "$@"; }

show_in_terminal() {
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
}

case "${1:-}" in
--cli | --watch)
    show_in_terminal "${1:-}"
    exit 0
    ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo
    echo "No display found, so the window cannot open. Without a desktop, run it under"
    echo "a virtual X server:  apt-get install -y xvfb && xvfb-run -a ./run.sh"
    echo "Meanwhile, this is what the station shows:"
    show_in_terminal
    exit 0
fi

# Without a uid.ini the program keeps its files next to itself, so the demo
# gets a folder of its own: a copy of the programs and settings that point at
# the simulator.
demo=build/demo
mkdir -p "$demo"
# The scanning helper and the recorder sit beside it, as they are installed.
cp build/bin/vocarra build/bin/vocarra-vstscan build/bin/micdeck "$demo/"
if [ -f "$demo/settings.ini" ]; then
    # Keeps what the window saved last time (column layout); only the port is new.
    sed -i "s/^  Port = [0-9-]*/  Port = $port/" "$demo/settings.ini"
else
    printf 'object TSettings\r\n  Server = %s\r\n  TLS = False\r\n  Port = %s\r\n  User = %s\r\n  Pass = %s\r\n  PlaylistCols = <>\r\nend\r\n' \
        "'127.0.0.1'" "$port" "'$user'" "'$pass'" >"$demo/settings.ini"
fi
echo "Opening Vocarra (files in $demo)"
"$demo/vocarra"
