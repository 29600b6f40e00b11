// `frmMain`: the program's working window. It makes the controls, hands them to
// MainCommands and routes menu entries, accelerators, toolbar buttons and
// list-view gestures to the commands.
#pragma once

#include "platform/win32/win32.h"

#include <functional>
#include <optional>
#include <memory>

#include "platform/win32/controls_win32.h"
#include "platform/win32/drive_list.h"
#include "platform/win32/folder_list.h"
#include "platform/win32/handles.h"
#include "platform/win32/tasks_win32.h"
#include "platform/win32/window_base.h"
#include "platform/win32/win32_os.h"
#include "ui/main/main_commands.h"

namespace kv {

class MainWindow {
public:
    MainWindow(HINSTANCE instance, Win32Os& os);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Makes the window hidden, with all its controls, and runs the load step.
    // `betweenSteps`, when given, runs between the steps of the making, so
    // that a window already shown (the splash) goes on answering.
    // Reads the drives away from the window's thread, from now on, and
    // fills the lists with them once the window is made; then `prepared`
    // runs. Before Create, so that the reading waits on drives while the
    // window is made.
    bool Prepare(std::function<void()> prepared);
    bool Create(std::function<void()> betweenSteps = nullptr);
    // The hand-over: from here on the window is the user's, and closing it
    // ends the program.
    void ShowCentered();

    HWND Handle() const { return hwnd_; }
    HACCEL Accelerators() const { return accelerators_; }

private:
    using CommandHandler = void (*)(MainWindow&);
    struct CommandRoute {
        int id;
        CommandHandler run;
    };
    static const CommandRoute kCommandRoutes[];

    friend LRESULT CALLBACK WindowProcFor<MainWindow>(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    bool OnCreate();
    void LoadPrepared();
    bool WaitForFolderIcons();
    bool Step(bool done);
    void OnCommand(int id, int code, HWND control);
    LRESULT OnNotify(NMHDR& header);
    void OnTimer(UINT_PTR id);
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    HBRUSH OnCtlColor(HDC dc, HWND control);
    void OnActivate(bool active, bool minimized);
    bool OnSetCursor();
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnDeviceChange(WPARAM event);
    bool OnClose();
    void OnDestroy();

    void ExitCommand();
    void ShowAboutWindow();
    AskLabel LabelAsker();

    bool CreateFonts();
    void ApplyImages();
    void ScaleChild(HWND child, int from, int to);
    bool CreateToolbar();
    bool CreatePathFrame();
    bool CreateSavedFrame();
    bool CreateUsedFrame();
    HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, int id, int x, int y, int width,
                     int height, DWORD exStyle = 0);
    HWND WithBoldFont(HWND control);
    HWND CreateFrame(const wchar_t* caption, int id, int x, int y, int width, int height);
    void ShowRoutedCommandsOnly();
    void MarkElevatingCommands();
    const CommandRoute* FindRoute(int id) const;
    bool TakesEvents() const;
    int Px(int twips) const;

    HINSTANCE instance_;
    Win32Os& os_;
    HWND hwnd_ = nullptr;
    HACCEL accelerators_ = nullptr;
    int dpi_ = 96;
    bool closing_ = false;
    bool handedOver_ = false;
    std::optional<DriveSnapshot> preparedDrives_; // read before the window was made
    std::function<void()> prepared_;
    bool folderIconsWarm_ = false;

    BrushHandle background_;
    FontHandle boldFont_;
    ImageListHandle toolbarImages_; // `ilt`
    ImageListHandle driveImages_;   // `il`
    BitmapHandle shield_;           // on the menu entries that ask for administrator rights

    HWND tb_ = nullptr;
    HWND frames_[3] = {};
    HWND cmdRemove_ = nullptr;
    HWND lastFocus_ = nullptr;

    Win32ListView lsv_;
    Win32ComboBox cmb_;
    Win32ListBox lst_;
    Win32ProgressBar pb_;
    Win32StatusBar sb_;
    Win32Timer tmr_;
    Win32Timer tmr2_;
    Win32Timer drivesChanged_;
    Win32Timer drivesLook_;
    Win32CommandWindow window_;
    DriveList drive_;
    FolderList dir_;
    std::unique_ptr<MainCommands> commands_;
    // Last, so that it goes first: no answer comes to what is gone.
    Win32Tasks tasks_;
    std::function<void()> betweenSteps_;
};

} // namespace kv
