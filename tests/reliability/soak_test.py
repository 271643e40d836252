#!/usr/bin/env python3
"""The soak under Wine: the real Kanasift.exe with two viewhost views; ksreliability
feeds thousands of characters into the hook library's shared queue (setting
"Kanasift::InputEvent" as the hook does) and posts the registered key notifications,
at typing speed and faster, while a short DictAliveTime releases and reloads the
dictionary. Every word is accounted for through the tooltip's text and the selection;
handles and memory must not grow beyond the bounds printed.

    soak_test.py <build-dir> <work-dir> [--chars N] [--keys N] [--seed N] [--typing PERCENT]
                 [--reload-every WORDS] [--sync]

By default 20,000 characters and 2,000 key notifications (about 4 minutes under Wine);
ctest runs a shorter soak (see CMakeLists.txt), larger numbers give a longer run.
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reliability import Failure, Helper, Installation, Viewhost, decoy_target_names, start_harness, write_lines  # noqa: E402

INI = """[main]
DictAliveTime=300
ToolTipAliveTime=60000
"""


def main():
    build, work = sys.argv[1], sys.argv[2]
    extra = sys.argv[3:]
    h = start_harness(build, work)
    helper = Helper(h)
    app = None
    hosts = []
    try:
        app = Installation(h, "soak", INI)
        app.start()
        lists = []
        for n, letters in enumerate(("bcdefg", "hijklm")):
            path = os.path.join(h.work, f"soak-names-{n}.txt")
            write_lines(path, decoy_target_names(letters, seed=n + 1))
            host = Viewhost(h, "--list", path, "--title", f"soak{n}")
            hosts.append(host)
            lists.append(host.list)
            # One real key in each view: the hook library is then loaded there, as in
            # a view the user types in.
            h.click_into(host.list)
            h.key("shift")
        start = time.monotonic()
        code, out = helper.run("soak", lists[0], lists[1], *extra, timeout=1200)
        print(out, flush=True)
        h.check(code == 0, f"the soak accounts for every word within the bounds (exit {code}, "
                           f"{time.monotonic() - start:.0f} s)")
        answered, ms = helper.query("kaisya", 5000)
        h.check(answered, f"Kanasift answers a query afterwards ({ms} ms)")
        h.screenshot("soak-end")
    except Failure as failure:
        h.check(False, str(failure))
    finally:
        for host in hosts:
            host.close()
        if app is not None:
            code = app.stop()
            h.check(code == 0, f"Kanasift exits with 0 through its exit command (got {code})")
        h.cleanup()
    print(f"{h.passed} passed, {h.failed} failed")
    sys.exit(1 if h.failed else 0)


if __name__ == "__main__":
    main()
