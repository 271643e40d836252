#!/usr/bin/env python3
"""Builds the files of Kanasift's Windows package and the package itself.

    make_package.py texts --source DIR --out DIR --version V --arch win32|win64
        README-en.txt, README-ja.txt, Kanasift.ini.sample and LICENSE.txt: from the
        templates in DIR (UTF-8, LF) to Shift_JIS (code page 932) with CR LF, as
        Windows users read them.

    make_package.py zip --texts DIR --source DIR --dist DIR --strip STRIP --stage DIR
                        --out FILE.zip --maps MAP... [--dict-source FILE.zip]
        Gathers the programs of dist/ (stripped of their debugging information), the
        dictionary, the texts and the licences of the parts that come from elsewhere
        (taken from this machine's Debian packages) in DIR, then zips them. The linker
        maps of the programs tell which objects of the C runtime and of GCC's runtime
        libraries are inside them, and so which of their notices the package owes.
        With --dict-source, also zips the dictionary's source: SKK-JISYO.L and the
        scripts that turn it into dict\migemo-dict, with the GPL and a note on how.

Python standard library only.
"""
import argparse
import fnmatch
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
GCC_COPYRIGHT = '/usr/share/doc/gcc-mingw-w64-base/copyright'
GPL3 = '/usr/share/common-licenses/GPL-3'
DICT_TOOLS = ['/usr/sbin/update-cmigemo-dict', '/usr/share/cmigemo/tools/skk2migemo.pl',
              '/usr/share/cmigemo/tools/optimize-dict.pl']
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


# --- What the linker put into the programs --------------------------------------------

# "…/lib/libmingwex.a(lib64_libmingwex_a-strtok_r.o)" in a GNU ld map file.
MEMBER = re.compile(r'([^\s()]+\.a)\(([^()\s]+\.o)\)')
OBJECT = re.compile(r'^\s*(?:LOAD\s+)?(\S+/(?:crt2|dllcrt2|crtbegin|crtend)\.o)\s*$', re.M)
MINGW_LIBRARIES = ('libmingw32.a', 'libmingwex.a', 'libmsvcrt.a', 'libmoldname.a')
GCC_LIBRARIES = {'libgcc.a': 'libgcc', 'libgcc_eh.a': 'libgcc', 'libstdc++.a': 'libstdc++-v3',
                 'libssp.a': 'libssp', 'libssp_nonshared.a': 'libssp', 'libatomic.a': 'libatomic'}
# The sources of mingw-w64-crt/gdtoa/, by the names their objects keep in libmingwex.a.
GDTOA_SOURCES = {'arithchk', 'dmisc', 'dtoa', 'g__fmt', 'g_dfmt', 'g_ffmt', 'g_xfmt', 'gdtoa', 'gethex',
                 'gmisc', 'hd_init', 'hexnan', 'misc', 'qnan', 'smisc', 'strtodg', 'strtodnrp', 'strtof',
                 'strtopx', 'sum', 'ulp'}


def linked(maps):
    """From the programs' linker maps: the source names of the mingw-w64 CRT objects
    linked in ("strtok_r" for lib64_libmingwex_a-strtok_r.o), whether its start-up code
    is, and the GCC runtime libraries that contributed objects."""
    crt_sources, gcc_libraries, startup = set(), set(), False
    for path in maps:
        with open(path, encoding='utf-8', errors='replace') as f:
            text = f.read()
        for library, member in MEMBER.findall(text):
            name = os.path.basename(library)
            if name in MINGW_LIBRARIES:
                crt_sources.add(member[:-2].split('-', 1)[-1])
            elif name in GCC_LIBRARIES:
                gcc_libraries.add(GCC_LIBRARIES[name])
        startup = startup or bool(OBJECT.search(text))
    return crt_sources, startup, gcc_libraries


def crt_pattern_linked(pattern, crt_sources, startup):
    """Whether a "Files:" pattern of mingw-w64's copyright file covers a linked object."""
    if not pattern.startswith('mingw-w64-crt/'):
        return False   # headers, tools and winpthreads are not CRT objects
    directory, _, name = pattern[len('mingw-w64-crt/'):].rpartition('/')
    if directory == 'crt':
        return startup
    if directory == 'gdtoa' and name == '*':
        return bool(crt_sources & GDTOA_SOURCES)
    stem = name.rsplit('.', 1)[0]
    return any(fnmatch.fnmatchcase(source, stem) for source in crt_sources)


def crt_notice(crt_sources, startup):
    """mingw-w64's copyright paragraphs for the C runtime objects linked into the
    programs: the project's own licence, and every paragraph whose files are inside."""
    paragraph_list = paragraphs(MINGW_COPYRIGHT)
    out = ['The mingw-w64 C runtime is linked statically into Kanasift.exe, Tapline.dll and',
           'Spotter.exe. From the copyright file of Debian\'s package mingw-w64-common, the',
           'paragraphs that cover the runtime objects inside these programs:', '']
    named = []
    for paragraph in paragraph_list:
        files = ' '.join(field(paragraph, 'Files')).split()
        if files != ['*'] and not any(crt_pattern_linked(p, crt_sources, startup) for p in files):
            continue
        out.append(files_paragraph_text(paragraph))
        out.append('')
        licence = field(paragraph, 'License')
        if licence and len(licence) == 1:
            named.extend(n.strip() for n in re.split(r'\band\b|\bor\b', licence[0]))
    standalone = {p[0].strip()[len('License: '):] for p in paragraph_list
                  if p[0].startswith('License: ')}
    for name in sorted(set(named)):
        if name in standalone:
            out.append('License: ' + name)
            out.append(licence_text(MINGW_COPYRIGHT, name))
            out.append('')
    return '\n'.join(out)


def gcc_runtime_notice(gcc_libraries):
    """GCC's runtime libraries linked in, and the exception under which they are."""
    with open(GCC_COPYRIGHT, encoding='utf-8') as f:
        text = f.read()
    start = text.index('GCC RUNTIME LIBRARY EXCEPTION')
    end = text.index('requirements of the license of GCC.', start) + len('requirements of the license of GCC.')
    out = ['These runtime libraries of GCC are linked statically into Kanasift.exe, Tapline.dll',
           'and Spotter.exe: ' + ', '.join(sorted(gcc_libraries)) + '.',
           'They are licensed under the GNU General Public License, version 3 or later',
           '(GPL-3.txt beside this file), with version 3.1 of the GCC Runtime Library',
           'Exception, which allows the programs to be distributed under their own terms.',
           'From the copyright file of Debian\'s package gcc-mingw-w64-base:', '',
           text[start:end], '']
    return '\n'.join(out)


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
    crt_sources, startup, gcc_libraries = linked(args.maps)
    if not startup or not crt_sources:
        raise SystemExit('make_package: the linker maps show no mingw-w64 runtime: %s' % args.maps)
    write_windows_text(os.path.join(directory, 'mingw-w64-runtime.txt'), crt_notice(crt_sources, startup))
    if gcc_libraries:
        write_windows_text(os.path.join(directory, 'GCC-runtime.txt'), gcc_runtime_notice(gcc_libraries))
        with open(GPL3, encoding='utf-8') as f:
            write_windows_text(os.path.join(directory, 'GPL-3.txt'), f.read())


def make_dictionary_source(args):
    """The dictionary's source, so that the package complies with the GPL on its own."""
    stage = args.stage + '-dictionary-source'
    if os.path.isdir(stage):
        shutil.rmtree(stage)
    os.makedirs(stage)
    shutil.copyfile(SKK_JISYO_L, os.path.join(stage, 'SKK-JISYO.L'))
    for tool in DICT_TOOLS:
        shutil.copyfile(tool, os.path.join(stage, os.path.basename(tool)))
    with open(GPL2, encoding='utf-8') as f:
        write_windows_text(os.path.join(stage, 'GPL-2.txt'), f.read())
    with open(CMIGEMO_COPYRIGHT, encoding='utf-8') as f:
        write_windows_text(os.path.join(stage, 'C-Migemo.txt'), f.read())
    note = fill(read_utf8(os.path.join(args.source, 'Dictionary-source.txt')),
                {'SKKDIC_VERSION': package_version('skkdic'),
                 'CMIGEMO_VERSION': package_version('cmigemo-common')})
    write_windows_text(os.path.join(stage, 'README.txt'), note)
    write_zip(stage, args.dict_source)


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
    write_zip(stage, args.out)
    if args.dict_source:
        make_dictionary_source(args)


def write_zip(stage, out):
    temporary = out + '.tmp'
    with zipfile.ZipFile(temporary, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for folder, subfolders, files in os.walk(stage):
            subfolders.sort()
            for name in sorted(files):
                path = os.path.join(folder, name)
                archive.write(path, os.path.relpath(path, stage).replace(os.sep, '/'))
    os.replace(temporary, out)
    print('make_package: wrote ' + out)


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
    parser.add_argument('--maps', nargs='*', default=[])
    parser.add_argument('--dict-source')
    args = parser.parse_args()
    if args.mode == 'texts':
        make_texts(args)
    else:
        make_zip(args)
    return 0


if __name__ == '__main__':
    sys.exit(main())
