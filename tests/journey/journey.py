#!/usr/bin/env python3
"""One reader's whole journey through the real program, as a user would take it.

Runs the built program under the X display this script is started on (the
test starts it under xvfb-run), drives it with real mouse and keyboard events
(xdotool) and checks what the program wrote and what it shows on screen
(screenshots with ImageMagick's `import`):

  hand a book over to the running program, which imports and opens it; turn
  pages; highlight in two colours; write a memo; bookmark the page; close the
  reader; reopen the book from the library and accept the continue prompt;
  find the marks on the page and in the panels; search; jump from the
  contents; delete the book.

Coordinates are those of the program's own windows, which open at the top
left of a display without a window manager.

    xvfb-run -a -s "-screen 0 1280x800x24" tests/journey/journey.py build/lumenfolio tests/data/corpus
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

PROGRAM, CORPUS = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
BOOK = "childrens-literature"
WORK = tempfile.mkdtemp(prefix="lf-journey-")
SHOTS = os.path.join(WORK, "shots")
os.makedirs(SHOTS)
ENV = dict(os.environ, QT_QPA_PLATFORM="xcb", TMPDIR=os.path.join(WORK, "tmp"),
           XDG_DATA_HOME=os.path.join(WORK, "data"))
os.makedirs(ENV["TMPDIR"])
os.makedirs(ENV["XDG_DATA_HOME"])
DATA = os.path.join(ENV["XDG_DATA_HOME"], "LF_Epub_Viewer_N")
BOOK_DIR = os.path.join(DATA, BOOK)
LOG = os.path.join(WORK, "program.log")

# Places on screen, in the reader window (802 x 642 at the top left).
NEXT_PAGE = (772, 358)
CLOSE = (786, 16)
RIBBON = (731, 84)
TOC_BUTTON, HIGHLIGHT_BUTTON, SEARCH_BUTTON = (633, 55), (705, 55), (776, 55)
# Words of the bibliography on spine position 2 of the book.
ALDEN, ANDERSEN, BARRIE = (100, 360), (110, 383), (100, 406)
# The library window's first tile and the continue prompt's "Yes".
TILE = (76, 147)
PROMPT_YES = (353, 336)
PANEL = (605, 80, 800, 640)  # the side panels' place: x0, y0, x1, y1


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def click(at, button=1, repeat=1):
    xdo("mousemove", at[0], at[1])
    time.sleep(0.1)
    xdo("click", "--repeat", repeat, "--delay", 80, button)


def keys(*names):
    for name in names:
        xdo("key", name)
        time.sleep(0.15)


def log_text():
    with open(LOG, encoding="utf-8", errors="replace") as f:
        return f.read()


def wait(what, predicate, timeout=20.0):
    end = time.time() + timeout
    while time.time() < end:
        if predicate():
            return
        time.sleep(0.1)
    fail("timed out waiting for " + what)


def page_loads():
    return sum(1 for line in log_text().splitlines() if line.startswith("file://"))


def wait_for_page(loads_before, what):
    wait(what, lambda: page_loads() > loads_before)
    time.sleep(1.0)  # the layout pass and the marks follow the load


def read_json(*path):
    try:
        with open(os.path.join(BOOK_DIR, *path), encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def screenshot(name):
    path = os.path.join(SHOTS, name + ".png")
    subprocess.run(["import", "-window", "root", path], check=True)
    ppm = subprocess.run(["convert", path, "ppm:-"], check=True, capture_output=True).stdout
    # Binary PPM: "P6\n<w> <h>\n255\n" then RGB bytes.
    header, rest = ppm.split(b"\n", 3)[:3], ppm.split(b"\n", 3)[3]
    width, height = map(int, header[1].split())
    return width, rest


def wait_screen(what, box, test, timeout=15.0):
    """Takes screenshots until one shows a pixel in `box` passing `test`."""
    end = time.time() + timeout
    while time.time() < end:
        if has_colour(screenshot("waiting"), box, test):
            return
        time.sleep(0.3)
    fail("the screen never showed " + what)


def has_colour(image, box, test):
    width, pixels = image
    x0, y0, x1, y1 = box
    for y in range(y0, y1):
        for x in range(x0, x1):
            i = 3 * (y * width + x)
            if test(pixels[i], pixels[i + 1], pixels[i + 2]):
                return True
    return False


def around(at, dx=30, dy=8):
    return (at[0] - 10, at[1] - dy, at[0] + dx, at[1] + dy)


def yellowish(r, g, b):  # "Yellow" marks over white paper
    return r > 235 and g > 235 and 150 < b < 205


def greenish(r, g, b):  # "Green" marks over white paper
    return 160 < r < 200 and g > 235 and 170 < b < 210


def fail(message):
    print("FAIL:", message)
    # Kept where the test run's scratch folder is not: the screenshots and the log.
    kept = os.path.join("/tmp", "lf-journey-failure")
    shutil.rmtree(kept, ignore_errors=True)
    shutil.copytree(WORK, kept, ignore_dangling_symlinks=True, ignore=shutil.ignore_patterns("tmp", "data"))
    print("screenshots and the program's log are in", kept)
    print("".join(log_text().splitlines(True)[-15:]))
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)
    print("ok:", message)


def until(what, condition, action, tries=4, timeout=5.0):
    """Does `action` until `condition` holds: a busy machine may show a menu
    after the keys meant for it were sent."""
    for _ in range(tries):
        action()
        end = time.time() + timeout
        while time.time() < end:
            if condition():
                return
            time.sleep(0.1)
        keys("Escape")
    fail("never happened: " + what)


def mark_word(at, menu_keys):
    click(at, repeat=2)  # a double-click selects the word
    time.sleep(0.3)
    click(at, button=3)  # the page's own menu
    time.sleep(0.8)
    keys(*menu_keys)


def main():
    log = open(LOG, "w")
    build_dir = os.path.dirname(PROGRAM)  # Resources/lang_ko.qm is found from here
    first = subprocess.Popen([PROGRAM], cwd=build_dir, env=ENV, stdout=log, stderr=subprocess.STDOUT)
    try:
        wait("the first instance", lambda: "first instance started" in log_text())
        time.sleep(1.0)

        # A second start hands the book over; the library imports and opens it.
        book = os.path.join(WORK, BOOK + ".epub")
        shutil.copy(os.path.join(CORPUS, BOOK + ".epub"), book)
        second = subprocess.run([PROGRAM, book], cwd=build_dir, env=ENV, stdout=log, stderr=subprocess.STDOUT,
                                timeout=30)
        check(second.returncode == 0, "a second start hands the book over and ends")
        wait("the reader", lambda: "open requested: " + BOOK in log_text())
        wait_for_page(0, "the first page")

        for turn in range(2):
            loads = page_loads()
            click(NEXT_PAGE)
            wait_for_page(loads, "a page turn")
        wait("progress 3", lambda: (read_json("cp") or {}).get("current_page") == 3)
        check(True, "two page turns reach spine position 2 and store progress 3")

        def highlights():
            return len((read_json("EPUB", "highlight", "hili_total") or {}).get("2", {}))

        # Highlight > Yellow, then Highlight > Green.
        until("a yellow highlight", lambda: highlights() == 1,
              lambda: mark_word(ALDEN, ["Down", "Right", "Return"]))
        until("a green highlight", lambda: highlights() == 2,
              lambda: mark_word(ANDERSEN, ["Down", "Right", "Down", "Down", "Return"]))
        marks = read_json("EPUB", "highlight", "hili_total") or {}
        colours = sorted(entry["color"] for entry in marks.get("2", {}).values())
        check(colours == ["Green", "Yellow"], "two highlights stored for page 2: %s" % colours)

        def memos():
            return (read_json("EPUB", "memo", "memo_total") or {}).get("2", {})

        until("a memo mark", lambda: len(memos()) == 1,
              lambda: mark_word(BARRIE, ["Down", "Down", "Return"]))  # Memo: the editor opens
        time.sleep(0.5)
        xdo("type", "--delay", 40, "Read it again")
        time.sleep(0.3)
        memos = read_json("EPUB", "memo", "memo_total") or {}
        check(len(memos.get("2", {})) == 1, "a memo mark stored for page 2")
        # The editor's OK button: top right of the editor, at the mouse.
        editor_ok = (BARRIE[0] + 1 + 265, 640 - 250 - 10 + 1 + 15)
        click(editor_ok)
        time.sleep(0.5)
        memos = read_json("EPUB", "memo", "memo_total") or {}
        texts = [entry.get("memo") for entry in memos.get("2", {}).values()]
        check(texts == ["Read it again"], "the memo text saved: %s" % texts)

        click(RIBBON)
        wait("the bookmark", lambda: read_json("EPUB", "bm") == [2])
        check(True, "the page is bookmarked")

        click(CLOSE)
        wait("the reader closing", lambda: "close viewer" in log_text())
        loads = page_loads()
        click(TILE, repeat=2)
        # "Continue the book from page 3?": its blue "Yes".
        wait_screen("the continue prompt", around(PROMPT_YES, 5, 4),
                    lambda r, g, b: r < 90 and 150 < g < 180 and b > 230)
        click(PROMPT_YES)
        wait_for_page(loads, "the reopened book")
        wait_screen("the yellow highlight", around(ALDEN), yellowish)
        check(True, "the yellow highlight is on the page again")
        wait_screen("the green highlight", around(ANDERSEN), greenish)
        check(True, "the green highlight is on the page again")

        click(HIGHLIGHT_BUTTON)
        wait_screen("the yellow mark in the panel", PANEL, lambda r, g, b: r > 220 and g > 220 and b < 90)
        check(True, "the highlight panel lists the yellow mark")
        wait_screen("the green mark in the panel", PANEL, lambda r, g, b: r < 120 and g > 200 and b < 120)
        check(True, "the highlight panel lists the green mark")

        loads = page_loads()
        click(SEARCH_BUTTON)
        time.sleep(0.5)
        click((690, 118))
        xdo("type", "--delay", 40, "Pinocchio")
        keys("Return")
        # The first result, once the search has listed it.
        until("a search result turning the page", lambda: page_loads() > loads,
              lambda: click((700, 160), repeat=2), tries=10, timeout=2.0)
        wait_for_page(loads, "the page of a search result")
        check(True, "a search result turns the page")
        # The panel stays whole above the page laid out anew: no line of the
        # page's frame across the panel's title.
        x0, y0, x1, _ = PANEL
        title = (x0 + 2, y0, x1 - 4, y0 + 13)
        check(not has_colour(screenshot("panel-after-turn"), title, lambda r, g, b: max(r, g, b) < 40),
              "the open panel is not drawn over by the page")

        loads = page_loads()
        click(TOC_BUTTON)
        time.sleep(0.8)
        until("a contents entry turning the page", lambda: page_loads() > loads,
              lambda: click((668, 194), repeat=2))  # "INTRODUCTORY"
        wait_for_page(loads, "the page of a contents entry")
        check(True, "a contents entry turns the page")

        click(CLOSE)
        time.sleep(1.0)

        def delete():
            click(TILE, button=3)  # the tile's menu: "Delete"
            time.sleep(0.8)
            keys("Down", "Return")

        until("the book folder removed", lambda: not os.path.exists(BOOK_DIR), delete)
        with open(os.path.join(DATA, "bl"), encoding="utf-8") as f:
            records = json.load(f).get("bookInfos", [])
        check(records == [], "the book's folder and record are gone")
    finally:
        first.kill()
        first.wait()
        log.close()
    shutil.rmtree(WORK, ignore_errors=True)
    print("journey completed")


if __name__ == "__main__":
    main()
