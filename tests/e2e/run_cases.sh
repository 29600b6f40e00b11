#!/usr/bin/env bash
# Runs the end-to-end cases of kve2e.exe, each in a fresh Wine server so
# that drive letters do not leak from one case to the next.
#   run_cases.sh [case ...]     (all cases when none are named)
# Expects the Windows build to be there (scripts/test builds it). Runs on
# an Xvfb display of its own. Prints PASS/FAIL lines and a last line
# "E2E <passed> <failed>".
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/common.sh"
kv_pick_wine
KV_RUN_BUILD="${KV_E2E_BUILD:-$KV_RUN_BUILD}"
kv_prefix_prepare
trap 'kv_wineserver -k 2>/dev/null || true; kv_xvfb_stop' EXIT
kv_xvfb_start
KV_CASE_TIMEOUT="${KV_CASE_TIMEOUT:-60}"
driver="$KV_RUN_BUILD/tests/e2e/kve2e.exe"
results="$KV_BUILD/e2e-results"
shots="$KV_BUILD/e2e-shots"
rm -rf "$results" "$shots"
mkdir -p "$results" "$shots"

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

fresh_server() {
    kv_wineserver -k 2>/dev/null || true
    kv_wineserver -w 2>/dev/null || true
}

if [ "$#" -gt 0 ]; then
    cases=("$@")
else
    fresh_server
    mapfile -t cases < <(kv_wine "$driver" --list 2>/dev/null | tr -d '\r')
fi

# Runs one case in a fresh server and prints its verdict line. A case that
# answers REBOOT goes on in a new server, which drops every drive letter as
# a reboot does; the prefix and C:\kvtest stay.
run_case() {
    local name=$1 result="$results/$1.txt" log="$results/$1.log" runner verdict boot=0
    fresh_server
    rm -rf "$KV_PREFIX/drive_c/kvtest"
    mkdir -p "$KV_PREFIX/drive_c/kvtest"
    kv_install_standins
    kv_install_program
    : >"$log"
    while :; do
        rm -f "$result"
        timeout -k 5 "$KV_CASE_TIMEOUT" "$KV_WINE" explorer /desktop=kvtest,1024x768 \
            "$driver" "$name" "$(winpath "$result")" "$(winpath "$shots")" "$boot" >>"$log" 2>&1 &
        runner=$!
        # The desktop may linger after the driver ends: the result file is the signal.
        for _ in $(seq 1 $((KV_CASE_TIMEOUT * 5))); do
            [ -s "$result" ] && break
            kill -0 "$runner" 2>/dev/null || break
            sleep 0.2
        done
        fresh_server
        wait "$runner" 2>/dev/null || true
        verdict=$({ tr -d '\r' <"$result"; } 2>/dev/null | head -n 1 || true)
        [ "$verdict" = REBOOT ] && [ "$boot" -lt 5 ] || break
        boot=$((boot + 1))
    done
    [ -n "$verdict" ] || verdict="no result (timed out or crashed, see ${log#"$KV_ROOT"/})"
    echo "$verdict"
}

passed=0
failed=0
for name in "${cases[@]}"; do
    [ -n "$name" ] || continue
    verdict=$(run_case "$name" | tail -n 1)
    # Wine now and then drops a real click or key; a case gets one more run,
    # and the first verdict stays in the output.
    if [ "$verdict" != "PASS" ]; then
        echo "RETRY $name: ${verdict#FAIL: }"
        verdict=$(run_case "$name" | tail -n 1)
    fi
    if [ "$verdict" = "PASS" ]; then
        passed=$((passed + 1))
        echo "PASS $name"
    else
        failed=$((failed + 1))
        echo "FAIL $name: ${verdict#FAIL: }"
        if [ -f "$shots/$name.bmp" ] && command -v convert >/dev/null; then
            convert "$shots/$name.bmp" "$shots/$name.png" 2>/dev/null && rm -f "$shots/$name.bmp"
        fi
    fi
done
echo "E2E $passed $failed"
