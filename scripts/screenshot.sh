#!/usr/bin/env bash
# Takes docs/window.png: the window under Xvfb right after a real write of an ffmpeg-made
# AC-3 sample, left open with its report by a batch run without /Close.
# Usage: scripts/screenshot.sh [path/to/velmora]   (default: the release build)
#        SCALE=2 SCREEN=1280x800 OUT=docs/window-scale2.png scripts/screenshot.sh
#        (the window at twice the scale on a small laptop screen)
set -euo pipefail

# Runs inside Xvfb: start the batch run, wait for its report, grab the screen.
take_shot() {
    set -euo pipefail
    # Names relative to the sample's folder, so the picture shows no temporary path.
    cd "$VELMORA_SHOT_DIR"
    "$VELMORA_SHOT_BIN" /Source "$VELMORA_SHOT_SOURCE" /Target "$VELMORA_SHOT_TARGET" \
        /Startdelay -120 /Enddelay 64 /Silence &
    local pid=$!
    local report="${VELMORA_SHOT_TARGET%.*}.txt"
    for _ in $(seq 200); do
        [ -s "$report" ] && break
        sleep 0.1
    done
    [ -s "$report" ] || { echo "screenshot.sh: the write did not finish" >&2; kill "$pid"; exit 1; }
    sleep 1  # the last repaint after the write
    ffmpeg -hide_banner -loglevel error -y -f x11grab -draw_mouse 0 \
        -video_size "$VELMORA_SHOT_SIZE" -i "$DISPLAY" -frames:v 1 "$VELMORA_SHOT_SCREEN"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}
if [ "${1:-}" = "--inside" ]; then
    take_shot
    exit 0
fi

script="$(realpath "$0")"
cd "$(dirname "$0")/.."
out="${OUT:-docs/window.png}"
export VELMORA_SHOT_SIZE="${SCREEN:-1024x768}" QT_SCALE_FACTOR="${SCALE:-1}"

bin="$(realpath -m "${1:-build/release/src/velmora}")"
if [ ! -x "$bin" ]; then
    make release
fi
for tool in xvfb-run ffmpeg; do
    command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is needed" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-screenshot.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Videos" "$work/runtime"
chmod 700 "$work/runtime"

# One minute of a 5.1 tone at 48 kHz and 448 kbit/s, named as rips often are: with the
# delay that needs correcting written into the name.
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "sine=frequency=440:duration=60" \
    -ac 6 -ar 48000 -c:a ac3 -b:a 448k "$work/Videos/Evening News AC3 DELAY -120ms.ac3"

export VELMORA_SHOT_DIR="$work" VELMORA_SHOT_BIN="$bin" VELMORA_SHOT_SCREEN="$work/screen.png"
export VELMORA_SHOT_SOURCE="Videos/Evening News AC3 DELAY -120ms.ac3"
export VELMORA_SHOT_TARGET="Videos/Evening News.ac3"
export XDG_RUNTIME_DIR="$work/runtime"

xvfb-run -a -s "-screen 0 ${VELMORA_SHOT_SIZE}x24" "$script" --inside

# There is no window manager, so the window is the one thing on a black screen: crop to it.
crop="$(ffmpeg -hide_banner -i "$work/screen.png" -vf "bbox=min_val=40" -f null - 2>&1 |
    grep -o 'crop=[0-9:]*' | tail -n 1)"
[ -n "$crop" ] || { echo "screenshot.sh: no window found on the screen" >&2; exit 1; }
ffmpeg -hide_banner -loglevel error -y -i "$work/screen.png" -vf "$crop" "$out"
echo "$out written ($crop)"
