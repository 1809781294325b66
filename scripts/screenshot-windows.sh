#!/usr/bin/env bash
# Takes docs/window-windows.png: velmora.exe under Wine and Xvfb right after a real write of an
# ffmpeg-made AC-3 sample, left open with its report by a batch run without /Close. Wine's
# virtual desktop draws the title bar that a bare X server has no window manager for.
# Usage: scripts/screenshot-windows.sh   (builds the windows preset when needed)
set -euo pipefail

take_shot() {
    set -euo pipefail
    cd "$VELMORA_SHOT_DIR"
    "$VELMORA_WINE" explorer /desktop=velmora,1024x768 "$VELMORA_SHOT_BIN" \
        /Source "$VELMORA_SHOT_SOURCE" /Target "$VELMORA_SHOT_TARGET" \
        /Startdelay -120 /Enddelay 64 /Silence &
    local pid=$!
    local report="$VELMORA_SHOT_REPORT"
    for _ in $(seq 600); do
        [ -s "$report" ] && break
        sleep 0.1
    done
    [ -s "$report" ] || { echo "screenshot-windows.sh: the write did not finish" >&2; exit 1; }
    sleep 2  # the last repaint after the write
    ffmpeg -hide_banner -loglevel error -y -f x11grab -draw_mouse 0 -video_size 1024x768 \
        -i "$DISPLAY" -frames:v 1 "$VELMORA_SHOT_SCREEN"
    "$VELMORA_WINE" taskkill /im velmora.exe >/dev/null 2>&1 || true
    # The virtual desktop outlives the program: it is ended with it.
    sleep 1
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
if [ "${1:-}" = "--inside" ]; then
    take_shot
    exit 0
fi

script="$(realpath "$0")"
cd "$(dirname "$0")/.."
[ -f build/windows/src/velmora.exe ] || make windows-build

work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-screenshot.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Videos"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "sine=frequency=440:duration=60" \
    -ac 6 -ar 48000 -c:a ac3 -b:a 448k "$work/Videos/Evening News AC3 DELAY -120ms.ac3"

export VELMORA_SHOT_DIR="$work" VELMORA_SHOT_SCREEN="$work/screen.png"
export VELMORA_SHOT_BIN="$PWD/build/windows/src/velmora.exe"
export VELMORA_WINE="$PWD/scripts/wine-run.sh"
# Names relative to the sample's folder, so the picture shows no temporary path.
export VELMORA_SHOT_SOURCE='Videos\Evening News AC3 DELAY -120ms.ac3'
export VELMORA_SHOT_TARGET='Videos\Evening News.ac3'
# The report is looked for by the shell, with the host's separator.
export VELMORA_SHOT_REPORT="$work/Videos/Evening News.txt"
xvfb-run -a -s "-screen 0 1024x768x24" "$script" --inside

# The window stands at the virtual desktop's top left corner, 780 x 600 pixels of client area
# in Wine's frame: 787 x 627 in all.
ffmpeg -hide_banner -loglevel error -y -i "$work/screen.png" -vf "crop=787:627:0:0" \
    docs/window-windows.png
echo "docs/window-windows.png written"
