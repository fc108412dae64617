# Reference frequency responses of a few IIR designs, computed independently with scipy.signal.
#
# Regenerate (developers only; CI uses the committed file):
#     apt-get install -y python3-scipy
#     /usr/bin/python3 tests/analysis/golden/make_iir_golden.py > tests/analysis/golden/iir_golden.txt
#
# Conventions matched to the filter design under test:
#   - digital designs use the bilinear transform with the corner prewarped, F(f) = tan(pi f/fs) fs/pi;
#   - Tschebyscheff: the corner is the ripple edge, even orders start at the ripple's bottom;
#   - Bessel: norm='delay' (group delay 1/(2 pi f) at DC) and norm='mag' (-3 dB at f);
#   - band-pass: centre W = 2 pi F(f); lower edge F(fl) with fl = e - f/(2q), e = sqrt((f/2q)^2 + f^2),
#     upper edge F(f)^2 / F(fl) (geometric around the prewarped centre).
# Output: one "design typ char order freq q amax fs" line per design, then "f re im" lines of the
# complex response H(e^(j 2 pi f / fs)), then "end".
import math

import numpy as np
from scipy import signal

FS = 48000.0
FREQS = [10, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000]


def prewarp(f):
    return math.tan(math.pi * f / FS) * FS / math.pi


def bandpass_zpk(order, f, q):
    half = f / (2 * q)
    fl = prewarp(math.sqrt(half * half + f * f) - half)
    fc = prewarp(f)
    wo, bw = 2 * math.pi * fc, 2 * math.pi * (fc * fc / fl - fl)
    z, p, k = signal.buttap(order // 2)
    z, p, k = signal.lp2bp_zpk(z, p, k, wo=wo, bw=bw)
    return signal.bilinear_zpk(z, p, k, fs=FS)


# (typ, char, order, freq, q, amax, zpk)
DESIGNS = [
    (4, 0, 4, 1000.0, 1.0, -3.1, signal.butter(4, 1000.0, 'low', output='zpk', fs=FS)),
    (5, 0, 5, 200.0, 1.0, -3.1, signal.butter(5, 200.0, 'high', output='zpk', fs=FS)),
    (6, 0, 4, 1000.0, 2.0, -3.1, bandpass_zpk(4, 1000.0, 2.0)),
    (4, 3, 5, 2000.0, 1.0, -1.0, signal.cheby1(5, 1.0, 2000.0, 'low', output='zpk', fs=FS)),
    (4, 3, 4, 2000.0, 1.0, -0.5, signal.cheby1(4, 0.5, 2000.0, 'low', output='zpk', fs=FS)),
    (4, 1, 4, 1000.0, 1.0, -3.1, signal.bessel(4, 1000.0, 'low', norm='delay', output='zpk', fs=FS)),
    (4, 2, 6, 3000.0, 1.0, -3.1, signal.bessel(6, 3000.0, 'low', norm='mag', output='zpk', fs=FS)),
]


def main():
    for typ, ch, order, f, q, amax, (z, p, k) in DESIGNS:
        print(f"design {typ} {ch} {order} {f:.6f} {q:.6f} {amax:.6f} {FS:.1f}")
        _, h = signal.freqz_zpk(z, p, k, worN=np.array(FREQS, dtype=float), fs=FS)
        for fr, hv in zip(FREQS, h):
            print(f"{fr} {hv.real:.17e} {hv.imag:.17e}")
        print("end")


if __name__ == "__main__":
    main()
