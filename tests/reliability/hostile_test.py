#!/usr/bin/env python3
"""Hostile messages under Wine: from another process, ksreliability floods the real
Kanasift with registered key messages of random parameters (views that are garbage,
windows of other processes, Kanasift's own windows), tray-menu commands (the boxes they
open are closed again), timer messages with random ids, and the dialogs' text messages
with garbage pointers — posted plainly and while a message box's modal loop runs. The
program must stay up and consistent: it answers a query, still selects on typing, its
settings file agrees with its toggles, and its tray icon is there.

    hostile_test.py <build-dir> <work-dir> [rounds]
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reliability import ROOT, Failure, Helper, Installation, Viewhost, ini_value, start_harness  # noqa: E402

NAMES = os.path.join(ROOT, "tests", "data", "e2e-names.txt")
KAISYA = 3
# A generous input interval: a machine busy with other work may hold a key back for
# longer than the default second, and Escape ends each input here anyway.
INI = """[main]
PermissibleInputInterval=3000
ToolTipAliveTime=5000
DictAliveTime=60000
IsUse=1
IsForceEnable=0
IsKeepAliveDict=0
IsUsePartialMatch=0
IsUseTooltip=1
IsAnimateTooltip=1
IsCheckBySpace=0
"""
# The seven toggles and their tray-menu commands.
TOGGLES = {"IsUse": 1000, "IsForceEnable": 1001, "IsKeepAliveDict": 1002, "IsUsePartialMatch": 1003,
           "IsUseTooltip": 1004, "IsAnimateTooltip": 1005, "IsCheckBySpace": 1006}


def main():
    build, work = sys.argv[1], sys.argv[2]
    rounds = sys.argv[3] if len(sys.argv) > 3 else "3000"
    h = start_harness(build, work)
    helper = Helper(h)
    app = None
    host = None
    try:
        app = Installation(h, "hostile", INI)
        app.start()
        host = Viewhost(h, "--list", NAMES, "--title", "hostile")
        h.click_into(host.list)
        h.type("kaisya")
        h.wait_for(lambda: h.selected(host.list) == [KAISYA], 8)
        h.key("Escape")
        time.sleep(1.3)
        before = helper.usage()
        foreign = [host.list, host.tree, host.main]
        start = time.monotonic()
        code, out = helper.run("flood", rounds, 1, *foreign, timeout=900)
        print(out, flush=True)
        h.check(code == 0, f"Kanasift is still there after the flood ({time.monotonic() - start:.0f} s)")
        h.check(app.process.poll() is None, "its process is still running")
        answered, ms = helper.query("kaisya", 5000)
        h.check(answered, f"it answers a query ({ms} ms)")

        # Each toggle the flood made was saved at once: the file says where they stand.
        # Put them back through the same commands.
        for key, command in TOGGLES.items():
            value = ini_value(app.ini_path, key)
            h.check(value in ("0", "1"), f"{key} is saved as a toggle ({value})")
            wanted = "1" if key in ("IsUse", "IsUseTooltip", "IsAnimateTooltip") else "0"
            if value != wanted:
                h.kanasift_probe("post", "0x111", command, 0)
                h.check(bool(h.wait_for(lambda: ini_value(app.ini_path, key) == wanted, 5)),
                        f"{key} toggles back to {wanted}")
        # The flood may have removed the tray icon (command 1010): a second start shows it.
        h.kanasift_probe("send", "0x401", 0, 0)
        h.check(h.kanasift_probe("icon")[0] == 0, "the tray icon is there")
        # The hook library's enable state is not saved; a second start's key command
        # (UM_KEYDOWN 2) and Ctrl+G are the only ways it may change: both were left out
        # of the flood.
        # The flood's tray commands started Spotter a few times: its windows would take
        # the keys typed below.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and h.viewprobe("close", "find:KanasiftSpotter/SysListView32")[0] == 0:
            time.sleep(0.5)
        h.viewprobe("deselect", host.list, -1)
        h.click_into(host.list)
        h.key("Escape")
        time.sleep(1.3)
        h.type("kaisya")
        got = h.wait_for(lambda: h.selected(host.list) == [KAISYA], 8)
        h.check(bool(got), f"typing still selects (got {h.selected(host.list)})")
        after = helper.usage()
        if before and after:
            print(f"before the flood: {before}\nafter it:         {after}")
            h.check(after["handles"] <= before["handles"] + 8,
                    f"no handles pile up ({before['handles']} -> {after['handles']})")
        h.screenshot("hostile-end")
    except Failure as failure:
        h.check(False, str(failure))
    finally:
        if host is not None:
            host.close()
        if app is not None:
            code = app.stop()
            h.check(code == 0, f"Kanasift exits with 0 through its exit command (got {code})")
        helper.close_boxes("Kanasift")
        h.cleanup()
    print(f"{h.passed} passed, {h.failed} failed")
    sys.exit(1 if h.failed else 0)


if __name__ == "__main__":
    main()
