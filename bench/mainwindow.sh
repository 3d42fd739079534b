#!/usr/bin/env bash
# The main window alone under an X server (Xvfb): time from the start of `lyrabinder` to its
# window being mapped, and resident memory 1.5 s later (goals: on screen <= 100 ms, <= 60 MB);
# each run and the medians. Run after a build of the linux preset (BUILD=build/<dir> to pick
# another build, RUNS=n).
# A desktop always has a session bus, and Qt's accessibility bridge connects to it before the
# first window shows. Without one libdbus would start dbus-launch and a bus daemon for it (some
# 100 ms that no desktop pays), so the runs share a private bus, as a desktop session gives.
set -euo pipefail
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  command -v dbus-run-session >/dev/null ||
    { echo "mainwindow: dbus-run-session is missing (Debian package dbus)" >&2; exit 1; }
  # The daemon's complaint where it may not raise its file limit (containers) is dropped.
  exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v "Failed to set fd limit" >&2)
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build/linux}
runs=${RUNS:-9}
work=$(mktemp -d)
display=""
for n in $(seq 170 230); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "mainwindow: no free display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
now() { perl -MTime::HiRes=time -e 'printf "%.0f", time() * 1000'; }

echo "-- main window alone (goals: on screen <= 100 ms, <= 60 MB resident)"
for run in $(seq "$runs"); do
  home=$work/home$run
  mkdir -m 700 "$home"
  # The first window mapped on the root is the main window.
  { xev -root -event substructure & echo $! >"$work/xev"; wait; } |
    perl -MTime::HiRes=time -ne '$|=1; printf "%.0f\n", time() * 1000 if /MapNotify/' >"$work/mapped" &
  reader=$!
  sleep 0.3
  start=$(now)
  HOME=$home XDG_RUNTIME_DIR=$home "$build/app/lyrabinder" >/dev/null 2>&1 &
  program=$!
  for _ in $(seq 500); do [ -s "$work/mapped" ] && break; sleep 0.01; done
  mapped=$(head -n 1 "$work/mapped")
  sleep 1.5
  rss=$(awk '/VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$program/status")
  printf "%-40s on screen %5d ms, %6s MB resident\n" "run $run" $((mapped - start)) "$rss"
  echo "$((mapped - start)) $rss" >>"$work/runs"
  kill -9 "$program"
  kill "$(cat "$work/xev")" "$reader" 2>/dev/null || true
  wait "$program" "$reader" 2>/dev/null || true
  : >"$work/mapped"
done
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf "%-40s on screen %5s ms, %6s MB resident\n" "median of $runs" \
  "$(cut -d' ' -f1 "$work/runs" | median)" "$(cut -d' ' -f2 "$work/runs" | median)"
