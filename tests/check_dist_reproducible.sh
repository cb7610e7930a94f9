#!/usr/bin/env bash
# Packs the release zip twice, a second apart, and checks that the two are the same
# bytes and hold what they should: check_dist_reproducible.sh SOURCE_DIR BIN_DIR
set -eu
src=$1 bin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$src/scripts/dist-pack" "$bin" "$src/README.md" "$work/a.zip"
sleep 1.1
touch "$bin/QuintavoExtract.dll"
"$src/scripts/dist-pack" "$bin" "$src/README.md" "$work/b.zip"
cmp "$work/a.zip" "$work/b.zip" || { echo "FAIL: two packings differ"; exit 1; }
listing=$(unzip -Z1 "$work/a.zip" | tr '\n' ' ')
expected="QuintavoExtract/QuintavoExtract.dll QuintavoExtract/qxhost.exe QuintavoExtract/README.md QuintavoExtract/SHA256SUMS "
[ "$listing" = "$expected" ] || { echo "FAIL: the zip holds '$listing'"; exit 1; }
(cd "$work" && unzip -q a.zip && cd QuintavoExtract && sha256sum -c --quiet SHA256SUMS) || { echo "FAIL: SHA256SUMS"; exit 1; }
echo "dist zip reproducible: $(sha256sum < "$work/a.zip" | cut -c1-16)... $(stat -c %s "$work/a.zip") bytes, twice"
