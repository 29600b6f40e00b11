// The system services the program's logic needs, as one small interface.
// The Win32 implementation lives in platform/win32; tests provide a fake.
//
// Every text that crosses this interface is UTF-8: paths, drive names,
// program arguments and output, message texts. The implementation speaks to
// the system through its wide (UTF-16) calls, so any name Windows allows
// works whatever the system's ANSI code page. File contents are the
// exception: WriteFile and ReadFile move bytes exactly as they are, and
// ToAnsiExactly and FromAnsi convert between UTF-8 and the ANSI code page
// for them.
//
// Which calls may wait: everything that touches a path (the file calls, the
// probes, the short and long forms, ShellExecute) or runs a program can take
// as long as the drive or the program does, minutes for a share whose server
// has gone; the window's thread makes none of them itself but hands them to
// Tasks. The device table (QueryDosDevice), the registry, the clock, the
// session lock and the message box answer at once and are the window's own.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv {

// Message-box styles the program uses (the values of MB_ICON* | MB_* they stand for).
enum class MsgStyle : unsigned {
    Critical = 0x10,    // MB_OK | MB_ICONHAND
    Information = 0x40, // MB_OK | MB_ICONASTERISK
    Question = 0x24,    // MB_YESNO | MB_ICONQUESTION
};

// Message-box answers, as IDOK / IDYES / IDNO.
enum class Answer : int { Ok = 1, Yes = 6, No = 7 };

// A program to run and the arguments it is given.
struct ProgramCall {
    std::string path, arguments;
};

// How a program started by RunProgram ended.
struct ProgramRun {
    enum class End { NotStarted, TimedOut, Exited };
    End end = End::NotStarted;
    unsigned long exitCode = 0;
    std::string output;    // what it wrote to its standard output and error
    std::string error;     // the system's description, when it could not be started
    bool declined = false; // not started: the user said no to running it as administrator
};

// The registry roots the program writes under.
enum class RegistryRoot { LocalMachine, CurrentUser };

// How far a registry write got: the key may be refused, or only the value.
enum class RegistryWrite { KeyRefused, ValueRefused, Written };

// What the file system says about a path. Only Missing is a clear "no": the
// folder's own drive is there and has no such folder. NotReady: its drive is
// not there yet or not ready (a disk not plugged in, a locked volume, a
// network drive not yet connected); asked again later it may answer.
// NoAnswer: nothing came back within the bound, as from a dead share.
// Unknown: any other refusal (a folder the user may not open, say). All but
// Exists and Missing carry the system's words in `error`.
struct PathProbe {
    enum class State { Exists, Missing, NotReady, NoAnswer, Unknown };
    State state = State::Unknown;
    std::string error;
};

// A named lock of this logon session, held until the object goes.
class SessionLock {
public:
    virtual ~SessionLock() = default;
};

// How long the program waits for a drive or folder before taking it as not
// answering.
inline constexpr unsigned kPathAnswerWaitMs = 3000;

// ShellExecute show commands.
constexpr int kShowHidden = 0; // SW_HIDE
constexpr int kShowNormal = 1; // SW_SHOWNORMAL

class Os {
public:
    virtual ~Os() = default;

    // First target string of a DOS device name such as "X:", or nothing when the
    // letter has no device. The device table is the system's own: this never
    // waits on a drive, and the window's thread may ask it.
    virtual std::optional<std::string> QueryDosDevice(const std::string& drive) = 0;
    // Makes the letter stand for the folder in this logon session, as subst.exe
    // does; the system's error text when that is refused.
    virtual std::optional<std::string> DefineDosDevice(const std::string& drive, const std::string& folder) = 0;

    virtual std::string SystemDirectory() = 0;
    // Folder holding the running executable, without a trailing separator except at a root.
    virtual std::string ProgramFolder() = 0;

    // True when a file or folder of exactly that name exists.
    virtual bool PathExists(const std::string& path) = 0;
    // True when a file, not a folder, of exactly that name exists.
    virtual bool FileExists(const std::string& path) = 0;
    // Asks about all the paths at once and waits for the answers no longer
    // than for one; one answer per path, in order. `onAnswer`, when given, is
    // called on the calling thread with each answer as it comes, so that a
    // path that answers need not wait for one that does not.
    using ProbeAnswered = std::function<void(std::size_t index, const PathProbe& probe)>;
    virtual std::vector<PathProbe> ProbePaths(const std::vector<std::string>& paths,
                                              const ProbeAnswered& onAnswer = nullptr) = 0;
    PathProbe ProbePath(const std::string& path) { return ProbePaths({path}).front(); }
    // Both give nothing when the path does not answer within the probe's bound.
    virtual std::optional<std::string> ShortPathName(const std::string& path) = 0;
    virtual std::optional<std::string> LongPathName(const std::string& path) = 0;
    // The long form, waiting as long as the path takes: only for a task,
    // whose bound is its own, so that a dead share holds one thread, not one
    // more for every time it is asked.
    virtual std::optional<std::string> LongPathNameWaiting(const std::string& path) = 0;

    virtual bool CreateDirectory(const std::string& path) = 0;
    // True when no one but Administrators, SYSTEM and TrustedInstaller can
    // change, replace or give new rights to the file, put a file beside it,
    // or rename or remove any folder above it, on a disk of this machine. A
    // descriptor that cannot be read counts as unsafe. It reads a security
    // descriptor for each folder on the way: ask it seldom.
    virtual bool OnlyAdministratorsCanWrite(const std::string& path) = 0;
    virtual bool IsElevated() = 0;
    // True when this process runs as administrator on an account that also
    // has an everyday logon session (an administrator under UAC): the drive
    // letters it makes are seen only by programs run as administrator.
    virtual bool ElevatedApartFromUser() = 0;
    // Creates or truncates the file and writes the bytes as they are. Nothing
    // when written; otherwise the system's description of the failure.
    virtual std::optional<std::string> WriteFile(const std::string& path, const std::string& bytes) = 0;
    // The file's bytes; nothing when it cannot be read or holds more than `maxBytes`.
    virtual std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) = 0;
    // Nothing when the file is gone afterwards (also when there was none);
    // otherwise the system's description of the failure.
    virtual std::optional<std::string> DeleteFile(const std::string& path) = 0;
    // Replaces a file of the target's name.
    virtual bool CopyFile(const std::string& from, const std::string& to) = 0;
    // Adds the bytes at the end of the file, made when missing. Every write
    // lands at the end as it is then, so that two processes appending at once
    // never write over each other. Nothing when written; otherwise the
    // system's description of the failure.
    virtual std::optional<std::string> AppendToFile(const std::string& path, const std::string& bytes) = 0;
    // The file's last `maxBytes` bytes, or all of it when it is smaller;
    // nothing when it cannot be read.
    virtual std::optional<std::string> ReadFileEnd(const std::string& path, std::size_t maxBytes) = 0;
    // Puts the file `from` in the place of `to` in one step, replacing it.
    // Nothing when done; otherwise the system's description of the failure.
    virtual std::optional<std::string> MoveFileOver(const std::string& from, const std::string& to) = 0;

    // The text in the system's ANSI code page, or nothing when that code page
    // cannot hold every character of it.
    virtual std::optional<std::string> ToAnsiExactly(const std::string& utf8) = 0;
    virtual std::string FromAnsi(const std::string& bytes) = 0;

    // A REG_SZ value, the key created when missing.
    virtual RegistryWrite WriteRegistryText(RegistryRoot root, const std::string& key, const std::string& name,
                                            const std::string& text) = 0;
    virtual std::optional<std::string> ReadRegistryText(RegistryRoot root, const std::string& key,
                                                        const std::string& name) = 0;
    // True when no such value is left.
    virtual bool DeleteRegistryValue(RegistryRoot root, const std::string& key, const std::string& name) = 0;
    // True when the key can be opened.
    virtual bool RegistryKeyExists(RegistryRoot root, const std::string& key) = 0;
    // The folder whose programs start at every user's logon.
    virtual std::optional<std::string> CommonStartupFolder() = 0;

    // ShellExecute; null pointers stand for absent arguments. Returns the shell's
    // result: above 32 when the program or document was started.
    virtual int ShellExecute(const char* verb, const char* file, const char* params, const char* directory,
                             int show) = 0;

    // Starts the program hidden, without a console window, and waits up to
    // `timeoutMs` for it to end (ending it if it does not), collecting what it wrote.
    virtual ProgramRun RunProgram(const ProgramCall& call, unsigned timeoutMs) = 0;

    virtual Answer MessageBox(const std::string& text, MsgStyle style) = 0;
    virtual void Beep() = 0;

    // The lock of that name in this logon session, waiting for it up to
    // `waitMs`; nothing when another process holds it longer.
    virtual std::unique_ptr<SessionLock> LockSession(const std::string& name, unsigned waitMs) = 0;
    // Milliseconds on a clock that only moves forward, and a pause of the calling thread.
    virtual unsigned long long TickCount() = 0;
    virtual void Sleep(unsigned ms) = 0;
    // "2026-12-06 23:59:01", local time.
    virtual std::string LocalTimeStamp() = 0;
    // The user's own folder for program data on this machine (%LOCALAPPDATA%).
    virtual std::optional<std::string> LocalAppDataFolder() = 0;

    // Whether the companion is protected, once the program's logic has read
    // it: -1 until then. It is read once a process and kept, since the data
    // folder's place hangs on it, the window asks for that every second from
    // worker threads, and saves must not move while the program runs.
    std::atomic<int> companionProtected{-1};
    // True when the account has a second logon session for its programs run
    // as administrator (an administrator under UAC), whichever of the two
    // this process runs in.
    virtual bool HasSplitToken() = 0;
    // The account's SID, "S-1-5-21-...".
    virtual std::optional<std::string> UserSid() = 0;
    // As WriteRegistryText and DeleteRegistryValue, with the system's reason
    // when refused; deleting a value that is not there is no failure.
    virtual std::optional<std::string> SetRegistryText(RegistryRoot root, const std::string& key,
                                                       const std::string& name, const std::string& text) = 0;
    virtual std::optional<std::string> RemoveRegistryValue(RegistryRoot root, const std::string& key,
                                                           const std::string& name) = 0;
    // Takes the letter's definition away, only while it is exactly `target`.
    virtual std::optional<std::string> RemoveDosDevice(const std::string& drive, const std::string& target) = 0;

    // Tasks of the Task Scheduler's root folder. Each gives the system's
    // reason when refused.
    enum class TaskAccount { InteractiveUser, System };
    virtual std::optional<std::string> RegisterTask(const std::string& name, const std::string& xml,
                                                    TaskAccount account) = 0;
    // Starts the task; with `waitMs`, waits that long for it to end and takes
    // an exit code other than 0 as a failure.
    virtual std::optional<std::string> RunTask(const std::string& name, unsigned waitMs) = 0;
    virtual std::optional<std::string> DeleteTask(const std::string& name) = 0; // nothing when it is gone
    virtual bool TaskExists(const std::string& name) = 0;
    // Starts the program as administrator, the user asked by the system, and
    // waits up to `timeoutMs` for it. Its output is not collected: it runs
    // in another logon session.
    virtual ProgramRun RunElevated(const ProgramCall& call, unsigned timeoutMs) = 0;
    // Deletes the value, then the key and each key above it that is left
    // with no value and no subkey, up to but not `parentKey`. Nothing when no
    // such value is left; otherwise the system's words.
    virtual std::optional<std::string> DeleteRegistryValueAndEmptyKeys(RegistryRoot root, const std::string& key,
                                                                       const std::string& name,
                                                                       const std::string& parentKey) = 0;
    // Tells the shell that the name of the drive "X:" has changed, so that
    // Explorer shows the new one at once. Returns without waiting for it.
    virtual void NotifyDriveRenamed(const std::string& drive) = 0;
    // Writes the bytes over the plain file of that name, never following a
    // link: for a program run as administrator writing into a folder its
    // user can change, where a link planted there would lead the write into
    // a file the user may not change. Refused for a link, a folder, a file
    // with a second name, or no file at all.
    virtual std::optional<std::string> OverwritePlainFile(const std::string& path, const std::string& bytes) = 0;
};

} // namespace kv
