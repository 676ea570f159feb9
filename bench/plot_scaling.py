#!/usr/bin/env python3
"""Draws the scaling series as a log-log SVG: time against triangle count.

    bench/plot_scaling.py SCALING.tsv OUT.svg

SCALING.tsv is what bench/scaling.sh writes (columns triangles, wall_s,
processor_s, peak_rss_mb, pass_processor_ms). The plot shows the whole
tool's wall-clock and processor time, the hidden-line pass's processor
time, and two guides through the first processor-time point: growth as n
and as n^1.3. Standard library only.
"""
import math
import sys


def read_series(path):
    rows = []
    with open(path) as f:
        header = f.readline().split()
        for line in f:
            if line.strip():
                rows.append(dict(zip(header, map(float, line.split()))))
    return rows


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: plot_scaling.py SCALING.tsv OUT.svg")
    rows = read_series(sys.argv[1])
    n = [r["triangles"] for r in rows]
    series = [
        ("whole tool, wall clock", [r["wall_s"] for r in rows], "#1f5fa8", ""),
        ("whole tool, processor", [r["processor_s"] for r in rows], "#c0392b", ""),
        ("hidden-line pass, processor", [r["pass_processor_ms"] / 1000.0 for r in rows], "#27853a", ""),
    ]
    first_n, first_t = n[0], rows[0]["processor_s"]
    guides = [
        ("n (linear)", [first_t * (x / first_n) for x in n], "#888888", "6,4"),
        ("n^1.3", [first_t * (x / first_n) ** 1.3 for x in n], "#888888", "2,3"),
    ]

    width, height = 720, 480
    left, right, top, bottom = 80, 220, 30, 60
    all_t = [t for _, ts, _, _ in series + guides for t in ts if t > 0]
    x_lo, x_hi = math.floor(math.log10(min(n))), math.ceil(math.log10(max(n)))
    y_lo, y_hi = math.floor(math.log10(min(all_t))), math.ceil(math.log10(max(all_t)))

    def px(x):
        return left + (math.log10(x) - x_lo) / (x_hi - x_lo) * (width - left - right)

    def py(y):
        return height - bottom - (math.log10(y) - y_lo) / (y_hi - y_lo) * (height - top - bottom)

    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
           f'viewBox="0 0 {width} {height}" font-family="sans-serif" font-size="12">',
           f'<rect width="{width}" height="{height}" fill="white"/>']
    for e in range(x_lo, x_hi + 1):
        x = px(10 ** e)
        out.append(f'<line x1="{x:.1f}" y1="{top}" x2="{x:.1f}" y2="{height - bottom}" stroke="#ddd"/>')
        out.append(f'<text x="{x:.1f}" y="{height - bottom + 18}" text-anchor="middle">1e{e}</text>')
    for e in range(y_lo, y_hi + 1):
        y = py(10 ** e)
        out.append(f'<line x1="{left}" y1="{y:.1f}" x2="{width - right}" y2="{y:.1f}" stroke="#ddd"/>')
        label = f"{10.0 ** e:g} s"
        out.append(f'<text x="{left - 6}" y="{y + 4:.1f}" text-anchor="end">{label}</text>')
    out.append(f'<rect x="{left}" y="{top}" width="{width - left - right}" '
               f'height="{height - top - bottom}" fill="none" stroke="black"/>')
    out.append(f'<text x="{(left + width - right) / 2:.0f}" y="{height - 18}" '
               f'text-anchor="middle">triangles</text>')
    out.append(f'<text x="18" y="{(top + height - bottom) / 2:.0f}" text-anchor="middle" '
               f'transform="rotate(-90 18 {(top + height - bottom) / 2:.0f})">time</text>')
    for k, (name, ts, color, dash) in enumerate(series + guides):
        points = " ".join(f"{px(x):.1f},{py(t):.1f}" for x, t in zip(n, ts) if t > 0)
        dash_attr = f' stroke-dasharray="{dash}"' if dash else ""
        out.append(f'<polyline points="{points}" fill="none" stroke="{color}" stroke-width="2"{dash_attr}/>')
        if not dash:
            for x, t in zip(n, ts):
                if t > 0:
                    out.append(f'<circle cx="{px(x):.1f}" cy="{py(t):.1f}" r="3" fill="{color}"/>')
        ly = top + 16 + 20 * k
        lx = width - right + 12
        out.append(f'<line x1="{lx}" y1="{ly - 4}" x2="{lx + 24}" y2="{ly - 4}" stroke="{color}" '
                   f'stroke-width="2"{dash_attr}/>')
        out.append(f'<text x="{lx + 30}" y="{ly}">{name}</text>')
    out.append("</svg>")
    with open(sys.argv[2], "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
