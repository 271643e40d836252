#!/usr/bin/env python3
"""viewhost.exe and viewprobe.exe driven from Python, as integration tests use them.

    viewprobe_test.py <build-dir>

Starts viewhost with the Japanese test names, reads and changes its views through
viewprobe (Kanasift's own cross-process operations) and closes it again.
"""
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
BUILD = os.path.abspath(sys.argv[1])
WINE_ENV = os.path.join(ROOT, "scripts", "wine-env.sh")
VIEWHOST = os.path.join(BUILD, "tools", "viewhost", "viewhost.exe")
VIEWPROBE = os.path.join(BUILD, "tools", "viewprobe", "viewprobe.exe")
DATA = os.path.join(ROOT, "tests", "data")
failures = []


def wine(*args):
    return [WINE_ENV, "run", BUILD, *args]


def probe(*args):
    """Runs viewprobe; returns (exit code, output lines)."""
    done = subprocess.run(wine(VIEWPROBE, *args), capture_output=True, timeout=60)
    return done.returncode, done.stdout.decode("utf-8").splitlines()


def fields(line):
    """'item=0 hex=.. text=a b' -> dict; text runs to the end of the line."""
    out = {}
    rest = line
    while rest:
        key, _, value = rest.partition("=")
        if key == "text":
            out[key] = value
            break
        value, _, rest = value.partition(" ")
        out[key] = value
    return out


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAILED:", message)


def start_viewhost(*options):
    handles = os.path.join(tempfile.mkdtemp(prefix="viewhost-"), "handles.txt")
    process = subprocess.Popen(wine(VIEWHOST, *options, "--handles", handles),
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 30
    while not os.path.exists(handles):
        if process.poll() is not None or time.time() > deadline:
            raise SystemExit("viewhost did not come up")
        time.sleep(0.05)
    with open(handles) as f:
        facts = dict(line.strip().split("=", 1) for line in f if "=" in line)
    return process, facts


def main():
    process, facts = start_viewhost("--list", os.path.join(DATA, "viewhost-names.txt"),
                                    "--tree", os.path.join(DATA, "viewhost-tree.txt"),
                                    "--checkboxes", "--select", "0,2", "--focus", "2", "--title", "会社")
    view, tree = facts["list"], facts["tree"]
    try:
        code, lines = probe("count", view, ";", "selected", view, ";", "focused", view)
        check(code == 0 and lines == ["count=12 selected=2", "selected=0,2", "focused=2"], f"states: {lines}")

        code, lines = probe("texts", view)
        items = [fields(line) for line in lines]
        check(len(items) == 12, f"{len(items)} texts")
        check(items[0]["hex"] == "89EF8ED02E747874" and items[0]["text"] == "会社.txt", f"item 0: {items[0]}")
        check(items[4]["text"] == "ｶｲｼｬ.txt", f"item 4: {items[4]}")
        check(len(bytes.fromhex(items[7]["hex"])) == 259, "the 300-byte name arrives cut to 259 bytes")

        probe("check", view, "1,3", ";", "deselect", view, "-1", ";", "select", view, "5")
        code, lines = probe("checks", view, ";", "selected", view)
        check(lines == ["checks=1,2,1,2,1,1,1,1,1,1,1,1", "selected=5"], f"after changes: {lines}")

        code, lines = probe("select-checked", view, ";", "selected", view, ";", "focused", view)
        check(lines == ["selected=1,3", "focused=3"], f"select-checked: {lines}")

        code, lines = probe("find", "find:CabinetWClass@会社/SHELLDLL_DefView/SysListView32")
        check(code == 0 and fields(lines[0])["hwnd"].lower() == view.lower(), f"find: {lines}")

        code, lines = probe("visible", tree)
        names = [fields(line)["text"] for line in lines]
        check(names[:3] == ["デスクトップ", "マイ ドキュメント", "会社"] and len(names) == 9, f"tree: {names}")
        code, lines = probe("tree-select", tree, "text:資料", ";", "caret", tree)
        check(code == 0 and fields(lines[-1])["text"] == "資料", f"caret: {lines}")

        code, lines = probe("count", "0x7FFE1234")
        check(code == 1 and lines[0].startswith("error="), f"no such window: {code} {lines}")
    finally:
        probe("close", facts["main"])
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
    check(process.returncode == 0, f"viewhost exit code {process.returncode}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
