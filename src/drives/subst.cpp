#include "drives/subst.h"

#include <algorithm>
#include <cctype>

#include "drives/drive_name.h"

namespace kv {

std::string SubstPath;

namespace {

constexpr char kSubst[] = "subst.exe";
constexpr char kVirtualPrefix[] = "\\??\\";
// subst answers in well under a second; a hung one must not hold the window.
constexpr unsigned kSubstTimeoutMs = 8000;
// subst.exe and DefineDosDevice take a folder of MAX_PATH characters with its NUL.
constexpr std::size_t kDeviceFolderLimit = 260;

std::string FullSubstPath(Os& os) { return os.SystemDirectory() + "\\" + kSubst; }

// Paths compare as the file system does: letter case aside (ASCII only, which
// covers drive letters and short names), and a closing separator aside.
bool SamePath(std::string a, std::string b) {
    auto fold = [](std::string& path) {
        if (path.size() > 3 && path.back() == '\\')
            path.pop_back();
        std::transform(path.begin(), path.end(), path.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    };
    fold(a);
    fold(b);
    return a == b;
}

std::string Unquoted(const std::string& argument) {
    if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')
        return argument.substr(1, argument.size() - 2);
    return argument;
}

std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find_first_of("\r\n"));
    return Trim(line);
}

// Empty when subst ended cleanly; otherwise its own refusal, or the system's words.
std::string SubstFailure(const ProgramRun& run, unsigned timeoutMs) {
    switch (run.end) {
    case ProgramRun::End::NotStarted:
        return "the system program subst.exe could not be started (" + run.error + ")";
    case ProgramRun::End::TimedOut:
        return "the system program subst.exe did not finish within " + std::to_string(timeoutMs / 1000) + " seconds";
    case ProgramRun::End::Exited:
        break;
    }
    if (run.exitCode == 0)
        return {};
    const std::string said = FirstLine(run.output);
    if (!said.empty())
        return "subst.exe answered \"" + said + "\"";
    return "subst.exe ended with exit code " + std::to_string(run.exitCode);
}

// Runs subst.exe from the system folder, never by bare name, so that no other
// program called subst.exe in the program's or the current folder is started.
std::string RunSubst(Os& os, const std::string& parameters) {
    const std::string path = SubstPath.empty() ? FullSubstPath(os) : SubstPath;
    return SubstFailure(os.RunProgram({path, parameters}, kSubstTimeoutMs), kSubstTimeoutMs);
}

// The folder a letter stands for, or nothing when it is no virtual drive.
std::optional<std::string> VirtualTarget(Os& os, const std::string& drive) {
    const auto target = os.QueryDosDevice(drive);
    if (!target || target->compare(0, 4, kVirtualPrefix) != 0)
        return std::nullopt;
    return FolderOfTarget(*target);
}

bool StandsFor(Os& os, const std::string& target, const std::string& argument, const std::string& folder) {
    if (SamePath(target, Unquoted(argument)) || SamePath(target, folder))
        return true;
    const auto longTarget = os.LongPathName(target);
    const auto longFolder = os.LongPathName(folder);
    return longTarget && longFolder && SamePath(*longTarget, *longFolder);
}

// Windows counts a path in UTF-16 units: one for each character, two for
// one beyond the Basic Multilingual Plane (a four-byte UTF-8 sequence).
std::size_t Utf16Length(const std::string& utf8) {
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) == 0x80 ? 0 : byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

// The folder a drive is made on. A short name belongs to whichever folder
// holds it at the moment: once the folder is renamed, a sibling created after
// it may get the same short name, and a drive made on it would show that
// sibling from then on. So the folder goes by its long form. A folder too long
// for subst.exe and DefineDosDevice can become a drive only by its short form;
// one that did not answer is not asked again.
std::string DeviceFolder(Os& os, const std::string& folder, bool mayAsk) {
    if (Utf16Length(folder) < kDeviceFolderLimit || !mayAsk)
        return folder;
    const auto shortForm = os.ShortPathName(folder);
    return shortForm && !shortForm->empty() ? *shortForm : folder;
}

} // namespace

bool SubstPresent(Os& os) {
    SubstPath = FullSubstPath(os);
    return os.PathExists(SubstPath);
}

// subst takes the folder as one argument, quoted where it holds a blank. A
// folder given by a short name (korctl takes what is typed) is expanded, so
// that the drive stands for the folder that has that name now.
std::string SubstFolderArgument(Os& os, const std::string& folder) {
    const auto longForm = os.LongPathName(folder);
    std::string argument = DeviceFolder(os, longForm && !longForm->empty() ? *longForm : folder, true);
    if (argument.find(' ') != std::string::npos)
        argument = '"' + argument + '"';
    return argument;
}

// At logon every process start is slow, and a subst.exe for each saved drive
// kept the companion busy for seconds; the system call it makes takes none.
// A letter in use is left alone, as subst.exe leaves it. The folder is taken
// as the record names it: a record written by an older Korvane holds a short
// form, and that is what its drive stood for.
SubstOutcome DefineDrive(Os& os, const DriveRequest& request, bool folderAnswered) {
    if (os.QueryDosDevice(request.drive))
        return {false, request.drive + " is already in use"};
    const std::string folder = DeviceFolder(os, request.folder, folderAnswered);
    if (const auto why = os.DefineDosDevice(request.drive, folder))
        return {false, *why};
    const auto target = VirtualTarget(os, request.drive);
    if (target && (SamePath(*target, folder) || (folderAnswered && StandsFor(os, *target, folder, request.folder))))
        return {true, {}};
    return {false, request.drive + " does not stand for " + request.folder + " after it was defined"};
}

// subst's exit code alone is not trusted: another program may have taken the
// letter, or the folder may have gone, so the device namespace has the last word.
SubstOutcome MakeDrive(Os& os, const std::string& drive, const std::string& folder) {
    const std::string argument = SubstFolderArgument(os, folder);
    const std::string failure = RunSubst(os, drive + ' ' + argument);
    const auto target = VirtualTarget(os, drive);
    if (target && StandsFor(os, *target, argument, folder))
        return {true, {}};
    if (!failure.empty())
        return {false, failure};
    return {false, drive + " does not stand for " + folder + " after subst.exe ran"};
}

SubstOutcome DeleteDrive(Os& os, const std::string& drive) {
    const std::string why = RunSubst(os, drive + " /D");
    if (!VirtualTarget(os, drive))
        return {true, {}};
    if (!why.empty())
        return {false, why};
    return {false, drive + " is still in use after subst.exe ran"};
}

} // namespace kv
