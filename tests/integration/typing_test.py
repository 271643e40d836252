#!/usr/bin/env python3
"""End to end under Wine: the real Kanasift.exe and Tapline.dll, a stand-in Explorer
(viewhost) in another process, real keys typed with xdotool, and the view's state read
back across the process boundary.

    typing_test.py <build-dir> <work-dir>

Screenshots of each scenario's end state go to <work-dir>.
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import ROOT, Harness, Installation, Viewhost  # noqa: E402

NAMES = os.path.join(ROOT, "tests", "data", "e2e-names.txt")
TREE = os.path.join(ROOT, "tests", "data", "viewhost-tree.txt")
# readme.md Abc.txt テスト.txt 会社.txt kairo.txt かいしゃ.txt ｶｲｼｬ.txt 報告書.pdf
KAISYA = [3, 5, 6]
KAIRO = 4

INI = """[main]
ToolTipAliveTime=5000
DictAliveTime=60000
"""


class TypingTest:
    def __init__(self, h):
        self.h = h

    def settle(self):
        """Lets the current input run out (PermissibleInputInterval is 1000 ms)."""
        time.sleep(1.3)

    def selection_becomes(self, view, expected, seconds=5.0):
        self.h.wait_for(lambda: self.h.selected(view) == expected, seconds)
        return self.h.selected(view)

    def run(self):
        h = self.h
        app = Installation(h, "typing", INI)
        app.start()
        host = Viewhost(h, "--list", NAMES, "--tree", TREE, "--title", "e2e")
        view = host.list
        try:
            h.click_into(view)
            self.type_selects(view)
            self.candidates_step(view)
            self.backspace_shortcut(view)
            self.select_all(view)
            self.enter_hides_tooltip(view)
            self.space_reaches_view(view)
            self.tree_keys(host)
            self.use_off(app, host)
        finally:
            host.close()
            code = app.stop()
            h.check(code == 0, f"Kanasift exits with 0 through its exit command (got {code})")

    def type_selects(self, view):
        h = self.h
        h.type("kaisya")
        h.check(self.selection_becomes(view, [3]) == [3], "kaisya selects 会社.txt")
        h.check(h.focused(view) == 3, "and focuses it")
        tip = h.tooltip()
        left, top, right, bottom = h.screen_rect(view)
        h.check(tip is not None and tip["visible"], "the tooltip is shown")
        if tip:
            x, y = tip["rect"][0], tip["rect"][1]
            h.check(left <= x <= right and top <= y <= bottom, f"beside the item, inside the view ({tip['rect']})")
        h.screenshot("01-kaisya")

    def candidates_step(self, view):
        h = self.h
        h.key("ctrl+n")
        h.check(self.selection_becomes(view, [5]) == [5], "Ctrl+N steps to かいしゃ.txt")
        h.key("ctrl+n")
        h.check(self.selection_becomes(view, [6]) == [6], "Ctrl+N steps to ｶｲｼｬ.txt")
        h.key("ctrl+n")
        h.check(self.selection_becomes(view, [3]) == [3], "Ctrl+N wraps to 会社.txt")
        h.key("ctrl+p")
        h.check(self.selection_becomes(view, [6]) == [6], "Ctrl+P steps back to ｶｲｼｬ.txt")
        h.screenshot("02-ctrl-n-p")
        self.settle()

    def backspace_shortcut(self, view):
        h = self.h
        h.type("kaisyaq")  # the q finds nothing: the input stops growing, 会社.txt stays
        h.check(self.selection_becomes(view, [3]) == [3], "a failed character leaves the earlier match")
        h.key("ctrl+n")    # while failed, a step only beeps
        time.sleep(0.5)
        h.check(h.selected(view) == [3], "Ctrl+N after a failed input changes nothing")
        h.key("ctrl+h")    # deletes the q and searches back from the current item
        h.check(self.selection_becomes(view, [3]) == [3], "Ctrl+H searches back and keeps 会社.txt")
        h.key("ctrl+n")
        h.check(self.selection_becomes(view, [5]) == [5], "after Ctrl+H the candidates step again")
        h.screenshot("03-ctrl-h")
        self.settle()

    def select_all(self, view):
        h = self.h
        h.type("kaisya")
        self.selection_becomes(view, [3])
        h.key("ctrl+s")
        h.check(self.selection_becomes(view, KAISYA) == KAISYA, "Ctrl+S selects every candidate")
        h.check(h.focused(view) == 6, "the focus is on the last candidate")
        h.screenshot("04-ctrl-s")
        self.settle()

    def enter_hides_tooltip(self, view):
        h = self.h
        h.type("tesuto")
        h.check(self.selection_becomes(view, [2]) == [2], "tesuto selects テスト.txt")
        tip = h.tooltip()
        h.check(tip is not None and tip["visible"], "the tooltip is up (it would stay 5 s)")
        h.key("Return")
        h.check(h.wait_for(lambda: not (h.tooltip() or {"visible": True})["visible"], 2.0),
                "Enter hides the tooltip at once")
        h.screenshot("05-enter")
        self.settle()

    def space_reaches_view(self, view):
        h = self.h
        h.viewprobe("deselect", view, -1, ";", "focus", view, 1)
        h.type(" ")
        h.check(self.selection_becomes(view, [1]) == [1],
                "a space on an empty input reaches the list view (it selects the focused item)")
        h.screenshot("06-space")
        self.settle()

    def visible_count(self, tree):
        code, lines = self.h.viewprobe("visible", tree)
        return len([line for line in lines if line.startswith("item=")])

    def caret_text(self, tree):
        code, lines = self.h.viewprobe("caret", tree)
        return lines[-1].partition(" text=")[2] if code == 0 and lines else None

    def tree_keys(self, host):
        h = self.h
        tree = host.tree
        h.click_into(tree)
        h.viewprobe("tree-select", tree, "text:ﾏｲ ｺﾝﾋﾟｭｰﾀ")
        before = self.visible_count(tree)
        h.type("+")
        h.check(h.wait_for(lambda: self.visible_count(tree) == before + 1, 3), "+ on an empty input expands the branch")
        self.settle()
        h.type("-")
        h.check(h.wait_for(lambda: self.visible_count(tree) == before, 3), "- collapses it")
        self.settle()
        h.viewprobe("tree-select", tree, "text:デスクトップ")
        h.type("-")
        collapsed = h.wait_for(lambda: self.visible_count(tree) < before, 3)
        h.check(bool(collapsed), "- collapses デスクトップ")
        self.settle()
        h.type("*")
        h.check(h.wait_for(lambda: self.visible_count(tree) == before + 1, 3),
                "* expands everything below it, ﾏｲ ｺﾝﾋﾟｭｰﾀ included")
        self.settle()
        h.type("kaisya")
        h.check(h.wait_for(lambda: self.caret_text(tree) == "会社", 3), "kaisya in the tree selects 会社")
        h.screenshot("07-tree")
        self.settle()

    def use_off(self, app, host):
        h = self.h
        view = host.list
        h.click_into(view)
        h.key("Escape")  # hides the tooltip left by the tree scenario
        h.viewprobe("deselect", view, -1, ";", "focus", view, 0)
        second = h.spawn(os.path.join(app.dir, "Kanasift.exe"), "/toggle_is_use", cwd=app.dir)
        h.check(second.wait(timeout=60) == 0, "a second start with /toggle_is_use exits with 0")
        time.sleep(0.5)
        h.type("kai")
        h.check(self.selection_becomes(view, [KAIRO]) == [KAIRO],
                "with use off the view's own type-ahead gets kai (kairo.txt)")
        h.check(not (h.tooltip() or {"visible": False})["visible"], "and no tooltip shows")
        h.screenshot("08-use-off")
        self.settle()
        h.kanasift_probe("post", "Kanasift::UM_KEYDOWN", 1, 0)  # use on again, as a second start would
        time.sleep(0.5)
        h.type("kai")
        h.check(self.selection_becomes(view, [3]) == [3], "with use on again kai selects 会社.txt")


def main():
    build, work = sys.argv[1], sys.argv[2]
    h = Harness(build, work)
    h.run(lambda: TypingTest(h).run())


if __name__ == "__main__":
    main()
