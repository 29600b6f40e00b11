// A fake Windows for the unit tests: a device table, a file system of plain
// paths, subst.exe, the registry, message boxes and the slow calls.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/os.h"

namespace kv::test {

using Texts = std::map<std::string, std::string>;

inline std::optional<std::string> Find(const Texts& texts, const std::string& key) {
    const auto it = texts.find(key);
    return it == texts.end() ? std::nullopt : std::optional<std::string>(it->second);
}

class FakeOs : public Os {
public:
    Texts devices; // "X:" -> first target
    std::set<std::string> folders{"C:\\", "C:\\windows", "C:\\Tools\\kordat"};
    Texts files;                             // path -> content
    Texts shortNames;                        // long -> short
    std::map<std::string, PathProbe> probes; // a path's answer when it is not simply there or not
    std::string programFolder = "C:\\Tools";
    std::vector<std::string> runs;                       // subst.exe's arguments, one a run
    std::function<ProgramRun(const ProgramCall&)> onRun; // instead of subst.exe's own work
    std::function<void()> onDefine = [] {};              // runs once a letter is defined, as another program might
    std::vector<std::string> messages;                   // "(i) ", "(x) " or "(?) " and the text; questions get Yes
    std::function<void()> onMessage = [] {};             // runs while a message box is open
    int beeps = 0;
    Texts registry;                      // "HKLM\\key\\name" or "HKCU\\key\\name" -> text
    std::set<std::string> refusedValues; // cannot be written
    std::optional<std::string> commonStartup = std::string("C:\\Startup");
    std::set<std::string> protectedPaths; // writable by administrators only
    int protectionReads = 0;
    std::optional<std::string> localAppData = std::string("C:\\AppData");
    bool elevated = false;
    bool elevatedApart = false;           // elevated on a split token
    std::set<std::string> lockedFiles;    // cannot be written, replaced or deleted
    std::set<std::string> locksElsewhere; // session locks another process holds
    unsigned long long now = 0;           // moves only when the program sleeps
    std::function<void()> onSleep = [] {};
    std::vector<std::string> explored; // folders handed to the shell to explore
    bool splitToken = false;
    Texts tasks;                                   // name -> XML
    std::map<std::string, std::string> taskFaults; // "register", "run" or "delete" -> the system's reason
    std::vector<std::string> taskRuns;             // names, as run
    std::function<void(const std::string&)> onTaskRun = [](const std::string&) {};
    std::function<ProgramRun(const ProgramCall&)> onElevated; // korctl run as administrator

    void Subst(const std::string& drive, const std::string& folder) {
        devices[drive] = "\\??\\" + folder;
        folders.insert(folder);
    }
    std::optional<std::string> Folder(const std::string& path) {
        return folders.count(path) ? std::optional(path) : std::nullopt;
    }

    std::optional<std::string> QueryDosDevice(const std::string& drive) override { return Find(devices, drive); }
    std::optional<std::string> DefineDosDevice(const std::string& drive, const std::string& folder) override {
        devices[drive] = "\\??\\" + folder;
        onDefine();
        return std::nullopt;
    }
    std::string SystemDirectory() override { return "C:\\windows\\system32"; }
    std::string ProgramFolder() override { return programFolder; }
    bool PathExists(const std::string& path) override { return files.count(path) || folders.count(path); }
    bool FileExists(const std::string& path) override { return files.count(path); }
    // Those that do not answer are handed to onAnswer never, as when the bound passes.
    std::vector<PathProbe> ProbePaths(const std::vector<std::string>& paths, const ProbeAnswered& onAnswer) override {
        std::vector<PathProbe> answers;
        for (const std::string& path : paths) {
            answers.push_back({PathExists(path) ? PathProbe::State::Exists : PathProbe::State::Missing, {}});
            if (probes.count(path))
                answers.back() = probes[path];
            if (onAnswer && answers.back().state != PathProbe::State::NoAnswer)
                onAnswer(answers.size() - 1, answers.back());
        }
        return answers;
    }
    std::optional<std::string> ShortPathName(const std::string& path) override {
        return shortNames.count(path) ? shortNames[path] : Folder(path);
    }
    std::optional<std::string> LongPathName(const std::string& path) override {
        for (const auto& [longName, shortName] : shortNames)
            if (shortName == path)
                return longName;
        return Folder(path);
    }
    std::optional<std::string> LongPathNameWaiting(const std::string& path) override { return LongPathName(path); }
    bool CreateDirectory(const std::string& path) override { return folders.insert(path).second; }
    bool OnlyAdministratorsCanWrite(const std::string& path) override {
        ++protectionReads;
        return protectedPaths.count(path);
    }
    bool IsElevated() override { return elevated; }
    bool ElevatedApartFromUser() override { return elevatedApart; }
    std::optional<std::string> WriteFile(const std::string& path, const std::string& bytes) override {
        if (!folders.count(path.substr(0, path.rfind('\\'))))
            return std::string("The system cannot find the path specified.");
        if (lockedFiles.count(path))
            return std::string("Access is denied.");
        files[path] = bytes;
        return std::nullopt;
    }
    std::optional<std::string> AppendToFile(const std::string& path, const std::string& bytes) override {
        return WriteFile(path, Find(files, path).value_or("") + bytes);
    }
    std::optional<std::string> ReadFileEnd(const std::string& path, std::size_t maxBytes) override {
        const auto bytes = Find(files, path);
        return bytes ? bytes->substr(bytes->size() - std::min(bytes->size(), maxBytes)) : bytes;
    }
    std::optional<std::string> MoveFileOver(const std::string& from, const std::string& to) override {
        const auto why = WriteFile(to, files.at(from));
        return why ? why : DeleteFile(from);
    }
    std::optional<std::string> OverwritePlainFile(const std::string& path, const std::string& bytes) override {
        return files.count(path) ? WriteFile(path, bytes) : std::string("The system cannot find the file specified.");
    }
    std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override {
        return files.count(path) && files[path].size() <= maxBytes ? Find(files, path) : std::nullopt;
    }
    std::optional<std::string> DeleteFile(const std::string& path) override {
        if (lockedFiles.count(path))
            return std::string("Access is denied.");
        files.erase(path);
        return std::nullopt;
    }
    bool CopyFile(const std::string& from, const std::string& to) override { return !WriteFile(to, files.at(from)); }
    // The fake's code page holds ASCII only.
    std::optional<std::string> ToAnsiExactly(const std::string& utf8) override {
        const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](unsigned char c) { return c < 0x80; });
        return ascii ? std::optional<std::string>(utf8) : std::nullopt;
    }
    std::string FromAnsi(const std::string& bytes) override { return bytes; }
    static std::string Value(RegistryRoot root, const std::string& key, const std::string& name) {
        return (root == RegistryRoot::LocalMachine ? "HKLM\\" : "HKCU\\") + key + "\\" + name;
    }
    RegistryWrite WriteRegistryText(RegistryRoot root, const std::string& key, const std::string& name,
                                    const std::string& text) override {
        if (refusedValues.count(Value(root, key, name)))
            return RegistryWrite::KeyRefused;
        registry[Value(root, key, name)] = text;
        return RegistryWrite::Written;
    }
    std::optional<std::string> ReadRegistryText(RegistryRoot root, const std::string& key,
                                                const std::string& name) override {
        return Find(registry, Value(root, key, name));
    }
    bool DeleteRegistryValue(RegistryRoot root, const std::string& key, const std::string& name) override {
        return registry.erase(Value(root, key, name)) || true;
    }
    bool RegistryKeyExists(RegistryRoot root, const std::string& key) override {
        const std::string prefix = Value(root, key, "");
        const auto next = registry.lower_bound(prefix);
        return next != registry.end() && next->first.compare(0, prefix.size(), prefix) == 0;
    }
    std::optional<std::string> CommonStartupFolder() override { return commonStartup; }
    int ShellExecute(const char* verb, const char* file, const char*, const char*, int) override {
        if (std::string(verb) == "explore")
            explored.push_back(file);
        return 42;
    }
    // subst.exe, as it answers "X: /D" and "X: folder".
    ProgramRun RunProgram(const ProgramCall& call, unsigned) override {
        EXPECT_EQ(call.path, "C:\\windows\\system32\\subst.exe") << "never by bare name";
        runs.push_back(call.arguments);
        if (onRun)
            return onRun(call);
        const std::string drive = call.arguments.substr(0, 2), given = call.arguments.substr(3);
        const std::string folder = given.front() == '"' ? given.substr(1, given.size() - 2) : given;
        if (folder != "/D" && (devices.count(drive) || !folders.count(folder)))
            return {ProgramRun::End::Exited,
                    1,
                    devices.count(drive) ? "Drive already SUBSTed\r\n" : "Path not found\r\n",
                    {}};
        if (folder == "/D")
            devices.erase(drive);
        else
            devices[drive] = "\\??\\" + folder;
        return {ProgramRun::End::Exited, 0, {}, {}};
    }
    Answer MessageBox(const std::string& text, MsgStyle style) override {
        messages.push_back((style == MsgStyle::Critical   ? "(x) "
                            : style == MsgStyle::Question ? "(?) "
                                                          : "(i) ") +
                           text);
        onMessage();
        return style == MsgStyle::Question ? Answer::Yes : Answer::Ok;
    }
    void Beep() override { ++beeps; }
    std::unique_ptr<SessionLock> LockSession(const std::string& name, unsigned) override {
        return locksElsewhere.count(name) ? nullptr : std::make_unique<SessionLock>();
    }
    unsigned long long TickCount() override { return now; }
    void Sleep(unsigned ms) override {
        now += ms;
        onSleep();
    }
    std::string LocalTimeStamp() override { return "2026-12-06 08:00:00"; }
    std::optional<std::string> LocalAppDataFolder() override { return localAppData; }
    bool HasSplitToken() override { return splitToken; }
    std::optional<std::string> UserSid() override { return std::string("S-1-5-21-7"); }
    std::optional<std::string> SetRegistryText(RegistryRoot root, const std::string& key, const std::string& name,
                                               const std::string& text) override {
        if (WriteRegistryText(root, key, name, text) != RegistryWrite::Written)
            return std::string("Access is denied.");
        return std::nullopt;
    }
    std::optional<std::string> RemoveRegistryValue(RegistryRoot root, const std::string& key,
                                                   const std::string& name) override {
        if (refusedValues.count(Value(root, key, name)))
            return std::string("Access is denied.");
        registry.erase(Value(root, key, name));
        return std::nullopt;
    }
    std::optional<std::string> RemoveDosDevice(const std::string& drive, const std::string& target) override {
        if (Find(devices, drive) != target)
            return std::string("The system cannot find the file specified.");
        devices.erase(drive);
        return std::nullopt;
    }
    std::optional<std::string> RegisterTask(const std::string& name, const std::string& xml,
                                            TaskAccount account) override {
        if (const auto why = Find(taskFaults, "register"))
            return why;
        tasks[name] = (account == TaskAccount::System ? "as SYSTEM: " : "as the user: ") + xml;
        return std::nullopt;
    }
    std::optional<std::string> RunTask(const std::string& name, unsigned) override {
        if (!tasks.count(name))
            return std::string("The system cannot find the file specified.");
        if (const auto why = Find(taskFaults, "run"))
            return why;
        taskRuns.push_back(name);
        onTaskRun(name);
        return std::nullopt;
    }
    std::optional<std::string> DeleteTask(const std::string& name) override {
        if (const auto why = Find(taskFaults, "delete"))
            return why;
        tasks.erase(name);
        return std::nullopt;
    }
    bool TaskExists(const std::string& name) override { return tasks.count(name); }
    ProgramRun RunElevated(const ProgramCall& call, unsigned) override { return onElevated(call); }
    std::optional<std::string> DeleteRegistryValueAndEmptyKeys(RegistryRoot root, const std::string& key,
                                                               const std::string& name, const std::string&) override {
        return RemoveRegistryValue(root, key, name);
    }
    void NotifyDriveRenamed(const std::string& drive) override { renamed.push_back(drive); }
    std::vector<std::string> renamed; // drives whose new names the shell was told of
};

} // namespace kv::test
