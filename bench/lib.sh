# Shared by the benchmark scripts: sourced, not run.

# make_tracks DIR: 12 real 128 kbps tracks of about 3.75 MB in DIR ("NN - Track NN.mp3"):
# four minutes each, one of three tones, each track one stream as lame writes it (with its
# info frame), as a ripped track is.
make_tracks() {
  local dir=$1 pitch i
  mkdir -p "$dir"
  for pitch in 330 440 550; do
    ffmpeg -loglevel error -f lavfi -i "sine=frequency=$pitch:duration=240" -ac 2 -ar 44100 \
      "$dir/tone$pitch.wav"
    lame --quiet -b 128 --cbr "$dir/tone$pitch.wav" "$dir/four$pitch.mp3" &
  done
  wait
  rm "$dir"/tone*.wav
  local pitches=(330 440 550)
  for i in $(seq -w 1 12); do
    cp "$dir/four${pitches[$((10#$i % 3))]}.mp3" "$dir/$i - Track $i.mp3"
  done
  rm "$dir"/four*.mp3
}

# make_collection DIR FOLDERS: FOLDERS album folders of 10 tagged 10-second tracks in DIR, half
# of each folder variable-bitrate ("NN v.mp3"), half 128 kbps ("NN c.mp3").
make_collection() {
  local dir=$1 folders=$2
  mkdir -p "$dir"
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=10" -ac 2 -ar 44100 "$dir/tone.wav"
  lame --quiet -b 128 --cbr "$dir/tone.wav" "$dir/c.mp3"
  lame --quiet -V 2 "$dir/tone.wav" "$dir/v.mp3"
  python3 - "$dir" "$folders" <<'PY'
import os, shutil, sys
root, folders = sys.argv[1], int(sys.argv[2])
def field(text, width):
    return text.encode()[:width].ljust(width, b"\0")
for f in range(folders):
    folder = os.path.join(root, f"Album {f:02}")
    os.makedirs(folder)
    for t in range(10):
        kind = "v" if t % 2 else "c"
        name = os.path.join(folder, f"{t + 1:02} {kind}.mp3")
        shutil.copyfile(os.path.join(root, kind + ".mp3"), name)
        # ID3v1.1: title, artist, album, year, comment, zero, track, genre
        tag = (b"TAG" + field(f"Song {t + 1}", 30) + field("Bench", 30) + field(f"Album {f:02}", 30)
               + b"2000" + field("", 28) + bytes([0, t + 1, 255]))
        open(name, "ab").write(tag)
PY
  rm "$dir/tone.wav" "$dir/c.mp3" "$dir/v.mp3"
}

# best LABEL COMMAND...: best wall time of $runs runs and the peak memory of a command; the
# throughput counts $size bytes (or $bytes).
best() {
  local label=$1; shift
  python3 - "$label" "${runs:-5}" "${size:-$bytes}" "$@" <<'PY'
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
        print(f"{label:40} failed ({status})"); sys.exit(0)
    best = secs if best is None else min(best, secs)
    peak = max(peak, int(open(report).read().split()[-1]))
os.unlink(report)
print(f"{label:40} {best:7.3f} s {size / 1e6 / best:8.1f} MB/s  peak {peak / 1024:6.1f} MB")
PY
}

# make_large_album DIR PICTURES: what a large album is made of, in DIR: 255 tagged 10-second
# 128 kbps tracks ("NNN - Song NNN.mp3"), a lyrics file for each ("NNN - Song NNN.txt") and 40
# pictures, four copies each of the first ten JPEGs in PICTURES.
make_large_album() {
  local dir=$1 pictures=$2 i j
  mkdir -p "$dir"
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=10" -ac 2 -ar 44100 "$dir/tone.wav"
  lame --quiet -b 128 --cbr "$dir/tone.wav" "$dir/tone.mp3"
  for i in $(seq -w 1 255); do
    cp "$dir/tone.mp3" "$dir/$i - Song $i.mp3"
    printf 'Song %s\r\nline one of the words\r\nline two of the words\r\n' "$i" > "$dir/$i - Song $i.txt"
  done
  for j in 1 2 3 4; do
    for i in $(seq 1 10); do cp "$pictures/p$i.jpg" "$dir/picture$j-$i.jpg"; done
  done
  rm "$dir/tone.wav" "$dir/tone.mp3"
}
