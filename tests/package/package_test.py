#!/usr/bin/env python3
"""The Windows package as a user gets it: the zip is unpacked into an empty folder,
Kanasift.exe is started from there and one search runs end to end.

1. The zip holds exactly the files a user needs, texts in Shift_JIS with CR LF, and every
   licence file says what it must; the second zip, the dictionary's source, makes the
   dictionary that the first one ships.
2. Kanasift.exe starts from the unpacked folder; the unpacked Spotter.exe asks it for
   "kaisya" through the WM_COPYDATA query service and gets 会社 (program and dictionary
   work from the folder, with the default relative dictionary path).
3. Tapline.dll works: in viewhost, a stand-in Explorer window, keys typed with xdotool
   into its list view move the selection to 会社.txt (no name there begins with "k", so
   the list view's own type-ahead cannot do it).

    package_test.py --root R --build-dir B --zip Z --dict-source D --version V --arch A --probe P
                    --viewhost H --viewprobe Q --work W

Python standard library only. Prints one line per check and a closing summary.
"""
import argparse
import os
import shlex
import shutil
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), 'integration'))
from harness import Checks, wine_environment  # noqa: E402


EXPECTED = {
    'Kanasift.exe', 'Tapline.dll', 'Spotter.exe', 'Kanasift.ini.sample', 'README-en.txt',
    'README-ja.txt', 'LICENSE.txt', 'dict/migemo-dict', 'dict/roma2hira.dat', 'dict/hira2kata.dat',
    'dict/han2zen.dat', 'dict/zen2han.dat', 'licenses/C-Migemo.txt', 'licenses/GPL-2.txt',
    'licenses/Dictionary-SKK-JISYO.txt', 'licenses/winpthreads.txt', 'licenses/Boost.txt',
    'licenses/mingw-w64-runtime.txt', 'licenses/GCC-runtime.txt', 'licenses/GPL-3.txt',
}
# What each licence file must say: the notice itself, not just a file of that name.
LICENCE_MARKERS = {
    'GPL-2.txt': ['GNU GENERAL PUBLIC LICENSE', 'Version 2, June 1991'],
    'GPL-3.txt': ['GNU GENERAL PUBLIC LICENSE', 'Version 3, 29 June 2007'],
    'Boost.txt': ['libs/regex/*', 'Boost Software License - Version 1.0'],
    'winpthreads.txt': ['mingw-w64-libraries/winpthreads/*', 'License: expat',
                        'Permission is hereby granted, free of charge'],
    # The CRT's own licence, its start-up code and gdtoa (printf's number formatting).
    'mingw-w64-runtime.txt': ['Files: *', 'License: ZPL-2.1', 'Redistributions in binary form must reproduce',
                              'Files: mingw-w64-crt/crt/*', 'Files: mingw-w64-crt/gdtoa/*',
                              'Lucent Technologies'],
    'GCC-runtime.txt': ['libgcc', 'libstdc++-v3', 'GCC RUNTIME LIBRARY EXCEPTION', 'Version 3.1, 31 March 2009',
                        'GPL-3.txt'],
    'C-Migemo.txt': ['MURAOKA Taro', 'C/Migemo及びMigemo DLLの利用許諾条件'],
    'Dictionary-SKK-JISYO.txt': ['SKK-JISYO.L', 'packages.debian.org/source/bookworm/skkdic', 'Masahiko Sato'],
}
NAMES = ['readme.md', 'zzz.txt', '会社.txt', 'ｶｲｼｬ.txt']
KAISHA_CP932 = b'\x89\xef\x8e\xd0'

CHECKS = Checks()
check = CHECKS.check


class Harness:
    def __init__(self, options):
        self.o = options
        self.wine_env = os.path.join(options.root, 'scripts', 'wine-env.sh')
        self.env = wine_environment(options.build_dir)
        self.env['LC_ALL'] = 'C'

    def run(self, exe, *args, cwd, timeout=60):
        r = subprocess.run([self.wine_env, 'run', self.o.build_dir, exe] + list(args), cwd=cwd,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        return r.returncode, r.stdout, r.stderr

    def start(self, exe, *args, cwd):
        return subprocess.Popen([self.wine_env, 'run', self.o.build_dir, exe] + list(args), cwd=cwd,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def probe(self, *args):
        return self.run(self.o.probe, *args, cwd=self.o.work)

    def viewprobe(self, *args):
        return self.run(self.o.viewprobe, *args, cwd=self.o.work)

    def xdotool(self, *args):
        subprocess.run(['xdotool'] + list(args), env=self.env, check=False, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def screenshot(self, name):
        path = os.path.join(self.o.work, name)
        subprocess.run(['import', '-window', 'root', path], env=self.env, check=False, timeout=60)
        print('screenshot ' + path)


def wait_for(predicate, seconds=20.0):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.2)
    return predicate()


def check_contents(o, folder):
    name = os.path.basename(o.zip)
    check(name == 'Kanasift-%s-%s.zip' % (o.version, o.arch), 'the zip is named ' + name)
    with zipfile.ZipFile(o.zip) as archive:
        names = {n for n in archive.namelist() if not n.endswith('/')}
        check(archive.testzip() is None, 'every member of the zip is intact')
        archive.extractall(folder)
    check(names == EXPECTED, 'the zip holds exactly the expected files (extra: %s, missing: %s)'
          % (sorted(names - EXPECTED), sorted(EXPECTED - names)))
    with open('/usr/share/cmigemo/cp932/migemo-dict', 'rb') as a, \
            open(os.path.join(folder, 'dict', 'migemo-dict'), 'rb') as b:
        check(a.read() == b.read(), 'dict/migemo-dict is the cp932 dictionary')
    texts_ok = True
    for member in sorted(names):
        if not member.endswith(('.txt', '.sample')):
            continue
        with open(os.path.join(folder, member), 'rb') as f:
            data = f.read()
        bare_lf = data.replace(b'\r\n', b'').count(b'\n')
        try:
            data.decode('cp932')
            decodes = True
        except UnicodeDecodeError:
            decodes = False
        if bare_lf or not decodes or data.startswith(b'\xef\xbb\xbf'):
            texts_ok = False
            print('     %s: bare LF %d, cp932 %s' % (member, bare_lf, decodes))
    check(texts_ok, 'every text file is Shift_JIS with CR LF and no byte-order mark')
    readme = open(os.path.join(folder, 'README-en.txt'), 'rb').read().decode('cp932')
    check(('Kanasift %s (%s)' % (o.version, o.arch)) in readme, 'README-en names the version and the build')
    licence = open(os.path.join(folder, 'LICENSE.txt'), 'rb').read()
    check(b'MIT License' in licence and b'Copyright (c) 2026 Kanasift Developers' in licence, 'LICENSE.txt is ours')
    for name, markers in sorted(LICENCE_MARKERS.items()):
        text = open(os.path.join(folder, 'licenses', name), 'rb').read().decode('cp932')
        missing = [m for m in markers if m not in text]
        check(not missing, 'licenses/%s says what it must (missing: %s)' % (name, missing))
    for exe in ('Kanasift.exe', 'Spotter.exe'):
        size = os.path.getsize(os.path.join(folder, exe))
        check(size < 4 * 1024 * 1024, '%s is stripped (%d bytes)' % (exe, size))


def normalised_dictionary(data):
    """A Migemo dictionary's entries, each with its words in order: the generator
    walks a Perl hash, so the order of words and lines differs from run to run."""
    lines = []
    for line in data.split(b'\n'):
        fields = line.rstrip(b'\r').split(b'\t')
        lines.append(b'\t'.join(fields[:1] + sorted(fields[1:])))
    return sorted(lines)


def check_dictionary_source(o, folder):
    """The second zip is the dictionary's complete source: run as its README says, it
    makes the dictionary the package ships."""
    source = os.path.join(o.work, 'dictionary-source')
    if os.path.isdir(source):
        shutil.rmtree(source)
    with zipfile.ZipFile(o.dict_source) as archive:
        archive.extractall(source)
    readme = open(os.path.join(source, 'README.txt'), 'rb').read().decode('cp932')
    command = 'perl skk2migemo.pl < SKK-JISYO.L | perl optimize-dict.pl | nkf -s > migemo-dict'
    check(command in readme and 'GPL' in readme, 'the dictionary source says how it makes dict\\migemo-dict')
    subprocess.run(['sh', '-c', command], cwd=source, check=True, timeout=120)
    made = open(os.path.join(source, 'migemo-dict'), 'rb').read()
    shipped = open(os.path.join(folder, 'dict', 'migemo-dict'), 'rb').read()
    check(len(made) == len(shipped) and normalised_dictionary(made) == normalised_dictionary(shipped),
          'the dictionary source makes the shipped dict/migemo-dict (%d and %d bytes)' % (len(made), len(shipped)))
    gpl = open(os.path.join(source, 'GPL-2.txt'), 'rb').read()
    check(b'Version 2, June 1991' in gpl, 'the dictionary source carries the GPL-2')


def kanasift_running(h):
    return h.probe('window', 'Kanasift')[0] == 0


def stop_kanasift(h, process=None):
    if kanasift_running(h):
        h.probe('stop-kanasift')
    wait_for(lambda: not kanasift_running(h), 30)
    if process is not None:
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()


def search_end_to_end(h, folder):
    stop_kanasift(h)  # one Kanasift at a time
    kanasift = h.start(os.path.join(folder, 'Kanasift.exe'), cwd=folder)
    try:
        if not check(wait_for(lambda: kanasift_running(h)), 'Kanasift.exe starts from the unpacked folder'):
            return
        check(wait_for(lambda: h.probe('tray')[0] == 0, 10), 'its tray icon appears')
        code, out, err = h.run(os.path.join(folder, 'Spotter.exe'), '/query', 'kaisya', cwd=folder)
        check(code == 0 and KAISHA_CP932 in out,
              'the unpacked Kanasift answers kaisya with 会社 (exit %d): %s'
              % (code, out.decode('cp932', 'replace').strip() or err.decode('utf-8', 'replace').strip()))
        typed_search(h)
        check(kanasift_running(h), 'Kanasift with its hook library is still running')
    finally:
        stop_kanasift(h, kanasift)


def typed_search(h):
    names = os.path.join(h.o.work, 'names.txt')
    with open(names, 'w', encoding='utf-8') as f:
        f.write('\n'.join(NAMES) + '\n')
    handles = os.path.join(h.o.work, 'viewhost-handles.txt')
    if os.path.exists(handles):
        os.remove(handles)
    viewhost = h.start(h.o.viewhost, '--list', names, '--select', '0', '--focus', '0', '--handles', handles,
                       cwd=h.o.work)
    try:
        if not check(wait_for(lambda: os.path.exists(handles), 30), 'viewhost shows its list view'):
            return
        info = dict(line.split('=', 1) for line in open(handles).read().split() if '=' in line)
        main, view = info['main'], info['list']
        # Make viewhost the foreground window with a click on its caption, as a user would.
        rect = h.probe('rect', main)[1].decode().split()[-1].split(',')
        left, top, right = int(rect[0]), int(rect[1]), int(rect[2])
        desktops = subprocess.run(['xdotool', 'search', '--name', 'Wine desktop'], env=h.env,
                                  capture_output=True, text=True).stdout.split()
        if desktops:
            h.xdotool('windowfocus', '--sync', desktops[0])
        h.xdotool('mousemove', str((left + right) // 2), str(top + 8), 'click', '1')
        time.sleep(0.5)
        h.viewprobe('focus', view, '0')
        check(h.viewprobe('selected', view)[1].strip() == b'selected=0', 'readme.md is selected at first')
        time.sleep(1.2)  # a new input, and past the list view's own type-ahead interval
        h.xdotool('type', '--delay', '150', 'kaisya')
        moved = wait_for(lambda: h.viewprobe('selected', view)[1].strip() == b'selected=2', 10)
        h.screenshot('package-typed-kaisya.png')
        check(moved, 'typing kaisya in the list view selects 会社.txt (%s): Tapline.dll works'
              % h.viewprobe('selected', view)[1].decode().strip())
    finally:
        if viewhost.poll() is None:
            h.probe('close', 'CabinetWClass')
            try:
                viewhost.wait(timeout=20)
            except subprocess.TimeoutExpired:
                viewhost.kill()


def main():
    parser = argparse.ArgumentParser()
    for name in ('root', 'build-dir', 'zip', 'dict-source', 'version', 'arch', 'probe', 'viewhost', 'viewprobe',
                 'work'):
        parser.add_argument('--' + name, required=True)
    o = parser.parse_args()
    if not os.path.exists(o.zip):
        print('FAIL no package at %s (build the "package" target)' % o.zip)
        return 1
    os.makedirs(o.work, exist_ok=True)
    # An empty folder each time; the old one is removed, not overwritten, so no process
    # that still maps its Tapline.dll ever sees the file change.
    folder = os.path.join(o.work, 'unpacked')
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    h = Harness(o)
    check_contents(o, folder)
    check_dictionary_source(o, folder)
    search_end_to_end(h, folder)
    return CHECKS.summary()


if __name__ == '__main__':
    sys.exit(main())
