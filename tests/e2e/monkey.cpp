// The monkey: a user who creates, removes, saves and forgets drives at
// random, by menu, shortcut or toolbar, and checks after every action what
// must hold whatever the user did (ExpectConsistent), so that orders of
// actions no scripted case thought of still show their faults. The seed
// decides every choice; the same seed on the same program replays the run.
#include "monkey.h"

#include <windows.h>

#include <fstream>
#include <random>

#include "driver.h"
#include "resource.h"

namespace e2e {
namespace {

const char kRoot[] = "C:\\kvtest\\monkey";
const char* const kFolders[] = {"\\Plain", "\\With Blanks", "\\Deep\\Inner Folder"};

class Monkey {
public:
    // Each action is noted in `trail` and kept in `last` as it starts.
    Monkey(unsigned seed, std::ofstream& trail, std::string& last)
        : random_(seed), trail_(trail), last_(last), app_(Korvane::Start()), main_(app_.waitMain(30000)) {}

    int run(int seconds) {
        started_ = GetTickCount();
        ExpectConsistent(app_, main_);
        bool (Monkey::*const actions[])() = {&Monkey::create, &Monkey::create, &Monkey::remove,
                                             &Monkey::remove, &Monkey::save,   &Monkey::removeSave};
        while (static_cast<int>(playedMs()) < seconds * 1000) {
            if (!(this->*actions[pick(6)])())
                continue; // not possible now; choose again
            ++count_;
            ExpectConsistent(app_, main_);
        }
        return count_;
    }

    DWORD playedMs() const { return GetTickCount() - started_; }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
    const std::string& any(const std::vector<std::string>& items) {
        return items[pick(static_cast<int>(items.size()))];
    }

    void note(const std::string& what) {
        last_ = "#" + std::to_string(count_ + 1) + " at " + std::to_string(playedMs() / 1000) + " s: " + what;
        trail_ << last_ << std::endl;
    }

    // File > entry, Ctrl+key or the toolbar button, chosen at random.
    void command(const std::string& what, char key, int id) {
        const int how = pick(3);
        note(what + (how == 0 ? " by the menu" : how == 1 ? " by the shortcut" : " by the toolbar"));
        if (how == 0)
            main_.menu('F', key);
        else if (how == 1)
            main_.shortcut(key);
        else
            main_.toolbar(id);
    }

    bool create() {
        const auto letters = main_.freeLetters();
        if (letters.empty() || main_.drives().size() >= 6)
            return false;
        const std::string letter = any(letters), folder = kRoot + std::string(kFolders[pick(3)]);
        main_.openFolder(folder);
        main_.pickLetter(letter);
        command("create " + letter + " on " + folder, 'C', IDM_CREATE);
        app_.answer("Virtual drive " + letter + " created.", IDOK, {IDOK}, 30000);
        Expect(WaitFor([&] { return LongPath(DriveFolder(letter)) == folder; }, 15000),
               letter + " stands for \"" + DriveTarget(letter) + "\", not " + folder);
        main_.clickDrive(letter);
        Expect(WaitFor([&] { return main_.status() == folder; }, 8000), "the status bar shows " + main_.status());
        return true;
    }

    bool remove() {
        const auto rows = main_.drives();
        if (!rows.empty() && pick(10) < 8)
            main_.clickDrive(any(rows));
        const std::string selected = main_.selectedDrive();
        const bool yes = pick(10) < 7;
        command("remove " + (selected.empty() ? "with no row selected" : selected + (yes ? ", Yes" : ", No")), 'R',
                IDM_REMOVE);
        if (selected.empty()) {
            app_.answer("You must select a drive to delete!");
            return true;
        }
        app_.answer("Delete virtual drive " + selected + " ?", yes ? IDYES : IDNO, {IDYES, IDNO});
        if (!yes)
            return true;
        app_.answer("Virtual drive " + selected + " has been deleted!", IDOK, {IDOK}, 30000);
        Expect(WaitFor([&] { return DriveTarget(selected).empty(); }, 15000), selected + " still exists");
        return true;
    }

    bool save() {
        const auto rows = main_.drives();
        if (rows.empty())
            return false;
        const std::string drive = any(rows);
        main_.clickDrive(drive);
        command("save " + drive, 'S', IDM_SAVE);
        Expect(WaitFor([&] { return Contains(main_.savedDrives(), drive); }, 10000), drive + " was not saved");
        return true;
    }

    bool removeSave() {
        const auto saved = main_.savedDrives();
        if (saved.empty())
            return false;
        const std::string drive = any(saved);
        note("remove save " + drive);
        main_.clickSaved(drive);
        main_.removeSave();
        Expect(WaitFor([&] { return !Contains(main_.savedDrives(), drive); }, 10000), drive + " stayed saved");
        Expect(Contains(main_.drives(), drive), "removing the save of " + drive + " removed the drive");
        return true;
    }

    std::mt19937 random_;
    std::ofstream& trail_;
    std::string& last_;
    Korvane app_;
    MainWindow main_;
    DWORD started_ = 0;
    int count_ = 0;
};
} // namespace

// Two drives that a previous session left; saved drives come only from the
// monkey's own saves, so that every record is one it made.
std::string RunMonkey(int seconds, unsigned seed, const std::string& trailFile) {
    std::ofstream trail(trailFile);
    trail << "seed " << seed << std::endl;
    std::string last = "(start-up)";
    try {
        for (const char* sub : kFolders)
            MakeFolder(kRoot + std::string(sub));
        MapDrive("S:", ShortPath(std::string(kRoot) + "\\With Blanks"));
        MapDrive("M:", std::string(kRoot) + "\\Plain");
        Monkey monkey(seed, trail, last);
        const int actions = monkey.run(seconds);
        return "PASS: " + std::to_string(actions) + " actions in " + std::to_string(monkey.playedMs() / 1000) +
               " s, seed " + std::to_string(seed);
    } catch (const std::exception& e) {
        return "FAIL: " + std::string(e.what()) + "; in action " + last + "; seed " + std::to_string(seed);
    }
}

} // namespace e2e
