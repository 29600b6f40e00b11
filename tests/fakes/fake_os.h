// A fake Windows for the unit tests: a device table, a file system of plain
// paths, launched processes and message boxes with scripted answers.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/os.h"
#include "platform/slow_calls.h"

namespace kv::test {

struct Launch {
    std::string verb, file, params, directory;
    int show;
};

struct ShownMessage {
    std::string text;
    MsgStyle style;
};

class FakeOs : public Os {
public:
    std::map<std::string, std::string> devices;       // "X:" -> first target
    std::optional<std::string> defineRefusal;         // what DefineDosDevice answers instead
    std::set<std::string> folders{"C:\\", "C:\\windows", "C:\\windows\\system32"};
    std::map<std::string, std::string> files;         // path -> content
    std::map<std::string, std::string> shortNames;    // long -> short
    std::string systemDirectory = "C:\\windows\\system32";
    std::string programFolder = "C:\\Tools";
    std::vector<Launch> launches;
    int launchResult = 42; // above 32: started
    int failingLaunches = 0; // the first N launches fail
    std::vector<ProgramCall> runs;
    // Replaces the subst emulation below for one run: "started but failed" and
    // the like.
    std::function<ProgramRun(const ProgramCall&)> onRun;
    std::vector<ShownMessage> messages;
    std::deque<Answer> answers; // default Ok / Yes when empty
    int beeps = 0;
    std::function<void()> onMessage; // runs while a message box is open
    // "HKLM\\key" or "HKCU\\key" -> value name -> text; keys listed in
    // refusedKeys cannot be created or opened for writing.
    std::map<std::string, std::map<std::string, std::string>> registry;
    std::set<std::string> refusedKeys;
    std::optional<std::string> commonStartup = std::string("C:\\ProgramData\\Startup");

    // A virtual drive as subst makes it.
    void Subst(const std::string& drive, const std::string& folder)
    {
        devices[drive] = "\\??\\" + folder;
        folders.insert(folder);
    }

    std::vector<std::string> definitions; // the letters DefineDosDevice made, in order
    std::optional<std::string> DefineDosDevice(const std::string& drive, const std::string& folder) override
    {
        if (defineRefusal)
            return defineRefusal;
        definitions.push_back(drive);
        devices[drive] = "\\??\\" + folder;
        return std::nullopt;
    }
    std::optional<std::string> QueryDosDevice(const std::string& drive) override
    {
        const auto it = devices.find(drive);
        if (it == devices.end())
            return std::nullopt;
        return it->second;
    }
    std::string SystemDirectory() override { return systemDirectory; }
    std::string ProgramFolder() override { return programFolder; }
    bool PathExists(const std::string& path) override { return files.count(path) || folders.count(path); }
    std::map<std::string, PathProbe> probes; // a path's answer when it is not simply there or not
    std::vector<std::vector<std::string>> probeRounds; // the paths of each ProbePaths call
    // Paths that answer come first, in order; those with no answer are
    // handed to onAnswer never, as when the bound passes.
    std::vector<PathProbe> ProbePaths(const std::vector<std::string>& paths,
                                      const ProbeAnswered& onAnswer = nullptr) override
    {
        probeRounds.push_back(paths);
        std::vector<PathProbe> answers;
        for (const std::string& path : paths) {
            const auto it = probes.find(path);
            if (it != probes.end())
                answers.push_back(it->second);
            else
                answers.push_back({PathExists(path) ? PathProbe::State::Exists : PathProbe::State::Missing, {}});
            if (onAnswer && answers.back().state != PathProbe::State::NoAnswer)
                onAnswer(answers.size() - 1, answers.back());
        }
        return answers;
    }
    std::optional<std::string> ShortPathName(const std::string& path) override
    {
        const auto it = shortNames.find(path);
        if (it != shortNames.end())
            return it->second;
        return folders.count(path) ? std::optional<std::string>(path) : std::nullopt;
    }
    std::optional<std::string> LongPathName(const std::string& path) override
    {
        for (const auto& [longName, shortName] : shortNames)
            if (shortName == path)
                return longName;
        return folders.count(path) ? std::optional<std::string>(path) : std::nullopt;
    }
    bool CreateDirectory(const std::string& path) override { return folders.insert(path).second; }
    std::set<std::string> sharedFolders; // made for every user to change
    bool CreateDirectoryForUsers(const std::string& path) override
    {
        sharedFolders.insert(path);
        return CreateDirectory(path);
    }
    std::set<std::string> protectedPaths; // writable by administrators only
    bool OnlyAdministratorsCanWrite(const std::string& path) override { return protectedPaths.count(path) > 0; }
    bool elevated = false;
    bool IsElevated() override { return elevated; }
    std::optional<std::string> WriteFile(const std::string& path, const std::string& bytes) override
    {
        if (!folders.count(path.substr(0, path.rfind('\\'))))
            return std::string("The system cannot find the path specified.");
        files[path] = bytes;
        return std::nullopt;
    }
    std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override
    {
        const auto it = files.find(path);
        if (it == files.end() || it->second.size() > maxBytes)
            return std::nullopt;
        return it->second;
    }
    std::set<std::string> lockedFiles; // cannot be deleted
    std::optional<std::string> DeleteFile(const std::string& path) override
    {
        if (lockedFiles.count(path))
            return std::string("Access is denied.");
        files.erase(path);
        return std::nullopt;
    }
    bool CopyFile(const std::string& from, const std::string& to) override
    {
        return files.count(from) && !WriteFile(to, files[from]);
    }
    // The fake's code page holds ASCII only.
    std::optional<std::string> ToAnsiExactly(const std::string& utf8) override
    {
        if (std::any_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            return std::nullopt;
        return utf8;
    }
    std::string FromAnsi(const std::string& bytes) override { return bytes; }
    static std::string KeyName(RegistryRoot root, const std::string& key)
    {
        return (root == RegistryRoot::LocalMachine ? "HKLM\\" : "HKCU\\") + key;
    }
    RegistryWrite WriteRegistryText(RegistryRoot root, const std::string& key, const std::string& name,
                                    const std::string& text) override
    {
        if (refusedKeys.count(KeyName(root, key)))
            return RegistryWrite::KeyRefused;
        registry[KeyName(root, key)][name] = text;
        return RegistryWrite::Written;
    }
    std::optional<std::string> ReadRegistryText(RegistryRoot root, const std::string& key,
                                                const std::string& name) override
    {
        const auto values = registry.find(KeyName(root, key));
        if (values == registry.end() || !values->second.count(name))
            return std::nullopt;
        return values->second.at(name);
    }
    std::set<std::string> refusedDeletes; // "HKLM\\key" whose values cannot be deleted
    bool DeleteRegistryValue(RegistryRoot root, const std::string& key, const std::string& name) override
    {
        if (refusedDeletes.count(KeyName(root, key)))
            return false;
        const auto values = registry.find(KeyName(root, key));
        if (values != registry.end())
            values->second.erase(name);
        return true;
    }
    std::optional<std::string> CommonStartupFolder() override { return commonStartup; }
    int ShellExecute(const char* verb, const char* file, const char* params, const char* directory,
                     int show) override
    {
        auto text = [](const char* s) { return s ? std::string(s) : std::string("<null>"); };
        launches.push_back({text(verb), text(file), text(params), text(directory), show});
        if (failingLaunches > 0) {
            --failingLaunches;
            return 2; // ERROR_FILE_NOT_FOUND
        }
        return launchResult;
    }
    std::vector<unsigned> timeouts; // one per run
    ProgramRun RunProgram(const ProgramCall& call, unsigned timeoutMs) override
    {
        timeouts.push_back(timeoutMs);
        runs.push_back(call);
        return onRun ? onRun(call) : EmulateSubst(call.arguments);
    }

    // What subst.exe does with "X: folder" and "X: /D", refusals included.
    ProgramRun EmulateSubst(const std::string& arguments)
    {
        auto refuse = [](const std::string& words) {
            return ProgramRun{ProgramRun::End::Exited, 1, words + "\r\n", {}};
        };
        const std::string drive = arguments.substr(0, 2);
        std::string rest = arguments.size() > 3 ? arguments.substr(3) : std::string();
        if (rest == "/D") {
            const auto it = devices.find(drive);
            if (it == devices.end() || it->second.compare(0, 4, "\\??\\") != 0)
                return refuse("Invalid parameter - " + drive);
            devices.erase(it);
            return {ProgramRun::End::Exited, 0, {}, {}};
        }
        if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
            rest = rest.substr(1, rest.size() - 2);
        if (!folders.count(rest))
            return refuse("Path not found - " + rest);
        if (devices.count(drive))
            return refuse("Drive already SUBSTed");
        devices[drive] = "\\??\\" + rest;
        return {ProgramRun::End::Exited, 0, {}, {}};
    }

    Answer MessageBox(const std::string& text, MsgStyle style) override
    {
        messages.push_back({text, style});
        if (onMessage)
            onMessage();
        if (answers.empty())
            return style == MsgStyle::Question ? Answer::Yes : Answer::Ok;
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Beep() override { ++beeps; }

    // Named locks held by other processes; the fake's own are counted while held.
    std::set<std::string> locksHeldElsewhere;
    std::map<std::string, int> locksHeld;
    struct FakeLock : SessionLock {
        FakeOs& os;
        std::string name;
        FakeLock(FakeOs& o, std::string n) : os(o), name(std::move(n)) { ++os.locksHeld[name]; }
        ~FakeLock() override { --os.locksHeld[name]; }
    };
    std::unique_ptr<SessionLock> LockSession(const std::string& name, unsigned) override
    {
        if (locksHeldElsewhere.count(name) || locksHeld[name] > 0)
            return nullptr;
        return std::make_unique<FakeLock>(*this, name);
    }

    // A clock that moves only when the program sleeps; onSleep runs at each.
    unsigned long long now = 1000000;
    std::function<void()> onSleep;
    unsigned long long TickCount() override { return now; }
    void Sleep(unsigned ms) override
    {
        now += ms;
        if (onSleep)
            onSleep();
    }
    std::string LocalTimeStamp() override { return "2026-12-06 08:00:00"; }
    std::optional<std::string> localAppData = std::string("C:\\Users\\ann\\AppData\\Local");
    std::optional<std::string> LocalAppDataFolder() override { return localAppData; }
};

// The slow calls over the fake system. They answer at once unless told to
// hold: then each waits until the test answers it or lets its bound pass.
class FakeSlowCalls : public SlowCalls {
public:
    explicit FakeSlowCalls(FakeOs& os) : os_(os) {}
    bool hold = false;
    std::vector<std::pair<std::string, LongPathAnswer>> held;

    void LongPathName(const std::string& path, LongPathAnswer answer) override
    {
        if (hold)
            held.emplace_back(path, std::move(answer));
        else
            answer(LongPath{true, os_.LongPathName(path)});
    }
    void Explore(const std::string& folder) override
    {
        os_.ShellExecute("explore", folder.c_str(), nullptr, nullptr, kShowNormal);
    }
    // Answers the held call at `index`, from the fake system or, when the
    // bound passes first, with no answer.
    void Answer(size_t index, bool withinBound = true)
    {
        LongPathAnswer answer = std::move(held.at(index).second);
        answer(withinBound ? LongPath{true, os_.LongPathName(held[index].first)} : LongPath{});
    }

private:
    FakeOs& os_;
};

} // namespace kv::test
