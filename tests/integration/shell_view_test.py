#!/usr/bin/env python3
"""End to end through the shell view reader, in Wine's own explorer.exe: a folder of real
files with Japanese names, the real Kanasift and Tapline.dll of this build's bitness,
romaji typed with xdotool into the file pane.

Wine has no DirectUIHWND: its file pane is a SysListView32 inside SHELLDLL_DefView. The
test names that class in ShellViewClasses and leaves it out of Classes, so the list path
cannot serve the pane: every name read and every selection made goes through the shell's
own interfaces (IShellBrowser, IFolderView, IShellView::SelectItem), as in the file pane
of today's Explorer. The selection is read back from the pane itself: it is Explorer's own.

    shell_view_test.py <build-dir> <work-dir> <32|64>
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import ROOT, Failure, Harness, Installation, Viewhost  # noqa: E402

FILES = ["写真.jpg", "しゃしん帳.txt", "シャシン.bmp", "議事録.doc", "予定表.csv", "notes.txt", "ﾖﾃｲ.txt"]
SYASIN = ("写真.jpg", "しゃしん帳.txt", "シャシン.bmp")
LIST_PATH = "find:ExplorerWClass/ExplorerBrowserControl/SHELLDLL_DefView/SysListView32"
INI = ("[main]\nToolTipAliveTime=5000\nDictAliveTime=60000\n"
       "Classes=NoListViewHere\nShellViewClasses=DirectUIHWND\tSysListView32\n"
       "TargetConditions=\"*\tExplorerWClass\t*\t*\tCabinetWClass\t*\t\"\n")
# viewhost's plain list: a SysListView32 in a pane named SHELLDLL_DefView, but no shell
# view behind it (its CabinetWClass window does not answer WM_USER+7).
NAMES = os.path.join(ROOT, "tests", "data", "e2e-names.txt")
KAIRO, KAISYA = 4, 3


def settle():
    time.sleep(1.3)  # the input runs out (PermissibleInputInterval is 1000 ms)


def main():
    build, work, bits = sys.argv[1], sys.argv[2], sys.argv[3]
    h = Harness(build, work)

    def body():
        app = Installation(h, "shell", INI)
        app.start()
        names = h.explorer(bits, f"kanasift-shell-{bits}-{os.getpid()}", FILES, LIST_PATH, content=True)
        code, info = h.viewprobe("info", LIST_PATH)
        h.check(f"bits={bits}" in " ".join(info), f"explorer runs with {bits} bits ({info})")

        def selection_becomes(expected, seconds=8):
            h.wait_for(lambda: h.selected(LIST_PATH) == expected, seconds)
            return h.selected(LIST_PATH)

        candidates = sorted(names.index(n) for n in SYASIN)
        h.click_into(LIST_PATH)
        h.viewprobe("deselect", LIST_PATH, -1)

        h.type("syasin")
        h.check(selection_becomes([candidates[0]]) == [candidates[0]],
                f"syasin selects {names[candidates[0]]} through the shell view")
        h.check(h.focused(LIST_PATH) == candidates[0], "and the pane's focus is on it")
        tip = h.tooltip()
        h.check(tip is not None and tip["visible"], f"the tooltip is shown ({tip})")
        h.screenshot(f"shell-{bits}-01-syasin")

        h.key("ctrl+n")
        h.check(selection_becomes([candidates[1]]) == [candidates[1]], f"Ctrl+N steps to {names[candidates[1]]}")
        h.key("ctrl+n")
        h.check(selection_becomes([candidates[2]]) == [candidates[2]], f"Ctrl+N steps to {names[candidates[2]]}")
        h.key("ctrl+n")
        h.check(selection_becomes([candidates[0]]) == [candidates[0]], "Ctrl+N wraps to the first candidate")
        h.screenshot(f"shell-{bits}-02-ctrl-n")
        settle()

        h.type("syasin")
        selection_becomes([candidates[0]])
        h.key("ctrl+s")
        h.check(selection_becomes(candidates) == candidates, "Ctrl+S selects every candidate")
        h.check(h.focused(LIST_PATH) == candidates[-1], "the focus is on the last candidate")
        h.screenshot(f"shell-{bits}-03-ctrl-s")
        settle()

        # Literal input below KanafyLength: a prefix of the name as it is shown.
        h.type("no")
        target = names.index("notes.txt")
        h.check(selection_becomes([target]) == [target], "no (literal) selects notes.txt")
        settle()

        # A rename in the pane keeps the count: the kept names must not go stale.
        h.key("F2")
        time.sleep(0.5)
        h.key("ctrl+a")
        h.type("plan.txt", delay=80)
        h.key("Return")
        if not h.wait_for(lambda: "plan.txt" in h.texts(LIST_PATH), 20):
            raise Failure(f"explorer did not rename notes.txt: {h.texts(LIST_PATH)}")
        names = h.texts(LIST_PATH)
        renamed = names.index("plan.txt")
        settle()
        h.viewprobe("deselect", LIST_PATH, -1)
        h.type("pl")
        h.check(selection_becomes([renamed]) == [renamed], "after the rename pl selects plan.txt")
        settle()
        h.viewprobe("deselect", LIST_PATH, -1)
        h.type("no")
        time.sleep(1.0)
        h.check(h.selected(LIST_PATH) == [], "and no stale notes.txt is found any more")
        settle()
        h.viewprobe("deselect", LIST_PATH, -1)
        h.type("yotei")
        yotei = sorted(names.index(n) for n in ("予定表.csv", "ﾖﾃｲ.txt"))
        h.check(selection_becomes([yotei[0]]) == [yotei[0]], f"yotei selects {names[yotei[0]]}")
        h.screenshot(f"shell-{bits}-04-renamed")

        h.viewprobe("close", LIST_PATH)

        # No shell view behind a window of a shell view class: its keys reach it untouched.
        host = Viewhost(h, "--list", NAMES, "--title", "no shell view")
        h.click_into(host.list)
        h.viewprobe("deselect", host.list, -1)
        h.type("kai")
        h.wait_for(lambda: h.selected(host.list) == [KAIRO], 5)
        h.check(h.selected(host.list) == [KAIRO], "without a shell view the list's own type-ahead gets kai")
        code = app.stop()
        h.check(code == 0, "Kanasift exits with 0")

        # The same class among the list-view classes too: the list path serves it.
        settle()
        both = Installation(h, "shell-both", INI.replace("Classes=NoListViewHere", "Classes=SysListView32"))
        both.start()
        h.click_into(host.list)
        h.viewprobe("deselect", host.list, -1)
        h.type("kaisya")
        h.wait_for(lambda: h.selected(host.list) == [KAISYA], 5)
        h.check(h.selected(host.list) == [KAISYA], "a class in both lists without a shell view is served as a list")
        host.close()
        h.check(both.stop() == 0, "the second Kanasift exits with 0")

    h.run(body)


if __name__ == "__main__":
    main()
