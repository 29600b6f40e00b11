# The Windows Installer package: wixl builds it from installer/korvane.wxs,
# then msibuild adds what wixl 0.101 has no element for. Source it after
# common.sh.

# Who may do what in the program folder and in kordat: SYSTEM and
# Administrators everything, the local Users group read and run. The
# machine-wide Run value runs korstart.exe in every session, administrators'
# included, so no one else may replace it or put a DLL beside it, wherever
# INSTALLDIR points. The owner is Administrators, so that a folder a standard
# user made before the install is taken from them: an owner may always
# rewrite the permissions. Each user's saves live in their own profile, so
# no one else writes in kordat either. Protected (P), so nothing inherited
# from the folders above adds to it. Trustees are SIDs, since names differ by
# language; BA is the SDDL alias of Administrators, the same everywhere.
KV_PROGRAM_SDDL='O:BAD:PAI(A;OICI;FA;;;S-1-5-18)(A;OICI;FA;;;S-1-5-32-544)(A;OICI;0x1200a9;;;S-1-5-32-545)'

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
    # - The permissions of the program folder and kordat, applied by
    #   CreateFolders before InstallFiles (Windows Installer 5).
    # - A rebuild of the same version replaces the installed one instead of
    #   being installed beside it: the upgrade range includes its maximum
    #   (513 = migrate features + include maximum; a key column, so the row
    #   is replaced rather than updated).
    # - INSTALLDIR takes its default before costing, so that the conditions
    #   below read the final folder whether Windows Installer evaluates them
    #   before or after resolving the Directory table. It is secure, so that
    #   a folder chosen in a non-elevated client reaches the elevated server.
    # - The machine-wide Run value only for a folder under Program Files:
    #   elsewhere the folders above it may let users swap the companion, and
    #   Korvane registers per user as for a portable copy. Quoted exactly
    #   when the folder holds a blank, as the program writes it.
    # - The files' versions (those of their version resources) and language,
    #   so that repairs and upgrades follow the file rules.
    # - korctl on the machine's PATH, appended, and only that part taken off
    #   at uninstall; the MenuEntries key path in the machine's hive (HKMU,
    #   which wixl writes as root 4).
    # - Uninstall takes a companion copy out of the common Startup folder
    #   (StartupFolder is the common one in a per-machine install) and the
    #   machine's Software\Korvane key. What each user keeps in their own
    #   profile and hive is theirs and the programs': a per-machine package
    #   touches no profile.
    local in_program_files='INSTALLDIR ~<< ProgramFilesFolder AND NOT (INSTALLDIR >< "\..\")'
    msibuild "$stage/korvane.msi" \
        -q 'CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` LONGCHAR NOT NULL, `Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)' \
        -q "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`) VALUES ('ProgramAdministratorsOnly', 'INSTALLDIR', 'CreateFolder', '$KV_PROGRAM_SDDL')" \
        -q "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`) VALUES ('KordatAdministratorsOnly', 'KORDAT', 'CreateFolder', '$KV_PROGRAM_SDDL')" \
        -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'" \
        -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('{$upgrade_code}', '$version', 513, 'WIX_UPGRADE_DETECTED')" \
        -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('DefaultInstallDir', 51, 'INSTALLDIR', '[ProgramFilesFolder]Korvane\\')" \
        -q "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('DefaultInstallDir', 'NOT INSTALLDIR', 790)" \
        -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('DefaultInstallDir', 'NOT INSTALLDIR', 790)" \
        -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('ShowInstallLocation', 51, 'ARPINSTALLLOCATION', '[INSTALLDIR]')" \
        -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('ShowInstallLocation', 1010)" \
        -q "UPDATE \`Property\` SET \`Value\` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR' WHERE \`Property\` = 'SecureCustomProperties'" \
        -q "UPDATE \`Component\` SET \`Condition\` = '$in_program_files AND (INSTALLDIR >< \" \")' WHERE \`Component\` = 'RunQuoted'" \
        -q "UPDATE \`Component\` SET \`Condition\` = '$in_program_files AND NOT (INSTALLDIR >< \" \")' WHERE \`Component\` = 'RunPlain'" \
        -q "UPDATE \`File\` SET \`Version\` = '$version.0', \`Language\` = '1033' WHERE \`File\` = 'korvane.exe' OR \`File\` = 'korstart.exe' OR \`File\` = 'korctl.exe'" \
        -q 'CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` LONGCHAR NOT NULL LOCALIZABLE, `Value` LONGCHAR LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)' \
        -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('KorctlOnPath', '=-*PATH', '[~];[INSTALLDIR]', 'CommandLine')" \
        -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
        -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)" \
        -q "UPDATE \`Registry\` SET \`Root\` = -1 WHERE \`Component_\` = 'MenuEntries'" \
        -q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`) VALUES ('StartupCompanion', 'Companion', 'korstart.exe', 'StartupFolder', 2)" \
        -q "INSERT INTO \`Registry\` (\`Registry\`, \`Root\`, \`Key\`, \`Name\`, \`Component_\`) VALUES ('MachineSettings', 2, 'Software\\Korvane', '-', 'Program')" \
        -i "$KV_ROOT/installer/validation.idt" \
        || { rm -rf "$stage"; return 1; }
    mv "$stage/korvane.msi" "$out"
    rm -rf "$stage"
}
