#!/usr/bin/env python3
"""Faults under Wine, end to end: the real Kanasift.exe and Tapline.dll against viewhost,
real keys typed with xdotool, and ksreliability measuring Kanasift from outside.

    faults_test.py <build-dir> <work-dir> [scenario...]

Scenarios: view_exits, view_hangs, kanasift_killed, dictionary, files.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reliability import (ROOT, Failure, Helper, Installation, Viewhost, ini_value, kill_process,  # noqa: E402
                         private_dictionary, read_bytes, start_harness)

NAMES = os.path.join(ROOT, "tests", "data", "e2e-names.txt")
# readme.md Abc.txt テスト.txt 会社.txt kairo.txt かいしゃ.txt ｶｲｼｬ.txt 報告書.pdf
KAISYA = 3
KAIRO = 4
HIRAGANA_KAISYA = 5
INI = """[main]
ToolTipAliveTime=5000
DictAliveTime=60000
"""
MIGEMO_BOX = "Kanasift"


class Faults:
    def __init__(self, h):
        self.h = h
        self.helper = Helper(h)

    # --- small steps ------------------------------------------------------------------
    def settle(self):
        time.sleep(1.3)  # the input runs out (PermissibleInputInterval 1000 ms)

    def selection_becomes(self, view, expected, seconds=8.0):
        self.h.wait_for(lambda: self.h.selected(view) == expected, seconds)
        return self.h.selected(view)

    def types_and_selects(self, view, text, expected, what):
        self.h.click_into(view)
        self.h.type(text)
        got = self.selection_becomes(view, [expected])
        self.h.check(got == [expected], f"{what}: {text} selects item {expected} (got {got})")
        self.settle()

    def handles(self, pid=None):
        usage = self.helper.usage(pid)
        return usage["handles"] if usage else None

    # --- the view's process exits during a search step ----------------------------------
    def view_exits(self):
        h = self.h
        # Inputs stay literal, so that every character walks the whole view.
        app = Installation(h, "view-exits", INI + "KanafyLength=40\n")
        app.start()
        big = Viewhost(h, "--count", "10000", "--title", "big")
        small = Viewhost(h, "--list", NAMES, "--title", "small")
        try:
            # Warm-up: both kinds of step have run once, so that what they keep for the
            # program's life (the dictionary, caches) is there before the count.
            self.types_and_selects(small.list, "kai", KAIRO, "warm-up (literal)")
            # The big view never gets a real key, so the hook library is not loaded in
            # its process and Kanasift reads it item by item: a walk takes seconds. The
            # characters are queued as the hook would queue them.
            self.helper.run("type", big.list, "kaisya")
            h.wait_for(lambda: self.helper.ping(500) is not None, 60)
            self.settle()
            before = self.handles()
            # No name starts with q: each character walks all 10,000 items.
            self.helper.run("type", big.list, "qqqq")
            busy = h.wait_for(lambda: self.helper.busy(40), seconds=5, step=0.01)
            kill_process(big.process)
            answered = self.helper.ping(10000)
            h.check(bool(busy), "the view's process is killed while a walk runs")
            h.check(answered is not None and answered < 3000,
                    f"the walk ends when the view's process dies (the UI answers in {answered} ms)")
            h.check(app.process.poll() is None, "Kanasift is still running")
            time.sleep(1.0)
            after = self.handles()
            h.check(before is not None and after is not None and after <= before,
                    f"no handle is left behind: the dead view's process handle is closed ({before} -> {after})")
            h.viewprobe("deselect", small.list, -1)
            self.types_and_selects(small.list, "kai", KAIRO, "the next keystroke in another view")
        finally:
            small.close()
            kill_process(big.process)
            code = app.stop()
            h.check(code == 0, f"Kanasift exits with 0 (got {code})")

    # --- the view stops answering -------------------------------------------------------
    def view_hangs(self):
        h = self.h
        app = Installation(h, "view-hangs", INI)
        app.start()
        host = Viewhost(h, "--list", NAMES, "--title", "hangs")
        try:
            self.types_and_selects(host.list, "kaisya", KAISYA, "before the hang")
            hang_ms = 9000
            h.viewprobe("hang", host.list, hang_ms)
            time.sleep(0.3)
            started = time.monotonic()
            # Keys the hook posted just before the view's thread went to sleep: each one is
            # a search step on the hung view.
            for _ in range(2):
                h.kanasift_probe("post", "Kanasift::UM_KEYDOWN_CTRL", ord("N"), host.list)
            answered, ms = self.helper.query("kaisya", 6000)
            h.check(answered and ms is not None and ms < 3000,
                    f"a query is answered while the view hangs ({ms} ms)")
            ping = self.helper.ping(6000)
            h.check(ping is not None and ping < 3000, f"the UI thread answers while the view hangs ({ping} ms)")
            keep_alive = ini_value(app.ini_path, "IsKeepAliveDict")
            h.kanasift_probe("post", "0x111", 1002, 0)  # the tray menu's keep-alive toggle
            toggled = h.wait_for(lambda: ini_value(app.ini_path, "IsKeepAliveDict") not in (None, keep_alive), 3)
            h.check(bool(toggled), "a tray command is carried out while the view hangs")
            h.kanasift_probe("post", "0x111", 1002, 0)
            elapsed = time.monotonic() - started
            h.check(elapsed < hang_ms / 1000 - 1, f"all of it within the hang ({elapsed:.1f} s of {hang_ms / 1000:.0f} s)")
            h.check(app.process.poll() is None and host.process.poll() is None,
                    "Kanasift and the view's process are both still running")
            time.sleep(max(0.0, hang_ms / 1000 - (time.monotonic() - started)) + 1.0)
            h.kanasift_probe("post", "Kanasift::UM_KEYDOWN", 0x1B, host.list)
            self.types_and_selects(host.list, "kaisya", KAISYA, "after the view wakes up")
        finally:
            host.close()
            code = app.stop()
            h.check(code == 0, f"Kanasift exits with 0 (got {code})")

    # --- Kanasift dies with its hook installed --------------------------------------------
    def kanasift_killed(self):
        h = self.h
        app = Installation(h, "killed", INI)
        app.start()
        host = Viewhost(h, "--list", NAMES, "--title", "killed")
        try:
            self.types_and_selects(host.list, "kaisya", KAISYA, "while Kanasift runs")
            kill_process(app.process)
            app.process = None
            gone = h.wait_for(lambda: h.kanasift_probe("window")[0] != 0, 10)
            h.check(bool(gone), "Kanasift's window is gone")
            h.viewprobe("deselect", host.list, -1, ";", "focus", host.list, 0)
            self.types_and_selects(host.list, "kai", KAIRO, "the view's own type-ahead after the kill")
            h.check(host.process.poll() is None, "the view's process keeps running")
            code, lines = h.viewprobe("count", host.list)
            h.check(code == 0, "the view still answers")
            app.start()
            h.viewprobe("deselect", host.list, -1)
            self.types_and_selects(host.list, "kaisya", KAISYA, "a new Kanasift")
        finally:
            host.close()
            code = app.stop()
            h.check(code == 0, f"the new Kanasift exits with 0 (got {code})")

    # --- a missing, truncated or garbage dictionary ---------------------------------------
    def dictionary(self):
        for kind in ("missing", "truncated", "garbage", "text-garbage"):
            self.one_dictionary(kind)

    def one_dictionary(self, kind):
        h = self.h
        app = Installation(h, f"dict-{kind}", INI)
        private_dictionary(app, kind)
        app.start()
        host = Viewhost(h, "--list", NAMES, "--title", f"dict-{kind}")
        try:
            self.types_and_selects(host.list, "ka", KAIRO, f"{kind} dictionary, below KanafyLength")
            h.check(self.helper.boxes(MIGEMO_BOX) == 0, f"{kind}: no box for two characters")
            h.click_into(host.list)
            h.type("kaisya")
            most, closed = 0, 0
            quiet_since = time.monotonic()
            deadline = time.monotonic() + 30
            while time.monotonic() < deadline and time.monotonic() - quiet_since < 2.5:
                count = self.helper.boxes(MIGEMO_BOX)
                most = max(most, count)
                if count:
                    code, text = h.kanasift_probe("box", MIGEMO_BOX)
                    if "Failed to initialize migemo" not in text:
                        h.check(False, f"{kind}: unexpected box: {text.strip()}")
                    h.kanasift_probe("close-box", MIGEMO_BOX)
                    closed += 1
                    quiet_since = time.monotonic()
                time.sleep(0.2)
            if kind == "truncated":
                h.check(closed == 0, f"truncated: the first 1,000 bytes open as a small dictionary: no box ({closed})")
                got = self.selection_becomes(host.list, [HIRAGANA_KAISYA])
                h.check(got == [HIRAGANA_KAISYA], f"truncated: kaisya still finds かいしゃ.txt by its kana (got {got})")
            elif kind == "text-garbage":
                h.check(most <= 1, f"text-garbage: opens as a dictionary of nonsense; at most one box at a time ({most})")
            else:
                h.check(1 <= closed <= 4 and most == 1,
                        f"{kind}: \"Failed to initialize migemo\", one box at a time ({closed} shown, at most {most} at once)")
            h.check(app.process.poll() is None, f"{kind}: Kanasift is still running")
            self.settle()
            h.viewprobe("deselect", host.list, -1)
            self.types_and_selects(host.list, "ka", KAIRO, f"{kind}: literal matching afterwards")
        finally:
            host.close()
            self.helper.close_boxes(MIGEMO_BOX)
            code = app.stop()
            h.check(code == 0, f"{kind}: Kanasift exits with 0 (got {code})")

    # --- settings and history files that cannot be written or read ----------------------
    SETTINGS = ("; my settings\n[main]\nIsUsePartialMatch=0\nIsUseTooltip=1\nToolTipAliveTime=5000\n"
                "DictAliveTime=60000\n[key]\nNextCandidateShortcut=N\n")
    HISTORY = "kai(sya)\r\n[0-9]+\r\nテスト\r\n"

    def files(self):
        self.one_files_case("read-only")
        self.one_files_case("locked")
        self.one_files_case("read-only folder")

    def one_files_case(self, case):
        h = self.h
        app = Installation(h, "files-" + case.replace(" ", "-"), self.SETTINGS)
        history = os.path.join(app.dir, "RegexHistory.ini")
        with open(history, "wb") as f:
            f.write(self.HISTORY.encode("cp932"))
        nis_history = os.path.join(app.dir, "NisHeaderHistory.ini")
        with open(nis_history, "wb") as f:
            f.write(b"No.\r\n")
        files = [app.ini_path, history, nis_history]
        before = {path: read_bytes(path) for path in files}
        listing = sorted(os.listdir(app.dir))
        holder = None
        mounted = False
        host = None
        try:
            if case == "read-only":
                for path in files:
                    os.chmod(path, 0o444)
            elif case == "locked":
                ready = os.path.join(h.work, f"locked-{time.monotonic_ns()}")
                holder = self.helper.spawn("lock", app.ini_path, ready)
                holder2 = self.helper.spawn("lock", history, ready + "-2")
                if not h.wait_for(lambda: os.path.exists(ready) and os.path.exists(ready + "-2"), 20):
                    raise Failure("the files could not be locked")
            else:
                done = subprocess.run(["mount", "--bind", "-o", "ro", app.dir, app.dir], capture_output=True)
                if done.returncode != 0:
                    print(f"skip {case}: a read-only bind mount needs privileges ({done.stderr.decode().strip()})")
                    return
                mounted = True
            app.start()
            host = Viewhost(h, "--list", NAMES, "--title", "files")
            self.types_and_selects(host.list, "kaisya", KAISYA, f"{case}: the program runs")
            # The use toggle (tray menu), twice: it must work in memory whether saved or not.
            h.kanasift_probe("post", "0x111", 1000, 0)
            time.sleep(0.5)
            h.viewprobe("deselect", host.list, -1, ";", "focus", host.list, 0)
            self.types_and_selects(host.list, "kai", KAIRO, f"{case}: use toggled off in memory (the view's own type-ahead)")
            if case == "locked":
                # Released in the middle of the run: what was never read is still not written.
                kill_process(holder)
                kill_process(holder2)
                time.sleep(0.5)
            h.kanasift_probe("post", "0x111", 1000, 0)
            time.sleep(0.5)
            h.viewprobe("deselect", host.list, -1)
            self.types_and_selects(host.list, "kaisya", KAISYA, f"{case}: use toggled on again")
            host.close()
            host = None
            code = app.stop()  # the exit command saves both histories
            h.check(code == 0, f"{case}: Kanasift exits with 0 (got {code})")
            for path in files:
                h.check(read_bytes(path) == before[path], f"{case}: {os.path.basename(path)} keeps its bytes")
            h.check(sorted(os.listdir(app.dir)) == listing, f"{case}: no file is left beside them")
        finally:
            if host is not None:
                host.close()
            if app.process is not None:
                app.stop()
            if holder is not None:
                kill_process(holder)
                kill_process(holder2)
            if mounted:
                unmount(app.dir)
            for path in files:
                if os.path.exists(path):
                    os.chmod(path, 0o644)


def unmount(path):
    """Takes a read-only bind mount away. Wine may still hold the folder open for a moment
    after the program's exit; then the mount is detached lazily, which always succeeds."""
    for _ in range(10):
        if subprocess.run(["umount", path], capture_output=True).returncode == 0:
            return
        time.sleep(0.3)
    subprocess.run(["umount", "-l", path], capture_output=True)


def unmount_stale(work):
    """Read-only bind mounts left by a run that was killed (a time-out) under `work`."""
    work = os.path.abspath(work)
    with open("/proc/mounts") as f:
        stale = [line.split()[1] for line in f if line.split()[1].startswith(work + "/")]
    for path in stale:
        unmount(path)


def main():
    build, work = sys.argv[1], sys.argv[2]
    unmount_stale(work)
    chosen = sys.argv[3:] or ["view_exits", "view_hangs", "kanasift_killed", "dictionary", "files"]
    h = start_harness(build, work)
    faults = Faults(h)
    for name in chosen:
        print(f"--- {name}", flush=True)
        start = time.monotonic()
        try:
            getattr(faults, name)()
        except Failure as failure:
            h.check(False, f"{name}: {failure}")
        finally:
            h.cleanup()
        print(f"--- {name}: {time.monotonic() - start:.0f} s", flush=True)
    print(f"{h.passed} passed, {h.failed} failed")
    sys.exit(1 if h.failed else 0)


if __name__ == "__main__":
    main()
