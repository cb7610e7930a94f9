#!/usr/bin/env bash
# scripts/bootstrap against a fake apt that fails the ways a mirror in the middle of
# a sync does: a package list that will not load ("File has unexpected size"), and
# then an install that does not resolve until that list's suite is held back and
# one dependency is installed first. Nothing here touches the real system.
#   bootstrap_test.sh SOURCE_DIR
set -u
bootstrap=$1/scripts/bootstrap
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fake=$work/bin
mkdir -p "$fake"

# --- the fake system: dpkg, apt-get, apt-config and id on PATH --------------------
# State in $STATE: installed (one package a line), arches, calls (one apt-get call a
# line), update_failures (how many updates fail yet, or "always"), install_mode
# (mirror: as a mirror in sync, where i386 packages resolve only once the lists are
# whole or the suite whose list failed is held back; never: nothing installs), preference-paths (the
# preferences files installs were given) and preferences-first (the first one's copy).
cat >"$fake/dpkg-query" <<'EOF'
#!/usr/bin/env bash
pkg=${!#}
grep -qxF -- "$pkg" "$STATE/installed" && { echo -n 'install ok installed'; exit 0; }
exit 1
EOF
cat >"$fake/dpkg" <<'EOF'
#!/usr/bin/env bash
case "$1" in
    --print-foreign-architectures) cat "$STATE/arches" ;;
    --add-architecture) echo "$2" >>"$STATE/arches" ;;
esac
EOF
cat >"$fake/id" <<'EOF'
#!/usr/bin/env bash
echo "${FAKE_UID:-0}"
EOF
cat >"$fake/apt-config" <<'EOF'
#!/usr/bin/env bash
echo "$2='$STATE/system-preferences'"
EOF
cat >"$fake/sleep" <<'EOF'
#!/usr/bin/env bash
echo "sleep $*" >>"$STATE/calls"
EOF
cat >"$fake/apt-get" <<'EOF'
#!/usr/bin/env bash
prefs= packages=() verb=
while [ $# -gt 0 ]; do
    case "$1" in
        -o) [[ "$2" == Dir::Etc::Preferences=* ]] && prefs=${2#*=}; shift ;;
        -*) ;;
        *) if [ -z "$verb" ]; then verb=$1; else packages+=("$1"); fi ;;
    esac
    shift
done
echo "$verb${prefs:+ (preferences)} ${packages[*]}" >>"$STATE/calls"

if [ "$verb" = update ]; then
    left=$(cat "$STATE/update_failures")
    rm -f "$STATE/lists_whole"
    [ "$left" = 0 ] && { touch "$STATE/lists_whole"; exit 0; }
    [ "$left" = always ] || echo $((left - 1)) >"$STATE/update_failures"
    cat >&2 <<'MSG'
E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]
   Hashes of expected file:
    - Filesize:376004 [weak]
E: Some index files failed to download. They have been ignored, or old ones used instead.
MSG
    exit 100
fi

held=0
if [ -n "$prefs" ]; then
    [ -e "$STATE/preferences-first" ] || cp "$prefs" "$STATE/preferences-first"
    echo "$prefs" >>"$STATE/preference-paths"
    grep -q 'Pin: release n=bookworm-security' "$prefs" && grep -q 'Pin-Priority: -1' "$prefs" && held=1
fi
wants() { printf '%s\n' "${packages[@]}" | grep -qxF -- "$1"; }
broken() {
    echo "The following packages have unmet dependencies:"
    echo "$1"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100
}
mode=$(cat "$STATE/install_mode")
if [ "$mode" = never ]; then
    broken ' libwine:i386 : Depends: libgstreamer-plugins-base1.0-0:i386 (>= 1.0.0) but it is not installable'
fi
if [ ! -e "$STATE/lists_whole" ]; then
    if [ $held -eq 0 ] && printf '%s\n' "${packages[@]}" | grep -q ':i386$'; then
        broken ' libcurl4:i386 : Depends: libssl3:i386 (>= 3.0.0) but it is not going to be installed'
    fi
    if wants wine32:i386 && ! grep -qxF libgstreamer-plugins-base1.0-0:i386 "$STATE/installed"; then
        broken ' libwine:i386 : Depends: libgstreamer-plugins-base1.0-0:i386 (>= 1.0.0) but it is not installable'
    fi
fi
printf '%s\n' "${packages[@]}" >>"$STATE/installed"
EOF
chmod +x "$fake"/*

# --- the cases --------------------------------------------------------------------
passed=0 failed=0
check() {  # check NAME CONDITION...: the condition is a command
    local name=$1; shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $name"
        echo "  bootstrap said:"; sed 's/^/    /' "$STATE/out"
        echo "  apt-get calls:"; sed 's/^/    /' "$STATE/calls"
    fi
}
said() { grep -q -F -- "$1" "$STATE/out"; }
not() { ! "$@"; }
calls() { [ "$(grep -v '^sleep' "$STATE/calls")" = "$1" ]; }

# fresh_state INSTALLED_PACKAGES ARCHES UPDATE_FAILURES INSTALL_MODE
fresh_state() {
    export STATE=$work/state-$((passed + failed))-$RANDOM
    mkdir -p "$STATE"
    printf '%s\n' $1 >"$STATE/installed"
    printf '%s\n' $2 >"$STATE/arches"
    echo "$3" >"$STATE/update_failures"
    echo "$4" >"$STATE/install_mode"
    : >"$STATE/calls"
    : >"$STATE/preference-paths"
    printf 'Package: nodejs\nPin: origin example.org\nPin-Priority: 600\n' >"$STATE/system-preferences"
}
run_bootstrap() {
    PATH=$fake:$PATH TMPDIR=$work QX_APT_TRIES=3 QX_APT_WAIT=1 "$bootstrap" >"$STATE/out" 2>&1
    status=$?
}
all=$(sed -n '/^packages=(/,/)/p' "$bootstrap" | tr -d '()' | sed 's/packages=//')
everything=$(echo $all)
without_wine=$(echo $all | tr ' ' '\n' | grep -v -x -e wine -e wine64 -e wine32:i386 | tr '\n' ' ')

# Everything there: no apt at all.
fresh_state "$everything" i386 0 mirror
run_bootstrap
check "all installed: succeeds" [ $status -eq 0 ]
check "all installed: apt not called" [ ! -s "$STATE/calls" ]

# Not root, something missing: says what and stops before apt.
fresh_state "$without_wine" i386 0 mirror
FAKE_UID=1000 run_bootstrap
check "not root: fails" [ $status -ne 0 ]
check "not root: names what is missing" said "missing wine wine64 wine32:i386"
check "not root: apt not called" [ ! -s "$STATE/calls" ]

# A list that fails once while the mirror syncs: update again, then a plain install.
fresh_state "$without_wine" i386 1 mirror
run_bootstrap
check "sync once: succeeds" [ $status -eq 0 ]
check "sync once: update retried after a wait, then one install" \
    calls "update $(printf '\nupdate \ninstall wine wine64 wine32:i386')"
check "sync once: waited" grep -qx 'sleep 1' "$STATE/calls"
check "sync once: no warning of missing lists" not said "warning"
check "sync once: installed" grep -qxF wine32:i386 "$STATE/installed"

# The two failures seen on a fresh machine: the security suite's i386 list never
# loads, and wine32:i386 resolves only with that suite held back and
# libgstreamer-plugins-base1.0-0:i386 installed before it.
fresh_state "$without_wine" "" always mirror
run_bootstrap
check "mirror in sync: succeeds" [ $status -eq 0 ]
check "mirror in sync: adds the i386 architecture" grep -qx i386 "$STATE/arches"
check "mirror in sync: warns naming the list" \
    said "http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
check "mirror in sync: says the suite is held back" said "bookworm-security held back"
check "mirror in sync: says it installs in stages" said "in stages: first libgstreamer-plugins-base1.0-0:i386"
check "mirror in sync: updates three times, then plain, held back, two stages" \
    calls "$(printf '%s\n' 'update ' 'update ' 'update ' 'install wine wine64 wine32:i386' \
        'install (preferences) wine wine64 wine32:i386' \
        'install (preferences) libgstreamer-plugins-base1.0-0:i386' \
        'install (preferences) wine wine64 wine32:i386')"
check "mirror in sync: installed" grep -qxF wine32:i386 "$STATE/installed"
check "mirror in sync: the held-back install keeps the system's preferences" \
    grep -q 'Pin: origin example.org' "$STATE/preferences-first"
check "mirror in sync: holds back only the failed suite" \
    [ "$(grep -c '^Pin: release' "$STATE/preferences-first")" = 1 ]
check "mirror in sync: preferences of its own, outside /etc/apt" \
    bash -c '! grep -q "^/etc/apt" "$STATE/preference-paths"'
check "mirror in sync: no preferences file left behind" \
    bash -c 'while read -r p; do [ ! -e "$p" ] || exit 1; done <"$STATE/preference-paths"'
check "mirror in sync: the system's preferences untouched" \
    [ "$(cat "$STATE/system-preferences")" = "$(printf 'Package: nodejs\nPin: origin example.org\nPin-Priority: 600')" ]

# Nothing resolves: apt's error and the command to run again.
fresh_state "$without_wine" i386 always never
run_bootstrap
check "no way: fails" [ $status -ne 0 ]
check "no way: shows apt's error" said "E: Unable to correct problems, you have held broken packages."
check "no way: says what to run again" said "run again: scripts/bootstrap"
check "no way: leaves no preferences behind" \
    bash -c 'while read -r p; do [ ! -e "$p" ] || exit 1; done <"$STATE/preference-paths"'

echo "bootstrap: $passed checks passed, $failed failed"
[ $failed -eq 0 ]
