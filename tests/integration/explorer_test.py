#!/usr/bin/env python3
"""End to end in Wine's own explorer.exe: a folder of Japanese names, the real Kanasift
and Tapline.dll of this build's bitness, kaisya typed with xdotool into the file list.
Wine's explorer has the top-level class ExplorerWClass, which the test adds to the
target conditions.

    explorer_test.py <build-dir> <work-dir> <32|64>
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Failure, Harness, Installation  # noqa: E402

FILES = ["readme.md", "Abc.txt", "会社.txt", "かいしゃ.txt", "報告書.pdf", "ｶｲｼｬ.txt"]
LIST_PATH = "find:ExplorerWClass/ExplorerBrowserControl/SHELLDLL_DefView/SysListView32"
INI = ("[main]\nToolTipAliveTime=5000\n"
       "TargetConditions=\"*\tProgman\t*\t*\tExploreWClass\t*\t*\tCabinetWClass\t*\t*\tExplorerWClass\t*\t\"\n")


def main():
    build, work, bits = sys.argv[1], sys.argv[2], sys.argv[3]
    h = Harness(build, work)
    folder_name = f"kanasift-e2e-{os.getpid()}"
    folder = os.path.join(h.env["WINEPREFIX"], "drive_c", folder_name)
    os.makedirs(folder, exist_ok=True)
    for name in FILES:
        open(os.path.join(folder, name), "w").close()
    explorer = None
    try:
        app = Installation(h, "explorer", INI)
        app.start()
        loader = h.loader(bits)
        explorer = subprocess.Popen(
            [loader, "explorer", f"/root,C:\\{folder_name}"], env=h.env, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        h.processes.append(explorer)
        if not h.wait_for(lambda: len(h.texts(LIST_PATH)) == len(FILES), 30):
            raise Failure(f"explorer's file list did not show the folder: {h.texts(LIST_PATH)}")
        code, info = h.viewprobe("info", LIST_PATH)
        h.check(f"bits={bits}" in " ".join(info), f"explorer runs with {bits} bits ({info})")
        names = h.texts(LIST_PATH)
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
    except Failure as failure:
        h.check(False, str(failure))
    finally:
        h.cleanup()
    print(f"{h.passed} passed, {h.failed} failed; screenshots in {h.work}")
    sys.exit(1 if h.failed else 0)


if __name__ == "__main__":
    main()
