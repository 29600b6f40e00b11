// kvbench.exe: the measurements of scripts/bench, taken inside Wine.
//   kvbench.exe <program folder> <minimal.exe> <runs> <result file> <yes|no: measure korstart.exe>
// Writes one line per figure to the result file:
//   start <program> <median ms> <each run ms...>   start to first visible window
//   memory <program> <median KiB>                  peak working set, window up
//   korstart <ms> <drives made> <records>          26 saved drives re-created
// Korvane's first window is its splash; for the working set it waits for the
// main window. Every program is ended after its measurement.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Millis() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Search {
    DWORD pid;
    const char* className;
    bool found;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char name[64] = {};
    if (pid == search->pid && IsWindowVisible(hwnd) && GetClassNameA(hwnd, name, sizeof name) &&
        lstrcmpA(name, search->className) == 0) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

bool HasVisibleWindow(DWORD pid, const char* className) {
    Search search{pid, className, false};
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class Run {
public:
    Run(const std::string& exe, const std::string& folder) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + exe + "\"";
        started_ = Millis();
        ok_ = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                             &startup, &info_) != FALSE;
    }
    ~Run() {
        if (!ok_)
            return;
        TerminateProcess(info_.hProcess, 0);
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    // Milliseconds from the start to a visible window of the class, or -1.
    double waitWindow(const char* className, int timeoutMs = 20000) const {
        if (!ok_)
            return -1;
        while (Millis() - started_ < timeoutMs) {
            if (HasVisibleWindow(info_.dwProcessId, className))
                return Millis() - started_;
            if (WaitForSingleObject(info_.hProcess, 1) == WAIT_OBJECT_0)
                return -1;
        }
        return -1;
    }
    double waitExit(int timeoutMs = 60000) const {
        if (!ok_ || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return -1;
        return Millis() - started_;
    }
    double elapsed() const { return Millis() - started_; }
    SIZE_T peakWorkingSet() const {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        return ok_ && GetProcessMemoryInfo(info_.hProcess, &counters, sizeof counters) ? counters.PeakWorkingSetSize
                                                                                       : 0;
    }

private:
    PROCESS_INFORMATION info_{};
    double started_ = 0;
    bool ok_ = false;
};

template<typename T>
T Median(std::vector<T> values) {
    if (values.empty())
        return T();
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }
std::string Name(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

struct Program {
    std::string exe;
    const char* firstWindow;
    const char* workingWindow;
    std::vector<double> starts;
};

void MeasureStarts(std::vector<Program>& programs, int runs) {
    // One start of each first, to warm the caches; then the programs take turns.
    for (int i = -1; i < runs; ++i) {
        for (Program& p : programs) {
            Run run(p.exe, Folder(p.exe));
            const double ms = run.waitWindow(p.firstWindow);
            if (i >= 0 && ms >= 0)
                p.starts.push_back(ms);
        }
    }
}

SIZE_T MeasureMemory(const Program& p, int runs) {
    std::vector<SIZE_T> peaks;
    for (int i = 0; i < runs; ++i) {
        Run run(p.exe, Folder(p.exe));
        if (run.waitWindow(p.workingWindow) < 0)
            continue;
        Sleep(700);
        peaks.push_back(run.peakWorkingSet() / 1024);
    }
    return Median(peaks);
}

// Records for all 26 letters, each naming a folder of its own, then one run
// of the companion: the time until it has ended and every letter that was
// free names its folder.
void MeasureCompanion(const std::string& folder, FILE* out) {
    const std::string exe = folder + "\\korstart.exe";
    const std::string data = folder + "\\kordat";
    CreateDirectoryA(data.c_str(), nullptr);
    CreateDirectoryA("C:\\kvbench\\drives", nullptr);
    std::vector<char> expected;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string target = std::string("C:\\kvbench\\drives\\") + letter;
        CreateDirectoryA(target.c_str(), nullptr);
        const std::string line = target + "\r\n";
        HANDLE file = CreateFileA((data + "\\" + letter + ".ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
        const std::string drive = std::string(1, letter) + ":";
        char device[512];
        if (!QueryDosDeviceA(drive.c_str(), device, sizeof device))
            expected.push_back(letter);
    }
    const auto made = [&] {
        int count = 0;
        for (char letter : expected) {
            char device[512] = {};
            const std::string drive = std::string(1, letter) + ":";
            if (QueryDosDeviceA(drive.c_str(), device, sizeof device) &&
                std::string(device).find(std::string("drives\\") + letter) != std::string::npos)
                ++count;
        }
        return count;
    };
    Run run(exe, folder);
    double ms = run.waitExit();
    const double deadline = Millis() + 20000;
    while (ms >= 0 && made() < static_cast<int>(expected.size()) && Millis() < deadline)
        Sleep(5);
    const int count = made();
    if (ms >= 0)
        ms = run.elapsed();
    std::fprintf(out, "korstart %.0f %d %d\n", ms, count, static_cast<int>(expected.size()));
    for (char letter : expected)
        DefineDosDeviceA(DDD_REMOVE_DEFINITION, (std::string(1, letter) + ":").c_str(), nullptr);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: kvbench <program folder> <minimal.exe> <runs> <result file> <yes|no>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int runs = std::max(1, std::atoi(argv[3]));
    FILE* out = std::fopen(argv[4], "w");
    if (!out)
        return 1;
    std::vector<Program> programs = {
        {folder + "\\korvane.exe", "KorvaneSplash", "KorvaneMain", {}},
        {argv[2], "KvMinimal", "KvMinimal", {}},
    };
    MeasureStarts(programs, runs);
    for (const Program& p : programs) {
        std::fprintf(out, "start %s %.1f", Name(p.exe).c_str(), Median(p.starts));
        for (double ms : p.starts)
            std::fprintf(out, " %.0f", ms);
        std::fprintf(out, "\n");
    }
    std::fflush(out);
    for (const Program& p : programs)
        std::fprintf(out, "memory %s %lu\n", Name(p.exe).c_str(), static_cast<unsigned long>(MeasureMemory(p, 3)));
    std::fflush(out);
    if (std::string(argv[5]) == "yes")
        MeasureCompanion(folder, out);
    else
        std::fprintf(out, "korstart missing\n");
    std::fclose(out);
    return 0;
}
