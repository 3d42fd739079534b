#!/usr/bin/env bash
# Encoding speed: `lyrabinder-cli encode` against `lame -b 128 --cbr` and
# `ffmpeg -c:a libmp3lame -b:a 128k` on one generated 5-minute WAV (44100 Hz, stereo, 16-bit).
# Goal: the command line within 5 % of lame.
#
#   bench/encode.sh [BUILD_DIR] [RUNS]     (defaults: build/linux, 3; best run counts)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
runs=${2:-3}
cli=$build/cli/lyrabinder-cli
for tool in "$cli" lame ffmpeg; do
  command -v "$tool" >/dev/null || { echo "encode.sh: $tool not found" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two drifting tones over pink noise: music-like enough that the encoder has real work to do.
ffmpeg -v error -f lavfi \
  -i "aevalsrc=0.25*sin(2*PI*(220+20*sin(2*PI*0.1*t))*t)+0.15*sin(2*PI*331*t)*sin(2*PI*0.5*t)|0.25*sin(2*PI*(277+15*sin(2*PI*0.07*t))*t)+0.15*sin(2*PI*415*t):s=44100:d=300" \
  -f lavfi -i "anoisesrc=d=300:c=pink:r=44100:a=0.08" \
  -filter_complex "[1]aformat=channel_layouts=mono,pan=stereo|c0=c0|c1=c0[n];[0][n]amix=inputs=2:normalize=0" \
  -c:a pcm_s16le -ar 44100 "$work/bench.wav"

calc() { awk "BEGIN { print $1 }"; }

# Best wall time of $runs runs, in seconds.
best_of() {
  local best="" start end took
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    took=$(calc "$end - $start")
    if [ -z "$best" ] || [ "$(calc "$took < $best")" = 1 ]; then best=$took; fi
  done
  printf '%.3f' "$best"
}

t_cli=$(best_of "$cli" encode "$work/bench.wav")
t_lame=$(best_of lame --quiet -b 128 --cbr "$work/bench.wav" "$work/lame.mp3")
t_ffmpeg=$(best_of ffmpeg -v error -y -i "$work/bench.wav" -c:a libmp3lame -b:a 128k "$work/ffmpeg.mp3")

size() { stat -c %s "$1"; }
printf '%-34s %9s %9s %11s\n' "encoder (5:00 of audio)" "seconds" "vs lame" "bytes"
row() { printf '%-34s %9s %8.1f%% %11s\n' "$1" "$2" "$(calc "100 * $2 / $t_lame")" "$3"; }
row "lyrabinder-cli encode" "$t_cli" "$(size "$work/bench.mp3")"
row "lame -b 128 --cbr" "$t_lame" "$(size "$work/lame.mp3")"
row "ffmpeg -c:a libmp3lame -b:a 128k" "$t_ffmpeg" "$(size "$work/ffmpeg.mp3")"

if [ "$(calc "$t_cli <= 1.05 * $t_lame")" = 1 ]; then
  echo "goal met: lyrabinder-cli encode within 5 % of lame"
else
  echo "goal missed: lyrabinder-cli encode more than 5 % slower than lame"
fi
