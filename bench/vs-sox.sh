#!/bin/sh
# Renders ten minutes of 48 kHz stereo through the microphone chain (a 10-band
# equaliser with some gains, the compressor and a gain stage) twice: with
# `vocarra-cli render-chain` and with sox running the same kind of chain, each
# as a whole process, and prints both times and their ratio.
#
# usage: bench/vs-sox.sh [BUILD_DIR]     (default: build)
# VOCARRA_CLI=/path/to/vocarra-cli overrides the program taken from BUILD_DIR.
set -eu

BUILD_DIR=${1:-build}
CLI=${VOCARRA_CLI:-$BUILD_DIR/bin/vocarra-cli}
if [ ! -x "$CLI" ]; then
    echo "vs-sox: no program $CLI (build the vocarra-cli target first)" >&2
    exit 1
fi
command -v sox >/dev/null || { echo "vs-sox: sox is not installed" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM

# The input: two tones and some noise, loud enough for the compressor to work.
sox -q -n -r 48000 -c 2 -b 16 "$WORK/in.wav" \
    synth 600 sine 220 sine 1760 pinknoise vol 0.5

# The chain, in the component text format of the station files. Band gains
# in dB, band 0 (31 Hz) first; bands and their width are system settings.
GAINS="3 2 0 -1 -2 0 1 2 3 4"
CENTRES="31 62 125 250 500 1000 2000 4000 8000 16000"
{
    printf 'object TPlayerIni\r\n  MicDSPList = <\r\n'
    printf '    item\r\n      T = dspIntegrated\r\n      Params.Strings = (\r\n'
    N=0
    for G in $GAINS; do
        N=$((N + 1))
        if [ $N -eq 10 ]; then printf "        '%s')\r\n" "$G"; else printf "        '%s'\r\n" "$G"; fi
    done
    printf "      DispName = 'Equalizer'\r\n      PluginType = ptDSP\r\n      State = psActive\r\n"
    printf '      IntDSPKind = dspEqualizer\r\n    end\r\n'
    printf '    item\r\n      T = dspIntegrated\r\n      Params.Strings = (\r\n'
    printf "        '4.5'\r\n        '-18'\r\n        '3'\r\n        '10'\r\n        '250')\r\n"
    printf "      DispName = 'Compressor'\r\n      PluginType = ptDSP\r\n      State = psActive\r\n"
    printf '      IntDSPKind = dspCompressor\r\n    end\r\n'
    printf '    item\r\n      T = dspIntegrated\r\n      Params.Strings = (\r\n'
    printf "        '-3')\r\n"
    printf "      DispName = 'Gain'\r\n      PluginType = ptDSP\r\n      State = psActive\r\n"
    printf '      IntDSPKind = dspGain\r\n    end>\r\nend\r\n'
} >"$WORK/player.ini"
{
    printf 'object TSystemIni\r\n  BandsNum = 10\r\n  EQBands = <\r\n'
    N=0
    for F in $CENTRES; do
        N=$((N + 1))
        printf '    item\r\n      CenterFreq = %s\r\n' "$F"
        if [ $N -eq 10 ]; then printf '    end>\r\n'; else printf '    end\r\n'; fi
    done
    printf '  Bandwidth = 2.5s\r\nend\r\n'
} >"$WORK/system.ini"

# sox's equivalent: the same bands, a compressor of ratio 3 above -18 dB with
# 10 ms attack, 250 ms release and 4.5 dB make-up gain, then -3 dB.
SOX_EQ=""
set -- $GAINS
for F in $CENTRES; do
    SOX_EQ="$SOX_EQ equalizer $F 2.5o $1"
    shift
done

# Wall-clock seconds of one command, as a decimal number.
seconds() {
    START=$(date +%s.%N)
    "$@"
    END=$(date +%s.%N)
    echo "$START $END" | awk '{printf "%.3f", $2 - $1}'
}

# The input once through the page cache before either is timed.
cat "$WORK/in.wav" >/dev/null

T_VOCARRA=$(seconds "$CLI" render-chain --in "$WORK/in.wav" --out "$WORK/vocarra.wav" \
    --player-ini "$WORK/player.ini" --system-ini "$WORK/system.ini")
# shellcheck disable=SC2086 # the effect list is meant to split into words
T_SOX=$(seconds sox -q "$WORK/in.wav" "$WORK/sox.wav" $SOX_EQ \
    compand 0.01,0.25 -90,-90,-18,-18,0,-12 4.5 gain -3)

echo "render-chain: ${T_VOCARRA} s"
echo "sox:          ${T_SOX} s"
echo "$T_SOX $T_VOCARRA" | awk '{printf "sox / render-chain: %.2f\n", $1 / $2}'
