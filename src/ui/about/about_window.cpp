#include "ui/about/about_window.h"

#include <utility>

#include "platform/win32/dpi.h"
#include "platform/win32/fonts.h"
#include "resource.h"

namespace kv {
namespace {

constexpr wchar_t kClassName[] = L"KorvaneAbout";
constexpr wchar_t kCaption[] = L"Korvane";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr COLORREF kTeal = RGB(0, 192, 192);
constexpr COLORREF kLinkRed = RGB(255, 0, 0);
constexpr COLORREF kRuleGrey = RGB(128, 128, 128);
constexpr COLORREF kRuleWhite = RGB(255, 255, 255);

// The description keeps its runs of blanks: seven before the first word, five
// after the last.
constexpr wchar_t kDescription[] = L"       This tool turns a folder into a drive letter. It is freeware.     ";
constexpr wchar_t kRights[] = L"Copyright \u00A9 2026 Ondrel Kastry. All rights reserved.";
constexpr wchar_t kWebsiteAddress[] = L"http://www.kastry.example";
// The values stand in the query as they are, blank and scheme included; the
// shell hands the address on unchanged.
constexpr wchar_t kDonationAddress[] =
    L"https://www.paypal.com/cgi-bin/webscr?no_shipping=1&return=http://www.kastry.example"
    L"&item_name=Ondrel Kastry donation&business=donate@kastry.example&cmd=_xclick";

// Client area and control placement, in twips (1/1440 inch).
constexpr int kClientWidth = 5730;
constexpr int kClientHeight = 2940;
struct Placement {
    int x, y, width, height;
};
constexpr Placement kIconPlace{120, 120, 480, 480};
constexpr Placement kTitlePlace{923, 0, 3885, 480};
constexpr Placement kDescriptionPlace{1763, 600, 2205, 600};
constexpr Placement kRightsPlace{563, 1320, 4605, 225};
constexpr Placement kWebsitePlace{2063, 1920, 1605, 240};
constexpr Placement kOkPlace{1560, 2520, 1260, 345};
constexpr Placement kDonatePlace{3000, 2520, 1215, 375};
// The etched rule: a grey line with a white one a pixel below it.
constexpr int kRuleGreyLeft = 90;
constexpr int kRuleWhiteLeft = 105;
constexpr int kRuleRight = 5654;
constexpr int kRuleGreyTop = 2445;
constexpr int kRuleWhiteTop = 2460;

HICON LoadIconSized(HINSTANCE instance, int id, int size) {
    return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}

} // namespace

AboutWindow::AboutWindow(HINSTANCE instance) : instance_(instance) {}

AboutWindow::~AboutWindow() {
    if (hwnd_ != nullptr) {
        Close();
    }
}

// The owner is disabled for as long as the window is up, and this loop serves
// every window of the thread meanwhile, so the main window's timers still
// tick. A quit request ends the loop and is passed on to the outer one.
bool AboutWindow::ShowModal(HWND owner) {
    if (!Create(owner)) {
        return false;
    }
    ::EnableWindow(owner_, FALSE);
    CenterOverOwner();
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    ::SetFocus(ok_);
    MSG msg{};
    while (hwnd_ != nullptr) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            }
            break;
        }
        // Tab between the buttons, Enter for the default button, Esc for cancel.
        if (::IsDialogMessageW(hwnd_, &msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (hwnd_ != nullptr) {
        Close();
    }
    return true;
}

bool AboutWindow::Create(HWND owner) {
    owner_ = owner;
    dpi_ = WindowDpi(owner);
    background_.Reset(::CreateSolidBrush(kTeal));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &WindowProcFor<AboutWindow>;
    wc.hInstance = instance_;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    // Owned by the main window: it stays above it and out of the taskbar.
    RECT frame{0, 0, Px(kClientWidth), Px(kClientHeight)};
    ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    return ::CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                             frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, instance_,
                             this) != nullptr;
}

LRESULT AboutWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_ERASEBKGND:
        OnEraseBackground(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam))) {
            return TRUE;
        }
        break;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

bool AboutWindow::OnCreate() {
    title_ = CreateChild(L"STATIC", kCaption, SS_CENTER | SS_NOPREFIX, IDC_ABOUT_TITLE);
    description_ = CreateChild(L"STATIC", kDescription, SS_LEFT | SS_NOPREFIX, IDC_ABOUT_DESC);
    rights_ = CreateChild(L"STATIC", kRights, SS_CENTER | SS_NOPREFIX, IDC_ABOUT_RIGHTS);
    // SS_NOTIFY makes the label take clicks and the pointer.
    website_ = CreateChild(L"STATIC", L"Visit website", SS_CENTER | SS_NOTIFY, IDC_ABOUT_WEBSITE);
    ok_ = CreateChild(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK);
    donate_ = CreateChild(L"BUTTON", L"&Donate", BS_PUSHBUTTON | WS_TABSTOP, IDC_ABOUT_DONATE);
    if (title_ == nullptr || description_ == nullptr || rights_ == nullptr || website_ == nullptr || ok_ == nullptr ||
        donate_ == nullptr) {
        return false;
    }
    if (!CreateFonts()) {
        return false;
    }
    LoadPictures();
    Layout();
    return true;
}

// OK, Enter (the default button) and Esc (cancel) all close the window.
void AboutWindow::OnCommand(int id, int code) {
    switch (id) {
    case IDOK:
    case IDCANCEL:
        Close();
        break;
    case IDC_ABOUT_WEBSITE:
        if (code == STN_CLICKED) {
            OpenWebsite();
        }
        break;
    case IDC_ABOUT_DONATE:
        if (code == BN_CLICKED) {
            OpenDonationPage();
        }
        break;
    default:
        break;
    }
}

// The class outlives each window and its brush, so the window paints its own teal.
void AboutWindow::OnEraseBackground(HDC dc) {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    ::FillRect(dc, &client, background_.Get());
}

// The program icon and the etched rule are drawn on the window itself.
void AboutWindow::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd_, &ps);
    if (icon_) {
        ::DrawIconEx(dc, Px(kIconPlace.x), Px(kIconPlace.y), icon_.Get(), Px(kIconPlace.width), Px(kIconPlace.height),
                     0, nullptr, DI_NORMAL);
    }
    const int thickness = Px(15) > 0 ? Px(15) : 1;
    const RECT grey{Px(kRuleGreyLeft), Px(kRuleGreyTop), Px(kRuleRight), Px(kRuleGreyTop) + thickness};
    const RECT white{Px(kRuleWhiteLeft), Px(kRuleWhiteTop), Px(kRuleRight), Px(kRuleWhiteTop) + thickness};
    if (HBRUSH brush = ::CreateSolidBrush(kRuleGrey)) {
        ::FillRect(dc, &grey, brush);
        ::DeleteObject(brush);
    }
    if (HBRUSH brush = ::CreateSolidBrush(kRuleWhite)) {
        ::FillRect(dc, &white, brush);
        ::DeleteObject(brush);
    }
    ::EndPaint(hwnd_, &ps);
}

// Labels and the buttons' corners take the window's teal; the link is red.
HBRUSH AboutWindow::OnCtlColor(HDC dc, HWND control) {
    ::SetBkColor(dc, kTeal);
    ::SetBkMode(dc, TRANSPARENT);
    if (control == website_) {
        ::SetTextColor(dc, kLinkRed);
    }
    return background_.Get();
}

bool AboutWindow::OnSetCursor(HWND under) {
    if (under != website_) {
        return false;
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return true;
}

// Moved to a monitor of another DPI: the system suggests the new frame.
void AboutWindow::OnDpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    CreateFonts();
    LoadPictures();
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

// The owner takes input again before the window goes, so that the system
// hands the activation back to it and not to another program.
void AboutWindow::Close() {
    if (owner_ != nullptr) {
        ::EnableWindow(owner_, TRUE);
    }
    ::DestroyWindow(hwnd_);
}

// The shell opens the addresses with the default browser; what it makes of
// them is not ours to report, and the window stays open.
void AboutWindow::OpenWebsite() { ::ShellExecuteW(hwnd_, L"open", kWebsiteAddress, nullptr, nullptr, SW_SHOWNORMAL); }

void AboutWindow::OpenDonationPage() {
    ::ShellExecuteW(hwnd_, L"open", kDonationAddress, nullptr, nullptr, SW_SHOWNORMAL);
}

bool AboutWindow::CreateFonts() {
    // The title's face, then serif faces a system is likely to have.
    titleFont_.Reset(
        MakeFont(FirstInstalledFace({L"Palatino Linotype", L"Book Antiqua", L"Georgia", L"Times New Roman"}), 2175,
                 FW_BOLD, FF_ROMAN, dpi_));
    textFont_.Reset(MakeFont(FirstInstalledFace({L"Microsoft Sans Serif", L"Tahoma"}), 825, FW_NORMAL, FF_SWISS, dpi_));
    if (!titleFont_ || !textFont_) {
        return false;
    }
    ::SendMessageW(title_, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.Get()), FALSE);
    for (HWND control : {description_, rights_, website_, ok_, donate_}) {
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.Get()), FALSE);
    }
    return true;
}

// Icons at the size the DPI asks for, from the sizes the resources hold.
void AboutWindow::LoadPictures() {
    icon_.Reset(LoadIconSized(instance_, IDI_KORVANE, Px(kIconPlace.width)));
    // The button lets go of the old picture before it is destroyed.
    IconHandle donate(LoadIconSized(instance_, IDI_DONATE, ::MulDiv(16, dpi_, kDefaultDpi)));
    ::SendMessageW(donate_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(donate.Get()));
    donateIcon_ = std::move(donate);
}

void AboutWindow::Layout() {
    const struct {
        HWND control;
        Placement place;
    } controls[] = {
        {title_, kTitlePlace}, {description_, kDescriptionPlace}, {rights_, kRightsPlace}, {website_, kWebsitePlace},
        {ok_, kOkPlace},       {donate_, kDonatePlace},
    };
    for (const auto& c : controls) {
        ::MoveWindow(c.control, Px(c.place.x), Px(c.place.y), Px(c.place.width), Px(c.place.height), TRUE);
    }
}

// Centred over the main window, kept on the screen the main window is on.
void AboutWindow::CenterOverOwner() {
    RECT window{};
    ::GetWindowRect(hwnd_, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    RECT over{};
    if (owner_ == nullptr || !::GetWindowRect(owner_, &over)) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
    }
    int x = over.left + ((over.right - over.left) - width) / 2;
    int y = over.top + ((over.bottom - over.top) - height) / 2;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromRect(&over, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        x = x + width > work.right ? work.right - width : x;
        y = y + height > work.bottom ? work.bottom - height : y;
        x = x < work.left ? work.left : x;
        y = y < work.top ? work.top : y;
    }
    ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND AboutWindow::CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, int id) {
    return ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
}

int AboutWindow::Px(int twips) const { return TwipsToPixels(twips, dpi_); }

} // namespace kv
