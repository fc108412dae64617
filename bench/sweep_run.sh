#!/usr/bin/env bash
# A stereo response sweep of 31 logarithmic points 20 Hz..20 kHz on the virtual bench, whole
# program, in fast and in realtime pacing: prints how long each sweep took against the sum of
# its settling and measuring times (goals: fast at most a fifth of that sum, realtime at most
# 5 % above it). Both figures come from the program's own "Sweep:" line of one run each.
#
# Usage: bench/sweep_run.sh [build folder]   (default: build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-bench}"
[ -x "$build/bin/velmora" ] || { echo "sweep_run: $build/bin/velmora is missing (run ./bench.sh or build it)"; exit 2; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cat > "$home/velmora30.ini" <<'INI'
[WOB]
FROMR=20
TOR=20000
SYNCSTEP=31
PEGDIGL=-6
PEGDIGR=-6
REFMESS=2
STARTMESS=100
[sweep]
DBMODE=0
INI

# Prints "took nominal" of one sweep in the given pacing.
run() {
    printf '[Device]\nSampleRate=48000\nBits=24\nPacing=%s\nBlockFrames=1024\n[Model]\nKind=amplifier\n[Amplifier]\nGain_dB=6\nHighPass_Hz=100\n' \
        "$1" > "$home/SoundSim.ini"
    QT_QPA_PLATFORM=offscreen "$build/bin/velmora" --home "$home" --sound-module libSoundSim.so --mode 3 \
        --start --measure 120 --results --quit 2>/dev/null |
        sed -n 's/^Sweep: \([0-9.]*\) s, settling and measuring \([0-9.]*\) s$/\1 \2/p'
}

echo "load before the run: $(cut -d' ' -f1-3 /proc/loadavg) (2 cores shared; rerun when loaded)"
read -r fast fastSum < <(run fast)
read -r real realSum < <(run realtime)
awk -v f="$fast" -v fs="$fastSum" -v r="$real" -v rs="$realSum" 'BEGIN {
    printf "fast pacing:     sweep %.3f s, settling and measuring %.3f s: %.1f %% of it (goal <= 20 %%)\n", f, fs, 100 * f / fs
    printf "realtime pacing: sweep %.3f s, settling and measuring %.3f s: %+.2f %% (goal <= +5 %%)\n", r, rs, 100 * (r / rs - 1)
}'
