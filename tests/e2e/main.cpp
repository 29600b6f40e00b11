// kve2e.exe: runs one end-to-end case by name inside the Wine desktop.
//   kve2e.exe --list                       prints the case names
//   kve2e.exe <case> <result file> [shots [boot]]
//                                          writes PASS, FAIL: reason, or REBOOT
//   kve2e.exe --screenshots <folder>       starts Korvane, pictures the splash, the main
//                                          and the about window, ends it
//   kve2e.exe --check-slow-drive <result file>
//                                          times calls on the slow drive N: against others
//   kve2e.exe --monkey <seconds> <seed> <result file> <trail file> [shots]
//                                          random user actions, checked after each
// The desktop does not pass exit codes on, hence the result file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "../bench/e2e_tools.h"
#include "driver.h"
#include "monkey.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const auto& c : e2e::Cases())
            std::printf("%s\n", c.first.c_str());
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--screenshots") == 0)
        return e2e::Screenshots(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "--check-slow-drive") == 0) {
        std::string report;
        try {
            e2e::MakeFolder(e2e::kScratch);
            report = e2e::CheckSlowDrive();
        } catch (const std::exception& e) {
            report = std::string("FAIL: ") + e.what() + "\n";
        }
        std::ofstream(argv[2]) << report;
        std::printf("%s", report.c_str());
        return 0;
    }
    if (argc >= 6 && std::strcmp(argv[1], "--monkey") == 0) {
        if (argc >= 7)
            e2e::SetFailureScreenshot(std::string(argv[6]) + "\\monkey.bmp");
        std::printf("monkey seed %s\n", argv[3]);
        const std::string verdict =
            e2e::RunMonkey(std::atoi(argv[2]), static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)), argv[5]);
        std::ofstream(argv[4]) << verdict << "\n";
        std::printf("%s\n", verdict.c_str());
        return verdict.rfind("PASS", 0) == 0 ? 0 : 1;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: kve2e --list | kve2e <case> <result file> [screenshot folder]\n");
        return 2;
    }
    const std::string name = argv[1];
    std::string verdict = "FAIL: no such case";
    for (const auto& c : e2e::Cases()) {
        if (c.first != name)
            continue;
        if (argc >= 4)
            e2e::SetFailureScreenshot(std::string(argv[3]) + "\\" + name + ".bmp");
        if (argc >= 5)
            e2e::SetBoot(std::atoi(argv[4]));
        try {
            e2e::MakeFolder(e2e::kScratch);
            c.second();
            verdict = "PASS";
        } catch (const e2e::RebootRequest&) {
            verdict = "REBOOT";
        } catch (const std::exception& e) {
            verdict = std::string("FAIL: ") + e.what();
        }
    }
    std::ofstream(argv[2]) << verdict << "\n";
    std::printf("%s %s\n", name.c_str(), verdict.c_str());
    return verdict == "PASS" ? 0 : 1;
}
