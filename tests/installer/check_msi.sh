#!/usr/bin/env bash
# Reads back what the MSI build adds after wixl, from a package built with
# stand-in programs: Wine applies no ACLs and has no separate per-machine
# folders, so these rules are checked in the package itself.
set -euo pipefail

KV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
KV_BUILD="$work"
source "$KV_ROOT/scripts/lib/common.sh"
source "$KV_ROOT/scripts/lib/msi.sh"

failures=0
check() { # description, then the command that must succeed
    local what=$1; shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
# Rows of a table without its three header lines.
rows() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r'; }

mkdir -p "$work/programs"
printf 'MZ korvane' >"$work/programs/korvane.exe"
printf 'MZ korstart' >"$work/programs/korstart.exe"
printf 'MZ korctl' >"$work/programs/korctl.exe"
printf '<html>manual</html>' >"$work/manual.html"
msi="$work/korvane.msi"
kv_build_msi 1.2.3 "$msi" "$work/programs" "$work/manual.html"

# The locks name the CreateFolder rows of the folders they protect, and every
# trustee by SID, since names and SDDL aliases of groups differ by language.
# kordat: the local Users group may modify it, so standard users save drives.
# The program folder: only SYSTEM and Administrators may change it, since
# the machine-wide Run value runs the companion in every session.
kordat_dir=$(rows Directory | awk -F'\t' '$3 == "kordat" { print $1 }')
program_dir=$(rows Directory | awk -F'\t' '$1 == "'"$kordat_dir"'" { print $2 }')
locks=$(rows MsiLockPermissionsEx)
lock_of() { awk -F'\t' -v dir="$1" '$2 == dir && $3 == "CreateFolder" { print $4 }' <<<"$locks"; }
check "every permission row lies on a CreateFolder row, unconditionally" \
    test "$(cut -f 3,5 <<<"$locks" | sort -u)" = "CreateFolder	"
for dir in "$kordat_dir" "$program_dir"; do
    check "$dir is created by a component" grep -q "^$dir	" <<<"$(rows CreateFolder)"
    check "$dir: SYSTEM and Administrators keep full control, and it holds for all inside" \
        grep -q '^D:PAI(A;OICI;FA;;;S-1-5-18)(A;OICI;FA;;;S-1-5-32-544)' <<<"$(lock_of "$dir")"
    check "$dir: every trustee is a SID" \
        test -z "$(grep -oE ';;;[^)]*\)' <<<"$(lock_of "$dir")" | grep -v '^;;;S-1-')"
done
check "Users (S-1-5-32-545) may modify kordat and what is made in it" \
    grep -qF '(A;OICI;0x1301bf;;;S-1-5-32-545)' <<<"$(lock_of "$kordat_dir")"
check "Users may only read and run the programs" \
    test "$(grep -oE '\([^)]*S-1-5-32-545\)' <<<"$(lock_of "$program_dir")")" = '(A;OICI;0x1200a9;;;S-1-5-32-545)'
check "no one else is named on the program folder" \
    test "$(grep -oE ';;;[^)]*\)' <<<"$(lock_of "$program_dir")" | sort | tr -d '\n')" = \
         ';;;S-1-5-18);;;S-1-5-32-544);;;S-1-5-32-545)'

summary=$(msiinfo suminfo "$msi")
check "Windows Installer 5.0, which applies MsiLockPermissionsEx" \
    grep -qE '^Version: 500 ' <<<"$summary"
check "a 32-bit package" grep -qx 'Template: Intel;1033' <<<"$summary"

# The Run value: quoted exactly when the folder holds a blank, as the
# program writes it; one of the two rows applies in every folder.
check "the quoted Run value applies to a folder with a blank" \
    grep -qx 'RunQuoted	.*	INSTALLDIR >< " "	.*' <<<"$(rows Component)"
check "the plain Run value to a folder without one" \
    grep -qx 'RunPlain	.*	NOT (INSTALLDIR >< " ")	.*' <<<"$(rows Component)"
check "both write the value Korvane of the machine's Run key" \
    test "$(rows Registry | awk -F'\t' '$2 == 2 && $4 == "Korvane" { print $3 }' | sort -u)" \
         = 'SOFTWARE\Microsoft\Windows\CurrentVersion\Run'

# Upgrades: same or older installed versions are replaced, newer ones refuse.
upgrade=$(rows Upgrade)
check "an installed 1.2.3 or older is replaced" \
    grep -qE $'^\\{[-0-9A-F]+\\}\t\t1\\.2\\.3\t\t513\t\tWIX_UPGRADE_DETECTED$' <<<"$upgrade"
check "an installed newer version stops the install with a message" \
    grep -q $'^NOT WIX_DOWNGRADE_DETECTED\tA newer version of Korvane is already installed' <<<"$(rows LaunchCondition)"

check "uninstall takes a companion copy out of the Startup folder" \
    grep -qx $'StartupCompanion\tCompanion\tkorstart.exe\tStartupFolder\t2' <<<"$(rows RemoveFile)"

[ "$failures" -eq 0 ]
