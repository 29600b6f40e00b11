// The system services the program's logic needs, as one small interface.
// The Win32 implementation lives in platform/win32; tests provide a fake.
//
// Every text that crosses this interface is UTF-8: paths, drive names,
// program arguments and output, message texts. The implementation speaks to
// the system through its wide (UTF-16) calls, so any name Windows allows
// works whatever the system's ANSI code page. Bytes written by WriteFile are
// the exception: they go to the file exactly as given.
#pragma once

#include <optional>
#include <string>

namespace kv {

// Message-box styles the program uses (the values of MB_ICON* | MB_* they stand for).
enum class MsgStyle : unsigned {
    Critical = 0x10,    // MB_OK | MB_ICONHAND
    Information = 0x40, // MB_OK | MB_ICONASTERISK
    Question = 0x24,    // MB_YESNO | MB_ICONQUESTION
};

// Message-box answers, as IDOK / IDYES / IDNO.
enum class Answer : int { Ok = 1, Yes = 6, No = 7 };

// How a program started by RunProgram ended.
struct ProgramRun {
    enum class End { NotStarted, TimedOut, Exited };
    End end = End::NotStarted;
    unsigned long exitCode = 0;
    std::string output; // what it wrote to its standard output and error
    std::string error;  // the system's description, when it could not be started
};

// What the file system says about a path. Only Missing is a clear "no": a
// disk that is not ready, a share that does not answer or a folder the user
// may not open give Unknown, with the system's words in `error`.
struct PathProbe {
    enum class State { Exists, Missing, Unknown };
    State state = State::Unknown;
    std::string error;
};

// ShellExecute show commands.
constexpr int kShowHidden = 0; // SW_HIDE
constexpr int kShowNormal = 1; // SW_SHOWNORMAL

class Os {
public:
    virtual ~Os() = default;

    // First target string of a DOS device name such as "X:", or nothing when the
    // letter has no device.
    virtual std::optional<std::string> QueryDosDevice(const std::string& drive) = 0;

    virtual std::string SystemDirectory() = 0;
    // Folder holding the running executable, without a trailing separator except at a root.
    virtual std::string ProgramFolder() = 0;

    virtual std::string CurrentDirectory() = 0;
    virtual bool SetCurrentDirectory(const std::string& path) = 0;

    // True when a file or folder of exactly that name exists.
    virtual bool PathExists(const std::string& path) = 0;
    // Missing only when the system answers "file not found" or "path not found".
    virtual PathProbe ProbePath(const std::string& path) = 0;
    virtual std::optional<std::string> ShortPathName(const std::string& path) = 0;
    virtual std::optional<std::string> LongPathName(const std::string& path) = 0;

    virtual bool CreateDirectory(const std::string& path) = 0;
    // Creates or truncates the file and writes the bytes as they are.
    virtual bool WriteFile(const std::string& path, const std::string& bytes) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;

    // ShellExecute; null pointers stand for absent arguments. Returns the shell's
    // result: above 32 when the program or document was started.
    virtual int ShellExecute(const char* verb, const char* file, const char* params,
                             const char* directory, int show) = 0;

    // Starts the program hidden, without a console window, waits up to `timeoutMs`
    // for it to end (ending it when it does not) and collects what it wrote.
    virtual ProgramRun RunProgram(const std::string& path, const std::string& arguments,
                                  unsigned timeoutMs) = 0;

    virtual Answer MessageBox(const std::string& text, MsgStyle style) = 0;
    virtual void Beep() = 0;
};

} // namespace kv
