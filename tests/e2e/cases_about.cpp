// The about window: modal over the main window, closed every way a user
// closes it, and its two addresses handed to the shell as they are.
#include "driver.h"
#include "resource.h"

using namespace e2e;

namespace {
const char kWebsite[] = "http://www.kastry.example";
const char kDonation[] = "https://www.paypal.com/cgi-bin/webscr?no_shipping=1&return=http://www.kastry.example"
                         "&item_name=Ondrel Kastry donation&business=donate@kastry.example&cmd=_xclick";

void Focus(HWND window) {
    SetForegroundWindow(window);
    WaitFor([&] { return GetForegroundWindow() == window; }, 2000);
}

// What the stand-in browser was started with, after its own path.
std::string OpenedAddress(const std::string& logLine) {
    const size_t split = logLine.find("\" \"");
    return split == std::string::npos ? logLine : logLine.substr(split + 2);
}

// Each click on an address hands it to the shell once, as it is, and the
// about window stays open and modal.
void ExpectAddressesOpen(const MainWindow& main, HWND about) {
    const struct {
        int control;
        const char* address;
    } addresses[] = {{IDC_ABOUT_WEBSITE, kWebsite}, {IDC_ABOUT_DONATE, kDonation}};
    for (size_t i = 0; i < 4; ++i) {
        const auto& click = addresses[i % 2]; // each twice, in turn
        Focus(about);
        // Hover first and let the window see the pointer arrive, as a hand on
        // a mouse does: a press that comes with the move is sometimes lost.
        const POINT at = Centre(GetDlgItem(about, click.control));
        Hover(at);
        Sleep(500);
        Click(at);
        const std::string which = "click " + std::to_string(i + 1);
        Expect(WaitFor([&] { return OpenLog().size() > i; }, 8000), which + " did not reach the shell");
        ExpectEq(OpenedAddress(OpenLog().back()), std::string("\"") + click.address + "\"", "address of " + which);
        Expect(IsWindowVisible(about) && !main.enabled(), "the about window did not stay open and modal");
    }
    Sleep(1000);
    ExpectEq(static_cast<long long>(OpenLog().size()), 4, "addresses handed to the shell");
}
} // namespace

KV_CASE(about_opens_modally_and_closes_every_way) {
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    const struct {
        const char* open;
        std::function<void()> opener;
        const char* close;
        std::function<void(HWND)> closer; // with the about window in front
    } ways[] = {
        {"Ctrl+A", [&] { main.shortcut('A'); }, "the title bar's close",
         [](HWND a) { PostMessageW(a, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Help > About", [&] { main.menu('H', 'A'); }, "Enter", [](HWND) { Keys({VK_RETURN}); }},
        {"Ctrl+A", [&] { main.shortcut('A'); }, "Esc", [](HWND) { Keys({VK_ESCAPE}); }},
        {"Help > About", [&] { main.menu('H', 'A'); }, "OK", [](HWND a) { Click(Centre(GetDlgItem(a, IDOK))); }},
    };
    for (const auto& way : ways) {
        const std::string how = std::string(way.open) + " closed by " + way.close;
        way.opener();
        HWND about = WaitWindow([&] { return app.window("KorvaneAbout"); }, 5000, how + ": no about window opened");
        Expect(!main.enabled(), how + ": the main window takes input under the about window");
        if (&way == &ways[0]) {
            ExpectEq(TextOf(about), "Korvane", "about window title");
            const std::string description = TextOf(GetDlgItem(about, IDC_ABOUT_DESC));
            const std::string end = "freeware.     ";
            Expect(description.rfind("       This ", 0) == 0 && description.size() > end.size() &&
                       description.compare(description.size() - end.size(), end.size(), end) == 0,
                   "the description's blanks: \"" + description + "\"");
            const LONG style = GetWindowLongW(about, GWL_STYLE);
            Expect(!(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)), "the about window has a minimize or maximize box");
            Expect(GetWindow(about, GW_OWNER) == main.hwnd(), "the about window is not kept over the main window");
            const POINT a = Centre(about), m = Centre(main.hwnd());
            Expect(std::abs(a.x - m.x) <= 2 && std::abs(a.y - m.y) <= 2,
                   "the about window is not centred over the main window");
            // A click on the main window's Manual button must not get through.
            Click(main.toolbarButton(IDM_MANUAL));
            Sleep(1500);
            Expect(OpenLog().empty(), "a click on the disabled main window opened the manual");
            Expect(IsWindowVisible(about) != FALSE, "a click on the main window closed the about window");
            ExpectAddressesOpen(main, about);
        }
        Focus(about);
        way.closer(about);
        Expect(WaitFor([&] { return !IsWindow(about); }, 3000), how + ": the window is still there");
        Expect(WaitFor([&] { return main.enabled(); }, 2000), how + ": the main window stays disabled");
        Expect(app.running() && !app.hasMessage(), how + " disturbed the program");
    }
    ExpectConsistent(app, main);
    main.menu('F', 'E');
    Expect(app.waitExit(3000), "File > Exit did not end the program");
}
