#!/usr/bin/env python3
"""Reference Thiele-Small values of the impedance bench's default driver.

Evaluates the parameter formulas on the bench's exact, continuous |Z| curve (no sampling): fs and
Zmax at the true maximum of |Z|, Rdc forced to Re, R1 = sqrt(Rdc * Zmax), f1 and f2 where |Z|
crosses R1, Qms = sqrt(K) fs / (f2 - f1), Qel = Qms / (K - 1), Qts = Qms Qel / (Qms + Qel).
The constants are those of the program's calculation. Run it and paste nothing by hand: the
test states the printed values.
"""
import cmath
import math

RE, LE_MH, BL, MMS_G, CMS_MMN, RMS = 6.0, 0.5, 7.0, 20.0, 0.8, 1.5


def z(f, mms_g=MMS_G):
    w = 2 * math.pi * f
    zm = RMS + 1j * w * mms_g * 1e-3 + 1 / (1j * w * CMS_MMN * 1e-3)
    return abs(RE + 1j * w * LE_MH * 1e-3 + BL * BL / zm)


def peak(lo, hi):
    """Golden-section search for the maximum of |Z| over log f."""
    a, b = math.log(lo), math.log(hi)
    g = (math.sqrt(5) - 1) / 2
    for _ in range(200):
        c, d = b - g * (b - a), a + g * (b - a)
        if z(math.exp(c)) > z(math.exp(d)):
            b = d
        else:
            a = c
    f = math.exp((a + b) / 2)
    return f, z(f)


def cross(lo, hi, r):
    """Bisection for |Z| = r between lo and hi."""
    s = z(lo) - r
    for _ in range(200):
        m = math.sqrt(lo * hi)
        if (z(m) - r) * s > 0:
            lo = m
        else:
            hi = m
    return math.sqrt(lo * hi)


def main():
    fs, zmax = peak(10.0, 200.0)
    rdc = RE
    k = zmax / rdc
    r1 = math.sqrt(rdc * zmax)
    f1, f2 = cross(10.0, fs, r1), cross(fs, 200.0, r1)
    qms = math.sqrt(k) * fs / (f2 - f1)
    qel = qms / (k - 1)
    qts = qms * qel / (qms + qel)
    for name, v in (("fs", fs), ("Zmax", zmax), ("f1", f1), ("f2", f2), ("Qms", qms), ("Qel", qel), ("Qts", qts)):
        print(f"{name:5s} {v:.6f}")


if __name__ == "__main__":
    main()
