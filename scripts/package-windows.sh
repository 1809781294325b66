#!/usr/bin/env bash
# Packs the Windows programs of the windows preset into dist/velmora-<version>-windows-x64.zip:
# velmora.exe, velmora-cli.exe, the README and the licence, if the project has one.
set -euo pipefail
cd "$(dirname "$0")/.."

version="$(sed -n 's/^project(Velmora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "package-windows.sh: no version in CMakeLists.txt" >&2; exit 1; }
build=build/windows/src
for program in velmora.exe velmora-cli.exe; do
    [ -f "$build/$program" ] || { echo "package-windows.sh: $build/$program is missing" >&2; exit 1; }
done

stage="$(mktemp -d "${TMPDIR:-/tmp}/velmora-package.XXXXXX")"
trap 'rm -rf "$stage"' EXIT
folder="$stage/velmora-$version"
mkdir -p "$folder" dist
cp "$build/velmora.exe" "$build/velmora-cli.exe" "$folder/"
# Windows editors expect CRLF line ends in a text file.
sed 's/$/\r/' README.md >"$folder/README.txt"
for licence in LICENSE LICENSE.txt LICENSE.md COPYING; do
    [ -f "$licence" ] && sed 's/$/\r/' "$licence" >"$folder/LICENSE.txt"
done
zip="$PWD/dist/velmora-$version-windows-x64.zip"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip "velmora-$version")
echo "$zip written"
