"""A Wine session of its own, for tests that change what the whole display is like (its
DPI): a copy of the build's prefix with its own settings, its own wineserver and its own
X display, so that the build's shared prefix and desktop stay as every other test expects
them. The copy hard-links the prefix's files, with private copies of the files that Wine
writes in place (the registry and the .ini files), as the harness makes its own prefix.

Programs run with the loader that scripts/wine-env.sh names for their bitness. Python
standard library only.
"""
import os
import shutil
import signal
import struct
import subprocess
import time

from harness import WINE_ENV, Harness, wine_environment


def pe_bits(path):
    """32 or 64 for a Windows program; 64 for anything else (Wine's own programs)."""
    try:
        with open(path, "rb") as f:
            head = f.read(4096)
        offset = struct.unpack_from("<I", head, 60)[0]
        machine = struct.unpack_from("<H", head, offset + 4)[0]
        return 32 if machine == 0x14C else 64
    except (OSError, struct.error):
        return 64


def set_registry_value(reg_file, section, line):
    """Puts `line` ('"Name"=value') into `section` of a Wine registry file, replacing a
    value of the same name; adds the section when it is missing."""
    name = line.split("=", 1)[0]
    with open(reg_file, encoding="latin-1") as f:
        lines = f.read().split("\n")
    header = "[%s]" % section.replace("\\", "\\\\")  # the file doubles each backslash
    start = next((i for i, l in enumerate(lines) if l == header or l.startswith(header + " ")), None)
    if start is None:
        lines += ["", header, line]
    else:
        end = start + 1
        while end < len(lines) and lines[end].strip() and not lines[end].startswith("["):
            end += 1
        for i in range(start + 1, end):
            if lines[i].split("=", 1)[0] == name:
                lines[i] = line
                break
        else:
            at = start + 1
            while at < end and lines[at].startswith("#"):
                at += 1
            lines.insert(at, line)
    with open(reg_file, "w", encoding="latin-1") as f:
        f.write("\n".join(lines))


class PrivateWine:
    """A prefix, wineserver and Xvfb display of its own, at `dpi` dots per inch."""

    def __init__(self, build, work, dpi):
        self.build = os.path.abspath(build)
        self.env = wine_environment(self.build)
        source = self.env["WINEPREFIX"]
        self.dir = os.path.join(os.path.abspath(work), "wine-%d-%d" % (dpi, os.getpid()))
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.prefix = os.path.join(self.dir, "prefix")
        subprocess.run(["cp", "-al", source, self.prefix], check=True)
        private = [os.path.join(self.prefix, n) for n in os.listdir(self.prefix) if n.endswith(".reg")]
        windows = os.path.join(self.prefix, "drive_c", "windows")
        private += [os.path.join(windows, n) for n in os.listdir(windows) if n.endswith(".ini")]
        for path in private:
            relative = os.path.relpath(path, self.prefix)
            os.unlink(path)
            shutil.copy2(os.path.join(source, relative), path)
        # The DPI every program of this session sees, read by Wine when a process starts.
        set_registry_value(os.path.join(self.prefix, "user.reg"), "Control Panel\\Desktop",
                           '"LogPixels"=dword:%08x' % dpi)
        self.env["WINEPREFIX"] = self.prefix
        self.xvfb = self._start_xvfb()
        # The server and the system's own processes (started with the first program) with
        # their stdio detached, or whoever reads a program's output waits on their pipes.
        for command in (["wineserver", "-p"], [self.loader("cmd"), "cmd", "/c", "exit"]):
            subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def _start_xvfb(self):
        number = 150
        while True:
            while os.path.exists("/tmp/.X11-unix/X%d" % number) or os.path.exists("/tmp/.X%d-lock" % number):
                number += 1
            xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(100):
                if os.path.exists("/tmp/.X11-unix/X%d" % number) or xvfb.poll() is not None:
                    break
                time.sleep(0.05)
            if xvfb.poll() is None:
                self.env["DISPLAY"] = ":%d" % number
                return xvfb
            number += 1  # taken meanwhile by someone else

    def loader(self, program):
        """The Wine loader for `program`; raises SystemExit(77) where its bitness cannot run."""
        done = subprocess.run([WINE_ENV, "loader", self.build, str(pe_bits(program))],
                              capture_output=True, text=True)
        if done.returncode != 0:
            print(done.stderr.strip())
            raise SystemExit(done.returncode)
        return done.stdout.strip()

    def command(self, program, *args):
        return [self.loader(program), program, *[str(a) for a in args]]

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb.poll() is None:
            self.xvfb.send_signal(signal.SIGTERM)
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class PrivateHarness(Harness):
    """The end-to-end harness, with every program run in a PrivateWine session."""

    def __init__(self, build, work, wine):
        super().__init__(build, work)
        self.private = wine
        self.env = dict(wine.env)

    def wine(self, *args, cwd=None, capture=True, timeout=60):
        done = subprocess.run(self.private.command(*args), cwd=cwd, env=self.env,
                              stdin=subprocess.DEVNULL, capture_output=capture, timeout=timeout)
        return done.returncode, (done.stdout.decode("utf-8", "replace") if capture else "")

    def spawn(self, *args, cwd=None):
        process = subprocess.Popen(self.private.command(*args), cwd=cwd, env=self.env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process
