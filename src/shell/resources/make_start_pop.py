#!/usr/bin/env python3
"""Writes the program's start sound: a short pop of our own making.

RIFF WAVE, PCM, 8 bit, mono, 11025 Hz, 1940 bytes in all (44 header bytes and
1896 samples, about 0.17 s): a 1400 Hz tone falling to 500 Hz, with a fast
attack and an exponential decay, so it cuts through the noise at the track.
"""
import math
import struct
import sys

RATE = 11025
SAMPLES = 1940 - 44


def samples():
    phase = 0.0
    for i in range(SAMPLES):
        t = i / RATE
        freq = 500.0 + 900.0 * math.exp(-t * 18.0)
        phase += 2.0 * math.pi * freq / RATE
        envelope = min(1.0, i / 40.0) * math.exp(-t * 16.0)
        value = 128 + int(round(110.0 * envelope * math.sin(phase)))
        yield max(0, min(255, value))


def main(path):
    data = bytes(samples())
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, RATE, RATE, 1, 8)
    header += b"data" + struct.pack("<I", len(data))
    with open(path, "wb") as f:
        f.write(header + data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "start_pop.wav")
