#!/usr/bin/env bash
# `lyrabinder-cli create --folder` on 12 tracks (about 45 MB, page cache warm) against mp3wrap
# and cat, with peak memory for 3 and 12 tracks; and the length query of the 12 tracks against
# ffprobe. Run after a build of the linux preset (BUILD=build/<dir> to pick another build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
build=${BUILD:-$root/build/linux}
cli=$build/cli/lyrabinder-cli
probe=$build/tests/media/media_lengthprobe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=${RUNS:-5}

make_tracks "$work/tracks"
mkdir -p "$work/three" "$work/out"
for i in 01 02 03; do cp "$work/tracks/$i - Track $i.mp3" "$work/three/"; done
tracks=("$work"/tracks/*.mp3)
bytes=$(cat "${tracks[@]}" | wc -c)
echo "tracks: ${#tracks[@]}, $((bytes / 1000000)) MB"
cat "${tracks[@]}" > /dev/null  # warm the page cache

details=(--title Bench --artist Bench --year 2024 --force)
echo "-- album of 12 tracks"
best "cat (reference)" sh -c 'cat "$0"/*.mp3 > "$1"/cat.mp3' "$work/tracks" "$work/out"
best "lyrabinder-cli create --folder" "$cli" create --folder "$work/tracks" \
  -o "$work/out/bench_LB.MP3" "${details[@]}"
best "mp3wrap" sh -c 'rm -f "$1"/w_MP3WRAP.mp3; mp3wrap "$1"/w.mp3 "$0"/*.mp3' \
  "$work/tracks" "$work/out"
size=$(cat "$work"/three/*.mp3 | wc -c) best "lyrabinder-cli create, 3 tracks (memory)" "$cli" create --folder "$work/three" \
  -o "$work/out/three_LB.MP3" "${details[@]}"

echo "-- length query of 12 tracks"
best "media length query (full frame scan)" "$probe" "${tracks[@]}"
best "ffprobe, one call per track" sh -c \
  'for f in "$@"; do ffprobe -v error -show_entries format=duration -of csv=p=0 "$f"; done' \
  sh "${tracks[@]}"
best "ffprobe -count_frames, one call per track" sh -c \
  'for f in "$@"; do ffprobe -v error -count_frames -show_entries stream=nb_read_frames \
     -of csv=p=0 "$f"; done' sh "${tracks[@]}"

# The lengths agree: ours count each track's info frame, ffprobe's do not (26 ms).
"$probe" "${tracks[@]}" | head -2
for f in "${tracks[@]:0:2}"; do
  printf '%s\t%s (ffprobe)\n' "$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$f")" \
    "$f"
done
