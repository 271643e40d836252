#!/usr/bin/env python3
"""The set-up's deb-src entries come from the machine's own apt sources, in either format."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "apt_sources.py")


def run(etc, *args):
    done = subprocess.run([sys.executable, SCRIPT, args[0], "--etc", etc, *args[1:]], capture_output=True, text=True)
    return done.returncode, done.stdout


class AptSources(unittest.TestCase):
    def setUp(self):
        self.etc = tempfile.mkdtemp()
        os.makedirs(os.path.join(self.etc, "sources.list.d"))

    def write(self, name, text):
        with open(os.path.join(self.etc, name), "w") as f:
            f.write(text)

    def test_one_line_entries_keep_mirror_suites_components_and_key(self):
        self.write("sources.list", "# local mirror\n"
                   "deb [arch=amd64 signed-by=/etc/keys/mirror.gpg] http://mirror.example/debian/ bookworm main contrib\n"
                   "deb http://mirror.example/debian bookworm-updates main\n"
                   "deb http://other.example/repo stable main\n")
        self.assertEqual(run(self.etc, "has-src")[0], 1)
        code, out = run(self.etc, "derive", "http://mirror.example/debian", "bookworm",
                        "http://mirror.example/debian", "bookworm-updates")
        self.assertEqual(code, 0)
        self.assertEqual(out, "Types: deb-src\nURIs: http://mirror.example/debian/\nSuites: bookworm\n"
                              "Components: main contrib\nSigned-By: /etc/keys/mirror.gpg\n\n"
                              "Types: deb-src\nURIs: http://mirror.example/debian\nSuites: bookworm-updates\n"
                              "Components: main\n")

    def test_deb822_entries_skip_disabled_ones_and_keep_an_embedded_key(self):
        self.write("sources.list.d/debian.sources",
                   "Types: deb\nURIs: http://proxy.local:3142/debian\nSuites: bookworm bookworm-updates\n"
                   "Components: main\nSigned-By:\n -----BEGIN PGP PUBLIC KEY BLOCK-----\n .\n abc\n"
                   " -----END PGP PUBLIC KEY BLOCK-----\n\n"
                   "Types: deb-src\nURIs: http://proxy.local:3142/debian\nSuites: bookworm\nComponents: main\nEnabled: no\n")
        self.assertEqual(run(self.etc, "has-src")[0], 1)  # the only deb-src entry is disabled
        code, out = run(self.etc, "derive", "http://proxy.local:3142/debian", "bookworm")
        self.assertEqual(code, 0)
        self.assertIn("URIs: http://proxy.local:3142/debian\nSuites: bookworm bookworm-updates\nComponents: main\n"
                      "Signed-By: \n -----BEGIN PGP PUBLIC KEY BLOCK-----\n .\n abc\n -----END PGP PUBLIC KEY BLOCK-----",
                      out)
        self.assertEqual(run(self.etc, "derive", "http://elsewhere/debian", "bookworm")[0], 1)

    def test_an_existing_deb_src_entry_is_seen_in_either_format(self):
        self.write("sources.list.d/a.list", "deb-src http://mirror.example/debian bookworm main\n")
        self.assertEqual(run(self.etc, "has-src")[0], 0)


if __name__ == "__main__":
    unittest.main()
