#!/usr/bin/env bash
# qxhost's commands and errors under Wine, against the built plug-in:
#   qxhost_test.sh BIN_DIR REGISTRY_VIEW(/reg:32 or /reg:64)
# Checks what each command says and its exit code, not the exact layout.
set -u
bin=$(cd "$1" && pwd) view=$2
here=$(cd "$(dirname "$0")" && pwd)
run() { "$here/../scripts/wine-run" "$bin/qxhost.exe" "$@" 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=/usr/lib/wine/wine
reg() { WINEDEBUG=-all "$wine" reg "$@" $view >/dev/null 2>&1; }

# Skip as the other Windows tests do where Wine cannot run this build.
"$here/../scripts/wine-run" "$bin/qxhost.exe" >/dev/null 2>&1
[ $? -eq 77 ] && { echo "SKIPPED: Wine cannot run $bin/qxhost.exe here"; exit 77; }

passed=0 failed=0
expect() {  # expect NAME EXPECTED_STATUS PATTERN OUTPUT STATUS
    if [ "$5" -eq "$2" ] && grep -q -E -- "$3" <<<"$4"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $1: status $5 (expected $2), output lacks /$3/:"
        sed 's/^/    /' <<<"$4"
    fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dll=$bin/QuintavoExtract.dll
key='HKLM\SOFTWARE\Orvendal\Quintavo\Monitoring'
printf 'head\r\nhead\r\nhead\r\n1 2 3 52.5xC #1200MH #1.35Volt #980_rpm\r\n1 2 3 48.0xC #1250MH #1.37Volt #990_rpm\r\n' > "$work/hw.log"
seven='1 2 3 52.5xC #1200MH #1.35Volt #980_rpm\r\n' nine='1 2 3 52.5xC #1200MH #1.35Volt #980_rpm 8 9\r\n'
reg delete "$key" /f
reg add "$key" /v LogFilePath /t REG_SZ /d "Z:$(tr / '\\' <<<"$work/hw.log")" /f
reg add "$key" /v Sources /t REG_SZ /d "+GPU temperature,+GPU clock,+GPU voltage,+Fan speed,+Case" /f

out=$(run "$dll" info); status=$?
expect "info: texts" 0 'Quintavo Extractor Plugin.*0\.2 Beta' "$out" $status
expect "info: the file loaded" 0 '^File: .*QuintavoExtract\.dll$' "$out" $status
expect "info: its version resource" 0 '^  file version 0\.2\.0\.0, "Quintavo Extractor Plugin"$' "$out" $status
expect "info: functions" 0 '"Actual\|Max".*"Source\|"' "$out" $status
expect "info: dllstartup" 0 'dllstartup returned 41' "$out" $status
expect "info: sources" 0 '5 : Case' "$out" $status
expect "info: log file" 0 'opens; [0-9]+ bytes' "$out" $status
expect "info: lines of seven fields" 0 '^  lines of 7 fields: ' "$out" $status

out=$(run "$dll" get Actual 2); status=$?
expect "get Actual 2" 0 '^1250$' "$out" $status
out=$(run "$dll" get Actual 1); status=$?
expect "get Actual 1" 0 '^48\.0$' "$out" $status
out=$(run "$dll" get Max 1); status=$?
expect "get Max 1" 0 '^52\.5$' "$out" $status
out=$(run "$dll" get Actual 9); status=$?
expect "get Actual 9" 0 '^Invalid parameter$' "$out" $status
out=$(run "$dll" get Sum 1); status=$?
expect "get Sum 1" 2 'not one of the plug-in.s value functions' "$out" $status

# wine-run: a prefix relative to the working folder; the one reason to skip, and another failure.
out=$(cd "$WINEPREFIX/.." && WINEPREFIX=$(basename "$WINEPREFIX") run "$dll" get Actual 2); status=$?
expect "wine-run: a relative WINEPREFIX" 0 '^1250$' "$out" $status
head -c 64 /dev/zero > "$work/refused" && chmod +x "$work/refused"
out=$(QX_WINE32=$work/refused "$here/../scripts/wine-run" --can-run-32-bit 2>&1); status=$?
expect "wine-run: no 32-bit code" 77 'this machine cannot run 32-bit code' "$out" $status
out=$(QX_WINE32=/bin/false "$here/../scripts/wine-run" --can-run-32-bit 2>&1); status=$?
expect "wine-run: a 32-bit loader that fails" 1 '^wine-run: /bin/false does not start \(status 1\)$' "$out" $status

out=$(run "$dll" watch --every 1 --count 2); status=$?
expect "watch: two refreshes" 0 'refresh 2 of 2' "$out" $status
expect "watch: names as column heads" 0 'GPU temperature +GPU clock +GPU voltage +Fan speed' "$out" $status
expect "watch: Actual row" 0 '^Actual +48\.0 +1250 +1\.37 +990' "$out" $status
expect "watch: Max row" 0 '^Max +52\.5 +1250 +1\.37 +990' "$out" $status
# A minute of 1 s: a log that stands still gets the note under the table, a growing one not.
out=$(QXHOST_MINUTE_MS=1000 run "$dll" watch --every 1 --count 3); status=$?
expect "watch: a log that does not grow" 0 '^the log has not grown for [1-9][0-9]* min: is the monitor running\?$' "$out" $status
(for _ in $(seq 50); do printf "$seven" >> "$work/hw.log"; sleep 0.2; done) & appender=$!
out=$(QXHOST_MINUTE_MS=1000 run "$dll" watch --every 1 --count 3); status=$?
kill $appender; wait $appender 2>/dev/null
grep -q 'has not grown' <<<"$out" && status=1
expect "watch: a log that grows" 0 'refresh 3 of 3' "$out" $status

lines() { printf "$1%.0s" $(seq "$2"); }  # lines LINE COUNT
info_on() {  # info_on LOG: info with LOG as the monitor's log
    reg add "$key" /v LogFilePath /t REG_SZ /d "Z:$(tr / '\\' <<<"$1")" /f
    run "$dll" info
}
# The unended last line does not count; each change of shape lies before the last 64 KiB.
{ printf 'h\r\nh\r\nh\r\n'; lines "$nine" 1600; printf '1 2 3'; } > "$work/nine.log"
out=$(info_on "$work/nine.log"); status=$?
expect "info: lines of nine fields" 0 '^  lines of 9 fields: the plug-in takes every seven fields as a record, whatever the lines, so its values shift$' "$out" $status
{ printf 'h\r\nh\r\nh\r\n'; lines "$nine" 100; lines "$seven" 1600; } > "$work/nine-seven.log"
out=$(info_on "$work/nine-seven.log"); status=$?
expect "info: nine fields, then seven" 0 '^  lines of 9 fields up to line 103; from line 104 \(byte offset 4509\) on, lines of 7 fields$' "$out" $status
expect "info: nine, then seven, not lined up" 0 'do not line up with the lines \(the last line begins at field 5 of a group\)' "$out" $status
{ printf 'h\r\nh\r\nh\r\n'; lines "$nine" 98; lines "$seven" 1600; } > "$work/lined-up.log"
out=$(info_on "$work/lined-up.log"); status=$?
expect "info: nine, then seven, lined up" 0 ' seven fields line up with the lines: Actual.s values are right' "$out" $status
{ printf 'h\r\nh\r\nh\r\n'; lines "$seven" 5; lines "$nine" 1600; } > "$work/seven-nine.log"
out=$(info_on "$work/seven-nine.log"); status=$?
expect "info: seven fields, then nine" 0 '^  lines of 7 fields up to line 8; from line 9 \(byte offset 214\) on, lines of 9 fields$' "$out" $status
expect "info: seven, then nine, not lined up" 0 'do not line up with the lines \(the last line begins at field 7 of a group\)' "$out" $status

reg add "$key" /v LogFilePath /t REG_SZ /d 'C:\no\such.log' /f
out=$(run "$dll" info); status=$?
expect "info: missing log" 0 'does not open.*Error opening the file' "$out" $status
reg delete "$key" /f
out=$(run "$dll" info); status=$?
expect "info: missing key" 0 'the key is missing' "$out" $status

out=$(run "$work/none.dll" info); status=$?
expect "missing DLL" 3 'no such file' "$out" $status
out=$(run "$bin/qxhost.exe" info); status=$?
expect "not a DLL" 3 'is not a Windows DLL' "$out" $status
# The plug-in with the machine field of its header changed to the other kind.
cp "$dll" "$work/other.dll"
pe=$(od -An -tu4 -j60 -N4 "$dll" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$dll" | tr -d ' ')
if [ "$machine" = 8664 ]; then other='\x4c\x01'; else other='\x64\x86'; fi
printf "$other" | dd of="$work/other.dll" bs=1 seek=$((pe + 4)) conv=notrunc 2>/dev/null
out=$(run "$work/other.dll" info); status=$?
expect "other machine" 3 'is not a (32|64)-bit DLL' "$out" $status
out=$(run 'C:\windows\system32\version.dll' info); status=$?
expect "not a plug-in" 3 'lacks the exports of the protocol: dllstartup' "$out" $status
out=$(run "$dll" frobnicate); status=$?
expect "unknown command" 2 'usage: qxhost' "$out" $status

echo "qxhost: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
