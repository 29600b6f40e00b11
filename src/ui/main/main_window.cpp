#include "ui/main/main_window.h"

#include <iterator>
#include <utility>

#include <dbt.h>
#include <shellapi.h>

#include "startup/startup.h"
#include "platform/win32/control_util.h"
#include "platform/win32/dpi.h"
#include "platform/win32/folder_list.h"
#include "platform/win32/fonts.h"
#include "resource.h"
#include "ui/about/about_window.h"
#include "ui/label/label_dialog.h"

namespace kv {
namespace {

constexpr wchar_t kClassName[] = L"KorvaneMain";
constexpr wchar_t kCaption[] = L"Korvane";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr COLORREF kTeal = RGB(0, 192, 192);
constexpr UINT kTimerIntervalMs = 1000;
// A device change comes as several broadcasts in a row; the drives are read
// once they settle.
constexpr UINT kDrivesSettleMs = 200;
// Not every change is broadcast (a letter defined without it, by another
// user's tool or the system itself), so the drives are also looked at now
// and then; the look reads the device table and the record files only.
constexpr UINT kDrivesLookMs = 1000;
constexpr int kToolbarImageSize = 32;

// Client area and control placement, in twips (1/1440 inch).
constexpr int kClientWidth = 5760;
constexpr int kClientHeight = 6540;
constexpr int kToolbarHeight = 660;
constexpr int kToolbarButtonWidth = 600; // 40 px at 96 dpi: seven fit left of `pb`
constexpr int kProgressLeft = 4200;      // right of the seventh button; its right edge stays
constexpr int kProgressWidth = 1575;
constexpr int kToolbarButtonHeight = 615;

struct ToolbarButton {
    int command;
    const wchar_t* caption;
};

// In this order: a button's position is what the user learns to find it by.
constexpr ToolbarButton kToolbarButtons[] = {
    {IDM_CREATE, L"Create drive"}, {IDM_OPENPATH, L"Open path"}, {IDM_REMOVE, L"Remove drive"}, {IDM_SAVE, L"Save"},
    {IDM_LABEL, L"Label"},         {IDM_MANUAL, L"Manual"},      {IDM_EXIT, L"Exit"},
};

// Every command a menu entry, accelerator or button can give; those without a
// route are shown disabled.
constexpr int kAllCommands[] = {IDM_CREATE, IDM_REMOVE,         IDM_OPENPATH,        IDM_SAVE,  IDM_LABEL,     IDM_EXIT,
                                IDM_MANUAL, IDM_SAVE_ALL_USERS, IDM_ELEVATED_DRIVES, IDM_ABOUT, IDC_REMOVESAVE};
// The commands that ask the system for administrator rights wear its shield.
constexpr int kElevatingCommands[] = {IDM_SAVE_ALL_USERS, IDM_ELEVATED_DRIVES};

const wchar_t* ToolbarCaption(UINT_PTR command) {
    for (const ToolbarButton& button : kToolbarButtons) {
        if (static_cast<UINT_PTR>(button.command) == command) {
            return button.caption;
        }
    }
    return nullptr;
}

// The button images are drawn at 32 and at 48 pixels; a DPI gets the larger
// of the two that fits its buttons, never a blurred scale.
int ToolbarImageSize(int dpi) { return ::MulDiv(kToolbarImageSize, dpi, kDefaultDpi) >= 48 ? 48 : kToolbarImageSize; }

// The strip of button images, stored with a palette and keyed on the colour
// of its top-left pixel. The key becomes transparency in a 32-bit copy, so
// that the toolbar can also draw the images of disabled buttons greyed
// from their shapes.
HIMAGELIST LoadToolbarImages(HINSTANCE instance, int size) {
    const int id = size == 48 ? IDB_TOOLBAR48 : IDB_TOOLBAR;
    BitmapHandle strip(
        static_cast<HBITMAP>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!strip) {
        return nullptr;
    }
    BITMAP info{};
    ::GetObjectW(strip.Get(), sizeof(info), &info);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = info.bmWidth;
    format.bmiHeader.biHeight = -info.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    BitmapHandle argb(::CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC source = ::CreateCompatibleDC(nullptr);
    HDC target = ::CreateCompatibleDC(nullptr);
    if (!argb || source == nullptr || target == nullptr) {
        ::DeleteDC(source);
        ::DeleteDC(target);
        return nullptr;
    }
    HGDIOBJ oldSource = ::SelectObject(source, strip.Get());
    HGDIOBJ oldTarget = ::SelectObject(target, argb.Get());
    const COLORREF key = ::GetPixel(source, 0, 0);
    ::BitBlt(target, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    ::GdiFlush();
    const DWORD keyBgr = (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);
    auto* pixel = static_cast<DWORD*>(bits);
    for (LONG i = 0; i < info.bmWidth * info.bmHeight; ++i) {
        const DWORD colour = pixel[i] & 0x00FFFFFF;
        pixel[i] = colour == keyBgr ? 0 : colour | 0xFF000000;
    }
    ::SelectObject(source, oldSource);
    ::SelectObject(target, oldTarget);
    ::DeleteDC(source);
    ::DeleteDC(target);
    const int count = static_cast<int>(std::size(kToolbarButtons));
    HIMAGELIST list = ::ImageList_Create(size, size, ILC_COLOR32, count, 0);
    if (list != nullptr) {
        ::ImageList_Add(list, argb.Get(), nullptr);
    }
    return list;
}

// The drive icon holds 16, 24, 32 and 48 pixel images; other sizes are scaled
// from the nearest by the system.
HIMAGELIST LoadDriveImages(HINSTANCE instance, int dpi) {
    const int size = ::MulDiv(kToolbarImageSize, dpi, kDefaultDpi);
    IconHandle icon(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_DRIVE), IMAGE_ICON, size, size, 0)));
    HIMAGELIST list = ::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 0);
    if (list != nullptr && icon) {
        ::ImageList_AddIcon(list, icon.Get());
    }
    return list;
}

} // namespace

// One line per command.
const MainWindow::CommandRoute MainWindow::kCommandRoutes[] = {
    {IDM_CREATE, [](MainWindow& w) { w.commands_->CreateDriveCommand(); }},
    {IDM_REMOVE, [](MainWindow& w) { w.commands_->RemoveDriveCommand(); }},
    {IDM_OPENPATH, [](MainWindow& w) { w.commands_->OpenPathCommand(); }},
    {IDM_SAVE, [](MainWindow& w) { w.commands_->SaveDriveCommand(); }},
    {IDC_REMOVESAVE, [](MainWindow& w) { w.commands_->RemoveSaveCommand(); }},
    {IDM_LABEL, [](MainWindow& w) { w.commands_->LabelDriveCommand(w.LabelAsker()); }},
    {IDM_MANUAL, [](MainWindow& w) { w.commands_->ShowManualCommand(); }},
    {IDM_SAVE_ALL_USERS, [](MainWindow& w) { w.commands_->SaveForAllUsersCommand(); }},
    {IDM_ELEVATED_DRIVES, [](MainWindow& w) { w.commands_->ElevatedDrivesCommand(); }},
    {IDM_EXIT, [](MainWindow& w) { w.ExitCommand(); }},
    {IDM_ABOUT, [](MainWindow& w) { w.ShowAboutWindow(); }},
};

MainWindow::MainWindow(HINSTANCE instance, Win32Os& os)
    : instance_(instance), os_(os), tmr_(IDT_CREATE, kTimerIntervalMs), tmr2_(IDT_REMOVE, kTimerIntervalMs),
      drivesChanged_(IDT_DRIVES_CHANGED, kDrivesSettleMs), drivesLook_(IDT_DRIVES_LOOK, kDrivesLookMs) {}

MainWindow::~MainWindow() {
    if (hwnd_ != nullptr) {
        ::DestroyWindow(hwnd_);
    }
}

bool MainWindow::Create(std::function<void()> betweenSteps) {
    betweenSteps_ = std::move(betweenSteps);
    // The window opens on the primary monitor; a window of a per-monitor
    // aware program learns of any other DPI from WM_DPICHANGED.
    dpi_ = WindowDpi(nullptr);
    background_.Reset(::CreateSolidBrush(kTeal));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &WindowProcFor<MainWindow>;
    wc.hInstance = instance_;
    wc.hIcon =
        static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KORVANE), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED));
    wc.hIconSm =
        static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KORVANE), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background_.Get();
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }

    RECT frame{0, 0, Px(kClientWidth), Px(kClientHeight)};
    ::AdjustWindowRectEx(&frame, kStyle, TRUE, 0);
    HMENU menu = ::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_MAINMENU));
    accelerators_ = ::LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_ACCEL));
    HWND hwnd = ::CreateWindowExW(0, kClassName, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, menu, instance_, this);
    if (hwnd == nullptr && menu != nullptr) {
        ::DestroyMenu(menu);
    }
    return hwnd != nullptr;
}

// Until the drives are read the window shows nothing the user could act on,
// and it is not shown; a close sent to it meanwhile is ignored (see OnClose).
bool MainWindow::Prepare(std::function<void()> prepared) {
    if (!tasks_.Create(instance_)) {
        return false;
    }
    prepared_ = std::move(prepared);
    tasks_.Run<bool>(
        "folder icons",
        [] {
            WarmFolderIcons();
            return true;
        },
        [this](const bool*) { folderIconsWarm_ = true; });
    tasks_.Run<DriveSnapshot>(
        "prepare", [&os = os_] { return PrepareDrives(os); },
        [this](const DriveSnapshot* drives) {
            preparedDrives_ = *drives;
            LoadPrepared();
        });
    return true;
}

// The folder list takes the shell's folder icons when it is made. Their
// first load (the shell's image lists, and COM with the DLLs behind it) can
// take a good part of a second: made before the splash, it held the splash
// back; made by the folder list, it held the splash's thread. So a task
// loads them from the moment the splash shows, and the making waits for it
// here, serving the splash meanwhile.
bool MainWindow::WaitForFolderIcons() {
    while (!folderIconsWarm_) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        tasks_.ServeWaiting();
        if (betweenSteps_) {
            betweenSteps_();
        }
    }
    return true;
}

// The reading may end while the window is still being made (the splash
// serves its messages between the steps); the lists are filled once both are done.
void MainWindow::LoadPrepared() {
    if (commands_ == nullptr || closing_ || !preparedDrives_) {
        return;
    }
    commands_->Load(*preparedDrives_);
    preparedDrives_.reset();
    drivesLook_.Enable();
    if (prepared_) {
        std::exchange(prepared_, nullptr)();
    }
}

// Centred on the work area of the screen, so the taskbar does not cover it.
void MainWindow::ShowCentered() {
    handedOver_ = true;
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT window{};
    ::GetWindowRect(hwnd_, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int x = work.left + ((work.right - work.left) - width) / 2;
    const int y = work.top + ((work.bottom - work.top) - height) / 2;
    ::SetWindowPos(hwnd_, nullptr, x > work.left ? x : work.left, y > work.top ? y : work.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    ::UpdateWindow(hwnd_);
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    case WM_DRAWITEM:
        if (OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
            return TRUE;
        }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (HBRUSH brush = OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))) {
            return reinterpret_cast<LRESULT>(brush);
        }
        break;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0);
        return 0;
    case WM_SETCURSOR:
        if (OnSetCursor()) {
            return TRUE;
        }
        break;
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam);
        return TRUE;
    case WM_CLOSE:
        if (!OnClose()) {
            return 0;
        }
        break;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

// Each step can take a good part of a second on a slow machine.
bool MainWindow::Step(bool done) {
    if (done && betweenSteps_) {
        betweenSteps_();
    }
    return done;
}

bool MainWindow::OnCreate() {
    os_.SetOwner(hwnd_);
    if (!Step(CreateFonts()) || !Step(CreateToolbar()) || !Step(WaitForFolderIcons()) || !Step(CreatePathFrame()) ||
        !Step(CreateSavedFrame()) || !Step(CreateUsedFrame())) {
        return false;
    }
    HWND status =
        CreateChild(STATUSCLASSNAMEW, L"", 0, IDC_STATUS, 0, Px(kClientHeight - 375), Px(kClientWidth), Px(375));
    if (status == nullptr) {
        return false;
    }
    sb_.AttachSinglePart(status);
    for (Win32Timer* timer : {&tmr_, &tmr2_, &drivesChanged_, &drivesLook_}) {
        timer->Attach(hwnd_);
    }
    window_.Attach(hwnd_);

    commands_ = std::make_unique<MainCommands>(
        os_, MainControls{lsv_, cmb_, lst_, drive_, dir_, pb_, sb_, tmr_, tmr2_, window_}, tasks_);
    ShowRoutedCommandsOnly();
    MarkElevatingCommands();
    commands_->ShowSystemDrive();
    LoadPrepared();
    betweenSteps_ = nullptr;
    return true;
}

// Menu entries, accelerators and toolbar buttons carry the command id; of the
// other controls only button clicks are commands.
void MainWindow::OnCommand(int id, int code, HWND control) {
    if (!TakesEvents()) {
        return;
    }
    if (control != nullptr && control == drive_.Handle()) {
        if (code == CBN_SELCHANGE) {
            commands_->OnDriveChange();
        }
        return;
    }
    if (control != nullptr && control != tb_ && code != BN_CLICKED) {
        return;
    }
    if (const CommandRoute* route = FindRoute(id)) {
        route->run(*this);
    }
}

LRESULT MainWindow::OnNotify(NMHDR& header) {
    if (!TakesEvents()) {
        return 0;
    }
    if (header.hwndFrom == lsv_.Handle()) {
        switch (header.code) {
        case NM_CLICK:
            commands_->ShowStatus();
            break;
        case LVN_ITEMCHANGED: {
            // Keyboard selection shows the folder as a click does.
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) &&
                !(change.uOldState & LVIS_SELECTED)) {
                commands_->ShowStatus();
            }
            break;
        }
        case NM_DBLCLK:
        case NM_RETURN:
            commands_->OpenPathCommand();
            break;
        default:
            break;
        }
        return 0;
    }
    // Toolbar tooltips: the button's caption, which the button does not show.
    if (header.code == TTN_GETDISPINFOA) {
        auto& info = reinterpret_cast<NMTTDISPINFOA&>(header);
        if (const wchar_t* caption = ToolbarCaption(header.idFrom)) {
            ::WideCharToMultiByte(CP_ACP, 0, caption, -1, info.szText, static_cast<int>(std::size(info.szText)),
                                  nullptr, nullptr);
            info.lpszText = info.szText;
            info.hinst = nullptr;
        }
    } else if (header.code == TTN_GETDISPINFOW) {
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
        if (const wchar_t* caption = ToolbarCaption(header.idFrom)) {
            info.lpszText = const_cast<wchar_t*>(caption);
            info.hinst = nullptr;
        }
    }
    return 0;
}

// A tick that was already queued when its timer was stopped is dropped.
void MainWindow::OnTimer(UINT_PTR id) {
    if (!TakesEvents()) {
        return;
    }
    if (id == tmr_.Id() && tmr_.Enabled()) {
        commands_->OnCreateTick();
    } else if (id == tmr2_.Id() && tmr2_.Enabled()) {
        commands_->OnRemoveTick();
    } else if (id == drivesChanged_.Id() && drivesChanged_.Enabled()) {
        drivesChanged_.Disable();
        commands_->Refresh();
    } else if (id == drivesLook_.Id()) {
        commands_->Refresh();
    }
}

bool MainWindow::OnDrawItem(const DRAWITEMSTRUCT& item) { return drive_.OnDrawItem(item) || dir_.OnDrawItem(item); }

// The frames and the button area take the window's teal.
HBRUSH MainWindow::OnCtlColor(HDC dc, HWND control) {
    bool teal = control == cmdRemove_;
    for (HWND frame : frames_) {
        teal = teal || control == frame;
    }
    if (!teal) {
        return nullptr;
    }
    ::SetBkColor(dc, kTeal);
    ::SetBkMode(dc, TRANSPARENT);
    return background_.Get();
}

// The control that had the keyboard focus gets it back when the user returns to
// the window; the first time, the list of drives in use has it.
void MainWindow::OnActivate(bool active, bool minimized) {
    if (!active) {
        HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(hwnd_, focus)) {
            lastFocus_ = focus;
        }
        return;
    }
    if (minimized) {
        return;
    }
    HWND target = (lastFocus_ != nullptr && ::IsWindow(lastFocus_)) ? lastFocus_ : lsv_.Handle();
    ::SetFocus(target);
}

bool MainWindow::OnSetCursor() {
    if (!window_.WaitCursor()) {
        return false;
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

// A drive letter came or went, here or in another program.
void MainWindow::OnDeviceChange(WPARAM event) {
    if (TakesEvents() && (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE)) {
        drivesChanged_.Enable();
    }
}

// Before the hand-over the window is hidden and the start-up work still
// fills it; a close then (from another program, or the session ending
// early) would pull the window out from under that work.
bool MainWindow::OnClose() { return handedOver_; }

// Closing the window ends the program; nothing is asked and nothing is saved.
// The commands stay alive: the window can be destroyed from inside one of them
// (a message box's loop), which must be able to unwind; it only gets no more
// events.
void MainWindow::OnDestroy() {
    closing_ = true;
    os_.SetOwner(nullptr);
    for (Win32Timer* timer : {&tmr_, &tmr2_, &drivesChanged_, &drivesLook_}) {
        timer->Disable();
    }
    ::PostQuitMessage(0);
}

void MainWindow::ExitCommand() { ::DestroyWindow(hwnd_); }

// A fresh about window at each opening, gone again when it returns.
void MainWindow::ShowAboutWindow() {
    AboutWindow about(instance_);
    if (!about.ShowModal(hwnd_)) {
        os_.MessageBox(SystemErrorText(::GetLastError()), MsgStyle::Critical);
    }
}

// A fresh dialog at each asking. One that cannot be made is reported as the
// about window's is, and counts as cancelled.
AskLabel MainWindow::LabelAsker() {
    return [this](const std::string& drive, const std::string& text) {
        LabelDialog dialog(instance_);
        bool shown = false;
        const auto typed = dialog.Ask(hwnd_, drive, text, shown);
        if (!shown) {
            os_.MessageBox(SystemErrorText(::GetLastError()), MsgStyle::Critical);
        }
        return typed;
    };
}

// The bold 8.25 point look in a TrueType face that scales with the DPI, where
// the raster "MS Sans Serif" comes in a few pixel sizes only.
bool MainWindow::CreateFonts() {
    boldFont_.Reset(MakeFont(FirstInstalledFace({L"Microsoft Sans Serif", L"Tahoma"}), 825, FW_BOLD, FF_SWISS, dpi_));
    return boldFont_.Valid();
}

// Moved to a monitor of another DPI: fonts, images and every control follow,
// in the frame the system suggests.
void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
    const int oldDpi = dpi_;
    dpi_ = dpi;
    FontHandle oldFont(boldFont_.Release());
    CreateFonts();
    ApplyImages();
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)) == oldFont.Get()) {
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.Get()), FALSE);
        }
        ScaleChild(child, oldDpi, dpi);
    }
    const int driveRow = OwnerDrawRowHeight(drive_.Handle(), boldFont_.Get());
    ::SendMessageW(drive_.Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), driveRow);
    ::SendMessageW(drive_.Handle(), CB_SETITEMHEIGHT, 0, driveRow);
    ::SendMessageW(dir_.Handle(), LB_SETITEMHEIGHT, 0, OwnerDrawRowHeight(dir_.Handle(), boldFont_.Get()));
    const int buttonWidth = Px(kToolbarButtonWidth);
    ::SendMessageW(tb_, TB_SETBUTTONWIDTH, 0, MAKELPARAM(buttonWidth, buttonWidth));
    ::SendMessageW(tb_, TB_SETBUTTONSIZE, 0, MAKELPARAM(buttonWidth, Px(kToolbarButtonHeight)));
    ::SendMessageW(sb_.Handle(), WM_SIZE, 0, 0);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

// A control keeps its place in twips: its rectangle, and for a combo box the
// height of its dropped list, scale from one DPI to the other.
void MainWindow::ScaleChild(HWND child, int from, int to) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    RECT dropped{};
    if (::SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped)) &&
        dropped.bottom > dropped.top) {
        r.bottom = r.top + (dropped.bottom - dropped.top);
    }
    ::SetWindowPos(child, nullptr, ::MulDiv(r.left, to, from), ::MulDiv(r.top, to, from),
                   ::MulDiv(r.right - r.left, to, from), ::MulDiv(r.bottom - r.top, to, from),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

// The toolbar's and the list view's images at the size the DPI asks for.
void MainWindow::ApplyImages() {
    const int size = ToolbarImageSize(dpi_);
    ImageListHandle toolbarImages(LoadToolbarImages(instance_, size));
    ::SendMessageW(tb_, TB_SETBITMAPSIZE, 0, MAKELPARAM(size, size));
    ::SendMessageW(tb_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages.Get()));
    toolbarImages_ = std::move(toolbarImages);
    ImageListHandle driveImages(LoadDriveImages(instance_, dpi_));
    ::SendMessageW(lsv_.Handle(), LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(driveImages.Get()));
    driveImages_ = std::move(driveImages);
}

// Seven image buttons of equal width; the captions are the tooltips. `pb` lies
// over the toolbar's right part.
bool MainWindow::CreateToolbar() {
    tb_ = CreateChild(TOOLBARCLASSNAMEW, L"",
                      WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
                          CCS_NOPARENTALIGN | CCS_NODIVIDER,
                      IDC_TOOLBAR, 0, 0, Px(kClientWidth), Px(kToolbarHeight));
    if (tb_ == nullptr) {
        return false;
    }
    ::SendMessageW(tb_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(tb_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    const int imageSize = ToolbarImageSize(dpi_);
    toolbarImages_.Reset(LoadToolbarImages(instance_, imageSize));
    ::SendMessageW(tb_, TB_SETBITMAPSIZE, 0, MAKELPARAM(imageSize, imageSize));
    ::SendMessageW(tb_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages_.Get()));

    TBBUTTON buttons[std::size(kToolbarButtons)] = {};
    for (size_t i = 0; i < std::size(kToolbarButtons); ++i) {
        // The string list ends with two NULs.
        std::wstring caption = std::wstring(kToolbarButtons[i].caption) + L'\0';
        buttons[i].iBitmap = static_cast<int>(i);
        buttons[i].idCommand = kToolbarButtons[i].command;
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_BUTTON;
        buttons[i].iString = ::SendMessageW(tb_, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(caption.c_str()));
    }
    ::SendMessageW(tb_, TB_ADDBUTTONSW, std::size(buttons), reinterpret_cast<LPARAM>(buttons));
    const int buttonWidth = Px(kToolbarButtonWidth);
    const int buttonHeight = Px(kToolbarButtonHeight);
    ::SendMessageW(tb_, TB_SETBUTTONWIDTH, 0, MAKELPARAM(buttonWidth, buttonWidth));
    ::SendMessageW(tb_, TB_SETBUTTONSIZE, 0, MAKELPARAM(buttonWidth, buttonHeight));

    HWND progress =
        CreateChild(PROGRESS_CLASSW, L"", 0, IDC_PROGRESS, Px(kProgressLeft), 0, Px(kProgressWidth), Px(615));
    if (progress == nullptr) {
        return false;
    }
    ::SetWindowPos(progress, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    pb_.AttachWithRange(progress);
    return true;
}

bool MainWindow::CreatePathFrame() {
    const int fx = 0;
    const int fy = 720;
    frames_[0] = CreateFrame(L"Path:", IDC_FRAME_PATH, fx, fy, 2895, 2532);
    return frames_[0] != nullptr &&
           drive_.Create(hwnd_, IDC_DRIVE, Px(fx + 120), Px(fy + 240), Px(2655), boldFont_.Get(), tasks_) &&
           dir_.Create(hwnd_, IDC_DIR, Px(fx + 120), Px(fy + 600), Px(2655), Px(1800), boldFont_.Get(), tasks_);
}

bool MainWindow::CreateSavedFrame() {
    HWND combo =
        WithBoldFont(CreateChild(L"COMBOBOX", L"", CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP,
                                 IDC_CMB, Px(3000), Px(720), Px(2775), Px(2400)));
    if (combo == nullptr) {
        return false;
    }
    cmb_.Attach(combo);
    cmb_.SetEditText("Avaliable Drives:");

    const int fx = 3000;
    const int fy = 1080;
    frames_[1] = CreateFrame(L"Saved Drives:", IDC_FRAME_SAVED, fx, fy, 2775, 2175);
    HWND list = WithBoldFont(CreateChild(L"LISTBOX", L"",
                                         LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                                         IDC_LST, Px(fx + 120), Px(fy + 240), Px(2535), Px(1230), WS_EX_CLIENTEDGE));
    cmdRemove_ = WithBoldFont(CreateChild(L"BUTTON", L"&Remove Save", BS_PUSHBUTTON | WS_TABSTOP, IDC_REMOVESAVE,
                                          Px(fx + 120), Px(fy + 1680), Px(2535), Px(375)));
    if (frames_[1] == nullptr || list == nullptr || cmdRemove_ == nullptr) {
        return false;
    }
    lst_.Attach(list);
    return true;
}

// Each row shows the drive icon, image 0 of `il`; the list also needs the image
// list to hit-test clicks on some systems.
bool MainWindow::CreateUsedFrame() {
    const int fx = -7;
    const int fy = 3360;
    frames_[2] = CreateFrame(L"Used Drives:", IDC_FRAME_USED, fx, fy, 5775, 2775);
    HWND view = WithBoldFont(
        CreateChild(WC_LISTVIEWW, L"",
                    LVS_ICON | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE | LVS_SHAREIMAGELISTS | WS_TABSTOP,
                    IDC_LSV, Px(fx + 120), Px(fy + 240), Px(5535), Px(2460), WS_EX_CLIENTEDGE));
    if (frames_[2] == nullptr || view == nullptr) {
        return false;
    }
    driveImages_.Reset(LoadDriveImages(instance_, dpi_));
    ::SendMessageW(view, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(driveImages_.Get()));
    lsv_.Attach(view);
    return true;
}

HWND MainWindow::CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, int id, int x, int y,
                             int width, int height, DWORD exStyle) {
    HWND child = ::CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    return child;
}

HWND MainWindow::WithBoldFont(HWND control) {
    if (control != nullptr) {
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.Get()), FALSE);
    }
    return control;
}

HWND MainWindow::CreateFrame(const wchar_t* caption, int id, int x, int y, int width, int height) {
    return WithBoldFont(CreateChild(L"BUTTON", caption, BS_GROUPBOX, id, Px(x), Px(y), Px(width), Px(height)));
}

void MainWindow::ShowRoutedCommandsOnly() {
    HMENU menu = ::GetMenu(hwnd_);
    for (int id : kAllCommands) {
        const bool routed = FindRoute(id) != nullptr;
        if (menu != nullptr) {
            ::EnableMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (routed ? MF_ENABLED : MF_GRAYED));
        }
        ::SendMessageW(tb_, TB_ENABLEBUTTON, static_cast<WPARAM>(id), MAKELPARAM(routed ? TRUE : FALSE, 0));
    }
    ::EnableWindow(cmdRemove_, FindRoute(IDC_REMOVESAVE) != nullptr ? TRUE : FALSE);
}

// The shield as a menu bitmap with its alpha kept; without one from the
// system the entries go without.
void MainWindow::MarkElevatingCommands() {
    SHSTOCKICONINFO stock{};
    stock.cbSize = sizeof(stock);
    if (FAILED(::SHGetStockIconInfo(SIID_SHIELD, SHGSI_ICON | SHGSI_SMALLICON, &stock))) {
        return;
    }
    IconHandle icon(stock.hIcon);
    const int size = ::GetSystemMetrics(SM_CXSMICON);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = size;
    format.bmiHeader.biHeight = -size;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    shield_.Reset(::CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (!shield_ || dc == nullptr) {
        ::DeleteDC(dc);
        return;
    }
    HGDIOBJ old = ::SelectObject(dc, shield_.Get());
    ::DrawIconEx(dc, 0, 0, icon.Get(), size, size, 0, nullptr, DI_NORMAL);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_BITMAP;
    item.hbmpItem = shield_.Get();
    for (int id : kElevatingCommands) {
        ::SetMenuItemInfoW(::GetMenu(hwnd_), static_cast<UINT>(id), FALSE, &item);
    }
}

const MainWindow::CommandRoute* MainWindow::FindRoute(int id) const {
    for (const CommandRoute& route : kCommandRoutes) {
        if (route.id == id) {
            return &route;
        }
    }
    return nullptr;
}

bool MainWindow::TakesEvents() const { return commands_ != nullptr && !closing_; }

int MainWindow::Px(int twips) const { return ::MulDiv(twips, dpi_, 1440); }

} // namespace kv
