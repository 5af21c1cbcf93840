#!/usr/bin/env python3
"""Writes data/icons/vorda-<size>.png, the square icons for desktop menus.

The same picture as the program's own window icon (gui/make_icon.py), drawn
square and smooth: a night-blue sky fading to teal, a phase scope (grey rim,
slate disc, a yellow vector pointing up) and a green PSK31 trace with a phase
reversal below it. Corners are rounded through the alpha channel; every pixel
is the average of 4 x 4 samples. Standard library only.
Run from the repository root: python3 tools/make-desktop-icons.py
"""
import math
import struct
import zlib

SIZES = (48, 64, 128)
SUPERSAMPLE = 4


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def trace_level(u):
    """Height of the trace at u (0..1 across): a carrier of four cycles whose
    phase flips halfway, the amplitude dipping to zero at the reversal, as a
    PSK31 signal looks on an oscilloscope (the small icon has room for less)."""
    phase = 0.0 if u < 0.5 else math.pi
    return 0.80 + 0.075 * math.sin(2 * math.pi * u * 4 + phase) * abs(math.cos(math.pi * u))


TRACE_START, TRACE_END, TRACE_STEPS = 0.08, 0.92, 800
TRACE = [(TRACE_START + (TRACE_END - TRACE_START) * i / TRACE_STEPS,
          trace_level(TRACE_START + (TRACE_END - TRACE_START) * i / TRACE_STEPS))
         for i in range(TRACE_STEPS + 1)]
TRACE_HALF_WIDTH = 0.02


def near_trace(u, v):
    """True within half the line width of the trace (its points lie closer
    together than the width, so the nearest point is close enough)."""
    if u < TRACE_START - TRACE_HALF_WIDTH or u > TRACE_END + TRACE_HALF_WIDTH:
        return False
    step = (TRACE_END - TRACE_START) / TRACE_STEPS
    centre = round((u - TRACE_START) / step)
    reach = int(TRACE_HALF_WIDTH / step) + 1
    for i in range(max(0, centre - reach), min(TRACE_STEPS, centre + reach) + 1):
        tu, tv = TRACE[i]
        if (u - tu) ** 2 + (v - tv) ** 2 < TRACE_HALF_WIDTH ** 2:
            return True
    return False


def sample(u, v):
    """Colour and coverage (0 or 1) at u, v in 0..1, v growing downward."""
    corner = 0.16
    cu, cv = min(max(u, corner), 1 - corner), min(max(v, corner), 1 - corner)
    if math.hypot(u - cu, v - cv) > corner:
        return (0, 0, 0), 0.0

    sky = mix((18, 28, 74), (20, 120, 128), v)
    sky = mix(sky, (40, 60, 110), u * 0.35)
    cx, cy, r = 0.5, 0.38, 0.30
    d = math.hypot(u - cx, v - cy)
    if d <= r:
        if d > r - 0.055:
            return mix((200, 204, 210), (160, 166, 176), (u + v) / 2), 1.0
        if abs(u - cx) < 0.028 and v <= cy + 0.01:
            return mix((255, 236, 80), (240, 200, 40), (cy - v) / r), 1.0
        return mix((92, 104, 124), (70, 82, 100), d / r), 1.0

    if abs(v - 0.80) < 0.1 and near_trace(u, v):
        return mix((90, 250, 120), (40, 200, 90), v), 1.0
    return sky, 1.0


def render(size):
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = bytearray([0])  # PNG filter type: none
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            alpha = 0.0
            for sy in range(n):
                for sx in range(n):
                    u = (px + (sx + 0.5) / n) / size
                    v = (py + (sy + 0.5) / n) / size
                    colour, cover = sample(u, v)
                    alpha += cover
                    for i in range(3):
                        acc[i] += colour[i] * cover
            if alpha > 0:
                row += bytes(round(acc[i] / alpha) for i in range(3))
            else:
                row += bytes(3)
            row.append(round(255 * alpha / (n * n)))
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def main():
    for size in SIZES:
        with open(f"data/icons/vorda-{size}.png", "wb") as out:
            out.write(png(size, render(size)))


if __name__ == "__main__":
    main()
