// `frmAbout`: the product's name and icon, a short description, the rights
// notice, a link to the maker's website and a donation button. Shown modally
// over the main window; every opening makes a fresh window.
#pragma once

#include "platform/win32/win32.h"

#include "platform/win32/handles.h"
#include "platform/win32/window_base.h"

namespace kv {

class AboutWindow {
public:
    explicit AboutWindow(HINSTANCE instance);
    ~AboutWindow();
    AboutWindow(const AboutWindow&) = delete;
    AboutWindow& operator=(const AboutWindow&) = delete;

    // Shows the window centred over `owner`, which takes no input until the
    // window is closed; returns then. False when the window could not be made.
    bool ShowModal(HWND owner);

private:
    friend LRESULT CALLBACK WindowProcFor<AboutWindow>(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    bool Create(HWND owner);
    bool OnCreate();
    void OnCommand(int id, int code);
    void OnEraseBackground(HDC dc);
    void OnPaint();
    HBRUSH OnCtlColor(HDC dc, HWND control);
    bool OnSetCursor(HWND under);
    void OnDpiChanged(int dpi, const RECT& suggested);

    void Close();
    void OpenWebsite();
    void OpenDonationPage();

    bool CreateFonts();
    void LoadPictures();
    void Layout();
    void CenterOverOwner();
    HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, int id);
    int Px(int twips) const;

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    int dpi_ = 96;

    BrushHandle background_;
    FontHandle titleFont_;
    FontHandle textFont_;
    IconHandle icon_;       // `picIcon`
    IconHandle donateIcon_; // the picture on `cmdDonate`

    HWND title_ = nullptr;
    HWND description_ = nullptr;
    HWND rights_ = nullptr;
    HWND website_ = nullptr;
    HWND ok_ = nullptr;
    HWND donate_ = nullptr;
};

} // namespace kv
