#!/usr/bin/env python3
"""Summarises the JUnit files that ctest wrote for each preset: how many tests passed,
failed and were skipped, and why they were skipped (the "SKIPPED: <reason>" line a
skipped test prints), plus the GoogleTest cases skipped inside tests that passed.

    ctest_summary.py <preset> <junit.xml> <seconds> [<preset> <junit.xml> <seconds> ...]

Prints one block per preset; exits 1 when any test failed or a result file is missing.
"""
import re
import sys
import xml.etree.ElementTree as ET

SKIP_LINE = re.compile(r"^SKIPPED: (.+)$", re.M)
GTEST_SKIPPED = re.compile(r"^\[  SKIPPED \] (\S+\.\S+)\s*$", re.M)
GTEST_SKIP_REASON = re.compile(r"^[^\n]*: Skipped\n(.+)$", re.M)


def summarise(preset, path, seconds):
    try:
        suite = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as error:
        print(f"{preset}: no test results ({error})")
        return False
    passed, failed, skipped = [], [], []
    reasons = {}
    inner = []          # (test, case) skipped inside a test that passed
    inner_reasons = {}
    for case in suite.iter("testcase"):
        name = case.get("name")
        out = case.findtext("system-out") or ""
        if case.find("skipped") is not None or case.get("status") == "notrun":
            skipped.append(name)
            found = SKIP_LINE.findall(out)
            why = found[-1].strip() if found else (case.find("skipped").get("message") if case.find("skipped") is not None else "not run")
            reasons.setdefault(why, []).append(name)
        elif case.find("failure") is not None or case.get("status") == "fail":
            failed.append(name)
        else:
            passed.append(name)
            cases = sorted(set(GTEST_SKIPPED.findall(out)))
            inner.extend((name, c) for c in cases)
            for why in GTEST_SKIP_REASON.findall(out):
                inner_reasons.setdefault(why.strip(), set()).add(name)
    took = f" in {seconds} s" if seconds else ""
    print(f"{preset}: {len(passed)} passed, {len(failed)} failed, {len(skipped)} skipped{took}")
    for name in failed:
        print(f"    failed: {name}")
    for why, names in reasons.items():
        shown = ", ".join(names) if len(names) <= 6 else ", ".join(names[:6]) + f", … ({len(names)} in all)"
        print(f"    skipped ({why}): {shown}")
    if inner:
        by_test = {}
        for test, case in inner:
            by_test.setdefault(test, []).append(case)
        for test, cases in by_test.items():
            print(f"    {len(cases)} case(s) skipped inside {test}: {', '.join(cases)}")
        for why, tests in inner_reasons.items():
            print(f"      because: {why}")
    return not failed


def main(args):
    if not args or len(args) % 3:
        print(__doc__, file=sys.stderr)
        return 2
    ok = True
    for i in range(0, len(args), 3):
        ok = summarise(args[i], args[i + 1], args[i + 2]) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
