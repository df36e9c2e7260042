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

Nothing is clicked at a fixed place on the screen. The windows are found by
their title (screen.py); a control's place comes from its form and the
window's place and size (forms.py); words on the page, rows of the panels, the
bookmark ribbon, the memo editor and the continue prompt's button are found on
a screenshot.

    xvfb-run -a -s "-screen 0 1280x800x24" tests/journey/journey.py build/lumenfolio tests/data/corpus
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.dont_write_bytecode = True  # the test leaves nothing in the source tree
from forms import Form, Rect  # noqa: E402
from screen import Shot, main_windows, program_windows  # noqa: E402

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

READER, LIBRARY = Form("viewerviewwindow"), Form("viewermainwindow")
TILE, MEMO_EDITOR = Form("booklistgriditemform"), Form("viewermemoform")
CONTENTS, SEARCH = Form("viewertoclistwidget"), Form("viewersearchform")


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def click(at, button=1, repeat=1):
    # The server takes the move before the click: no pause between them.
    xdo("mousemove", at[0], at[1], "click", "--repeat", repeat, "--delay", 80, button)


def keys(*names):
    xdo("key", "--delay", 60, *names)


def log_text():
    with open(LOG, encoding="utf-8", errors="replace") as f:
        return f.read()


def holds_within(predicate, timeout):
    end = time.time() + timeout
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.1)
    return False


def wait(what, predicate, timeout=20.0):
    if not holds_within(predicate, timeout):
        fail("timed out waiting for " + what)


def page_loads():
    return len(addresses())


def addresses():
    """The documents asked for, in order; an address with a fragment is a jump
    inside the page shown."""
    return [line for line in log_text().splitlines() if line.startswith("lfbook://")]


def shown_position():
    """The spine position of the page last asked for, once it is shown (laid
    out, its marks on it); None while it loads."""
    position = None
    for line in log_text().splitlines():
        if line.startswith("lfbook://") and "#" not in line:
            position = None
        elif line.startswith("page shown: "):
            position = int(line.split(": ", 1)[1])
    return position


def shown_document():
    """The text of the document last asked for, as the book folder holds it."""
    path = urllib.parse.unquote(urllib.parse.urlsplit(addresses()[-1]).path).lstrip("/")
    with open(os.path.join(BOOK_DIR, path), encoding="utf-8", errors="replace") as f:
        return f.read()


def wait_for_page(loads_before, what):
    wait(what, lambda: page_loads() > loads_before and shown_position() is not None)


def read_json(*path):
    try:
        with open(os.path.join(BOOK_DIR, *path), encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def screenshot(name):
    return Shot(SHOTS, name)


def seen(what, locate, timeout=15.0):
    """Takes screenshots until `locate` finds `what` on one; returns what it found."""
    end = time.time() + timeout
    while time.time() < end:
        found = locate(screenshot("waiting"))
        if found:
            return found
        time.sleep(0.3)
    fail("the screen never showed " + what)


def expect_screen(message, box, test, timeout=15.0):
    """Takes screenshots until one shows a pixel in `box` passing `test`."""
    seen(message, lambda shot: shot.has(box, test), timeout)
    print("ok:", message)


def after_change(what, box, action, timeout=10.0):
    """Does `action` and waits until the screen in `box` shows something else."""
    before = screenshot("before").region(box)
    action()
    seen(what, lambda shot: shot.region(box) != before, timeout)


def settled(box, timeout=10.0):
    """Waits until two screenshots in a row show the same in `box`: drawing is done."""
    last = [None]

    def steady(shot):
        now = shot.region(box)
        same, last[0] = now == last[0], now
        return same

    seen("the screen settled", steady, timeout)


def window(what, predicate):
    """Waits for the one window of the program that `predicate` picks."""
    found = []

    def shown():
        found[:] = [w for w in main_windows() if predicate(w)]
        return len(found) == 1

    wait(what, shown)
    return found[0]


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


def expect(condition, message, timeout=20.0):
    """`check` for what the program does in its own time."""
    wait(message, condition, timeout)
    print("ok:", message)


def menu_shown():
    """A window of the program that is neither library nor reader: a popup menu."""
    mains = {w.id for w in main_windows()}
    return any(w.id not in mains for w in program_windows())


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
    # The page takes a press within the double-click time after a double-click
    # as a third click, which selects the whole line: the one pause that waits
    # for time itself.
    time.sleep(0.5)
    click(at, button=3)  # the page's own menu
    if holds_within(menu_shown, 5.0):
        keys(*menu_keys)


# Where things are: controls from their forms and their window's place; the
# rest from what a screenshot shows.


def control(form, name, window):
    return form.rect(name, window.rect).centre


def library_tile(library):
    """The first book's cover: the first tile lies at the book list's top left."""
    books = LIBRARY.rect("book_list_widget", library.rect)
    return TILE.rect("book_img_label", Rect(books.x, books.y, *TILE.size)).centre


def panel_place(reader):
    """Every side panel lies against the reader's right edge below the toolbar,
    as wide as the contents panel."""
    placed = reader.rect
    central = READER.rect("centralwidget", placed)
    top = READER.rect("viewer_frame", placed).y
    width = CONTENTS.size[0]
    return Rect(central.x + placed.w - width - 2, top, width, placed.h - (top - central.y) - 2)


def within(window, at):
    """The screen point of `at`, a point relative to the window's top left."""
    placed = window.rect
    return (placed.x + at[0], placed.y + at[1])


def relative(window, at):
    """The point `at` of the screen relative to the window's top left."""
    placed = window.rect
    return (at[0] - placed.x, at[1] - placed.y)


def page_area(reader):
    return READER.rect("viewer_frame", reader.rect).box()


def ribbon_red(r, g, b):  # the page's bookmark ribbon; memo marks are orange
    return r - g > 50 and abs(g - b) < 25


def entry_name(shot, row):
    """The first word of a list entry's text: the widest of the row's first
    gaps parts the entry's number from its text."""
    words = shot.words(row, gap=4)[:4]
    if len(words) < 2:
        return None
    gaps = [after.x - (before.x + before.w) for before, after in zip(words, words[1:])]
    return words[1 + gaps.index(max(gaps))].centre


def bibliography_names(shot, reader):
    """The names of the bibliography's first three entries, relative to the
    reader: text rows starting at the page's left, not centred as its headings
    are."""
    x0, y0, x1, y1 = page_area(reader)
    left, right = shot.paper_columns((x0, y0, x1, y1))
    middle, width = (left + right) / 2, right - left
    rows = shot.text_rows((left + 2, y0, right - 2, y1))
    entries = [row for row in rows if row.x < left + width // 8 and abs(row.x + row.w / 2 - middle) > 15]
    names = [entry_name(shot, row) for row in entries[:3]]
    if len(names) < 3 or not all(names):
        return None
    return [relative(reader, name) for name in names]


def memo_head(r, g, b):  # the memo editor's title row
    return abs(r - 244) < 4 and abs(g - 243) < 4 and abs(b - 211) < 4


def memo_ok(shot, reader):
    head = shot.bounds(reader.rect.box(), memo_head)
    if head is None:
        return None
    top = shot.bounds((head.x, head.y, head.x + head.w, head.y + 1), memo_head)
    return MEMO_EDITOR.rect("ok_button", Rect(top.x, top.y, top.w, MEMO_EDITOR.size[1])).centre


def prompt_blue(r, g, b):  # a question's "Yes"
    return r < 90 and 150 < g < 180 and b > 230


def prompt_yes(shot):
    """The blue button of the program's window that is neither library nor reader."""
    mains = {w.id for w in main_windows()}
    for w in program_windows():
        found = None if w.id in mains else shot.bounds(w.rect.box(), prompt_blue)
        if found:
            return found.centre
    return None


def first_result(shot, panel):
    rows = shot.text_rows(SEARCH.rect("listWidget", panel).box(2))
    return rows[0].centre if rows else None


def contents_entry(shot, panel, number):
    """The contents panel's entry `number` (from 1) below the panel's title;
    row 0 is the tab bar's."""
    title = CONTENTS.rect("frame", panel)
    rows = shot.text_rows((panel.x + 2, title.y + title.h, panel.x + panel.w - 2, panel.y + panel.h))
    return rows[number].centre if len(rows) > number else None


def main():
    log = open(LOG, "w")
    build_dir = os.path.dirname(PROGRAM)  # Resources/lang_ko.qm is found from here
    first = subprocess.Popen([PROGRAM], cwd=build_dir, env=ENV, stdout=log, stderr=subprocess.STDOUT)
    try:
        wait("the first instance", lambda: "first instance started" in log_text())
        library = window("the library", lambda w: True)

        # A second start hands the book over; the library imports and opens it.
        book = os.path.join(WORK, BOOK + ".epub")
        shutil.copy(os.path.join(CORPUS, BOOK + ".epub"), book)
        second = subprocess.run([PROGRAM, book], cwd=build_dir, env=ENV, stdout=log, stderr=subprocess.STDOUT,
                                timeout=30)
        check(second.returncode == 0, "a second start hands the book over and ends")
        wait("the reader", lambda: "open requested: " + BOOK in log_text())
        reader = window("the reader window", lambda w: w.id != library.id)
        wait_for_page(0, "the first page")

        for turn in range(2):
            loads = page_loads()
            click(control(READER, "next_page_button", reader))
            wait_for_page(loads, "a page turn")
        expect(lambda: shown_position() == 2 and (read_json("cp") or {}).get("current_page") == 3,
               "two page turns reach spine position 2 and store progress 3")

        # Words of the bibliography on spine position 2 of the book, and the
        # page's bookmark ribbon, before any mark colours the page.
        alden, andersen, barrie = seen("the bibliography", lambda shot: bibliography_names(shot, reader))
        ribbon = seen("the bookmark ribbon", lambda shot: shot.bounds(page_area(reader), ribbon_red))
        ribbon = relative(reader, ribbon.centre)

        def highlights():
            return len((read_json("EPUB", "highlight", "hili_total") or {}).get("2", {}))

        # Highlight > Yellow, then Highlight > Green.
        until("a yellow highlight", lambda: highlights() == 1,
              lambda: mark_word(within(reader, alden), ["Down", "Right", "Return"]))
        until("a green highlight", lambda: highlights() == 2,
              lambda: mark_word(within(reader, andersen), ["Down", "Right", "Down", "Down", "Return"]))
        marks = read_json("EPUB", "highlight", "hili_total") or {}
        colours = sorted(entry["color"] for entry in marks.get("2", {}).values())
        check(colours == ["Green", "Yellow"], "two highlights stored for page 2: %s" % colours)

        def memos():
            return (read_json("EPUB", "memo", "memo_total") or {}).get("2", {})

        until("a memo mark", lambda: len(memos()) == 1,
              lambda: mark_word(within(reader, barrie), ["Down", "Down", "Return"]))  # Memo: the editor opens
        ok_button = seen("the memo editor", lambda shot: memo_ok(shot, reader))
        xdo("type", "--delay", 40, "Read it again")
        check(len(memos()) == 1, "a memo mark stored for page 2")
        click(ok_button)

        def memo_texts():
            return [entry.get("memo") for entry in memos().values()]

        expect(lambda: memo_texts() == ["Read it again"], "the memo text saved")

        click(within(reader, ribbon))
        expect(lambda: read_json("EPUB", "bm") == [2], "the page is bookmarked")

        click(control(READER, "window_close_button", reader))
        wait("the reader closing", lambda: "close viewer" in log_text())
        loads = page_loads()
        click(library_tile(library), repeat=2)
        # "Continue the book from page 3?": its blue "Yes".
        click(seen("the continue prompt", prompt_yes))
        wait_for_page(loads, "the reopened book")
        reader = window("the reopened reader", lambda w: w.id != library.id)
        expect_screen("the yellow highlight is on the page again", around(within(reader, alden)), yellowish)
        expect_screen("the green highlight is on the page again", around(within(reader, andersen)), greenish)

        panel = panel_place(reader)
        click(control(READER, "toolbar_highlight_button", reader))
        expect_screen("the highlight panel lists the yellow mark", panel.box(),
                      lambda r, g, b: r > 220 and g > 220 and b < 90)
        expect_screen("the highlight panel lists the green mark", panel.box(),
                      lambda r, g, b: r < 120 and g > 200 and b < 120)

        loads = page_loads()
        after_change("the search panel", panel.box(), lambda: click(control(READER, "toolbar_search_button", reader)))
        click(SEARCH.rect("search_line_edit", panel).centre)
        xdo("type", "--delay", 40, "Pinocchio")
        keys("Return")

        def open_first_result():  # once the search has listed it
            at = first_result(screenshot("results"), panel)
            if at:
                click(at, repeat=2)

        until("a search result turning the page", lambda: page_loads() > loads, open_first_result,
              tries=10, timeout=2.0)
        wait_for_page(loads, "the page of a search result")
        check("Pinocchio" in shown_document(), "a search result turns to a page holding the term")
        # The panel stays whole above the page laid out anew: no line of the
        # page's frame across the panel's title.
        title = SEARCH.rect("titlebar_frame", panel).box(4)
        settled(title)
        check(not screenshot("panel-after-turn").has(title, lambda r, g, b: max(r, g, b) < 40),
              "the open panel is not drawn over by the page")

        loads = page_loads()
        after_change("the contents panel", panel.box(),
                     lambda: click(control(READER, "toolbar_toc_list_button", reader)))

        def open_contents_entry():  # the third: "INTRODUCTORY"
            click(seen("the contents", lambda shot: contents_entry(shot, panel, 3)), repeat=2)

        until("a contents entry turning the page", lambda: page_loads() > loads, open_contents_entry)
        wait_for_page(loads, "the page of a contents entry")
        check(addresses()[-1].endswith("/s04.xhtml#pgepubid00498"), "a contents entry turns to its place")

        closes = log_text().count("close viewer")
        click(control(READER, "window_close_button", reader))
        wait("the reader closing", lambda: log_text().count("close viewer") > closes)

        def delete():
            click(library_tile(library), button=3)  # the tile's menu: "Delete"
            if holds_within(menu_shown, 5.0):
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
