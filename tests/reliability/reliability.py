"""Pieces shared by the reliability scenarios: the harness of tests/integration, the
ksreliability helper, and a few facts about a running Kanasift."""
import os
import random
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "integration"))
from harness import ROOT, WINE_ENV, Failure, Harness, Installation, Viewhost  # noqa: E402,F401


def start_harness(build, work):
    """The harness of `build`, brought up first (ctest's fixture normally has), so that a
    scenario also runs by hand."""
    subprocess.run([WINE_ENV, "up", build], check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return Harness(build, work)


class Helper:
    """ksreliability.exe of this build."""

    def __init__(self, harness):
        self.h = harness
        self.exe = os.path.join(harness.build, "tests", "reliability", "helper", "ksreliability.exe")

    def run(self, *args, timeout=120):
        return self.h.wine(self.exe, *[str(a) for a in args], timeout=timeout)

    def spawn(self, *args):
        return self.h.spawn(self.exe, *[str(a) for a in args])

    def usage(self, pid=None):
        code, out = self.run("usage", *([pid] if pid else []))
        if code != 0:
            return None
        return {k: int(v) for k, v in re.findall(r"(\w+)=(\d+)", out)}

    def ping(self, ms):
        """Milliseconds Kanasift's UI thread took to answer, or None."""
        code, out = self.run("ping", ms)
        match = re.search(r"answered=1 ms=(\d+)", out)
        return int(match.group(1)) if code == 0 and match else None

    def busy(self, ms):
        return self.run("busy", ms)[0] == 0

    def query(self, text, ms):
        """(answered, milliseconds)."""
        code, out = self.run("query", text, ms)
        match = re.search(r"ms=(\d+)", out)
        return code == 0, int(match.group(1)) if match else None

    def tooltip_text(self):
        code, out = self.run("tooltip-text")
        return out.rstrip("\r\n") if code == 0 else None

    def boxes(self, title):
        code, out = self.run("boxes", title)
        return int(out.strip() or 0) if code == 0 else 0

    def close_boxes(self, title):
        return self.run("close-boxes", title)[0] == 0


def kill_process(process):
    """Kills a process the harness started (SIGKILL: no clean-up of any kind)."""
    if process.poll() is None:
        process.kill()
        process.wait()


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def decoy_target_names(first_letters, seed, min_common=10, max_common=60):
    """Names in (decoy, target) pairs for the soak: both of a pair share a random prefix
    that begins with the pair's own letter; the word typed is that prefix and the target's
    next letter, so a lost, doubled or reordered character never selects the target."""
    rng = random.Random(seed)
    letters = "abcdefghijklmnopqrstuvwxy"
    names = []
    for first in first_letters:
        common = first + "".join(rng.choice(letters) for _ in range(rng.randint(min_common, max_common) - 1))
        names.append(common + "q" + "".join(rng.choice(letters) for _ in range(4)) + ".txt")
        names.append(common + "z" + "".join(rng.choice(letters) for _ in range(4)) + ".txt")
    return names


def write_lines(path, lines):
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def private_dictionary(app, kind):
    """Gives an installation a dictionary folder of its own whose migemo-dict is
    "missing", "truncated" (its first 1,000 bytes), "garbage" (random bytes) or
    "text-garbage" (random bytes without NUL)."""
    link = os.path.join(app.dir, "dict")
    source = os.path.realpath(link)
    os.remove(link)
    os.makedirs(link)
    for name in os.listdir(source):
        if name == "migemo-dict":
            continue
        with open(os.path.join(source, name), "rb") as f, open(os.path.join(link, name), "wb") as g:
            g.write(f.read())
    target = os.path.join(link, "migemo-dict")
    if kind == "truncated":
        with open(os.path.join(source, "migemo-dict"), "rb") as f, open(target, "wb") as g:
            g.write(f.read(1000))
    elif kind == "garbage":
        with open(target, "wb") as g:
            g.write(random.Random(7).randbytes(200000))
    elif kind == "text-garbage":  # random bytes, but no NUL: C/Migemo parses it as text
        rng = random.Random(8)
        with open(target, "wb") as g:
            g.write(bytes(rng.randint(1, 255) for _ in range(200000)))


def ini_value(path, key):
    """A value of [main] in a Kanasift.ini (cp932), or None."""
    with open(path, "rb") as f:
        text = f.read().decode("cp932", "replace")
    match = re.search(r"^\s*" + re.escape(key) + r"\s*=\s*(.*?)\s*$", text, re.MULTILINE | re.IGNORECASE)
    return match.group(1) if match else None
