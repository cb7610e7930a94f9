#!/usr/bin/env bash
# Packs the release zip twice, two seconds apart (a zip keeps times to two seconds), and
# checks that the two are the same bytes and hold what they should, each program of its
# own kind in its folder:
#   check_dist_reproducible.sh SOURCE_DIR X86_BIN_DIR X64_BIN_DIR
set -eu
src=$1 x86=$2 x64=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$src/scripts/dist-pack" "$src" "$x86" "$x64" "$work/a.zip"
sleep 2.1
touch "$x86/QuintavoExtract.dll"
"$src/scripts/dist-pack" "$src" "$x86" "$x64" "$work/b.zip"
cmp "$work/a.zip" "$work/b.zip" || { echo "FAIL: two packings differ"; exit 1; }
listing=$(unzip -Z1 "$work/a.zip" | tr '\n' ' ')
expected=$(printf 'QuintavoExtract/%s ' x86/QuintavoExtract.dll x86/qxhost.exe x64/QuintavoExtract.dll x64/qxhost.exe \
           README.md LICENSE CHANGELOG.md SHA256SUMS)
[ "$listing" = "$expected" ] || { echo "FAIL: the zip holds '$listing'"; exit 1; }
(cd "$work" && unzip -q a.zip && cd QuintavoExtract && sha256sum -c --quiet SHA256SUMS) || { echo "FAIL: SHA256SUMS"; exit 1; }
# The machine field of each program's PE header: i386 in x86/, AMD64 in x64/.
for entry in x86/QuintavoExtract.dll:014c x86/qxhost.exe:014c x64/QuintavoExtract.dll:8664 x64/qxhost.exe:8664; do
    file=$work/QuintavoExtract/${entry%:*}
    [ "$(od -An -tx2 -j$(($(od -An -tu4 -j60 -N4 "$file") + 4)) -N2 "$file" | tr -d ' ')" = "${entry#*:}" ] ||
        { echo "FAIL: ${entry%:*} is not built for machine ${entry#*:}"; exit 1; }
done
echo "dist zip reproducible: $(sha256sum < "$work/a.zip" | cut -c1-16)... $(stat -c %s "$work/a.zip") bytes, twice"
