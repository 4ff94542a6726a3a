#!/usr/bin/env python3
"""Fails unless two WAV files of 32-bit float or 16-bit samples hold the same
number of samples and differ nowhere by more than the given tolerance."""
import struct
import sys


def samples(path):
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        sys.exit(f"{path}: not a WAV file")
    at, bits, body = 12, None, None
    while at + 8 <= len(data):
        chunk, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        if chunk == b"fmt ":
            bits = struct.unpack("<H", data[at + 22:at + 24])[0]
        elif chunk == b"data":
            body = data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    if bits is None or body is None:
        sys.exit(f"{path}: no format or no data")
    if bits == 32:
        return struct.unpack(f"<{len(body) // 4}f", body)
    return [v / 32768.0 for v in struct.unpack(f"<{len(body) // 2}h", body)]


first, second, tolerance = sys.argv[1], sys.argv[2], float(sys.argv[3])
a, b = samples(first), samples(second)
if len(a) != len(b):
    sys.exit(f"{len(a)} samples against {len(b)}")
worst = max((abs(x - y) for x, y in zip(a, b)), default=0.0)
loudest = max((abs(x) for x in a), default=0.0)
print(f"{len(a)} samples, largest difference {worst:g} (peak {loudest:.3f})")
if loudest == 0.0:
    sys.exit("the render is silent")
if worst > tolerance:
    sys.exit(f"differs by {worst:g}, more than {tolerance:g}")
