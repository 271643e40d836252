#!/usr/bin/env python3
"""End to end in Wine's own explorer.exe: a folder of Japanese names, the real Kanasift
and Tapline.dll of this build's bitness, kaisya typed with xdotool into the file list.
Wine's explorer has the top-level class ExplorerWClass, which the test adds to the
target conditions.

    explorer_test.py <build-dir> <work-dir> <32|64>
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Harness, Installation  # noqa: E402

FILES = ["readme.md", "Abc.txt", "会社.txt", "かいしゃ.txt", "報告書.pdf", "ｶｲｼｬ.txt"]
LIST_PATH = "find:ExplorerWClass/ExplorerBrowserControl/SHELLDLL_DefView/SysListView32"
INI = ("[main]\nToolTipAliveTime=5000\n"
       "TargetConditions=\"*\tProgman\t*\t*\tExploreWClass\t*\t*\tCabinetWClass\t*\t*\tExplorerWClass\t*\t\"\n")


def main():
    build, work, bits = sys.argv[1], sys.argv[2], sys.argv[3]
    h = Harness(build, work)

    def body():
        app = Installation(h, "explorer", INI)
        app.start()
        names = h.explorer(bits, f"kanasift-e2e-{os.getpid()}", FILES, LIST_PATH)
        code, info = h.viewprobe("info", LIST_PATH)
        h.check(f"bits={bits}" in " ".join(info), f"explorer runs with {bits} bits ({info})")
        # Explorer sorts the names; the first candidate in its order is the one selected.
        candidates = sorted(names.index(n) for n in ("会社.txt", "かいしゃ.txt", "ｶｲｼｬ.txt"))
        target = candidates[0]
        h.click_into(LIST_PATH)
        h.viewprobe("deselect", LIST_PATH, -1)
        h.type("kaisya")
        h.wait_for(lambda: h.selected(LIST_PATH) == [target], 5)
        h.check(h.selected(LIST_PATH) == [target], f"kaisya selects {names[target]} in explorer ({h.selected(LIST_PATH)})")
        tip = h.tooltip()
        h.check(tip is not None and tip["visible"], f"the tooltip is shown over explorer ({tip})")
        h.screenshot(f"explorer-{bits}")
        h.key("ctrl+n")
        h.wait_for(lambda: h.selected(LIST_PATH) == [candidates[1]], 5)
        h.check(h.selected(LIST_PATH) == [candidates[1]], f"Ctrl+N steps to {names[candidates[1]]}")
        h.viewprobe("close", LIST_PATH)
        code = app.stop()
        h.check(code == 0, "Kanasift exits with 0")

    h.run(body)

if __name__ == "__main__":
    main()
