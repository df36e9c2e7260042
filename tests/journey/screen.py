"""What the X display shows: the program's windows and screenshots of it.

Windows are found by what X knows of them (their title and class, their
place and size); controls inside them by the forms (forms.py) or by what a
screenshot shows: runs of a colour, and rows and words of dark text.
"""
import os
import subprocess

from forms import Rect


class Window:
    """A window of the program; its place is asked of X each time, as it may move."""

    def __init__(self, id):
        self.id = id

    @property
    def rect(self):
        return _geometry(self.id) or Rect(0, 0, 0, 0)


TITLE = "^Lumenfolio Epub"  # the program's title, in English or translated
CLASS = "^lumenfolio$"


def _geometry(id):
    shape = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(id)], capture_output=True, text=True)
    values = dict(entry.split("=", 1) for entry in shape.stdout.split() if "=" in entry)
    if shape.returncode != 0 or "WIDTH" not in values:  # gone meanwhile
        return None
    return Rect(*(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT")))


def _search(*query):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", *query], capture_output=True, text=True)
    return [Window(int(id)) for id in found.stdout.split()]


def main_windows():
    """The program's visible windows that carry its title: the library and the reader."""
    return _search("--name", TITLE)


def program_windows():
    """Every visible window of the program, its dialogs included."""
    return _search("--classname", CLASS)


def ink(r, g, b):
    """Dark enough to be text rather than paper, lines of a frame in grey, or marks."""
    return max(r, g, b) < 100


class Shot:
    """One screenshot of the whole display, kept as `<folder>/<name>.png`."""

    def __init__(self, folder, name):
        path = os.path.join(folder, name + ".png")
        subprocess.run(["import", "-window", "root", path], check=True)
        ppm = subprocess.run(["convert", path, "ppm:-"], check=True, capture_output=True).stdout
        # Binary PPM: "P6\n<w> <h>\n255\n" then RGB bytes.
        _, size, _, self.pixels = ppm.split(b"\n", 3)
        self.width, self.height = map(int, size.split())

    def _clip(self, box):
        x0, y0, x1, y1 = box
        return max(x0, 0), max(y0, 0), min(x1, self.width), min(y1, self.height)

    def _row(self, y, x0, x1):
        """The pixels of row y from x0 to x1 as (x, r, g, b)."""
        start = 3 * (y * self.width + x0)
        data = self.pixels[start : start + 3 * (x1 - x0)]
        return ((x0 + i // 3, data[i], data[i + 1], data[i + 2]) for i in range(0, len(data), 3))

    def region(self, box):
        """The pixels of `box`, row by row."""
        x0, y0, x1, y1 = self._clip(box)
        return b"".join(self.pixels[3 * (y * self.width + x0) : 3 * (y * self.width + x1)] for y in range(y0, y1))

    def has(self, box, test):
        x0, y0, x1, y1 = self._clip(box)
        return any(test(r, g, b) for y in range(y0, y1) for _, r, g, b in self._row(y, x0, x1))

    def bounds(self, box, test):
        """The smallest Rect holding every pixel of `box` that passes `test`, or None."""
        x0, y0, x1, y1 = self._clip(box)
        xs, ys = [], []
        for y in range(y0, y1):
            hits = [x for x, r, g, b in self._row(y, x0, x1) if test(r, g, b)]
            if hits:
                xs += (hits[0], hits[-1])
                ys.append(y)
        if not ys:
            return None
        return Rect(min(xs), ys[0], max(xs) - min(xs) + 1, ys[-1] - ys[0] + 1)

    def text_rows(self, box):
        """Rows of text in `box`, top down: bands of rows with ink, as Rects round their ink."""
        x0, y0, x1, y1 = self._clip(box)
        rows, band = [], None
        for y in range(y0, y1):
            line = self.bounds((x0, y, x1, y + 1), ink)
            if line is None:
                band = None
                continue
            if band is None:
                band = [line.x, y, line.x + line.w, y + 1]
                rows.append(band)
            band[0], band[2], band[3] = min(band[0], line.x), max(band[2], line.x + line.w), y + 1
        # A band one or two pixels high across the whole box is a frame's line.
        return [Rect(a, b, c - a, d - b) for a, b, c, d in rows if d - b > 2 or c - a < (x1 - x0) - 4]

    def words(self, row, gap):
        """The words of a text row: runs of columns with ink parted by at least `gap` empty columns."""
        columns = [x for x in range(row.x, row.x + row.w) if self.has((x, row.y, x + 1, row.y + row.h), ink)]
        words = []
        for x in columns:
            if words and x - words[-1][1] <= gap:
                words[-1][1] = x
            else:
                words.append([x, x])
        return [Rect(a, row.y, b - a + 1, row.h) for a, b in words]

    def paper_columns(self, box):
        """The widest run of columns of `box` that are mostly white: a page lying in it."""
        x0, y0, x1, y1 = self._clip(box)
        samples = range(y0, y1, 4)
        white = [0] * (x1 - x0)
        for y in samples:
            for x, r, g, b in self._row(y, x0, x1):
                if r > 250 and g > 250 and b > 250:
                    white[x - x0] += 1
        best, start = (0, 0), None
        for i, count in enumerate(white + [0]):
            if count * 2 > len(samples):
                start = i if start is None else start
            elif start is not None:
                best = max(best, (i - start, start))
                start = None
        return x0 + best[1], x0 + best[1] + best[0]
