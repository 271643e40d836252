#!/usr/bin/env python3
"""Tapline's real keyboard hook under Wine.

A driver program installs the hook as Kanasift does (hidden window, named input event,
configuration calls, setHook); a target program in another process shows a list view
and a tree view in a CabinetWClass window and reports every key and character that
reaches them. Keys are typed with xdotool on the harness's X display. The script checks
what the driver receives and what the views receive, scenario by scenario. The sorts
run in the target (items with their own lParam values) and in viewhost (lParam 0).

    hook_test.py --build-dir B --driver D.exe --target T.exe --viewhost V.exe [--shots DIR]
"""
import argparse
import os
import queue
import re
import shlex
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_ENV = os.path.join(ROOT, "scripts", "wine-env.sh")

ITEMS = ["aaa.txt", "kaisya.txt", "bbb.txt", "No10.txt", "No2.txt", "zzz.txt", "No1.txt"]
DEFAULT_CONDITIONS = r"*\tProgman\t*\t*\tExploreWClass\t*\t*\tCabinetWClass\t*\t"


class Failure(Exception):
    pass


class Helper:
    """A Windows helper program under Wine, remote-controlled through its standard streams."""

    def __init__(self, name, build_dir, exe, args=()):
        self.name = name
        self.lines = []
        self.lock = threading.Lock()
        self.arrived = threading.Condition(self.lock)
        self.proc = subprocess.Popen(
            [WINE_ENV, "run", build_dir, exe, *args],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            cwd=os.path.dirname(exe))
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.proc.stdout:
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            with self.arrived:
                self.lines.append(line)
                self.arrived.notify_all()

    def mark(self):
        with self.lock:
            return len(self.lines)

    def since(self, mark):
        with self.lock:
            return list(self.lines[mark:])

    def wait_for(self, pattern, since=0, timeout=8.0):
        """The first line from `since` on that matches `pattern` (a regular expression)."""
        regex = re.compile(pattern)
        deadline = time.monotonic() + timeout
        with self.arrived:
            while True:
                for line in self.lines[since:]:
                    match = regex.search(line)
                    if match:
                        return match
                left = deadline - time.monotonic()
                if left <= 0 or self.proc.poll() is not None:
                    raise Failure(f"{self.name}: no line like {pattern!r}; got {self.lines[since:]}")
                self.arrived.wait(min(left, 0.2))

    def send(self, command, timeout=8.0):
        """Sends a command and waits for its "ok"; returns the rest of the "ok" line."""
        mark = self.mark()
        self.proc.stdin.write((command + "\n").encode())
        self.proc.stdin.flush()
        word = command.split(" ", 1)[0]
        return self.wait_for(r"^ok " + re.escape(word) + r"\b(.*)$", mark, timeout).group(1).strip()

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.close()
            except OSError:
                pass
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class HookTest:
    def __init__(self, options):
        self.options = options
        self.env = dict(os.environ)
        exports = subprocess.run([WINE_ENV, "env", options.build_dir], check=True, capture_output=True, text=True)
        for line in exports.stdout.splitlines():
            name, _, value = line.removeprefix("export ").partition("=")
            self.env[name] = shlex.split(value)[0] if value else ""
        self.target = None
        self.driver = None
        self.list = self.tree = None

    # --- keyboard ------------------------------------------------------------------
    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)

    def type(self, text):
        self.xdotool("type", "--delay", "150", text)

    def key(self, *keys):
        self.xdotool("key", "--delay", "80", *keys)

    def focus_desktop(self):
        """Gives the X focus to Wine's virtual desktop, once at the start. Afterwards the X
        focus follows the foreground window's process; focusing the desktop again, or
        killing the process that holds the focus, leaves Wine without keyboard input."""
        desktops = subprocess.run(["xdotool", "search", "--name", "Wine desktop"], env=self.env,
                                  capture_output=True, text=True).stdout.split()
        if desktops:
            self.xdotool("windowfocus", "--sync", desktops[0])

    def activate_target(self):
        """Makes the target the foreground window again with a click on its caption, as a
        user would: after another process had the foreground, SetForegroundWindow alone
        does not bring Wine's keyboard input back."""
        self.xdotool("mousemove", *self.caption, "click", "1")
        time.sleep(0.3)
        self.focus("list")

    def focus(self, view):
        self.target.send("focus " + view)
        time.sleep(0.3)

    def settle(self):
        """Waits out the list view's own type-ahead interval and any messages in flight."""
        time.sleep(1.2)

    # --- observations --------------------------------------------------------------
    def state(self):
        mark = self.target.mark()
        self.target.proc.stdin.write(b"state\n")
        self.target.proc.stdin.flush()
        end = self.target.wait_for(r"^end state focus=(\w+)", mark)
        items = []
        for line in self.target.since(mark):
            match = re.match(r"^item (\d+) (\d) (\d) (\d) (.*)$", line)
            if match:
                items.append({"name": match.group(5), "selected": match.group(2) == "1",
                              "focused": match.group(3) == "1", "checked": match.group(4) == "1"})
        return items, end.group(1)

    def order(self):
        return [item["name"] for item in self.state()[0]]

    def selected(self):
        return [item["name"] for item in self.state()[0] if item["selected"]]

    def typed_batches(self, mark):
        batches = []
        for line in self.driver.since(mark):
            match = re.match(r"^input view=(\w+) bytes=([\w,]+) ticks=([\d,]+)$", line)
            if match:
                text = bytes(int(b, 16) for b in match.group(2).split(",")).decode("cp932", "replace")
                ticks = [int(t) for t in match.group(3).split(",")]
                batches.append((match.group(1), text, ticks))
        return batches

    def wait_typed(self, mark, expected, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            batches = self.typed_batches(mark)
            if "".join(b[1] for b in batches) == expected:
                return batches
            time.sleep(0.1)
        raise Failure(f"driver: expected typed {expected!r}, got {self.typed_batches(mark)}")

    def view_lines(self, mark, kind):
        return [line for line in self.target.since(mark) if line.startswith(kind + " ")]

    def check(self, condition, message):
        if not condition:
            raise Failure(message)

    # --- scenarios -----------------------------------------------------------------
    def start(self, driver=True):
        self.target = Helper("target", self.options.build_dir, self.options.target,
                             ["--checkboxes", "--items", "|".join(ITEMS)])
        ready = self.target.wait_for(r"^ready top=(\w+) list=(\w+) tree=(\w+) pid=\d+ caption=(\d+),(\d+)",
                                     timeout=30)
        self.list, self.tree = ready.group(2), ready.group(3)
        self.caption = (ready.group(4), ready.group(5))
        if driver:
            self.driver = Helper("driver", self.options.build_dir, self.options.driver)
            self.driver.wait_for(r"^ready window=\w+ enable=1 force=0", timeout=30)
        self.target.send("select 0")
        self.focus_desktop()
        self.focus("list")

    def typed_characters_reach_kanasift_not_the_view(self):
        mark, view_mark = self.driver.mark(), self.target.mark()
        self.type("kaisya")
        batches = self.wait_typed(mark, "kaisya")
        self.check(all(view == self.list for view, _, _ in batches), f"batches not from the list view: {batches}")
        ticks = [t for _, _, ts in batches for t in ts]
        self.check(all(b > a for a, b in zip(ticks, ticks[1:])) and ticks[-1] - ticks[0] >= 250,
                   f"ticks should follow the typing: {ticks}")
        self.settle()
        self.check(not self.view_lines(view_mark, "char"), f"characters reached the view: {self.target.since(view_mark)}")
        self.check(self.selected() == ["aaa.txt"], f"the view's type-ahead moved: {self.state()}")

    def shortcut_is_posted_and_kept_from_the_view(self):
        mark, view_mark = self.driver.mark(), self.target.mark()
        self.key("ctrl+n")
        self.driver.wait_for(rf"^keydown ctrl vk=4e view={self.list}$", mark)
        self.settle()
        self.check("key list 4e" not in self.target.since(view_mark), "Ctrl+N reached the view")
        self.check(not self.typed_batches(mark), "Ctrl+N was queued as a character")

    def enter_backspace_escape_are_reported_and_reach_the_view(self):
        for keysym, vk in (("Return", "0d"), ("BackSpace", "08"), ("Escape", "1b")):
            mark, view_mark = self.driver.mark(), self.target.mark()
            self.key(keysym)
            self.driver.wait_for(rf"^keydown plain vk={vk} view={self.list}$", mark)
            self.target.wait_for(rf"^key list {vk}$", view_mark)

    def injected_keys_reach_the_view(self):
        for vk in ("20", "6b"):  # VK_SPACE as on an empty input; VK_ADD as in a tree view
            mark, view_mark = self.driver.mark(), self.target.mark()
            self.driver.send("inject " + vk)
            self.target.wait_for(rf"^key list {vk}$", view_mark)
            self.settle()
            self.check(not self.typed_batches(mark), f"injected {vk} was queued: {self.typed_batches(mark)}")

    def typed_keys_pass_while_kanasift_does_not_listen(self):
        # The hook opens Kanasift's input event for each key: once Kanasift closed it, the
        # event is gone and the keys go to the view, also after the hook had used it.
        self.target.send("select 0")
        mark = self.driver.mark()
        self.type("k")
        self.wait_typed(mark, "k")
        self.driver.send("stop-listening")
        mark, view_mark = self.driver.mark(), self.target.mark()
        self.type("b")
        self.target.wait_for(r"^char list 62$", view_mark)
        self.settle()
        self.check(self.selected() == ["bbb.txt"], f"type-ahead while nobody listens: {self.state()}")
        self.check(self.driver.send("listen") == "1", "the driver could not listen again")
        self.check(not self.typed_batches(mark), f"keys were queued while nobody listened: {self.typed_batches(mark)}")
        mark = self.driver.mark()
        self.type("z")
        self.wait_typed(mark, "z")
        self.target.send("select 0")

    def tree_view_characters_and_sort_keys(self):
        self.focus("tree")
        mark, view_mark = self.driver.mark(), self.target.mark()
        self.type("x")
        batches = self.wait_typed(mark, "x")
        self.check(batches[0][0] == self.tree, f"tree character from {batches[0][0]}, expected {self.tree}")
        self.key("ctrl+t")  # a sort shortcut means nothing in a tree: taken, nothing posted
        self.settle()
        self.check(not [l for l in self.driver.since(mark) if l.startswith("keydown")], "Ctrl+T posted from a tree")
        lines = self.target.since(view_mark)
        self.check("char tree 78" not in lines and "key tree 54" not in lines, f"tree got keys: {lines}")
        self.focus("list")

    def sorts_reorder_the_list(self):
        self.target.send("select 2 4")  # bbb.txt, No2.txt
        self.focus("list")
        self.key("ctrl+t")
        self.settle()
        order = self.order()
        self.check(order == ["bbb.txt", "No2.txt", "aaa.txt", "kaisya.txt", "No10.txt", "zzz.txt", "No1.txt"],
                   f"sort by selection: {order}")
        self.check(self.selected() == ["bbb.txt", "No2.txt"], "the selection moved with the items")
        self.key("ctrl+t")
        self.settle()
        order = self.order()
        self.check(order == ["aaa.txt", "kaisya.txt", "No10.txt", "zzz.txt", "No1.txt", "bbb.txt", "No2.txt"],
                   f"sort by selection repeated (reversed): {order}")

        self.driver.send("shortcut 8 1 0 4b")  # sort by check state: Ctrl+K
        self.target.send("check 2 4")  # No10.txt, No1.txt
        self.key("ctrl+k")
        self.settle()
        order = self.order()
        self.check(order == ["No10.txt", "No1.txt", "aaa.txt", "kaisya.txt", "zzz.txt", "bbb.txt", "No2.txt"],
                   f"sort by check state: {order}")

        self.driver.send("shortcut 10 0 1 4a")  # sort by number in name: Alt+J
        self.check(self.driver.send("nis No") == "1", "setNisHeader failed")
        mark = self.driver.mark()
        self.key("alt+j")
        self.settle()
        order = self.order()
        self.check(order == ["No1.txt", "No2.txt", "No10.txt", "aaa.txt", "kaisya.txt", "zzz.txt", "bbb.txt"],
                   f"sort by number: {order}")
        self.key("alt+j")
        self.settle()
        order = self.order()
        self.check(order == ["No10.txt", "No2.txt", "No1.txt", "aaa.txt", "kaisya.txt", "zzz.txt", "bbb.txt"],
                   f"sort by number repeated (descending): {order}")
        self.check(not [l for l in self.driver.since(mark) if l.startswith("keydown")], "a sort key was posted")
        # The Alt of a taken Alt shortcut must not leave the window in its menu.
        view_mark = self.target.mark()
        self.key("Escape")
        self.target.wait_for(r"^key list 1b$", view_mark)
        self.target.send("select 0")

    def driver_items(self, list_window):
        mark = self.driver.mark()
        self.driver.proc.stdin.write(f"items {list_window}\n".encode())
        self.driver.proc.stdin.flush()
        self.driver.wait_for(r"^end items -?\d+", mark)
        items = []
        for line in self.driver.since(mark):
            match = re.match(r"^litem (\d+) (\d) (\d) (.*)$", line)
            if match:
                items.append((match.group(4), match.group(2) == "1", match.group(3) == "1"))
        return items

    def sorts_reorder_viewhost(self):
        names = os.path.join(os.path.dirname(self.options.driver), "hook_test_names.txt")
        with open(names, "w", encoding="utf-8") as file:
            file.write("\n".join(ITEMS) + "\n")
        host = Helper("viewhost", self.options.build_dir, self.options.viewhost,
                      ["--list", names, "--checkboxes", "--checked", "3,6", "--select", "2,4", "--focus", "2",
                       "--focus-view", "list", "--class", "CabinetWClass"])
        host_main = None
        try:
            host_main = host.wait_for(r"^main=0x(\w+)", timeout=30).group(1).lower()
            host_list = host.wait_for(r"^list=0x(\w+)", timeout=30).group(1).lower()
            time.sleep(1.0)
            order = lambda: [name for name, _, _ in self.driver_items(host_list)]
            self.check(order() == ITEMS, f"viewhost starts in file order: {order()}")
            steps = [
                (("ctrl+t",), ["bbb.txt", "No2.txt", "aaa.txt", "kaisya.txt", "No10.txt", "zzz.txt", "No1.txt"]),
                (("ctrl+k",), ["No10.txt", "No1.txt", "bbb.txt", "No2.txt", "aaa.txt", "kaisya.txt", "zzz.txt"]),
                (("alt+j",), ["No1.txt", "No2.txt", "No10.txt", "bbb.txt", "aaa.txt", "kaisya.txt", "zzz.txt"]),
                (("alt+j",), ["No10.txt", "No2.txt", "No1.txt", "bbb.txt", "aaa.txt", "kaisya.txt", "zzz.txt"]),
            ]
            for keys, expected in steps:
                self.key(*keys)
                self.settle()
                self.check(order() == expected, f"viewhost after {keys}: {order()}, expected {expected}")
            items = self.driver_items(host_list)
            self.check([name for name, selected, _ in items if selected] == ["No2.txt", "bbb.txt"],
                       f"selection did not travel with the items: {items}")
            self.check([name for name, _, checked in items if checked] == ["No10.txt", "No1.txt"],
                       f"check marks did not travel with the items: {items}")
        finally:
            # Closed as a user closes it: the X focus follows the foreground window's process,
            # and a process killed while it holds the focus leaves Wine without keyboard input.
            if host_main:
                self.driver.send("close " + host_main)
            try:
                host.proc.wait(10)
            except subprocess.TimeoutExpired:
                host.proc.kill()
                host.proc.wait()
            os.remove(names)
            self.activate_target()

    def target_conditions_and_force_enable(self):
        self.check(self.driver.send(r"conditions *\tNoSuchClass\t*\t") == "1", "conditions refused")
        self.settle()
        mark, view_mark = self.driver.mark(), self.target.mark()
        self.type("z")
        self.target.wait_for(r"^char list 7a$", view_mark)
        self.check(not self.typed_batches(mark), "a key was taken in a window that is no target")
        self.check(self.driver.send("toggle-force") == "1", "force-enable did not turn on")
        self.settle()
        mark = self.driver.mark()
        self.type("q")
        self.wait_typed(mark, "q")
        self.check(self.driver.send("toggle-force") == "0", "force-enable did not turn off")
        self.check(self.driver.send("conditions " + DEFAULT_CONDITIONS) == "1", "default conditions refused")

    def disabled_library_takes_only_the_enable_toggle(self):
        self.check(self.driver.send("toggle-enable") == "0", "enable did not turn off")
        self.settle()
        mark, view_mark = self.driver.mark(), self.target.mark()
        self.type("z")
        self.target.wait_for(r"^char list 7a$", view_mark)
        self.key("ctrl+n")
        self.target.wait_for(r"^key list 4e$", view_mark)
        self.key("ctrl+g")
        self.driver.wait_for(rf"^keydown ctrl vk=47 view={self.list}$", mark)
        self.settle()
        self.check(not self.typed_batches(mark), "a character was taken while disabled")
        self.check("key list 47" not in self.target.since(view_mark), "Ctrl+G reached the view")
        self.check(self.driver.send("toggle-enable") == "1", "enable did not turn on")

    def use_off_passes_everything(self):
        self.driver.send("use 0")
        self.target.send("select 0")
        self.settle()
        mark, view_mark = self.driver.mark(), self.target.mark()
        self.type("b")
        self.key("ctrl+n", "Return")
        self.target.wait_for(r"^key list 0d$", view_mark)
        self.settle()
        lines = self.target.since(view_mark)
        self.check("char list 62" in lines and "key list 4e" in lines, f"keys missing in the view: {lines}")
        self.check(not [l for l in self.driver.since(mark) if l.startswith(("input", "keydown"))],
                   f"driver heard keys with use off: {self.driver.since(mark)}")
        self.check(self.selected() == ["bbb.txt"], f"type-ahead did not work with use off: {self.state()}")
        self.driver.send("use 1")

    def hook_passes_keys_once_its_window_is_gone(self):
        self.target.send("select 0")
        self.driver.send("drop-owner")
        self.settle()
        mark, view_mark = self.driver.mark(), self.target.mark()
        self.type("b")
        self.key("ctrl+n")
        self.target.wait_for(r"^char list 62$", view_mark)
        self.target.wait_for(r"^key list 4e$", view_mark)
        self.settle()
        self.check(self.selected() == ["bbb.txt"], f"type-ahead without Kanasift's window: {self.state()}")
        self.check(not [l for l in self.driver.since(mark) if l.startswith(("input", "keydown"))],
                   f"keys were taken for a window that is gone: {self.driver.since(mark)}")

    def killed_installer_leaves_the_view_working(self):
        self.target.send("select 0")
        self.driver.proc.kill()
        self.driver.proc.wait()
        time.sleep(1.0)
        view_mark = self.target.mark()
        self.type("k")
        self.target.wait_for(r"^char list 6b$", view_mark)
        self.settle()
        self.check(self.selected() == ["kaisya.txt"], f"type-ahead after the kill: {self.state()}")
        self.check(self.target.proc.poll() is None, "the view's process died")

    def a_new_installer_after_a_killed_one_acts_once_per_key(self):
        # Wine keeps the hook of a killed process in the chain, and the library's copy
        # there reads the same shared block as the new installer's: without care, both
        # would act on every key the first one lets through.
        self.driver = Helper("driver", self.options.build_dir, self.options.driver)
        self.driver.wait_for(r"^ready window=\w+ enable=1 force=0", timeout=30)
        self.settle()
        mark, view_mark = self.driver.mark(), self.target.mark()
        self.key("BackSpace")
        self.driver.wait_for(rf"^keydown plain vk=08 view={self.list}$", mark)
        self.target.wait_for(r"^key list 08$", view_mark)
        self.settle()
        posted = [line for line in self.driver.since(mark) if line.startswith("keydown")]
        self.check(len(posted) == 1, f"Backspace was posted {len(posted)} times: {posted}")
        mark, view_mark = self.driver.mark(), self.target.mark()
        self.driver.send("inject 20")
        self.target.wait_for(r"^key list 20$", view_mark)
        self.settle()
        self.check(not self.typed_batches(mark), f"the injected space was queued: {self.typed_batches(mark)}")

    def screenshot(self, name):
        if not self.options.shots:
            return
        os.makedirs(self.options.shots, exist_ok=True)
        subprocess.run(["import", "-window", "root", os.path.join(self.options.shots, name)], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self):
        scenarios = [
            self.typed_characters_reach_kanasift_not_the_view,
            self.shortcut_is_posted_and_kept_from_the_view,
            self.enter_backspace_escape_are_reported_and_reach_the_view,
            self.injected_keys_reach_the_view,
            self.typed_keys_pass_while_kanasift_does_not_listen,
            self.tree_view_characters_and_sort_keys,
            self.sorts_reorder_the_list,
            self.sorts_reorder_viewhost,
            self.target_conditions_and_force_enable,
            self.disabled_library_takes_only_the_enable_toggle,
            self.use_off_passes_everything,
            self.hook_passes_keys_once_its_window_is_gone,
            self.killed_installer_leaves_the_view_working,
            self.a_new_installer_after_a_killed_one_acts_once_per_key,
        ]
        failed = 0
        try:
            self.start()
            for scenario in scenarios:
                began = time.monotonic()
                try:
                    scenario()
                    print(f"PASS {scenario.__name__} ({time.monotonic() - began:.1f} s)", flush=True)
                except Failure as failure:
                    failed += 1
                    print(f"FAIL {scenario.__name__}: {failure}", flush=True)
                    self.screenshot(f"{scenario.__name__}.png")
                    if self.driver.proc.poll() is not None and scenario != scenarios[-1]:
                        break
            self.screenshot("end.png")
        except Failure as failure:
            failed += 1
            print(f"FAIL start: {failure}", flush=True)
        finally:
            for helper in (self.driver, self.target):
                if helper:
                    helper.stop()
        return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--target", required=True)
    parser.add_argument("--viewhost", required=True)
    parser.add_argument("--shots")
    options = parser.parse_args()
    for name in ("build_dir", "driver", "target", "viewhost", "shots"):
        if getattr(options, name):
            setattr(options, name, os.path.abspath(getattr(options, name)))
    failed = HookTest(options).run()
    print("hook test: " + ("all scenarios passed" if not failed else f"{failed} scenario(s) failed"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
