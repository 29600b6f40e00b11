# The Windows Installer package: wixl builds it from installer/korvane.wxs,
# then msibuild adds what wixl 0.101 has no element for. Source it after
# common.sh.

# Who may do what in kordat: SYSTEM and Administrators everything, the local
# Users group modify, so that a standard user can save and forget drives in a
# per-machine install. Protected (P), so the folder does not also inherit the
# program folder's read-only entry for Users. Written with SIDs rather than
# names, which differ by language.
KV_KORDAT_SDDL='D:PAI(A;OICI;FA;;;S-1-5-18)(A;OICI;FA;;;S-1-5-32-544)(A;OICI;0x1301bf;;;S-1-5-32-545)'
# The program folder: the same, but Users may only read and run. The
# machine-wide Run value runs korstart.exe in every session, administrators'
# included, so no one else may replace it or put a DLL beside it, wherever
# INSTALLDIR points (korvane.exe would otherwise take the entry back).
KV_PROGRAM_SDDL='D:PAI(A;OICI;FA;;;S-1-5-18)(A;OICI;FA;;;S-1-5-32-544)(A;OICI;0x1200a9;;;S-1-5-32-545)'

#   kv_build_msi VERSION MSI-FILE PROGRAM-DIR MANUAL
# Packs korvane.exe, korstart.exe and korctl.exe from PROGRAM-DIR (build/win/src for the
# shipped ones) with the given manual.html as version VERSION.
kv_build_msi() {
    local version=$1 out=$2 programs=$3 manual=$4 stage upgrade_code
    upgrade_code=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$KV_ROOT/installer/korvane.wxs")
    mkdir -p "$KV_BUILD"
    stage=$(mktemp -d "$KV_BUILD/msi-stage.XXXXXX")
    cp "$programs/korvane.exe" "$programs/korstart.exe" "$programs/korctl.exe" "$KV_ROOT/src/korvane/res/korvane.ico" "$stage/"
    cp "$manual" "$stage/manual.html"
    rm -f "$out"
    # wixl finds sources relative to the folder it runs in.
    (cd "$stage" && wixl -a x86 -D Version="$version" -o "$stage/korvane.msi" "$KV_ROOT/installer/korvane.wxs") \
        || { rm -rf "$stage"; return 1; }
    # - The permissions of kordat and of the program folder, applied by
    #   CreateFolders before InstallFiles (Windows Installer 5).
    # - A rebuild of the same version replaces the installed one instead of
    #   being installed beside it: the upgrade range includes its maximum
    #   (513 = migrate features + include maximum; a key column, so the row
    #   is replaced rather than updated).
    # - The Run value quoted exactly when the install folder holds a blank.
    # - Uninstall takes a companion copy out of the common Startup folder
    #   (StartupFolder is the common one in a per-machine install), and of
    #   the uninstalling user the companion's log and the Software\Korvane
    #   key that korvane.exe writes; and the machine's Software\Korvane key
    #   that remembers the install folder. The log's folder is a created folder,
    #   because those go after the files, once it is empty.
    msibuild "$stage/korvane.msi" \
        -q 'CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` LONGCHAR NOT NULL, `Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)' \
        -q "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`) VALUES ('KordatUsersModify', 'KORDAT', 'CreateFolder', '$KV_KORDAT_SDDL')" \
        -q "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`) VALUES ('ProgramAdministratorsOnly', 'INSTALLDIR', 'CreateFolder', '$KV_PROGRAM_SDDL')" \
        -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'" \
        -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('{$upgrade_code}', '$version', 513, 'WIX_UPGRADE_DETECTED')" \
        -q "UPDATE \`Component\` SET \`Condition\` = 'INSTALLDIR >< \" \"' WHERE \`Component\` = 'RunQuoted'" \
        -q "UPDATE \`Component\` SET \`Condition\` = 'NOT (INSTALLDIR >< \" \")' WHERE \`Component\` = 'RunPlain'" \
        -q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`) VALUES ('StartupCompanion', 'Companion', 'korstart.exe', 'StartupFolder', 2)" \
        -q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`) VALUES ('CompanionLog', 'Companion', 'korstart.log', 'CompanionLogFolder', 2)" \
        -q "INSERT INTO \`CreateFolder\` (\`Directory_\`, \`Component_\`) VALUES ('CompanionLogFolder', 'Companion')" \
        -q "INSERT INTO \`Registry\` (\`Registry\`, \`Root\`, \`Key\`, \`Name\`, \`Component_\`) VALUES ('UserSettings', 1, 'Software\\Korvane', '-', 'Program')" \
        -q "INSERT INTO \`Registry\` (\`Registry\`, \`Root\`, \`Key\`, \`Name\`, \`Component_\`) VALUES ('MachineSettings', 2, 'Software\\Korvane', '-', 'Program')" \
        || { rm -rf "$stage"; return 1; }
    mv "$stage/korvane.msi" "$out"
    rm -rf "$stage"
}
