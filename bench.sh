#!/usr/bin/env bash
# Builds and runs the benchmarks, then prints each speed ratio against its reference.
set -euo pipefail
cd "$(dirname "$0")"

cmake --preset bench
cmake --build --preset bench --target bench_hadamard bench_fft bench_iir bench_models bench_gen bench_diagram bench_fft2dpass bench_oszi bench_ips -j 2

had=$(mktemp)
fft=$(mktemp)
trap 'rm -f "$had" "$fft"' EXIT
echo "load before the run: $(cut -d' ' -f1-3 /proc/loadavg) (2 cores shared; rerun when loaded)"
build-bench/bench/bench_hadamard --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$had" --benchmark_out_format=json
# Repetitions interleaved at random, so a change of machine load hits ours and FFTW alike.
build-bench/bench/bench_fft --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_enable_random_interleaving=true --benchmark_min_time=0.2 \
    --benchmark_out="$fft" --benchmark_out_format=json
# IIR cascade: no reference library; the figure is ns per section and sample (goal <= 2.4 scalar).
build-bench/bench/bench_iir --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
# Virtual bench models: cpu_share = CPU seconds per second of stereo audio (goal: room_longest
# at 192 kHz well below 1; the realtime engine run must report late_blocks=0).
build-bench/bench/bench_models --benchmark_min_time=0.3
# Generator: x_realtime = seconds of stereo output at 192 kHz per CPU second (goal >= 10 for the formula).
build-bench/bench/bench_gen --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
# Waterfall: 64 bands x 32768 points at 1000 x 600 (goals: surface <= 30 ms, wire <= 15 ms,
# one band pushed <= 1 ms) are the BM_Waterfall_* lines of bench_diagram.
# Diagram repaint: ms_per_repaint (goals: 12 curves x 1M points <= 30 ms, 2 x 32k points <= 3 ms)
# and ratio_vs_raw = repaint time / one poly-line of every raw point, measured in the same run;
# FFTFrame: one frame of the 2D FFT measurement in the diagram window (two 32k spectra, two 64k
# time signals, result lines), for the frame budget below.
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_diagram --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
# One evaluation pass of the 2D FFT measurement, two channels (goal: 65536 points <= 2 ms,
# 1048576 points <= 40 ms CPU); FFTW's bare transforms of the same blocks as the reference.
build-bench/bench/bench_fft2dpass --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
# One oscilloscope frame (two channels of 6000 samples at 48 kHz and 5 ms/div, trigger search,
# scaling, read-out, drawing at 1000 x 600; goal <= 2 ms) and its part without the drawing.
build-bench/bench/bench_oszi --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
# One impulse shot, MLS order 16 at 48 kHz: shot to drawn diagram (goal <= 25 ms) and the
# deconvolution against FFTW's r2c + c2r of the same length (ratio_vs_fftw, goal <= 3).
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_ips --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
echo "load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
# The whole program: a 60 s two-channel 65536-point measurement with painting, 20 ms frame
# period (goal: 50 frames per second under 15 % of one core).
cmake --build --preset bench --target velmora SoundSim -j 2
bench/fft2d_run.sh 60
# The sweep: 31 points 20 Hz..20 kHz in fast and realtime pacing against the sum of its
# settling and measuring times (goals: fast <= 20 % of it, realtime <= +5 %).
bench/sweep_run.sh
# The 3D FFT (waterfall) the same way, against the 2D run above (goal: CPU within 1.5 x of it).
bench/fft2d_run.sh 60 build-bench 2

python3 bench/ratios.py "$had" "$fft"
