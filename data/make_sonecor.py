#!/usr/bin/env python3
# Generates sonecor.dpf, the loudness table of the Sone display: one "x y" line per level,
# x = sound pressure level in dB SPL (phon at 1 kHz), y = loudness in sone, blank-separated.
# Loudness from the standard phon-to-sone relation: 2^((phon-40)/10) from 40 phon up, and the
# commonly published low-level form (phon/40)^2.642 below 40 phon. 0 ... 120 dB in 1 dB steps,
# 5 significant digits. Run: python3 data/make_sonecor.py > data/sonecor.dpf
import sys


def sone(phon: float) -> float:
    if phon >= 40.0:
        return 2.0 ** ((phon - 40.0) / 10.0)
    return (phon / 40.0) ** 2.642


def main() -> None:
    out = sys.stdout
    for db in range(0, 121):
        out.write(f"{db} {sone(db):.5g}\r\n")


if __name__ == "__main__":
    main()
