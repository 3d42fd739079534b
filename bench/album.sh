#!/usr/bin/env bash
# Album writing and extraction against cat, mp3wrap and mp3splt on the same 12 tracks
# (about 45 MB, page cache warm), with peak memory. Run after a build of the linux preset.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build/linux}
cli=$build/cli/lyrabinder-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=${RUNS:-5}

# 12 real 128 kbps tracks: one lame-made minute, repeated to about 3.75 MB each.
python3 - "$work/tone.wav" <<'PY'
import math, struct, sys, wave
w = wave.open(sys.argv[1], "wb"); w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
frames = bytearray()
for k in range(44100 * 60):
    s = int(8000 * math.sin(2 * math.pi * 440 * k / 44100))
    frames += struct.pack("<hh", s, s // 2)
w.writeframes(bytes(frames)); w.close()
PY
lame --quiet -b 128 --cbr "$work/tone.wav" "$work/minute.mp3"
for i in $(seq -w 1 12); do
  for _ in 1 2 3 4; do cat "$work/minute.mp3"; done > "$work/track$i.mp3"
done
tracks=("$work"/track*.mp3)
bytes=$(cat "${tracks[@]}" | wc -c)
echo "tracks: ${#tracks[@]}, $((bytes / 1000000)) MB"
cat "${tracks[@]}" > /dev/null  # warm the page cache

best() {  # best wall time of $runs runs and the peak memory of a command
  local label=$1; shift
  python3 - "$label" "$runs" "$bytes" "$@" <<'PY'
import os, subprocess, sys, tempfile, time
label, runs, size, cmd = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
best, peak = None, 0
report = tempfile.NamedTemporaryFile(delete=False).name
for _ in range(runs):
    # GNU time reports the command's own peak resident memory.
    start = time.perf_counter()
    status = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", report] + cmd,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    secs = time.perf_counter() - start
    if status != 0:
        print(f"{label:34} failed ({status})"); sys.exit(0)
    best = secs if best is None else min(best, secs)
    peak = max(peak, int(open(report).read().split()[-1]))
os.unlink(report)
print(f"{label:34} {best:7.3f} s {size / 1e6 / best:8.1f} MB/s  peak {peak / 1024:6.1f} MB")
PY
}

best "cat (reference)" sh -c "cat ${tracks[*]} > $work/cat.mp3"
if "$cli" --help 2>/dev/null | grep -q '^ *create'; then
  best "lyrabinder-cli create" sh -c "cd $work && $cli create --force -o $work/bench_LB.MP3 \
    --title Bench --artist Bench --year 2000 ${tracks[*]}"
fi
best "mp3wrap" sh -c "rm -f $work/w_MP3WRAP.mp3; mp3wrap $work/w.mp3 ${tracks[*]}"

if [ -f "$work/bench_LB.MP3" ]; then
  mkdir -p "$work/out"
  best "lyrabinder-cli extract --all" "$cli" extract "$work/bench_LB.MP3" --to "$work/out" --all
  best "cat album > file (reference)" sh -c "cat $work/bench_LB.MP3 > $work/out/copy"
fi
mkdir -p "$work/split"
best "mp3splt -w" mp3splt -q -w -d "$work/split" "$work/w_MP3WRAP.mp3"
# The engine alone, in process: writing, extracting, and analysing 1000 files.
"$build/bench/album_bench" --benchmark_min_time=1
