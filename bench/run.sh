#!/usr/bin/env bash
# Times Velmora's corrected write against `cat` and `ffmpeg -c copy` on the same large
# streams (48 kHz AC-3 of constant frames, 44.1 kHz VBR MP3 whose frames all differ, 48 kHz
# 5.1 E-AC-3 at 640 kbit/s, 48 kHz AAC in ADTS whose frames all differ too, 48 kHz 24-bit
# 5.1 PCM in WAV),
# alternating the three over several rounds, and prints medians, ratios and memory.
#
#   bench/run.sh                      uses build/release (as `make bench` builds it)
#   BUILD_DIR=build/x ROUNDS=7 bench/run.sh
#   SIZE_MB=600 MP3_SIZE_MB=300 EAC3_SIZE_MB=600 AAC_SIZE_MB=300 WAV_SIZE_MB=600 bench/run.sh
#                                     sizes of the large streams
# The 600 MB AC-3 row runs once more with ten damaged frames and /Repair.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build/release}"
ROUNDS="${ROUNDS:-5}"
SIZE_MB="${SIZE_MB:-600}"
MP3_SIZE_MB="${MP3_SIZE_MB:-300}"
EAC3_SIZE_MB="${EAC3_SIZE_MB:-600}"
AAC_SIZE_MB="${AAC_SIZE_MB:-300}"
WAV_SIZE_MB="${WAV_SIZE_MB:-600}"
WORK="$ROOT/bench/work"
VELMORA="$BUILD_DIR/src/velmora"

START_DELAY=-100
END_DELAY=64

if [[ ! -x "$VELMORA" ]]; then
    cmake --build "$BUILD_DIR" --target velmora -j2 >/dev/null
fi
for tool in ffmpeg bc /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (apt-get install ffmpeg bc time)" >&2; exit 1; }
done
mkdir -p "$WORK"

# One minute of encoded audio per kind, made once; the large streams repeat it.
# AC-3: a 48 kHz tone at 448 kbit/s, 1792-byte frames, 31.25 frames per second.
# MP3: 44.1 kHz pink noise at VBR quality 2, so that frame lengths vary; no tags and no info
# frame, so that copies of it join into one valid stream.
# AAC: 48 kHz stereo pink noise at 192 kbit/s in ADTS, about 500 bytes a frame, every frame
# its own length.
make_seed() {
    local kind=$1 file=$2
    [[ -s "$file" ]] && return
    case "$kind" in
        ac3) ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=60" \
                 -ac 2 -c:a ac3 -b:a 448k -f ac3 "$file" ;;
        mp3) ffmpeg -v error -y -f lavfi -i "anoisesrc=d=60:c=pink:r=44100:a=0.2" -ac 2 \
                 -c:a libmp3lame -q:a 2 -write_xing 0 -id3v2_version 0 -f mp3 "$file" ;;
        eac3) ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=60" \
                 -ac 6 -c:a eac3 -b:a 640k -f eac3 "$file" ;;
        wav) : ;;  # made whole by make_stream
        aac) ffmpeg -v error -y -f lavfi -i "anoisesrc=d=60:c=pink:r=48000:a=0.2" -ac 2 \
                 -c:a aac -b:a 192k -f adts "$file" ;;
    esac
}

# A stream of at least the given size in MB (10^6 bytes), made of copies of the seed. A WAV
# file has one header for all its samples, so it is encoded whole instead: 24-bit 5.1 at
# 48 kHz is 864000 bytes a second.
make_stream() {
    local seed=$1 megabytes=$2 file=$3
    if [[ $file == *.wav ]]; then
        local seconds=$(( (megabytes * 1000000 + 863999) / 864000 ))
        [[ -s "$file" ]] || ffmpeg -v error -y -f lavfi \
            -i "sine=frequency=440:sample_rate=48000:duration=$seconds" -ac 6 -c:a pcm_s24le "$file"
        return
    fi
    local seed_bytes
    seed_bytes=$(stat -c %s "$seed")
    local copies=$(( (megabytes * 1000000 + seed_bytes - 1) / seed_bytes ))
    local wanted=$(( copies * seed_bytes ))
    if [[ -f "$file" && $(stat -c %s "$file") -eq $wanted ]]; then
        return
    fi
    for ((i = 0; i < copies; i++)); do cat "$seed"; done >"$file"
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
# ffmpeg leaves out about as much as Velmora cuts at the start.
ffmpeg_copy() { ffmpeg -v error -y -ss 0.1 -i "$1" -c copy "$2"; }

# Peak resident memory of one corrected write, in KiB, as the kernel counts it.
peak_rss() {
    local ext=${1##*.}
    /usr/bin/time -f %M -o "$WORK/rss.txt" "$VELMORA" /Source "$1" /Target "$WORK/rss_target.$ext" \
        /Startdelay "$START_DELAY" /Enddelay "$END_DELAY" /Hidden >/dev/null
    cat "$WORK/rss.txt"
    rm -f "$WORK/rss_target.$ext" "$WORK/rss_target.txt" "$WORK/rss.txt"
}

run_size() {
    local kind=$1 megabytes=$2
    local seed="$WORK/seed.$kind"
    local src="$WORK/source_${megabytes}mb.$kind"
    [[ $kind == wav ]] || make_seed "$kind" "$seed"
    make_stream "$seed" "$megabytes" "$src"
    local bytes
    bytes=$(stat -c %s "$src")
    # Warm the page cache so that every command reads the source from memory.
    cat "$src" >/dev/null

    local velmora_times=() cat_times=() ffmpeg_times=()
    # Each command starts with no earlier output waiting to be written back, so none of them
    # pays for another's dirty pages.
    for ((round = 1; round <= ROUNDS; round++)); do
        rm -f "$WORK"/dst.* && sync
        velmora_times+=("$(time_of velmora_write "$src" "$WORK/dst.velmora.$kind")")
        rm -f "$WORK"/dst.* && sync
        cat_times+=("$(time_of cat_copy "$src" "$WORK/dst.cat.$kind")")
        rm -f "$WORK"/dst.* && sync
        ffmpeg_times+=("$(time_of ffmpeg_copy "$src" "$WORK/dst.ffmpeg.$kind")")
    done
    rm -f "$WORK"/dst.*

    local v c f
    v=$(printf '%s\n' "${velmora_times[@]}" | median)
    c=$(printf '%s\n' "${cat_times[@]}" | median)
    f=$(printf '%s\n' "${ffmpeg_times[@]}" | median)
    local rss
    rss=$(peak_rss "$src")

    echo "$kind source: $bytes bytes ($megabytes MB), $ROUNDS rounds, medians in seconds"
    echo "  velmora ($START_DELAY/$END_DELAY): $v   [${velmora_times[*]}]"
    echo "  cat:                    $c   [${cat_times[*]}]"
    echo "  ffmpeg -c copy:         $f   [${ffmpeg_times[*]}]"
    local target=1.3
    [[ $kind == wav ]] && target=1.1  # no header to read per frame
    echo "  velmora / cat:    $(echo "scale=2; $v / $c" | bc)   (target <= $target)"
    echo "  velmora / ffmpeg: $(echo "scale=2; $v / $f" | bc)   (target <= 0.5)"
    echo "  velmora peak RSS: $(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }') MiB ($rss KiB)   (target <= 16 MiB)"
}

# The large AC-3 stream with ten damaged frames spread over it (24 payload bytes flipped, so
# that their CRCs fail), corrected with /Repair; the report's repair lines are shown.
run_repair() {
    local megabytes=$1
    local src="$WORK/source_${megabytes}mb.ac3"
    local damaged="$WORK/damaged_${megabytes}mb.ac3"
    if [[ ! -f "$damaged" ]]; then
        cp "$src" "$damaged"
        local frames=$(( $(stat -c %s "$src") / 1792 ))
        for ((k = 1; k <= 10; k++)); do
            head -c 24 /dev/urandom | dd of="$damaged" bs=1 seek=$(( (k * frames / 11) * 1792 + 100 )) \
                conv=notrunc status=none
        done
    fi
    cat "$damaged" >/dev/null
    repair_write() {
        "$VELMORA" /Source "$1" /Target "$2" /Startdelay "$START_DELAY" /Enddelay "$END_DELAY" \
            /Repair /Hidden >"$WORK/velmora.out"
    }
    local velmora_times=() cat_times=()
    for ((round = 1; round <= ROUNDS; round++)); do
        rm -f "$WORK"/dst.* && sync
        velmora_times+=("$(time_of repair_write "$damaged" "$WORK/dst.velmora.ac3")")
        rm -f "$WORK"/dst.* && sync
        cat_times+=("$(time_of cat_copy "$damaged" "$WORK/dst.cat.ac3")")
    done
    rm -f "$WORK"/dst.*
    local v c
    v=$(printf '%s\n' "${velmora_times[@]}" | median)
    c=$(printf '%s\n' "${cat_times[@]}" | median)
    echo "ac3 with 10 damaged frames, /Repair ($megabytes MB), $ROUNDS rounds, medians in seconds"
    echo "  velmora ($START_DELAY/$END_DELAY): $v   [${velmora_times[*]}]"
    echo "  cat:                    $c   [${cat_times[*]}]"
    echo "  velmora / cat:    $(echo "scale=2; $v / $c" | bc)   (target <= 1.3, aim 1.15)"
    grep -E "CRC error|replaced by silence" "$WORK/velmora.out" | sed 's/^/  | /'
}

run_size ac3 6
run_size ac3 "$SIZE_MB"
run_repair "$SIZE_MB"
run_size mp3 "$MP3_SIZE_MB"
run_size eac3 "$EAC3_SIZE_MB"
run_size aac "$AAC_SIZE_MB"
run_size wav "$WAV_SIZE_MB"
