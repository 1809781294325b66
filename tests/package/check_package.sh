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
    ./usr/share/applications/org.velmora.Velmora.desktop \
    ./usr/share/metainfo/org.velmora.Velmora.metainfo.xml \
    ./usr/share/bash-completion/completions/velmora \
    ./usr/share/zsh/vendor-completions/_velmora \
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

# Every tag shown, the informational ones too: no error, no warning, no hardening gap.
lintian_out="$(lintian --info --display-info --tag-display-limit 0 "$deb" 2>/dev/null || true)"
echo "lintian:"
echo "${lintian_out:-(nothing)}"
if grep -qE '^[EW]: |hardening' <<<"$lintian_out"; then
    fail "lintian reports errors, warnings or missing hardening"
fi

root="$work/root"
dpkg-deb -x "$deb" "$root"
program="$root/usr/bin/velmora"
[ "$("$program" --version)" = "velmora $version" ] || fail "--version of the unpacked program"
zcat "$root/usr/share/man/man1/velmora.1.gz" | grep -q '^\.SH NAME' || fail "man page"
zcat "$root/usr/share/man/man1/velmora.1.gz" | grep -q "^\.TH VELMORA 1 .* \"Velmora $version\"" ||
    fail "the man page does not name version $version"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.velmora.Velmora.metainfo.xml" ||
    fail "the AppStream metadata does not validate"

# Completion: what bash offers after a few beginnings, in a folder with a stream, a text file
# and a folder; zsh's script must at least parse.
mkdir -p "$work/complete/clips"
touch "$work/complete/film.AC3" "$work/complete/notes.txt"
completions="$(cd "$work/complete" && bash -c '
    source "$1"
    offer() { COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _velmora
              echo "$* ->" $(printf "%s\n" "${COMPREPLY[@]}" | sort); }
    offer velmora /St; offer velmora /Source ""; offer velmora /Source f /Target n
    offer velmora --v; offer velmora /Source f /Enddelay ""; offer velmora a.ac3 --o' _ \
    "$root/usr/share/bash-completion/completions/velmora")"
expected="velmora /St -> /Startdelay
velmora /Source  -> clips film.AC3
velmora /Source f /Target n -> notes.txt
velmora --v -> --version
velmora /Source f /Enddelay  ->
velmora a.ac3 --o -> --output-dir"
[ "$completions" = "$expected" ] || fail "bash completion offers: $completions"
zsh -n "$root/usr/share/zsh/vendor-completions/_velmora" || fail "the zsh completion"

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
