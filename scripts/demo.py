#!/usr/bin/env python3
"""The demo: Kanasift (default dictionary) in Wine's own explorer.exe, on a folder of real
files with Japanese names; romaji typed with real keys; a screenshot after each step in
the demo folder.

Explorer's file pane is served through the shell view reader, as the file pane of
Windows 10 and 11 is: Wine's pane is a SysListView32, which the demo's settings name among
the shell view classes (and not among the list-view classes), so every name is read and
every item selected through the shell's own interfaces inside explorer.exe. The explorer
has the bitness of the build (win64: the 64-bit explorer).

    demo.py <build-dir> <demo-dir>
"""
import os
import shutil
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "integration"))
from harness import Failure, Harness, Installation  # noqa: E402
from private_wine import pe_bits  # noqa: E402

NAMES = ["readme.md", "議事録_2026-12-01.docx", "会社概要.pdf", "会議室予約.xlsx", "かいしゃ案内.txt",
         "カイシャ一覧.csv", "ｶｲｼｬﾒﾓ.txt", "テスト計画.md", "ﾃｽﾄ結果.log", "報告書（最終）.pdf",
         "東京出張.txt", "日本語入力.txt", "写真", "Abc.txt"]
STEPS = [
    ("kaisya", [], "kaisya — the first spelling of kaisya in Explorer's order"),
    ("", ["ctrl+n"], "Ctrl+N — the next spelling"),
    ("", ["ctrl+n"], "Ctrl+N — the next one"),
    ("", ["ctrl+n"], "Ctrl+N — and the next"),
    ("tesuto", [], "tesuto — テスト / ﾃｽﾄ"),
    ("houkoku", [], "houkoku — 報告書（最終）.pdf"),
    ("kaigi", [], "kaigi — 会議室予約.xlsx"),
    ("kaisya", ["ctrl+s"], "kaisya, Ctrl+S — every candidate selected"),
]
PANE = "find:ExplorerWClass/ExplorerBrowserControl/SHELLDLL_DefView/SysListView32"
INI = ("[main]\nToolTipAliveTime=4000\nClasses=\nShellViewClasses=DirectUIHWND\tSysListView32\n"
       "TargetConditions=\"*\tProgman\t*\t*\tExplorerWClass\t*\t*\tCabinetWClass\t*\t*\t#32770\tDirectUIHWND\t\"\n")


def main():
    build, demo = sys.argv[1], sys.argv[2]
    h = Harness(build, demo)
    bits = pe_bits(os.path.join(build, "dist", "Kanasift.exe"))
    folder_name = f"Kanasift-demo-{os.getpid()}"
    app = Installation(h, "demo", INI)
    try:
        app.start()
        shown = h.explorer(bits, folder_name, NAMES, PANE, content=True)
        print(f"Wine's {bits}-bit explorer.exe on C:\\{folder_name}, served through the shell view reader")
        h.click_into(PANE)
        for number, (word, keys, caption) in enumerate(STEPS, 1):
            if word:
                h.type(word)
            if keys:
                h.key(*keys)
            time.sleep(0.8)
            selected = h.selected(PANE) or []
            shot = h.screenshot(f"{number:02d}-{(word or keys[0]).replace('+', '-')}")
            chosen = ", ".join(shown[i] for i in selected if i < len(shown))
            print(f"{caption}\n    selected: {chosen}\n    screenshot: {shot}")
            time.sleep(1.3)  # let the input run out before the next word
        h.viewprobe("close", PANE)
    except Failure as failure:
        print(f"demo failed: {failure}")
        raise SystemExit(1)
    finally:
        app.stop()
        h.cleanup()
        shutil.rmtree(os.path.join(h.env["WINEPREFIX"], "drive_c", folder_name), ignore_errors=True)


if __name__ == "__main__":
    main()
