#include "drives/subst.h"

namespace kv {

std::string SubstPath;

namespace {

constexpr char kSubst[] = "subst.exe";
constexpr char kAvailableDrives[] = "Avaliable Drives:";

std::string FullSubstPath(Os& os) { return os.SystemDirectory() + "\\" + kSubst; }

} // namespace

bool SubstPresent(Os& os)
{
    SubstPath = FullSubstPath(os);
    return os.PathExists(SubstPath);
}

// subst takes the folder as one argument. The short form keeps blanks out of
// it; where the system has no short form the folder is quoted instead.
std::string SubstFolderArgument(Os& os, const std::string& folder)
{
    std::string argument = os.ShortPathName(folder).value_or(folder);
    if (argument.empty())
        argument = folder;
    if (argument.find(' ') != std::string::npos)
        argument = '"' + argument + '"';
    return argument;
}

// The shell finds subst.exe on its own in nearly every setup; the full path is
// the fallback for one where it does not. Nothing waits for subst to finish.
bool LaunchSubst(Os& os, const std::string& parameters)
{
    if (os.ShellExecute("open", kSubst, parameters.c_str(), nullptr, kShowHidden) > 32)
        return true;
    const std::string fullPath = FullSubstPath(os);
    return os.ShellExecute("open", fullPath.c_str(), parameters.c_str(), nullptr, kShowHidden) > 32;
}

bool DeleteDrive(Os& os, const std::string& drive)
{
    return LaunchSubst(os, drive + " /D");
}

// Maps the folder open in `dir` to the letter selected in `cmb` and moves the
// letter from the free letters to the drives in use. When subst cannot be
// started at all nothing was made, so the lists stay as they are.
bool CreateDrive(Os& os, ComboBox& cmb, DriveListView& lsv, const FolderChooser& dir)
{
    const int selected = cmb.Selected();
    const std::string drive = cmb.Text(selected);
    if (!LaunchSubst(os, drive + ' ' + SubstFolderArgument(os, dir.Path()))) {
        os.MessageBox("Virtual drive " + drive +
                          " could not be created: the system program subst.exe could not be started.",
                      MsgStyle::Critical);
        return false;
    }
    lsv.Append(drive);
    cmb.Remove(selected);
    lsv.Redraw();
    cmb.Redraw();
    cmb.SetEditText(kAvailableDrives);
    os.MessageBox("Virtual drive " + drive + " created.", MsgStyle::Information);
    return true;
}

} // namespace kv
