"""Shared pieces of the end-to-end tests under Wine: the harness environment, a private
installation of Kanasift copied from dist/, viewhost, the two probes, real keys typed
with xdotool, and screenshots. Python standard library only.

Every Windows program runs through scripts/wine-env.sh in the build directory's own
prefix (Japanese Windows, code page 932, one virtual desktop with a tray).
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_ENV = os.path.join(ROOT, "scripts", "wine-env.sh")


class Failure(Exception):
    pass


class Harness:
    def __init__(self, build_dir, work_dir):
        self.build = os.path.abspath(build_dir)
        self.work = os.path.abspath(work_dir)
        os.makedirs(self.work, exist_ok=True)
        self.env = dict(os.environ)
        exports = subprocess.run([WINE_ENV, "env", self.build], check=True, capture_output=True, text=True)
        for line in exports.stdout.splitlines():
            name, _, value = line.removeprefix("export ").partition("=")
            self.env[name] = shlex.split(value)[0] if value else ""
        self.dist = os.path.join(self.build, "dist")
        self.viewprobe_exe = os.path.join(self.build, "tools", "viewprobe", "viewprobe.exe")
        self.kanasiftprobe_exe = os.path.join(self.build, "tools", "kanasiftprobe", "KanasiftProbe.exe")
        self.viewhost_exe = os.path.join(self.build, "tools", "viewhost", "viewhost.exe")
        self.processes = []
        self.passed = 0
        self.failed = 0
        self.desktop_focused = False

    # --- running programs -----------------------------------------------------------
    def wine(self, *args, cwd=None, capture=True, timeout=60):
        done = subprocess.run([WINE_ENV, "run", self.build, *args], cwd=cwd, env=self.env,
                              stdin=subprocess.DEVNULL, capture_output=capture, timeout=timeout)
        return done.returncode, (done.stdout.decode("utf-8", "replace") if capture else "")

    def loader(self, bits):
        """The Wine loader for programs of this bitness (32 or 64), e.g. for Wine's own
        explorer of that bitness; raises when this machine cannot run them."""
        done = subprocess.run([WINE_ENV, "loader", self.build, str(bits)], capture_output=True, text=True)
        if done.returncode != 0:
            raise Failure(done.stderr.strip() or f"no Wine loader for {bits}-bit programs")
        return done.stdout.strip()

    def spawn(self, *args, cwd=None):
        process = subprocess.Popen([WINE_ENV, "run", self.build, *args], cwd=cwd, env=self.env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def explorer(self, bits, folder_name, names, pane, content=False):
        """Wine's explorer of this bitness on a new folder C:\\<folder_name> holding files of
        these names (each holding its own name when `content`), once the pane `pane` shows
        all of them; returns the names in the pane's order."""
        folder = os.path.join(self.env["WINEPREFIX"], "drive_c", folder_name)
        os.makedirs(folder, exist_ok=True)
        for name in names:
            with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
                if content:
                    f.write(name + "\n")
        process = subprocess.Popen([self.loader(bits), "explorer", f"/root,C:\\{folder_name}"], env=self.env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(process)
        if not self.wait_for(lambda: len(self.texts(pane)) == len(names), 30):
            raise Failure(f"explorer did not show the folder {folder_name}: {self.texts(pane)}")
        return self.texts(pane)

    def run(self, body):
        """Runs the test body, counts a Failure it raises as a failed check, cleans up,
        prints the counts and exits with the verdict."""
        try:
            body()
        except Failure as failure:
            self.check(False, str(failure))
        finally:
            self.cleanup()
        print(f"{self.passed} passed, {self.failed} failed; screenshots in {self.work}")
        sys.exit(1 if self.failed else 0)

    def cleanup(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        self.processes.clear()

    # --- checks ---------------------------------------------------------------------
    def check(self, condition, what):
        if condition:
            self.passed += 1
            print("ok   " + what, flush=True)
        else:
            self.failed += 1
            print("FAIL " + what, flush=True)
        return condition

    def wait_for(self, predicate, seconds=10.0, step=0.1):
        end = time.monotonic() + seconds
        while True:
            value = predicate()
            if value or time.monotonic() > end:
                return value
            time.sleep(step)

    # --- probes ---------------------------------------------------------------------
    def viewprobe(self, *args):
        code, out = self.wine(self.viewprobe_exe, *[str(a) for a in args])
        return code, out.splitlines()

    def selected(self, view):
        code, lines = self.viewprobe("selected", view)
        if code != 0 or not lines:
            return None
        value = lines[-1].partition("=")[2]
        return [int(i) for i in value.split(",") if i != ""]

    def focused(self, view):
        code, lines = self.viewprobe("focused", view)
        return int(lines[-1].partition("=")[2]) if code == 0 and lines else None

    def texts(self, view):
        code, lines = self.viewprobe("texts", view)
        return [line.partition(" text=")[2] for line in lines if line.startswith("item=")]

    def screen_rect(self, view):
        code, lines = self.viewprobe("screenrect", view)
        if code != 0:
            raise Failure(f"no window {view}")
        return [int(v) for v in lines[-1].partition("=")[2].split(",")]

    def kanasift_probe(self, *args, cwd=None):
        return self.wine(self.kanasiftprobe_exe, *[str(a) for a in args], cwd=cwd)

    def tooltip(self):
        code, out = self.kanasift_probe("tooltip")
        if code != 0:
            return None
        match = re.search(r"visible=(\d) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+)", out)
        return {"visible": match.group(1) == "1", "rect": [int(match.group(i)) for i in range(2, 6)]}

    # --- keys and mouse ---------------------------------------------------------------
    def xdotool(self, *args):
        subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def type(self, text, delay=150):
        self.xdotool("type", "--delay", delay, text)

    def key(self, *keys):
        self.xdotool("key", "--delay", 80, *keys)

    def focus_desktop(self):
        """Gives the X focus to Wine's virtual desktop, once: afterwards the X focus follows
        the foreground window's process, and focusing the desktop again loses it."""
        if self.desktop_focused:
            return
        desktops = subprocess.run(["xdotool", "search", "--name", "Wine desktop"], env=self.env,
                                  capture_output=True, text=True).stdout.split()
        if desktops:
            self.xdotool("windowfocus", "--sync", desktops[0])
        self.desktop_focused = True

    def click(self, x, y):
        self.xdotool("mousemove", x, y, "click", 1)
        time.sleep(0.3)

    def click_into(self, window, dx=None, dy=None):
        """Clicks into a window (by default near its lower right, where a view has no
        items), which makes its top-level window the foreground and focuses it."""
        left, top, right, bottom = self.screen_rect(window)
        x = left + (dx if dx is not None else (right - left) * 3 // 4)
        y = top + (dy if dy is not None else (bottom - top) * 3 // 4)
        self.focus_desktop()
        self.click(x, y)

    def screenshot(self, name):
        path = os.path.join(self.work, name + ".png")
        subprocess.run(["import", "-window", "root", path], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        return path


class Installation:
    """A private copy of dist/ (Kanasift.exe, Tapline.dll, Spotter.exe, dict/) with its own
    Kanasift.ini, so that tests never write into dist/. Each one gets a new folder: Wine
    keeps a hook DLL mapped in the processes that loaded it, so a DLL in use must never be
    overwritten."""

    def __init__(self, harness, name, ini_text=None):
        self.h = harness
        stamp = time.strftime("%H%M%S") + f"-{os.getpid()}-{int(time.monotonic() * 1000) % 100000}"
        self.dir = os.path.join(harness.work, f"install-{name}-{stamp}")
        os.makedirs(self.dir)
        for name_ in ("Kanasift.exe", "Tapline.dll", "Spotter.exe"):
            source = os.path.join(harness.dist, name_)
            if os.path.exists(source):
                shutil.copy2(source, self.dir)
        os.symlink(os.path.join(harness.dist, "dict"), os.path.join(self.dir, "dict"))
        if ini_text is not None:
            self.write_ini(ini_text)
        self.process = None

    @property
    def ini_path(self):
        return os.path.join(self.dir, "Kanasift.ini")

    def write_ini(self, text):
        with open(self.ini_path, "wb") as f:
            f.write(text.replace("\n", "\r\n").encode("cp932"))

    def start(self, *args):
        self.process = self.h.spawn(os.path.join(self.dir, "Kanasift.exe"), *args, cwd=self.dir)
        if not self.h.wait_for(lambda: self.h.kanasift_probe("window")[0] == 0, seconds=30):
            raise Failure("Kanasift's window did not appear")
        return self.process

    def stop(self):
        """Exits through the tray menu's exit command; kills it when that does not work."""
        if self.process is None:
            return None
        self.h.kanasift_probe("post", "0x111", 1011, 0)
        try:
            code = self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            code = self.process.wait()
        self.process = None
        return code


class Viewhost:
    """viewhost.exe, the stand-in Explorer window, with its window handles."""

    def __init__(self, harness, *options):
        self.h = harness
        handles = os.path.join(harness.work, f"viewhost-{time.monotonic_ns()}.txt")
        self.process = harness.spawn(harness.viewhost_exe, *options, "--handles", handles)
        if not harness.wait_for(lambda: os.path.exists(handles) and "ready=1" in open(handles).read(), 30):
            raise Failure("viewhost did not come up")
        with open(handles) as f:
            self.facts = dict(line.strip().split("=", 1) for line in f if "=" in line)
        self.list = self.facts["list"]
        self.tree = self.facts["tree"]
        self.main = self.facts["main"]

    def close(self):
        self.h.viewprobe("close", self.main)
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


# --- for scenario scripts written as plain functions ------------------------------------

def wine_environment(build_dir):
    """Brings the harness of `build_dir` up (ctest's fixture normally has) and returns the
    environment in which its Windows programs and the X tools run."""
    subprocess.run([WINE_ENV, "up", build_dir], check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    out = subprocess.run([WINE_ENV, "env", build_dir], capture_output=True, text=True, check=True).stdout
    env = dict(os.environ)
    for line in out.splitlines():
        if line.startswith("export "):
            key, _, value = line[len("export "):].partition("=")
            env[key] = shlex.split(value)[0] if value else ""
    return env


class Checks:
    """Counts checks and prints one line per check."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what):
        if ok:
            self.passed += 1
            print("ok   " + what, flush=True)
        else:
            self.failed += 1
            print("FAIL " + what, flush=True)
        return ok

    def summary(self):
        print("%d passed, %d failed" % (self.passed, self.failed))
        return 0 if self.failed == 0 else 1
