#!/usr/bin/env bash
# The Wine side of the test harness: Japanese Windows (code page 932, ja_JP locale,
# Japanese fonts) in a private prefix, one shared virtual desktop with a tray, on Xvfb.
#
#   wine-env.sh up      <build-dir>   prepare locale, prefix, Xvfb and wineserver (idempotent)
#   wine-env.sh down    <build-dir>   stop wineserver, the desktop and Xvfb
#   wine-env.sh run     <build-dir> <program> [args...]   run a Windows program in that environment
#   wine-env.sh env     <build-dir>   print the environment as shell assignments
#   wine-env.sh loader  <build-dir> 32|64   print the Wine loader for programs of that bitness
#   wine-env.sh require <build-dir> 32|64 [command...]   run the command (or just return 0)
#                                     when programs of that bitness can run on this machine
#
# Some machines run a kernel with 32-bit emulation switched off: there every i386 program,
# Wine's 32-bit loader included, fails with "Exec format error". Whether this machine can
# run 32-bit programs is found out once (does the 32-bit loader run at all?) and kept in
# build/_wine/run32 for the whole harness. The prefix is made with the 64-bit loader, and
# every program runs with the loader of its own bitness, so nothing depends on the 32-bit
# loader where it cannot run. Where a 32-bit program is asked for and cannot run, `run`,
# `loader` and `require` print a line starting "SKIPPED:" with the reason and exit 77,
# which ctest reports as a skipped test.
#
# KANASIFT_WINE32_LOADER (for testing the harness only) points the detection at another
# 32-bit loader, e.g. one that cannot run, so that the skip path can be tried anywhere.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cmd=${1:?usage: wine-env.sh up|down|run|env|loader|require <build-dir> ...}
build=$(cd "${2:?build directory}" && pwd)
shift 2

readonly skip_code=77
wine64=/usr/lib/wine/wine64
wine32=${KANASIFT_WINE32_LOADER:-/usr/lib/wine/wine}

shared="$root/build/_wine"          # shared by every preset: locale, template prefix, run32
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

# --- can this machine run 32-bit programs? ------------------------------------------------
run32_record="$shared/run32"

detect_run32() {
  local out code
  out=$(timeout 60 "$wine32" --version 2>&1 </dev/null) && code=0 || code=$?
  if [ "$code" -eq 0 ]; then
    printf 'loader=%s\nrun32=1\nreason=\n' "$wine32"
  else
    out=$(printf '%s' "$out" | tr '\n' ' ' | sed 's/[[:space:]]*$//')
    printf 'loader=%s\nrun32=0\nreason=%s\n' "$wine32" "$wine32 --version failed (exit $code${out:+: $out})"
  fi
}

# Detects once per loader path and keeps the answer; reads it back into run32 and reason32.
load_run32() {
  (
    flock 8
    if [ ! -f "$run32_record" ] || [ "$(sed -n 's/^loader=//p' "$run32_record")" != "$wine32" ]; then
      detect_run32 > "$run32_record.new" && mv "$run32_record.new" "$run32_record"
    fi
  ) 8>"$shared/.run32.lock"
  run32=$(sed -n 's/^run32=//p' "$run32_record")
  reason32=$(sed -n 's/^reason=//p' "$run32_record")
}

skip_32() {
  echo "SKIPPED: this machine cannot execute 32-bit programs ($reason32)" >&2
  exit "$skip_code"
}

# The bitness of a PE file (32 or 64), or nothing when it is not one we can read.
pe_bits() {
  local file=$1 offset machine
  [ -f "$file" ] || return 0
  [ "$(head -c 2 "$file" 2>/dev/null)" = MZ ] || return 0
  offset=$(od -An -t u4 -j 60 -N 4 "$file" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] || return 0
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$file" 2>/dev/null | tr -d ' ')
  case "$machine" in
    014c) echo 32 ;;
    8664) echo 64 ;;
  esac
}

# The loader for a bitness; a 32-bit one only where it runs.
loader_for() {
  if [ "$1" = 32 ]; then
    [ "$run32" = 1 ] || skip_32
    echo "$wine32"
  else
    echo "$wine64"
  fi
}

# --- the prefix, the display and the server ---------------------------------------------
ensure_locale() {
  [ -f "$LOCPATH/ja_JP.UTF-8/LC_CTYPE" ] && return
  mkdir -p "$LOCPATH"
  localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1 || true
  [ -f "$LOCPATH/ja_JP.UTF-8/LC_CTYPE" ] || { echo "wine-env: localedef failed" >&2; exit 1; }
}

reg_add() { quiet "$wine64" reg add "$@" /f; }

# The template is made with the 64-bit loader. Where 32-bit programs run, Wine fills the
# prefix's 32-bit half too; where they do not, wineboot reports errors for that half and
# the 64-bit half is complete. The stamp says which, so a template made without the 32-bit
# half is made again on a machine that can use it.
template_stamp() { echo "run32=$run32"; }

make_template() {
  local tpl="$shared/template"
  [ -f "$tpl/.ready" ] && [ "$(cat "$tpl/.ready")" = "$(template_stamp)" ] && return
  rm -rf "$tpl"
  WINEPREFIX="$tpl" quiet "$wine64" wineboot -i || true
  for f in "MS UI Gothic" "MS Gothic" "MS PGothic" "ＭＳ Ｐゴシック" "ＭＳ ゴシック" "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2"; do
    WINEPREFIX="$tpl" reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v "$f" /d IPAPGothic
  done
  WINEPREFIX="$tpl" reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell
  WINEPREFIX="$tpl" reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768
  WINEPREFIX="$tpl" reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  WINEPREFIX="$tpl" reg_add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
  WINEPREFIX="$tpl" quiet wineserver -w
  # The server writes the registry files when it ends.
  [ -f "$tpl/system.reg" ] || { echo "wine-env: wineboot made no prefix in $tpl" >&2; exit 1; }
  template_stamp > "$tpl/.ready"
}

clone_prefix() {
  [ -f "$WINEPREFIX/.ready" ] && cmp -s "$WINEPREFIX/.ready" "$shared/template/.ready" && return
  quiet wineserver -k || true
  rm -rf "$WINEPREFIX"
  cp -al "$shared/template" "$WINEPREFIX"
  # wineserver rewrites these in place: give the clone private copies.
  for f in "$WINEPREFIX"/*.reg "$WINEPREFIX"/drive_c/windows/*.ini "$WINEPREFIX/.ready"; do
    [ -e "$f" ] || continue
    cp --remove-destination "$shared/template/${f#"$WINEPREFIX"/}" "$f"
  done
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

up() {
  (
    flock 9
    ensure_locale
    load_run32
    make_template
  ) 9>"$shared/.lock"
  clone_prefix
  ensure_xvfb
  # Start the server with every stdio redirected, or test runners hang on its inherited pipes.
  quiet wineserver -p || true
  quiet "$wine64" cmd /c exit || true
}

load_run32
# Windows programs of the harness can ask whether the other bitness runs here.
export KANASIFT_RUN32="$run32"

case "$cmd" in
  up) up ;;
  down)
    quiet wineserver -k || true
    if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; rm -f "$state/xvfb.pid"; fi
    ;;
  run)
    program=${1:?program}
    bits=$(pe_bits "$program")
    # Wine's own programs (explorer, cmd, reg) and unknown files start with the 64-bit
    # loader, which hands a 32-bit program on to the 32-bit one where that can run.
    loader=$(loader_for "${bits:-64}") || exit $?
    # Normally the test fixture has brought everything up; make a lone run work too.
    if [ ! -f "$WINEPREFIX/.ready" ] || [ ! -f "$state/xvfb.pid" ] || ! kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
      up </dev/null >/dev/null 2>&1
      export DISPLAY=":$(cat "$state/display")"
    fi
    LC_ALL=ja_JP.UTF-8 exec "$loader" "$@"
    ;;
  loader)
    loader_for "${1:?32 or 64}" || exit $?
    ;;
  require)
    bits=${1:?32 or 64}
    shift
    loader_for "$bits" >/dev/null || exit $?
    [ $# -eq 0 ] || exec "$@"
    ;;
  env)
    printf 'export LC_ALL=ja_JP.UTF-8\n'
    for v in LOCPATH WINEPREFIX WINEDEBUG WINEDLLOVERRIDES WINEARCH DISPLAY KANASIFT_RUN32; do
      printf 'export %s=%q\n' "$v" "${!v-}"
    done
    ;;
  *) echo "wine-env: unknown command $cmd" >&2; exit 2 ;;
esac
