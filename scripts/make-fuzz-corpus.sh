#!/usr/bin/env bash
# Makes the seed inputs of the fuzz targets: the heads of real streams encoded by ffmpeg,
# hand-written header bytes, delay texts, command lines and settings files.
#
#   scripts/make-fuzz-corpus.sh [output-folder]    (default: tests/fuzz/corpus)
#
# Every seed is rewritten from scratch; files of other names (kept crashers) are left alone.
# Stream seeds are only the first few KiB of each stream: enough frames for the writer to
# copy, cut and pad, small enough for the regression run to stay fast.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$root/tests/fuzz/corpus}"
head_bytes=4096

command -v ffmpeg >/dev/null || { echo "make-fuzz-corpus: ffmpeg is needed" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mkdir -p "$out"/{fuzz_headers,fuzz_writer,fuzz_command_line,fuzz_settings}

# bytes <file> <printf-format>: a seed written byte by byte.
bytes() { printf "$2" >"$1"; }

# ---- Real streams: half a second of a tone, cut to their first frames ----------------------
# encode <name> <sample rate> <channels> <codec options...>
encode() {
    local name="$1" rate="$2" channels="$3"
    shift 3
    ffmpeg -hide_banner -loglevel error -y \
        -f lavfi -i "sine=frequency=440:sample_rate=${rate}:duration=0.5" \
        -ac "$channels" -ar "$rate" "$@" "$work/$name"
    head -c "$head_bytes" "$work/$name" >"$out/fuzz_headers/stream-$name"
}

encode ac3-48k-448.ac3 48000 2 -c:a ac3 -b:a 448k -f ac3
encode ac3-48k-192.ac3 48000 2 -c:a ac3 -b:a 192k -f ac3
encode ac3-44k-192.ac3 44100 2 -c:a ac3 -b:a 192k -f ac3
encode ac3-32k-96.ac3 32000 1 -c:a ac3 -b:a 96k -f ac3
encode mp2-48k-192.mp2 48000 2 -c:a mp2 -b:a 192k -f mp2
encode mp2-22k-64.mp2 22050 1 -c:a mp2 -b:a 64k -f mp2
encode mp3-44k-128.mp3 44100 2 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 -f mp3
encode mp3-24k-48.mp3 24000 1 -c:a libmp3lame -b:a 48k -write_xing 0 -id3v2_version 0 -f mp3
encode mp3-8k-16.mp3 8000 1 -c:a libmp3lame -b:a 16k -write_xing 0 -id3v2_version 0 -f mp3
encode dts-48k-1536.dts 48000 2 -c:a dca -strict -2 -b:a 1536k -f dts
encode dts-44k-1411.dts 44100 2 -c:a dca -strict -2 -b:a 1411k -f dts
encode eac3-48k-640.eac3 48000 6 -c:a eac3 -b:a 640k -f eac3
encode eac3-32k-96.eac3 32000 2 -c:a eac3 -b:a 96k -f eac3
encode aac-48k.aac 48000 2 -c:a aac -b:a 128k -f adts
encode wav-48k-16.wav 48000 2 -c:a pcm_s16le -metadata title=Tone -f wav
encode wav-8k-u8.wav 8000 1 -c:a pcm_u8 -f wav
# DTS-HD: each core frame followed by an extension substream of 81 bytes (a 17-byte header
# with its CRC for one asset without coding components, then 64 bytes of asset data).
exss='\x64\x58\x20\x25\x00\x02\x00\x0a\x00\x03\xf0\x18\x00\x00\x00\xc1\x1d'
core="$work/dts-48k-1536.dts"
frame=$(( ( ($(od -An -tu1 -j5 -N1 "$core") & 3) << 12 | $(od -An -tu1 -j6 -N1 "$core") << 4 | $(od -An -tu1 -j7 -N1 "$core") >> 4 ) + 1 ))
for ((at = 0; at + frame <= $(stat -c %s "$core"); at += frame)); do
    dd if="$core" iflag=skip_bytes,count_bytes skip="$at" count="$frame" status=none
    printf "$exss"
    head -c 64 /dev/zero
done >"$work/dtshd-48k.dts"
head -c "$head_bytes" "$work/dtshd-48k.dts" >"$out/fuzz_headers/stream-dtshd-48k.dts"

# ---- Header bytes of the worked examples --------------------------------------------------
h="$out/fuzz_headers"
bytes "$h/ac3-sync-only" '\x0b\x77'
bytes "$h/ac3-byte-swapped" '\x77\x0b\x00\x00\x5e'
bytes "$h/ac3-48k-448-header" '\x0b\x77\x00\x00\x1e'
bytes "$h/ac3-44k-code31-header" '\x0b\x77\x00\x00\x5f'
bytes "$h/ac3-reserved-fscod" '\x0b\x77\x00\x00\xc0'
bytes "$h/ac3-code-without-row" '\x0b\x77\x00\x00\x26'
bytes "$h/dts-48k-1536-header" '\x7f\xfe\x80\x01\xfc\x3c\x7d\xc2\x77\x00'
bytes "$h/dts-14-bit-form" '\x1f\xff\xe8\x00\x07\xf0\x00\x00\x00\x00'
bytes "$h/dts-byte-swapped" '\xfe\x7f\x01\x80\x3c\xfc\xc2\x7d\x00\x77'
bytes "$h/dts-fsize-0" '\x7f\xfe\x80\x01\xfc\x00\x00\x02\x74\x00'
bytes "$h/dts-lossless" '\x7f\xfe\x80\x01\xfc\x3c\x7d\xc2\x77\xe0'
bytes "$h/mpeg1-layer2-48k" '\xff\xfd\xa4\x00\x00'
bytes "$h/mpeg1-layer3-44k" '\xff\xfb\x90\x64\x00'
bytes "$h/mpeg1-layer1-44k" '\xff\xff\x90\x00\x00'
bytes "$h/mpeg2-layer3-24k" '\xff\xf3\x64\xc0\x00'
bytes "$h/mpeg25-layer3-8k" '\xff\xe3\x48\x00\x00'
bytes "$h/mpeg-reserved-version" '\xff\xed\xa4\x00\x00'
bytes "$h/mpeg-reserved-sampling" '\xff\xfd\xac\x00\x00'
bytes "$h/mpeg-reserved-layer" '\xff\xf9\xa4\x00\x00'
bytes "$h/mpeg-reserved-emphasis" '\xff\xfd\xa4\x02\x00'
bytes "$h/mpeg-free-format" '\xff\xfd\x04\x00\x00'
bytes "$h/empty" ''

# ---- Writer: choice byte, start text, end text, stream ------------------------------------
# writer <seed name> <choice byte as \x..> <start text> <end text> <stream file> [bytes]
# The choice byte holds the type (bits 0-1: 0 AC-3, 1 MPEG audio, 2 DTS, 3 AAC; bit 6: WAV),
# the silence check box (bits 2-3) and the target naming (bits 4-5: 0 plain, 1 and 2 the
# source itself, 3 short).
writer() {
    local seed="$out/fuzz_writer/$1" choice="$2" start="$3" end="$4" stream="$5"
    local count="${6:-$head_bytes}"
    {
        printf "$choice"
        printf "\\x$(printf %02x ${#start})%s" "$start"
        printf "\\x$(printf %02x ${#end})%s" "$end"
        head -c "$count" "$stream"
    } >"$seed"
}

w="$work"
writer ac3-no-delay '\x00' '' '' "$w/ac3-48k-448.ac3"
writer ac3-cut-start-pad-end '\x00' '-100' '64' "$w/ac3-48k-448.ac3" 8192
writer ac3-silent-start '\x04' '200' '' "$w/ac3-48k-192.ac3"
writer ac3-grey-box '\x08' '96' '-32' "$w/ac3-48k-192.ac3"
writer ac3-44k-fraction '\x00' '12.6' '-40ms' "$w/ac3-44k-192.ac3"
# 44.1 kHz silence mixes two frame sizes; 2 s is long enough for the mix to show.
writer ac3-44k-silent-mix '\x04' '2000' '' "$w/ac3-44k-192.ac3"
writer ac3-32k-text '\x00' 'abc' '12.5' "$w/ac3-32k-96.ac3"
writer ac3-absurd-delay '\x00' '2000000000' '' "$w/ac3-48k-448.ac3"
writer ac3-beyond-32-bits '\x00' '99999999999' '-99999999999' "$w/ac3-48k-448.ac3"
writer ac3-target-is-source '\x10' '64' '' "$w/ac3-48k-448.ac3"
writer ac3-target-other-spelling '\x20' '' '' "$w/ac3-48k-448.ac3"
writer ac3-short-target-name '\x30' '-32' '32' "$w/ac3-48k-192.ac3"
writer ac3-cut-everything '\x00' '-100000' '-100000' "$w/ac3-48k-192.ac3"
writer ac3-shorter-than-a-frame '\x00' '64' '64' "$w/ac3-48k-448.ac3" 1000
writer mp2-delays '\x01' '-50' '50' "$w/mp2-48k-192.mp2"
writer mp3-padded-frames '\x01' '100' '' "$w/mp3-44k-128.mp3"
writer mp3-mpeg2 '\x01' '-24' '48' "$w/mp3-24k-48.mp3"
writer dts-delays '\x02' '-11' '11' "$w/dts-48k-1536.dts" 8192
writer dts-44k '\x02' '+21.5' '-0.4' "$w/dts-44k-1411.dts"
writer eac3-delays '\x04' '-64' '100' "$w/eac3-48k-640.eac3" 16384
writer eac3-32k '\x00' '96' '-32' "$w/eac3-32k-96.eac3"
writer dtshd-delays '\x02' '-21' '11' "$w/dtshd-48k.dts" 16384
writer aac-delays '\x03' '-50' '50' "$w/aac-48k.aac" 8192
writer wav-delays '\x40' '-10' '5' "$w/wav-48k-16.wav" 8192
writer wav-8-bit-odd '\x40' '3' '-1' "$w/wav-8k-u8.wav" 4001
# DTS with FSIZE 0: one-byte frames, the smallest the writer can meet.
printf '\x7f\xfe\x80\x01\xfc\x00\x00\x02\x74\x00' >"$w/dts-fsize-0"
head -c 246 /dev/zero >>"$w/dts-fsize-0"
writer dts-one-byte-frames '\x02' '-3' '2' "$w/dts-fsize-0"
# DTS lossless (RATE 31): the marker rate -3 makes the frame rate negative, so the plan's
# counts come out negative and mean no change at either end.
printf '\x7f\xfe\x80\x01\xfc\x00\x00\x02\x77\xe0' >"$w/dts-lossless"
head -c 118 /dev/zero >>"$w/dts-lossless"
writer dts-negative-rate '\x02' '911' '-11' "$w/dts-lossless"

# ---- Command lines: the raw Windows text, and NUL-separated argument vectors ---------------
c="$out/fuzz_command_line"
raw() { printf '%s' "$2" >"$c/raw-$1"; }
raw full '"C:\Program Files\Velmora\Velmora.exe" /Source "C:\My Movies\a b.ac3" /Target C:\out\fix.ac3 /Startdelay -120 /Enddelay 40 /Silence /Close'
raw mixed-case '"Velmora.exe" /source in.ac3 /TARGET out.ac3 /StartDelay 12.6'
raw delay-last '"Velmora.exe" /Source in.ac3 /Target out.ac3 /Startdelay 120'
raw two-blanks '"Velmora.exe" /Source  /Target out.ac3 /Startdelay  '
raw equals '"Velmora.exe" /Source=in.ac3 /Target=out.ac3 /Startdelay=-40ms /Enddelay=abc'
raw inside-words '"Velmora.exe" /Source c:/movies/hidden/a.ac3 /Target b.ac3 /Startdelay 1 /Closed'
raw hidden-only '"Velmora.exe" /Source a.ac3 /Target b.ac3 /Startdelay 0 /Hidden'
raw bare-quoted '"Velmora.exe" "C:\My Movies\film DELAY -120ms.ac3"'
raw bare-slash '"Velmora.exe" movies/film.ac3'
raw unquoted-program 'C:\Velmora\Velmora.exe /Source a.ac3 /Target b.ac3 /Startdelay 5'
raw unclosed-program-quote '"C:\Velmora\Velmora.exe /Source a.ac3'
raw program-only '"C:\Velmora\Velmora.exe"'
raw open-value-quote '"Velmora.exe" /Source "unterminated /Target x /Startdelay 99999999999'
argv() {
    local name="$1"
    shift
    local first=1
    for argument in "$@"; do
        [ $first -eq 1 ] || printf '\0'
        printf '%s' "$argument"
        first=0
    done >"$c/argv-$name"
}
argv full /Source "/home/me/My Movies/a b.ac3" /Target /tmp/fix.ac3 /Startdelay -120 /Enddelay 40 /Silence /Close
argv equals /source=/mnt/in.ac3 /TARGET=/mnt/out.ac3 /StartDelay=12.5
argv path-like-switch /mnt/hidden/a.ac3 /Source //close /Target /./hidden /Startdelay 3
argv bare-name "/home/me/film DELAY 80ms.ac3"
argv value-at-end /Source a.ac3 /Target b.ac3 /Startdelay
argv repeated /Source a /Source b /Target c /Startdelay 1 /Startdelay 2 /Closed /hiddenx

# ---- Settings files -----------------------------------------------------------------------
s="$out/fuzz_settings"
printf '[Settings]\r\nAdd Silence=0\r\n' >"$s/unchecked"
printf '[Settings]\nAdd Silence=1\n' >"$s/checked"
printf '[settings]\nadd silence = 2 \n' >"$s/grey-other-case"
printf '; kept comment\n[Other]\nKey=Value\n\n[Settings]\nAdd Silence=\n[Last]\nx=1\n' >"$s/empty-value"
printf '[Settings]\nAdd Silence=abc\nAdd Silence=0\n' >"$s/duplicate-key"
printf '\xef\xbb\xbf[Settings]\nAdd Silence=-0012junk\n' >"$s/bom-and-junk"
printf 'Add Silence=0\n' >"$s/no-section"
printf '[Settings\nAdd Silence=0\n' >"$s/broken-section"

echo "make-fuzz-corpus: seeds written to $out"
