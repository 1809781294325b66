#!/usr/bin/env bash
# The Debian package from a built tree: made by CPack as `make package` makes it, its files
# in place, dependencies found from the binaries, no lintian errors, and the program from an
# unpacked copy doing a batch write.
#
#   check_package.sh <build folder> <version>
set -euo pipefail

build="$1"
version="$2"
work="$build/tests/tmp/package"
rm -rf "$work"
mkdir -p "$work/tmp"
trap 'rm -rf "$work"' EXIT
# lintian leaves its databases behind in the temporary folder; they go with the rest.
export TMPDIR="$work/tmp"

fail() {
    echo "package: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$work/velmora_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $deb"

listing="$(dpkg-deb -c "$deb")"
for file in ./usr/bin/velmora ./usr/lib/velmora/velmora-qt.so \
    ./usr/share/applications/velmora.desktop \
    ./usr/share/icons/hicolor/scalable/apps/velmora.svg \
    ./usr/share/mime/packages/velmora.xml ./usr/share/man/man1/velmora.1.gz \
    ./usr/share/doc/velmora/copyright ./usr/share/doc/velmora/changelog.gz; do
    grep -q " $file\$" <<<"$listing" || fail "$file is not in the package"
done
# Everything belongs to root, as it will once installed.
if grep -v ' root/root ' <<<"$listing"; then
    fail "files not owned by root/root"
fi

depends="$(dpkg-deb -f "$deb" Depends)"
for library in libc6 libstdc++6 libqt6widgets6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

lintian_out="$(lintian --no-tag-display-limit "$deb" 2>/dev/null || true)"
echo "lintian:"
echo "${lintian_out:-(nothing)}"
if grep -q '^E: ' <<<"$lintian_out"; then
    fail "lintian reports errors"
fi

root="$work/root"
dpkg-deb -x "$deb" "$root"
program="$root/usr/bin/velmora"
[ "$("$program" --version)" = "velmora $version" ] || fail "--version of the unpacked program"
zcat "$root/usr/share/man/man1/velmora.1.gz" | grep -q '^\.SH NAME' || fail "man page"

ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=2:sample_rate=48000 \
    -ac 2 -c:a ac3 -b:a 448k "$work/in.ac3"
env -u DISPLAY -u WAYLAND_DISPLAY "$program" /Source "$work/in.ac3" /Target "$work/out.ac3" \
    /Startdelay -100 /Hidden >"$work/report.txt" ||
    fail "the unpacked program's batch write failed"
# 100 ms at 31.25 frames per second: three 1792-byte frames cut at the start.
[ $(($(stat -c %s "$work/in.ac3") - $(stat -c %s "$work/out.ac3"))) -eq $((3 * 1792)) ] ||
    fail "the target is not the source less three frames"
cmp -s <(tail -c +$((3 * 1792 + 1)) "$work/in.ac3") "$work/out.ac3" ||
    fail "the target's frames differ from the source's"
grep -q "3 frames (96ms) have been cut at start." "$work/out.txt" || fail "no report"
echo "package: $(basename "$deb") is complete"
