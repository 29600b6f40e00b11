// kve2e.exe: runs one end-to-end case by name inside the Wine desktop.
//   kve2e.exe --list                       prints the case names
//   kve2e.exe <case> <result file> [shots]  writes PASS or FAIL: reason
// The desktop does not pass exit codes on, hence the result file.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "driver.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const auto& c : e2e::Cases()) std::printf("%s\n", c.first.c_str());
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: kve2e --list | kve2e <case> <result file> [screenshot folder]\n");
        return 2;
    }
    const std::string name = argv[1];
    std::string verdict;
    bool known = false;
    for (const auto& c : e2e::Cases()) {
        if (c.first != name) continue;
        known = true;
        try {
            e2e::MakeFolder(e2e::kScratch);
            c.second();
            verdict = "PASS";
        } catch (const std::exception& e) {
            verdict = std::string("FAIL: ") + e.what();
            if (argc >= 4) e2e::TakeScreenshot(std::string(argv[3]) + "\\" + name + ".bmp");
        }
    }
    if (!known) verdict = "FAIL: no such case";
    std::ofstream(argv[2]) << verdict << "\n";
    std::printf("%s %s\n", name.c_str(), verdict.c_str());
    return verdict == "PASS" ? 0 : 1;
}
