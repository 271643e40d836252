#!/usr/bin/env python3
"""Spotter.exe against the real Kanasift.exe under Wine.

Kanasift is started from its dist/ folder (so that the default dictionary path
./dict/migemo-dict works); Spotter's command-line forms are run as a script would run
them, its window is driven with real keys (xdotool) and read from another process
(SpotterProbe.exe), and the query service is sent malformed requests. Screenshots go to
<work-dir>/shots.

    spotter_scenarios.py <source-root> <build-dir> <dist-dir> <probe.exe> <work-dir>

Python standard library only. Prints one line per check and a closing summary.
"""
import os
import shlex
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), 'integration'))
from harness import Checks, wine_environment  # noqa: E402


ROOT, BUILD, DIST, PROBE, WORK = sys.argv[1:6]
WINE_ENV = os.path.join(ROOT, 'scripts', 'wine-env.sh')
KANASIFT = os.path.join(DIST, 'Kanasift.exe')
SPOTTER = os.path.join(DIST, 'Spotter.exe')
FOLDER = os.path.join(WORK, 'folder')
NODICT = os.path.join(WORK, 'nodict')
SHOTS = os.path.join(WORK, 'shots')
KAISHA_CP932 = b'\x89\xef\x8e\xd0'  # 会社

CHECKS = Checks()
check = CHECKS.check


def wine_env():
    env = wine_environment(BUILD)
    env['LC_ALL'] = 'C'  # for the X tools; Wine gets its locale from wine-env.sh
    return env


ENV = wine_env()


def windows_path(path):
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def run(exe, *args, cwd=None, timeout=60):
    """Runs a Windows program to its end; returns (exit code, stdout bytes, stderr bytes)."""
    r = subprocess.run([WINE_ENV, 'run', BUILD, exe] + list(args), cwd=cwd or DIST,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    return r.returncode, r.stdout, r.stderr


def start(exe, *args, cwd=None):
    return subprocess.Popen([WINE_ENV, 'run', BUILD, exe] + list(args), cwd=cwd or DIST,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def probe(*args):
    return run(PROBE, *args, cwd=WORK)


def wait_for(predicate, seconds=20.0):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.2)
    return predicate()


def kanasift_running():
    return probe('window', 'Kanasift')[0] == 0


def spotter_open():
    return probe('window', 'KanasiftSpotter')[0] == 0


def stop_kanasift(process=None):
    if kanasift_running():
        probe('stop-kanasift')
    wait_for(lambda: not kanasift_running(), 30)
    if process is not None:
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()


def start_kanasift(folder):
    process = start(os.path.join(folder, 'Kanasift.exe'), cwd=folder)
    check(wait_for(kanasift_running), 'Kanasift starts from ' + os.path.basename(folder))
    return process


def spotter_state():
    code, out, _ = probe('state')
    state = {'items': [], 'code': code}
    for line in out.decode('utf-8', 'replace').splitlines():
        key, _, value = line.partition(' ')
        if key == 'item':
            state['items'].append(value)
        else:
            state[key] = value
    return state


def screenshot(name):
    path = os.path.join(SHOTS, name)
    subprocess.run(['import', '-window', 'root', path], env=ENV, check=False, timeout=60)
    print('screenshot ' + path)
    return path


def xdotool(*args):
    subprocess.run(['xdotool'] + list(args), env=ENV, check=False, timeout=30,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def desktop_window():
    out = subprocess.run(['xdotool', 'search', '--name', 'Wine desktop'], env=ENV,
                         capture_output=True, text=True).stdout.split()
    return out[0] if out else None


DESKTOP_FOCUSED = []


def click_into_input():
    """Clicks into Spotter's input field, as a user would, and leaves the caret there.
    The X focus goes to Wine's virtual desktop once; afterwards it follows Wine's own
    foreground window (giving it to the desktop again would take the keyboard away)."""
    rect = spotter_state().get('input-rect', '0,0,0,0').split(',')
    left, top, right, bottom = (int(v) for v in rect)
    desktop = desktop_window()
    if desktop and not DESKTOP_FOCUSED:
        xdotool('windowfocus', '--sync', desktop)
        DESKTOP_FOCUSED.append(desktop)
    xdotool('mousemove', str((left + right) // 2), str((top + bottom) // 2), 'click', '1')
    time.sleep(0.5)


def start_spotter(*args):
    process = start(SPOTTER, *args)
    check(wait_for(spotter_open), 'the Spotter window opens')
    time.sleep(0.5)
    return process


def close_spotter(process):
    if spotter_open():
        probe('close', 'KanasiftSpotter')
    try:
        return process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        return None


def make_folder():
    if os.path.isdir(FOLDER):
        shutil.rmtree(FOLDER)
    os.makedirs(os.path.join(FOLDER, 'サブフォルダ'))
    for name in ('会社.txt', 'ｶｲｼｬ.txt', 'readme.md'):
        with open(os.path.join(FOLDER, name), 'w', encoding='cp932', newline='\r\n') as f:
            f.write(name + '\n')


def names_found(out):
    return sorted(line for line in out.decode('utf-8').splitlines() if line)


# --- Scenarios ---------------------------------------------------------------------------

def scenario_without_kanasift():
    stop_kanasift()
    code, out, err = run(SPOTTER, '/query', 'kaisya')
    check(code == 2 and b'not running' in err and out == b'',
          '/query without Kanasift: exit 2 and "%s"' % err.decode('utf-8', 'replace').strip())
    code, _, err = run(SPOTTER, '/find', 'kaisya', windows_path(FOLDER))
    check(code == 2 and b'not running' in err, '/find of a long word without Kanasift: exit 2')
    code, out, _ = run(SPOTTER, '/find', 're', windows_path(FOLDER), '/utf8')
    check(code == 0 and names_found(out) == ['readme.md'],
          'a short word is matched literally without Kanasift: %r' % names_found(out))

    spotter = start_spotter(windows_path(FOLDER))
    state = spotter_state()
    check('Kanasift が起動していません' in state.get('status', ''),
          'the window says at once that Kanasift is not running: ' + state.get('status', ''))
    probe('set-input', 'kaisya')
    state = spotter_state()
    check(state['items'] == [] and 'Kanasift が起動していない' in state.get('status', ''),
          'kaisya without Kanasift: an empty list and the status "%s"' % state.get('status', ''))
    screenshot('spotter-without-kanasift.png')
    close_spotter(spotter)


def scenario_with_kanasift():
    kanasift = start_kanasift(DIST)
    code, out, _ = run(SPOTTER, '/query', 'kaisya')
    check(code == 0 and KAISHA_CP932 in out and out.endswith(b')\r\n'),
          '/query kaisya answers with 会社 as cp932 bytes 89 EF 8E D0')
    code, out, _ = run(SPOTTER, '/query', 'kaisya', '/utf8')
    check(code == 0 and '会社'.encode('utf-8') in out and 'ｶｲｼｬ'.encode('utf-8') in out,
          '/query kaisya /utf8 answers in UTF-8: ' + out.decode('utf-8', 'replace').strip())
    code, out, _ = run(SPOTTER, '/find', 'kaisya', windows_path(FOLDER), '/utf8')
    check(code == 0 and names_found(out) == sorted(['ｶｲｼｬ.txt', '会社.txt']),
          '/find kaisya lists 会社.txt and ｶｲｼｬ.txt only: %r' % names_found(out))
    code, out, _ = run(SPOTTER, '/find', 'sya', windows_path(FOLDER), '/utf8')
    check(code == 0 and names_found(out) == [], '/find sya (prefix) lists nothing')
    code, out, _ = run(SPOTTER, '/find', 'sya', windows_path(FOLDER), '/utf8', '/partial')
    check(code == 0 and names_found(out) == sorted(['ｶｲｼｬ.txt', '会社.txt']),
          '/find sya /partial finds the word inside the names: %r' % names_found(out))

    spotter_window_scenario()
    tray_command_scenario()
    stop_kanasift(kanasift)


def tray_command_scenario():
    """The tray menu's "Spotter起動(&W)" starts Spotter in Kanasift's working folder."""
    probe('kanasift-command', '1009')
    if not check(wait_for(spotter_open, 20), 'the tray command 1009 starts Spotter'):
        return
    time.sleep(0.5)
    state = spotter_state()
    check(state.get('title') == 'dist - Spotter' and 'Kanasift.exe' in state['items'],
          "it lists Kanasift's working folder: %s %r" % (state.get('title'), state['items'][:4]))
    screenshot('spotter-from-tray.png')
    probe('close', 'KanasiftSpotter')
    check(wait_for(lambda: not spotter_open(), 10), 'and closes on WM_CLOSE')


def spotter_window_scenario():
    # .txt files open in Notepad, as on Windows (the test prefix lacks the association).
    run('reg', 'add', 'HKCR\\.txt', '/ve', '/d', 'txtfile', '/f')
    spotter = start_spotter(windows_path(FOLDER))
    state = spotter_state()
    check(len(state['items']) == 4 and state['items'][0] == 'サブフォルダ\\',
          'the window lists the folder, subfolders first: %r' % state['items'])
    click_into_input()
    xdotool('type', '--delay', '150', 'kaisya')
    check(wait_for(lambda: spotter_state()['items'] and spotter_state().get('input') == 'kaisya', 10),
          'typed kaisya reaches the input field')
    state = spotter_state()
    check(sorted(state['items']) == sorted(['ｶｲｼｬ.txt', '会社.txt']) and state.get('selected') == '0',
          'kaisya lists 会社.txt and ｶｲｼｬ.txt, the first selected: %r' % state['items'])
    check(state.get('status', '').startswith('2 件 / 全 4 件'), 'the status counts: ' + state.get('status', ''))
    screenshot('spotter-kaisya.png')

    xdotool('key', 'Down')
    time.sleep(0.5)
    state = spotter_state()
    check(state.get('selected') == '1', 'Down in the input moves the list selection')
    second = state['items'][1] if len(state['items']) > 1 else ''
    xdotool('key', 'Return')
    opened = wait_for(lambda: probe('window', 'Notepad')[0] == 0, 15)
    check(opened, 'Enter opens %s with the shell (Notepad)' % second)
    if opened:
        time.sleep(1.0)
        screenshot('spotter-opened.png')
        probe('close', 'Notepad')
        wait_for(lambda: probe('window', 'Notepad')[0] != 0, 10)

    # Partial matching: the check box's shortcut Ctrl+P, then the same word inside names.
    probe('set-input', 'sya')
    check(spotter_state()['items'] == [], 'sya matches no name from its start')
    click_into_input()
    xdotool('key', 'ctrl+p')
    check(wait_for(lambda: spotter_state().get('partial') == '1', 5), 'Ctrl+P checks partial matching')
    check(sorted(spotter_state()['items']) == sorted(['ｶｲｼｬ.txt', '会社.txt']),
          'with partial matching sya finds both: %r' % spotter_state()['items'])
    screenshot('spotter-partial.png')

    xdotool('key', 'Escape')
    check(wait_for(lambda: not spotter_open(), 10), 'Escape closes the window')
    try:
        code = spotter.wait(timeout=20)
    except subprocess.TimeoutExpired:
        code = None
    check(code == 0, 'and Spotter exits with 0 (got %s)' % code)


def scenario_hostile_requests():
    kanasift = start_kanasift(DIST)
    ini = os.path.join(DIST, 'Kanasift.ini')
    check(probe('tray')[0] == 0, 'the tray icon is shown before the hostile requests')
    code, out, _ = probe('hostile')
    lines = out.decode('utf-8', 'replace').splitlines()
    cases = []
    for line in lines:
        if line.startswith('case '):
            fields = line.split()
            values = dict(f.split('=', 1) for f in fields[2:])
            cases.append((fields[1], values))
    print('\n'.join('     ' + l for l in lines))
    check(code == 0 and len(cases) >= 27, 'every hostile request was sent (%d)' % len(cases))
    results = {}
    for name, values in cases:
        results.setdefault(name, []).append(values)

    def one(name):
        return results.get(name, [{}])[0]

    check(all(v.get('alive') == '1' for _, v in cases), 'Kanasift survives every request')
    refused = ['null-data', 'zero-size', 'no-nul', 'unterminated-set', 'over-limit', 'one-mebibyte',
               'foreign-reply-address', 'image-base-address', 'reply-address-no-requester',
               'kanasift-requester-small-address', 'kanasift-requester-planted-record', 'kanasift-requester']
    for name in refused:
        v = one(name)
        check(v.get('sent') == '1' and v.get('result') == '0' and v.get('replied') == '0',
              'refused with FALSE and no reply: %s' % name)
    check('foreign-buffer untouched' in out.decode('utf-8', 'replace'),
          'a reply address of another process is never written through')
    check('planted-buffer untouched' in out.decode('utf-8', 'replace'),
          'a reply record planted in Kanasift\'s memory is never written through, also with Kanasift named as requester')
    for name in ('query-only', 'at-limit', 'normal'):
        v = one(name)
        check(v.get('result') == '1' and v.get('kaisha') == '1', 'answered with 会社: %s' % name)
    v = one('empty-query')
    check(v.get('result') == '1' and v.get('replied') == '1' and v.get('bytes') == '1',
          'an empty query answers the empty text')
    for name in ('no-requester', 'bogus-requester'):
        v = one(name)
        check(v.get('result') == '1' and v.get('replied') == '0', 'answered, reply dropped: %s' % name)
    v = one('hung-requester')
    check(v.get('result') == '1' and int(v.get('ms', '99999')) < 8000,
          'a requester that never reads its reply holds Kanasift for %s ms only' % v.get('ms'))
    check(all(v.get('result') == '1' for v in results.get('odd-query', [])) and len(results.get('odd-query', [])) == 7,
          'odd queries (lone lead byte, operators) are answered')
    code, out, _ = run(SPOTTER, '/query', 'kaisya')
    check(code == 0 and KAISHA_CP932 in out, 'a normal /query still works afterwards')
    check(probe('tray')[0] == 0, 'the tray icon is still shown')
    check(not os.path.exists(ini), 'no setting was written (no Kanasift.ini appeared)')
    stop_kanasift(kanasift)


def copy_if_different(source, target):
    if os.path.exists(target):
        with open(source, 'rb') as a, open(target, 'rb') as b:
            if a.read() == b.read():
                return
    shutil.copyfile(source, target)


def scenario_missing_dictionary():
    # Kanasift in a folder of its own whose settings point the dictionary nowhere.
    os.makedirs(NODICT, exist_ok=True)
    for name in ('Kanasift.exe', 'Tapline.dll'):
        copy_if_different(os.path.join(DIST, name), os.path.join(NODICT, name))
    with open(os.path.join(NODICT, 'Kanasift.ini'), 'wb') as f:
        f.write(b'[main]\r\nDictPath=Z:\\nonexistent\\dict\\migemo-dict\r\n')
    kanasift = start_kanasift(NODICT)
    code, out, err = run(SPOTTER, '/query', 'kaisya')
    check(code == 3 and b'dictionary' in err and out == b'',
          'with DictPath pointing nowhere: exit 3 and "%s"' % err.decode('utf-8', 'replace').strip())
    spotter = start_spotter(windows_path(FOLDER))
    probe('set-input', 'kaisya')
    state = spotter_state()
    check(state['items'] == [] and '辞書' in state.get('status', ''),
          'the window says the dictionary could not be opened: ' + state.get('status', ''))
    screenshot('spotter-no-dictionary.png')
    close_spotter(spotter)
    check(kanasift_running(), 'Kanasift keeps running without a dictionary')
    stop_kanasift(kanasift)


def main():
    os.makedirs(SHOTS, exist_ok=True)
    for exe in (KANASIFT, SPOTTER, PROBE):
        if not os.path.exists(exe):
            print('FAIL missing ' + exe)
            return 1
    make_folder()
    # Kanasift runs from dist/ with its defaults: a settings file left there by another
    # test is put aside for the length of this one.
    ini = os.path.join(DIST, 'Kanasift.ini')
    aside = ini + '.spotter-test'
    if os.path.exists(ini):
        os.replace(ini, aside)
    try:
        scenario_without_kanasift()
        scenario_with_kanasift()
        scenario_hostile_requests()
        scenario_missing_dictionary()
    finally:
        if spotter_open():
            probe('close', 'KanasiftSpotter')
        stop_kanasift()
        if os.path.exists(aside):
            os.replace(aside, ini)
        elif os.path.exists(ini):
            os.remove(ini)
    return CHECKS.summary()


if __name__ == '__main__':
    sys.exit(main())
