#!/usr/bin/env bash
# Builds and runs the benchmarks, then prints each speed ratio against its reference.
set -euo pipefail
cd "$(dirname "$0")"

cmake --preset bench
cmake --build --preset bench --target bench_hadamard -j 2

json=$(mktemp)
trap 'rm -f "$json"' EXIT
build-bench/bench/bench_hadamard --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$json" --benchmark_out_format=json

# Ratios of the medians of the same run; the goal is at most 1.5.
python3 - "$json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
median = {r["run_name"]: r["real_time"] for r in runs if r.get("aggregate_name") == "median"}
worst = 0.0
for order in (16, 18):
    fh = median[f"BM_FastHamadard/{order}/manual_time"]
    ref = median[f"BM_FftwR2c/{order}/manual_time"]
    ratio = fh / ref
    worst = max(worst, ratio)
    print(f"order {order}: FastHamadard / FFTW r2c = {ratio:.2f}  ({fh:.1f} us / {ref:.1f} us)")
print("goal (<= 1.5):", "met" if worst <= 1.5 else "NOT met")
PY
