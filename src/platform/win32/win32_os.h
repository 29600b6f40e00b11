// The system services of kv::Os over the wide Win32 calls; UTF-8 at the seam.
#pragma once

#include "platform/win32/win32.h"

#include "platform/os.h"

namespace kv {

// Loads system DLLs from the system folder only, so that no DLL planted
// beside the program or in the current folder is ever loaded. First thing
// in each program: the DLLs loaded on first use (cmake/delay_load.cmake)
// are looked for with this search.
void LoadDllsFromSystemFolderOnly();

// Everything but the desktop: devices, files, the registry, processes. Both
// programs share it; the companion, which shows nothing, adds no more.
class Win32System : public Os {
public:
    std::optional<std::string> QueryDosDevice(const std::string& drive) override;
    std::optional<std::string> DefineDosDevice(const std::string& drive, const std::string& folder) override;
    std::string SystemDirectory() override;
    std::string ProgramFolder() override;
    bool PathExists(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    std::vector<PathProbe> ProbePaths(const std::vector<std::string>& paths,
                                      const ProbeAnswered& onAnswer = nullptr) override;
    std::optional<std::string> ShortPathName(const std::string& path) override;
    std::optional<std::string> LongPathName(const std::string& path) override;
    std::optional<std::string> LongPathNameWaiting(const std::string& path) override;
    bool CreateDirectory(const std::string& path) override;
    bool OnlyAdministratorsCanWrite(const std::string& path) override;
    bool IsElevated() override;
    bool ElevatedApartFromUser() override;
    std::optional<std::string> WriteFile(const std::string& path, const std::string& bytes) override;
    std::optional<std::string> OverwritePlainFile(const std::string& path, const std::string& bytes) override;
    std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override;
    std::optional<std::string> DeleteFile(const std::string& path) override;
    bool CopyFile(const std::string& from, const std::string& to) override;
    std::optional<std::string> AppendToFile(const std::string& path, const std::string& bytes) override;
    std::optional<std::string> ReadFileEnd(const std::string& path, std::size_t maxBytes) override;
    std::optional<std::string> MoveFileOver(const std::string& from, const std::string& to) override;
    std::optional<std::string> ToAnsiExactly(const std::string& utf8) override;
    std::string FromAnsi(const std::string& bytes) override;
    RegistryWrite WriteRegistryText(RegistryRoot root, const std::string& key, const std::string& name,
                                    const std::string& text) override;
    std::optional<std::string> ReadRegistryText(RegistryRoot root, const std::string& key,
                                                const std::string& name) override;
    bool DeleteRegistryValue(RegistryRoot root, const std::string& key, const std::string& name) override;
    bool RegistryKeyExists(RegistryRoot root, const std::string& key) override;
    ProgramRun RunProgram(const ProgramCall& call, unsigned timeoutMs) override;
    std::unique_ptr<SessionLock> LockSession(const std::string& name, unsigned waitMs) override;
    unsigned long long TickCount() override;
    void Sleep(unsigned ms) override;
    std::string LocalTimeStamp() override;
    std::optional<std::string> LocalAppDataFolder() override;
    bool HasSplitToken() override;
    std::optional<std::string> UserSid() override;
    std::optional<std::string> SetRegistryText(RegistryRoot root, const std::string& key, const std::string& name,
                                               const std::string& text) override;
    std::optional<std::string> RemoveRegistryValue(RegistryRoot root, const std::string& key,
                                                   const std::string& name) override;
    std::optional<std::string> RemoveDosDevice(const std::string& drive, const std::string& target) override;
    // task_scheduler.cpp
    std::optional<std::string> RegisterTask(const std::string& name, const std::string& xml,
                                            TaskAccount account) override;
    std::optional<std::string> RunTask(const std::string& name, unsigned waitMs) override;
    std::optional<std::string> DeleteTask(const std::string& name) override;
    bool TaskExists(const std::string& name) override;
    std::optional<std::string> DeleteRegistryValueAndEmptyKeys(RegistryRoot root, const std::string& key,
                                                               const std::string& name,
                                                               const std::string& parentKey) override;
    void NotifyDriveRenamed(const std::string& drive) override;

private:
    PathProbe Classify(const std::string& path, DWORD error);
};

// The programs that show nothing, the companion at logon and the command
// line: the system services alone, with no message box, shell or window.
class HeadlessOs final : public Win32System {
public:
    std::optional<std::string> CommonStartupFolder() override { return std::nullopt; }
    int ShellExecute(const char*, const char*, const char*, const char*, int) override { return 0; }
    Answer MessageBox(const std::string&, MsgStyle) override { return Answer::Ok; }
    void Beep() override {}
    ProgramRun RunElevated(const ProgramCall&, unsigned) override {
        ProgramRun run;
        run.error = "only Korvane's window asks for administrator rights";
        return run;
    }
};

// Korvane's own: the system services and the desktop (message boxes, the
// shell, the Startup folder).
class Win32Os : public Win32System {
public:
    // The window that owns message boxes (while it is visible) and shell launches.
    void SetOwner(HWND owner) { owner_ = owner; }

    std::optional<std::string> CommonStartupFolder() override;
    int ShellExecute(const char* verb, const char* file, const char* params, const char* directory, int show) override;
    Answer MessageBox(const std::string& text, MsgStyle style) override;
    void Beep() override;
    ProgramRun RunElevated(const ProgramCall& call, unsigned timeoutMs) override;

private:
    HWND owner_ = nullptr;
};

} // namespace kv
