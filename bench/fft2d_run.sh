#!/usr/bin/env bash
# A continuous two-channel 65536-point 2D FFT measurement on the virtual bench, painting
# included, for a given time (default 60 s): prints the frames drawn per second and the CPU
# share of the program while it measures (goal: 50 frames per second under 15 % of one core).
#
# Usage: bench/fft2d_run.sh [seconds] [build folder] [mode]   (default: 60, build-bench, 1)
# Mode 2 is the 3D FFT (the waterfall) with the same transform size and window.
# The frame period is 20.001 ms (the settings turn 20 itself into 100) and the bench delivers
# a block every 1000 samples (20.8 ms at 48 kHz), so every block may start a frame. A run of
# one second first measures what start-up and shut-down cost; that is taken off.
set -euo pipefail
cd "$(dirname "$0")/.."
secs="${1:-60}"
build="${2:-build-bench}"
mode="${3:-1}"
[ -x "$build/bin/velmora" ] || { echo "fft2d_run: $build/bin/velmora is missing (run ./bench.sh or build it)"; exit 2; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cp data/demo/* "$home/"
sed -i 's/^\[MAIN\]$/[MAIN]\nFRAMERESOL_ms=20.001/' "$home/velmora30.ini"
sed -i 's/^bResultTextRight=0$/bResultTextRight=1/' "$home/velmora30.ini" # lines of both channels
sed -i 's/^\[Device\]$/[Device]\nBlockFrames=1000/' "$home/SoundSim.ini"
printf '\n[fft3d]\nSAMPLES=65536\nWIN=8\nAVERAGE=1\nDBMODE=1\n' >> "$home/velmora30.ini"

# Measures for $1 seconds; prints "frames elapsed user sys", the program's lines to stderr.
run() {
    local out
    out=$(QT_QPA_PLATFORM=offscreen /usr/bin/time -f "TIME %e %U %S" "$build/bin/velmora" --home "$home" \
          --sound-module libSoundSim.so --mode "$mode" --sound-on --start --measure "$1" --results --quit 2>&1)
    echo "$out" | grep -v -e '^TIME' -e XDG_RUNTIME >&2
    echo "$(echo "$out" | sed -n 's/^frames drawn: //p') $(echo "$out" | sed -n 's/^TIME //p')"
}

echo "load before the run: $(cut -d' ' -f1-3 /proc/loadavg) (2 cores shared; rerun when loaded)"
read -r f0 e0 u0 s0 < <(run 1 2>/dev/null)
read -r frames elapsed user sys < <(run "$secs")
awk -v secs="$secs" -v f="$frames" -v e="$elapsed" -v u="$user" -v s="$sys" \
    -v f0="$f0" -v e0="$e0" -v u0="$u0" -v s0="$s0" 'BEGIN {
    cpu = u + s; cpu0 = u0 + s0
    printf "frames per second: %.1f (%d frames in %d s of measuring)\n", f / secs, f, secs
    printf "CPU: %.2f s in %.1f s; start-up and shut-down (a 1 s run): %.2f s in %.1f s\n", cpu, e, cpu0, e0
    printf "while measuring: %.1f %% of one core, %.2f ms per frame\n",
           100 * (cpu - cpu0) / (e - e0), 1000 * (cpu - cpu0) / (f - f0)
}'
