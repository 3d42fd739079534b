#!/usr/bin/env bash
# The album player on an album of 12 tracks (about 45 MB) and 10 pictures of 1500 x 1500:
# from the album chosen in the open dialog to ready (previews made), to the viewer's page
# loaded, and Play to the first audio written to the output (player_bench, offscreen); the same
# opening for an album of six 3000 x 2000 JPEGs with lyrics (also the first opening of a new
# process, previews kept, and with the album given to the program instead of chosen) and one
# without pictures, and the memory ten open/play/close cycles leave (read after each close once
# the program has idled 300 ms); then CPU while playing: `lyrabinder-cli play` for 10 s against
# mpg123 decoding the same album (its CPU time per second of audio). Run after a build of the
# linux preset (BUILD=build/<dir> to pick another build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
build=${BUILD:-$root/build/linux}
cli=$build/cli/lyrabinder-cli
bench=$build/bench/player_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=${RUNS:-5}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox TMPDIR=$work XDG_CONFIG_HOME=$work

make_tracks "$work/album"
for i in $(seq -w 1 10); do
  ffmpeg -loglevel error -f lavfi -i "testsrc=size=1500x1500:rate=1" -frames:v 1 -q:v 2 \
    "$work/album/picture$i.jpg"
done
album=$work/Bench_LB.MP3
"$cli" create --folder "$work/album" -o "$album" --title Bench --artist Bench --year 2024 \
  --force > /dev/null
echo "album: $(($(stat -c %s "$album") / 1000000)) MB, 12 tracks, 10 pictures 1500 x 1500"

echo "-- player window (goals: opening <= 300 ms, Play to first audio <= 50 ms)"
"$bench" "$album" "$runs"

# Two tracks each; the first opening of a run starts the browser engine and makes the previews,
# the later ones find them (as a user opening the album again does).
mkdir -p "$work/six" "$work/plain"
cp "$work/album/01 - Track 01.mp3" "$work/album/02 - Track 02.mp3" "$work/six/"
cp "$work/album/01 - Track 01.mp3" "$work/album/02 - Track 02.mp3" "$work/plain/"
printf 'First line\r\nSecond line\r\n' > "$work/six/01 - Track 01.txt"
# Grain as a camera's: about 2.2 MB each, as a 6-megapixel photo stores.
for i in 1 2 3 4 5 6; do
  ffmpeg -loglevel error -f lavfi -i "testsrc=size=3000x2000:rate=1" -vf "noise=alls=7:allf=t" \
    -frames:v 1 -q:v 2 "$work/six/slide$i.jpg"
done
for name in six plain; do
  "$cli" create --folder "$work/$name" -o "$work/${name}_LB.MP3" --title "$name" --artist Bench \
    --year 2024 --force > /dev/null
done
echo "-- player window, six JPEGs 3000 x 2000 (goal: ready and page <= 150 ms)"
"$bench" "$work/six_LB.MP3" 11 | grep -v '^run '
echo "   a new process, previews kept:"
"$bench" "$work/six_LB.MP3" 2 | grep '^first opening'
echo "   a new process, the album given to the program (no open dialog to start the browser in):"
"$bench" "$work/six_LB.MP3" 2 given | grep '^first opening'
echo "-- player window, no pictures (goal: ready <= 50 ms; memory over ten cycles <= 2 MB)"
"$bench" "$work/plain_LB.MP3" 11 | grep -v '^run '

echo "-- CPU while playing (goal <= 3 % of one core)"
seconds=10
/usr/bin/time -f "%U %S" -o "$work/ours" "$cli" play "$album" --for $((seconds * 1000)) > /dev/null
python3 - "$work/ours" $seconds <<'PY'
import sys
user, system = map(float, open(sys.argv[1]).read().split()[-2:])
print(f"{'lyrabinder-cli play, 10 s':40} {100 * (user + system) / float(sys.argv[2]):6.2f} % of one core")
PY
audio=$("$cli" list --json "$album" | python3 -c \
  'import json,sys; print(sum(i.get("play_ms",0) for i in json.load(sys.stdin)["items"])/1000)')
/usr/bin/time -f "%U %S" -o "$work/peer" mpg123 -q -o dummy "$album" 2> /dev/null
python3 - "$work/peer" "$audio" <<'PY'
import sys
user, system = map(float, open(sys.argv[1]).read().split()[-2:])
print(f"{'mpg123 -o dummy, CPU per audio second':40} {100 * (user + system) / float(sys.argv[2]):6.2f} % of one core")
PY
