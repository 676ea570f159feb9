#!/usr/bin/env python3
"""Draws scaling series as a log-log SVG: time and peak memory against triangles.

    bench/plot_scaling.py OUT.svg SCALING.tsv[=LABEL] ...

Each SCALING.tsv is what bench/scaling.sh writes (columns triangles, wall_s,
processor_s, peak_rss_mb, pass_processor_ms), one series per file (for
example one thread and two), labelled LABEL or by the file's name. The left
panel shows the whole tool's wall clock (solid) and processor time
(dashed) with a guide growing as n through the first series' first point;
the right panel the peak resident memory. Standard library only; turn it
into a PNG with rsvg-convert.
"""
import math
import os
import sys

COLOURS = ["#1f5fa8", "#c0392b", "#27853a", "#8e44ad"]


def read_series(path):
    rows = []
    with open(path) as f:
        header = f.readline().split()
        for line in f:
            if line.strip():
                rows.append(dict(zip(header, map(float, line.split()))))
    if not rows:
        sys.exit(f"plot_scaling.py: {path}: no rows")
    return rows


class Panel:
    """A log-log plot area: x from triangles, y from the values given."""

    def __init__(self, left, top, width, height, xs, ys):
        self.left, self.top, self.width, self.height = left, top, width, height
        self.x_lo, self.x_hi = math.floor(math.log10(min(xs))), math.ceil(math.log10(max(xs)))
        self.y_lo, self.y_hi = math.floor(math.log10(min(ys))), math.ceil(math.log10(max(ys)))

    def px(self, x):
        return self.left + (math.log10(x) - self.x_lo) / (self.x_hi - self.x_lo) * self.width

    def py(self, y):
        return self.top + self.height - (math.log10(y) - self.y_lo) / (self.y_hi - self.y_lo) * self.height

    def frame(self, out, title, unit):
        for e in range(self.x_lo, self.x_hi + 1):
            x = self.px(10 ** e)
            out.append(f'<line x1="{x:.1f}" y1="{self.top}" x2="{x:.1f}" y2="{self.top + self.height}" stroke="#ddd"/>')
            out.append(f'<text x="{x:.1f}" y="{self.top + self.height + 18}" text-anchor="middle">1e{e}</text>')
        for e in range(self.y_lo, self.y_hi + 1):
            y = self.py(10 ** e)
            out.append(f'<line x1="{self.left}" y1="{y:.1f}" x2="{self.left + self.width}" y2="{y:.1f}" stroke="#ddd"/>')
            out.append(f'<text x="{self.left - 6}" y="{y + 4:.1f}" text-anchor="end">{10.0 ** e:g} {unit}</text>')
        out.append(f'<rect x="{self.left}" y="{self.top}" width="{self.width}" height="{self.height}" '
                   f'fill="none" stroke="black"/>')
        out.append(f'<text x="{self.left + self.width / 2:.0f}" y="{self.top - 10}" text-anchor="middle" '
                   f'font-weight="bold">{title}</text>')
        out.append(f'<text x="{self.left + self.width / 2:.0f}" y="{self.top + self.height + 40}" '
                   f'text-anchor="middle">triangles</text>')

    def line(self, out, xs, ys, colour, dash=""):
        points = " ".join(f"{self.px(x):.1f},{self.py(y):.1f}" for x, y in zip(xs, ys) if y > 0)
        dash_attr = f' stroke-dasharray="{dash}"' if dash else ""
        out.append(f'<polyline points="{points}" fill="none" stroke="{colour}" stroke-width="2"{dash_attr}/>')
        if not dash:
            for x, y in zip(xs, ys):
                if y > 0:
                    out.append(f'<circle cx="{self.px(x):.1f}" cy="{self.py(y):.1f}" r="3" fill="{colour}"/>')


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: plot_scaling.py OUT.svg SCALING.tsv[=LABEL] ...")
    series = []
    for k, argument in enumerate(sys.argv[2:]):
        path, _, label = argument.partition("=")
        series.append((label or os.path.basename(path), read_series(path), COLOURS[k % len(COLOURS)]))

    all_n = [r["triangles"] for _, rows, _ in series for r in rows]
    first = series[0][1]
    guide_n = [r["triangles"] for r in first]
    guide = [first[0]["processor_s"] * n / guide_n[0] for n in guide_n]
    times = [r[c] for _, rows, _ in series for r in rows for c in ("wall_s", "processor_s")] + guide
    memory = [r["peak_rss_mb"] for _, rows, _ in series for r in rows]

    width, height = 960, 460
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
           f'viewBox="0 0 {width} {height}" font-family="sans-serif" font-size="12">',
           f'<rect width="{width}" height="{height}" fill="white"/>']
    time_panel = Panel(70, 40, 330, 300, all_n, [t for t in times if t > 0])
    memory_panel = Panel(540, 40, 330, 300, all_n, memory)
    time_panel.frame(out, "whole run: wall clock, processor time", "s")
    memory_panel.frame(out, "peak resident memory", "MB")
    time_panel.line(out, guide_n, guide, "#888888", "6,4")
    for label, rows, colour in series:
        n = [r["triangles"] for r in rows]
        time_panel.line(out, n, [r["wall_s"] for r in rows], colour)
        time_panel.line(out, n, [r["processor_s"] for r in rows], colour, "3,3")
        memory_panel.line(out, n, [r["peak_rss_mb"] for r in rows], colour)

    legend_y = height - 50
    entries = [(label, colour, "") for label, _, colour in series]
    entries += [("processor time (dashed)", "#444444", "3,3"), ("growth as n", "#888888", "6,4")]
    x = 70
    for label, colour, dash in entries:
        dash_attr = f' stroke-dasharray="{dash}"' if dash else ""
        out.append(f'<line x1="{x}" y1="{legend_y + 25}" x2="{x + 24}" y2="{legend_y + 25}" stroke="{colour}" '
                   f'stroke-width="2"{dash_attr}/>')
        out.append(f'<text x="{x + 30}" y="{legend_y + 29}">{label}</text>')
        x += 40 + 7 * len(label)
    out.append("</svg>")
    with open(sys.argv[1], "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
