#!/usr/bin/env bash
# Builds the module a second time, from a copy of the sources in another folder and
# into another build folder, and checks that the two DLLs are the same bytes.
#   check_reproducible.sh SOURCE_DIR PRESET BUILT_DLL
set -eu
src=$1 preset=$2 built=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
(cd "$src" && tar cf - --exclude=./build --exclude=./.git .) | (cd "$work/src" && tar xf -)
cmake --preset "$preset" -S "$work/src" -B "$work/build" >/dev/null
cmake --build "$work/build" --target QuintavoExtract -j 2 >/dev/null
again=$work/build/bin/QuintavoExtract.dll
if cmp -s "$built" "$again"; then
    echo "reproducible: $(sha256sum < "$built" | cut -c1-16)... $(stat -c %s "$built") bytes, twice"
else
    echo "FAIL: a second build of the same sources gives other bytes"
    cmp "$built" "$again" | head -5
    exit 1
fi
