#!/usr/bin/env bash
# make demo's last lines name only files that exist, here and where the kernel runs no
# 32-bit code (a 32-bit loader it refuses); each demo shows one table:
#   demo_test.sh SOURCE_DIR
set -u
top=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 64 /dev/zero >"$work/refused" && chmod +x "$work/refused"
failed=0
for loader in "" "$work/refused"; do
    out=$(cd "$top" && QX_WINE32=$loader QX_DEMO_REFRESHES=1 scripts/demo 2>&1)
    status=$?
    named=$(sed -n '/^Done\./,$p' <<<"$out" | grep -oE 'build/[^ ]*\.(dll|log)')
    for file in $named; do
        [ -f "$top/$file" ] || { echo "FAILED: the demo names $file, which does not exist"; failed=1; }
    done
    if [ $status -ne 0 ] || ! grep -q 'build/win32/bin/QuintavoExtract.dll' <<<"$named"; then
        echo "FAILED: the demo (32-bit loader ${loader:-as installed}) ended with status $status and named: $named"
        tail -n 5 <<<"$out"
        failed=1
    fi
done
[ $failed -eq 0 ] && echo "demo: its last lines name files that exist"
exit $failed
