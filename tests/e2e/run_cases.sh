#!/usr/bin/env bash
# Runs the end-to-end cases of kve2e.exe, each in a fresh Wine server so
# that drive letters do not leak from one case to the next.
#   run_cases.sh [case ...]              all cases when none are named
#   run_cases.sh --monkey SECONDS [SEED]  random user actions for that long
#   run_cases.sh --check-slow-drive      whether the slow drive holds only its caller
# Expects the Windows build to be there (scripts/test builds it). Runs on
# an Xvfb display of its own, in the world where Wine's 32-bit programs run
# (see kv_enter_wine_world). Prints PASS/FAIL lines and a last line
# "E2E <passed> <failed>".
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/common.sh"
source "$KV_ROOT/scripts/lib/slowdrive.sh"
kv_pick_wine
# Cases named slow_* (and all cases) need the slow drive.
needs_slow_drive=no
if [ "$#" -eq 0 ] || [ "${1:-}" = "--check-slow-drive" ]; then needs_slow_drive=yes; fi
for arg in "$@"; do if kv_slowdrive_case "$arg"; then needs_slow_drive=yes; fi; done
[ "$needs_slow_drive" = no ] || [ -n "${KV_WINE_WORLD:-}" ] || kv_slowdrive_deps
kv_enter_wine_world "$@"
kv_prefix_prepare
trap 'kv_wineserver -k 2>/dev/null || true; kv_slowdrive_unmount; kv_xvfb_stop' EXIT
[ "$needs_slow_drive" = no ] || kv_slowdrive_mount
kv_xvfb_start
KV_CASE_TIMEOUT="${KV_CASE_TIMEOUT:-120}"
driver="$KV_RUN_BUILD/tests/e2e/kve2e.exe"
results="$KV_BUILD/e2e-results"
shots="$KV_BUILD/e2e-shots"
# A monkey run keeps what the cases before it left.
[ "${1:-}" = "--monkey" ] || rm -rf "$results" "$shots"
mkdir -p "$results" "$shots"

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# The installer case's packages: this build as its version and as the next
# one, with the manual saying which (the programs are the same).
source "$KV_ROOT/scripts/lib/msi.sh"
if command -v wixl >/dev/null && command -v msibuild >/dev/null; then
    msi_dir="$KV_BUILD/e2e-msi"
    rm -rf "$msi_dir"
    mkdir -p "$msi_dir"
    KV_MSI_VERSION=$(kv_version)
    KV_MSI_NEWER_VERSION="${KV_MSI_VERSION%.*}.$(( ${KV_MSI_VERSION##*.} + 1 ))"
    kv_build_msi "$KV_MSI_VERSION" "$msi_dir/korvane-$KV_MSI_VERSION.msi" \
        "$KV_RUN_BUILD/src" "$KV_RUN_BUILD/src/manual.html"
    sed "s/@PROJECT_VERSION@/$KV_MSI_NEWER_VERSION/g" "$KV_ROOT/src/korvane/res/manual.html" >"$msi_dir/manual.html"
    kv_build_msi "$KV_MSI_NEWER_VERSION" "$msi_dir/korvane-$KV_MSI_NEWER_VERSION.msi" \
        "$KV_RUN_BUILD/src" "$msi_dir/manual.html"
    KV_MSI=$(winpath "$msi_dir/korvane-$KV_MSI_VERSION.msi")
    KV_MSI_NEWER=$(winpath "$msi_dir/korvane-$KV_MSI_NEWER_VERSION.msi")
    export KV_MSI KV_MSI_VERSION KV_MSI_NEWER KV_MSI_NEWER_VERSION
else
    kv_log "no wixl/msibuild (msitools): the installer case will fail"
fi

fresh_server() {
    kv_wineserver -k 2>/dev/null || true
    kv_wineserver -w 2>/dev/null || true
}

# Drive labels live in the registry, which the prefix keeps: a case that
# failed half way must not leave its labels to the next. The server is down,
# so its registry files can be edited.
forget_labels() {
    local reg
    for reg in "$KV_PREFIX/user.reg" "$KV_PREFIX/system.reg"; do
        [ -f "$reg" ] || continue
        awk '/^\[Software\\\\(Classes\\\\Applications\\\\Explorer\.exe\\\\Drives|Korvane\\\\Labels|Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\DriveIcons)/ { skip = 1; next }
             /^\[/ { skip = 0 } !skip' "$reg" >"$reg.new" && mv "$reg.new" "$reg"
    done
}

# A drive that appears while a case runs (a disk plugged in late, a VPN's
# letter connected late): the case writes C:\kvtest\attach-X.txt naming a
# folder of C:\kvtest, and from then on file calls through X: lead there.
# Wine reads the prefix's dosdevices links at each call, so a link made now
# is seen at once (its device table, which drive lists read, is not).
attached=()
attach_requested_drives() {
    local request link
    for request in "$KV_PREFIX"/drive_c/kvtest/attach-?.txt; do
        [ -f "$request" ] || continue
        link="$KV_PREFIX/dosdevices/$(tr 'A-Z' 'a-z' <<<"${request: -5:1}"):"
        ln -sfn "$KV_PREFIX/drive_c/kvtest/$(tr -d '\r\n' <"$request")" "$link"
        attached+=("$link")
        rm -f "$request"
    done
}

# Runs the driver with the given arguments (and the boot count) on a clean
# machine: a fresh server, an empty C:\kvtest, the stand-ins and the program
# in place. The result file is the signal (the desktop may linger after the
# driver ends); prints its first line. A driver that answers REBOOT goes on
# in a new server, which drops every drive letter as a reboot does; the
# prefix and C:\kvtest stay.
run_driver() { # name timeout result-file driver-args...
    local name=$1 timeout=$2 result=$3 log="$results/$1.log" runner verdict boot=0
    shift 3
    fresh_server
    forget_labels
    rm -rf "$KV_PREFIX/drive_c/kvtest"
    mkdir -p "$KV_PREFIX/drive_c/kvtest"
    if kv_slowdrive_case "$name"; then kv_slowdrive_link; else kv_slowdrive_unlink; fi
    kv_install_standins
    kv_install_program
    : >"$log"
    while :; do
        rm -f "$result"
        timeout -k 5 "$timeout" "$KV_WINE" explorer /desktop=kvtest,1024x768 \
            "$driver" "$@" "$boot" >>"$log" 2>&1 &
        runner=$!
        for _ in $(seq 1 $((timeout * 5))); do
            [ -s "$result" ] && break
            kill -0 "$runner" 2>/dev/null || break
            attach_requested_drives
            sleep 0.2
        done
        fresh_server
        wait "$runner" 2>/dev/null || true
        verdict=$({ tr -d '\r' <"$result"; } 2>/dev/null | head -n 1 || true)
        [ "$verdict" = REBOOT ] && [ "$boot" -lt 5 ] || break
        boot=$((boot + 1))
    done
    rm -f "${attached[@]}"
    attached=()
    [ -n "$verdict" ] || verdict="FAIL: no result (timed out or crashed, see build/e2e-results/$name.log)"
    echo "$verdict"
}

keep_screenshot() {
    if [ -f "$shots/$1.bmp" ] && command -v convert >/dev/null; then
        convert "$shots/$1.bmp" "$shots/$1.png" 2>/dev/null && rm -f "$shots/$1.bmp"
    fi
}

if [ "${1:-}" = "--monkey" ]; then
    seconds=${2:?--monkey SECONDS [SEED]}
    seed=${3:-$(( $(date +%s) % 1000000 ))}
    echo "monkey seed $seed, $seconds s"
    trail="$results/monkey.trail"
    verdict=$(run_driver monkey $((seconds + 240)) "$results/monkey.txt" \
        --monkey "$seconds" "$seed" "$(winpath "$results/monkey.txt")" "$(winpath "$trail")" "$(winpath "$shots")")
    if [ "${verdict%%:*}" = "PASS" ]; then
        read -r actions secs < <(sed -E 's/^PASS: ([0-9]+) actions in ([0-9]+) s.*/\1 \2/' <<<"$verdict")
        echo "PASS monkey: $actions actions in $secs s ($(awk -v a="$actions" -v s="$secs" 'BEGIN { printf "%.1f", s ? a * 60 / s : 0 }') actions a minute), seed $seed${verdict#*seed "$seed"}"
        echo "E2E 1 0"
    else
        echo "FAIL monkey: ${verdict#FAIL: }"
        echo "  replay: scripts/soak $(( (seconds + 59) / 60 )) $seed; trail: build/e2e-results/monkey.trail"
        tail -n 5 "$trail" 2>/dev/null | sed 's/^/  | /' || true
        keep_screenshot monkey
        echo "E2E 0 1"
    fi
    exit 0
fi

if [ "${1:-}" = "--check-slow-drive" ]; then
    verdict=$(run_driver slow_drive_check 300 "$results/slow_drive_check.txt" \
        --check-slow-drive "$(winpath "$results/slow_drive_check.txt")")
    tr -d '\r' <"$results/slow_drive_check.txt" 2>/dev/null || echo "$verdict"
    exit 0
fi

if [ "$#" -gt 0 ]; then
    cases=("$@")
else
    fresh_server
    mapfile -t cases < <(kv_wine "$driver" --list 2>/dev/null | tr -d '\r')
fi

passed=0
failed=0
for name in "${cases[@]}"; do
    [ -n "$name" ] || continue
    result="$results/$name.txt"
    started=$SECONDS
    verdict=$(run_driver "$name" "$KV_CASE_TIMEOUT" "$result" "$name" "$(winpath "$result")" "$(winpath "$shots")")
    if [ "$verdict" = "PASS" ]; then
        passed=$((passed + 1))
        echo "PASS $name ($((SECONDS - started)) s)"
    else
        failed=$((failed + 1))
        echo "FAIL $name ($((SECONDS - started)) s): ${verdict#FAIL: }"
        keep_screenshot "$name"
    fi
done
echo "E2E $passed $failed"
