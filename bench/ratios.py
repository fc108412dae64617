#!/usr/bin/env python3
"""Prints the speed ratios of the benchmark programs' JSON results against their references.

Usage: ratios.py HADAMARD_JSON FFT_JSON. Ratios are taken between medians of the same run.
"""
import json
import sys


def medians(path):
    runs = json.load(open(path))["benchmarks"]
    return {r["run_name"]: r for r in runs if r.get("aggregate_name") == "median"}


def time_us(run):
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[run["time_unit"]]
    return run["real_time"] * scale


def per_call_us(run):
    """Time of one call in a run whose iterations each held `batch` calls."""
    return time_us(run) / run.get("batch", 1)


def hadamard(path):
    median = medians(path)
    worst = 0.0
    for order in (16, 18):
        fh = time_us(median[f"BM_FastHamadard/{order}/manual_time"])
        ref = time_us(median[f"BM_FftwR2c/{order}/manual_time"])
        worst = max(worst, fh / ref)
        print(f"order {order}: FastHamadard / FFTW r2c = {fh / ref:.2f}  ({fh:.1f} us / {ref:.1f} us)")
    print("goal (<= 1.5):", "met" if worst <= 1.5 else "NOT met")


def table(title, rows):
    print(f"\n{title}")
    print(f"{'N':>8} {'ours us':>10} {'FFTW us':>10} {'ratio':>6} {'goal':>5}  result")
    failed = 0
    for n, ours, ref, goal in rows:
        ratio = ours / ref
        ok = ratio <= goal
        failed += not ok
        print(f"{n:>8} {ours:>10.2f} {ref:>10.2f} {ratio:>6.2f} {goal:>5.1f}  {'PASS' if ok else 'FAIL'}")
    return failed


def fft(path):
    median = medians(path)
    sizes = sorted(int(k.split("/")[1]) for k in median if k.startswith("BM_OursReal/"))
    ref = {n: time_us(median[f"BM_FftwReal/{n}"]) for n in sizes}
    failed = table("Real-input transform vs FFTW r2c (FFTW_MEASURE)",
                   [(n, time_us(median[f"BM_OursReal/{n}"]), ref[n], 2.0 if n <= 8192 else 1.5)
                    for n in sizes])
    failed += table("Whole analysis call (window, transform, 1/N, magnitudes) vs bare FFTW r2c",
                    [(n, per_call_us(median[f"BM_OursSpectrum/{n}/manual_time"]), ref[n], 2.5)
                     for n in sizes])
    setup = [r for k, r in median.items() if k.startswith("BM_Setup/")]
    for r in setup:
        ms = time_us(r) / 1e3
        ok = ms < 50
        failed += not ok
        print(f"\nSetup (unit roots, tables, window) N = {r['run_name'].split('/')[1]}: "
              f"{ms:.1f} ms (goal < 50 ms)  {'PASS' if ok else 'FAIL'}")
    runs = json.load(open(path))["benchmarks"]
    for r in runs:
        if r["name"].startswith("BM_Accuracy/") and "ours_vs_ld" in r:
            n = r["name"].split("/")[1]
            print(f"Accuracy at N = {n}, relative RMS error: ours vs long double {r['ours_vs_ld']:.2e}, "
                  f"FFTW vs long double {r['fftw_vs_ld']:.2e}, ours vs FFTW {r['ours_vs_fftw']:.2e}"
                  f"  (goal <= 1e-15)  {'PASS' if r['ours_vs_ld'] <= 1e-15 else 'FAIL'}")
            failed += r["ours_vs_ld"] > 1e-15
            break
    print("\nFFT goals:", "all met" if failed == 0 else f"{failed} NOT met")


if __name__ == "__main__":
    hadamard(sys.argv[1])
    fft(sys.argv[2])
