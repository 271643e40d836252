#!/usr/bin/env python3
"""The machine's own apt sources, for the set-up: does any deb-src entry exist, and the
deb-src entries that mirror the deb entries serving a package, so that `apt-get source`
fetches it from the same archive (mirror, proxy or snapshot) the machine already uses.

    apt_sources.py has-src [--etc DIR]
        exits 0 when an enabled deb-src entry exists, 1 otherwise
    apt_sources.py derive [--etc DIR] URI SUITE [URI SUITE ...]
        prints deb822 stanzas of type deb-src for the enabled deb entries that name one
        of these (URI, SUITE) pairs (as `apt-cache madison` reports them), with the
        entry's own URIs, suites, components and Signed-By; exits 1 when none matches

Reads the one-line format (sources.list, sources.list.d/*.list) and the deb822 format
(sources.list.d/*.sources). Standard library only.
"""
import glob
import os
import re
import sys


class Entry:
    def __init__(self, types, uris, suites, components, options, enabled=True):
        self.types = types
        self.uris = uris
        self.suites = suites
        self.components = components
        self.options = options      # lower-case option name -> value (Signed-By, Arch...)
        self.enabled = enabled


def one_line_entries(text):
    entries = []
    for raw in text.splitlines():
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        options = {}
        match = re.match(r"^(\S+)\s+\[([^\]]*)\]\s+(.*)$", line)
        if match:
            kind, opts, rest = match.groups()
            for opt in opts.split():
                name, _, value = opt.partition("=")
                options[name.lower()] = value
        else:
            kind, _, rest = line.partition(" ")
        fields = rest.split()
        if kind not in ("deb", "deb-src") or len(fields) < 2:
            continue
        entries.append(Entry([kind], [fields[0]], [fields[1]], fields[2:], options))
    return entries


def deb822_entries(text):
    entries = []
    for stanza in re.split(r"\n\s*\n", text):
        fields = {}
        name = None
        for raw in stanza.splitlines():
            if raw.startswith("#"):
                continue
            if raw[:1] in (" ", "\t") and name:
                fields[name] += "\n" + raw.strip()
                continue
            key, sep, value = raw.partition(":")
            if not sep:
                continue
            name = key.strip().lower()
            fields[name] = value.strip()
        if "types" not in fields or "uris" not in fields:
            continue
        options = {k: v for k, v in fields.items() if k not in ("types", "uris", "suites", "components", "enabled")}
        entries.append(Entry(fields["types"].split(), fields["uris"].split(), fields.get("suites", "").split(),
                             fields.get("components", "").split(), options,
                             fields.get("enabled", "yes").lower() not in ("no", "false", "0")))
    return entries


def read_entries(etc):
    entries = []
    lists = [os.path.join(etc, "sources.list")] + sorted(glob.glob(os.path.join(etc, "sources.list.d", "*.list")))
    for path in lists:
        if os.path.isfile(path):
            entries += one_line_entries(open(path, encoding="utf-8", errors="replace").read())
    for path in sorted(glob.glob(os.path.join(etc, "sources.list.d", "*.sources"))):
        entries += deb822_entries(open(path, encoding="utf-8", errors="replace").read())
    return [e for e in entries if e.enabled]


def same_uri(a, b):
    return a.rstrip("/") == b.rstrip("/")


def derive(entries, wanted):
    stanzas = []
    for e in entries:
        if "deb" not in e.types:
            continue
        if not any(same_uri(u, wu) and ws in e.suites for u in e.uris for wu, ws in wanted):
            continue
        lines = ["Types: deb-src", "URIs: " + " ".join(e.uris), "Suites: " + " ".join(e.suites)]
        if e.components:
            lines.append("Components: " + " ".join(e.components))
        signed = e.options.get("signed-by")
        if signed:
            # A key embedded in the entry spans several lines; keep them indented.
            lines.append("Signed-By: " + signed.replace("\n", "\n "))
        for name in ("trusted", "check-valid-until"):
            if name in e.options:
                lines.append(f"{name.title()}: {e.options[name]}")
        stanza = "\n".join(lines)
        if stanza not in stanzas:
            stanzas.append(stanza)
    return stanzas


def main(args):
    etc = "/etc/apt"
    if len(args) >= 3 and args[1] == "--etc":
        etc = args[2]
        args = args[:1] + args[3:]
    if not args:
        print(__doc__, file=sys.stderr)
        return 2
    entries = read_entries(etc)
    if args[0] == "has-src":
        return 0 if any("deb-src" in e.types for e in entries) else 1
    if args[0] == "derive" and len(args) >= 3 and len(args) % 2 == 1:
        wanted = list(zip(args[1::2], args[2::2]))
        stanzas = derive(entries, wanted)
        if not stanzas:
            return 1
        print("\n\n".join(stanzas))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
