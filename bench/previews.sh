#!/usr/bin/env bash
# Previews of 10 pictures of 1500 x 1500: ours (bench tool over platform/qt) against
# ImageMagick (`convert -resize 250x250 -quality 100`, one process per picture, and `mogrify`
# over all ten) and `vipsthumbnail`. Prints the best and the median wall time of each.
#   bench/previews.sh [BUILD_DIR] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../build/linux}
runs=${2:-7}
tool=$build/bench/preview_tool
[ -x "$tool" ] || { echo "build the preview_tool target first ($tool)" >&2; exit 2; }
for program in convert mogrify vipsthumbnail; do
  command -v "$program" >/dev/null || { echo "$program is missing (tools/bootstrap)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in"
# Photo-like content (plasma fractals), stored as an ordinary camera JPEG would be.
for i in $(seq 1 10); do
  convert -seed "$i" -size 1500x1500 plasma:fractal -blur 0x1 -quality 92 "$work/in/p$i.jpg"
done

ours() { "$tool" "$1" "$work"/in/*.jpg; }
magick_each() { for f in "$work"/in/*.jpg; do convert "$f" -resize 250x250 -quality 100 "$1/$(basename "$f")"; done; }
magick_one() { mogrify -path "$1" -resize 250x250 -quality 100 "$work"/in/*.jpg; }
vips() { vipsthumbnail -s 250x250 -o "$1/%s.jpg[Q=100]" "$work"/in/*.jpg; }

now() { date +%s%N; }
measure() {
  local name=$1 times=() out start
  for run in $(seq 1 "$runs"); do
    out="$work/out-$name-$run"
    mkdir -p "$out"
    start=$(now)
    "$name" "$out"
    times+=($(( ($(now) - start) / 1000000 )))
  done
  local sorted
  sorted=($(printf '%s\n' "${times[@]}" | sort -n))
  printf '%-12s best %5d ms   median %5d ms   (%s runs)\n' "$name" "${sorted[0]}" \
    "${sorted[$(( ${#sorted[@]} / 2 ))]}" "$runs"
}

echo "10 JPEG pictures of 1500 x 1500 -> previews within 250 x 250, JPEG quality 100"
measure ours
measure magick_each
measure magick_one
measure vips
identify -format 'preview sizes: ours %wx%h' "$work/out-ours-1/p1.jpg"
identify -format ', ImageMagick %wx%h' "$work/out-magick_each-1/p1.jpg"
identify -format ', vips %wx%h\n' "$work/out-vips-1/p1.jpg"
