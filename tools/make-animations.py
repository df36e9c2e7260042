#!/usr/bin/env python3
"""Makes the two looping loading animations in resources/icons/elc/.

loading2.gif     70 x 70: a ring of twelve blue dots with a fading tail that
                 turns one dot per frame (shown in the white unzip box).
loading_text.gif 120 x 30: a magnifier sweeping to and fro over lines of text
                 (shown in the search panel while a search runs).

Frames are drawn as SVG, rendered with rsvg-convert (librsvg2-bin) and joined
with ImageMagick's convert. GIF transparency is all-or-nothing, so each frame is
flattened onto the colour it is shown on (the matte) before the matte itself is
made transparent: edge pixels stay blended with the right background.
Run after changing the drawing and commit the GIFs; the build only uses them.
"""

import math
import pathlib
import shutil
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUT_DIR = ROOT / "resources" / "icons" / "elc"

BLUE = (66, 165, 245)
LINE_GREY = (200, 204, 209)
GLASS_GREY = (110, 110, 110)


def rgb(colour):
    return "rgb({},{},{})".format(*colour)


def spinner_frame(index, count):
    """Twelve dots; the head sits at position `index`, the tail fades behind it."""
    size, centre, radius = 70, 35, 25
    dots = []
    for position in range(count):
        age = (index - position) % count  # 0 = head, count-1 = oldest
        strength = 1.0 - age / count
        angle = 2 * math.pi * position / count - math.pi / 2
        x = centre + radius * math.cos(angle)
        y = centre + radius * math.sin(angle)
        dots.append('<circle cx="{:.3f}" cy="{:.3f}" r="{:.2f}" fill="{}" fill-opacity="{:.3f}"/>'.format(
            x, y, 3.0 + 2.0 * strength, rgb(BLUE), 0.15 + 0.85 * strength))
    return '<svg xmlns="http://www.w3.org/2000/svg" width="{0}" height="{0}">{1}</svg>'.format(size, "".join(dots))


def searching_frame(index, count):
    """Three lines of 'text' with a magnifier gliding along them and back."""
    width, height = 120, 30
    lines = [(8, 9, 112), (8, 15, 96), (8, 21, 104)]  # x start, y, x end
    parts = ['<g stroke="{}" stroke-width="2" stroke-linecap="round">'.format(rgb(LINE_GREY))]
    words = (14, 22, 10, 18, 26, 12, 20)
    for number, (x0, y, x1) in enumerate(lines):
        # Words of varied length, shifted per line so the gaps do not line up.
        x = x0
        for word in words[number * 2:] + words[:number * 2]:
            end = min(x + word, x1)
            if end - x >= 4:  # no stubs at the end of a line
                parts.append('<path d="M{} {} H{}"/>'.format(x, y, end))
            x = end + 5
    parts.append("</g>")
    # Ease in and out: the glass slows at both ends like a reading eye.
    phase = (1 - math.cos(2 * math.pi * index / count)) / 2
    cx, cy = 18 + phase * 78, 13
    parts.append(
        '<g stroke="{0}" stroke-linecap="round" fill="none">'
        '<circle cx="{1:.3f}" cy="{2}" r="7" fill="rgb(255,255,255)" fill-opacity="0.75" stroke-width="2"/>'
        '<path d="M{3:.3f} {4:.3f} L{5:.3f} {6:.3f}" stroke-width="2.5"/>'
        "</g>".format(rgb(GLASS_GREY), cx, cy, cx + 5, cy + 5, cx + 9, cy + 9))
    parts.append('<circle cx="{:.3f}" cy="{}" r="2" fill="{}"/>'.format(cx, cy, rgb(BLUE)))
    return '<svg xmlns="http://www.w3.org/2000/svg" width="{}" height="{}">{}</svg>'.format(
        width, height, "".join(parts))


def make_gif(name, frame_maker, count, delay_cs, matte, work):
    frames = []
    for index in range(count):
        svg = work / "{}-{:02d}.svg".format(name, index)
        png = work / "{}-{:02d}.png".format(name, index)
        svg.write_text(frame_maker(index, count))
        subprocess.run(["rsvg-convert", "--format=png", "--output", str(png), str(svg)], check=True)
        frames.append(str(png))
    out = OUT_DIR / (name + ".gif")
    # Each frame replaces the last whole: clear to transparent between frames.
    subprocess.run(["convert"]
                   + [arg for frame in frames
                      for arg in ("(", frame, "-background", rgb(matte), "-flatten",
                                  "-transparent", rgb(matte), ")")]
                   + ["-set", "delay", str(delay_cs), "-set", "dispose", "Background",
                      "-loop", "0", str(out)], check=True)
    print("{}: {} frames".format(out.relative_to(ROOT), count))


def main():
    for tool in ("rsvg-convert", "convert"):
        if shutil.which(tool) is None:
            sys.exit("{} not found: apt-get install librsvg2-bin imagemagick".format(tool))
    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder)
        make_gif("loading2", spinner_frame, 12, 8, (255, 255, 255), work)
        # The search panel's body is rgb(244, 244, 244).
        make_gif("loading_text", searching_frame, 24, 6, (244, 244, 244), work)


if __name__ == "__main__":
    main()
