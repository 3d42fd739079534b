#!/usr/bin/env bash
# Album extraction against cat and mp3splt -w on 12 tracks (about 45 MB, page cache warm), with
# peak memory; then the engine alone. bench/create.sh compares writing with cat and mp3wrap.
# Run after a build of the linux preset (BUILD=build/<dir> to pick another build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
build=${BUILD:-$root/build/linux}
cli=$build/cli/lyrabinder-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=${RUNS:-5}

make_tracks "$work/tracks"
tracks=("$work"/tracks/*.mp3)
bytes=$(cat "${tracks[@]}" | wc -c)
echo "tracks: ${#tracks[@]}, $((bytes / 1000000)) MB"
mkdir -p "$work/out" "$work/split"
"$cli" create --folder "$work/tracks" -o "$work/bench_LB.MP3" --title Bench --artist Bench \
  --year 2000 > /dev/null 2>&1
mp3wrap "$work/w.mp3" "${tracks[@]}" > /dev/null
cat "$work/bench_LB.MP3" "$work/w_MP3WRAP.mp3" > /dev/null  # warm the page cache

best "cat album > file (reference)" sh -c 'cat "$0" > "$1"/copy' "$work/bench_LB.MP3" "$work/out"
best "lyrabinder-cli extract --all" "$cli" extract "$work/bench_LB.MP3" --to "$work/out" --all
best "mp3splt -w" mp3splt -q -w -d "$work/split" "$work/w_MP3WRAP.mp3"

# The engine alone, in process: writing, extracting, and analysing 1000 files.
"$build/bench/album_bench" --benchmark_min_time=1
