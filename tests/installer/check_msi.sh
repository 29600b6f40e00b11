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
# trustee by SID, since names of groups differ by language. Only SYSTEM and
# Administrators may change the program folder or kordat: the machine-wide
# Run value runs the companion in every session, and each user's saves live
# in their own profile.
kordat_dir=$(rows Directory | awk -F'\t' '$3 == "kordat" { print $1 }')
program_dir=$(rows Directory | awk -F'\t' '$1 == "'"$kordat_dir"'" { print $2 }')
locks=$(rows MsiLockPermissionsEx)
lock_of() { awk -F'\t' -v dir="$1" '$2 == dir && $3 == "CreateFolder" { print $4 }' <<<"$locks"; }
check "every permission row lies on a CreateFolder row, unconditionally" \
    test "$(cut -f 3,5 <<<"$locks" | sort -u)" = "CreateFolder	"
for dir in "$kordat_dir" "$program_dir"; do
    check "$dir is created by a component" grep -q "^$dir	" <<<"$(rows CreateFolder)"
    check "$dir: SYSTEM and Administrators keep full control, and it holds for all inside" \
        grep -q 'D:PAI(A;OICI;FA;;;S-1-5-18)(A;OICI;FA;;;S-1-5-32-544)' <<<"$(lock_of "$dir")"
    check "$dir: Users may only read and run, and no one else is named" \
        test "$(grep -oE '\([^)]*\)' <<<"$(lock_of "$dir")" | grep -vE ';;;S-1-5-(18|32-544)\)$')" = \
             '(A;OICI;0x1200a9;;;S-1-5-32-545)'
done
summary=$(msiinfo suminfo "$msi")
check "Windows Installer 5.0, which applies MsiLockPermissionsEx" \
    grep -qE '^Version: 500 ' <<<"$summary"
check "a 32-bit package" grep -qx 'Template: Intel;1033' <<<"$summary"

# The Run value: quoted exactly when the folder holds a blank, as the
# program writes it; one of the two rows applies in every folder under
# Program Files, none elsewhere.
in_program_files='INSTALLDIR ~<< ProgramFilesFolder AND NOT (INSTALLDIR >< "\..\")'
condition_of() { rows Component | awk -F'\t' -v c="$1" '$1 == c { print $5 }'; }
check "the quoted Run value applies to a folder with a blank" \
    test "$(condition_of RunQuoted)" = "$in_program_files AND (INSTALLDIR >< \" \")"
check "the plain Run value to a folder without one" \
    test "$(condition_of RunPlain)" = "$in_program_files AND NOT (INSTALLDIR >< \" \")"
check "both write the value Korvane of the machine's Run key" \
    test "$(rows Registry | awk -F'\t' '$2 == 2 && $4 == "Korvane" { print $3 }' | sort -u)" \
         = 'SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
# Conditions read INSTALLDIR in its final form only if it has one before
# costing, whichever Windows Installer does first.
for sequence in InstallUISequence InstallExecuteSequence; do
    check "$sequence: INSTALLDIR has its default before CostInitialize" \
        test "$(rows "$sequence" | awk -F'\t' '$1 == "DefaultInstallDir" && $2 == "NOT INSTALLDIR" && $3 < 800 && $3 > 50 { print "yes" }')" = yes
done
check "... which is Korvane in Program Files, and Add/Remove Programs names it" \
    test "$(rows CustomAction | cut -f 1-4 | sort)" = $'DefaultInstallDir\t51\tINSTALLDIR\t[ProgramFilesFolder]Korvane\\\nShowInstallLocation\t51\tARPINSTALLLOCATION\t[INSTALLDIR]'

# Upgrades: same or older installed versions are replaced, newer ones refuse.
upgrade=$(rows Upgrade)
check "an installed 1.2.3 or older is replaced" \
    grep -qE $'^\\{[-0-9A-F]+\\}\t\t1\\.2\\.3\t\t513\t\tWIX_UPGRADE_DETECTED$' <<<"$upgrade"
check "an installed newer version stops the install with a message" \
    grep -q $'^NOT WIX_DOWNGRADE_DETECTED\tA newer version of Korvane is already installed' <<<"$(rows LaunchCondition)"

check "uninstall takes a companion copy out of the Startup folder" \
    grep -qx $'StartupCompanion\tCompanion\tkorstart.exe\tStartupFolder\t2' <<<"$(rows RemoveFile)"

# What Windows Installer's validation (ICE38, ICE43, ICE57, ICE64) and an
# administrator's deployment expect of a per-machine package, on every
# component: nothing of the installing account's own (SYSTEM's, under
# deployment tools), every folder in a profile removed with the package,
# shortcuts kept by a registry key path in the machine's hive (HKMU, -1),
# an owner on every lock, the logon entry only in Program Files, the
# programs' versions for the file rules, and an install for all users only.
component_rules() {
    local registry profile_dirs dir folder c key ok=0
    fail() { echo "  $*"; ok=1; }
    registry=$(rows Registry)
    # Each folder below a profile folder, with that profile folder.
    profile_dirs=$(rows Directory | awk -F'\t' '{ parent[$1] = $2 } END { for (d in parent) { p = d
        while ((p = parent[p]) != "") if (p ~ /^(ProgramMenu|StartMenu|Startup|Desktop|Template|AdminTools|AppData|LocalAppData|Personal|Favorites|MyPictures|NetHood|PrintHood|Recent|SendTo|Temp)Folder$/) print d, p } }')
    grep -qx $'ALLUSERS\t1' <<<"$(rows Property)" || fail "not per-machine"
    [ -z "$(awk -F'\t' '$2 == 1' <<<"$registry")" ] || fail "an HKCU row"
    while read -r dir folder; do
        [ -n "$dir" ] || continue
        [[ $folder =~ ^(ProgramMenu|StartMenu|Startup|Desktop|Template|AdminTools)Folder$ ]] || fail "$dir lies in the installing user's profile"
        rows RemoveFile | awk -F'\t' -v d="$dir" '$3 == "" && $4 == d { f = 1 } END { exit !f }' || fail "$dir is not removed"
    done <<<"$profile_dirs"
    for c in $(rows Shortcut | cut -f 4 | sort -u); do
        key=$(rows Component | awk -F'\t' -v c="$c" '$1 == c && $4 == 4 { print $6 }')
        awk -F'\t' -v k="$key" -v c="$c" '$1 == k && $2 == -1 && $6 == c { f = 1 } END { exit !f }' <<<"$registry" ||
            fail "$c: shortcuts without an HKMU key path of its own"
    done
    [ -z "$(cut -f 4 <<<"$locks" | grep -v '^O:BAD:')" ] || fail "a lock without the owner Administrators"
    for c in $(awk -F'\t' '$3 ~ /\\CurrentVersion\\Run$/ { print $6 }' <<<"$registry"); do
        [[ $(condition_of "$c") == "$in_program_files AND "* ]] || fail "$c: a Run value outside Program Files"
    done
    [ "$(rows File | awk -F'\t' '$3 ~ /\.exe$/ { print $3, $5, $6 }')" = \
      $'korvane.exe 1.2.3.0 1033\nkorstart.exe 1.2.3.0 1033\nkorctl.exe 1.2.3.0 1033' ] || fail "file versions"
    grep -qx $'REINSTALLMODE\tamus' <<<"$(rows Property)" || fail "a planted file of any version may be kept"
    grep -qE $'^ALLUSERS=1 AND Privileged\t.*for all users.*administrator' <<<"$(rows LaunchCondition)" ||
        fail "a per-user install is not refused"
    grep -qE $'^SecureCustomProperties\t(.*;)?INSTALLDIR(;|$)' <<<"$(rows Property)" || fail "INSTALLDIR is not secure"
    return $ok
}
check "component rules of a per-machine package" component_rules

# korctl by name in an administrator's scripts: its folder at the end of the
# machine's PATH, and only that part taken away again.
check "korctl's folder is appended to the system PATH and removed at uninstall, by the two actions" \
    test "$(rows Environment | cut -f 2-4; rows InstallExecuteSequence | grep -oE '^\w+EnvironmentStrings' | sort)" = \
         $'=-*PATH\t[~];[INSTALLDIR]\tCommandLine\nRemoveEnvironmentStrings\nWriteEnvironmentStrings'

# ICE03 checks every row against _Validation: each column of each table
# needs its row there, with the column's own nullability (0x1000 in its type).
validation_complete() {
    diff <(msiinfo export "$msi" _Columns | tail -n +4 | tr -d '\r' |
               awk -F'\t' '$1 != "_Validation" { print $1, $3, (int($4 / 4096) % 2 ? "Y" : "N") }' | sort) \
         <(rows _Validation | awk -F'\t' '{ print $1, $2, $3 }' | sort) | head -n 5
}
check "_Validation describes every column as the tables define it" validation_complete

[ "$failures" -eq 0 ]
