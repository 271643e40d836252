#!/usr/bin/env bash
# The Wine side of the test harness: Japanese Windows (code page 932, ja_JP locale,
# Japanese fonts) in a private prefix, one shared virtual desktop with a tray, on Xvfb.
#
#   wine-env.sh up   <build-dir>   prepare locale, prefix, Xvfb and wineserver (idempotent)
#   wine-env.sh down <build-dir>   stop wineserver, the desktop and Xvfb
#   wine-env.sh run  <build-dir> <program> [args...]   run a Windows program in that environment
#   wine-env.sh env  <build-dir>   print the environment as shell assignments
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cmd=${1:?usage: wine-env.sh up|down|run|env <build-dir> ...}
build=$(cd "${2:?build directory}" && pwd)
shift 2

shared="$root/build/_wine"          # shared by every preset: locale and template prefix
state="$build/wine"                  # per build: prefix clone, display number
mkdir -p "$shared" "$state"

export LOCPATH="$shared/locale"
export WINEPREFIX="$state/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
if [ -f "$state/display" ]; then export DISPLAY=":$(cat "$state/display")"; fi

# bash itself must not switch to the private locale, only the Wine processes.
quiet() { LC_ALL=ja_JP.UTF-8 "$@" </dev/null >/dev/null 2>&1; }

ensure_locale() {
  [ -f "$LOCPATH/ja_JP.UTF-8/LC_CTYPE" ] && return
  mkdir -p "$LOCPATH"
  localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1 || true
  [ -f "$LOCPATH/ja_JP.UTF-8/LC_CTYPE" ] || { echo "wine-env: localedef failed" >&2; exit 1; }
}

reg_add() { quiet wine reg add "$@" /f; }

make_template() {
  local tpl="$shared/template"
  [ -f "$tpl/.ready" ] && return
  rm -rf "$tpl"
  WINEPREFIX="$tpl" quiet wineboot -i
  for f in "MS UI Gothic" "MS Gothic" "MS PGothic" "ＭＳ Ｐゴシック" "ＭＳ ゴシック" "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2"; do
    WINEPREFIX="$tpl" reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v "$f" /d IPAPGothic
  done
  WINEPREFIX="$tpl" reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell
  WINEPREFIX="$tpl" reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768
  WINEPREFIX="$tpl" reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  WINEPREFIX="$tpl" reg_add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
  WINEPREFIX="$tpl" quiet wineserver -w
  touch "$tpl/.ready"
}

clone_prefix() {
  [ -f "$WINEPREFIX/.ready" ] && return
  rm -rf "$WINEPREFIX"
  cp -al "$shared/template" "$WINEPREFIX"
  # wineserver rewrites these in place: give the clone private copies.
  for f in "$WINEPREFIX"/*.reg "$WINEPREFIX"/drive_c/windows/*.ini; do
    [ -e "$f" ] || continue
    cp --remove-destination "$shared/template/${f#"$WINEPREFIX"/}" "$f"
  done
  touch "$WINEPREFIX/.ready"
}

ensure_xvfb() {
  if [ -f "$state/display" ] && [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
    return
  fi
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  echo $! > "$state/xvfb.pid"
  echo "$n" > "$state/display"
  export DISPLAY=":$n"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
}

case "$cmd" in
  up)
    (
      flock 9
      ensure_locale
      make_template
    ) 9>"$shared/.lock"
    clone_prefix
    ensure_xvfb
    # Start the server with every stdio redirected, or test runners hang on its inherited pipes.
    quiet wineserver -p || true
    quiet wine cmd /c exit || true
    ;;
  down)
    quiet wineserver -k || true
    if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; rm -f "$state/xvfb.pid"; fi
    ;;
  run)
    # Normally the test fixture has brought everything up; make a lone run work too.
    if [ ! -f "$WINEPREFIX/.ready" ] || [ ! -f "$state/xvfb.pid" ] || ! kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
      "$0" up "$build" </dev/null >/dev/null 2>&1
      export DISPLAY=":$(cat "$state/display")"
    fi
    LC_ALL=ja_JP.UTF-8 exec wine "$@"
    ;;
  env)
    printf 'export LC_ALL=ja_JP.UTF-8\n'
    for v in LOCPATH WINEPREFIX WINEDEBUG WINEDLLOVERRIDES WINEARCH DISPLAY; do
      printf 'export %s=%q\n' "$v" "${!v-}"
    done
    ;;
  *) echo "wine-env: unknown command $cmd" >&2; exit 2 ;;
esac
