#!/usr/bin/env python3
"""The demo: Kanasift (32-bit build, default settings and dictionary) beside a stand-in
Explorer window full of Japanese names; romaji typed with real keys; a screenshot after
each step in build/demo/.

    demo.py <build-dir> <demo-dir>
"""
import os
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "integration"))
from harness import Harness, Installation, Viewhost  # noqa: E402

NAMES = ["readme.md", "議事録_2026-12-01.docx", "会社概要.pdf", "会議室予約.xlsx", "かいしゃ案内.txt",
         "カイシャ一覧.csv", "ｶｲｼｬﾒﾓ.txt", "テスト計画.md", "ﾃｽﾄ結果.log", "報告書（最終）.pdf",
         "東京出張.txt", "日本語入力.txt", "写真", "Abc.txt"]
STEPS = [
    ("kaisya", [], "kaisya — 会社概要.pdf: the kanji spelling"),
    ("", ["ctrl+n"], "Ctrl+N — the next spelling: かいしゃ案内.txt"),
    ("", ["ctrl+n"], "Ctrl+N — カイシャ一覧.csv"),
    ("", ["ctrl+n"], "Ctrl+N — half-width ｶｲｼｬﾒﾓ.txt"),
    ("tesuto", [], "tesuto — テスト計画.md"),
    ("houkoku", [], "houkoku — 報告書（最終）.pdf"),
    ("kaigi", [], "kaigi — 会議室予約.xlsx"),
    ("kaisya", ["ctrl+s"], "kaisya, Ctrl+S — every candidate selected"),
]


def main():
    build, demo = sys.argv[1], sys.argv[2]
    h = Harness(build, demo)
    names = os.path.join(demo, "names.txt")
    with open(names, "w", encoding="utf-8") as f:
        f.write("\n".join(NAMES) + "\n")
    app = Installation(h, "demo", "[main]\nToolTipAliveTime=4000\n")
    try:
        app.start()
        host = Viewhost(h, "--list", names, "--title", "Kanasift demo")
        h.click_into(host.list)
        for number, (word, keys, caption) in enumerate(STEPS, 1):
            if word:
                h.type(word)
            if keys:
                h.key(*keys)
            time.sleep(0.6)
            selected = h.selected(host.list) or []
            shot = h.screenshot(f"{number:02d}-{(word or keys[0]).replace('+', '-')}")
            chosen = ", ".join(NAMES[i] for i in selected)
            print(f"{caption}\n    selected: {chosen}\n    screenshot: {shot}")
            time.sleep(1.3)  # let the input run out before the next word
        host.close()
    finally:
        app.stop()
        h.cleanup()


if __name__ == "__main__":
    main()
