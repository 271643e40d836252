#!/usr/bin/env python3
"""Builds the files of Kanasift's Windows package and the package itself.

    make_package.py texts --source DIR --out DIR --version V --arch win32|win64
        README-en.txt, README-ja.txt, Kanasift.ini.sample and LICENSE.txt: from the
        templates in DIR (UTF-8, LF) to Shift_JIS (code page 932) with CR LF, as
        Windows users read them.

    make_package.py zip --texts DIR --source DIR --dist DIR --strip STRIP --stage DIR
                        --out FILE.zip
        Gathers the programs of dist/ (stripped of their debugging information), the
        dictionary, the texts and the licences of the parts that come from elsewhere
        (taken from this machine's Debian packages) in DIR, then zips them.

Python standard library only.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import zipfile

TEXTS = ['README-en.txt', 'README-ja.txt', 'Kanasift.ini.sample', 'LICENSE.txt']
PROGRAMS = ['Kanasift.exe', 'Tapline.dll', 'Spotter.exe']
DICT_FILES = ['migemo-dict', 'roma2hira.dat', 'hira2kata.dat', 'han2zen.dat', 'zen2han.dat']

# Where this machine's Debian packages keep what the licences need.
CMIGEMO_COPYRIGHT = '/usr/share/doc/cmigemo-common/copyright'
GPL2 = '/usr/share/common-licenses/GPL-2'
SKK_JISYO_L = '/usr/share/skk/SKK-JISYO.L'
MINGW_COPYRIGHT = '/usr/share/doc/mingw-w64-common/copyright'
BOOST_COPYRIGHT_GLOB = '/usr/share/doc/libboost{}-dev/copyright'


def windows_text(text):
    """Shift_JIS with CR LF line ends; fails loudly on a character Shift_JIS lacks."""
    text = text.replace('\r\n', '\n').replace('\n', '\r\n')
    return text.encode('cp932')


def write_windows_text(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    data = windows_text(text)
    # Unchanged files keep their time stamp, so the build does not redo what follows.
    if os.path.exists(path):
        with open(path, 'rb') as f:
            if f.read() == data:
                return
    with open(path, 'wb') as f:
        f.write(data)


def read_utf8(path):
    with open(path, encoding='utf-8') as f:
        return f.read()


def fill(text, values):
    for key, value in values.items():
        text = text.replace('@' + key + '@', value)
    left = re.findall(r'@[A-Z_]+@', text)
    if left:
        raise SystemExit('make_package: unfilled placeholders %s' % sorted(set(left)))
    return text


def make_texts(args):
    values = {'VERSION': args.version, 'ARCH': args.arch}
    for name in ('README-en.txt', 'README-ja.txt'):
        write_windows_text(os.path.join(args.out, name), fill(read_utf8(os.path.join(args.source, name)), values))
    sample = fill(read_utf8(os.path.join(args.source, 'Kanasift.ini.sample')), values)
    write_windows_text(os.path.join(args.out, 'Kanasift.ini.sample'), sample.replace('<TAB>', '\t'))
    write_windows_text(os.path.join(args.out, 'LICENSE.txt'),
                       read_utf8(os.path.join(args.source, '..', 'LICENSE')))


# --- Licences from Debian's machine-readable copyright files -----------------------------

def paragraphs(path):
    """The paragraphs of a Debian copyright file, each as a list of lines."""
    with open(path, encoding='utf-8') as f:
        blocks = f.read().split('\n\n')
    return [block.strip('\n').split('\n') for block in blocks if block.strip()]


def field(paragraph, name):
    """The value of a field: its first line's rest and its continuation lines."""
    lines = []
    inside = False
    for line in paragraph:
        if line.startswith(name + ':'):
            inside = True
            lines.append(line[len(name) + 1:].strip())
        elif inside and line.startswith(' '):
            lines.append(line.strip())
        elif inside:
            break
    return lines


def licence_text(path, name):
    """The text of a stand-alone "License: name" paragraph ("." lines are blank)."""
    for paragraph in paragraphs(path):
        if paragraph[0].strip() == 'License: ' + name:
            return '\n'.join('' if line.strip() == '.' else line[1:] for line in paragraph[1:])
    raise SystemExit('make_package: no licence %s in %s' % (name, path))


def files_paragraph_text(paragraph):
    return '\n'.join('' if line.strip() == '.' else line for line in paragraph)


def winpthreads_notice():
    """The paragraphs of mingw-w64's copyright file that cover winpthreads (linked into
    every program), with the licence texts they name."""
    out = ['The mingw-w64 threads library (winpthreads) is linked into Kanasift.exe,',
           'Tapline.dll and Spotter.exe. From the copyright file of Debian\'s package',
           'mingw-w64-common:', '']
    named = []
    for paragraph in paragraphs(MINGW_COPYRIGHT):
        files = ' '.join(field(paragraph, 'Files'))
        if 'winpthreads/' not in files or 'tests' in files:
            continue
        out.append(files_paragraph_text(paragraph))
        out.append('')
        licence = field(paragraph, 'License')
        if licence and len(licence) == 1:  # named only: its text is given further down
            named.append(licence[0])
    for name in sorted(set(named)):
        if name == 'public-domain':
            continue
        out.append('License: ' + name)
        out.append(licence_text(MINGW_COPYRIGHT, name))
        out.append('')
    return '\n'.join(out)


def boost_notice():
    candidates = sorted(p for p in (BOOST_COPYRIGHT_GLOB.format(v) for v in ('1.81', '1.83', '1.74'))
                        if os.path.exists(p))
    if not candidates:
        raise SystemExit('make_package: no copyright file of libboost-dev found')
    path = candidates[0]
    out = ['Boost.Regex (header-only) is compiled into Kanasift.exe and Spotter.exe.',
           'From the copyright file of Debian\'s package libboost-dev:', '']
    for paragraph in paragraphs(path):
        if ' '.join(field(paragraph, 'Files')).strip() == 'libs/regex/*':
            out.append(files_paragraph_text(paragraph))
            out.append('')
    out.append('License: BSL-1.0')
    out.append(licence_text(path, 'BSL-1.0'))
    return '\n'.join(out)


def package_version(name):
    try:
        return subprocess.run(['dpkg-query', '-W', '-f=${Version}', name], capture_output=True,
                              text=True, check=True).stdout.strip() or 'unknown'
    except (OSError, subprocess.CalledProcessError):
        return 'unknown'


def skk_notice():
    """The comment block at the head of SKK-JISYO.L (EUC-JP), up to its first entry."""
    lines = []
    with open(SKK_JISYO_L, 'rb') as f:
        for raw in f:
            line = raw.decode('euc_jp', 'replace').rstrip('\r\n')
            if not line.startswith(';;') or 'okuri-ari entries' in line:
                break
            if 'coding:' in line:  # the editor's hint names EUC-JP, which this copy is not
                continue
            lines.append(line)
    return '\n'.join(lines)


def make_licences(args, directory):
    with open(CMIGEMO_COPYRIGHT, encoding='utf-8') as f:
        cmigemo = f.read()
    write_windows_text(os.path.join(directory, 'C-Migemo.txt'),
                       'C/Migemo is compiled into Kanasift.exe; dict\\*.dat are its files.\n'
                       'From the copyright file of Debian\'s package cmigemo-common:\n\n' + cmigemo)
    with open(GPL2, encoding='utf-8') as f:
        write_windows_text(os.path.join(directory, 'GPL-2.txt'), f.read())
    note = fill(read_utf8(os.path.join(args.source, 'Dictionary-SKK-JISYO.txt')),
                {'SKKDIC_VERSION': package_version('skkdic'),
                 'CMIGEMO_VERSION': package_version('cmigemo-common')})
    write_windows_text(os.path.join(directory, 'Dictionary-SKK-JISYO.txt'), note + skk_notice() + '\n')
    write_windows_text(os.path.join(directory, 'winpthreads.txt'), winpthreads_notice())
    write_windows_text(os.path.join(directory, 'Boost.txt'), boost_notice())


def make_zip(args):
    stage = args.stage
    if os.path.isdir(stage):
        shutil.rmtree(stage)
    os.makedirs(os.path.join(stage, 'dict'))
    for name in PROGRAMS:
        target = os.path.join(stage, name)
        shutil.copyfile(os.path.join(args.dist, name), target)
        mode = '--strip-unneeded' if name.endswith('.dll') else '--strip-all'
        subprocess.run([args.strip, mode, target], check=True)
    for name in DICT_FILES:
        shutil.copyfile(os.path.join(args.dist, 'dict', name), os.path.join(stage, 'dict', name))
    for name in TEXTS:
        shutil.copyfile(os.path.join(args.texts, name), os.path.join(stage, name))
    make_licences(args, os.path.join(stage, 'licenses'))

    temporary = args.out + '.tmp'
    with zipfile.ZipFile(temporary, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for folder, subfolders, files in os.walk(stage):
            subfolders.sort()
            for name in sorted(files):
                path = os.path.join(folder, name)
                archive.write(path, os.path.relpath(path, stage).replace(os.sep, '/'))
    os.replace(temporary, args.out)
    print('make_package: wrote ' + args.out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('mode', choices=['texts', 'zip'])
    parser.add_argument('--source', required=True)
    parser.add_argument('--out', required=True)
    parser.add_argument('--version')
    parser.add_argument('--arch')
    parser.add_argument('--texts')
    parser.add_argument('--dist')
    parser.add_argument('--strip')
    parser.add_argument('--stage')
    args = parser.parse_args()
    if args.mode == 'texts':
        make_texts(args)
    else:
        make_zip(args)
    return 0


if __name__ == '__main__':
    sys.exit(main())
