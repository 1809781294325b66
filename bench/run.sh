#!/usr/bin/env bash
# Times Velmora's corrected write against `cat` and `ffmpeg -c copy` on the same large AC-3
# stream, alternating the three over several rounds, and prints medians, ratios and memory.
#
#   bench/run.sh                      uses build/release (as `make bench` builds it)
#   BUILD_DIR=build/x ROUNDS=7 bench/run.sh
#   SIZE_MB=600 bench/run.sh          size of the large stream
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build/release}"
ROUNDS="${ROUNDS:-5}"
SIZE_MB="${SIZE_MB:-600}"
WORK="$ROOT/bench/work"
VELMORA="$BUILD_DIR/src/velmora"

# 48 kHz AC-3 at 448 kbit/s: 1792-byte frames, 31.25 frames per second.
FRAME_LENGTH=1792
START_DELAY=-100
END_DELAY=64
FFMPEG_SKIP=0.096  # the 3 frames that the start delay cuts

if [[ ! -x "$VELMORA" ]]; then
    cmake --build "$BUILD_DIR" --target velmora -j2 >/dev/null
fi
for tool in ffmpeg bc /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (apt-get install ffmpeg bc time)" >&2; exit 1; }
done
mkdir -p "$WORK"

# One minute of encoded tone, made once; the large streams repeat its whole frames.
SEED="$WORK/seed.ac3"
if [[ ! -s "$SEED" ]]; then
    ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=60" -ac 2 \
        -c:a ac3 -b:a 448k -f ac3 "$SEED"
fi
SEED_BYTES=$(stat -c %s "$SEED")
if (( SEED_BYTES % FRAME_LENGTH != 0 )); then
    echo "seed stream is not made of $FRAME_LENGTH-byte frames" >&2
    exit 1
fi

# A stream of at least the given size in MB (10^6 bytes), made of copies of the seed.
make_stream() {
    local megabytes=$1 file=$2
    local copies=$(( (megabytes * 1000000 + SEED_BYTES - 1) / SEED_BYTES ))
    local wanted=$(( copies * SEED_BYTES ))
    if [[ -f "$file" && $(stat -c %s "$file") -eq $wanted ]]; then
        return
    fi
    for ((i = 0; i < copies; i++)); do cat "$SEED"; done >"$file"
}

# Seconds taken by a command line, to the millisecond.
time_of() {
    local start end
    start=$(date +%s%N)
    "$@"
    end=$(date +%s%N)
    echo "scale=3; ($end - $start) / 1000000000" | bc
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The real batch command line, exactly as a script would run it.
velmora_write() {
    "$VELMORA" /Source "$1" /Target "$2" /Startdelay "$START_DELAY" /Enddelay "$END_DELAY" /Hidden \
        >"$WORK/velmora.out"
}
cat_copy() { cat "$1" >"$2"; }
ffmpeg_copy() { ffmpeg -v error -y -ss "$FFMPEG_SKIP" -i "$1" -c copy "$2"; }

# Peak resident memory of one corrected write, in KiB, as the kernel counts it.
peak_rss() {
    /usr/bin/time -f %M -o "$WORK/rss.txt" "$VELMORA" /Source "$1" /Target "$WORK/rss_target.ac3" \
        /Startdelay "$START_DELAY" /Enddelay "$END_DELAY" /Hidden >/dev/null
    cat "$WORK/rss.txt"
    rm -f "$WORK/rss_target.ac3" "$WORK/rss_target.txt" "$WORK/rss.txt"
}

run_size() {
    local megabytes=$1
    local src="$WORK/source_${megabytes}mb.ac3"
    make_stream "$megabytes" "$src"
    local bytes
    bytes=$(stat -c %s "$src")
    # Warm the page cache so that every command reads the source from memory.
    cat "$src" >/dev/null

    local velmora_times=() cat_times=() ffmpeg_times=()
    # Each command starts with no earlier output waiting to be written back, so none of them
    # pays for another's dirty pages.
    for ((round = 1; round <= ROUNDS; round++)); do
        rm -f "$WORK"/dst.* && sync
        velmora_times+=("$(time_of velmora_write "$src" "$WORK/dst.velmora.ac3")")
        rm -f "$WORK"/dst.* && sync
        cat_times+=("$(time_of cat_copy "$src" "$WORK/dst.cat.ac3")")
        rm -f "$WORK"/dst.* && sync
        ffmpeg_times+=("$(time_of ffmpeg_copy "$src" "$WORK/dst.ffmpeg.ac3")")
    done
    rm -f "$WORK"/dst.*

    local v c f
    v=$(printf '%s\n' "${velmora_times[@]}" | median)
    c=$(printf '%s\n' "${cat_times[@]}" | median)
    f=$(printf '%s\n' "${ffmpeg_times[@]}" | median)
    local rss
    rss=$(peak_rss "$src")

    echo "source: $bytes bytes ($megabytes MB), $ROUNDS rounds, medians in seconds"
    echo "  velmora ($START_DELAY/$END_DELAY): $v   [${velmora_times[*]}]"
    echo "  cat:                    $c   [${cat_times[*]}]"
    echo "  ffmpeg -c copy:         $f   [${ffmpeg_times[*]}]"
    echo "  velmora / cat:    $(echo "scale=2; $v / $c" | bc)   (target <= 1.3)"
    echo "  velmora / ffmpeg: $(echo "scale=2; $v / $f" | bc)   (target <= 0.5)"
    echo "  velmora peak RSS: $(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }') MiB ($rss KiB)   (target <= 16 MiB)"
}

run_size 6
run_size "$SIZE_MB"
