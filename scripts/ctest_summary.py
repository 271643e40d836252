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

# What ctest writes for a test that asked to be skipped (its skip return code or output).
SKIPPED_ON_PURPOSE = ("SKIP_RETURN_CODE", "SKIP_REGULAR_EXPRESSION")
SKIP_LINE = re.compile(r"^SKIPPED: (.+)$", re.M)
GTEST_SKIPPED = re.compile(r"^\[  SKIPPED \] (\d+) tests?\.", re.M)
GTEST_SKIP_REASON = re.compile(r"^[^\n]*: Skipped\n(.+)$", re.M)


def summarise(preset, path, seconds):
    try:
        suite = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as error:
        print(f"{preset}: no test results ({error})")
        return False
    passed, failed, skipped = [], [], []
    reasons = {}
    inner = []          # (test, number of its cases skipped, why) for tests that passed
    for case in suite.iter("testcase"):
        name = case.get("name")
        out = case.findtext("system-out") or ""
        skip = case.find("skipped")
        message = skip.get("message", "") if skip is not None else ""
        if skip is not None and message.startswith(SKIPPED_ON_PURPOSE):
            skipped.append(name)
            found = SKIP_LINE.findall(out)
            why = found[-1].strip() if found else message
            reasons.setdefault(why, []).append(name)
        elif skip is not None or case.get("status") in ("notrun", "fail") or case.find("failure") is not None:
            # Not run for another reason (a failed fixture, a missing program) is a failure.
            failed.append(name + (f" (not run: {message})" if message else ""))
        else:
            passed.append(name)
            counts = GTEST_SKIPPED.findall(out)
            if counts:
                whys = sorted({why.strip() for why in GTEST_SKIP_REASON.findall(out)})
                inner.append((name, int(counts[-1]), "; ".join(whys) or "no reason given"))
    took = f" in {seconds} s" if seconds else ""
    print(f"{preset}: {len(passed)} passed, {len(failed)} failed, {len(skipped)} skipped{took}")
    for name in failed:
        print(f"    failed: {name}")
    for why, names in reasons.items():
        shown = ", ".join(names) if len(names) <= 6 else ", ".join(names[:6]) + f", … ({len(names)} in all)"
        print(f"    skipped ({why}): {shown}")
    for name, count, why in inner:
        print(f"    {count} case(s) skipped inside {name} ({why})")
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
