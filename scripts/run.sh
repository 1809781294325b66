#!/usr/bin/env bash
# `make run`: Velmora's main job on a sample stream the first run makes with ffmpeg.
# Without a display (or without the window in this build) it corrects the sample in a batch
# run and prints the report; with one, it opens the window with the sample chosen.
set -euo pipefail
cd "$(dirname "$0")/.."

program="$PWD/build/release/src/velmora"
sample_dir="$PWD/build/sample"
sample="$sample_dir/sample DELAY -40ms.ac3"
target="$sample_dir/sample_fixed.ac3"

if [ ! -x "$program" ]; then
    echo "run.sh: $program is missing; run 'make release' first" >&2
    exit 1
fi

if [ ! -s "$sample" ]; then
    command -v ffmpeg >/dev/null || { echo "run.sh: ffmpeg is needed to make the sample" >&2; exit 1; }
    mkdir -p "$sample_dir"
    echo "Making the sample: 10 s of a 440 Hz tone, 48 kHz, 448 kbit/s 5.1 AC-3"
    # Written under a temporary name first, so an interrupted run leaves no half sample.
    ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:duration=10:sample_rate=48000" \
        -ac 6 -c:a ac3 -b:a 448k -f ac3 "$sample.part"
    mv "$sample.part" "$sample"
fi

# A real display, not Qt's offscreen drawing: a window nobody can see would wait forever.
has_display() { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }
# The window is a module beside the program, present in builds made with Qt.
has_window() { [ -f "$(dirname "$program")/velmora-qt.so" ]; }

if has_display && has_window; then
    echo "Opening the window with the sample chosen: $sample"
    exec "$program" "$sample"
fi

echo "Correcting the sample: start delay -100 ms (3 frames cut)"
echo "\$ velmora /Source \"$sample\" /Target \"$target\" /Startdelay -100 /Hidden"
echo
status=0
"$program" /Source "$sample" /Target "$target" /Startdelay -100 /Hidden || status=$?
echo
if [ "$status" -eq 0 ]; then
    echo "Target: $target"
    echo "Report: ${target%.*}.txt"
else
    echo "velmora ended with exit status $status" >&2
fi
exit "$status"
